#pragma once
// The species' own names as the image holds them, as text and back.
//
// A name is read with the image's character set (lists/Charsets.h): each byte
// up to the first 0x50 draws its text. A name with a byte its set does not
// draw (a modified game with characters of its own) is shown as the bytes its
// field holds, in braces: "{8A 3F 50 50 50 50 50 50 50 50}". That text is
// taken back as "no change" and is the only text in braces an import takes.
//
// A name typed is written one character a byte, with the byte that draws it;
// a byte that draws two characters ("'d", "c'") only where no byte draws the
// first alone. It may take at most the field's length; 0x50 then fills the
// field, as the game fills it. No name is empty.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "lists/Charsets.h"
#include "rom/ImageFacts.h"
#include "rom/ReleaseLayouts.h"
#include "rom/SpeciesLayout.h"
#include "rom/SpeciesNames.h"

namespace tables {

inline constexpr std::string_view kNameColumn = "Name";

using NameBytes = std::vector<uint8_t>;

// The set named "en", "fr", "de", "es" or "ja"; "en" for any other name.
lists::Charset CharsetNamed(std::string_view name);
// "en", "fr", ...
std::string_view CharsetName(lists::Charset charset);
// "American and Australian (en)", "French (fr)", ...
std::string CharsetCaption(lists::Charset charset);

// The text of a name field, or nullopt when a byte before its first 0x50 is
// one the set does not draw.
std::optional<std::string> DecodeName(std::span<const uint8_t> field, lists::Charset charset);

// The text a table shows for the field: its name, else its bytes in braces.
std::string NameText(std::span<const uint8_t> field, lists::Charset charset);

// A name typed, as the bytes of a field of `fieldLength`, or why it cannot be
// written (a sentence naming the character and its position).
struct EncodedName {
    NameBytes bytes;
    std::string refusal;
    bool ok() const { return refusal.empty(); }
};
EncodedName EncodeName(std::string_view text, lists::Charset charset, int fieldLength);

// The names an image holds, and where.
struct ImageNames {
    std::optional<rom::NamesTable> table;  // none: not known, and `fault` says why
    std::string fault;
    lists::Charset charset = lists::Charset::En;
    std::array<NameBytes, rom::kSpeciesCount> stored{};  // each field's bytes; empty without a table

    // The text of species `position`'s name; empty without a table.
    std::string TextOf(int32_t position) const;
    // How many names do not decode with the set.
    size_t Undecodable() const;
};

// The names of an image where its layout located them, in its character set.
ImageNames ReadImageNames(std::span<const uint8_t> image, const rom::ResolvedLayout& layout);
// The fields read again from the image's bytes (after a write).
void RereadNames(ImageNames& names, std::span<const uint8_t> image);

// A Name cell of an import read against the image's names: nullopt bytes when
// it keeps the name (its text is the name's as exported), else the field's
// new bytes, or the refusal.
struct NameCell {
    std::optional<NameBytes> bytes;
    std::string refusal;
};
NameCell ReadNameCell(const ImageNames& names, int32_t position, std::string_view text);

// A species whose name differs.
struct NameChange {
    int32_t position = 0;
    NameBytes before;
    NameBytes after;
    std::string beforeText;
    std::string afterText;
};

// The names that differ between two images' names (each read with its own
// set), by species in list order. None when either has no known table.
std::vector<NameChange> NameDifferences(const ImageNames& before, const ImageNames& after);

// Lays the new names into `bytes`. False when a field lies past their end.
bool LayNames(const ImageNames& names, std::span<const NameChange> changes, std::vector<uint8_t>& bytes);

}  // namespace tables
