#pragma once
// The table formats: each reads a file's bytes into rows of the shape asked
// for, with its refusals, and writes typed rows back. One constant table
// lists them; names, extensions and the program's list of formats come from
// it, so that a new format is one more row and its two functions.

#include <array>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "formats/Rows.h"

namespace formats {

enum class TableFormat { Csv, Json };

// CSV: a header row naming the columns, then one record per row; the
// separator (comma, semicolon or tab) is found from the header line, a
// record whose cells are all empty is no row. Every cell is text.
RowsRead ReadCsvRows(std::string_view bytes, const Shape& shape);
std::string WriteCsvRows(const TableDocument& document);

// JSON: an object whose member `arrayKey` is an array of row objects keyed
// by column; its other text members are kept as `about`. Cells are strings,
// numbers or null (empty); any other value is refused. Written with numbers
// for number cells, null for empty ones, one row a line.
RowsRead ReadJsonRows(std::string_view bytes, const Shape& shape);
std::string WriteJsonRows(const TableDocument& document);

struct FormatEntry {
    TableFormat format;
    std::string_view name;  // as --format takes it
    std::span<const std::string_view> extensions;
    bool binary;  // false: a text a terminal can show
    RowsRead (*read)(std::string_view bytes, const Shape& shape);
    std::string (*write)(const TableDocument& document);
};

inline constexpr std::array<std::string_view, 1> kCsvExtensions = {"csv"};
inline constexpr std::array<std::string_view, 1> kJsonExtensions = {"json"};

inline constexpr std::array<FormatEntry, 2> kFormats = {{
    {TableFormat::Csv, "csv", kCsvExtensions, false, ReadCsvRows, WriteCsvRows},
    {TableFormat::Json, "json", kJsonExtensions, false, ReadJsonRows, WriteJsonRows},
}};

const FormatEntry& EntryOf(TableFormat format);

// The format a name (either case) names; nullopt for anything else.
std::optional<TableFormat> FormatFromName(std::string_view name);
// The format a file name's extension (either case) names.
std::optional<TableFormat> FormatFromPath(std::string_view path);
// "csv or json": the names for messages and help.
std::string FormatNames();

// Reads with the format's reader, after refusing a file larger than the
// shape's budget; a text format's bytes are first decoded (Text.h).
RowsRead ReadRows(std::string_view bytes, TableFormat format, const Shape& shape);
std::string WriteRows(const TableDocument& document, TableFormat format);

}  // namespace formats
