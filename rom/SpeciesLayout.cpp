#include "rom/SpeciesLayout.h"

#include <limits>
#include <string>

#include "rom/ReleaseLayouts.h"

namespace rom {

VersionProfile DefaultProfile(GameVersion version) {
    switch (version) {
        case GameVersion::Gold:
            return {0x51B10, 0x8E977, 0xF2747, 0x427C8};
        case GameVersion::Silver:
            return {0x51B10, 0x8E95D, 0xF2747, 0x427C8};
        case GameVersion::Crystal:
            return {0x51417, 0x8EAC4, 0xF2787, 0x425BC};
    }
    return {};
}

VersionProfile ReleasedProfile(GameVersion version) { return FirstAmericanRelease(version).tables; }

int32_t EntrySize(SpeciesTable table) {
    switch (table) {
        case SpeciesTable::BaseRecord:
            return 32;
        case SpeciesTable::MenuIcon:
            return 1;
        case SpeciesTable::CryEntry:
            return 6;
        case SpeciesTable::EvoMovePointer:
            return 2;
    }
    return 0;
}

// In the order the loader reads them; the saver writes them in the same order,
// so the gender byte comes last although it lies inside the base record.
const std::array<SpeciesField, 23> kSpeciesFields = {{
    {"HP", "HP", SpeciesTable::BaseRecord, 1, 1, Presentation::Decimal},
    {"ATK", "ATK", SpeciesTable::BaseRecord, 2, 1, Presentation::Decimal},
    {"DEF", "DEF", SpeciesTable::BaseRecord, 3, 1, Presentation::Decimal},
    {"SPD", "SPD", SpeciesTable::BaseRecord, 4, 1, Presentation::Decimal},
    {"SATK", "S.ATK", SpeciesTable::BaseRecord, 5, 1, Presentation::Decimal},
    {"SDEF", "S.DEF", SpeciesTable::BaseRecord, 6, 1, Presentation::Decimal},
    {"Type1", "Types (first)", SpeciesTable::BaseRecord, 7, 1, Presentation::ListPosition},
    {"Type2", "Types (second)", SpeciesTable::BaseRecord, 8, 1, Presentation::ListPosition},
    {"RATE", "Capture Rate", SpeciesTable::BaseRecord, 9, 1, Presentation::Decimal},
    {"EXP", "Base EXP", SpeciesTable::BaseRecord, 10, 1, Presentation::Decimal},
    {"Item1", "Held Items (first)", SpeciesTable::BaseRecord, 11, 1, Presentation::ListPosition},
    {"Item2", "Held Items (second)", SpeciesTable::BaseRecord, 12, 1, Presentation::ListPosition},
    {"Cycles", "Egg Cycles", SpeciesTable::BaseRecord, 15, 1, Presentation::Decimal},
    {"Size", "Pic Size", SpeciesTable::BaseRecord, 17, 1, Presentation::HexText},
    {"Growth", "Growth Rate", SpeciesTable::BaseRecord, 22, 1, Presentation::Decimal},
    {"Groups", "Egg Groups", SpeciesTable::BaseRecord, 23, 1, Presentation::HexText},
    {"Sprite", "Menu Sprite", SpeciesTable::MenuIcon, 0, 1, Presentation::ListPosition},
    {"Pointer", "Move/Evo", SpeciesTable::EvoMovePointer, 0, 2, Presentation::HexText},
    {"Cry", "Base Cry", SpeciesTable::CryEntry, 0, 1, Presentation::ListPosition},
    {"Pitch", "Pitch", SpeciesTable::CryEntry, 2, 1, Presentation::Slider},
    {"Echo", "Echo", SpeciesTable::CryEntry, 3, 1, Presentation::Slider},
    {"Length", "Length", SpeciesTable::CryEntry, 4, 2, Presentation::Length},
    {"Gender", "Gender Ratio", SpeciesTable::BaseRecord, 13, 1, Presentation::Gender},
}};

const SpeciesField* FindField(std::string_view control) {
    for (const SpeciesField& field : kSpeciesFields) {
        if (field.control == control) return &field;
    }
    return nullptr;
}

namespace {

int32_t TableStart(const VersionProfile& profile, SpeciesTable table) {
    switch (table) {
        case SpeciesTable::BaseRecord:
            return profile.BaseStatsOffset;
        case SpeciesTable::MenuIcon:
            return profile.MenuIconOffset;
        case SpeciesTable::CryEntry:
            return profile.CryTableOffset;
        case SpeciesTable::EvoMovePointer:
            return profile.EvoMovePointerOffset;
    }
    return 0;
}

}  // namespace

std::optional<int32_t> FieldOffset(const VersionProfile& profile, int32_t speciesIndex, const SpeciesField& field) {
    if (speciesIndex < 0 || speciesIndex >= kSpeciesCount) return std::nullopt;
    // 64-bit arithmetic, so that no intermediate result can wrap.
    const int64_t first = static_cast<int64_t>(TableStart(profile, field.table)) +
                          static_cast<int64_t>(EntrySize(field.table)) * speciesIndex + field.offsetInEntry;
    const int64_t last = first + field.width - 1;
    if (first < 0 || last > std::numeric_limits<int32_t>::max()) return std::nullopt;
    return static_cast<int32_t>(first);
}

}  // namespace rom
