#include "tables/PaletteTable.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formats/Workbook.h"
#include "tables/FileOrigin.h"
#include "tables/WorkbookTables.h"
#include "tests/support/PictureImages.h"
#include "tests/support/TestImage.h"

namespace {

using tables::TableFormat;
using testsupport::TestImage;

// Crystal and Gold images laid out like their American releases, with
// pictures and palettes planted.
class PaletteTable : public testing::TestWithParam<rom::GameVersion> {
protected:
    void SetUp() override {
        const rom::ReleaseLayout& release = rom::FirstAmericanRelease(GetParam());
        file_ = TestImage::OfRelease(release);
        std::vector<uint8_t> bytes = file_.ReadAll();
        planted_ = testsupport::PlantPictures(bytes, GetParam(), release.tables.BaseStatsOffset);
        file_.SetBytes(0, bytes);
        std::string refusal;
        image_ = *tables::OpenTableImage(file_.path(), refusal);
        palettes_ = tables::ReadImagePalettes(image_);
        ASSERT_TRUE(palettes_.located) << palettes_.why;
    }

    tables::ImportedPalettes Read(const std::string& text, TableFormat format = TableFormat::Csv) {
        return tables::ReadPaletteTable(text, format, image_, palettes_);
    }

    std::vector<std::string> Refusals(const std::string& text) {
        std::vector<std::string> texts;
        for (const tables::Refusal& refusal : Read(text).status.refusals) texts.push_back(tables::RefusalText(refusal));
        return texts;
    }

    TestImage file_{0x00, 0};
    testsupport::PlantedPictures planted_;
    tables::TableImage image_;
    tables::ImagePalettes palettes_;
};

TEST_P(PaletteTable, ExportShowsStoredColoursAndUnchangedImportWritesNothingInEveryFormat) {
    const std::string csv = tables::ExportPalettes(image_, palettes_, TableFormat::Csv);
    EXPECT_EQ(csv.substr(0, csv.find('\n')), "Position,Species,Normal1,Normal2,Shiny1,Shiny2\r");
    EXPECT_NE(csv.find("\n24,Pikachu,#EFD629,#D63100,#FF8C00,#A5105A\r\n"), std::string::npos);
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 252);
    for (const TableFormat format : {TableFormat::Csv, TableFormat::Json}) {
        const tables::ImportedPalettes imported = Read(tables::ExportPalettes(image_, palettes_, format), format);
        ASSERT_TRUE(imported.status.ok()) << tables::RefusalText(imported.status.refusals.front());
        EXPECT_EQ(tables::PlanPaletteImport(image_.bytes, palettes_, imported.palettes), image_.bytes);
    }
    // The workbook's Palettes sheet holds the same rows and reads back to no change.
    const formats::WorkbookContent content = tables::ImageWorkbook(image_, tables::ReadSpeciesLists(image_), "test");
    const formats::WrittenWorkbook workbook = formats::WriteWorkbook(content);
    ASSERT_TRUE(workbook.ok()) << workbook.error;
    ASSERT_EQ(content.sheets.back().name, "Palettes");
    tables::WorkbookImportOptions options;
    options.onlySheet = "Palettes";  // the other sheets of this image hold the test pattern's lists
    const tables::WorkbookImport back = tables::PlanWorkbookImport(image_, workbook.bytes, options);
    ASSERT_EQ(back.failure, "");
    ASSERT_TRUE(back.refusals.empty()) << back.refusals.front();
    EXPECT_EQ(back.after, image_.bytes);
}

TEST_P(PaletteTable, AnEditWritesItsTwoBytesAndKeepsTheUnreadBit) {
    std::vector<uint8_t> bytes = image_.bytes;
    const size_t pikachu = size_t(planted_.palettes + 25 * 8);
    bytes[pikachu + 7] |= 0x80;  // bit 15 of Shiny2, which the game does not read
    file_.SetBytes(0, bytes);
    std::string refusal;
    image_ = *tables::OpenTableImage(file_.path(), refusal);
    palettes_ = tables::ReadImagePalettes(image_);

    for (const TableFormat format : {TableFormat::Csv, TableFormat::Json}) {
        const std::string text = format == TableFormat::Csv
                                     ? "Position,Normal1,Shiny2\n24,#ffffff,#A5105A\n"
                                     : R"({"palettes": [{"Position": 24, "Normal1": "#FFFFFF", "Shiny2": "#08FF00"}]})";
        const tables::ImportedPalettes imported = Read(text, format);
        ASSERT_TRUE(imported.status.ok()) << tables::RefusalText(imported.status.refusals.front());
        const std::vector<uint8_t> after = tables::PlanPaletteImport(image_.bytes, palettes_, imported.palettes);
        std::vector<uint8_t> expected = image_.bytes;
        expected[pikachu] = 0xFF;
        expected[pikachu + 1] = 0x7F;
        if (format == TableFormat::Json) {  // Shiny2 #08FF00: red 1, green 31, bit 15 kept
            expected[pikachu + 6] = 0xE1;
            expected[pikachu + 7] = 0x83;
        }
        EXPECT_EQ(after, expected);
        const std::vector<tables::ListChanges> changes =
            tables::PaletteDifferences(palettes_, tables::ReadImagePalettes(after, image_.resolved.pictures));
        ASSERT_EQ(changes.size(), 1u);
        EXPECT_EQ(changes[0].position, 24);
        EXPECT_EQ(changes[0].lines[0].substr(0, 36), "Palette: Normal1 #EFD629 \u2192 #FFFFFF");
    }
}

TEST_P(PaletteTable, RefusalsNameTheNearestStoredColourAndThePlace) {
    const std::vector<std::string> refused = Refusals(
        "Position,Species,Normal1,Normal2\n"
        "24,Pikachu,#123456,red\n"
        "251,Nothing,#FFFFFF,#000000\n"
        "24,Pikachu,#FFFFFF,#000000\n"
        "3,Venusaur,,#000000\n");
    ASSERT_EQ(refused.size(), 5u);
    EXPECT_NE(refused[0].find("line 2"), std::string::npos) << refused[0];
    EXPECT_NE(refused[0].find("#123456 is not one: the nearest is #103152"), std::string::npos) << refused[0];
    EXPECT_NE(refused[1].find("Normal2 must be a colour written #RRGGBB"), std::string::npos) << refused[1];
    EXPECT_NE(refused[2].find("Position must be a whole number from 0 to 250"), std::string::npos) << refused[2];
    EXPECT_NE(refused[3].find("given again; line 2 gave it first"), std::string::npos) << refused[3];
    EXPECT_NE(refused[4].find("it is empty"), std::string::npos) << refused[4];

    // Another table's file is said so once.
    const std::vector<std::string> species = Refusals("Position,Species,HP\n0,Bulbasaur,45\n");
    ASSERT_EQ(species.size(), 1u);
    EXPECT_NE(species[0].find("import it with --table species"), std::string::npos) << species[0];
}

INSTANTIATE_TEST_SUITE_P(Versions, PaletteTable, testing::Values(rom::GameVersion::Crystal, rom::GameVersion::Gold));

TEST(PaletteColours, EveryStoredChannelReadsBackAndOnlyThose) {
    int taken = 0;
    for (int c = 0; c < 256; ++c) {
        char text[8];
        std::snprintf(text, sizeof text, "#%02X%02X%02X", c, c, c);
        const tables::ColourRead read = tables::ReadColour("Normal1", text);
        if (!read.refusal.empty()) continue;
        ++taken;
        EXPECT_EQ(tables::ColourText(read.colour), text);
    }
    EXPECT_EQ(taken, 32);
}

}  // namespace
