#pragma once
// What an image says about itself: its cartridge header, its two checksums,
// whether a cartridge could hold it, and so which table layout it has.
//
// The layout answer decides where the editor reads and writes a species. It
// only looks at bytes that no tool of this project ever writes (the species
// numbers of the base records, byte 1 of the cry entries, the header with its
// game code and revision, and the file's length) and at the ".tables" file
// beside the image, so an image saved by these tools is always recognised
// again, whatever values were saved.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "rom/ReleaseLayouts.h"
#include "rom/SpeciesLayout.h"

namespace rom {

inline constexpr int64_t kTitleOffset = 0x134;
inline constexpr int64_t kTitleLength = 11;  // 0x134 to 0x13E; the game code follows
inline constexpr int64_t kCartridgeTypeOffset = 0x147;
inline constexpr int64_t kRomSizeOffset = 0x148;
inline constexpr int64_t kDestinationOffset = 0x14A;
inline constexpr int64_t kRomVersionOffset = 0x14C;
inline constexpr int64_t kHeaderChecksumOffset = 0x14D;
inline constexpr int64_t kGlobalChecksumOffset = 0x14E;  // two bytes, high byte first
inline constexpr int64_t kHeaderEnd = 0x150;             // first byte after the header

// The header checksum of an image: x = 0; for each byte b from 0x134 to 0x14C,
// x = x - b - 1 (mod 256). Bytes the image does not hold count as 0.
uint8_t HeaderChecksum(std::span<const uint8_t> image);

// The global checksum: the sum of every byte except the two at 0x14E and
// 0x14F, mod 65536.
uint16_t GlobalChecksum(std::span<const uint8_t> image);

// The length the ROM-size byte declares: 32 KiB shifted left by the byte, for
// 0 to 8; nullopt for any other byte.
std::optional<int64_t> DeclaredRomSize(uint8_t romSizeByte);

// The header fields as stored (bytes the image does not hold read as 0).
struct CartridgeHeader {
    std::string title;     // the title field, printable ASCII bytes only
    std::string gameCode;  // the four bytes at 0x13F, "?" for each byte that is not printable
    uint8_t cartridgeType = 0;
    uint8_t romSizeByte = 0;
    uint8_t destinationCode = 0;
    uint8_t romVersion = 0;
    uint8_t headerChecksum = 0;
    uint16_t globalChecksum = 0;  // as stored, big-endian
};
CartridgeHeader ReadCartridgeHeader(std::span<const uint8_t> image);

// True when a cartridge could hold the image: its header checksum is right
// and its length is exactly what its ROM-size byte declares. `header` holds
// at least the image's first kHeaderEnd bytes (fewer: not complete).
bool IsCompleteImage(std::span<const uint8_t> header, int64_t fileSize);

enum class ImageLayout {
    Released,    // the tables of the official release the header names, confirmed by the image
    TablesFile,  // the tables the ".tables" file beside the image names, confirmed by the image
    HandBuilt,   // not a complete image: the tables of DefaultProfile
    Unknown,     // nothing confirms where the tables are: nothing is read as a species or written
};

// "released", "tables file", "hand-built" or "unknown".
std::string_view LayoutName(ImageLayout layout);

// Where an image keeps its tables, and on whose word.
struct ResolvedLayout {
    ImageLayout kind = ImageLayout::Unknown;
    // The four table offsets in use; none when the layout is unknown.
    std::optional<VersionProfile> profile;
    // The egg move pointer table: the release row's, or the ".tables" file's
    // "eggs" line when it has one; none for images built by hand.
    std::optional<int32_t> eggMovePointerOffset;
    // The release whose offsets are in use (Released), else nullptr.
    const ReleaseLayout* release = nullptr;
    // The ".tables" file in use (TablesFile) or refused (Unknown), else empty.
    std::string tablesFile;
    // Unknown: what is unknown or what failed, one line of whole sentences
    // that names neither the image's path nor what happens next.
    std::string refusal;
};

// The layout of a whole image held in memory. `imagePath` is where it was
// read from, so that the ".tables" file beside it is found; empty: no such
// file is looked for.
//
// The ".tables" file, when it exists, decides alone: used when the image
// confirms it, else refused. Otherwise a complete image is edited only at the
// offsets of the release its game code and revision name, when the image
// confirms them; an image that is not complete keeps the rules of images
// built by hand (the release's offsets, or the first American release's,
// where its base records are numbered; else DefaultProfile).
ResolvedLayout ResolveLayout(std::span<const uint8_t> image, GameVersion version, const std::string& imagePath);

// The same for the image file at `path`, reading only the bytes the answer
// needs. nullopt after a reported failure (an image that cannot be read).
std::optional<ResolvedLayout> ResolveLayoutOfFile(const std::string& path, GameVersion version);

// The offsets, in increasing order, from which 251 base records numbered 1 to
// 251 stand in the image; at most `limit` of them. A hint for the user of a
// modified game, never a layout by itself.
std::vector<int64_t> NumberedBaseRecordPlaces(std::span<const uint8_t> image, size_t limit);

}  // namespace rom
