#pragma once
// What an image file says about itself, gathered in one pass over its bytes:
// header fields, both checksums, the version, the layout and whether it is an
// official release, unmodified or modified.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "rom/ImageFacts.h"
#include "rom/ReleaseLayouts.h"
#include "rom/SpeciesLayout.h"
#include "tables/NameText.h"
#include "tables/ReleasedImages.h"
#include "tables/SpeciesTable.h"

namespace tables {

// The lines of a ".tables" file for a modified game, as far as the image
// confirms them; a hint only, which no tool uses by itself. Each table is
// looked for where a release of the version keeps it, and there moved as far
// as the base records moved; a line is given when exactly one of those places
// is confirmed: byte 1 of every cry entry 0, every evolution/move pointer
// leading to a readable list, every egg move pointer to a readable egg list.
// Nothing confirms menu icons.
struct TablesHint {
    int64_t base = 0;
    std::optional<int64_t> icons;
    std::optional<int64_t> cries;
    std::optional<int64_t> pointers;
    std::optional<int64_t> eggs;
};

struct ImageInfo {
    int64_t size = 0;
    rom::CartridgeHeader header;
    uint8_t headerChecksumComputed = 0;
    uint16_t globalChecksumComputed = 0;
    bool headerChecksumRight = false;
    bool globalChecksumRight = false;
    bool complete = false;                    // a cartridge could hold it
    std::optional<rom::GameVersion> version;  // from the header byte at 0x13C, else the ".tables" file
    bool versionFromTablesFile = false;       // the header names none; the ".tables" file's "version" line does
    rom::ResolvedLayout layout;               // unknown also without a version
    std::optional<std::string_view> market;   // named by the game code's last letter
    std::string sha1;
    const rom::ReleaseLayout* release = nullptr;       // of which the image is an unmodified copy
    const rom::ReleaseLayout* namedRelease = nullptr;  // the one the game code and revision name
    // For a complete image whose layout is unknown: where base records
    // numbered 1 to 251 stand, when they stand in exactly one place.
    std::optional<int64_t> numberedBaseRecords;
    // With them, the other lines of a ".tables" file that the image confirms.
    std::optional<TablesHint> tablesHint;
    // The species' own names: where, in which character set, how many decode.
    ImageNames names;
};

// `path` is where the image was read from, so that a ".tables" file beside
// it is taken into account; empty: none is.
ImageInfo DescribeImage(std::span<const uint8_t> image, const std::string& path = {});

}  // namespace tables
