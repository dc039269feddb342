#pragma once
// The four list tables of quillmere-cli, beside the species table: machines,
// evolutions, level-up moves and egg moves. Export (CSV and JSON) and import.
//
// Every row is led by Position and Species, as in the species table:
//   machines:   one row per species, then one column per machine (TM01 to
//               HM07, and MT01 to MT03 for Crystal): 1 or 0;
//   evolutions: a row per evolution: Method (Level, Item, Trade, Happiness,
//               Stats), Level, Item, When, Stats, Into;
//   moves:      a row per level-up move: Level, Move;
//   egg-moves:  a row per egg move: Move.
// A species whose list is empty has one row whose other cells are empty, so
// that an export names every species and an import can empty a list. A
// species absent from an imported file with rows for no more than half of
// the species keeps its list (or machines); in a file with rows for more, the
// whole table, a species without rows is refused. A Species cell that names
// another species than its Position is refused. A machines
// file may leave out any machine's column (that machine is kept), and an
// evolutions file the Level, Item, When and Stats columns (read as empty).
//
// Texts: moves by name (or number), species as the species table writes
// them (or number), items as the species table writes held items (the
// entry's text, or a hex code), When "Any time", "Morning and day", "Night",
// Stats "Attack > Defense", "Attack < Defense", "Attack = Defense". A value
// the lists cannot name is written as its number.
//
// JSON: {"format": "quillmere <table> table", "version": ..., "layout": ...,
// "<table>": [<row>, ...]}; numbers for Position, Level and the machine
// cells, strings for names, null for an empty cell.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tables/ImageLists.h"
#include "tables/SpeciesTable.h"
#include "formats/Formats.h"
#include "tables/SpeciesRows.h"

namespace tables {

enum class ListTable { Machines, Evolutions, Moves, EggMoves };

// The JSON "format" of the table's export: "quillmere moves table".
std::string_view ListTableFormatName(ListTable table);

// "machines", "evolutions", "moves", "egg-moves"; nullopt for anything else.
std::optional<ListTable> ListTableFromName(std::string_view name);
std::string_view ListTableName(ListTable table);

// How many machines an image of the version has (57, or 60 for Crystal).
size_t MachineCount(rom::GameVersion version);

// The columns in export order.
std::vector<std::string> ListTableColumns(ListTable table, rom::GameVersion version);

// The species whose list this table cannot show: "12 Butterfree: <why>".
std::vector<std::string> UnreadableLists(const SpeciesLists& lists, ListTable table);

// The most rows a list table file may hold: far more than any image's lists
// (a list area is one 16 KiB bank); past it the file is refused at once.
inline constexpr size_t kMostListRowsRead = 20000;

// What the readers expect of the table's file.
formats::Shape ListTableShape(ListTable table, rom::GameVersion version);

// The rows of the table, each cell typed. Species with an unreadable list
// have no row; a species whose list is empty has one row of empty cells.
formats::TableDocument ListTableDocument(const TableImage& image, const SpeciesLists& lists, ListTable table);

// The table as CSV or JSON. Species with an unreadable list have no row.
std::string ExportListTable(const TableImage& image, const SpeciesLists& lists, ListTable table,
                            TableFormat format);

// A table file read and checked against the image: every species' list as it
// is to be, the image's own for species the file leaves out.
struct ImportedLists {
    ListTable table = ListTable::Machines;
    std::array<bool, rom::kSpeciesCount> given{};
    std::array<MachineBytes, rom::kSpeciesCount> machines{};
    std::array<EvoMoveContents, rom::kSpeciesCount> evoMoves;
    std::array<std::vector<uint8_t>, rom::kSpeciesCount> eggMoves;
    ImportedTable status;  // its refusals; an import with any is never written
    // What the import does that the game reads in its own way, said but
    // written: a changed list of level-up moves whose levels fall.
    std::vector<std::string> warnings;
};

// The list table `table` from rows a format has read with
// ListTableShape(table, ...) for an import into `image`. `otherFile` is the
// refusal of a file that is another table's (OtherFileRefusal, FileOrigin.h),
// which then stands alone, after only the refusal of egg moves for an image
// without an egg move table. ReadListTable (FileOrigin.h) reads a file.
ImportedLists ListsFromRows(const formats::RowsRead& read, ListTable table, const TableImage& image,
                            const SpeciesLists& lists, const std::optional<Refusal>& otherFile);

// The image's bytes with the import laid in (machine bytes in the base
// records; lists in place or packed again), or the refusal that says why
// they cannot be. Only for an import without refusals.
struct ListImportPlan {
    std::vector<uint8_t> after;
    std::string refusal;
};
ListImportPlan PlanListImport(const TableImage& image, const SpeciesLists& lists, const ImportedLists& imported);

// Texts of single values, as the tables and the differences show them.
std::string MoveText(uint8_t move);
std::string SpeciesNumberText(uint8_t number);
std::string ItemText(uint8_t item);
std::string_view MethodText(EvolutionMethod method);
std::string WhenText(uint8_t when);
std::string StatsText(uint8_t stats);

}  // namespace tables
