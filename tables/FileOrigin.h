#pragma once
// Whether a file given to import one table is another table's file, or the
// JSON export of an image of another version: said in one refusal that
// names the table or version and the --table the file is for, instead of
// one refusal per column or row.

#include <optional>
#include <string_view>

#include "formats/Rows.h"
#include "tables/ListTables.h"
#include "tables/PaletteTable.h"
#include "tables/SpeciesRows.h"
#include "tables/SpeciesTable.h"

namespace tables {

// The --table name of the species table.
inline constexpr std::string_view kSpeciesTableName = "species";

// The refusal for a file read for the table named `table` (as --table names
// it) into `image`, or nullopt when nothing says the file is another's:
//  - a JSON "format" that names another table (or none of ours);
//  - a JSON "version" other than the image's;
//  - a file refused for its columns whose columns are all another table's
//    (or, for the machines of a Gold or Silver image, a Crystal image's).
std::optional<formats::Refusal> OtherFileRefusal(const formats::RowsRead& read, std::string_view table,
                                                 const TableImage& image);

// The species table read for an import into `image`: a file that is another
// table's, or a JSON export of another version, is refused with the one
// refusal that says so; otherwise as ReadTable(text, format) reads it.
ImportedTable ReadTable(std::string_view text, TableFormat format, const TableImage& image);

// The list table `table` read for an import into `image`, refused alike
// (ListsFromRows).
ImportedLists ReadListTable(std::string_view text, TableFormat format, ListTable table, const TableImage& image,
                            const SpeciesLists& lists);

// The palette table read for an import into `image`, refused alike
// (PalettesFromRows).
ImportedPalettes ReadPaletteTable(std::string_view text, TableFormat format, const TableImage& image,
                                  const ImagePalettes& palettes);

}  // namespace tables
