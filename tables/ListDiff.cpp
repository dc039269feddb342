#include "tables/ListDiff.h"

#include <algorithm>
#include <functional>

#include "lists/Moves.h"
#include "tables/FieldText.h"

namespace tables {

namespace {

const std::string kMinus = "\u2212";
const std::string kArrow = " \u2192 ";

// The steps that turn `a` into `b` along their longest common subsequence:
// kept entries are skipped, a run of removals followed by additions is paired
// entry by entry, the rest stand alone. `text(x)` shows an entry; `pair(x, y)`
// shows a replacement.
template <class T>
std::vector<std::string> EditSteps(const std::vector<T>& a, const std::vector<T>& b,
                                   const std::function<std::string(const T&)>& text,
                                   const std::function<std::string(const T&, const T&)>& pair) {
    const size_t n = a.size();
    const size_t m = b.size();
    std::vector<std::vector<uint16_t>> common(n + 1, std::vector<uint16_t>(m + 1, 0));
    for (size_t i = n; i-- > 0;) {
        for (size_t j = m; j-- > 0;) {
            common[i][j] = a[i] == b[j] ? static_cast<uint16_t>(common[i + 1][j + 1] + 1)
                                        : std::max(common[i + 1][j], common[i][j + 1]);
        }
    }
    std::vector<std::string> steps;
    std::vector<const T*> removed;
    std::vector<const T*> added;
    const auto flush = [&] {
        const size_t paired = std::min(removed.size(), added.size());
        for (size_t k = 0; k < paired; ++k) steps.push_back(pair(*removed[k], *added[k]));
        for (size_t k = paired; k < removed.size(); ++k) steps.push_back(kMinus + text(*removed[k]));
        for (size_t k = paired; k < added.size(); ++k) steps.push_back("+" + text(*added[k]));
        removed.clear();
        added.clear();
    };
    size_t i = 0;
    size_t j = 0;
    while (i < n || j < m) {
        if (i < n && j < m && a[i] == b[j]) {
            flush();
            ++i;
            ++j;
        } else if (j == m || (i < n && common[i + 1][j] >= common[i][j + 1])) {
            removed.push_back(&a[i++]);
        } else {
            added.push_back(&b[j++]);
        }
    }
    flush();
    return steps;
}

std::string Joined(const std::vector<std::string>& steps, const std::string& separator) {
    std::string text;
    for (const std::string& step : steps) text += (text.empty() ? "" : separator) + step;
    return text;
}

// The evolution without its target: "Level 16".
std::string HowText(const Evolution& e) {
    switch (e.method) {
        case EvolutionMethod::Level:
            return "Level " + std::to_string(e.level);
        case EvolutionMethod::Item:
            return "Item " + ItemText(e.item);
        case EvolutionMethod::Trade:
            return e.item == kTradeHoldingNothing ? "Trade" : "Trade holding " + ItemText(e.item);
        case EvolutionMethod::Happiness:
            return "Happiness (" + WhenText(e.when) + ")";
        case EvolutionMethod::Stats:
            return "Stats " + std::to_string(e.level) + " " + StatsText(e.stats);
    }
    return {};
}

std::string MoveStep(const LevelMove& m) { return std::to_string(m.level) + " " + MoveText(m.move); }

void AddLine(std::vector<std::string>& lines, const std::string& name, const std::vector<std::string>& steps,
             const std::string& separator = ", ") {
    if (!steps.empty()) lines.push_back(name + ": " + Joined(steps, separator));
}

std::string Unreadable(const ListPlace& a, const ListPlace& b) {
    return (a.readable() ? std::string("readable") : "unreadable (" + a.unreadable + ")") + kArrow +
           (b.readable() ? std::string("readable") : "unreadable (" + b.unreadable + ")");
}

}  // namespace

std::string EvolutionText(const Evolution& evolution) {
    return HowText(evolution) + " into " + SpeciesNumberText(evolution.into);
}

std::vector<ListChanges> ListDifferences(const SpeciesLists& before, rom::GameVersion beforeVersion,
                                         const SpeciesLists& after, rom::GameVersion afterVersion,
                                         std::optional<ListTable> only) {
    const auto wanted = [&](ListTable table) { return !only || *only == table; };
    const size_t machines = std::min(MachineCount(beforeVersion), MachineCount(afterVersion));
    std::vector<ListChanges> changes;
    for (size_t p = 0; p < before.machines.size(); ++p) {
        std::vector<std::string> lines;
        if (wanted(ListTable::Machines)) {
            std::vector<std::string> steps;
            for (size_t k = 0; k < machines; ++k) {
                const int bit = lists::kMachines[k].bit;
                const bool was = MachineBit(before.machines[p], bit);
                const bool is = MachineBit(after.machines[p], bit);
                if (was != is) steps.push_back((is ? "+" : kMinus) + std::string(lists::kMachines[k].code));
            }
            AddLine(lines, "Machines", steps, " ");
        }
        const EvoMoveList& a = before.evoMoves[p];
        const EvoMoveList& b = after.evoMoves[p];
        if (wanted(ListTable::Evolutions) || wanted(ListTable::Moves)) {
            if (!a.place.readable() || !b.place.readable()) {
                if (a.place.unreadable != b.place.unreadable) {
                    lines.push_back("Evolutions and moves: " + Unreadable(a.place, b.place));
                }
            } else {
                if (wanted(ListTable::Evolutions)) {
                    AddLine(lines, "Evolutions",
                            EditSteps<Evolution>(a.evolutions, b.evolutions, EvolutionText,
                                                 [](const Evolution& x, const Evolution& y) {
                                                     if (x.into != y.into) return EvolutionText(x) + kArrow + EvolutionText(y);
                                                     return HowText(x) + kArrow + HowText(y) + " into " +
                                                            SpeciesNumberText(y.into);
                                                 }));
                }
                if (wanted(ListTable::Moves)) {
                    AddLine(lines, "Moves",
                            EditSteps<LevelMove>(a.moves, b.moves, MoveStep, [](const LevelMove& x, const LevelMove& y) {
                                return MoveStep(x) + kArrow + MoveStep(y);
                            }));
                }
            }
        }
        if (wanted(ListTable::EggMoves) && before.hasEggMoves && after.hasEggMoves) {
            const EggMoveList& x = before.eggMoves[p];
            const EggMoveList& y = after.eggMoves[p];
            if (!x.place.readable() || !y.place.readable()) {
                if (x.place.unreadable != y.place.unreadable) lines.push_back("Egg moves: " + Unreadable(x.place, y.place));
            } else {
                AddLine(lines, "Egg moves",
                        EditSteps<uint8_t>(x.moves, y.moves, [](const uint8_t& m) { return MoveText(m); },
                                           [](const uint8_t& m, const uint8_t& n) {
                                               return MoveText(m) + kArrow + MoveText(n);
                                           }));
            }
        }
        if (!lines.empty()) changes.push_back({static_cast<int32_t>(p), std::move(lines)});
    }
    return changes;
}

size_t SpeciesWithMachinesTheOtherLacks(const SpeciesLists& lists, rom::GameVersion version,
                                        rom::GameVersion otherVersion) {
    size_t count = 0;
    for (const MachineBytes& machines : lists.machines) {
        bool any = false;
        for (size_t k = MachineCount(otherVersion); k < MachineCount(version); ++k) {
            any = any || MachineBit(machines, lists::kMachines[k].bit);
        }
        count += any ? 1 : 0;
    }
    return count;
}

std::vector<FieldChange> WithoutMovedPointers(std::span<const FieldChange> fields, const SpeciesLists& before,
                                              const SpeciesLists& after, size_t& moved) {
    const size_t pointer = FieldIndex(*rom::FindField("Pointer"));
    std::vector<FieldChange> kept;
    moved = 0;
    for (const FieldChange& change : fields) {
        const auto p = static_cast<size_t>(change.position);
        const EvoMoveList& a = before.evoMoves[p];
        const EvoMoveList& b = after.evoMoves[p];
        if (change.field == pointer && a.place.readable() && b.place.readable() && a.evolutions == b.evolutions &&
            a.moves == b.moves) {
            ++moved;
            continue;
        }
        kept.push_back(change);
    }
    return kept;
}

std::string DescribeAllChanges(std::span<const FieldChange> fields, std::span<const ListChanges> lists,
                               std::span<const NameChange> names) {
    std::string text;
    size_t f = 0;
    size_t l = 0;
    size_t n = 0;
    while (f < fields.size() || l < lists.size() || n < names.size()) {
        const int32_t position = std::min({f < fields.size() ? fields[f].position : rom::kSpeciesCount,
                                           l < lists.size() ? lists[l].position : rom::kSpeciesCount,
                                           n < names.size() ? names[n].position : rom::kSpeciesCount});
        size_t end = f;
        while (end < fields.size() && fields[end].position == position) ++end;
        const size_t named = n < names.size() && names[n].position == position ? 1 : 0;
        if (end > f || named > 0) {
            text += DescribeChanges(fields.subspan(f, end - f), names.subspan(n, named));
        } else {
            text += std::to_string(position) + " " + std::string(SpeciesName(position)) + "\n";
        }
        f = end;
        n += named;
        if (l < lists.size() && lists[l].position == position) {
            for (const std::string& line : lists[l].lines) text += "  " + line + "\n";
            ++l;
        }
    }
    return text;
}

}  // namespace tables
