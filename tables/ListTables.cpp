#include "tables/ListTables.h"

#include "lists/ChoiceLists.h"
#include "lists/Moves.h"
#include "rom/FieldConversions.h"
#include "rom/HexDigits.h"
#include "rom/ImageFacts.h"
#include "rom/VersionDetection.h"
#include "formats/Formats.h"
#include "tables/FieldText.h"

namespace tables {

namespace {

constexpr std::array<std::string_view, 6> kMethodNames = {"", "Level", "Item", "Trade", "Happiness", "Stats"};
constexpr std::array<std::string_view, 4> kWhenNames = {"", "Any time", "Morning and day", "Night"};
constexpr std::array<std::string_view, 4> kStatsNames = {"", "Attack > Defense", "Attack < Defense",
                                                         "Attack = Defense"};

// Every list lookup of these tables goes through here, so that all of them
// take the same forms of an entry's text.
std::optional<int32_t> FindEntry(std::span<const std::string_view> entries, std::string_view text) {
    return FindListEntry(entries, text);
}

using formats::Cell;

Cell Number(int value) { return Cell::Number(value); }
Cell Text(std::string text) { return Cell::Text(std::move(text)); }
Cell Empty() { return Cell::Empty(); }

}  // namespace

std::string_view ListTableFormatName(ListTable table) {
    switch (table) {
        case ListTable::Machines:
            return "quillmere machines table";
        case ListTable::Evolutions:
            return "quillmere evolutions table";
        case ListTable::Moves:
            return "quillmere moves table";
        case ListTable::EggMoves:
            return "quillmere egg-moves table";
    }
    return "";
}

namespace {

bool Readable(const SpeciesLists& lists, ListTable table, size_t p) {
    switch (table) {
        case ListTable::Machines:
            return true;
        case ListTable::Evolutions:
        case ListTable::Moves:
            return lists.evoMoves[p].place.readable();
        case ListTable::EggMoves:
            return lists.hasEggMoves && lists.eggMoves[p].place.readable();
    }
    return false;
}

// The rows of one species, without Position and Species.
std::vector<std::vector<Cell>> RowsOf(const SpeciesLists& lists, ListTable table, size_t p, size_t machines) {
    std::vector<std::vector<Cell>> rows;
    switch (table) {
        case ListTable::Machines: {
            std::vector<Cell> row;
            for (size_t k = 0; k < machines; ++k) {
                row.push_back(Number(MachineBit(lists.machines[p], lists::kMachines[k].bit) ? 1 : 0));
            }
            rows.push_back(std::move(row));
            break;
        }
        case ListTable::Evolutions:
            for (const Evolution& e : lists.evoMoves[p].evolutions) {
                const bool leveled = e.method == EvolutionMethod::Level || e.method == EvolutionMethod::Stats;
                const bool item = e.method == EvolutionMethod::Item || e.method == EvolutionMethod::Trade;
                rows.push_back({Text(std::string(MethodText(e.method))), leveled ? Number(e.level) : Empty(),
                                item ? Text(ItemText(e.item)) : Empty(),
                                e.method == EvolutionMethod::Happiness ? Text(WhenText(e.when)) : Empty(),
                                e.method == EvolutionMethod::Stats ? Text(StatsText(e.stats)) : Empty(),
                                Text(SpeciesNumberText(e.into))});
            }
            if (rows.empty()) rows.push_back(std::vector<Cell>(6, Empty()));
            break;
        case ListTable::Moves:
            for (const LevelMove& m : lists.evoMoves[p].moves) rows.push_back({Number(m.level), Text(MoveText(m.move))});
            if (rows.empty()) rows.push_back({Empty(), Empty()});
            break;
        case ListTable::EggMoves:
            for (const uint8_t move : lists.eggMoves[p].moves) rows.push_back({Text(MoveText(move))});
            if (rows.empty()) rows.push_back({Empty()});
            break;
    }
    return rows;
}

// ---- reading values ----------------------------------------------------------

std::string Holds(std::string_view text) {
    if (Trimmed(text).empty()) return "it is empty.";
    return "it holds \"" + std::string(text) + "\".";
}

// A value read from a cell, or the refusal that says what the column takes.
struct Read {
    uint8_t value = 0;
    std::string refusal;
};

Read Refused(std::string_view column, std::string_view takes, std::string_view text) {
    return {0, std::string(column) + " must be " + std::string(takes) + "; " + Holds(text)};
}

// Two spellings a name-or-number column takes for the entry at `position`:
// its name and its number, "\"Vine Whip\" or \"22\"".
std::string NameAndNumber(std::span<const std::string_view> entries, int32_t position, int32_t number) {
    const std::optional<std::string_view> name = AcceptedName(entries, position);
    if (!name) return "\"" + std::to_string(number) + "\"";
    return "\"" + std::string(*name) + "\" or \"" + std::to_string(number) + "\"";
}

Read ReadLevel(std::string_view text) {
    const std::optional<int64_t> level = WholeNumber(text);
    if (!level || *level < 1 || *level > kHighestLevel) return Refused("Level", "a whole number from 1 to 100", text);
    return {static_cast<uint8_t>(*level), {}};
}

Read ReadMove(std::string_view text) {
    if (const std::optional<int32_t> found = FindEntry(lists::kMoveList, text); found && *found > 0) {
        return {static_cast<uint8_t>(*found), {}};
    }
    const std::optional<int64_t> number = WholeNumber(text);
    if (!number || *number < 1 || *number > kHighestMove) {
        // Position 0 is no move ("None"): never the example.
        const int32_t nearest = NearestListEntry(lists::kMoveList, text, 1);
        return Refused("Move",
                       "a move's name or its number from 1 to 251, for example " +
                           NameAndNumber(lists::kMoveList, nearest, nearest),
                       text);
    }
    return {static_cast<uint8_t>(*number), {}};
}

Read ReadInto(std::string_view text) {
    if (const std::optional<int32_t> found = FindEntry(lists::kSpeciesList, text)) {
        return {static_cast<uint8_t>(*found + 1), {}};
    }
    const std::optional<int64_t> number = WholeNumber(text);
    if (!number || *number < 1 || *number > rom::kSpeciesCount) {
        const int32_t nearest = NearestListEntry(lists::kSpeciesList, text);
        return Refused("Into",
                       "a species' name or its number from 1 to 251, for example " +
                           NameAndNumber(lists::kSpeciesList, nearest, nearest + 1),
                       text);
    }
    return {static_cast<uint8_t>(*number), {}};
}

Read ReadItem(std::string_view text) {
    if (const std::optional<int32_t> found = FindEntry(lists::kHeldItemList, text)) {
        return {static_cast<uint8_t>(*found), {}};
    }
    const std::string_view code = Trimmed(text);
    if (code.empty() || code.size() > 2 || rom::hexdigits::Value(code.front()) < 0 ||
        rom::hexdigits::Value(code.back()) < 0) {
        return Refused("Item",
                       "an entry of the held-item list or a code of 1 to 2 hex digits, for example " +
                           AcceptedSpellings(lists::kHeldItemList, NearestListEntry(lists::kHeldItemList, text)),
                       text);
    }
    int value = 0;
    for (char c : code) value = value * 16 + rom::hexdigits::Value(c);
    return {static_cast<uint8_t>(value), {}};
}

// One of a short list of names, or its number.
Read ReadNamed(std::string_view column, std::span<const std::string_view> names, std::string_view text) {
    if (const std::optional<int32_t> found = FindEntry(names, text); found && *found > 0) {
        return {static_cast<uint8_t>(*found), {}};
    }
    const std::optional<int64_t> number = WholeNumber(text);
    if (number && *number >= 1 && *number < static_cast<int64_t>(names.size())) {
        return {static_cast<uint8_t>(*number), {}};
    }
    std::string takes;
    for (size_t k = 1; k < names.size(); ++k) {
        takes += (k == 1 ? "" : k + 1 == names.size() ? " or " : ", ") + ("\"" + std::string(names[k]) + "\"");
    }
    return Refused(column, takes, text);
}

std::optional<int32_t> PositionOf(std::string_view text) {
    const std::optional<int64_t> value = WholeNumber(text);
    if (!value || *value >= rom::kSpeciesCount) return std::nullopt;
    return static_cast<int32_t>(*value);
}

// Reads the rows of one table into `out`, each refusal with its place.
class ListReader {
public:
    ListReader(ListTable table, rom::GameVersion version, const SpeciesLists& lists, ImportedLists& out)
        : table_(table), machines_(MachineCount(version)), lists_(lists), out_(out) {}

    void Row(const formats::Row& row) {
        const size_t refusalsBefore = out_.status.RefusalCount();
        const Cell& positionCell = row.cells[0];
        const std::optional<int32_t> position = PositionOf(positionCell.text);
        if (!position) {
            Refuse(positionCell, "Position", "Position must be a whole number from 0 to " +
                                                 std::to_string(rom::kSpeciesCount - 1) + "; " +
                                                 Holds(positionCell.text));
            return;
        }
        const auto p = static_cast<size_t>(*position);
        if (!Readable(lists_, table_, p)) {
            Refuse(positionCell, "Position",
                   "the image's list of " + std::to_string(*position) + " " + std::string(SpeciesName(*position)) +
                       " is unreadable (" + UnreadableWhy(p) + "), so it cannot be replaced.");
            return;
        }
        if (const Cell& species = row.cells[1]; species.given) {
            if (std::string refusal = SpeciesCellRefusal(*position, species.text); !refusal.empty()) {
                Refuse(species, std::string(kSpeciesColumn), std::move(refusal));
                if (!out_.given[p]) firstLine_[p] = row.line;
                out_.given[p] = true;  // refused, not missing
                return;
            }
        }
        // The value cells, after Position and Species.
        const std::span<const Cell> cells = std::span<const Cell>(row.cells).subspan(2);
        bool empty = true;
        for (const Cell& cell : cells) empty = empty && Trimmed(cell.text).empty();
        const bool firstRow = !out_.given[p];
        if (table_ != ListTable::Machines) {
            if (firstRow) Clear(p);
            if (empty || noneLine_[p] != 0) {
                if (!firstRow) {
                    Refuse(positionCell, "Position",
                           "a row without values says that " + std::to_string(*position) + " " +
                               std::string(SpeciesName(*position)) + " has none, so it must be the species' only "
                               "row; line " + std::to_string(empty ? firstLine_[p] : noneLine_[p]) +
                               " gives it another.");
                    return;
                }
                if (empty) noneLine_[p] = row.line;
            }
        } else if (!firstRow) {
            Refuse(positionCell, "Position",
                   "Position " + std::to_string(*position) + " (" + std::string(SpeciesName(*position)) +
                       ") is given again; line " + std::to_string(firstLine_[p]) + " gave it first.");
            return;
        }
        if (firstRow) firstLine_[p] = row.line;
        out_.given[p] = true;
        if (empty && table_ != ListTable::Machines) return;
        switch (table_) {
            case ListTable::Machines:
                MachineRow(p, cells);
                break;
            case ListTable::Evolutions:
                EvolutionRow(p, cells);
                break;
            case ListTable::Moves:
                MoveRow(p, cells);
                break;
            case ListTable::EggMoves: {
                const Read move = Take(cells[0], "Move", ReadMove(cells[0].text));
                if (out_.status.RefusalCount() == refusalsBefore) out_.eggMoves[p].push_back(move.value);
                break;
            }
        }
    }

    // The warnings of the species whose level-up moves the import changes so
    // that their levels fall; a list the image holds as it is says nothing.
    void WarnOfFallingLevels() const {
        for (size_t p = 0; p < falls_.size(); ++p) {
            const Fall& fall = falls_[p];
            if (fall.line == 0 || out_.evoMoves[p].moves == lists_.evoMoves[p].moves) continue;
            const std::string name(SpeciesName(static_cast<int32_t>(p)));
            out_.warnings.push_back(
                "the level-up moves of " + std::to_string(p) + " " + name + " fall from level " +
                std::to_string(fall.from) + " to level " + std::to_string(fall.to) + " at line " +
                std::to_string(fall.line) + "; they are written in that order. On reaching a level the game teaches "
                "the moves of that level from the whole list, but a " + name + " it creates (met in the wild, "
                "given) knows only moves listed before the first entry above its level.");
        }
    }

    // A file with rows for more than half of the species whose list can be
    // read is the whole table: a species without rows there is refused (its
    // rows were deleted, or lost in a sort) rather than kept or emptied by a
    // guess. Its list is emptied by a row with only its Position; a file of
    // fewer species changes only those.
    void RefuseSpeciesWithoutRows() {
        std::vector<size_t> missing;
        size_t readable = 0;
        size_t given = 0;
        for (size_t p = 0; p < out_.given.size(); ++p) {
            if (!Readable(lists_, table_, p)) continue;
            ++readable;
            if (out_.given[p]) {
                ++given;
            } else {
                missing.push_back(p);
            }
        }
        if (missing.empty() || given * 2 <= readable) return;
        // The place: the first row after the first species without rows.
        int line = 1;
        for (size_t p = missing.front() + 1; p < out_.given.size(); ++p) {
            if (out_.given[p]) {
                line = firstLine_[p];
                break;
            }
        }
        constexpr size_t kNamed = 10;
        std::string names;
        for (size_t k = 0; k < missing.size() && k < kNamed; ++k) {
            names += (k == 0 ? "" : ", ") + std::to_string(missing[k]) + " " +
                     std::string(SpeciesName(static_cast<int32_t>(missing[k])));
        }
        if (missing.size() > kNamed) names += " and " + std::to_string(missing.size() - kNamed) + " more";
        out_.status.Refuse(
            {line, 0, "",
             "no rows for " + names + ". The file has rows for " + std::to_string(given) + " of the " +
                 std::to_string(readable) + " species, so it is the whole " + std::string(ListTableName(table_)) +
                 " table, where every species needs " + Remedy() +
                 " (A file with rows for no more than half of the species changes only those it names.)"});
    }

private:
    std::string Remedy() const {
        if (table_ == ListTable::Machines) return "its row: put the row back (0 for a machine it cannot learn).";
        return "a row: to empty a species' " + What() +
               ", keep one row with its Position and no values; to keep them, put its rows back.";
    }

    std::string What() const {
        switch (table_) {
            case ListTable::Machines:
                return "machines";
            case ListTable::Evolutions:
                return "evolutions";
            case ListTable::Moves:
                return "level-up moves";
            case ListTable::EggMoves:
                return "egg moves";
        }
        return "";
    }

    std::string UnreadableWhy(size_t p) const {
        if (table_ == ListTable::EggMoves) {
            return lists_.hasEggMoves ? lists_.eggMoves[p].place.unreadable : "the image has no known egg move table";
        }
        return lists_.evoMoves[p].place.unreadable;
    }

    void Clear(size_t p) {
        switch (table_) {
            case ListTable::Machines:
                break;
            case ListTable::Evolutions:
                out_.evoMoves[p].evolutions.clear();
                break;
            case ListTable::Moves:
                out_.evoMoves[p].moves.clear();
                break;
            case ListTable::EggMoves:
                out_.eggMoves[p].clear();
                break;
        }
    }

    void Refuse(const Cell& cell, const std::string& column, std::string message) {
        out_.status.Refuse({cell.line, cell.column, column, std::move(message)});
    }

    // The value read, or its refusal listed (the value is then 0).
    Read Take(const Cell& cell, std::string_view column, Read read) {
        if (!read.refusal.empty()) Refuse(cell, std::string(column), read.refusal);
        return read;
    }

    void MustBeEmpty(const Cell& cell, std::string_view column, EvolutionMethod method) {
        if (Trimmed(cell.text).empty()) return;
        const std::string_view name = MethodText(method);
        Refuse(cell, std::string(column),
               std::string(column) + " must be empty for " + (name.front() == 'I' ? "an " : "a ") +
                   std::string(name) + " evolution; " + Holds(cell.text));
    }

    void MachineRow(size_t p, std::span<const Cell> cells) {
        MachineBytes bytes = out_.machines[p];
        for (size_t k = 0; k < machines_; ++k) {
            if (!cells[k].given) continue;  // a machine the file leaves out keeps its bit
            const std::string_view value = Trimmed(cells[k].text);
            const std::string_view code = lists::kMachines[k].code;
            if (value != "0" && value != "1") {
                Refuse(cells[k], std::string(code), std::string(code) + " must be 1 or 0; " + Holds(cells[k].text));
                continue;
            }
            SetMachineBit(bytes, lists::kMachines[k].bit, value == "1");
        }
        out_.machines[p] = bytes;
    }

    void EvolutionRow(size_t p, std::span<const Cell> cells) {
        const size_t before = out_.status.RefusalCount();
        const Cell& methodCell = cells[0];
        const Read method = Take(methodCell, "Method",
                                 ReadNamed("Method", kMethodNames, methodCell.text));
        const Read into = Take(cells[5], "Into", ReadInto(cells[5].text));
        if (!method.refusal.empty()) return;
        Evolution evolution;
        evolution.method = static_cast<EvolutionMethod>(method.value);
        evolution.into = into.value;
        const Cell& level = cells[1];
        const Cell& item = cells[2];
        const Cell& when = cells[3];
        const Cell& stats = cells[4];
        switch (evolution.method) {
            case EvolutionMethod::Level:
            case EvolutionMethod::Stats:
                evolution.level = Take(level, "Level", ReadLevel(level.text)).value;
                MustBeEmpty(item, "Item", evolution.method);
                MustBeEmpty(when, "When", evolution.method);
                if (evolution.method == EvolutionMethod::Stats) {
                    evolution.stats = Take(stats, "Stats", ReadNamed("Stats", kStatsNames, stats.text)).value;
                } else {
                    MustBeEmpty(stats, "Stats", evolution.method);
                }
                break;
            case EvolutionMethod::Item:
            case EvolutionMethod::Trade:
                MustBeEmpty(level, "Level", evolution.method);
                // A trade without an item: holding nothing.
                evolution.item = evolution.method == EvolutionMethod::Trade && Trimmed(item.text).empty()
                                     ? kTradeHoldingNothing
                                     : Take(item, "Item", ReadItem(item.text)).value;
                MustBeEmpty(when, "When", evolution.method);
                MustBeEmpty(stats, "Stats", evolution.method);
                break;
            case EvolutionMethod::Happiness:
                MustBeEmpty(level, "Level", evolution.method);
                MustBeEmpty(item, "Item", evolution.method);
                evolution.when = Take(when, "When", ReadNamed("When", kWhenNames, when.text)).value;
                MustBeEmpty(stats, "Stats", evolution.method);
                break;
        }
        if (out_.status.RefusalCount() == before) out_.evoMoves[p].evolutions.push_back(evolution);
    }

    void MoveRow(size_t p, std::span<const Cell> cells) {
        const size_t before = out_.status.RefusalCount();
        const Read level = Take(cells[0], "Level", ReadLevel(cells[0].text));
        const Read move = Take(cells[1], "Move", ReadMove(cells[1].text));
        if (out_.status.RefusalCount() != before) return;
        // Levels may fall: the releases hold such a list themselves. The
        // first fall is kept, to be said when the import changes the list.
        std::vector<LevelMove>& moves = out_.evoMoves[p].moves;
        if (!moves.empty() && level.value < moves.back().level && falls_[p].line == 0) {
            falls_[p] = {cells[0].line, moves.back().level, level.value};
        }
        moves.push_back({level.value, move.value});
    }

    struct Fall {
        int line = 0;
        int from = 0;
        int to = 0;
    };
    std::array<Fall, rom::kSpeciesCount> falls_{};

    ListTable table_;
    size_t machines_;
    const SpeciesLists& lists_;
    ImportedLists& out_;
    std::array<int, rom::kSpeciesCount> firstLine_{};
    std::array<int, rom::kSpeciesCount> noneLine_{};
};

}  // namespace

std::optional<ListTable> ListTableFromName(std::string_view name) {
    for (const ListTable table : {ListTable::Machines, ListTable::Evolutions, ListTable::Moves, ListTable::EggMoves}) {
        if (ListTableName(table) == name) return table;
    }
    return std::nullopt;
}

std::string_view ListTableName(ListTable table) {
    switch (table) {
        case ListTable::Machines:
            return "machines";
        case ListTable::Evolutions:
            return "evolutions";
        case ListTable::Moves:
            return "moves";
        case ListTable::EggMoves:
            return "egg-moves";
    }
    return "";
}

size_t MachineCount(rom::GameVersion version) {
    return version == rom::GameVersion::Crystal ? lists::kMachines.size() : lists::kMachinesWithoutTutors;
}

std::vector<std::string> ListTableColumns(ListTable table, rom::GameVersion version) {
    std::vector<std::string> columns{std::string(kPositionColumn), std::string(kSpeciesColumn)};
    switch (table) {
        case ListTable::Machines:
            for (size_t k = 0; k < MachineCount(version); ++k) columns.emplace_back(lists::kMachines[k].code);
            break;
        case ListTable::Evolutions:
            columns.insert(columns.end(), {"Method", "Level", "Item", "When", "Stats", "Into"});
            break;
        case ListTable::Moves:
            columns.insert(columns.end(), {"Level", "Move"});
            break;
        case ListTable::EggMoves:
            columns.emplace_back("Move");
            break;
    }
    return columns;
}

std::vector<std::string> UnreadableLists(const SpeciesLists& lists, ListTable table) {
    std::vector<std::string> unreadable;
    if (table == ListTable::EggMoves && !lists.hasEggMoves) return unreadable;
    for (size_t p = 0; p < lists.evoMoves.size(); ++p) {
        if (Readable(lists, table, p)) continue;
        const ListPlace& place = table == ListTable::EggMoves ? lists.eggMoves[p].place : lists.evoMoves[p].place;
        unreadable.push_back(std::to_string(p) + " " + std::string(SpeciesName(static_cast<int32_t>(p))) + ": " +
                             place.unreadable);
    }
    return unreadable;
}

formats::Shape ListTableShape(ListTable table, rom::GameVersion version) {
    formats::Shape shape;
    shape.columns = ListTableColumns(table, version);
    // Position and the columns that say what an entry is are needed; Species
    // only names the row for people. A machines file may hold any of the
    // machines, an evolutions file leaves out the columns its methods leave
    // empty.
    shape.required.assign(shape.columns.size(), table != ListTable::Machines);
    shape.required[0] = true;
    shape.required[1] = false;
    if (table == ListTable::Evolutions) {
        for (size_t c = 3; c <= 6; ++c) shape.required[c] = false;  // Level, Item, When, Stats
    }
    shape.arrayKey = std::string(ListTableName(table));
    shape.budget.mostRows = kMostListRowsRead;
    shape.budget.mostColumns = kMostColumnsRead;
    shape.tooManyRows = "any image's lists: no more than " + std::to_string(kMostListRowsRead) +
                        " are read; reading stopped here.";
    return shape;
}

formats::TableDocument ListTableDocument(const TableImage& image, const SpeciesLists& lists, ListTable table) {
    formats::TableDocument document;
    document.about = {{"format", std::string(ListTableFormatName(table))},
                      {"version", std::string(rom::VersionCaption(image.version))},
                      {"layout", std::string(rom::LayoutName(image.layout))}};
    document.arrayKey = std::string(ListTableName(table));
    document.columns = ListTableColumns(table, image.version);
    const size_t machines = MachineCount(image.version);
    for (size_t p = 0; p < lists.evoMoves.size(); ++p) {
        if (!Readable(lists, table, p)) continue;
        const std::string species(SpeciesName(static_cast<int32_t>(p)));
        for (std::vector<Cell>& cells : RowsOf(lists, table, p, machines)) {
            std::vector<Cell> row{Cell::Number(static_cast<int64_t>(p)), Cell::Text(species)};
            row.insert(row.end(), std::make_move_iterator(cells.begin()), std::make_move_iterator(cells.end()));
            document.rows.push_back(std::move(row));
        }
    }
    return document;
}

std::string ExportListTable(const TableImage& image, const SpeciesLists& lists, ListTable table,
                            TableFormat format) {
    return formats::WriteRows(ListTableDocument(image, lists, table), format);
}

ImportedLists ListsFromRows(const formats::RowsRead& read, ListTable table, const TableImage& image,
                            const SpeciesLists& lists, const std::optional<Refusal>& otherFile) {
    ImportedLists out;
    out.table = table;
    out.machines = lists.machines;
    for (size_t p = 0; p < out.evoMoves.size(); ++p) {
        out.evoMoves[p] = {lists.evoMoves[p].evolutions, lists.evoMoves[p].moves};
        out.eggMoves[p] = lists.eggMoves[p].moves;
    }
    if (table == ListTable::EggMoves && !lists.hasEggMoves) {
        out.status.Refuse({1, 0, "",
                           "this image has no known egg move table (an image of a known release has one; a \".tables\" "
                           "file gives it with an \"eggs\" line), so egg moves cannot be imported."});
        return out;
    }
    if (otherFile) {
        out.status.Refuse(*otherFile);
        return out;
    }
    out.status.Append(read.status);
    ListReader reader(table, image.version, lists, out);
    for (const formats::Row& row : read.rows) reader.Row(row);
    reader.RefuseSpeciesWithoutRows();
    reader.WarnOfFallingLevels();
    out.status.SortByLine();
    return out;
}

ListImportPlan PlanListImport(const TableImage& image, const SpeciesLists& lists, const ImportedLists& imported) {
    ListImportPlan plan;
    plan.after = image.bytes;
    switch (imported.table) {
        case ListTable::Machines: {
            const rom::SpeciesField& firstField = rom::kSpeciesFields[0];  // in the base record
            for (int32_t p = 0; p < rom::kSpeciesCount; ++p) {
                const int64_t at = int64_t{*rom::FieldOffset(image.profile, p, firstField)} -
                                   firstField.offsetInEntry + kMachineBytesOffset;
                const MachineBytes& bytes = imported.machines[static_cast<size_t>(p)];
                if (bytes == lists.machines[static_cast<size_t>(p)]) continue;
                if (at < 0 || at + kMachineBytes > static_cast<int64_t>(plan.after.size())) {
                    plan.refusal = "The machines of " + std::to_string(p) + " " + std::string(SpeciesName(p)) +
                                   " lie past the end of the image. Nothing was written.";
                    return plan;
                }
                std::copy(bytes.begin(), bytes.end(), plan.after.begin() + at);
            }
            break;
        }
        case ListTable::Evolutions:
        case ListTable::Moves:
            plan.refusal = tables::LayEvoMoveLists(plan.after, lists, imported.evoMoves);
            break;
        case ListTable::EggMoves:
            plan.refusal = tables::LayEggMoveLists(plan.after, lists, imported.eggMoves);
            break;
    }
    return plan;
}

std::string MoveText(uint8_t move) {
    if (move >= 1 && move <= kHighestMove) return std::string(lists::kMoveList[move]);
    return std::to_string(move);
}

std::string SpeciesNumberText(uint8_t number) {
    if (number >= 1 && number <= rom::kSpeciesCount) return std::string(SpeciesName(number - 1));
    return std::to_string(number);
}

std::string ItemText(uint8_t item) {
    const std::string_view entry = lists::kHeldItemList[item];
    if (UniqueEntryPosition(lists::kHeldItemList, entry) == item) return std::string(Trimmed(entry));
    return rom::TwoDigitHex(item);
}

std::string_view MethodText(EvolutionMethod method) {
    const auto index = static_cast<size_t>(method);
    return index < kMethodNames.size() ? kMethodNames[index] : "";
}

std::string WhenText(uint8_t when) {
    if (when >= 1 && when < kWhenNames.size()) return std::string(kWhenNames[when]);
    return std::to_string(when);
}

std::string StatsText(uint8_t stats) {
    if (stats >= 1 && stats < kStatsNames.size()) return std::string(kStatsNames[stats]);
    return std::to_string(stats);
}

}  // namespace tables
