#pragma once
// The species table as rows, in every table format, and the way back.
//
// Columns: Position (0 to 250), Species (the list entry, the same for every
// image), Name (the image's own name of the species, NameText.h; empty when
// the image's names are not known), then one per field of the field table,
// named by its control (HP, ATK, ..., Length, Gender); one row per species in
// list order. A file read back needs only Position:
// any other column may be left out, and only the fields present are taken. Number fields (decimal fields, Pitch,
// Echo, Length, Gender) and Position are number cells; hex text and list
// fields are text cells (so JSON writes them as strings).
//
// JSON: one object,
//   {"format": "quillmere species table", "version": "<version caption>",
//    "layout": "<layout name>", "species": [<row>, ...]}
// Only "species" is read back as rows.
//
// The rows read are checked by the window's save rules (FieldText.h), every
// refusal listed with its place (up to formats::kMostRefusalsListed).

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "formats/Formats.h"
#include "tables/SpeciesTable.h"

namespace tables {

using formats::FormatFromName;
using formats::FormatFromPath;
using formats::kMostRefusalsListed;
using formats::Refusal;
using formats::RefusalText;
using formats::TableFormat;

inline constexpr std::string_view kPositionColumn = "Position";
inline constexpr std::string_view kSpeciesColumn = "Species";
inline constexpr std::string_view kJsonFormatName = "quillmere species table";

// The column names in export order.
std::vector<std::string> ExportColumns();

// The rows of the table, each cell typed; with the members that describe
// the image when one is given. Every Name is empty: a table alone has none.
formats::TableDocument SpeciesDocument(const SpeciesTable& table, const TableImage* image = nullptr);
// The rows of the image's table with its names; with the members that
// describe the image when `about`.
formats::TableDocument SpeciesDocument(const TableImage& image, bool about);

std::string ExportCsv(const SpeciesTable& table);
std::string ExportJson(const TableImage& image);
std::string ExportTable(const TableImage& image, TableFormat format);

// A row read: its position and the values of the fields the file holds.
// A file may leave out any field's column; a field it leaves out is kept.
struct ImportedRow {
    int line = 0;
    int32_t position = 0;
    SpeciesValues values;
    std::array<bool, kFieldCount> given{};  // the file holds this field
    // The new name's bytes, when the file gives a name other than the one
    // the image holds (read against an image only).
    std::optional<NameBytes> name;
};

// The most rows of a file read: a table has one row per species (251); past
// this bound the file is refused at once, without reading on.
inline constexpr size_t kMostRowsRead = 1000;
// The most columns of a CSV row, or members of a JSON row, read; a row has
// 26 (Position, Species, Name and the 23 fields).
inline constexpr size_t kMostColumnsRead = 100;

// The rows read, and the refusals. Rows are only meaningful when there is
// no refusal; a table with any refusal must not be written.
struct ImportedTable : formats::Refusals {
    std::vector<ImportedRow> rows;
};

// What the readers expect of a species table file.
const formats::Shape& SpeciesShape();

// The rows read turned into values: each position and value checked; with an
// image, each name against the image's names (a file read without one keeps
// every name).
ImportedTable SpeciesFromRows(const formats::RowsRead& read, const TableImage* image = nullptr);

ImportedTable ReadTable(std::string_view text, TableFormat format);
ImportedTable ReadCsvTable(std::string_view text);
ImportedTable ReadJsonTable(std::string_view text);

}  // namespace tables
