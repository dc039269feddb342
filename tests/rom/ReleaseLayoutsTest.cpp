// The official releases as data, and the layout that an image laid out like
// each of them gets: its own offsets when the image confirms them, a refusal
// that names what is unknown otherwise.

#include "rom/ReleaseLayouts.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>

#include "rom/ImageFacts.h"
#include "rom/VersionDetection.h"
#include "tests/rom/LayoutTestSupport.h"
#include "tests/support/TableRoutines.h"
#include "tests/support/TestImage.h"
#include "tests/support/TestNames.h"

namespace {

using layouttest::ResolveBoth;
using rom::GameVersion;
using rom::ImageLayout;
using rom::ReleaseLayout;
using testsupport::TestImage;

const ReleaseLayout& Row(std::string_view code, uint8_t revision = 0) {
    const ReleaseLayout* row = rom::FindReleaseLayout(code, revision);
    if (row == nullptr) throw std::invalid_argument("no row " + std::string(code));
    return *row;
}

// ---- The table ------------------------------------------------------------------------

TEST(ReleaseLayouts, OneRowPerCodeAndRevisionWhoseTablesFitItsImage) {
    std::set<std::pair<std::string_view, uint8_t>> identities;
    std::set<std::string_view> digests;
    for (const ReleaseLayout& row : rom::kReleaseLayouts) {
        SCOPED_TRACE(testsupport::ReleaseName(row));
        EXPECT_TRUE(identities.insert({row.gameCode, row.revision}).second);
        EXPECT_TRUE(digests.insert(row.sha1).second);
        EXPECT_EQ(rom::FindReleaseLayout(row.gameCode, row.revision), &row);
        EXPECT_EQ(rom::FindReleaseBySha1(row.sha1), &row);
        EXPECT_EQ(row.sha1.find_first_not_of("0123456789abcdef"), std::string_view::npos);
        EXPECT_EQ(row.sha1.size(), 40u);
        // The market is the one the code's last letter names.
        EXPECT_EQ(rom::MarketOfCode(row.gameCode), row.market);
        // A size a cartridge declares, holding every table, the egg move
        // pointers included.
        EXPECT_TRUE(row.imageSize == rom::DeclaredRomSize(5) || row.imageSize == rom::DeclaredRomSize(6));
        for (const rom::SpeciesField& field : rom::kSpeciesFields) {
            EXPECT_LE(int64_t{*rom::FieldOffset(row.tables, 250, field)} + field.width, row.imageSize);
        }
        EXPECT_LE(int64_t{row.eggMovePointerOffset} + 2 * 251, row.imageSize);
    }
    // The first American releases are the layout images built by hand were
    // always checked against.
    for (GameVersion version : {GameVersion::Gold, GameVersion::Silver, GameVersion::Crystal}) {
        EXPECT_EQ(rom::FirstAmericanRelease(version).tables, rom::ReleasedProfile(version));
        EXPECT_EQ(rom::FirstAmericanRelease(version).version, version);
    }
    EXPECT_EQ(rom::FindReleaseLayout("BYTE", 2), nullptr);
    EXPECT_EQ(rom::FindReleaseLayout("BYTX", 0), nullptr);
    EXPECT_EQ(rom::FindReleaseBySha1("da39a3ee5e6b4b0d3255bfef95601890afd80709"), nullptr);
    EXPECT_TRUE(rom::IsKnownGameCode("AAXJ"));
    EXPECT_FALSE(rom::IsKnownGameCode("AAXF"));
}

TEST(ReleaseLayouts, CaptionsMarketsAndShortNames) {
    EXPECT_EQ(rom::ReleaseCaption(Row("BYTF")), "Kreblin Crystal Version (French)");
    EXPECT_EQ(rom::ReleaseCaption(Row("AAUJ", 1)), "Kreblin Gold Version (Japanese, revision 1)");
    EXPECT_EQ(rom::ReleaseCaption(Row("AAXE")), "Kreblin Silver Version (America)");
    EXPECT_EQ(rom::ReleaseShortName(Row("BYTF")), "French release");
    EXPECT_EQ(rom::ReleaseShortName(Row("BYTE", 1)), "American release, revision 1");
    EXPECT_EQ(rom::ReleaseShortName(Row("BYTU")), "Australian release");
    EXPECT_EQ(rom::MarketOfCode("XXXD"), "German");
    EXPECT_EQ(rom::MarketOfCode("AAUZ"), std::nullopt);
    EXPECT_EQ(rom::MarketOfCode("AAU"), std::nullopt);
    const std::vector<uint8_t> header = {0x00, 'B', 'Y', 0x07};
    std::vector<uint8_t> image(0x150, 0);
    std::copy(header.begin(), header.end(), image.begin() + rom::kGameCodeOffset);
    EXPECT_EQ(rom::GameCodeOf(image), "?BY?");
    EXPECT_EQ(rom::GameCodeOf(std::vector<uint8_t>(0x140, 'A')), "A???");  // ends inside the code
}

// ---- Each release ---------------------------------------------------------------------

class EachRelease : public testing::TestWithParam<size_t> {
protected:
    const ReleaseLayout& row() const { return rom::kReleaseLayouts[GetParam()]; }
};

TEST_P(EachRelease, IsEditedAtItsOwnOffsetsWhichItsCodeGives) {
    const TestImage image = TestImage::OfRelease(row());
    const rom::ResolvedLayout layout = ResolveBoth(image, row().version);
    EXPECT_EQ(layout.kind, ImageLayout::Released);
    EXPECT_EQ(layout.release, &row());
    EXPECT_EQ(layout.profile, row().tables);
    EXPECT_EQ(layout.eggMovePointerOffset, row().eggMovePointerOffset);
    EXPECT_TRUE(layout.tablesFile.empty());
    const rom::CodeLocation located = rom::LocateTablesByCode(image.ReadAll());
    ASSERT_TRUE(located.proven()) << located.fault;
    const std::vector<int64_t> released = {row().tables.BaseStatsOffset, row().tables.MenuIconOffset,
                                           row().tables.CryTableOffset, row().tables.EvoMovePointerOffset,
                                           row().eggMovePointerOffset};
    std::vector<int64_t> fromCode;
    for (const rom::TableFact& fact : located.tables) fromCode.push_back(fact.offset);
    EXPECT_EQ(fromCode, released);
    EXPECT_EQ(located.tables[1].routineAt, testsupport::IconRoutineAt(row().tables.MenuIconOffset));
}

TEST_P(EachRelease, WithItsTablesMovedIsEditedWhereItsCodeReadsThem) {
    // Later by an odd amount, earlier by a whole record (record 2 then stands
    // where record 1 belongs), and by a single byte.
    for (int32_t movedBy : {17, -32, 1}) {
        SCOPED_TRACE(movedBy);
        const TestImage image = TestImage::OfRelease(row(), movedBy);
        const rom::ResolvedLayout layout = ResolveBoth(image, row().version);
        EXPECT_EQ(layout.kind, ImageLayout::Modified);
        EXPECT_EQ(layout.release, &row());  // named by its game code and revision
        EXPECT_EQ(layout.profile, TestImage::MovedTables(row(), movedBy));
        EXPECT_EQ(layout.eggMovePointerOffset, row().eggMovePointerOffset + movedBy);
        EXPECT_EQ(rom::LayoutCaption(layout),
                  "a modified game based on " + std::string(rom::VersionCaption(row().version)) +
                      " (game code and revision of the " + rom::ReleaseShortName(row()) + ")");
    }
}

TEST_P(EachRelease, WithoutTheRoutinesIsRefusedNamingTheTableAndTheRemedy) {
    const TestImage image = TestImage::OfRelease(row(), 0, /*withRoutines=*/false);
    const rom::ResolvedLayout layout = ResolveBoth(image, row().version);
    EXPECT_EQ(layout.kind, ImageLayout::Unknown);
    EXPECT_EQ(layout.eggMovePointerOffset, std::nullopt);
    EXPECT_EQ(layout.refusal, "This is a complete image of " + std::string(rom::VersionCaption(row().version)) +
                                  ", but where its tables lie is not proven: the routine through which the game "
                                  "reads its base records does not occur in it. If you know where its tables are, "
                                  "a file \"image.gbc.tables\" beside it can say so.");
}

TEST_P(EachRelease, WithItsCryEntriesChangedIsRefused) {
    TestImage image = TestImage::OfRelease(row());
    image.SetByte(row().tables.CryTableOffset + 6 * 250 + 1, 0x40);
    const rom::ResolvedLayout layout = ResolveBoth(image, row().version);
    EXPECT_EQ(layout.kind, ImageLayout::Unknown);
    EXPECT_NE(layout.refusal.find("byte 1 of the entry at"), std::string::npos) << layout.refusal;
}

TEST_P(EachRelease, OfAnUnknownRevisionIsAModifiedGameBasedOnItsVersion) {
    TestImage image = TestImage::OfRelease(row());
    image.SetByte(rom::kRomVersionOffset, 9);
    image.MakeComplete();
    const rom::ResolvedLayout layout = ResolveBoth(image, row().version);
    EXPECT_EQ(layout.kind, ImageLayout::Modified);
    EXPECT_EQ(layout.release, nullptr);
    EXPECT_EQ(layout.profile, row().tables);
    EXPECT_EQ(rom::LayoutCaption(layout), "a modified game based on " + std::string(rom::VersionCaption(row().version)));
}

TEST_P(EachRelease, WithABrokenHeaderChecksumIsHandBuiltButStillFoundAtItsOffsets) {
    // Not complete any more: the rules of images built by hand, under which
    // records numbered at the named release's offsets still count.
    TestImage image = TestImage::OfRelease(row());
    image.SetByte(rom::kHeaderChecksumOffset, static_cast<uint8_t>(image.ByteAt(rom::kHeaderChecksumOffset) + 1));
    rom::ResolvedLayout layout = ResolveBoth(image, row().version);
    EXPECT_EQ(layout.kind, ImageLayout::Released);
    EXPECT_EQ(layout.release, &row());

    // Moved as well: the default tables, as for any image built by hand.
    TestImage moved = TestImage::OfRelease(row(), 16);
    moved.SetByte(rom::kHeaderChecksumOffset, static_cast<uint8_t>(moved.ByteAt(rom::kHeaderChecksumOffset) + 1));
    layout = ResolveBoth(moved, row().version);
    EXPECT_EQ(layout.kind, ImageLayout::HandBuilt);
    EXPECT_EQ(layout.profile, rom::DefaultProfile(row().version));
    EXPECT_EQ(layout.eggMovePointerOffset, std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(Releases, EachRelease, testing::Range<size_t>(0, rom::kReleaseLayouts.size()),
                         testsupport::ReleaseParamName);

// ---- Headers that name no release -----------------------------------------------------

TEST(ReleaseIdentity, AnyGameCodeIsAModifiedGameOfTheVersionTheHeaderByteNames) {
    // A game code of no release, and Gold's code under a header byte that
    // says Silver: both are edited where their code says, as that version.
    TestImage image = TestImage::OfRelease(Row("BYTE"));
    image.SetGameCode("BYTV");
    image.MakeComplete();
    rom::ResolvedLayout layout = ResolveBoth(image, GameVersion::Crystal);
    EXPECT_EQ(layout.kind, ImageLayout::Modified);
    EXPECT_EQ(layout.release, nullptr);
    EXPECT_EQ(layout.profile, Row("BYTE").tables);

    TestImage gold = TestImage::OfRelease(Row("AAUE"));
    gold.SetByte(rom::kVersionByteOffset, TestImage::HeaderByte(GameVersion::Silver));
    gold.MakeComplete();
    layout = ResolveBoth(gold, GameVersion::Silver);
    EXPECT_EQ(layout.kind, ImageLayout::Modified);
    EXPECT_EQ(layout.release, nullptr);
    EXPECT_EQ(rom::LayoutCaption(layout), "a modified game based on Kreblin Silver Version");
}

TEST(ReleaseIdentity, TheFrenchCrystalIsNoLongerTakenForTheDefaultProfile) {
    // The French release's tables lie exactly at the default Crystal offsets;
    // with its header it is now a release of its own, not "unknown".
    const ReleaseLayout& french = Row("BYTF");
    EXPECT_EQ(french.tables, rom::DefaultProfile(GameVersion::Crystal));
    const rom::ResolvedLayout layout = ResolveBoth(TestImage::OfRelease(french), GameVersion::Crystal);
    EXPECT_EQ(layout.kind, ImageLayout::Released);
    EXPECT_EQ(layout.release, &french);
}

// ---- The hint for refused images ------------------------------------------------------

TEST(NumberedBaseRecordPlaces, FindsEveryPlaceUpToTheLimit) {
    std::vector<uint8_t> image(0x10000, 0);
    EXPECT_TRUE(rom::NumberedBaseRecordPlaces(image, 2).empty());
    const auto number = [&image](size_t base) {
        for (size_t k = 0; k < 251; ++k) image[base + 32 * k] = static_cast<uint8_t>(k + 1);
    };
    number(0x1234);
    EXPECT_EQ(rom::NumberedBaseRecordPlaces(image, 2), (std::vector<int64_t>{0x1234}));
    number(0x8000);
    EXPECT_EQ(rom::NumberedBaseRecordPlaces(image, 2), (std::vector<int64_t>{0x1234, 0x8000}));
    EXPECT_EQ(rom::NumberedBaseRecordPlaces(image, 1), (std::vector<int64_t>{0x1234}));
    // Records that run past the end do not count.
    std::vector<uint8_t> cut(image.begin(), image.begin() + 0x8000 + 32 * 250);
    EXPECT_EQ(rom::NumberedBaseRecordPlaces(cut, 2), (std::vector<int64_t>{0x1234}));
    cut.push_back(251);
    EXPECT_EQ(rom::NumberedBaseRecordPlaces(cut, 2), (std::vector<int64_t>{0x1234, 0x8000}));
}

}  // namespace
