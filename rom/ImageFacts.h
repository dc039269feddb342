#pragma once
// What an image says about itself: its cartridge header, its two checksums,
// whether a cartridge could hold it, and so which table layout it has.
//
// The layout answer decides where the editor reads and writes a species. For
// a complete image the game's own code says it: the routine through which
// the game reads each table carries the table's address, and the table found
// there must confirm (see LocateTablesByCode). It only looks at bytes that no
// tool of this project ever writes (the routines, the species numbers of the
// base records, byte 1 of the cry entries, the lists' structure as any list
// the tools write keeps it, the header and the file's length) and at the
// ".tables" file beside the image, so an image saved by these tools is always
// recognised again, whatever values were saved.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "rom/Pictures.h"
#include "rom/ReleaseLayouts.h"
#include "rom/SpeciesLayout.h"
#include "rom/SpeciesNames.h"

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
    Released,    // a release's game code and revision, every table where its code and that release keep it
    Modified,    // a complete image whose code proves its tables, elsewhere or under another game code
    TablesFile,  // the tables the ".tables" file beside the image names, confirmed by the image
    HandBuilt,   // not a complete image: the tables of DefaultProfile
    Unknown,     // nothing confirms where the tables are: nothing is read as a species or written
};

// "released", "modified game", "tables file", "hand-built" or "unknown".
std::string_view LayoutName(ImageLayout layout);

// One table of an image: where it lies and what proves it. The five species
// tables have one each, in the order of TablesEntry; the species names and
// the picture and palette tables, located the same way, follow them.
struct TableFact {
    std::string_view name;             // "base records", "menu icons", ...
    std::string_view key;              // its line in a ".tables" file: "base", "icons", ...
    int64_t offset = 0;                // of species position 0
    std::optional<int64_t> routineAt;  // the routine that reads it, when the game's code located it
    std::string proof;                 // how it was proven, a clause: "read by the routine at 0x3E00; ..."
};

// The five species tables located through the routines that read them and
// confirmed, or the first that could not be proven.
struct CodeLocation {
    std::vector<TableFact> tables;  // all five, in the order of TablesEntry, when proven
    // Not proven: which table and why, a clause in lower case without a final
    // full stop ("the routine through which the game reads its menu icons
    // does not occur in it").
    std::string fault;
    bool proven() const { return fault.empty(); }
};

// Locates the five tables of a whole image in memory. Each table is used only
// when its routine occurs once (or every occurrence gives the same table),
// the routines of the base records and cry entries prove entries of 32 and 6
// bytes, the table lies inside the image, and it confirms: base records
// numbered 1 to 251; byte 1 of every cry entry 0; every evolution/move
// pointer and every egg move pointer leading to a complete list inside its
// bank. Menu icons are proven by their routine alone. Each pattern is
// scanned for once.
CodeLocation LocateTablesByCode(std::span<const uint8_t> image);

// Where an image keeps its tables, and on whose word.
struct ResolvedLayout {
    ImageLayout kind = ImageLayout::Unknown;
    GameVersion version = GameVersion::Crystal;  // the version it was resolved for
    // The four table offsets in use; none when the layout is unknown.
    std::optional<VersionProfile> profile;
    // The egg move pointer table: the code's, or the ".tables" file's "eggs"
    // line when it has one; the release row's for an image built by hand that
    // names a release.
    std::optional<int32_t> eggMovePointerOffset;
    // Released: the release whose tables are in use. Modified: the release
    // the game code and revision name (of the same version), when they name
    // one. HandBuilt: the release whose base records it confirms. Else nullptr.
    const ReleaseLayout* release = nullptr;
    // Released, Modified and TablesFile: each table with its offset and proof,
    // the five species tables first, then each of the names, picture pointers,
    // letter pictures, egg picture (when it has an offset of its own) and
    // palettes that is proven.
    std::vector<TableFact> tables;
    // The species names and the picture and palette tables, each proven by
    // the ".tables" file's line or the game's code, or why not. One that is
    // not proven leaves the species tables usable. Not looked for in an image
    // built by hand read part by part (ResolveLayoutOfFile).
    NamesLocation names;
    PictureTables pictures;
    // The character set of the species names: the ".tables" file's "charset"
    // line, else the release's (ImageCharset).
    std::string charset = "en";
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
// The ".tables" file, when it names the tables, decides alone: used when the
// image confirms it, else refused; so do its lines for the names, pictures
// and palettes, each on its own. Otherwise a complete image is edited where
// its code proves its tables (LocateTablesByCode), whatever its game code,
// else refused; an image that is not complete keeps the rules of images built
// by hand (the release's offsets, or the first American release's, where its
// base records are numbered; else DefaultProfile).
ResolvedLayout ResolveLayout(std::span<const uint8_t> image, GameVersion version, const std::string& imagePath);

// What the image is, in words, as every tool names it: "Kreblin Crystal
// Version (America)" for a release; "a modified game based on Kreblin Crystal
// Version (game code and revision of the American release)"; "Kreblin Gold
// Version (tables file layout)", "... (hand-built layout)".
std::string LayoutCaption(const ResolvedLayout& layout);

// The same for the image file at `path`, reading only the bytes the answer
// needs. nullopt after a reported failure (an image that cannot be read).
std::optional<ResolvedLayout> ResolveLayoutOfFile(const std::string& path, GameVersion version);

// The version of an image: the one its header byte at 0x13C names; else, for
// a complete image, the one the ".tables" file beside it names in a line
// "version = crystal" (a modified game whose title no longer names it).
// `header` holds the image's first kHeaderEnd bytes; `size` its length.
std::optional<GameVersion> ImageVersion(std::span<const uint8_t> header, int64_t size, const std::string& imagePath);

// The same for the image file at `path`, reading its header (and its
// ".tables" file); nullopt also when the file cannot be read (nothing is
// reported: the caller's own read reports it).
std::optional<GameVersion> ImageVersionOfFile(const std::string& path);

// The lines of a ".tables" file that say what the layout proved: its version
// (when the header does not name it) and its tables.
std::string TablesFileLines(const ResolvedLayout& layout, std::optional<GameVersion> version);

// The offsets, in increasing order, from which 251 base records numbered 1 to
// 251 stand in the image; at most `limit` of them. A hint for the user of a
// modified game, never a layout by itself.
std::vector<int64_t> NumberedBaseRecordPlaces(std::span<const uint8_t> image, size_t limit);

}  // namespace rom
