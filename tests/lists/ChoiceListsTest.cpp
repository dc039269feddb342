#include "lists/ChoiceLists.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>

namespace {

std::string HexCode(size_t position) {
    char text[3];
    std::snprintf(text, sizeof text, "%02X", static_cast<unsigned>(position));
    return text;
}

TEST(ChoiceLists, HaveTheirCounts) {
    EXPECT_EQ(lists::kSpeciesList.size(), 251u);
    EXPECT_EQ(lists::kTypeList.size(), 28u);
    EXPECT_EQ(lists::kHeldItemList.size(), 256u);
    EXPECT_EQ(lists::kMenuSpriteList.size(), 39u);
    EXPECT_EQ(lists::kBaseCryList.size(), 68u);
}

struct PrefixedList {
    const char* name;
    std::span<const std::string_view> entries;
    const char* separator;
};

class PrefixedLists : public testing::TestWithParam<PrefixedList> {};

TEST_P(PrefixedLists, EveryPrefixIsItsOwnPositionInHex) {
    const PrefixedList& list = GetParam();
    for (size_t p = 0; p < list.entries.size(); ++p) {
        const std::string prefix = HexCode(p) + list.separator;
        EXPECT_EQ(list.entries[p].substr(0, prefix.size()), prefix) << list.name << " position " << p;
        EXPECT_GT(list.entries[p].size(), prefix.size()) << list.name << " position " << p;
    }
}

INSTANTIATE_TEST_SUITE_P(Lists, PrefixedLists,
                         testing::Values(PrefixedList{"HeldItem", lists::kHeldItemList, " - "},
                                         PrefixedList{"MenuSprite", lists::kMenuSpriteList, "-"},
                                         PrefixedList{"BaseCry", lists::kBaseCryList, " = "}),
                         [](const testing::TestParamInfo<PrefixedList>& info) { return std::string(info.param.name); });

TEST(ChoiceLists, NoEntryStartsWithASpaceOrEndsInTwo) {
    const std::span<const std::string_view> lists[] = {lists::kSpeciesList, lists::kTypeList, lists::kHeldItemList,
                                                       lists::kMenuSpriteList, lists::kBaseCryList};
    for (const auto& list : lists) {
        for (std::string_view entry : list) {
            ASSERT_FALSE(entry.empty());
            EXPECT_NE(entry.front(), ' ') << '"' << entry << '"';
            EXPECT_FALSE(entry.ends_with("  ")) << '"' << entry << '"';
        }
    }
}

TEST(ChoiceLists, SpeciesRunFromBulbasaurToCelebi) {
    EXPECT_EQ(lists::kSpeciesList[0], "Bulbasaur");
    EXPECT_EQ(lists::kSpeciesList[24], "Pikachu");
    EXPECT_EQ(lists::kSpeciesList[202], "Girafarig ");
    EXPECT_EQ(lists::kSpeciesList[232], "Porygon 2");
    EXPECT_EQ(lists::kSpeciesList[250], "Celebi");
}

TEST(ChoiceLists, TypesKeepFillersInPlace) {
    EXPECT_EQ(lists::kTypeList[0x00], "Normal");
    EXPECT_EQ(lists::kTypeList[0x09], "Steel");
    for (size_t code = 0x0A; code <= 0x12; ++code) EXPECT_EQ(lists::kTypeList[code], "?") << code;
    EXPECT_EQ(lists::kTypeList[0x13], "???");
    EXPECT_EQ(lists::kTypeList[0x14], "Fire");
    EXPECT_EQ(lists::kTypeList[0x1B], "Dark");
}

TEST(ChoiceLists, HeldItemsSingledOut) {
    EXPECT_EQ(lists::kHeldItemList[0x00], "00 - None");
    EXPECT_EQ(lists::kHeldItemList[0xFF], "FF - Nothing ");
    for (size_t code = 0xFA; code <= 0xFE; ++code) EXPECT_EQ(lists::kHeldItemList[code], HexCode(code) + " - N/A");
    EXPECT_EQ(lists::kHeldItemList[0x06], "06 - N/A ");
    EXPECT_EQ(lists::kHeldItemList[0x19], "19 - N/A");
    EXPECT_EQ(lists::kHeldItemList[0xBF], "BF - TM 1 - Dynamic Punch ");
    EXPECT_EQ(lists::kHeldItemList[0xC2], "C2 - TM 4 - Rollout ");
    EXPECT_EQ(lists::kHeldItemList[0xC3], "C3 - TM 4 - Rollout (not a typo. It shows up twice.) ");
    EXPECT_EQ(lists::kHeldItemList[0xDB], "DB - TM 28 - Dig ");
    EXPECT_EQ(lists::kHeldItemList[0xDC], "DC - TM 28 - Dig (not a typo. It shows up twice.) ");
    EXPECT_EQ(lists::kHeldItemList[0xF9], "F9 - HM 7 - Waterfall ");

    size_t longest = 0;
    for (std::string_view entry : lists::kHeldItemList) longest = std::max(longest, entry.size());
    EXPECT_EQ(longest, 53u);

    const size_t fillers[] = {0x06, 0x19, 0x2D, 0x32, 0x38, 0x46, 0x5A, 0x64, 0x73, 0x74, 0x78, 0x81,
                              0x87, 0x88, 0x89, 0x8D, 0x8E, 0x91, 0x93, 0x94, 0x95, 0x99, 0x9A, 0x9B,
                              0xA2, 0xAB, 0xB0, 0xB3, 0xBE, 0xFA, 0xFB, 0xFC, 0xFD, 0xFE};
    size_t fillerCount = 0;
    for (size_t code = 0; code < lists::kHeldItemList.size(); ++code) {
        const std::string_view name = lists::kHeldItemList[code].substr(5);
        if (name == "N/A" || name == "N/A ") ++fillerCount;
    }
    EXPECT_EQ(fillerCount, std::size(fillers));
    for (size_t code : fillers) EXPECT_TRUE(lists::kHeldItemList[code].substr(5).starts_with("N/A")) << code;
}

TEST(ChoiceLists, MenuSpritesAndCriesEndWhereTheirCodesEnd) {
    EXPECT_EQ(lists::kMenuSpriteList[0x00], "00-N/A");
    EXPECT_EQ(lists::kMenuSpriteList[0x05], "05-Staryu-");
    EXPECT_EQ(lists::kMenuSpriteList[0x26], "26-Charizard");
    EXPECT_EQ(lists::kBaseCryList[0x00], "00 = Sandshrew");
    EXPECT_EQ(lists::kBaseCryList[0x43], "43 = Donphan");
}

}  // namespace
