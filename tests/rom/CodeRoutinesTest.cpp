#include "rom/CodeRoutines.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using rom::RoutinePattern;

TEST(CodeRoutinesTest, PlantedRoutineIsFoundWithItsOperandsAndTableOffset) {
    const RoutinePattern cries(rom::kCryRoutine);
    ASSERT_TRUE(cries.valid());
    std::vector<uint8_t> image(0x40000, 0x19);  // a sea of one of the pattern's own bytes
    const std::vector<uint8_t> routine = cries.Bytes(0x6747, 0x3C, 0, 0x19);
    std::copy(routine.begin(), routine.end(), image.begin() + 0x1235);

    const std::vector<rom::RoutineMatch> found = cries.FindIn(image);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].at, 0x1235);
    EXPECT_EQ(found[0].address, 0x6747);
    EXPECT_EQ(found[0].bank, 0x3C);
    EXPECT_EQ(found[0].TableOffset(), 0x3C * 0x4000 + 0x2747);
}

TEST(CodeRoutinesTest, BanklessRoutineUsesItsOwnBankAndEdgesAreSafe) {
    const RoutinePattern icons(rom::kMenuIconRoutine);
    std::vector<uint8_t> image(0x24000, 0);
    // One at the very end of the image, one cut off by it.
    const std::vector<uint8_t> routine = icons.Bytes(0x6975, 0);
    std::copy(routine.begin(), routine.end(), image.end() - static_cast<long>(routine.size()));
    std::copy(routine.begin(), routine.end() - 1, image.begin());
    const std::vector<rom::RoutineMatch> found = icons.FindIn(image);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_FALSE(found[0].bank.has_value());
    EXPECT_EQ(found[0].TableOffset(), 0x8 * 0x4000 + 0x2975);

    // An address outside the banked window leads nowhere.
    rom::RoutineMatch low = found[0];
    low.address = 0x3FFF;
    EXPECT_FALSE(low.TableOffset().has_value());
}

TEST(CodeRoutinesTest, EveryOccurrenceIsListedUpToTheLimit) {
    const RoutinePattern base(rom::kBaseRecordRoutine);
    std::vector<uint8_t> image(0x10000, 0);
    for (int k = 0; k < 4; ++k) {
        const std::vector<uint8_t> routine = base.Bytes(static_cast<uint16_t>(0x5000 + k), static_cast<uint8_t>(k));
        std::copy(routine.begin(), routine.end(), image.begin() + 0x100 * k);
    }
    EXPECT_EQ(base.FindIn(image).size(), 4u);
    ASSERT_EQ(base.FindIn(image, 2).size(), 2u);
    EXPECT_EQ(base.FindIn(image)[3].address, 0x5003);
}

TEST(CodeRoutinesTest, MalformedPatternsMatchNothing) {
    std::vector<uint8_t> image(64, 0);
    for (const char* text : {"?? ?? LL HH", "3E B", "3E BBB", "ZZ 00", ""}) {
        const RoutinePattern pattern(text);
        EXPECT_FALSE(pattern.valid()) << text;
        EXPECT_TRUE(pattern.FindIn(image).empty()) << text;
    }
}

TEST(CodeRoutinesTest, RepeatedOperandMustAgree) {
    const RoutinePattern twice("3E BB 00 BB");
    EXPECT_EQ(twice.FindIn(std::vector<uint8_t>{0x3E, 7, 0, 7}).size(), 1u);
    EXPECT_TRUE(twice.FindIn(std::vector<uint8_t>{0x3E, 7, 0, 8}).empty());
}

}  // namespace
