#include "tables/ImageLists.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/tables/ListImages.h"
#include "tests/tables/TablesTestSupport.h"

namespace {

using listtest::Lists;
using rom::GameVersion;
using tables::EvoMoveContents;
using tables::Evolution;
using tables::EvolutionMethod;
using tables::SpeciesLists;
using tablestest::Open;
using testsupport::TestImage;

std::array<EvoMoveContents, rom::kSpeciesCount> EvoMovesOf(const SpeciesLists& lists) {
    std::array<EvoMoveContents, rom::kSpeciesCount> contents;
    for (size_t p = 0; p < contents.size(); ++p) contents[p] = {lists.evoMoves[p].evolutions, lists.evoMoves[p].moves};
    return contents;
}

std::array<std::vector<uint8_t>, rom::kSpeciesCount> EggMovesOf(const SpeciesLists& lists) {
    std::array<std::vector<uint8_t>, rom::kSpeciesCount> contents;
    for (size_t p = 0; p < contents.size(); ++p) contents[p] = lists.eggMoves[p].moves;
    return contents;
}

TEST(SpeciesLists, ReadEveryListOfAReleaseLikeImageOfBothKindsOfRelease) {
    const Lists made = listtest::SyntheticLists();
    for (const GameVersion version : {GameVersion::Crystal, GameVersion::Gold}) {
        TestImage file = listtest::ReleaseLikeImage(made, version);
        file.SetBytes(rom::ReleasedProfile(version).BaseStatsOffset + 32 * 5 + 24, {0x81, 0, 0, 0, 0, 0, 0, 0x08});
        const tables::TableImage image = Open(file);
        ASSERT_EQ(image.layout, rom::ImageLayout::Released);
        const tables::ListLayout layout = tables::ListLayoutOf(image);
        EXPECT_EQ(layout.eggMovePointers, listtest::RowOf(version).eggMovePointerOffset);
        EXPECT_EQ(layout.evoMoveArea.kind, rom::ListAreaKind::ToBankEnd);
        EXPECT_EQ(layout.eggMoveArea.kind, rom::ListAreaKind::ToBankEnd);
        const SpeciesLists lists = tables::ReadSpeciesLists(image);
        ASSERT_TRUE(lists.hasEggMoves);
        for (size_t p = 0; p < made.evoMoves.size(); ++p) {
            ASSERT_TRUE(lists.evoMoves[p].place.readable()) << p << lists.evoMoves[p].place.unreadable;
            EXPECT_EQ(EvoMoveContents({lists.evoMoves[p].evolutions, lists.evoMoves[p].moves}), made.evoMoves[p]) << p;
            EXPECT_EQ(lists.eggMoves[p].moves, made.eggMoves[p]) << p;
        }
        // Machine bit k: byte 24 + k / 8, bit k % 8.
        EXPECT_TRUE(tables::MachineBit(lists.machines[5], 0));
        EXPECT_TRUE(tables::MachineBit(lists.machines[5], 7));
        EXPECT_FALSE(tables::MachineBit(lists.machines[5], 1));
        EXPECT_TRUE(tables::MachineBit(lists.machines[5], 59));
    }
}

// Every official release keeps its tables elsewhere; each row's lists read
// back and grow within their own banks.
TEST(SpeciesLists, EveryReleaseRowReadsAndPacksItsListsInItsOwnBanks) {
    const Lists made = listtest::SyntheticLists();
    for (const rom::ReleaseLayout& row : rom::kReleaseLayouts) {
        SCOPED_TRACE(std::string(row.gameCode) + " " + std::to_string(row.revision));
        const std::vector<uint8_t> image = listtest::ReleaseLikeBytes(made, row);
        const tables::ListLayout layout{row.tables.EvoMovePointerOffset, row.eggMovePointerOffset,
                                        {rom::ListAreaKind::ToBankEnd, 0}, {rom::ListAreaKind::ToBankEnd, 0}};
        const SpeciesLists lists = tables::ReadSpeciesLists(image, row.tables, layout);
        for (size_t p = 0; p < made.evoMoves.size(); ++p) {
            ASSERT_EQ(EvoMoveContents({lists.evoMoves[p].evolutions, lists.evoMoves[p].moves}), made.evoMoves[p]) << p;
            ASSERT_EQ(lists.eggMoves[p].moves, made.eggMoves[p]) << p;
        }
        auto evoMoves = EvoMovesOf(lists);
        auto eggMoves = EggMovesOf(lists);
        evoMoves[0].moves.push_back({100, 251});
        eggMoves[250] = {1, 2, 3};
        std::vector<uint8_t> after = image;
        ASSERT_EQ(tables::LayEvoMoveLists(after, lists, evoMoves), "");
        ASSERT_EQ(tables::LayEggMoveLists(after, lists, eggMoves), "");
        const SpeciesLists again = tables::ReadSpeciesLists(after, row.tables, layout);
        for (size_t p = 0; p < made.evoMoves.size(); ++p) {
            ASSERT_EQ(EvoMoveContents({again.evoMoves[p].evolutions, again.evoMoves[p].moves}), evoMoves[p]) << p;
            ASSERT_EQ(again.eggMoves[p].moves, eggMoves[p]) << p;
        }
        for (size_t i = 0; i < after.size(); ++i) {
            const auto at = static_cast<int64_t>(i);
            const bool inEvo = at >= row.tables.EvoMovePointerOffset && at < listtest::BankEnd(row.tables.EvoMovePointerOffset);
            const bool inEgg = at >= row.eggMovePointerOffset && at < listtest::BankEnd(row.eggMovePointerOffset);
            if (!inEvo && !inEgg) {
                ASSERT_EQ(after[i], image[i]) << "byte " << i;
            }
        }
    }
}

TEST(SpeciesLists, AnImageThatNamesNoReleaseHasNoEggTableAndNoRoomToGrow) {
    const TestImage released = TestImage::Released(GameVersion::Crystal);  // no game code, not complete
    const tables::ListLayout layout = tables::ListLayoutOf(Open(released));
    EXPECT_EQ(layout.evoMovePointers, rom::ReleasedProfile(GameVersion::Crystal).EvoMovePointerOffset);
    EXPECT_FALSE(layout.eggMovePointers.has_value());
    EXPECT_EQ(layout.evoMoveArea.kind, rom::ListAreaKind::ListsOnly);

    const TestImage handBuilt(TestImage::HeaderByte(GameVersion::Gold));
    const tables::ListLayout hand = tables::ListLayoutOf(Open(handBuilt));
    EXPECT_EQ(hand.evoMovePointers, rom::DefaultProfile(GameVersion::Gold).EvoMovePointerOffset);
    EXPECT_FALSE(hand.eggMovePointers.has_value());
}

// The worked example of a Crystal image: pointer A7 67 in the table at
// 0x425B1 leads to 0x427A7 in bank 0x10.
TEST(SpeciesLists, PointersAddressTheirOwnBankAndUnreadableListsAreSaidPerSpecies) {
    std::vector<uint8_t> image(0x80000, 0);
    const rom::VersionProfile profile = rom::ReleasedProfile(GameVersion::Crystal);
    const int64_t table = profile.EvoMovePointerOffset;
    const std::vector<uint8_t> list = {0x01, 0x10, 0x02, 0x00, 0x01, 0x21, 0x04, 0x2D, 0x07, 0x49, 0x00};
    std::copy(list.begin(), list.end(), image.begin() + 0x427A7);
    for (int p = 0; p < rom::kSpeciesCount; ++p) {
        image[static_cast<size_t>(table + 2 * p)] = 0xA7;
        image[static_cast<size_t>(table + 2 * p + 1)] = 0x67;
    }
    image[static_cast<size_t>(table + 2)] = 0xFF;  // species 1: 0x3FFF, below the bank window
    image[static_cast<size_t>(table + 3)] = 0x3F;
    image[static_cast<size_t>(table + 5)] = 0x80;  // species 2: 0x80A7, above it
    image[static_cast<size_t>(table + 6)] = 0xF0;  // species 3: 0x7FF0, the bank's last 16 bytes
    image[static_cast<size_t>(table + 7)] = 0x7F;
    std::fill(image.begin() + 0x43FF0, image.begin() + 0x44000, uint8_t{0x05});  // a move list without its end
    image[0x43FF0] = 0;
    image[0x44000] = 0;  // the terminator lies in the next bank: not this list's

    const SpeciesLists lists = tables::ReadSpeciesLists(image, profile, {static_cast<int32_t>(table), {}, {}, {}});
    const tables::EvoMoveList& first = lists.evoMoves[0];
    ASSERT_TRUE(first.place.readable());
    EXPECT_EQ(first.place.offset, 0x427A7);
    EXPECT_EQ(first.place.length, 11);
    ASSERT_EQ(first.evolutions.size(), 1u);
    EXPECT_EQ(first.evolutions[0], (Evolution{EvolutionMethod::Level, 16, 0, 0, 0, 2}));
    EXPECT_EQ(first.moves, (std::vector<tables::LevelMove>{{1, 33}, {4, 45}, {7, 73}}));
    EXPECT_NE(lists.evoMoves[1].place.unreadable.find("0x3FFF, outside 0x4000 to 0x7FFF"), std::string::npos)
        << lists.evoMoves[1].place.unreadable;
    EXPECT_NE(lists.evoMoves[2].place.unreadable.find("0x80A7"), std::string::npos);
    EXPECT_NE(lists.evoMoves[3].place.unreadable.find("runs to the end of its bank (0x44000) without its terminator"),
              std::string::npos)
        << lists.evoMoves[3].place.unreadable;
    EXPECT_TRUE(lists.evoMoves[4].place.readable());

    // An unknown evolution method leaves the list's length unknown.
    image[0x427A7] = 0x06;
    const SpeciesLists odd = tables::ReadSpeciesLists(image, profile, {static_cast<int32_t>(table), {}, {}, {}});
    EXPECT_NE(odd.evoMoves[0].place.unreadable.find("unknown evolution method 6"), std::string::npos);
}

class Laying : public testing::Test {
protected:
    Lists made = listtest::SyntheticLists();
    TestImage file = listtest::ReleaseLikeImage(made);
    tables::TableImage image = Open(file);
    SpeciesLists lists = tables::ReadSpeciesLists(image);
    const rom::ReleaseLayout& row = listtest::RowOf(GameVersion::Crystal);

    // Every byte outside [from, to) is as it was.
    void ExpectOnlyInside(const std::vector<uint8_t>& after, int64_t from, int64_t to) {
        for (size_t i = 0; i < after.size(); ++i) {
            if (static_cast<int64_t>(i) >= from && static_cast<int64_t>(i) < to) continue;
            ASSERT_EQ(after[i], image.bytes[i]) << "byte " << i;
        }
    }
    int64_t UsedEnd(int64_t table) const {
        int64_t end = 0;
        for (const auto& list : lists.evoMoves) end = std::max(end, list.place.offset + list.place.length);
        return table == row.tables.EvoMovePointerOffset ? end : 0;
    }
};

TEST_F(Laying, NothingChangedWritesNothingAndASameLengthEditStaysInPlace) {
    std::vector<uint8_t> after = image.bytes;
    EXPECT_EQ(tables::LayEvoMoveLists(after, lists, EvoMovesOf(lists)), "");
    EXPECT_EQ(tables::LayEggMoveLists(after, lists, EggMovesOf(lists)), "");
    EXPECT_EQ(after, image.bytes);

    auto wanted = EvoMovesOf(lists);
    wanted[9].moves[1].move = 99;  // species 9 has 4 moves
    ASSERT_EQ(tables::LayEvoMoveLists(after, lists, wanted), "");
    // After the evolutions and their 0: the second move's move byte.
    const int64_t evolutionBytes = static_cast<int64_t>(
        listtest::EvoMoveListBytes({lists.evoMoves[9].evolutions, {}}).size() - 1);
    const int64_t at = lists.evoMoves[9].place.offset + evolutionBytes + 2 + 1;
    EXPECT_EQ(after[static_cast<size_t>(at)], 99);
    ExpectOnlyInside(after, at, at + 1);
}

TEST_F(Laying, AGrownListLandsAndEveryOtherListReadsBackUnchanged) {
    auto wanted = EvoMovesOf(lists);
    wanted[100].moves.push_back({90, 57});
    wanted[100].evolutions.push_back({EvolutionMethod::Level, 30, 0, 0, 0, 7});
    std::vector<uint8_t> after = image.bytes;
    ASSERT_EQ(tables::LayEvoMoveLists(after, lists, wanted), "");
    const int64_t table = row.tables.EvoMovePointerOffset;
    ExpectOnlyInside(after, table, listtest::BankEnd(table));

    const SpeciesLists again = tables::ReadSpeciesLists(after, image.profile, lists.layout);
    int64_t end = 0;
    for (size_t p = 0; p < wanted.size(); ++p) {
        ASSERT_TRUE(again.evoMoves[p].place.readable());
        EXPECT_EQ(EvoMoveContents({again.evoMoves[p].evolutions, again.evoMoves[p].moves}), wanted[p]) << p;
        end = std::max(end, again.evoMoves[p].place.offset + again.evoMoves[p].place.length);
    }
    EXPECT_EQ(end, UsedEnd(table) + 5);  // 2 move bytes and 3 evolution bytes more
    for (int64_t i = end; i < listtest::BankEnd(table); ++i) ASSERT_EQ(after[static_cast<size_t>(i)], 0) << i;
    // The lists before the grown one have not moved.
    EXPECT_EQ(again.evoMoves[99].place.offset, lists.evoMoves[99].place.offset);
    EXPECT_EQ(again.evoMoves[101].place.offset, lists.evoMoves[101].place.offset + 5);
}

TEST_F(Laying, GrowthPastTheBankIsRefusedWithTheBytesOver) {
    const int64_t table = row.tables.EvoMovePointerOffset;
    const int64_t free = listtest::BankEnd(table) - UsedEnd(table);
    ASSERT_GT(free, 100);
    auto wanted = EvoMovesOf(lists);
    const size_t fits = static_cast<size_t>(free / 2);
    wanted[250].moves.assign(fits, {100, 1});  // species 250 had no moves
    std::vector<uint8_t> after = image.bytes;
    ASSERT_EQ(tables::LayEvoMoveLists(after, lists, wanted), "");

    wanted[250].moves.assign(fits + 1, {100, 1});
    after = image.bytes;
    const std::string refusal = tables::LayEvoMoveLists(after, lists, wanted);
    EXPECT_NE(refusal.find(std::to_string(2 - free % 2) + " more than the " + std::to_string(listtest::BankEnd(table) - table - 502) + " bytes"),
              std::string::npos)
        << refusal;
    EXPECT_NE(refusal.find("Nothing was written."), std::string::npos);
    EXPECT_EQ(after, image.bytes);
}

TEST_F(Laying, IdenticalEggListsAreSharedWhenPacked) {
    auto wanted = EggMovesOf(lists);
    wanted[0] = {1, 2, 3, 4, 5};  // species 0 had none: the list grows, all are packed
    wanted[4] = {1, 2, 3, 4, 5};
    std::vector<uint8_t> after = image.bytes;
    ASSERT_EQ(tables::LayEggMoveLists(after, lists, wanted), "");
    const SpeciesLists again = tables::ReadSpeciesLists(after, image.profile, lists.layout);
    EXPECT_EQ(again.eggMoves[0].place.offset, again.eggMoves[4].place.offset);
    EXPECT_EQ(again.eggMoves[0].place.offset, row.eggMovePointerOffset + 502);
    EXPECT_EQ(again.eggMoves[3].place.offset, again.eggMoves[7].place.offset);  // both without egg moves
    EXPECT_EQ(again.eggMoves[3].place.length, 1);
    // As in the releases, the one empty list lies after the last list.
    for (const tables::EggMoveList& list : again.eggMoves) {
        EXPECT_LE(list.place.offset, again.eggMoves[3].place.offset);
    }
    EXPECT_EQ(again.eggMoves[1].place.offset, again.eggMoves[5].place.offset);  // both {33, 45}
    for (size_t p = 0; p < wanted.size(); ++p) EXPECT_EQ(again.eggMoves[p].moves, wanted[p]) << p;
    ExpectOnlyInside(after, row.eggMovePointerOffset, listtest::BankEnd(row.eggMovePointerOffset));
}

TEST_F(Laying, PackingRefusesUnreadableListsAndBytesOfTheAreaThatAreNotFree) {
    auto wanted = EvoMovesOf(lists);
    wanted[0].moves.push_back({99, 1});
    std::vector<uint8_t> after = image.bytes;
    after[listtest::BankEnd(row.tables.EvoMovePointerOffset) - 1] = 0x20;  // data of its own in the free tail
    SpeciesLists odd = tables::ReadSpeciesLists(after, image.profile, lists.layout);
    std::vector<uint8_t> untouched = after;
    EXPECT_NE(tables::LayEvoMoveLists(after, odd, wanted).find("after the last list, is not 0"), std::string::npos);
    EXPECT_EQ(after, untouched);

    after = image.bytes;
    after[static_cast<size_t>(row.tables.EvoMovePointerOffset + 2 * 7 + 1)] = 0x20;  // species 7: address 0x20xx
    odd = tables::ReadSpeciesLists(after, image.profile, lists.layout);
    untouched = after;
    const std::string refusal = tables::LayEvoMoveLists(after, odd, wanted);
    EXPECT_NE(refusal.find("the list of species 7 (Wartortle) is unreadable"), std::string::npos) << refusal;
    EXPECT_EQ(after, untouched);
}

TEST_F(Laying, WithoutAKnownFreeAreaListsMayShrinkButNotGrow) {
    SpeciesLists tight = lists;
    tight.layout.evoMoveArea = {};
    auto wanted = EvoMovesOf(lists);
    wanted[14].moves.pop_back();  // 2 bytes shorter
    std::vector<uint8_t> after = image.bytes;
    ASSERT_EQ(tables::LayEvoMoveLists(after, tight, wanted), "");
    const int64_t end = UsedEnd(row.tables.EvoMovePointerOffset);
    EXPECT_EQ(after[static_cast<size_t>(end - 1)], 0);
    EXPECT_EQ(after[static_cast<size_t>(end - 2)], 0);
    ExpectOnlyInside(after, row.tables.EvoMovePointerOffset, end);

    wanted = EvoMovesOf(lists);
    wanted[14].moves.push_back({100, 3});
    after = image.bytes;
    const std::string refusal = tables::LayEvoMoveLists(after, tight, wanted);
    EXPECT_NE(refusal.find("2 more than"), std::string::npos) << refusal;
    EXPECT_NE(refusal.find("may not grow"), std::string::npos) << refusal;
    EXPECT_EQ(after, image.bytes);
}

}  // namespace
