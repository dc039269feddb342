#pragma once
// The export formats of the species table, CSV and JSON, and their readers.
//
// CSV: a header row, then one row per species in list order. The columns are
// Position (0 to 250), Species (the list entry), then one per field of the
// field table, named by its control (HP, ATK, ..., Length, Gender).
//
// JSON: one object,
//   {"format": "quillmere species table", "version": "<version caption>",
//    "layout": "<layout name>", "species": [<row>, ...]}
// with one row object per species, keyed like the CSV columns. Number fields
// (decimal fields, Pitch, Echo, Length, Gender) and Position are JSON
// numbers; hex text and list fields are JSON strings. Only "species" is read
// back; the other members describe the image the table came from.
//
// The readers check every value by the window's save rules (FieldText.h) and
// list every refusal with its place (up to kMostRefusalsListed); they never
// stop at the first one, only at a file larger than any table.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tables/SpeciesTable.h"

namespace tables {

enum class TableFormat { Csv, Json };

// "csv" or "json" (either case); nullopt for anything else.
std::optional<TableFormat> FormatFromName(std::string_view name);
// The format a file name's extension (.csv, .json, either case) names.
std::optional<TableFormat> FormatFromPath(std::string_view path);

inline constexpr std::string_view kPositionColumn = "Position";
inline constexpr std::string_view kSpeciesColumn = "Species";
inline constexpr std::string_view kJsonFormatName = "quillmere species table";

// The column names in export order.
std::vector<std::string> ExportColumns();

std::string ExportCsv(const SpeciesTable& table);
std::string ExportJson(const TableImage& image);
std::string ExportTable(const TableImage& image, TableFormat format);

// A value or row the reader refused, and where: the line counted from 1 and
// the column (CSV: the field's number in its row; JSON: the character in its
// line; 0 when the refusal is about a whole row or the file).
struct Refusal {
    int line = 0;
    int column = 0;
    std::string columnName;  // the table column ("HP", "Position"), or empty
    std::string message;     // says what the column accepts
};

// "line 12, column 3 (HP): HP must be ..."
std::string RefusalText(const Refusal& refusal);

struct ImportedRow {
    int line = 0;
    int32_t position = 0;
    SpeciesValues values;
};

// The most refusals an import lists; the ones past them are only counted,
// so that a hostile file cannot fill memory and the screen with them.
inline constexpr size_t kMostRefusalsListed = 100;

// The most rows of a CSV file (after its header) or of a JSON file read: a
// table has one row per species (251); past this bound the file is refused
// at once, without reading on.
inline constexpr size_t kMostRowsRead = 1000;
// The most columns of a CSV row, or members of a JSON row, read; a row has
// 27 (Position, Species and the 25 fields).
inline constexpr size_t kMostColumnsRead = 100;

// The rows read, and the refusals. Rows are only meaningful when there is
// no refusal; a table with any refusal must not be written.
struct ImportedTable {
    std::vector<ImportedRow> rows;
    std::vector<Refusal> refusals;  // the first kMostRefusalsListed
    size_t unlistedRefusals = 0;    // the refusals past them, counted only
    bool ok() const { return refusals.empty(); }
    size_t RefusalCount() const { return refusals.size() + unlistedRefusals; }
    // Lists the refusal, or counts it once kMostRefusalsListed are listed.
    void Refuse(Refusal refusal);
    // Lists the refusal that ends the reading even when the list is full: it
    // takes the place of the last one listed, which is then counted only.
    void RefuseAndStop(Refusal refusal);
};

ImportedTable ReadCsvTable(std::string_view text);
ImportedTable ReadJsonTable(std::string_view text);
ImportedTable ReadTable(std::string_view text, TableFormat format);

}  // namespace tables
