#pragma once
// The row model every table format reads and writes: rows of typed cells
// (a number, a text, or empty), the shape a reader expects (the table's
// columns, which of them a file must hold, the key of the rows in a JSON
// file, the limits), and the rows read with their refusals.
//
// What a cell's text means is the tables' business; the formats only carry
// it. A file's column names match the table's without regard to case, spaces
// and dots, and refusals name the columns as the table does, whatever the
// file's spelling.

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "formats/Refusals.h"

namespace formats {

enum class CellKind { Empty, Number, Text };

struct Cell {
    CellKind kind = CellKind::Empty;
    std::string text;    // as written; empty for an empty cell (JSON null)
    int line = 0;        // where the reader found it
    int column = 0;      // CSV: the field's number; JSON: the character in its line
    bool given = false;  // the row has this column

    static Cell Number(int64_t value) { return {CellKind::Number, std::to_string(value), 0, 0, true}; }
    static Cell Text(std::string text) { return {CellKind::Text, std::move(text), 0, 0, true}; }
    static Cell Empty() { return {CellKind::Empty, {}, 0, 0, true}; }
};

struct Row {
    int line = 0;    // where the row starts
    int column = 0;  // JSON: the character of its "{"; CSV: 0
    std::vector<Cell> cells;  // in the order of the shape's columns
};

// Limits on what a reader takes from an untrusted file.
struct Budget {
    size_t mostRows = std::numeric_limits<size_t>::max();  // after the header
    size_t mostColumns = 100;  // fields of a CSV record, members of a JSON row
    size_t mostBytes = size_t{16} * 1024 * 1024;
};

// What a reader expects of a table's file.
struct Shape {
    std::vector<std::string> columns;  // the table's columns in export order
    std::vector<bool> required;        // per column: a file must hold it
    std::string arrayKey;              // the JSON member holding the rows
    Budget budget;
    // The refusal of a file past budget.mostRows, after "the file holds more
    // rows than ": ends with why the bound is safe and "reading stopped here."
    std::string tooManyRows;
};

// A member of a JSON file's root object with a text value ("format",
// "version", "layout"): what the file says of the image it came from.
struct AboutMember {
    std::string key;
    std::string text;
    int line = 0;
    int column = 0;
};

struct RowsRead {
    std::vector<Row> rows;
    Refusals status;
    std::vector<bool> present;  // per column: the header (CSV) or any row (JSON) holds it
    // The column names as the file spells them: the CSV header's, or the
    // members of the first JSON row (known or not).
    std::vector<std::string> names;
    std::vector<AboutMember> about;
    std::vector<std::string> arrays;  // JSON: the root's other members that hold arrays (another table's rows)
};

// A table to write: the members that describe its image (JSON only, in
// order), the key of its rows, its columns and its rows (cells in column
// order; their places unused).
struct TableDocument {
    std::vector<std::pair<std::string, std::string>> about;
    std::string arrayKey;
    std::vector<std::string> columns;
    std::vector<std::vector<Cell>> rows;
};

// The text without the spaces and tabs around it.
std::string_view Trimmed(std::string_view text);

// A column name as compared: without case, spaces and dots ("S.ATK", "s atk"
// and "SATK" all give "satk").
std::string NormalizedColumnName(std::string_view name);

// The refusal of a name that is no column of a table whose columns are
// `columnList` ("Position, Species, ..."): with the way names are matched and
// the columns for the first such name, shorter for every later one.
std::string NotAColumnText(std::string_view name, std::string_view columnList, bool first);

// True when every cell of a CSV row is empty or only spaces and tabs: the
// rows a spreadsheet leaves below a table, read as no row at all.
bool AllCellsEmpty(std::span<const std::string> cells);

// "Position, Species, HP, ..."
std::string ColumnList(std::span<const std::string> columns);

// The column of `shape` a file's name names, by NormalizedColumnName.
class ColumnMatcher {
public:
    explicit ColumnMatcher(std::span<const std::string> columns);
    std::optional<size_t> Find(std::string_view name) const;

private:
    std::vector<std::string> normalized_;
};

}  // namespace formats
