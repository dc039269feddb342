#include "tables/SpeciesTable.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <string>

#include "rom/HexFunctions.h"
#include "tables/FieldText.h"
#include "tables/ImageFiles.h"
#include "tests/support/RecordingReporter.h"
#include "tests/support/TestNames.h"
#include "tests/tables/TablesTestSupport.h"

namespace {

using rom::GameVersion;
using testsupport::RecordingReporter;
using testsupport::TestImage;

class SpeciesTableOfVersion : public testing::TestWithParam<GameVersion> {};

// The whole-image read agrees with the byte layer's reads, field by field, for
// every species: the table model reads what the window's loader reads.
TEST_P(SpeciesTableOfVersion, ReadsWhatTheByteLayerReads) {
    const TestImage image = tablestest::PatternedImage(GetParam());
    std::string refusal;
    RecordingReporter reporter;
    const std::optional<tables::TableImage> opened = tables::OpenTableImage(image.path(), refusal);
    ASSERT_TRUE(opened) << refusal;
    EXPECT_TRUE(reporter.empty());
    EXPECT_EQ(opened->version, GetParam());
    EXPECT_EQ(opened->layout, rom::ImageLayout::Released);
    EXPECT_EQ(opened->profile, rom::ReleasedProfile(GetParam()));
    for (int32_t species = 0; species < rom::kSpeciesCount; ++species) {
        for (size_t f = 0; f < tables::kFieldCount; ++f) {
            const rom::SpeciesField& field = rom::kSpeciesFields[f];
            const std::string hex = HexFunctions::ReadHexBytes(
                image.path(), *rom::FieldOffset(opened->profile, species, field), field.width);
            ASSERT_EQ(tables::BytesOfHex(hex), opened->table[static_cast<size_t>(species)].fields[f])
                << field.control << " of species " << species;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Versions, SpeciesTableOfVersion,
                         testing::Values(GameVersion::Gold, GameVersion::Silver, GameVersion::Crystal),
                         testsupport::VersionParamName);

TEST(SpeciesTable, AHandBuiltImageUsesTheDefaultTablesAndAShortOneReadsZeros) {
    TestImage image(TestImage::HeaderByte(GameVersion::Gold), 0x60000);  // ends inside the menu icons' gap
    image.SetByte(rom::DefaultProfile(GameVersion::Gold).BaseStatsOffset + 1, 77);
    std::string refusal;
    const std::optional<tables::TableImage> opened = tables::OpenTableImage(image.path(), refusal);
    ASSERT_TRUE(opened) << refusal;
    EXPECT_EQ(opened->layout, rom::ImageLayout::HandBuilt);
    EXPECT_EQ(opened->table[0].fields[0][0], 77);
    EXPECT_EQ(opened->table[250].fields[tables::FieldIndex(*rom::FindField("Cry"))][0], 0);
}

TEST(SpeciesTable, RefusesImagesWithoutAVersionOrWithAnUnknownLayout) {
    RecordingReporter reporter;
    std::string refusal;
    TestImage noVersion(0x4A);
    EXPECT_FALSE(tables::OpenTableImage(noVersion.path(), refusal));
    EXPECT_NE(refusal.find("is not an image of a Kreblin version: its header names none of the three (the byte at "
                           "0x13C is 0x4A, where Gold has 0x47, Silver 0x53 and Crystal 0x41), and its header "
                           "checksum is wrong. Nothing was read or written."),
              std::string::npos)
        << refusal;
    noVersion.MakeComplete();
    EXPECT_FALSE(tables::OpenTableImage(noVersion.path(), refusal));
    EXPECT_NE(refusal.find("checksum is right, so it may be the image of another game."), std::string::npos) << refusal;

    TestImage unknown(TestImage::HeaderByte(GameVersion::Crystal));
    unknown.MakeComplete();
    refusal.clear();
    EXPECT_FALSE(tables::OpenTableImage(unknown.path(), refusal));
    EXPECT_NE(refusal.find("where its tables lie is not proven: the routine through which the game reads its base "
                           "records does not occur in it."),
              std::string::npos)
        << refusal;
    EXPECT_NE(refusal.find("Nothing was read or written."), std::string::npos) << refusal;
    EXPECT_TRUE(reporter.empty());
}

TEST(SpeciesTable, FilesThatCannotBeReadAreReportedFailures) {
    RecordingReporter reporter;
    std::string refusal;
    const TestImage image(0x41);
    EXPECT_FALSE(tables::OpenTableImage(image.path() + ".missing", refusal));
    EXPECT_EQ(reporter.last().number, ENOENT);
    EXPECT_FALSE(tables::OpenTableImage(image.folder().string(), refusal));
    EXPECT_EQ(reporter.last().number, EISDIR);
    EXPECT_TRUE(refusal.empty());

    // Larger than any cartridge: refused without reading it.
    const TestImage huge(0x41, tables::kLargestImage + 1);
    EXPECT_FALSE(tables::OpenTableImage(huge.path(), refusal));
    EXPECT_EQ(reporter.last().number, EFBIG);
    EXPECT_NE(reporter.last().description.find("8 MiB"), std::string::npos) << reporter.last().description;
    const TestImage largest = TestImage::Released(GameVersion::Gold, tables::kLargestImage);
    EXPECT_TRUE(tables::OpenTableImage(largest.path(), refusal));
}

TEST(ImageFiles, ReplaceFileContentsLeavesNoTemporaryFileAndUsualPermissions) {
    const TestImage image(0x41, 16);
    const std::string target = (image.folder() / "out.csv").string();
    ASSERT_TRUE(tables::ReplaceFileContents(target, "first"));
    ASSERT_TRUE(tables::ReplaceFileContents(target, "second"));
    std::ifstream in(target);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "second");
    size_t files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(image.folder())) ++files;
    EXPECT_EQ(files, 2u);  // the image and out.csv
    struct stat status {};
    ASSERT_EQ(::stat(target.c_str(), &status), 0);
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(status.st_mode & 0777, 0666 & ~mask);

    RecordingReporter reporter;
    EXPECT_FALSE(tables::ReplaceFileContents((image.folder() / "no-folder" / "out.csv").string(), "x"));
    EXPECT_EQ(reporter.last().number, ENOENT);
}

}  // namespace
