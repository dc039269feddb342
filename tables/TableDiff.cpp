#include "tables/TableDiff.h"

#include <algorithm>
#include <set>

#include "tables/FieldText.h"

namespace tables {

std::vector<FieldChange> Differences(const SpeciesTable& before, const SpeciesTable& after) {
    std::vector<FieldChange> changes;
    for (size_t position = 0; position < before.size(); ++position) {
        for (size_t f = 0; f < kFieldCount; ++f) {
            const FieldBytes& a = before[position].fields[f];
            const FieldBytes& b = after[position].fields[f];
            if (a != b) changes.push_back({static_cast<int32_t>(position), f, a, b});
        }
    }
    return changes;
}

size_t SpeciesCount(std::span<const FieldChange> changes) {
    size_t count = 0;
    for (size_t i = 0; i < changes.size(); ++i) {
        if (i == 0 || changes[i].position != changes[i - 1].position) ++count;
    }
    return count;
}

size_t SpeciesCount(std::span<const FieldChange> changes, std::span<const NameChange> names) {
    std::set<int32_t> species;
    for (const FieldChange& change : changes) species.insert(change.position);
    for (const NameChange& change : names) species.insert(change.position);
    return species.size();
}

std::string NameLine(const NameChange& change) {
    return "  " + std::string(kNameColumn) + ": " + change.beforeText + " -> " + change.afterText + "\n";
}

std::string DescribeChanges(std::span<const FieldChange> changes, std::span<const NameChange> names) {
    std::string text;
    size_t i = 0;
    size_t n = 0;
    while (i < changes.size() || n < names.size()) {
        const int32_t position = std::min(i < changes.size() ? changes[i].position : rom::kSpeciesCount,
                                          n < names.size() ? names[n].position : rom::kSpeciesCount);
        text += std::to_string(position) + " " + std::string(SpeciesName(position)) + "\n";
        if (n < names.size() && names[n].position == position) text += NameLine(names[n++]);
        for (; i < changes.size() && changes[i].position == position; ++i) {
            const rom::SpeciesField& field = rom::kSpeciesFields[changes[i].field];
            text += "  " + std::string(field.control) + ": " + ValueText(field, changes[i].before) + " -> " +
                    ValueText(field, changes[i].after) + "\n";
        }
    }
    return text;
}

}  // namespace tables
