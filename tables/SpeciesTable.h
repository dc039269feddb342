#pragma once
// The 23 fields of all 251 species of one image, as the bytes stored, read
// from the image in one pass; and the image they came from.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "rom/ImageFacts.h"
#include "rom/SpeciesLayout.h"
#include "tables/NameText.h"

namespace tables {

inline constexpr size_t kFieldCount = rom::kSpeciesFields.size();

// A field's bytes in file order; a one-byte field uses only the first.
using FieldBytes = std::array<uint8_t, 2>;

struct SpeciesValues {
    std::array<FieldBytes, kFieldCount> fields{};
    friend bool operator==(const SpeciesValues&, const SpeciesValues&) = default;
};

using SpeciesTable = std::array<SpeciesValues, rom::kSpeciesCount>;

// The index of the field in rom::kSpeciesFields.
size_t FieldIndex(const rom::SpeciesField& field);

// The version the header byte at 0x13C names, read as the window reads it;
// for a complete image whose header names none, the version the ".tables"
// file beside `path` names (empty path: none is looked for).
std::optional<rom::GameVersion> VersionOfImage(std::span<const uint8_t> image, const std::string& path = {});

// For a file whose header names none of the three versions (and whose
// ".tables" file names none either), the sentence
// that says so: "\"x.gbc\" is not an image of a Kreblin version: ...", with
// the byte found and whether the header checksum is right. Empty when the
// header names a version (images built by hand for tests, whose header
// checksum is wrong, keep being read by the rules of such images).
std::string NotAKreblinImage(std::span<const uint8_t> image, const std::string& path);

// Reads every field of every species from an image held in memory. A byte
// past the end of the image reads as 0, as the byte layer reads it.
SpeciesTable ReadSpeciesTable(std::span<const uint8_t> image, const rom::VersionProfile& profile);

// An image opened for the table tools: its bytes, version, layout and table.
struct TableImage {
    std::string path;
    std::vector<uint8_t> bytes;
    rom::GameVersion version = rom::GameVersion::Gold;
    rom::ImageLayout layout = rom::ImageLayout::Unknown;  // resolved.kind
    rom::VersionProfile profile;                          // *resolved.profile
    rom::ResolvedLayout resolved;  // where the offsets come from; the egg move pointer table
    SpeciesTable table{};
    ImageNames names;  // the species' own names, and where they are
};

// The names of the image where `image.resolved` located them, in its
// character set (the ".tables" file's when it gives one, else the release's).
ImageNames ReadNamesOf(const TableImage& image);

// Reads the image at `path` whole and its table, at the offsets of its
// release or of the ".tables" file beside it. A file that cannot be read (or
// is larger than a cartridge holds) is a reported failure; an image too short
// to hold a header, whose header names no version or whose layout is unknown
// is refused with one message in `refusal`. Both give nullopt.
std::optional<TableImage> OpenTableImage(const std::string& path, std::string& refusal);

}  // namespace tables
