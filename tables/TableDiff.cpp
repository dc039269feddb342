#include "tables/TableDiff.h"

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

std::string DescribeChanges(std::span<const FieldChange> changes) {
    std::string text;
    for (size_t i = 0; i < changes.size(); ++i) {
        const FieldChange& change = changes[i];
        if (i == 0 || change.position != changes[i - 1].position) {
            text += std::to_string(change.position) + " " + std::string(SpeciesName(change.position)) + "\n";
        }
        const rom::SpeciesField& field = rom::kSpeciesFields[change.field];
        text += "  " + std::string(field.control) + ": " + ValueText(field, change.before) + " -> " +
                ValueText(field, change.after) + "\n";
    }
    return text;
}

}  // namespace tables
