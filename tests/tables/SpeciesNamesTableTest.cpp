// The species' own names in the table tools: read with each release's
// character set from an image laid out like the release, exported exactly in
// every format, taken back unchanged without a write, renamed on exactly
// their field, and refused with nothing written.

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "formats/Formats.h"
#include "formats/Workbook.h"
#include "rom/SpeciesNames.h"
#include "rom/TablesFile.h"
#include "tables/FieldText.h"
#include "tables/FileOrigin.h"
#include "tables/ImageInfo.h"
#include "tables/ImageLists.h"
#include "tables/ListDiff.h"
#include "tables/NameText.h"
#include "tables/SpeciesRows.h"
#include "tables/TableImport.h"
#include "tables/WorkbookTables.h"
#include "tests/support/NameImages.h"
#include "tests/support/TestNames.h"
#include "tests/tables/TablesTestSupport.h"

namespace {

using testsupport::TestImage;

struct Named {
    int32_t position;
    std::vector<uint8_t> bytes;
    std::string text;
};

// Per family, names that need its own characters: a name filling the field,
// one with a byte that draws two characters, a short one.
std::vector<Named> NamesOf(std::string_view charset) {
    if (charset == "fr") {
        return {{5, {0x8B, 0xBB, 0xB5, 0xB1, 0xA4, 0xBA, 0xE3, 0xCA, 0xCC, 0xBF}, "Lèvreà-ûîç"},
                {82, {0x8A, 0xD4, 0x8E}, "Kc'O"},
                {28, {0x8D, 0x8E, 0x84, 0x8B, 0xF5}, "NOEL♀"}};
    }
    if (charset == "de") {
        return {{5, {0x8C, 0xC4, 0xB6, 0xA4, 0xAD, 0xBE, 0xA0, 0xB3, 0xA8, 0xAD}, "Möwenßatin"},
                {82, {0x83, 0xDB, 0x80}, "Ds'A"},
                {28, {0x8D, 0x88, 0x83, 0xC2, 0xEF}, "NIDÜ♂"}};
    }
    if (charset == "es") {
        return {{5, {0xCA, 0xA0, 0xAD, 0xA3, 0xD5, 0xCF, 0xBF, 0xC7, 0xE5, 0xE4}, "ÑandúáÁÉ¡¿"},
                {82, {0x85, 0x80, 0x91, 0x85, 0x84, 0x93, 0x82, 0x87, 0xD8}, "FARFETCH'd"},
                {28, {0x8D, 0x88, 0x83, 0x8E, 0x91, 0x80, 0x8D, 0xF5}, "NIDORAN♀"}};
    }
    if (charset == "ja") {
        return {{24, {0x41, 0x85, 0x90, 0xAE, 0x82}, "ピカチュウ"},
                {82, {0xB1, 0xE5, 0xDE}, "あ゛ん"},
                {28, {0x05, 0xE3}, "ガー"}};
    }
    return {{5, {0x82, 0x87, 0x80, 0x91, 0x8C, 0x84, 0x8B, 0x84, 0x8E, 0x8D}, "CHARMELEON"},
            {82, {0x85, 0x80, 0x91, 0x85, 0x84, 0x93, 0x82, 0x87, 0xD0}, "FARFETCH'd"},
            {28, {0x8D, 0x88, 0x83, 0x8E, 0x91, 0x80, 0x8D, 0xF5}, "NIDORAN♀"}};
}

// The text of PlainName(p): 'N' (in kana 'セ') and the three digits.
std::string PlainText(int32_t p, std::string_view charset) {
    static constexpr std::array<std::string_view, 10> kWide = {"０", "１", "２", "３", "４",
                                                                "５", "６", "７", "８", "９"};
    if (charset == "ja") {
        return "セ" + std::string(kWide[p / 100]) + std::string(kWide[p / 10 % 10]) + std::string(kWide[p % 10]);
    }
    return "N" + std::to_string(p / 100) + std::to_string(p / 10 % 10) + std::to_string(p % 10);
}

struct NamedImage {
    TestImage file;
    std::array<std::string, rom::kSpeciesCount> texts;
};

NamedImage MakeImage(const rom::ReleaseLayout& row) {
    NamedImage made{TestImage::OfRelease(row), {}};
    const std::string_view charset = rom::ReleaseCharset(row);
    std::array<std::vector<uint8_t>, rom::kSpeciesCount> names{};
    for (int32_t p = 0; p < rom::kSpeciesCount; ++p) made.texts[size_t(p)] = PlainText(p, charset);
    for (const Named& named : NamesOf(charset)) {
        names[size_t(named.position)] = named.bytes;
        made.texts[size_t(named.position)] = named.text;
    }
    testsupport::PlantNames(made.file, row.version, testsupport::NameFieldLength(row), names);
    return made;
}

std::string RenameFile(int32_t position, std::string_view name) {
    return "Position,Name\n" + std::to_string(position) + "," + std::string(name) + "\n";
}

class ReleaseNamesTest : public testing::TestWithParam<size_t> {};

TEST_P(ReleaseNamesTest, EveryNameExportedExactlyAndTakenBackWithoutAWrite) {
    const rom::ReleaseLayout& row = rom::kReleaseLayouts[GetParam()];
    NamedImage made = MakeImage(row);
    const tables::TableImage image = tablestest::Open(made.file);
    ASSERT_TRUE(image.names.table.has_value()) << image.names.fault;
    EXPECT_EQ(image.names.table->offset, testsupport::kNamesOffset);
    EXPECT_EQ(image.names.table->fieldLength, testsupport::NameFieldLength(row));
    EXPECT_EQ(tables::CharsetName(image.names.charset), rom::ReleaseCharset(row));
    EXPECT_EQ(image.names.Undecodable(), 0u);

    for (const formats::TableFormat format : {formats::TableFormat::Csv, formats::TableFormat::Json}) {
        SCOPED_TRACE(std::string(formats::EntryOf(format).name));
        const std::string text = tables::ExportTable(image, format);
        const formats::RowsRead read = formats::ReadRows(text, format, tables::SpeciesShape());
        ASSERT_EQ(read.rows.size(), size_t(rom::kSpeciesCount));
        for (int32_t p = 0; p < rom::kSpeciesCount; ++p) {
            ASSERT_EQ(read.rows[size_t(p)].cells[2].text, made.texts[size_t(p)]) << "species " << p;
        }
        const tables::ImportedTable imported = tables::ReadTable(text, format, image);
        ASSERT_TRUE(imported.ok()) << tables::RefusalText(imported.refusals.front());
        EXPECT_TRUE(tables::PlanImport(image, imported).empty());
        EXPECT_TRUE(tables::PlanNameImport(image, imported).empty());
    }

    // The workbook: its Species sheet holds the names, and comes back as no change.
    const tables::SpeciesLists lists = tables::ReadSpeciesLists(image);
    const formats::WrittenWorkbook workbook = formats::WriteWorkbook(tables::ImageWorkbook(image, lists, "test"));
    ASSERT_TRUE(workbook.ok()) << workbook.error;
    const std::string bytes(workbook.bytes.begin(), workbook.bytes.end());
    // (The test pattern's lists are no lists a table takes: the Species sheet alone.)
    tables::WorkbookImportOptions options;
    options.onlySheet = "Species";
    const tables::WorkbookImport back = tables::PlanWorkbookImport(image, bytes, options);
    ASSERT_TRUE(back.failure.empty() && back.refusals.empty())
        << back.failure << (back.refusals.empty() ? "" : back.refusals.front());
    EXPECT_EQ(back.after, image.bytes);
    EXPECT_EQ(back.speciesChanged, 0u);
}

TEST_P(ReleaseNamesTest, ARenameLandsOnExactlyItsField) {
    const rom::ReleaseLayout& row = rom::kReleaseLayouts[GetParam()];
    NamedImage made = MakeImage(row);
    const tables::TableImage image = tablestest::Open(made.file);
    const bool kana = rom::ReleaseCharset(row) == "ja";
    const int length = testsupport::NameFieldLength(row);
    // A full-length name, and one shorter, filled with 0x50 to the end.
    struct Rename {
        std::string text;
        std::vector<uint8_t> bytes;
    };
    std::vector<Rename> renames;
    if (kana) {
        renames.push_back({"ピカチュウ", {0x41, 0x85, 0x90, 0xAE, 0x82}});
        renames.push_back({"ガ", {0x05}});
    } else {
        renames.push_back({"PIKA'dCHU-", {0x8F, 0x88, 0x8A, 0x80, 0xE0, 0xA3, 0x82, 0x87, 0x94, 0xE3}});
        renames.push_back({"Bo", {0x81, 0xAE}});
    }
    for (const Rename& rename : renames) {
        SCOPED_TRACE(rename.text);
        const tables::ImportedTable imported = tables::ReadTable(RenameFile(100, rename.text), formats::TableFormat::Csv, image);
        ASSERT_TRUE(imported.ok()) << tables::RefusalText(imported.refusals.front());
        const std::vector<tables::NameChange> names = tables::PlanNameImport(image, imported);
        ASSERT_EQ(names.size(), 1u);
        EXPECT_EQ(tables::DescribeChanges({}, names),
                  "100 " + std::string(tables::SpeciesName(100)) + "\n  Name: " + made.texts[100] + " -> " + rename.text + "\n");
        ASSERT_TRUE(tables::WriteChanges(image, {}, names));
        std::vector<uint8_t> expected = image.bytes;
        const std::vector<uint8_t> field = testsupport::NameField(rename.bytes, length);
        std::copy(field.begin(), field.end(), expected.begin() + testsupport::kNamesOffset + 100 * length);
        ASSERT_EQ(made.file.ReadAll(), expected);  // every other byte as it was
        made.file.SetBytes(0, image.bytes);
    }
}

TEST_P(ReleaseNamesTest, RefusedNamesWriteNothing) {
    const rom::ReleaseLayout& row = rom::kReleaseLayouts[GetParam()];
    NamedImage made = MakeImage(row);
    const tables::TableImage image = tablestest::Open(made.file);
    const bool kana = rom::ReleaseCharset(row) == "ja";
    struct Refused {
        std::string name;
        std::string says;
    };
    const std::vector<Refused> refused = {
        {kana ? "ピカAチュ" : "Pika~chu", kana ? "\"A\" at character 3" : "\"~\" at character 5"},
        {kana ? "ピカチュウピ" : "ABCDEFGHIJK", kana ? "takes 6 bytes; the field holds 5" : "takes 11 bytes; the field holds 10"},
        {"", "cannot be empty"},
        {"{50 50 50 50 50}", "bytes in braces"},
    };
    for (const Refused& each : refused) {
        SCOPED_TRACE(each.name);
        const std::string file = "Position,Name,HP\n7," + made.texts[7] + ",90\n24," + each.name + ",50\n";
        const tables::ImportedTable imported = tables::ReadTable(file, formats::TableFormat::Csv, image);
        ASSERT_EQ(imported.refusals.size(), 1u);
        EXPECT_EQ(imported.refusals[0].columnName, "Name");
        EXPECT_EQ(imported.refusals[0].line, 3);
        EXPECT_NE(imported.refusals[0].message.find(each.says), std::string::npos) << imported.refusals[0].message;
        EXPECT_TRUE(tables::PlanImport(image, imported).empty());
        EXPECT_TRUE(tables::PlanNameImport(image, imported).empty());
    }
    EXPECT_EQ(made.file.ReadAll(), image.bytes);
}

INSTANTIATE_TEST_SUITE_P(Releases, ReleaseNamesTest, testing::Range<size_t>(0, rom::kReleaseLayouts.size()),
                         testsupport::ReleaseParamName);

// A modified game with characters of its own: its names are shown as their
// bytes, come back unchanged, and give way only to a name of the set.
TEST(SpeciesNamesTableTest, NamesThatDoNotDecodeRoundTrip) {
    const rom::ReleaseLayout& row = *rom::FindReleaseLayout("BYTE", 0);
    TestImage file = TestImage::OfRelease(row, 0x20);
    std::array<std::vector<uint8_t>, rom::kSpeciesCount> names{};
    for (int32_t p = 0; p < rom::kSpeciesCount; p += 2) names[size_t(p)] = {0x01, uint8_t(0x80 + p % 20), 0x02, 0x3F};
    testsupport::PlantNames(file, row.version, 10, names);
    file.WriteTablesFile(rom::TablesFileText(TestImage::MovedTables(row, 0x20)));
    const tables::TableImage image = tablestest::Open(file);
    ASSERT_EQ(image.layout, rom::ImageLayout::TablesFile);
    EXPECT_EQ(image.names.Undecodable(), 126u);
    EXPECT_EQ(image.names.TextOf(0), "{01 80 02 3F 50 50 50 50 50 50}");
    EXPECT_EQ(image.names.TextOf(1), "N001");
    EXPECT_EQ(tables::DescribeImage(image.bytes, image.path).names.Undecodable(), 126u);

    for (const formats::TableFormat format : {formats::TableFormat::Csv, formats::TableFormat::Json}) {
        const tables::ImportedTable imported = tables::ReadTable(tables::ExportTable(image, format), format, image);
        ASSERT_TRUE(imported.ok());
        EXPECT_TRUE(tables::PlanNameImport(image, imported).empty());
    }
    // Other bytes in braces are refused; a name of the set replaces it.
    EXPECT_FALSE(tables::ReadTable(RenameFile(0, "{01 81 02 3F 50 50 50 50 50 50}"), formats::TableFormat::Csv, image).ok());
    const tables::ImportedTable renamed = tables::ReadTable(RenameFile(0, "Ann"), formats::TableFormat::Csv, image);
    ASSERT_TRUE(renamed.ok());
    const std::vector<tables::NameChange> changes = tables::PlanNameImport(image, renamed);
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].after, testsupport::NameField({0x80, 0xAD, 0xAD}, 10));
}

// A ".tables" file's `charset` decides; a file without the Name column keeps
// every name; diff reports renamed species.
TEST(SpeciesNamesTableTest, TheTablesFileCharsetDecidesAndDiffReportsRenames) {
    const rom::ReleaseLayout& row = *rom::FindReleaseLayout("BYTE", 0);
    TestImage file = TestImage::OfRelease(row, 0x20);
    std::array<std::vector<uint8_t>, rom::kSpeciesCount> names{};
    names[3] = {0x8C, 0xC4, 0xB6, 0xBE};  // "Möwß" in German, not in the American set
    testsupport::PlantNames(file, row.version, 10, names);
    file.WriteTablesFile(rom::TablesFileText(TestImage::MovedTables(row, 0x20)) + "charset = de\n");
    const tables::TableImage image = tablestest::Open(file);
    EXPECT_EQ(image.names.charset, lists::Charset::De);
    EXPECT_EQ(image.names.TextOf(3), "Möwß");
    // A file of the charset line alone leaves the tables to the game's code
    // and still names the set.
    file.WriteTablesFile("charset = de\n");
    const tables::TableImage byCode = tablestest::Open(file);
    EXPECT_EQ(byCode.layout, rom::ImageLayout::Modified);
    EXPECT_EQ(byCode.names.TextOf(3), "Möwß");

    const tables::ImportedTable noNames =
        tables::ReadTable("Position,HP\n3,1\n", formats::TableFormat::Csv, image);
    ASSERT_TRUE(noNames.ok());
    EXPECT_TRUE(tables::PlanNameImport(image, noNames).empty());

    tables::TableImage after = image;
    after.bytes[size_t(testsupport::kNamesOffset + 30 + 1)] = 0xC5;  // species 3: "Müwß"
    tables::RereadNames(after.names, after.bytes);
    const std::vector<tables::NameChange> renamed = tables::NameDifferences(image.names, after.names);
    ASSERT_EQ(renamed.size(), 1u);
    EXPECT_EQ(tables::DescribeAllChanges({}, {}, renamed),
              "3 " + std::string(tables::SpeciesName(3)) + "\n  Name: Möwß -> Müwß\n");
}

}  // namespace
