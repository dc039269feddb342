#pragma once
// The fields in which two species tables differ, and how they are shown.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "tables/NameText.h"
#include "tables/SpeciesTable.h"

namespace tables {

struct FieldChange {
    int32_t position = 0;
    size_t field = 0;  // index in rom::kSpeciesFields
    FieldBytes before{};
    FieldBytes after{};
};

// Every field whose bytes differ, by species in list order, then by field in
// the field table's order.
std::vector<FieldChange> Differences(const SpeciesTable& before, const SpeciesTable& after);

// How many species the changes touch.
size_t SpeciesCount(std::span<const FieldChange> changes);
size_t SpeciesCount(std::span<const FieldChange> changes, std::span<const NameChange> names);

// One block per species: its position and name, then one line per field with
// both values in the export's forms:
//   24 Pikachu
//     Name: PIKACHU -> PIKA
//     HP: 35 -> 40
std::string DescribeChanges(std::span<const FieldChange> changes, std::span<const NameChange> names = {});

// The line of a renamed species: "  Name: PIKACHU -> PIKA".
std::string NameLine(const NameChange& change);

}  // namespace tables
