#pragma once
// Where an image keeps its species' own names, as the game itself says: the
// routine that copies a species' name holds the table's address, its bank,
// the multiplication by the field's length and the length copied. A name
// field is 10 bytes (5 in the Japanese releases); 0x50 ends a name and fills
// the rest of its field, and a name that fills its field has none.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "rom/ReleaseLayouts.h"

namespace rom {

inline constexpr uint8_t kNameEnd = 0x50;
inline constexpr int kNameFieldLength = 10;
inline constexpr int kJapaneseNameFieldLength = 5;

// Crystal: switch to bank BB, index × 10 (`29 29 19 29`), `ld de, HHLL`, copy
// NN bytes; NN must be 0x0A, the length the multiplication gives.
inline constexpr std::string_view kCrystalNameRoutine =
    "F0 ?? F5 E5 3E BB D7 FA ?? ?? 3D 16 00 5F 26 00 6F 29 29 19 29 11 LL HH 19 11 ?? ?? D5 01 NN 00 CD";
// Gold and Silver: `ld hl, HHLL`, then the index added once per byte of the
// field (a run of `19`), then copy NN bytes, NN the same length.
inline constexpr std::string_view kGoldSilverNameRoutine10 =
    "F0 ?? F5 E5 3E BB D7 FA ?? ?? 3D 21 LL HH 5F 16 00 19 19 19 19 19 19 19 19 19 19 11 ?? ?? D5 01 NN 00 CD";
inline constexpr std::string_view kGoldSilverNameRoutine5 =
    "F0 ?? F5 E5 3E BB D7 FA ?? ?? 3D 21 LL HH 5F 16 00 19 19 19 19 19 11 ?? ?? D5 01 NN 00 CD";

// The names table as the routine gives it.
struct NamesTable {
    int64_t offset = 0;    // file offset of species position 0's field
    int fieldLength = 0;   // 10 or 5
    int64_t routineAt = 0; // where the (first) routine that proves it stands
    size_t routines = 0;   // how many occurrences give it; 0 when a ".tables" file names it
    int64_t Length() const;
    // The file offset of the field of species `position` (0 to 250).
    int64_t FieldOffset(int32_t position) const { return offset + int64_t{position} * fieldLength; }
};

// The table, or why it is not known: `fault` is a clause in lower case
// without a final full stop.
struct NamesLocation {
    std::optional<NamesTable> table;
    std::string fault;
};

// The names table of an image: every occurrence of the routines found, each
// one's copied length equal to the length its multiplication proves, all of
// them naming one table; the table there confirmed (ConfirmSpeciesNames).
NamesLocation LocateSpeciesNames(std::span<const uint8_t> image);

// Why the table is not one of name fields, a clause in lower case; nullopt
// when it is: inside the image and inside one bank (the routine reads it
// from one bank), every field a name field (after its first 0x50, only 0x50)
// and at least one name ending before its field does.
std::optional<std::string> ConfirmSpeciesNames(std::span<const uint8_t> image, const NamesTable& table);

// The names of the character sets the tools know, in the words the ".tables"
// file takes: "en" (American and Australian), "fr", "de", "es", "ja".
inline constexpr std::string_view kNameCharsets[] = {"en", "fr", "de", "es", "ja"};
bool IsNameCharset(std::string_view name);

// The character set of a release's names, by its market: American and
// Australian "en", French "fr", German "de", Spanish "es" (whose font draws
// the American names the Spanish release holds as "en" does), Japanese "ja".
std::string_view ReleaseCharset(const ReleaseLayout& release);

// The character set an image's names are read with: the ".tables" file's
// `charset` when it has one, else the release's (the release the image is,
// by its game code and revision), else "en", the American family every
// modified game of the three versions takes by default.
std::string_view ImageCharset(const ReleaseLayout* release, std::optional<std::string_view> tablesFileCharset);

}  // namespace rom
