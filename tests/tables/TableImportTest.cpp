#include "tables/TableImport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "rom/HexFunctions.h"
#include "tables/TableDiff.h"
#include "tables/PointerTargets.h"
#include "tables/SpeciesRows.h"
#include "tests/support/RecordingReporter.h"
#include "tests/support/TestNames.h"
#include "tests/tables/ListImages.h"
#include "tests/tables/TablesTestSupport.h"

namespace {

using rom::GameVersion;
using testsupport::RecordingReporter;
using tablestest::Open;
using testsupport::TestImage;

// Every byte offset a field of some species occupies.
std::vector<int64_t> FieldOffsets(const rom::VersionProfile& profile) {
    std::vector<int64_t> offsets;
    for (int32_t p = 0; p < rom::kSpeciesCount; ++p) {
        for (const rom::SpeciesField& field : rom::kSpeciesFields) {
            for (int32_t k = 0; k < field.width; ++k) offsets.push_back(*rom::FieldOffset(profile, p, field) + k);
        }
    }
    return offsets;
}

ino_t InodeOf(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 ? info.st_ino : 0;
}

size_t FilesIn(const std::filesystem::path& folder) {
    return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(folder), {}));
}

std::vector<uint8_t> TestImageBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

bool Import(const tables::TableImage& image, const std::string& text, tables::TableFormat format) {
    const tables::ImportedTable imported = tables::ReadTable(text, format);
    EXPECT_TRUE(imported.ok());
    return tables::WriteChanges(image, tables::PlanImport(image, imported));
}

class ImportOfVersion : public testing::TestWithParam<std::tuple<GameVersion, tables::TableFormat>> {
protected:
    GameVersion version() const { return std::get<0>(GetParam()); }
    tables::TableFormat format() const { return std::get<1>(GetParam()); }
};

// An export of image A imported into image B makes the 23 fields of every
// species of B what they are in A, and changes no other byte of B.
TEST_P(ImportOfVersion, ExportOfAIntoBCopiesEveryFieldAndNothingElse) {
    const TestImage a = tablestest::PatternedImage(version(), 0);
    const TestImage b = tablestest::PatternedImage(version(), 101);
    const std::vector<uint8_t> bytesA = a.ReadAll();
    std::vector<uint8_t> expected = b.ReadAll();
    const tables::TableImage imageB = Open(b);
    for (int64_t offset : FieldOffsets(imageB.profile)) expected[static_cast<size_t>(offset)] = bytesA[static_cast<size_t>(offset)];

    RecordingReporter reporter;
    ASSERT_TRUE(Import(imageB, tables::ExportTable(Open(a), format()), format()));
    EXPECT_TRUE(reporter.empty());
    EXPECT_EQ(b.ReadAll(), expected);
    EXPECT_TRUE(tables::Differences(Open(a).table, Open(b).table).empty());
}

// "Gold_Csv", "Crystal_Json".
std::string VersionAndFormatName(const testing::TestParamInfo<ImportOfVersion::ParamType>& info) {
    const auto [version, format] = info.param;
    return testsupport::VersionName(version) + (format == tables::TableFormat::Csv ? "_Csv" : "_Json");
}

INSTANTIATE_TEST_SUITE_P(Versions, ImportOfVersion,
                         testing::Combine(testing::Values(GameVersion::Gold, GameVersion::Silver, GameVersion::Crystal),
                                          testing::Values(tables::TableFormat::Csv, tables::TableFormat::Json)),
                         VersionAndFormatName);

TEST(TableImport, AnUnchangedExportWritesNothingAndDoesNotTouchTheFile) {
    const TestImage image = tablestest::PatternedImage(GameVersion::Crystal);
    // An old time, so that any write would show in the modification time.
    std::filesystem::last_write_time(image.path(), std::filesystem::file_time_type::clock::now() - std::chrono::hours(5));
    const auto before = std::filesystem::last_write_time(image.path());
    const std::vector<uint8_t> bytes = image.ReadAll();
    const tables::TableImage opened = Open(image);
    for (const tables::TableFormat format : {tables::TableFormat::Csv, tables::TableFormat::Json}) {
        const tables::ImportedTable imported = tables::ReadTable(tables::ExportTable(opened, format), format);
        ASSERT_TRUE(imported.ok());
        const std::vector<tables::FieldChange> changes = tables::PlanImport(opened, imported);
        EXPECT_TRUE(changes.empty());
        EXPECT_TRUE(tables::WriteChanges(opened, changes));
    }
    EXPECT_EQ(std::filesystem::last_write_time(image.path()), before);
    EXPECT_EQ(image.ReadAll(), bytes);
}

TEST(TableImport, WritesOnlyTheChangedBytes) {
    TestImage image = tablestest::PatternedImage(GameVersion::Gold);
    const tables::TableImage opened = Open(image);
    std::vector<uint8_t> expected = image.ReadAll();

    // Random changes to random fields of random species, seeded.
    std::mt19937 random(9);
    tables::SpeciesTable wanted = opened.table;
    for (int i = 0; i < 300; ++i) {
        const auto p = static_cast<int32_t>(random() % rom::kSpeciesCount);
        const size_t f = random() % tables::kFieldCount;
        const rom::SpeciesField& field = rom::kSpeciesFields[f];
        for (int32_t k = 0; k < field.width; ++k) {
            const auto value = static_cast<uint8_t>(random());
            wanted[static_cast<size_t>(p)].fields[f][static_cast<size_t>(k)] = value;
            expected[static_cast<size_t>(*rom::FieldOffset(opened.profile, p, field) + k)] = value;
        }
    }
    const std::vector<tables::FieldChange> changes = tables::Differences(opened.table, wanted);
    ASSERT_FALSE(changes.empty());
    const std::vector<uint8_t> before = image.ReadAll();
    // Whole, a new file takes the image's place; in place, the file stays.
    for (const rom::ImageWriteMode mode : {rom::ImageWriteMode::Whole, rom::ImageWriteMode::InPlace}) {
        image.SetBytes(0, before);
        const ino_t inode = InodeOf(image.path());
        RecordingReporter reporter;
        ASSERT_TRUE(tables::WriteChanges(opened, changes, mode));
        EXPECT_TRUE(reporter.empty());
        EXPECT_EQ(image.ReadAll(), expected);
        EXPECT_EQ(InodeOf(image.path()) == inode, mode == rom::ImageWriteMode::InPlace);
        EXPECT_EQ(FilesIn(image.folder()), 1u) << "no temporary file is left";
    }
}

TEST(TableImport, ARefusedTableChangesNothing) {
    const TestImage image = tablestest::PatternedImage(GameVersion::Silver);
    const tables::TableImage opened = Open(image);
    std::string text = tables::ExportCsv(tables::SpeciesTable{});
    text += "0,Bulbasaur,999,0,0,0,0,0,00,00,0,0,00,00,0,00,0,00,00,0000,00,0,0,0,0\r\n";
    const tables::ImportedTable imported = tables::ReadCsvTable(text);
    ASSERT_FALSE(imported.ok());
    EXPECT_TRUE(tables::PlanImport(opened, imported).empty());
}

TEST(TableImport, AReadOnlyImageIsLeftAsItWasWithOneReport) {
    const TestImage image = tablestest::PatternedImage(GameVersion::Crystal);
    const tables::TableImage opened = Open(image);
    const std::vector<uint8_t> bytes = image.ReadAll();
    tables::SpeciesTable wanted = opened.table;
    for (auto& species : wanted) species.fields[0][0] ^= 0xFF;
    std::filesystem::permissions(image.path(), std::filesystem::perms::owner_read);

    for (const rom::ImageWriteMode mode : {rom::ImageWriteMode::Whole, rom::ImageWriteMode::InPlace}) {
        RecordingReporter reporter;
        EXPECT_FALSE(tables::WriteChanges(opened, tables::Differences(opened.table, wanted), mode));
        ASSERT_EQ(reporter.count(), 1u);
        EXPECT_EQ(reporter.last().number, EACCES);
        EXPECT_NE(reporter.last().description.find("The import stopped before its first write"), std::string::npos);
        EXPECT_EQ(image.ReadAll(), bytes);
    }
}

TEST(TableImport, AnImageThatShrankIsNotWritten) {
    // A hand-built image long enough for every table but the last cry entries.
    TestImage image(TestImage::HeaderByte(GameVersion::Gold), rom::DefaultProfile(GameVersion::Gold).CryTableOffset + 6 * 250);
    const tables::TableImage opened = Open(image);
    tables::SpeciesTable wanted = opened.table;
    wanted[0].fields[0][0] = 1;  // HP of the first species: inside the file
    wanted[250].fields[tables::FieldIndex(*rom::FindField("Pitch"))][0] = 9;  // past its end
    const std::vector<uint8_t> bytes = image.ReadAll();
    for (const rom::ImageWriteMode mode : {rom::ImageWriteMode::Whole, rom::ImageWriteMode::InPlace}) {
        RecordingReporter reporter;
        EXPECT_FALSE(tables::WriteChanges(opened, tables::Differences(opened.table, wanted), mode));
        ASSERT_EQ(reporter.count(), 1u);
        EXPECT_EQ(reporter.last().number, EFBIG);
        EXPECT_EQ(image.ReadAll(), bytes);
        EXPECT_EQ(image.size(), static_cast<int64_t>(bytes.size()));
    }
}

// The write step every import shares: nothing when nothing changes, one
// refusal with the way out when a hard link would keep the old content.
TEST(WriteChangedBytes, WritesNothingForNoChangeAndRefusesAHardLinkedImageUnlessInPlace) {
    const TestImage image(0x41, 4096);
    std::vector<uint8_t> before = image.ReadAll();
    RecordingReporter reporter;
    // Nothing changes: the file is not even opened (a missing one is no failure).
    EXPECT_TRUE(tables::WriteChangedBytes(image.path() + ".missing", before, before));
    EXPECT_TRUE(reporter.empty());

    std::vector<uint8_t> after = before;
    after[0x200] = 0x11;
    after[0x201] = 0x22;
    after[0xFFF] = 0x33;
    const std::string other = (image.folder() / "second-name.gbc").string();
    std::filesystem::create_hard_link(image.path(), other);
    EXPECT_FALSE(tables::WriteChangedBytes(image.path(), before, after));
    ASSERT_EQ(reporter.count(), 1u);
    EXPECT_EQ(reporter.last().number, EMLINK);
    EXPECT_NE(reporter.last().description.find("--in-place"), std::string::npos) << reporter.last().description;
    EXPECT_EQ(image.ReadAll(), before);

    reporter.clear();
    EXPECT_TRUE(tables::WriteChangedBytes(image.path(), before, after, rom::ImageWriteMode::InPlace));
    EXPECT_TRUE(reporter.empty());
    EXPECT_EQ(image.ReadAll(), after);
    EXPECT_EQ(TestImageBytes(other), after);

    // An image of another length is no import of this one.
    std::vector<uint8_t> longer = after;
    longer.push_back(0);
    EXPECT_FALSE(tables::WriteChangedBytes(image.path(), after, longer));
    EXPECT_EQ(reporter.last().number, EINVAL);
}

// The image keeps its permissions and its owner when it is replaced whole.
TEST(WriteChangedBytes, TheReplacedImageKeepsItsModeAndOwner) {
    const TestImage image(0x41, 4096);
    const std::vector<uint8_t> before = image.ReadAll();
    std::vector<uint8_t> after = before;
    after[0x300] ^= 0xFF;
    ASSERT_EQ(chmod(image.path().c_str(), 0640), 0);
    const bool administrator = geteuid() == 0;
    if (administrator) {
        ASSERT_EQ(chown(image.path().c_str(), 65534, 65534), 0);
    }
    ASSERT_TRUE(tables::WriteChangedBytes(image.path(), before, after));
    struct stat info {};
    ASSERT_EQ(stat(image.path().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    if (administrator) {
        EXPECT_EQ(info.st_uid, 65534u);
        EXPECT_EQ(info.st_gid, 65534u);
    }
    EXPECT_EQ(image.ReadAll(), after);
}

TEST(TableDiff, ListsEachDifferingFieldWithBothValues) {
    tables::SpeciesTable before{};
    tables::SpeciesTable after{};
    after[24].fields[0][0] = 40;                                                    // HP
    after[24].fields[tables::FieldIndex(*rom::FindField("Type2"))][0] = 0x02;      // Flying
    after[24].fields[tables::FieldIndex(*rom::FindField("Length"))] = {0x40, 0x01};
    after[250].fields[tables::FieldIndex(*rom::FindField("Gender"))][0] = 0xFF;
    const std::vector<tables::FieldChange> changes = tables::Differences(before, after);
    ASSERT_EQ(changes.size(), 4u);
    EXPECT_EQ(tables::SpeciesCount(changes), 2u);
    EXPECT_EQ(tables::DescribeChanges(changes),
              "24 Pikachu\n"
              "  HP: 0 -> 40\n"
              "  Type2: Normal -> Flying\n"
              "  Length: 0 -> 320\n"
              "250 Celebi\n"
              "  Gender: 0 -> 255\n");
    EXPECT_TRUE(tables::Differences(after, after).empty());
}

}  // namespace

// A changed Pointer is taken only at the start of a complete list; each other
// target is refused with its reason, and a pointer left as the image holds it
// is never judged, wherever it leads.
TEST(PointerTargets, AChangedPointerMustLeadToTheStartOfACompleteList) {
    const listtest::Lists made = listtest::SyntheticLists();
    TestImage file = listtest::ReleaseLikeImage(made);
    const int64_t table = listtest::RowOf(GameVersion::Crystal).tables.EvoMovePointerOffset;
    // The image's own stray pointer. A complete image holding one is refused
    // (its pointers do not all lead to lists); one built by hand (its header
    // checksum broken) keeps being read, and what it holds is never judged.
    file.SetBytes(table + 2 * 250, {0x00, 0x00});
    file.SetByte(rom::kHeaderChecksumOffset, static_cast<uint8_t>(file.ByteAt(rom::kHeaderChecksumOffset) + 1));
    const tables::TableImage image = Open(file);
    const tables::SpeciesLists lists = tables::ReadSpeciesLists(image);
    const size_t pointer = tables::FieldIndex(*rom::FindField("Pointer"));
    const auto address = [&](int64_t offset) {
        const int64_t local = 0x4000 + offset % 0x4000;
        return tables::FieldBytes{static_cast<uint8_t>(local & 0xFF), static_cast<uint8_t>(local >> 8)};
    };
    const int64_t firstList = lists.evoMoves[0].place.offset;
    const int64_t unused = listtest::BankEnd(table) - 16;  // zeros: an empty list reads there
    file.SetByte(unused - 8, 9);  // an unknown evolution method
    const tables::TableImage marked = Open(file);
    const std::vector<std::pair<tables::FieldBytes, std::string>> cases = {
        {address(firstList), ""},  // another species' list: shared
        {address(unused), ""},
        {address(firstList + 1), "into the middle of the list of 0 Bulbasaur"},
        {address(table + 10), "inside the pointer table itself"},
        {address(firstList - 1), "inside the pointer table itself"},
        {address(unused - 8), "where no complete list reads (its list at"},
        {{0xFF, 0x3F}, "to no list: the address 0x3FFF lies outside 0x4000 to 0x7FFF"},
    };
    for (const auto& [bytes, reason] : cases) {
        tables::ImportedTable imported;
        imported.rows.push_back({7, 5, marked.table[5], {}, {}});
        imported.rows.back().values.fields[pointer] = bytes;
        imported.rows.back().given.fill(true);
        imported.rows.push_back({8, 250, marked.table[250], {}, {}});
        imported.rows.back().given.fill(true);
        // Without its Pointer cell, a row keeps the image's pointer whatever
        // its value reads.
        imported.rows.push_back({9, 6, marked.table[6], {}, {}});
        imported.rows.back().values.fields[pointer] = {0xFF, 0x3F};
        tables::RefuseStrayPointers(marked, imported);
        if (reason.empty()) {
            EXPECT_TRUE(imported.ok()) << tables::RefusalText(imported.refusals.front());
            continue;
        }
        ASSERT_EQ(imported.RefusalCount(), 1u) << reason;
        EXPECT_EQ(imported.refusals[0].line, 7);
        EXPECT_NE(imported.refusals[0].message.find(reason), std::string::npos) << imported.refusals[0].message;
    }
}
