#pragma once
// Rows of named cells, each with its place, read from a table file in CSV
// (a header row naming the columns, then one record per row) or JSON (an
// object whose member `arrayKey` is an array of row objects keyed by column).
// The list tables (machines, evolutions, moves, egg moves) read their files
// through it; what a cell's text means is theirs to check.
//
// Every column is required except Species, which only names the row's
// species for people. JSON cells may be strings, numbers or null (an empty
// cell). Refusals carry their line and column, as the species table's do.
//
// It forgives what spreadsheets do as the species table's reader does: the
// CSV separator is found from the header line (comma, semicolon or tab), a
// CSV row whose cells are all empty is skipped (a row with any cell, its
// Position included, is read), and column names, in CSV headers and JSON
// members, match without regard to case, spaces and dots. Refusals name the
// columns as the table does, whatever the file's spelling.

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tables/TableFormats.h"

namespace tables {

// The most rows a list table file may hold: far more than any image's lists
// (a list area is one 16 KiB bank); past it the file is refused at once.
inline constexpr size_t kMostListRowsRead = 20000;

struct RowCell {
    std::string text;   // as written; empty for an empty cell or JSON null
    int line = 0;
    int column = 0;     // CSV: the field's number; JSON: the character in its line
    bool given = false; // the row has this column (always true for CSV rows)
    bool jsonNumber = false;
};

struct TableRow {
    int line = 0;
    int column = 0;
    std::vector<RowCell> cells;  // in the order of the columns asked for
};

struct RowsRead {
    std::vector<TableRow> rows;
    ImportedTable status;  // its refusals only; its rows stay empty
};

// Reads the rows. `columns` are the table's columns in export order.
RowsRead ReadRows(std::string_view text, TableFormat format, std::span<const std::string> columns,
                  std::string_view arrayKey);

}  // namespace tables
