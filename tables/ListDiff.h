#pragma once
// How the machines and lists of two images differ, per species, and the one
// report of a diff: a block per species with its field changes and its list
// changes.
//   24 Pikachu
//     HP: 35 -> 40
//     Machines: +TM05 −HM01
//     Moves: 15 Razor Leaf → 15 Vine Whip, +20 Sleep Powder
//     Evolutions: Level 16 → Level 18 into Ivysaur
//     Egg moves: −Curse

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "rom/SpeciesLayout.h"
#include "tables/ListTables.h"
#include "tables/ImageLists.h"
#include "tables/TableDiff.h"

namespace tables {

struct ListChanges {
    int32_t position = 0;
    std::vector<std::string> lines;  // "Machines: +TM05", without indentation
};

// The list changes of every species whose machines or lists differ, in list
// order; only those of `only` when it is given. Machines are compared over
// the machines both versions have; egg moves only when both images have an
// egg move table.
std::vector<ListChanges> ListDifferences(const SpeciesLists& before, rom::GameVersion beforeVersion,
                                         const SpeciesLists& after, rom::GameVersion afterVersion,
                                         std::optional<ListTable> only = std::nullopt);

// How many species of `lists` can learn a machine that the other version
// lacks: the tutor machines of a Crystal image compared with a Gold or Silver
// one, which has none. 0 when `otherVersion` has every machine of `version`.
size_t SpeciesWithMachinesTheOtherLacks(const SpeciesLists& lists, rom::GameVersion version,
                                        rom::GameVersion otherVersion);

// The evolution as the differences show it: "Level 16 into Ivysaur".
std::string EvolutionText(const Evolution& evolution);

// The field changes without those of the Pointer field of species whose
// evolutions and moves read the same in both images: lists packed again move
// their pointers without changing what they point at. `moved` counts the
// changes left out.
std::vector<FieldChange> WithoutMovedPointers(std::span<const FieldChange> fields, const SpeciesLists& before,
                                              const SpeciesLists& after, size_t& moved);

// One block per species with name, field or list changes, by position: the
// name and fields as DescribeChanges shows them, then the list lines.
std::string DescribeAllChanges(std::span<const FieldChange> fields, std::span<const ListChanges> lists,
                               std::span<const NameChange> names = {});

}  // namespace tables
