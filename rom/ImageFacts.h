#pragma once
// What an image says about itself: its cartridge header, its two checksums,
// whether a cartridge could hold it, and so which table layout it has.
//
// The layout answer decides where the editor reads and writes a species. It
// only looks at bytes that no tool of this project ever writes (the species
// numbers of the base records, byte 1 of the cry entries, the header and the
// file's length), so an image saved by these tools is always recognised again,
// whatever values were saved.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "rom/SpeciesLayout.h"

namespace rom {

inline constexpr int64_t kTitleOffset = 0x134;
inline constexpr int64_t kTitleLength = 16;  // 0x134 to 0x143
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
    std::string title;  // the title field, printable ASCII bytes only
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
    Released,   // the tables lie where the released images keep them
    HandBuilt,  // not a complete image: the tables of DefaultProfile
    Unknown,    // a complete image whose tables are not where this project knows them
};

// "released", "hand-built" or "unknown".
std::string_view LayoutName(ImageLayout layout);

// The table offsets of the layout; nullopt for an unknown layout, where
// nothing may be read as a species or written.
std::optional<VersionProfile> ProfileOf(ImageLayout layout, GameVersion version);

// The layout of a whole image held in memory.
ImageLayout ResolveLayout(std::span<const uint8_t> image, GameVersion version);

// The layout of the image file at `path`, reading only the bytes the answer
// needs. nullopt after a reported failure (a file that cannot be read).
std::optional<ImageLayout> ResolveLayoutOfFile(const std::string& path, GameVersion version);

}  // namespace rom
