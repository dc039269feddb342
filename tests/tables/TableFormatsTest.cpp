#include "tables/SpeciesRows.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cctype>
#include <string>
#include <vector>

#include "formats/Csv.h"
#include "tables/FileOrigin.h"
#include "tables/FieldText.h"
#include "tables/TableImport.h"
#include "tests/tables/TablesTestSupport.h"

namespace {

using tables::ImportedTable;
using tables::SpeciesTable;
using tables::TableFormat;

tables::TableImage ImageWith(const SpeciesTable& table) {
    tables::TableImage image;
    image.version = rom::GameVersion::Crystal;
    image.layout = rom::ImageLayout::Released;
    image.table = table;
    return image;
}

SpeciesTable ReadBack(const std::string& text, TableFormat format) {
    const ImportedTable imported = tables::ReadTable(text, format);
    EXPECT_TRUE(imported.ok()) << (imported.ok() ? "" : tables::RefusalText(imported.refusals.front()));
    EXPECT_EQ(imported.rows.size(), 251u);
    return tables::WithImportedRows(SpeciesTable{}, imported);
}

std::string Export(const SpeciesTable& table, TableFormat format) {
    return tables::ExportTable(ImageWith(table), format);
}

// Two tables that together give every field of the species every byte value
// (0 to 250 in the first, 251 to 255 and more in the second), in both bytes of
// the two-byte fields, with the fields shifted against each other.
std::vector<SpeciesTable> EveryByteValue() {
    return {tablestest::TableOf([](size_t p, size_t f) { return (p + 7 * f) % 256; },
                                [](size_t p, size_t f) { return (255 - p + f) % 256; }),
            tablestest::TableOf([](size_t p, size_t f) { return (p + 251 + 7 * f) % 256; },
                                [](size_t p, size_t f) { return (p + 251 + 3 * f) % 256; })};
}

class TableFormatRoundTrip : public testing::TestWithParam<TableFormat> {};

TEST_P(TableFormatRoundTrip, EveryByteValueOfEveryFieldComesBack) {
    for (const SpeciesTable& table : EveryByteValue()) {
        EXPECT_EQ(ReadBack(Export(table, GetParam()), GetParam()), table);
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, TableFormatRoundTrip, testing::Values(TableFormat::Csv, TableFormat::Json),
                         [](const auto& info) { return info.param == TableFormat::Csv ? "Csv" : "Json"; });

TEST(TableFormats, CsvHeaderAndRowsInListOrder) {
    const std::string text = tables::ExportCsv(EveryByteValue()[0]);
    const formats::CsvRead read = formats::ReadCsv(text);
    ASSERT_FALSE(read.error);
    ASSERT_EQ(read.records.size(), 252u);
    EXPECT_EQ(text.substr(0, text.find("\r\n")),
              "Position,Species,Name,HP,ATK,DEF,SPD,SATK,SDEF,Type1,Type2,RATE,EXP,Item1,Item2,Cycles,Size,Growth,Groups,"
              "Sprite,Pointer,Cry,Pitch,Echo,Length,Gender");
    EXPECT_EQ(read.records[1].fields[0], "0");
    EXPECT_EQ(read.records[1].fields[1], "Bulbasaur");
    EXPECT_EQ(read.records[251].fields[1], "Celebi");
    EXPECT_EQ(read.records[203].fields[1], "Girafarig");
}

TEST(TableFormats, JsonShape) {
    const nlohmann::json document = nlohmann::json::parse(Export(EveryByteValue()[0], TableFormat::Json));
    EXPECT_EQ(document["format"], "quillmere species table");
    EXPECT_EQ(document["version"], "Kreblin Crystal Version");
    EXPECT_EQ(document["layout"], "released");
    ASSERT_EQ(document["species"].size(), 251u);
    const nlohmann::json& row = document["species"][24];
    EXPECT_EQ(row["Position"], 24);
    EXPECT_EQ(row["Species"], "Pikachu");
    EXPECT_TRUE(row["HP"].is_number_unsigned());
    EXPECT_TRUE(row["Length"].is_number_unsigned());
    EXPECT_TRUE(row["Gender"].is_number_unsigned());
    EXPECT_TRUE(row["Pointer"].is_string());
    EXPECT_TRUE(row["Type1"].is_string());
    EXPECT_TRUE(row["Name"].is_null());  // a table alone holds no names
    EXPECT_EQ(row.size(), 26u);
}

TEST(TableFormats, ColumnsInAnyOrderRowsLeftOutSpeciesNotChecked) {
    std::string csv = "Gender,Length,Echo,Pitch,Cry,Pointer,Sprite,Groups,Growth,Size,Cycles,Item2,Item1,EXP,RATE,"
                      "Type2,Type1,SDEF,SATK,SPD,DEF,ATK,HP,Position\n"
                      "255,320,1,2,43 = Donphan,3A67,26-Charizard,0d,1,5,20,FF - Nothing ,01 - Master Ball,9,8,"
                      "Dark,?? ,7,6,5,4,3,45,24\n";
    // "?? " is no entry and no code: refused. Fix it, and give a wrong name.
    ImportedTable refused = tables::ReadCsvTable(csv);
    ASSERT_EQ(refused.refusals.size(), 1u);
    EXPECT_EQ(refused.refusals[0].columnName, "Type1");
    EXPECT_EQ(refused.refusals[0].line, 2);
    EXPECT_EQ(refused.refusals[0].column, 17);

    csv.replace(csv.find("?? "), 3, "1B");
    const ImportedTable imported = tables::ReadCsvTable(csv);
    ASSERT_TRUE(imported.ok()) << tables::RefusalText(imported.refusals[0]);
    ASSERT_EQ(imported.rows.size(), 1u);
    EXPECT_EQ(imported.rows[0].position, 24);
    const auto value = [&](std::string_view control) {
        return imported.rows[0].values.fields[tables::FieldIndex(*rom::FindField(control))];
    };
    EXPECT_EQ(value("HP"), (tables::FieldBytes{45, 0}));
    EXPECT_EQ(value("Type1"), (tables::FieldBytes{0x1B, 0}));
    EXPECT_EQ(value("Groups"), (tables::FieldBytes{0x0D, 0}));
    EXPECT_EQ(value("Pointer"), (tables::FieldBytes{0x3A, 0x67}));
    EXPECT_EQ(value("Length"), (tables::FieldBytes{0x40, 0x01}));
    EXPECT_EQ(value("Gender"), (tables::FieldBytes{0xFF, 0}));
    EXPECT_EQ(value("Item2"), (tables::FieldBytes{0xFF, 0}));

    // The Species column may say anything.
    std::string withName = tables::ExportCsv(SpeciesTable{});
    withName.replace(withName.find("Pikachu"), 7, "Not a name");
    EXPECT_TRUE(tables::ReadCsvTable(withName).ok());
}

struct Expected {
    int line;
    int column;
    std::string columnName;
    std::string fragment;
};

void ExpectRefusals(const ImportedTable& imported, const std::vector<Expected>& expected) {
    ASSERT_EQ(imported.refusals.size(), expected.size());
    EXPECT_TRUE(imported.rows.empty() || !imported.ok());
    for (size_t i = 0; i < expected.size(); ++i) {
        const tables::Refusal& refusal = imported.refusals[i];
        EXPECT_EQ(refusal.line, expected[i].line) << tables::RefusalText(refusal);
        EXPECT_EQ(refusal.column, expected[i].column) << tables::RefusalText(refusal);
        EXPECT_EQ(refusal.columnName, expected[i].columnName) << tables::RefusalText(refusal);
        EXPECT_NE(refusal.message.find(expected[i].fragment), std::string::npos) << tables::RefusalText(refusal);
    }
}

std::string CsvWith(const std::vector<std::pair<std::string, std::string>>& replacements) {
    std::string text = tables::ExportCsv(SpeciesTable{});
    for (const auto& [from, to] : replacements) {
        const size_t at = text.find(from);
        if (at == std::string::npos) throw std::invalid_argument(from);
        text.replace(at, from.size(), to);
    }
    return text;
}

// The table as a spreadsheet saves it: another separator, a byte-order mark,
// column names in its own spelling, rows of empty cells below the table.
std::string AsSpreadsheet(const std::string& csv, char separator) {
    const formats::CsvRead read = formats::ReadCsv(csv);
    std::string text = "\xEF\xBB\xBF";
    for (size_t r = 0; r < read.records.size(); ++r) {
        std::vector<std::string> fields = read.records[r].fields;
        if (r == 0) {
            for (std::string& name : fields) {
                for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
                if (name == "satk") name = "S.Atk";
                if (name == "type1") name = " Type 1 ";
            }
        }
        for (size_t f = 0; f < fields.size(); ++f) {
            if (f > 0) text += separator;
            const bool quote = fields[f].find_first_of(std::string("\"\r\n") + separator) != std::string::npos;
            text += quote ? "\"" + fields[f] + "\"" : fields[f];
        }
        text += "\r\n";
    }
    const std::string emptyRow(read.records.front().fields.size() - 1, separator);
    return text + emptyRow + "\r\n" + emptyRow + "\r\n";
}

TEST(TableFormats, WhatSpreadsheetsWriteIsReadAsTheTable) {
    const SpeciesTable table = EveryByteValue()[0];
    const std::string csv = Export(table, TableFormat::Csv);
    for (const char separator : {';', '\t', ','}) {
        EXPECT_EQ(ReadBack(AsSpreadsheet(csv, separator), TableFormat::Csv), table) << int{separator};
    }
    // List values in the forms people type, in a semicolon file with empty rows.
    std::string full = AsSpreadsheet(csv, ';');
    const size_t row = full.find("\r\n5;");
    ASSERT_NE(row, std::string::npos);
    std::vector<std::string> cells;
    const size_t end = full.find("\r\n", row + 2);
    std::string line = full.substr(row + 2, end - row - 2);
    for (size_t at = 0, next; at <= line.size(); at = next + 1) {
        next = line.find(';', at);
        if (next == std::string::npos) next = line.size();
        cells.push_back(line.substr(at, next - at));
    }
    cells[9] = "grass";                 // Type1
    cells[13] = " 6d - miracle berry";  // Item1
    cells[14] = "Miracle Berry";        // Item2
    cells[19] = "0f-eevee";             // Sprite
    cells[21] = "0F=Bulbasaur";         // Cry
    std::string joined;
    for (size_t i = 0; i < cells.size(); ++i) joined += (i > 0 ? ";" : "") + cells[i];
    full.replace(row + 2, end - row - 2, joined);
    const ImportedTable forms = tables::ReadCsvTable(full);
    ASSERT_TRUE(forms.ok()) << tables::RefusalText(forms.refusals.front());
    const tables::SpeciesValues values = tables::WithImportedRows(SpeciesTable{}, forms)[5];
    EXPECT_EQ(values.fields[6][0], 0x16);
    EXPECT_EQ(values.fields[10][0], 0x6D);
    EXPECT_EQ(values.fields[11][0], 0x6D);
    EXPECT_EQ(values.fields[16][0], 0x0F);
    EXPECT_EQ(values.fields[18][0], 0x0F);
}

TEST(TableFormats, CsvRefusalsListEveryBadValueWithLineAndColumn) {
    // Rows of the empty table: "24,Pikachu,,0,0,..." (no names). Line 26 is position 24.
    ExpectRefusals(tables::ReadCsvTable(CsvWith({{"24,Pikachu,,0,0", "24,Pikachu,,300,x"},
                                                 {"30,Nidoqueen,,0", "30,Nidoqueen,,-1"},
                                                 {"\r\n250,Celebi,,0,0,0,0,0,0,Normal,Normal,0,0,00 - None,00 - None,0,00,0,00,"
                                                  "00-N/A,0000,00 = Sandshrew,0,0,0,0",
                                                  "\r\n250,Celebi,,0,0,0,0,0,0,Fire ,? ,0,0,00 - None,00 - None,0,"
                                                  "123,0,00,00-N/A,12A45,77 = Nope,256,0,65536,256"}})),
                   {{26, 4, "HP", "HP must be a whole number from 0 to 255; it holds \"300\"."},
                    {26, 5, "ATK", "ATK must be a whole number from 0 to 255; it holds \"x\"."},
                    {32, 4, "HP", "it holds \"-1\""},
                    {252, 11, "Type2", "\"?\" is the text of 9 positions"},
                    {252, 17, "Size", "Size must be 1 to 2 hex digits"},
                    {252, 21, "Pointer", "Pointer must be 1 to 4 hex digits"},
                    {252, 22, "Cry", "Cry must be an entry of its list or a code of 1 to 2 hex digits"},
                    {252, 23, "Pitch", "Pitch must be a whole number from 0 to 255"},
                    {252, 25, "Length", "Length must be a whole number from 0 to 65535"},
                    {252, 26, "Gender", "Gender must be a whole number from 0 to 255 (255: no gender)"}});
}

TEST(TableFormats, CsvRefusesBadHeadersRowsAndPositions) {
    ExpectRefusals(tables::ReadCsvTable(CsvWith({{",HP,", ",Hit Points,"}})),
                   {{1, 4, "Hit Points", "\"Hit Points\" is not a column of the table (names are matched without "
                                         "regard to case, spaces and dots); the columns are Position, Species, Name, HP"}});
    ExpectRefusals(tables::ReadCsvTable(CsvWith({{",ATK,", ",HP,"}, {"Position,", ""}})),
                   {{1, 4, "HP", "the column \"HP\" is given twice; column 3 has it first."},
                    {1, 0, "", "the header row lacks the column(s) Position."}});
    ExpectRefusals(tables::ReadCsvTable(CsvWith({{"\r\n5,Charizard,", "\r\n4,Charizard,"},
                                                 {"\r\n7,Wartortle,", "\r\n,Wartortle,"},
                                                 {"\r\n8,Blastoise,", "\r\n251,Blastoise,"},
                                                 {"\r\n9,Caterpie,,0,", "\r\n9,Caterpie,,"},
                                                 {"\r\n10,Metapod,,0,", "\r\n10,Metapod,,0,0,"}})),
                   {{7, 1, "Position", "Position 4 (Charmeleon) is given again; line 6 gave it first."},
                    {9, 1, "Position", "Position must be a whole number from 0 to 250; it is empty."},
                    {10, 1, "Position", "it holds \"251\""},
                    {11, 0, "", "the row has 25 fields; the header row has 26."},
                    {12, 0, "", "the row has 27 fields; the header row has 26."}});
    // The list of columns comes once, not with every unknown name.
    const ImportedTable twoUnknown = tables::ReadCsvTable(CsvWith({{",HP,ATK,", ",Hit Points,Attack,"}}));
    ASSERT_EQ(twoUnknown.refusals.size(), 2u);
    EXPECT_NE(twoUnknown.refusals[0].message.find("the columns are"), std::string::npos);
    EXPECT_EQ(twoUnknown.refusals[1].message, "\"Attack\" is not a column of the table.");
    ExpectRefusals(tables::ReadCsvTable(""), {{1, 0, "", "the file holds no header row"}});
    ExpectRefusals(tables::ReadCsvTable("Position,HP\n1,\"2"), {{2, 2, "", "the file is not valid CSV"}});
}

std::string JsonWith(const std::vector<std::pair<std::string, std::string>>& replacements) {
    std::string text = Export(SpeciesTable{}, TableFormat::Json);
    for (const auto& [from, to] : replacements) {
        const size_t at = text.find(from);
        if (at == std::string::npos) throw std::invalid_argument(from);
        text.replace(at, from.size(), to);
    }
    return text;
}

TEST(TableFormats, JsonRefusalsCarryLineColumnAndField) {
    // Line 1 "{", lines 2-4 the description, line 5 "species", line 6 is position 0.
    ExpectRefusals(tables::ReadJsonTable(JsonWith({{"\"Position\":3,\"Species\":\"Charmander\",\"Name\":null,\"HP\":0",
                                                    "\"Position\":3,\"Species\":\"Charmander\",\"Name\":null,\"HP\":4.5"},
                                                   {"\"Position\":4,\"Species\":\"Charmeleon\",\"Name\":null,\"HP\":0,\"ATK\":0",
                                                    "\"Position\":4,\"Species\":\"Charmeleon\",\"Name\":null,\"HP\":\"12\",\"ATK\":"
                                                    "true"},
                                                   {"\"Position\":5,\"Species\":\"Charizard\",\"Name\":null,\"HP\":0,\"ATK\":0,"
                                                    "\"DEF\":0,\"SPD\":0,\"SATK\":0,\"SDEF\":0,\"Type1\":\"Normal\"",
                                                    "\"Position\":5,\"Species\":\"Charizard\",\"Name\":null,\"HP\":0,\"ATK\":0,"
                                                    "\"DEF\":0,\"SPD\":0,\"SATK\":0,\"SDEF\":0,\"Type1\":20"},
                                                   {"\"Position\":6,", "\"Position\":5,"},
                                                   {"\"Position\":7,\"Species\":\"Wartortle\",\"Name\":null,\"HP\":0",
                                                    "\"Position\":7,\"Species\":\"Wartortle\",\"Name\":null,\"HP\":[1]"}})),
                   {{9, 59, "HP", "HP must be a whole number from 0 to 255; it holds \"4.5\"."},
                    {10, 70, "ATK", "\"ATK\" must be a number, a string or null, not true."},
                    {11, 110, "Type1", "Type1 must be a JSON string"},
                    {12, 17, "Position", "Position 5 (Charizard) is given again; line 11 gave it first."},
                    {13, 58, "HP", "\"HP\" must be a number, a string or null, not an array."}});
}

TEST(TableFormats, JsonRefusesBadDocumentsAndRows) {
    ExpectRefusals(tables::ReadJsonTable("{\n  \"species\": [\n    {\"Position\": 1,,}\n  ]\n}"),
                   {{3, 20, "", "the file is not valid JSON"}});
    ExpectRefusals(tables::ReadJsonTable("[]"), {{1, 1, "", "must be an object"}});
    ExpectRefusals(tables::ReadJsonTable("{\"rows\": []}"), {{1, 1, "", "no \"species\" array"}});
    ExpectRefusals(tables::ReadJsonTable("{\"species\": [1]}"), {{1, 14, "", "each row of \"species\" must be an object"}});
    ExpectRefusals(tables::ReadJsonTable("{\"species\": [{\"Position\": 1, \"Position\": 2, \"Colour\": \"red\"}]}"),
                   {{1, 30, "Position", "\"Position\" is given twice in this row."},
                    {1, 45, "Colour", "\"Colour\" is not a column of the table"}});
    ExpectRefusals(tables::ReadJsonTable("{\"species\": [{\"HP\": 1}]}"), {{1, 14, "", "the row lacks Position."}});
    // Rows left out, and the description members, are fine.
    const ImportedTable empty = tables::ReadJsonTable("{\"species\": [], \"version\": {\"any\": [1, 2]}}");
    EXPECT_TRUE(empty.ok());
    EXPECT_TRUE(empty.rows.empty());
}

// Hostile files: each is refused quickly with a bounded list of refusals,
// never with one refusal per comma, line or row.
TEST(TableFormats, HostileFilesGiveABoundedListOfRefusals) {
    const auto expectTooManyRows = [](const ImportedTable& table) {
        ASSERT_FALSE(table.ok());
        EXPECT_NE(table.refusals.back().message.find("more rows than a table can"), std::string::npos);
        EXPECT_NE(table.refusals.back().message.find("no more than 1000 are read"), std::string::npos);
    };
    // A header of a million commas.
    ExpectRefusals(tables::ReadCsvTable(std::string(1 << 20, ',')),
                   {{1, 101, "", "the header row has more than 100 fields; the columns are Position, "}});
    // A good header, then a row of a million commas.
    const std::string exported = tables::ExportCsv(SpeciesTable{});
    const std::string head = exported.substr(0, exported.find("\r\n") + 2);
    ExpectRefusals(tables::ReadCsvTable(head + "0" + std::string(1 << 20, ',')),
                   {{2, 101, "", "the row has more than 100 fields"}});
    // A good header, then half a million lines of a comma: the rows past a
    // table's are not read.
    std::string lines = head;
    for (int i = 0; i < 500000; ++i) lines += ",\n";
    ExpectRefusals(tables::ReadCsvTable(lines), {{1002, 0, "", "the file holds more rows than a table can"}});
    // 500 rows of the wrong width: 100 listed, the others counted.
    std::string narrow = head;
    for (int i = 0; i < 500; ++i) narrow += "x,\n";
    const ImportedTable wrongWidth = tables::ReadCsvTable(narrow);
    ASSERT_EQ(wrongWidth.refusals.size(), tables::kMostRefusalsListed);
    EXPECT_EQ(wrongWidth.unlistedRefusals, 400u);
    EXPECT_EQ(wrongWidth.RefusalCount(), 500u);
    EXPECT_EQ(wrongWidth.refusals.back().line, 101);
    // A header with 70 unknown columns: bounded too.
    std::string wide = head.substr(0, head.size() - 2);
    for (int i = 0; i < 70; ++i) wide += ",X" + std::to_string(i);
    EXPECT_EQ(tables::ReadCsvTable(wide + "\r\n").RefusalCount(), 70u);

    // JSON: a million empty rows. The refusal that stopped the reading is listed last.
    std::string empties = "{\"species\":[{}";
    while (empties.size() < (1u << 20)) empties += ",{}";
    const ImportedTable emptyRows = tables::ReadJsonTable(empties + "]}");
    ASSERT_EQ(emptyRows.refusals.size(), tables::kMostRefusalsListed);
    EXPECT_EQ(emptyRows.RefusalCount(), 1001u);
    EXPECT_NE(emptyRows.refusals.front().message.find("the row lacks Position"), std::string::npos);
    expectTooManyRows(emptyRows);
    std::string numbers = "{\"species\":[1";
    while (numbers.size() < (1u << 20)) numbers += ",1";
    expectTooManyRows(tables::ReadJsonTable(numbers + "]}"));
    // A row of a hundred thousand members: refused once, the members past the
    // bound not kept.
    std::string members = "{\"species\":[{\"HP\":1";
    for (int i = 0; i < 100000; ++i) members += ",\"x\":1";
    const ImportedTable wideRow = tables::ReadJsonTable(members + "}]}");
    EXPECT_EQ(wideRow.RefusalCount(), 101u);  // 99 unknown members, the bound, the missing ones
    EXPECT_NE(wideRow.refusals[99].message.find("the row has more than 100 members"), std::string::npos);
}

// Only Position is needed: the fields a file leaves out keep the image's
// values, in both formats and whatever the order of the columns.
TEST(TableFormats, ColumnsLeftOutKeepTheImagesValues) {
    const SpeciesTable before = EveryByteValue()[0];
    const size_t hp = tables::FieldIndex(*rom::FindField("HP"));
    const size_t pointer = tables::FieldIndex(*rom::FindField("Pointer"));
    for (const auto& [text, format] : std::vector<std::pair<std::string, TableFormat>>{
             {"HP;Position\r\n77;3\r\n", TableFormat::Csv},
             {"{\"species\": [{\"HP\": 77, \"Position\": 3}, {\"Position\": 4}]}", TableFormat::Json}}) {
        const ImportedTable imported = tables::ReadTable(text, format);
        ASSERT_TRUE(imported.ok()) << tables::RefusalText(imported.refusals.front());
        const SpeciesTable after = tables::WithImportedRows(before, imported);
        SpeciesTable expected = before;
        expected[3].fields[hp] = {77, 0};
        EXPECT_EQ(after, expected) << text;
        EXPECT_EQ(after[3].fields[pointer], before[3].fields[pointer]);
    }
    EXPECT_TRUE(tables::ReadCsvTable("Position\r\n3\r\n").ok());
}

// What a spreadsheet program makes of hex pointers is refused, naming the
// conversion and the way out; valid hex, all-decimal four digits included,
// is taken.
TEST(TableFormats, SpreadsheetNumbersInThePointerColumnAreRefused) {
    for (const std::string damaged : {"3E+068", "3E+68", "3.00E+68", "120000", "0", "12", "\" 3,00E+68\""}) {
        const ImportedTable read = tables::ReadCsvTable("Position,Pointer\r\n3," + damaged + "\r\n");
        ASSERT_EQ(read.refusals.size(), 1u) << damaged;
        EXPECT_EQ(read.refusals[0].columnName, "Pointer");
        EXPECT_NE(read.refusals[0].message.find("spreadsheet program"), std::string::npos) << damaged;
        EXPECT_NE(read.refusals[0].message.find("leave the column out"), std::string::npos) << damaged;
    }
    for (const std::string valid : {"3E68", "0E12", "1234", "00ff", "7a"}) {
        EXPECT_TRUE(tables::ReadCsvTable("Position,Pointer\r\n3," + valid + "\r\n").ok()) << valid;
    }
    // Size and Groups are one byte: a dropped leading zero keeps the value.
    EXPECT_TRUE(tables::ReadCsvTable("Position,Size,Groups\r\n3,5,0\r\n").ok());
}

// UTF-16 (by its byte-order mark or its zero bytes) reads as the same table;
// a file in another encoding is refused once, with its line.
TEST(TableFormats, TextEncodingsOfTheFile) {
    const std::string utf8 = "Position,Species,Type1\r\n2,Venusaur,Grass\r\n";
    const auto utf16 = [&](bool little, bool marked) {
        std::string out = marked ? (little ? "\xFF\xFE" : "\xFE\xFF") : "";
        for (char c : utf8) out += little ? std::string{c, '\0'} : std::string{'\0', c};
        return out;
    };
    const ImportedTable expected = tables::ReadCsvTable(utf8);
    ASSERT_TRUE(expected.ok());
    for (const bool little : {true, false}) {
        for (const bool marked : {true, false}) {
            const ImportedTable read = tables::ReadCsvTable(utf16(little, marked));
            ASSERT_TRUE(read.ok()) << tables::RefusalText(read.refusals.front());
            ASSERT_EQ(read.rows.size(), 1u);
            EXPECT_EQ(read.rows[0].values, expected.rows[0].values);
        }
    }
    ExpectRefusals(tables::ReadCsvTable("Position,Species,HP\r\n3,Venusaur,1\r\n4,Pok\xE9mon,\xE9\xE9\r\n"),
                   {{3, 0, "", "the file is not UTF-8 text: the byte 0xE9 on this line is not UTF-8"}});
    ExpectRefusals(tables::ReadJsonTable("{\"species\": [\n{\"Position\": \"\xFF\"}]}"),
                   {{2, 0, "", "not UTF-8 text"}});
    ExpectRefusals(tables::ReadCsvTable("\xFF\xFEP\0"), {{1, 0, "", "not valid UTF-16"}});
}

// Read for an image, another table's file or another version's export is
// one refusal that says so; an ordinary mistake keeps its own refusals.
TEST(TableFormats, AFileOfAnotherTableOrVersionIsOneRefusal) {
    const tables::TableImage image = ImageWith(SpeciesTable{});
    const auto only = [&](const std::string& text, TableFormat format, const std::string& fragment) {
        const ImportedTable read = tables::ReadTable(text, format, image);
        ASSERT_EQ(read.refusals.size(), 1u) << text;
        EXPECT_NE(read.refusals[0].message.find(fragment), std::string::npos) << read.refusals[0].message;
    };
    only("{\"format\": \"quillmere egg-moves table\", \"egg-moves\": [{\"Position\": 0, \"Move\": 33}]}",
         TableFormat::Json, "import it with --table egg-moves.");
    only("{\"format\": \"a list\", \"species\": []}", TableFormat::Json, "it is no export of a species table");
    only(JsonWith({{"Kreblin Crystal Version", "Kreblin Silver Version"}}), TableFormat::Json,
         "exported from an image of Kreblin Silver Version, and this image is Kreblin Crystal Version");
    only("Position,Evolves\r\n", TableFormat::Csv, "\"Evolves\" is not a column");
    only("position;METHOD;into\r\n1;Level;3\r\n", TableFormat::Csv, "are those of an evolutions table");
    EXPECT_TRUE(tables::ReadTable(Export(SpeciesTable{}, TableFormat::Json), TableFormat::Json, image).ok());
}

TEST(TableFormats, FormatNames) {
    EXPECT_EQ(tables::FormatFromName("CSV"), TableFormat::Csv);
    EXPECT_EQ(tables::FormatFromName("json"), TableFormat::Json);
    EXPECT_EQ(tables::FormatFromName("xml"), std::nullopt);
    EXPECT_EQ(tables::FormatFromPath("dir.json/table.CSV"), TableFormat::Csv);
    EXPECT_EQ(tables::FormatFromPath("out.json"), TableFormat::Json);
    EXPECT_EQ(tables::FormatFromPath("dir.csv/table"), std::nullopt);
    EXPECT_EQ(tables::FormatFromPath("table"), std::nullopt);
}

}  // namespace
