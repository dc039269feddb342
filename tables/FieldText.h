#pragma once
// The text forms of a field's value in the export formats, and the way back:
// each text is checked by the same conversions as the window's save.
//
// Values as exported:
//   decimal fields, Pitch, Echo: the byte in decimal ("45");
//   Length: the two bytes as one number, low byte first (0 to 65535);
//   Gender: the byte in decimal, 0 to 255 (255: no gender);
//   Size, Groups, Pointer: the hex digits the window shows, in file order;
//   list fields: the entry's text without surrounding spaces when no other
//   position of the list has that text; otherwise (a shared text, or a byte
//   without an entry) the two-digit hex code.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "formats/Rows.h"
#include "rom/FieldConversions.h"
#include "rom/SpeciesLayout.h"
#include "tables/SpeciesTable.h"

namespace tables {

using formats::AllCellsEmpty;
using formats::NormalizedColumnName;
using formats::NotAColumnText;
using formats::Trimmed;

// The choice list of a list field (Type1, Item2, Sprite, ...); empty for
// every other field.
std::span<const std::string_view> ListOf(const rom::SpeciesField& field);

// The one position whose entry, without surrounding spaces, is `text`
// without surrounding spaces; nullopt when none or several are.
std::optional<int32_t> UniqueEntryPosition(std::span<const std::string_view> entries, std::string_view text);

// The position of the one entry of any list that `text` names, as people
// write entries in a spreadsheet; nullopt when it names none or several.
// An entry is named by its exact text (as exported), or else, ignoring case
// and surrounding spaces, by
//   - its whole text ("miracle berry"),
//   - for an entry with a code ("6D - Miracle Berry", "01-Poliwag",
//     "00 = Sandshrew": two hex digits that are its own position, a "-", "="
//     or ":" and its name), the name after the code ("Miracle Berry"), the
//     code alone ("6D", "6d"), or code and name with any of those separators
//     and any spacing ("6D-Miracle Berry", "6d - miracle berry").
// A list without codes (types, species, moves) is matched by text alone.
std::optional<int32_t> FindListEntry(std::span<const std::string_view> entries, std::string_view text);

// Two spellings FindListEntry accepts for the entry at `position`, for a
// refusal: "\"Miracle Berry\" or \"6D\"". For an entry without a code the
// second is its position as two hex digits, the code the list fields take.
std::string AcceptedSpellings(std::span<const std::string_view> entries, int32_t position);

// The spelling of the entry at `position` that FindListEntry takes back as
// that entry: its name (the text after its code, if any), or its whole text
// when other entries share the name; nullopt when neither names it alone.
std::optional<std::string_view> AcceptedName(std::span<const std::string_view> entries, int32_t position);

// The entry a text that names none comes closest to (the longest beginning
// its name shares with the text's, ignoring case), to show in a refusal.
// Entries before `lowest` are never chosen (for a list whose first entries
// no value may take); with no entry near, `lowest` is the example.
int32_t NearestListEntry(std::span<const std::string_view> entries, std::string_view text, int32_t lowest = 0);

// The field whose column (its control's name) `name` names by
// NormalizedColumnName; nullptr for none.
const rom::SpeciesField* FieldOfColumn(std::string_view name);

// True for the fields whose value is a number in the export (decimal fields,
// sliders, Length, Gender); false for hex text and list fields.
bool IsNumberField(const rom::SpeciesField& field);

// The value's text in the export.
std::string ValueText(const rom::SpeciesField& field, const FieldBytes& bytes);

// The bytes to store for a value's text, or the refusal that says what the
// field accepts, naming the field by its column (SATK, not S.ATK).
rom::Encoded EncodeValueText(const rom::SpeciesField& field, std::string_view text);

// The bytes of an accepted value's hex byte-string (2 or 4 digits).
FieldBytes BytesOfHex(std::string_view hex);

// A whole number written with decimal digits only, spaces and tabs around it
// allowed; nullopt for anything else. A number too large for any value
// reads as 2147483647, beyond every range checked.
std::optional<int64_t> WholeNumber(std::string_view text);

// The species list entry at the position, without surrounding spaces.
std::string_view SpeciesName(int32_t position);

// The refusal of a row's Species cell that names another species than its
// Position ("Species names 25 Raichu, but Position 24 is Pikachu: ..."); empty
// when the cell names the row's species, no species, or is empty. Species
// only names the row for people, so nothing else of it is checked.
std::string SpeciesCellRefusal(int32_t position, std::string_view text);

}  // namespace tables
