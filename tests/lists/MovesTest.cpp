#include "lists/Moves.h"

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
