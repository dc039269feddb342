// Modified games: images laid out like a release whose tables and routines
// moved, under other game codes and titles. The routines through which the
// game reads its tables say where they are; the tables there must confirm.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "rom/CodeRoutines.h"
#include "rom/HexDigits.h"
#include "rom/ImageFacts.h"
#include "rom/ReleaseLayouts.h"
#include "rom/SpeciesLists.h"
#include "rom/TablesFile.h"
#include "rom/VersionDetection.h"
#include "tests/rom/LayoutTestSupport.h"
#include "tests/support/TableRoutines.h"
#include "tests/support/TestImage.h"

namespace {

using layouttest::ResolveBoth;
using rom::GameVersion;
using rom::ImageLayout;
using testsupport::TestImage;

constexpr int32_t kMovedBy = 0x2F3;  // an odd amount, as a translation's longer texts move them

const rom::ReleaseLayout& Crystal() { return *rom::FindReleaseLayout("BYTE", 0); }

// A Crystal whose tables and routines moved, under a game code of no release.
TestImage ModifiedCrystal() {
    TestImage image = TestImage::OfRelease(Crystal(), kMovedBy);
    image.SetGameCode("COVD", 2);
    image.MakeComplete();
    return image;
}

rom::VersionProfile Moved() { return TestImage::MovedTables(Crystal(), kMovedBy); }
int64_t MovedEggs() { return Crystal().eggMovePointerOffset + kMovedBy; }

std::string RefusalOf(const TestImage& image) {
    const rom::ResolvedLayout layout = ResolveBoth(image, GameVersion::Crystal);
    EXPECT_EQ(layout.kind, ImageLayout::Unknown);
    EXPECT_FALSE(layout.profile.has_value());
    EXPECT_NE(layout.refusal.find("If you know where its tables are, a file \"image.gbc.tables\" beside it can say so."),
              std::string::npos)
        << layout.refusal;
    return layout.refusal;
}

TEST(ModifiedGame, AllFiveTablesAreFoundWhereTheCodeReadsThemWithTheirProof) {
    const TestImage image = ModifiedCrystal();
    const rom::ResolvedLayout layout = ResolveBoth(image, GameVersion::Crystal);
    ASSERT_EQ(layout.kind, ImageLayout::Modified);
    EXPECT_EQ(layout.release, nullptr);
    EXPECT_EQ(layout.profile, Moved());
    EXPECT_EQ(layout.eggMovePointerOffset, MovedEggs());
    // No names or picture routine: those are not known, the five tables are.
    ASSERT_EQ(layout.tables.size(), 5u);
    EXPECT_NE(layout.names.fault.find("does not occur"), std::string::npos) << layout.names.fault;
    EXPECT_FALSE(layout.pictures.pointers.offset.has_value());
    EXPECT_EQ(layout.tables[0].routineAt, testsupport::kBaseRoutineAt);
    EXPECT_EQ(layout.tables[0].proof, "read by the routine at 0x3E00, records of 32 bytes; numbered 1 to 251");
    EXPECT_EQ(layout.tables[1].offset, Moved().MenuIconOffset);
    EXPECT_EQ(layout.tables[1].routineAt, testsupport::IconRoutineAt(Moved().MenuIconOffset));
    EXPECT_EQ(layout.tables[4].key, "eggs");
    EXPECT_EQ(rom::TablesFileLines(layout, std::nullopt), rom::TablesFileText(Moved()) + "eggs = 0x23E04\n");
}

TEST(ModifiedGame, ARoutineOccurringTwiceForOnePlaceIsOneProof) {
    TestImage image = ModifiedCrystal();
    image.SetBytes(0x3F00, testsupport::RoutineFor(rom::kCryRoutine, Moved().CryTableOffset));
    image.MakeComplete();
    const rom::ResolvedLayout layout = ResolveBoth(image, GameVersion::Crystal);
    ASSERT_EQ(layout.kind, ImageLayout::Modified);
    EXPECT_NE(layout.tables[2].proof.find("(and 1 more giving the same place)"), std::string::npos);
}

TEST(ModifiedGame, WhatTheCodeDoesNotProveIsRefusedNamingTheTableAndWhy) {
    {  // No routine for the menu icons.
        TestImage image = ModifiedCrystal();
        image.FillRange(testsupport::IconRoutineAt(Moved().MenuIconOffset), 14, 0);
        EXPECT_NE(RefusalOf(image).find("where its tables lie is not proven: the routine through which the game "
                                        "reads its menu icons does not occur in it."),
                  std::string::npos);
    }
    {  // Two cry routines giving two places.
        TestImage image = ModifiedCrystal();
        image.SetBytes(0x3F00, testsupport::RoutineFor(rom::kCryRoutine, Crystal().tables.CryTableOffset));
        const std::string refusal = RefusalOf(image);
        EXPECT_NE(refusal.find("reads its cry entries occurs at 0x3E40 and at 0x3F00, giving two places (0xF2A7A "
                               "and 0xF2787)"),
                  std::string::npos)
            << refusal;
    }
    {  // Records of 28 bytes.
        TestImage image = ModifiedCrystal();
        image.SetByte(testsupport::kBaseRoutineAt + 12, 28);
        image.SetByte(testsupport::kBaseRoutineAt + 24, 28);
        const std::string refusal = RefusalOf(image);
        EXPECT_NE(refusal.find("reads its base records (at 0x3E00) reads records of 28 bytes, not 32"),
                  std::string::npos)
            << refusal;
    }
    {  // The only cry routine is a decoy: its table is no cry table.
        TestImage image = ModifiedCrystal();
        image.SetBytes(testsupport::kCryRoutineAt, testsupport::RoutineFor(rom::kCryRoutine, 0xF0001));
        const std::string refusal = RefusalOf(image);
        EXPECT_NE(refusal.find("reads its cry entries (at 0x3E40) gives 0xF0001, but there the cry entries at "
                               "0xF0001 are not cry entries"),
                  std::string::npos)
            << refusal;
    }
    {  // The pointer routine names a table whose pointers lead to no lists.
        TestImage image = ModifiedCrystal();
        image.SetBytes(testsupport::kEvoMoveRoutineAt,
                       testsupport::RoutineFor(rom::kEvoMovePointerRoutine, Moved().EvoMovePointerOffset + 1));
        const std::string refusal = RefusalOf(image);
        EXPECT_NE(refusal.find("do not all lead to complete lists (species 1: "), std::string::npos) << refusal;
    }
    {  // An address outside 0x4000 to 0x7FFF.
        TestImage image = ModifiedCrystal();
        image.SetBytes(testsupport::kEggMoveRoutineAt + 8, {0x00, 0x20});
        EXPECT_NE(RefusalOf(image).find("gives the address 0x2000, outside 0x4000 to 0x7FFF"), std::string::npos);
    }
}

TEST(ModifiedGame, TheCodeWinsOverAReleaseRowThatStillConfirmsTheOldPlace) {
    // The American Crystal's game code, revision, base records and cries, but
    // its menu icons 6 bytes later: only the routine finds them.
    TestImage image = TestImage::OfRelease(Crystal());
    const int64_t icons = Crystal().tables.MenuIconOffset + 6;
    image.SetBytes(testsupport::IconRoutineAt(icons), testsupport::RoutineFor(rom::kMenuIconRoutine, icons));
    image.MakeComplete();
    const rom::ResolvedLayout layout = ResolveBoth(image, GameVersion::Crystal);
    EXPECT_EQ(layout.kind, ImageLayout::Modified);
    EXPECT_EQ(layout.release, &Crystal());
    rom::VersionProfile expected = Crystal().tables;
    expected.MenuIconOffset = static_cast<int32_t>(icons);
    EXPECT_EQ(layout.profile, expected);
    EXPECT_EQ(rom::LayoutCaption(layout),
              "a modified game based on Kreblin Crystal Version (game code and revision of the American release)");
}

TEST(ModifiedGame, ATitleThatNamesNoVersionIsNamedByTheTablesFile) {
    TestImage image = ModifiedCrystal();
    image.SetByte(rom::kVersionByteOffset, 0x58);  // "X": the title changed
    image.MakeComplete();
    const std::vector<uint8_t> bytes = image.ReadAll();
    EXPECT_EQ(rom::ImageVersion(bytes, static_cast<int64_t>(bytes.size()), image.path()), std::nullopt);

    image.WriteTablesFile("# a Crystal by every table\nversion = crystal\n");
    EXPECT_EQ(rom::ImageVersion(bytes, static_cast<int64_t>(bytes.size()), image.path()), GameVersion::Crystal);
    EXPECT_EQ(rom::ImageVersionOfFile(image.path()), GameVersion::Crystal);
    // A version line alone leaves the tables to the code.
    const rom::ResolvedLayout layout = ResolveBoth(image, GameVersion::Crystal);
    EXPECT_EQ(layout.kind, ImageLayout::Modified);
    EXPECT_EQ(layout.profile, Moved());
    EXPECT_EQ(rom::TablesFileLines(layout, GameVersion::Crystal).rfind("version = crystal\nbase = ", 0), 0u);

    // With offsets too: the file's word, still confirmed.
    image.WriteTablesFile("version = gold\n" + rom::TablesFileText(Moved()));
    EXPECT_EQ(rom::ImageVersionOfFile(image.path()), GameVersion::Gold);
    EXPECT_EQ(ResolveBoth(image, GameVersion::Gold).kind, ImageLayout::TablesFile);

    // Only a complete image's version comes from the file.
    image.SetByte(rom::kHeaderChecksumOffset, static_cast<uint8_t>(image.ByteAt(rom::kHeaderChecksumOffset) + 1));
    EXPECT_EQ(rom::ImageVersionOfFile(image.path()), std::nullopt);
}

TEST(ModifiedGame, TablesFileVersionLinesAreParsedStrictly) {
    EXPECT_EQ(rom::ParseTablesFile("version = silver\n").file->version, GameVersion::Silver);
    EXPECT_FALSE(rom::ParseTablesFile("version = silver\n").file->namesTables);
    const rom::TablesFileParse wrong = rom::ParseTablesFile("version = Ruby\n");
    EXPECT_EQ(wrong.line, 1);
    EXPECT_EQ(wrong.fault, "\"Ruby\" is not a version: crystal, gold or silver");
    EXPECT_EQ(rom::ParseTablesFile("version = gold\nversion = gold\n").fault,
              "a second \"version\" line (the first is line 1)");
    // Offsets come all four or not at all.
    EXPECT_EQ(rom::ParseTablesFile("version = gold\nbase = 0x51B0B\n").fault, "the file has no line \"icons = 0x...\"");
}

// ---- Lists in a modified game -----------------------------------------------------------

// A modified Crystal that keeps 251 bytes of its own between the move/evolution
// pointer table and its first list, the lists one after another after them,
// and the rest of the bank 0.
class ModifiedGameLists : public testing::Test {
protected:
    void SetUp() override {
        const TestImage file = ModifiedCrystal();
        bytes = file.ReadAll();
        const int64_t table = Moved().EvoMovePointerOffset;
        first = table + rom::kPointerTableLength + 251;
        bankEnd = (table / rom::kBankSize + 1) * rom::kBankSize;
        std::fill(bytes.begin() + table + rom::kPointerTableLength, bytes.begin() + bankEnd, uint8_t{0});
        for (int64_t k = 0; k < 251; ++k) bytes[static_cast<size_t>(table + rom::kPointerTableLength + k)] = static_cast<uint8_t>(0x80 + k % 100);
        for (int32_t p = 0; p < rom::kSpeciesCount; ++p) {
            const int64_t list = first + 2 * p;  // "00 00": no evolutions, no moves
            const auto address = static_cast<uint16_t>(0x4000 + list % rom::kBankSize);
            bytes[static_cast<size_t>(table + 2 * p)] = static_cast<uint8_t>(address & 0xFF);
            bytes[static_cast<size_t>(table + 2 * p + 1)] = static_cast<uint8_t>(address >> 8);
        }
        Read();
    }

    void Read() {
        layout = rom::ResolveLayout(bytes, GameVersion::Crystal, "");
        ASSERT_EQ(layout.kind, ImageLayout::Modified) << layout.refusal;
        lists = rom::ReadSpeciesLists(bytes, *layout.profile, rom::ListLayoutOf(bytes, *layout.profile, layout));
    }

    std::array<rom::EvoMoveContents, rom::kSpeciesCount> Wanted() const {
        std::array<rom::EvoMoveContents, rom::kSpeciesCount> wanted;
        for (size_t p = 0; p < wanted.size(); ++p) {
            wanted[p] = {lists.evoMoves[p].evolutions, lists.evoMoves[p].moves};
        }
        return wanted;
    }

    std::vector<uint8_t> bytes;
    int64_t first = 0;
    int64_t bankEnd = 0;
    rom::ResolvedLayout layout;
    rom::SpeciesLists lists;
};

TEST_F(ModifiedGameLists, PackingStartsAtTheFirstListAndGrowsOnlyIntoTheZerosThatEndTheBank) {
    EXPECT_EQ(lists.layout.evoMoveArea.kind, rom::ListAreaKind::FromFirstList);
    const rom::ListRoom room = rom::EvoMoveRoom(lists);
    EXPECT_EQ(room.area, bankEnd - first);
    EXPECT_TRUE(room.grows);

    std::array<rom::EvoMoveContents, rom::kSpeciesCount> wanted = Wanted();
    wanted[24].moves.push_back({5, 84});  // two bytes longer: every list moves
    std::vector<uint8_t> after = bytes;
    ASSERT_EQ(rom::LayEvoMoveLists(after, lists, wanted), std::nullopt);
    const int64_t table = Moved().EvoMovePointerOffset;
    for (size_t i = 0; i < after.size(); ++i) {
        const auto at = static_cast<int64_t>(i);
        const bool pointers = at >= table && at < table + rom::kPointerTableLength;
        const bool area = at >= first && at < bankEnd;
        if (!pointers && !area) {
            ASSERT_EQ(after[i], bytes[i]) << "byte 0x" << std::hex << at;
        }
    }
    bytes = after;
    Read();
    EXPECT_EQ(lists.evoMoves[24].place.offset, first + 2 * 24);
    EXPECT_EQ(lists.evoMoves[24].moves, (std::vector<rom::LevelMove>{{5, 84}}));
    EXPECT_EQ(lists.evoMoves[25].place.offset, first + 2 * 25 + 2);
}

// A game whose ".tables" file places its tables (the lines `info --tables`
// prints) is packed by the same rule as one its code places; a release whose
// ".tables" file confirms it keeps the release's rule, to the bank's end.
TEST_F(ModifiedGameLists, TablesFileGamesArePackedAsModifiedGamesAndReleasesAsReleases) {
    TestImage file;
    file.SetBytes(0, bytes);
    file.WriteTablesFile(rom::TablesFileLines(layout, std::nullopt));
    const rom::ResolvedLayout fromFile = rom::ResolveLayout(bytes, GameVersion::Crystal, file.path());
    ASSERT_EQ(fromFile.kind, ImageLayout::TablesFile) << fromFile.refusal;
    const rom::SpeciesLists read =
        rom::ReadSpeciesLists(bytes, *fromFile.profile, rom::ListLayoutOf(bytes, *fromFile.profile, fromFile));
    EXPECT_EQ(read.layout.evoMoveArea.kind, rom::ListAreaKind::FromFirstList);
    EXPECT_EQ(read.layout.eggMoveArea.kind, rom::ListAreaKind::FromFirstList);
    const rom::ListRoom room = rom::EvoMoveRoom(read);
    EXPECT_EQ(room.area, bankEnd - first);
    EXPECT_TRUE(room.grows);

    const TestImage release = TestImage::OfRelease(Crystal());
    release.WriteTablesFile(rom::TablesFileText(Crystal().tables) + "eggs = 0x" +
                            rom::hexdigits::Of(static_cast<uint64_t>(Crystal().eggMovePointerOffset)) + "\n");
    const std::vector<uint8_t> releaseBytes = release.ReadAll();
    const rom::ResolvedLayout released = rom::ResolveLayout(releaseBytes, GameVersion::Crystal, release.path());
    ASSERT_EQ(released.kind, ImageLayout::TablesFile) << released.refusal;
    const rom::ListLayout releaseLists = rom::ListLayoutOf(releaseBytes, *released.profile, released);
    EXPECT_EQ(releaseLists.evoMoveArea.kind, rom::ListAreaKind::ToBankEnd);
    EXPECT_EQ(releaseLists.eggMoveArea.kind, rom::ListAreaKind::ToBankEnd);
}

TEST_F(ModifiedGameLists, WithoutZerosAfterTheLastListAGrowthIsRefusedSayingTheRoom) {
    bytes[static_cast<size_t>(bankEnd - 1)] = 0x5A;  // data of the game's own at the bank's end
    Read();
    const rom::ListRoom room = rom::EvoMoveRoom(lists);
    EXPECT_EQ(room.area, 2 * rom::kSpeciesCount);
    EXPECT_FALSE(room.grows);
    std::array<rom::EvoMoveContents, rom::kSpeciesCount> wanted = Wanted();
    wanted[24].moves.push_back({5, 84});
    std::vector<uint8_t> after = bytes;
    const std::optional<rom::ListLayRefusal> refusal = rom::LayEvoMoveLists(after, lists, wanted);
    ASSERT_TRUE(refusal.has_value());
    EXPECT_NE(refusal->text.find("2 more than the 502 bytes from"), std::string::npos) << refusal->text;
    EXPECT_NE(refusal->text.find("in this modified game the lists may use only the bytes they hold and the 0 bytes "
                                 "that end their bank"),
              std::string::npos)
        << refusal->text;
    EXPECT_EQ(after, bytes);
}

}  // namespace
