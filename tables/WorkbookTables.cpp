// The workbook of an image's five tables, and its import.
//
// A sheet holds the rows of its table's export, typed as the table types
// them; a sheet read back goes through the rows readers every format shares
// (formats::SheetRows), and every refusal names its cell.

#include "tables/WorkbookTables.h"

#include <algorithm>
#include <filesystem>
#include <string>

#include "lists/ValueNames.h"
#include "rom/HexDigits.h"
#include "rom/ReleaseLayouts.h"
#include "rom/SpeciesLayout.h"
#include "rom/VersionDetection.h"
#include "tables/FieldText.h"
#include "tables/FileOrigin.h"
#include "tables/ListDiff.h"
#include "tables/ListTables.h"
#include "tables/PaletteTable.h"
#include "tables/PointerTargets.h"
#include "tables/ReleasedImages.h"
#include "tables/SpeciesRows.h"
#include "tables/TableDiff.h"
#include "tables/TableImport.h"

namespace tables {
namespace {

using formats::WorkbookCell;

constexpr std::string_view kPalettesSheet = kWorkbookSheets[5];

// ---- dropdowns ---------------------------------------------------------------

// Every value of `count` codes from `first`, as `text` writes it.
template <typename Text>
std::vector<WorkbookCell> TextsOf(int first, int count, Text text) {
    std::vector<WorkbookCell> entries;
    for (int code = first; code < first + count; ++code) entries.push_back(WorkbookCell::Text(text(uint8_t(code))));
    return entries;
}

std::vector<WorkbookCell> NumbersFrom(int first, int last) {
    std::vector<WorkbookCell> entries;
    for (int n = first; n <= last; ++n) entries.push_back(WorkbookCell::Number(n));
    return entries;
}

bool IsMachineColumn(std::string_view column) {
    return column.starts_with("TM") || column.starts_with("HM") || column.starts_with("MT");
}

// The species sheet: the list fields, by their list's length; the growth
// rates the game defines (0 to 5), as numbers, since the column is decimal.
std::vector<WorkbookCell> SpeciesDropdown(std::string_view column) {
    if (column == "Growth") return NumbersFrom(0, 5);
    const rom::SpeciesField* field = rom::FindField(column);
    if (field == nullptr) return {};
    const size_t count = ListOf(*field).size();
    return TextsOf(0, int(count), [field](uint8_t code) { return ValueText(*field, FieldBytes{code, 0}); });
}

std::vector<WorkbookCell> EvolutionsDropdown(std::string_view column) {
    if (column == "Method") return TextsOf(1, 5, [](uint8_t m) { return std::string(MethodText(EvolutionMethod(m))); });
    if (column == "Item") return TextsOf(0, 256, ItemText);
    if (column == "When") return TextsOf(1, 3, WhenText);
    if (column == "Stats") return TextsOf(1, 3, StatsText);
    if (column == "Into") return TextsOf(1, rom::kSpeciesCount, SpeciesNumberText);
    return {};
}

// ---- export ------------------------------------------------------------------

// The list's index in `lists`, added when no equal list is there yet.
size_t ListIndex(std::vector<formats::WorkbookList>& lists, std::vector<WorkbookCell> entries) {
    for (size_t i = 0; i < lists.size(); ++i) {
        if (lists[i].entries == entries) return i;
    }
    lists.push_back({std::move(entries)});
    return lists.size() - 1;
}

void AddSheet(formats::WorkbookContent& content, std::string_view name, const formats::TableDocument& document) {
    formats::WorkbookSheet sheet = formats::SheetOf(document, std::string(name));
    for (size_t c = 0; c < document.columns.size(); ++c) {
        std::vector<WorkbookCell> entries = DropdownEntries(name, document.columns[c]);
        if (!entries.empty()) sheet.dropdowns.push_back({c, ListIndex(content.lists, std::move(entries))});
        if (std::string note = lists::ColumnNote(document.columns[c]); !note.empty()) {
            sheet.notes.push_back({c, std::move(note)});
        }
    }
    content.sheets.push_back(std::move(sheet));
}

std::string Offset(int64_t value) { return "0x" + rom::hexdigits::Of(static_cast<uint64_t>(value)); }

// The rows of About that say which image a workbook belongs to.
constexpr std::string_view kVersionKey = "Version";
constexpr std::string_view kReleaseKey = "Release";
constexpr std::string_view kLayoutKey = "Layout";

// "Release" and the release's caption, or "Layout" and where the offsets come from.
std::pair<std::string, std::string> OriginRow(const TableImage& image) {
    if (image.resolved.release != nullptr) {
        return {std::string(kReleaseKey), rom::ReleaseCaption(*image.resolved.release)};
    }
    std::string layout(rom::LayoutName(image.layout));
    if (!image.resolved.tablesFile.empty()) {
        layout += " \"" + std::filesystem::path(image.resolved.tablesFile).filename().string() + "\"";
    }
    return {std::string(kLayoutKey), layout};
}

// ---- import ------------------------------------------------------------------

// The refusals of a sheet's table, each placed in its cell or row.
formats::Refusals Placed(std::string_view sheet, formats::Refusals status) {
    for (Refusal& refusal : status.refusals) formats::PlaceInSheet(refusal, sheet);
    return status;
}

// The image as `bytes` make it, for the next sheet to be read against.
TableImage WithBytes(const TableImage& image, std::vector<uint8_t> bytes) {
    TableImage next = image;
    next.bytes = std::move(bytes);
    next.table = ReadSpeciesTable(next.bytes, next.profile);
    RereadNames(next.names, next.bytes);
    return next;
}

const formats::ReadSheet* FindSheet(const formats::WorkbookRead& read, std::string_view name) {
    for (const formats::ReadSheet& sheet : read.sheets) {
        if (sheet.name == name) return &sheet;
    }
    return nullptr;
}

class WorkbookImporter {
public:
    WorkbookImporter(const TableImage& image, const WorkbookImportOptions& options)
        : image_(image), options_(options), lists_(ReadSpeciesLists(image)) {}

    WorkbookImport Run(std::string_view bytes) {
        std::vector<std::string> wanted{std::string(formats::kAboutSheetName)};
        for (const std::string_view sheet : kWorkbookSheets) {
            if (!options_.onlySheet || *options_.onlySheet == sheet) wanted.emplace_back(sheet);
        }
        read_ = formats::ReadWorkbook(bytes, wanted);
        if (!read_.ok()) return Failed(read_.error);
        if (!CheckAbout() || !CheckSheets()) return std::move(result_);
        CheckAll();
        if (result_.refusals.empty()) LayAll();
        return std::move(result_);
    }

private:
    WorkbookImport Failed(std::string failure) {
        result_.failure = std::move(failure);
        return std::move(result_);
    }

    // The About sheet names the image the workbook was exported from: its
    // version, and its release or layout, must be this image's.
    bool CheckAbout() {
        const formats::ReadSheet* about = FindSheet(read_, formats::kAboutSheetName);
        if (about == nullptr) {
            result_.notes.push_back("The workbook has no About sheet: which image it was exported from is not checked.");
            return true;
        }
        const auto own = AboutRows(image_, lists_.hasEggMoves, "");
        for (const formats::ReadRow& row : about->rows) {
            if (options_.fromOtherImage || row.cells.size() < 2 || row.cells[0].column != 0) continue;
            const std::string& key = row.cells[0].value.text;
            if (key != kVersionKey && key != kReleaseKey && key != kLayoutKey) continue;
            const auto mine = std::find_if(own.begin(), own.end(), [&](const auto& r) { return r.first == key; });
            const std::string& theirs = row.cells[1].value.text;
            if (mine != own.end() && mine->second == theirs) continue;
            const std::string ours = mine == own.end() ? OriginRow(image_).second : mine->second;
            result_.failure = "The workbook comes from another image: its About sheet names " + key + " \"" + theirs +
                              "\", this image is \"" + ours + "\". " + std::string(options_.otherImageAdvice);
            return false;
        }
        return true;
    }

    bool CheckSheets() {
        for (const std::string_view name : kWorkbookSheets) {
            if (FindSheet(read_, name) != nullptr) present_.push_back(name);
        }
        if (present_.empty()) {
            result_.failure = options_.onlySheet
                                  ? "The workbook has no sheet \"" + std::string(*options_.onlySheet) + "\"."
                                  : "The workbook has none of the sheets Species, Machines, Evolutions, Moves, Egg "
                                    "moves and Palettes.";
            return false;
        }
        if (std::count(present_.begin(), present_.end(), kPalettesSheet) > 0) {
            const ImagePalettes palettes = ReadImagePalettes(image_);
            if (!palettes.located) {
                result_.failure = "The workbook has a Palettes sheet, but the image's palette table is not known (" +
                                  palettes.why + "). Delete the sheet to import the others.";
                return false;
            }
        }
        if (!lists_.hasEggMoves && std::count(present_.begin(), present_.end(), "Egg moves") > 0) {
            result_.failure = "The workbook has an Egg moves sheet, but the image has no known egg move table (an "
                              "image of a known release has one; a \".tables\" file gives it with an \"eggs\" line). "
                              "Delete the sheet to import the others.";
            return false;
        }
        return true;
    }

    // Every sheet read against the image as it is, every refusal listed.
    void CheckAll() {
        formats::Refusals all;
        for (const std::string_view name : present_) {
            const std::optional<ListTable> table = ListTableOfSheet(name);
            if (name == kPalettesSheet) {
                all.Append(Placed(name, PalettesOf(image_).status));
                continue;
            }
            all.Append(Placed(name, table ? ListsOf(name, *table, image_, lists_).status : Species(name)));
        }
        for (const Refusal& refusal : all.refusals) result_.refusals.push_back(RefusalText(refusal));
        result_.unlistedRefusals = all.unlistedRefusals;
    }

    ImportedLists ListsOf(std::string_view sheet, ListTable table, const TableImage& image,
                          const SpeciesLists& lists) const {
        const formats::RowsRead rows = formats::SheetRows(*FindSheet(read_, sheet), ListTableShape(table, image.version));
        return ListsFromRows(rows, table, image, lists, OtherFileRefusal(rows, ListTableName(table), image));
    }

    ImportedPalettes PalettesOf(const TableImage& image) const {
        const formats::RowsRead rows = formats::SheetRows(*FindSheet(read_, kPalettesSheet), PaletteShape());
        return PalettesFromRows(rows, ReadImagePalettes(image), OtherFileRefusal(rows, kPalettesTableName, image));
    }

    // A sheet that holds another table's columns is said so once, as a file is.
    ImportedTable Species(std::string_view sheet) const {
        const formats::RowsRead rows = formats::SheetRows(*FindSheet(read_, sheet), SpeciesShape());
        if (std::optional<Refusal> other = OtherFileRefusal(rows, kSpeciesTableName, image_)) {
            ImportedTable refused;
            refused.Refuse(std::move(*other));
            return refused;
        }
        return SpeciesFromRows(rows, &image_);
    }

    // The list sheets in order, each read against the image the ones before
    // it made, then the species sheet.
    void LayAll() {
        TableImage current = image_;
        for (const std::string_view name : present_) {
            const std::optional<ListTable> table = ListTableOfSheet(name);
            if (!table) continue;
            const SpeciesLists lists = ReadSpeciesLists(current);
            const ListImportPlan plan = PlanListImport(current, lists, ListsOf(name, *table, current, lists));
            if (!plan.refusal.empty()) {
                result_.failure = std::string(name) + ": " + plan.refusal;
                return;
            }
            current = WithBytes(current, plan.after);
        }
        if (FindSheet(read_, kPalettesSheet) != nullptr) {
            const ImagePalettes palettes = ReadImagePalettes(current);
            current = WithBytes(current, PlanPaletteImport(current.bytes, palettes, PalettesOf(current).palettes));
        }
        if (FindSheet(read_, "Species") != nullptr) LaySpecies(current);
        if (result_.failure.empty() && result_.refusals.empty()) Describe(current);
    }

    // A Pointer as exported from this image (before the list sheets packed the
    // lists again) is no change: it keeps the pointer the lists now have.
    // Any other is judged against the lists as they now lie.
    void LaySpecies(TableImage& current) {
        ImportedTable imported = Species("Species");
        const size_t pointer = FieldIndex(*rom::FindField("Pointer"));
        for (ImportedRow& row : imported.rows) {
            FieldBytes& value = row.values.fields[pointer];
            const auto p = size_t(row.position);
            if (row.given[pointer] && value == image_.table[p].fields[pointer]) value = current.table[p].fields[pointer];
        }
        RefuseStrayPointers(current, imported);
        if (!imported.ok()) {
            for (const Refusal& refusal : Placed("Species", imported).refusals) {
                result_.refusals.push_back(RefusalText(refusal));
            }
            result_.unlistedRefusals = imported.unlistedRefusals;
            return;
        }
        std::vector<uint8_t> after = current.bytes;
        if (!LayChanges(current, PlanImport(current, imported), PlanNameImport(current, imported), after,
                        result_.failure)) {
            return;
        }
        current = WithBytes(current, std::move(after));
    }

    void Describe(const TableImage& current) {
        const SpeciesLists after = ReadSpeciesLists(current);
        size_t moved = 0;
        const std::vector<FieldChange> fields =
            WithoutMovedPointers(Differences(image_.table, current.table), lists_, after, moved);
        std::vector<ListChanges> lists = ListDifferences(lists_, image_.version, after, image_.version);
        MergeChanges(lists, PaletteDifferences(ReadImagePalettes(image_), ReadImagePalettes(current)));
        const std::vector<NameChange> names = NameDifferences(image_.names, current.names);
        std::vector<int32_t> species;
        for (const NameChange& change : names) species.push_back(change.position);
        for (const FieldChange& change : fields) species.push_back(change.position);
        for (const ListChanges& change : lists) species.push_back(change.position);
        std::sort(species.begin(), species.end());
        result_.speciesChanged = size_t(std::unique(species.begin(), species.end()) - species.begin());
        result_.changes = DescribeAllChanges(fields, lists, names);
        result_.after = current.bytes;
    }

    static std::optional<ListTable> ListTableOfSheet(std::string_view sheet) {
        if (sheet == "Machines") return ListTable::Machines;
        if (sheet == "Evolutions") return ListTable::Evolutions;
        if (sheet == "Moves") return ListTable::Moves;
        if (sheet == "Egg moves") return ListTable::EggMoves;
        return std::nullopt;
    }

    const TableImage& image_;
    const WorkbookImportOptions& options_;
    const SpeciesLists lists_;
    formats::WorkbookRead read_;
    std::vector<std::string_view> present_;
    WorkbookImport result_;
};

}  // namespace

std::optional<std::string_view> SheetOfTable(std::string_view table) {
    if (table == "species") return kWorkbookSheets[0];
    if (table == kPalettesTableName) return kPalettesSheet;
    const std::optional<ListTable> list = ListTableFromName(table);
    if (!list) return std::nullopt;
    return kWorkbookSheets[size_t(*list) + 1];
}

std::vector<WorkbookCell> DropdownEntries(std::string_view sheet, std::string_view column) {
    if (sheet == "Species") return SpeciesDropdown(column);
    if (sheet == "Machines") return IsMachineColumn(column) ? NumbersFrom(0, 1) : std::vector<WorkbookCell>{};
    if (sheet == "Evolutions") return EvolutionsDropdown(column);
    if ((sheet == "Moves" || sheet == "Egg moves") && column == "Move") return TextsOf(1, kHighestMove, MoveText);
    return {};
}

std::vector<std::pair<std::string, std::string>> AboutRows(const TableImage& image, bool hasEggMoves,
                                                           std::string_view program) {
    const rom::VersionProfile& p = image.profile;
    const auto& eggs = image.resolved.eggMovePointerOffset;
    return {
        {"Image", std::filesystem::path(image.path).filename().string()},
        {std::string(kVersionKey), std::string(rom::VersionCaption(image.version))},
        OriginRow(image),
        {"Base records", Offset(p.BaseStatsOffset)},
        {"Menu icons", Offset(p.MenuIconOffset)},
        {"Cries", Offset(p.CryTableOffset)},
        {"Pointers", Offset(p.EvoMovePointerOffset)},
        {"Egg moves", hasEggMoves && eggs ? Offset(*eggs)
                                          : "none known: this workbook has no Egg moves sheet (a \".tables\" file "
                                            "gives the table with an \"eggs\" line)"},
        {"SHA-1", Sha1Hex(image.bytes)},
        {"Program", std::string(program)},
        {"List sheets", std::string(kListSheetRule)},
        {"Species column", std::string(kSpeciesColumnRule)},
        {"Header notes", "A header cell with a note (a red corner) says what the column's values mean: catch rate, "
                         "base experience, picture size, egg cycles, growth rates and egg groups by name, the gender "
                         "ratio as a share of females, each machine's move. The cells keep the values the image "
                         "stores."},
    };
}

formats::WorkbookContent ImageWorkbook(const TableImage& image, const SpeciesLists& lists, std::string_view program) {
    formats::WorkbookContent content;
    AddSheet(content, kWorkbookSheets[0], SpeciesDocument(image, false));
    for (const ListTable table : {ListTable::Machines, ListTable::Evolutions, ListTable::Moves, ListTable::EggMoves}) {
        if (table == ListTable::EggMoves && !lists.hasEggMoves) continue;
        AddSheet(content, kWorkbookSheets[size_t(table) + 1], ListTableDocument(image, lists, table));
    }
    const ImagePalettes palettes = ReadImagePalettes(image);
    if (palettes.located) AddSheet(content, kPalettesSheet, PaletteDocument(image, palettes));
    content.about = AboutRows(image, lists.hasEggMoves, program);
    return content;
}

WorkbookImport PlanWorkbookImport(const TableImage& image, std::string_view workbook,
                                  const WorkbookImportOptions& options) {
    return WorkbookImporter(image, options).Run(workbook);
}

}  // namespace tables
