// The row model through both text formats: typed cells written and read
// back, the shape's required columns and budget, the table of formats.

#include "formats/Formats.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using formats::Cell;
using formats::CellKind;
using formats::TableFormat;

formats::Shape TwoColumns() {
    formats::Shape shape;
    shape.columns = {"Position", "Note", "Level"};
    shape.required = {true, false, true};
    shape.arrayKey = "rows";
    shape.budget.mostRows = 3;
    shape.tooManyRows = "three; reading stopped here.";
    return shape;
}

formats::TableDocument Document() {
    formats::TableDocument document;
    document.about = {{"format", "test table"}, {"version", "V"}};
    document.arrayKey = "rows";
    document.columns = {"Position", "Note", "Level"};
    document.rows = {{Cell::Number(0), Cell::Text("a, \"b\""), Cell::Number(7)},
                     {Cell::Number(1), Cell::Text("0E12"), Cell::Empty()}};
    return document;
}

TEST(Rows, TypedCellsComeBackFromBothFormatsWithTheirPlaces) {
    for (const formats::FormatEntry& entry : formats::kFormats) {
        const formats::RowsRead read = entry.read(entry.write(Document()), TwoColumns());
        ASSERT_TRUE(read.status.ok()) << entry.name << ": " << formats::RefusalText(read.status.refusals[0]);
        ASSERT_EQ(read.rows.size(), 2u) << entry.name;
        EXPECT_EQ(read.rows[0].cells[1].text, "a, \"b\"");
        EXPECT_EQ(read.rows[1].cells[1].text, "0E12");  // hex text stays text
        EXPECT_EQ(read.rows[1].cells[2].text, "");
        EXPECT_EQ(read.present, (std::vector<bool>{true, true, true}));
        EXPECT_GT(read.rows[1].cells[0].line, read.rows[0].cells[0].line);
        if (entry.format == TableFormat::Json) {
            EXPECT_EQ(read.rows[0].cells[2].kind, CellKind::Number);
            EXPECT_EQ(read.rows[1].cells[1].kind, CellKind::Text);
            EXPECT_EQ(read.rows[1].cells[2].kind, CellKind::Empty);
            ASSERT_EQ(read.about.size(), 2u);
            EXPECT_EQ(read.about[1].key, "version");
            EXPECT_EQ(read.about[1].text, "V");
            EXPECT_EQ(read.about[1].line, 3);
        }
    }
    EXPECT_EQ(formats::WriteJsonRows(Document()).substr(0, 62),
              "{\n  \"format\": \"test table\",\n  \"version\": \"V\",\n  \"rows\": [\n    ");
}

TEST(Rows, OptionalColumnsMayBeLeftOutAndTheBudgetHolds) {
    const formats::RowsRead csv = formats::ReadCsvRows("level;POSITION\n5;1\n", TwoColumns());
    ASSERT_TRUE(csv.status.ok());
    EXPECT_EQ(csv.present, (std::vector<bool>{true, false, true}));
    EXPECT_FALSE(csv.rows[0].cells[1].given);
    EXPECT_EQ(csv.rows[0].cells[2].column, 1);

    const formats::RowsRead json = formats::ReadJsonRows("{\"rows\": [{\"Position\": 1, \"Level\": true}]}", TwoColumns());
    ASSERT_EQ(json.status.refusals.size(), 1u);  // refused as a value, not also as missing
    EXPECT_EQ(formats::RefusalText(json.status.refusals[0]),
              "line 1, column 36 (Level): \"Level\" must be a number, a string or null, not true.");

    const formats::RowsRead tooMany = formats::ReadCsvRows("Position,Level\n1,1\n2,2\n3,3\n4,4\n", TwoColumns());
    ASSERT_EQ(tooMany.status.refusals.size(), 1u);
    EXPECT_EQ(tooMany.status.refusals[0].message, "the file holds more rows than three; reading stopped here.");
    formats::Shape small = TwoColumns();
    small.budget.mostBytes = 10;
    EXPECT_NE(formats::ReadRows("Position,Level\n", TableFormat::Csv, small).status.refusals[0].message.find(
                  "more than the 10"),
              std::string::npos);
}

TEST(Rows, TheTableOfFormatsNamesThem) {
    EXPECT_EQ(formats::FormatNames(), "csv or json");
    EXPECT_EQ(formats::FormatFromName("JSON"), TableFormat::Json);
    EXPECT_EQ(formats::FormatFromPath("a.b/c.Csv"), TableFormat::Csv);
    EXPECT_EQ(formats::FormatFromPath("a.csv/c"), std::nullopt);
    formats::Refusal cell{0, 0, "Move", "no such move", "Moves!C781"};
    EXPECT_EQ(formats::RefusalText(cell), "Moves!C781 (Move): no such move");
}

}  // namespace
