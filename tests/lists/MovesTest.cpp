#include "lists/Moves.h"
#include "lists/ValueNames.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <string_view>

namespace {

TEST(Moves, NumberedFromNoneToTheLastMoveWithUniqueNames) {
    ASSERT_EQ(lists::kMoveList.size(), 252u);
    EXPECT_EQ(lists::kMoveList[0], "None");
    EXPECT_EQ(lists::kMoveList[1], "Pound");
    EXPECT_EQ(lists::kMoveList[33], "Tackle");
    EXPECT_EQ(lists::kMoveList[251], "Beat Up");
    // Imports find a move by its name: no two numbers may share one.
    std::set<std::string_view> names(lists::kMoveList.begin(), lists::kMoveList.end());
    EXPECT_EQ(names.size(), lists::kMoveList.size());
    for (std::string_view name : lists::kMoveList) {
        EXPECT_FALSE(name.empty());
        EXPECT_NE(name.front(), ' ') << name;
        EXPECT_NE(name.back(), ' ') << name;
    }
}

TEST(Moves, MachinesTakeBitsZeroToFiftyNineInCodeOrder) {
    ASSERT_EQ(lists::kMachines.size(), 60u);
    for (size_t k = 0; k < lists::kMachines.size(); ++k) {
        const lists::Machine& machine = lists::kMachines[k];
        EXPECT_EQ(machine.bit, k);
        std::string expected = k < 50 ? "TM" : k < 57 ? "HM" : "MT";
        const size_t number = k < 50 ? k + 1 : k < 57 ? k - 49 : k - 56;
        expected += (number < 10 ? "0" : "") + std::to_string(number);
        EXPECT_EQ(machine.code, expected);
        EXPECT_GE(machine.move, 1);
        EXPECT_LE(machine.move, 251);
    }
    EXPECT_EQ(lists::kMachinesWithoutTutors, 57u);
    EXPECT_EQ(lists::kMoveList[lists::kMachines[0].move], "Dynamicpunch");
    EXPECT_EQ(lists::kMoveList[lists::kMachines[50].move], "Cut");
    EXPECT_EQ(lists::kMoveList[lists::kMachines[59].move], "Ice Beam");
}

}  // namespace

// The readable forms of coded values: the gender byte as the share of
// females the game gives (v + 1 in 256, reduced; the three special bytes by
// name), egg groups by the two hex digits, growth rates by name.
TEST(ValueNames, GenderEggGroupsAndGrowthReadAsTheGameMeansThem) {
    EXPECT_EQ(lists::GenderText(0), "always male");
    EXPECT_EQ(lists::GenderText(31), "1 in 8 female");
    EXPECT_EQ(lists::GenderText(127), "1 in 2 female");
    EXPECT_EQ(lists::GenderText(191), "3 in 4 female");
    EXPECT_EQ(lists::GenderText(100), "101 in 256 female");
    EXPECT_EQ(lists::GenderText(253), "127 in 128 female");
    EXPECT_EQ(lists::GenderText(254), "always female");
    EXPECT_EQ(lists::GenderText(255), "no gender");
    EXPECT_EQ(lists::EggGroupsText(0x17), "Monster and Grass");
    EXPECT_EQ(lists::EggGroupsText(0xFF), "No eggs");
    EXPECT_EQ(lists::EggGroupsText(0x0D), "group 0 and Ditto");
    EXPECT_EQ(lists::GrowthText(3), "3 Medium Slow");
    EXPECT_EQ(lists::GrowthText(9), "9");
    EXPECT_EQ(lists::MachineText(0), "TM01 Dynamicpunch");
    EXPECT_EQ(lists::ColumnNote("HP"), "");
}
