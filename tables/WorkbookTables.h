#pragma once
// The whole image as one workbook: the species table, the four list tables
// and the palettes, one sheet each holding exactly the table's CSV export (numbers as
// number cells, hex texts and names as text cells), dropdowns of the list
// columns' entries, and an About sheet naming the image; and a workbook
// brought back into an image as one import of every table sheet it holds.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "formats/Workbook.h"
#include "tables/ImageLists.h"
#include "tables/SpeciesTable.h"

namespace tables {

// The table sheets in the workbook's order, and the table each one holds.
inline constexpr std::array<std::string_view, 6> kWorkbookSheets = {"Species", "Machines", "Evolutions", "Moves",
                                                                     "Egg moves", "Palettes"};
// "Moves" for "moves", "Egg moves" for "egg-moves", "Palettes" for
// "palettes"; nullopt for other names.
std::optional<std::string_view> SheetOfTable(std::string_view table);

// The entries the dropdown of a column of a table sheet offers: every value
// the column can hold, as the export writes it. None for other columns.
std::vector<formats::WorkbookCell> DropdownEntries(std::string_view sheet, std::string_view column);

// The rules of the rows of a list sheet and of the Species column, as the
// About sheet says them.
inline constexpr std::string_view kListSheetRule =
    "In Machines, Evolutions, Moves and Egg moves the rows of a species are its whole list, in order. A sheet with "
    "rows for more than half of the species is the whole table: every species needs a row there, and a species "
    "whose rows are all deleted is refused, never guessed. To empty a species' list, keep one row with its Position "
    "and no values. A sheet with rows for fewer species changes only those.";
inline constexpr std::string_view kSpeciesColumnRule =
    "Species names the row for people; the import goes by Position. A Species cell that names another species than "
    "its Position is refused; an empty one is taken.";

// The About sheet's rows for the image: its file name, version, release (or
// layout), the table offsets, SHA-1 and the program that wrote the workbook.
std::vector<std::pair<std::string, std::string>> AboutRows(const TableImage& image, bool hasEggMoves,
                                                           std::string_view program);

// The workbook's content for the image. An image without a known egg move
// table has no Egg moves sheet, and its About says so; one without a known
// palette table has no Palettes sheet.
formats::WorkbookContent ImageWorkbook(const TableImage& image, const SpeciesLists& lists, std::string_view program);

struct WorkbookImportOptions {
    std::optional<std::string_view> onlySheet;  // --table: that sheet alone
    bool fromOtherImage = false;                // take a workbook whose About names another image
    // What the refusal of another image's workbook advises, in the words of
    // the program that reads it.
    std::string_view otherImageAdvice =
        "Give --from-other-image to take the sheets and columns it holds (delete those that must not be carried, "
        "such as Pointer), or export this image.";
};

// A workbook brought into the image: checked whole first, then the list
// sheets laid in (machines, evolutions, moves, egg moves), then the palettes,
// then the species sheet over the image they made.
struct WorkbookImport {
    std::string failure;                // the one reason nothing can be imported, or empty
    std::vector<std::string> refusals;  // "Moves!C781 (Move): ...", the first kMostRefusalsListed
    size_t unlistedRefusals = 0;
    std::vector<std::string> notes;  // said once each, to standard error
    std::vector<uint8_t> after;      // the image with the import laid in
    std::string changes;             // what changed, by species, as diff shows it
    size_t speciesChanged = 0;
};
WorkbookImport PlanWorkbookImport(const TableImage& image, std::string_view workbook,
                                  const WorkbookImportOptions& options);

}  // namespace tables
