#pragma once
// Where each species' data lies in a ROM image of each supported version,
// and the one table of the 23 species fields that loading and saving walk.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace rom {

enum class GameVersion { Gold, Silver, Crystal };

inline constexpr int32_t kSpeciesCount = 251;

// File offsets of the entry of species 0 in each of the four species tables.
struct VersionProfile {
    int32_t BaseStatsOffset = 0;
    int32_t MenuIconOffset = 0;
    int32_t CryTableOffset = 0;
    int32_t EvoMovePointerOffset = 0;
    friend bool operator==(const VersionProfile&, const VersionProfile&) = default;
};

// The profile used for an image that does not show the released layout.
VersionProfile DefaultProfile(GameVersion version);

// The tables of the first American release of the version, which images
// built by hand are checked against (rom/ReleaseLayouts.h has every release).
VersionProfile ReleasedProfile(GameVersion version);

enum class SpeciesTable { BaseRecord, MenuIcon, CryEntry, EvoMovePointer };

// Size in bytes of one species' entry in the table.
int32_t EntrySize(SpeciesTable table);

// How a field's bytes are shown in its control and taken back from it.
enum class Presentation {
    Decimal,       // text box, decimal digits, 0 to 255
    ListPosition,  // combo box, the list position is the byte
    Slider,        // scroll bar value, one byte
    HexText,       // text box, the bytes as hex digits in file order
    Length,        // scroll bar value, two bytes little-endian (byte-swapped)
    Gender,        // NoGender check box (0xFF) or the Gender scroll bar
};

struct SpeciesField {
    std::string_view control;  // object name of the control ("HP", "Type1", ...)
    std::string_view caption;  // how the window names the field, for messages
    SpeciesTable table;
    int32_t offsetInEntry;
    int32_t width;  // bytes: 1, or 2 for the length and the pointer
    Presentation presentation;
};

// The 23 fields in the order they are loaded and saved (the gender byte last).
extern const std::array<SpeciesField, 23> kSpeciesFields;

// The field whose control has this name, or nullptr.
const SpeciesField* FindField(std::string_view control);

// File offset of the field's first byte for the species at `speciesIndex`
// (0 to 250) in the given profile; nullopt when the arithmetic leaves the
// signed 32-bit range or the index is out of range.
std::optional<int32_t> FieldOffset(const VersionProfile& profile, int32_t speciesIndex,
                                   const SpeciesField& field);

}  // namespace rom
