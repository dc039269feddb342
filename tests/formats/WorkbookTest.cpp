#include "formats/Workbook.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace {

using formats::ReadWorkbook;
using formats::WorkbookCell;
using Parts = std::vector<std::pair<std::string, std::string>>;

// A zip archive of the given parts, made with libzip (deflated).
std::string Zip(const Parts& parts) {
    const auto path = std::filesystem::temp_directory_path() / ("workbook-test-" + std::to_string(getpid()) + ".zip");
    int error = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (archive == nullptr) throw std::runtime_error("zip_open");
    for (const auto& [name, data] : parts) {
        zip_source_t* source = zip_source_buffer(archive, data.data(), data.size(), 0);
        if (source == nullptr || zip_file_add(archive, name.c_str(), source, ZIP_FL_OVERWRITE) < 0) {
            throw std::runtime_error("zip_file_add");
        }
    }
    if (zip_close(archive) != 0) throw std::runtime_error("zip_close");
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::filesystem::remove(path);
    return bytes;
}

const std::string kWorkbookPart =
    R"(<workbook xmlns:r="r"><sheets><sheet name="Moves" sheetId="1" r:id="rId1"/></sheets></workbook>)";
const std::string kWorkbookRels =
    R"(<Relationships><Relationship Id="rId1" Type="x/worksheet" Target="worksheets/sheet1.xml"/>)"
    R"(<Relationship Id="rId2" Type="x/sharedStrings" Target="sharedStrings.xml"/></Relationships>)";

// A one-sheet workbook "Moves" whose sheet data is `rows` and whose shared
// strings are `shared` (no shared-strings part when it is empty).
std::string OneSheet(const std::string& rows, const std::string& shared = "") {
    Parts parts{{"xl/workbook.xml", kWorkbookPart},
                {"xl/_rels/workbook.xml.rels", kWorkbookRels},
                {"xl/worksheets/sheet1.xml", "<worksheet><sheetData>" + rows + "</sheetData></worksheet>"}};
    if (!shared.empty()) parts.emplace_back("xl/sharedStrings.xml", "<sst>" + shared + "</sst>");
    return Zip(parts);
}

// Each row as "B2=text" / "C2#45" entries, for compact comparisons.
std::vector<std::string> Cells(const formats::ReadSheet& sheet) {
    std::vector<std::string> cells;
    for (const auto& row : sheet.rows) {
        for (const auto& cell : row.cells) {
            const bool number = cell.value.kind == WorkbookCell::Kind::Number;
            cells.push_back(formats::CellReference(row.number, cell.column) + (number ? "#" : "=") +
                            (number ? std::to_string(cell.value.number) : cell.value.text));
        }
    }
    return cells;
}

TEST(WorkbookReferences, NameEveryCellOfTheLargestSheetAndNothingPast) {
    EXPECT_EQ(formats::CellReference(1, 0), "A1");
    EXPECT_EQ(formats::CellReference(781, 2), "C781");
    EXPECT_EQ(formats::CellReference(12, 25), "Z12");
    EXPECT_EQ(formats::CellReference(12, 26), "AA12");
    EXPECT_EQ(formats::CellReference(1048576, 16383), "XFD1048576");
    for (uint32_t column : {0u, 25u, 26u, 701u, 702u, 16383u}) {
        const auto place = formats::ParseCellReference(formats::CellReference(7, column));
        ASSERT_TRUE(place);
        EXPECT_EQ(*place, std::pair(7u, column));
    }
    for (const char* bad : {"", "A", "12", "A0", "A01", "a1", "XFE1", "A1048577", "AAAAA1", "B2x", "B-2"}) {
        EXPECT_FALSE(formats::ParseCellReference(bad)) << bad;
    }
}

TEST(Workbook, ReadsBackWhatItWritesWithEveryCellsType) {
    formats::WorkbookContent content;
    content.lists.push_back({{WorkbookCell::Text("NORMAL"), WorkbookCell::Text("FIRE")}});
    content.lists.push_back({{WorkbookCell::Number(0), WorkbookCell::Number(1)}});
    content.sheets.push_back({"Species",
                              {{WorkbookCell::Text("Position"), WorkbookCell::Text("Pointer")},
                               {WorkbookCell::Number(0), WorkbookCell::Text("3E68")},
                               {WorkbookCell::Number(1), WorkbookCell::Text("0E12")},
                               {WorkbookCell{}, WorkbookCell::Text("Flabébé, \"quoted\" <&>")},
                               {WorkbookCell::Number(250.5), WorkbookCell{}}},
                              {{1, 0}},
                              {{1, "Pointer: a note on the header, which the reader passes over"}}});
    content.sheets.push_back({"Egg moves", {{WorkbookCell::Text("Position")}}, {{0, 1}}, {}});
    content.about = {{"Version", "Kreblin Crystal Version"}, {"SHA-1", "00ff"}};
    const auto written = formats::WriteWorkbook(content);
    ASSERT_TRUE(written.ok()) << written.error;

    const auto read = ReadWorkbook(written.bytes);
    ASSERT_TRUE(read.ok()) << read.error;
    EXPECT_EQ(read.sheetNames, (std::vector<std::string>{"Species", "Egg moves", "Lists", "About"}));
    ASSERT_EQ(read.sheets.size(), 4u);
    EXPECT_EQ(Cells(read.sheets[0]),
              (std::vector<std::string>{"A1=Position", "B1=Pointer", "A2#0.000000", "B2=3E68", "A3#1.000000",
                                        "B3=0E12", "B4=Flabébé, \"quoted\" <&>", "A5#250.500000"}));
    EXPECT_EQ(Cells(read.sheets[2]), (std::vector<std::string>{"A1=NORMAL", "B1#0.000000", "A2=FIRE", "B2#1.000000"}));
    EXPECT_EQ(Cells(read.sheets[3]), (std::vector<std::string>{"A1=Version", "B1=Kreblin Crystal Version",
                                                               "A2=SHA-1", "B2=00ff"}));

    // Only the sheets asked for are read.
    const auto one = ReadWorkbook(written.bytes, {"Egg moves"});
    ASSERT_EQ(one.sheets.size(), 1u);
    EXPECT_EQ(one.sheets[0].name, "Egg moves");
    EXPECT_EQ(one.sheetNames.size(), 4u);

    // A dropdown naming a list that does not exist is the caller's fault, said.
    content.sheets[0].dropdowns.push_back({0, 7});
    EXPECT_FALSE(formats::WriteWorkbook(content).ok());
}

TEST(Workbook, ReadsTheFormsSpreadsheetProgramsWrite) {
    // Rows out of order, cells without references, numbers as 45.0 and in
    // exponent form, inline strings (also in runs), rich shared strings whose
    // phonetic runs are no part of the text, prefixed element names, a
    // formula's cached value, booleans, and empty cells and rows left out.
    const std::string rows =
        R"(<x:row r="3"><x:c r="A3" t="s"><x:v>1</x:v></x:c><x:c t="inlineStr"><x:is><x:t>after A3</x:t></x:is></x:c></x:row>)"
        R"(<row r="2"><c r="C2"><v>45.0</v></c><c r="A2" s="3"><v>4.5E1</v></c><c r="B2" t="s"><v>0</v></c></row>)"
        R"(<row r="4"><c r="A4" s="1"/><c r="B4" t="s"><v>2</v></c></row>)"
        R"(<row r="5"><c r="D5" t="inlineStr"><is><r><t>ab</t></r><r><t>c</t></r></is></c>)"
        R"(<c r="E5" t="str"><f>A2&amp;""</f><v>45</v></c><c r="F5" t="b"><v>1</v></c></row>)";
    const std::string shared = R"(<si><t>3E68</t></si><si><r><t>FI</t></r><r><t>RE</t></r><rPh><t>x</t></rPh></si>)"
                               R"(<si><t></t></si>)";
    const auto read = ReadWorkbook(OneSheet(rows, shared));
    ASSERT_TRUE(read.ok()) << read.error;
    ASSERT_EQ(read.sheets.size(), 1u);
    EXPECT_EQ(Cells(read.sheets[0]), (std::vector<std::string>{"A2#45.000000", "B2=3E68", "C2#45.000000", "A3=FIRE",
                                                               "B3=after A3", "D5=abc", "E5=45", "F5#1.000000"}));
    EXPECT_EQ(read.sheets[0].rows[0].cells[2].value.text, "45.0");  // as stored
}

// One message for each fault, and no rows.
// A sheet read as a table: rows by their numbers, empty cells and rows left
// out, numbers as their decimal digits, every refusal placed in its cell.
TEST(WorkbookRows, ReadASheetAsTheCsvReaderReadsAFileAndPlaceEveryRefusal) {
    const std::string rows =
        R"(<row r="1"><c r="A1" t="inlineStr"><is><t>position</t></is></c><c r="B1" t="inlineStr"><is><t>Move</t></is></c>)"
        R"(<c r="C1" t="inlineStr"><is><t>Level</t></is></c></row>)"
        R"(<row r="4"><c r="A4"><v>3.0</v></c><c r="B4" t="inlineStr"><is><t>Pound</t></is></c></row>)"
        R"(<row r="6"><c r="A6"><v>1.5</v></c><c r="C6"><v>45</v></c></row>)"
        R"(<row r="7"><c r="A7"><v>4</v></c><c r="B7" t="inlineStr"><is><t>two&#10;lines</t></is></c></row>)"
        R"(<row r="9"><c r="A9"><v>5</v></c></row>)";
    const auto read = ReadWorkbook(OneSheet(rows));
    ASSERT_TRUE(read.ok()) << read.error;
    formats::Shape shape;
    shape.columns = {"Position", "Move", "Level"};
    shape.required = {true, false, false};
    const formats::RowsRead table = formats::SheetRows(read.sheets[0], shape);
    ASSERT_TRUE(table.status.ok()) << formats::RefusalText(table.status.refusals.front());
    ASSERT_EQ(table.rows.size(), 4u);
    EXPECT_EQ(table.rows[0].line, 4);
    EXPECT_EQ(table.rows[2].cells[1].text, "two\nlines");
    EXPECT_EQ(table.rows[3].line, 9);  // a cell's line break moves no row
    EXPECT_EQ(table.rows[3].cells[0].line, 9);
    EXPECT_EQ(table.rows[0].cells[0].text, "3");
    EXPECT_EQ(table.rows[0].cells[2].text, "");  // left out by the spreadsheet
    EXPECT_EQ(table.rows[1].cells[0].text, "1.5");
    EXPECT_EQ(table.rows[1].cells[2].column, 3);

    formats::Refusal value{6, 3, "Level", "no such level"};
    formats::PlaceInSheet(value, "Moves");
    EXPECT_EQ(formats::RefusalText(value), "Moves!C6 (Level): no such level");
    shape.columns.push_back("Species");
    shape.required.push_back(true);
    const auto refused = formats::SheetRows(read.sheets[0], shape);
    ASSERT_EQ(refused.status.refusals.size(), 1u);
    EXPECT_EQ(formats::RefusalText(refused.status.refusals[0]),
              "Moves row 1: the header row lacks the column(s) Species.");
    EXPECT_EQ(formats::SheetNameOf("egg-moves", {"Species", "Egg moves"}), "Egg moves");
}

TEST(Workbook, RefusesEachFaultWithOneMessage) {
    const std::string cell = R"(<row r="1"><c r="A1"><v>1</v></c></row>)";
    const std::string entities = R"(<?xml version="1.0"?><!DOCTYPE x [<!ENTITY a "aaaaaaaaaa"><!ENTITY b "&a;&a;&a;">]>)"
                                 R"(<worksheet><sheetData><row><c t="inlineStr"><is><t>&b;</t></is></c></row>)"
                                 R"(</sheetData></worksheet>)";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"not a zip archive, just text", "no zip archive"},
        {Zip({{"a.txt", "x"}}), "no workbook part"},
        {OneSheet(R"(<row r="1"><c r="A1"><v>1</v></row>)"), "broken XML (line 1: mismatched tag)"},
        {OneSheet(R"(<row r="1"><c r="A1" t="s"><v>0</v></c></row>)"),
         "Moves!A1 refers to a shared string, but the workbook has no shared strings"},
        {OneSheet(R"(<row r="1"><c r="A1" t="s"><v>1</v></c></row>)", "<si><t>a</t></si>"),
         "Moves!A1 refers to shared string \"1\", which the workbook does not hold"},
        {OneSheet(R"(<row r="1"><c r="A2"><v>1</v></c></row>)"), "Moves!A2 lies in row 1"},
        {OneSheet(R"(<row r="1"><c r="A1"><v>1</v></c><c r="A1"><v>2</v></c></row>)"), "Moves!A1 is given twice"},
        {OneSheet(cell + cell), "sheet Moves: row 1 is given twice"},
        {OneSheet(R"(<row r="1"><c r="A1"><v>0x12</v></c></row>)"), "Moves!A1 holds \"0x12\" as a number"},
        {OneSheet(R"(<row r="1"><c r="A1" t="z"><v>1</v></c></row>)"), "Moves!A1 has the unknown type \"z\""},
        {OneSheet(R"(<row r="1"><c r="XFE1"><v>1</v></c></row>)"), "sheet Moves: cell \"XFE1\" is no cell reference"},
        {Zip({{"xl/workbook.xml", kWorkbookPart},
              {"xl/_rels/workbook.xml.rels", kWorkbookRels},
              {"xl/worksheets/sheet1.xml", entities}}),
         "a document type declaration, which a workbook never holds"},
        {Zip({{"xl/workbook.xml", kWorkbookPart}, {"xl/_rels/workbook.xml.rels", kWorkbookRels}}),
         "the workbook has no part xl/worksheets/sheet1.xml"},
    };
    for (const auto& [bytes, message] : cases) {
        const auto read = ReadWorkbook(bytes);
        EXPECT_NE(read.error.find(message), std::string::npos) << read.error << "\nexpected: " << message;
        EXPECT_TRUE(read.sheets.empty());
    }
}

TEST(Workbook, RefusesWhatUnpacksOrHoldsPastItsBounds) {
    // A zip bomb: 64 MiB of spaces packs into some 64 KiB.
    const std::string bomb = OneSheet(std::string(64u << 20, ' '));
    EXPECT_LT(bomb.size(), 1u << 20);
    const auto bombRead = ReadWorkbook(bomb);
    EXPECT_NE(bombRead.error.find("xl/worksheets/sheet1.xml unpacks to more than 32 MiB"), std::string::npos)
        << bombRead.error;
    formats::WorkbookLimits roomy;
    roomy.mostPartBytes = roomy.mostUnpackedBytes = 128u << 20;
    EXPECT_NE(ReadWorkbook(bomb, {}, roomy).error.find("more than 200 times its packed size"), std::string::npos);

    // A sheet of many rows stops at the bound, not at the end of the sheet.
    std::string rows;
    for (int row = 1; row <= 2000; ++row) rows += "<row><c><v>" + std::to_string(row) + "</v></c></row>";
    const std::string many = OneSheet(rows);
    formats::WorkbookLimits small;
    small.mostRows = 1000;
    EXPECT_EQ(ReadWorkbook(many, {}, small).error, "sheet Moves: the workbook holds more rows than any table (over 1000)");
    small = {};
    small.mostCells = 10;
    EXPECT_NE(ReadWorkbook(many, {}, small).error.find("more cells"), std::string::npos);
    EXPECT_TRUE(ReadWorkbook(many).ok());

    // Shared strings copied into many cells count every copy.
    small = {};
    small.mostStringBytes = 5000;
    std::string copies;
    for (int row = 1; row <= 100; ++row) copies += R"(<row><c t="s"><v>0</v></c></row>)";
    EXPECT_NE(ReadWorkbook(OneSheet(copies, "<si><t>" + std::string(100, 'x') + "</t></si>"), {}, small)
                  .error.find("more text"),
              std::string::npos);

    Parts entries;
    for (int i = 0; i < 1001; ++i) entries.emplace_back("part" + std::to_string(i), "");
    EXPECT_NE(ReadWorkbook(Zip(entries)).error.find("more zip entries"), std::string::npos);
}

}  // namespace
