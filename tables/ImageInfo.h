#pragma once
// What an image file says about itself, gathered in one pass over its bytes:
// header fields, both checksums, the version, the layout and whether it is an
// unchanged released image.

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "rom/ImageFacts.h"
#include "rom/SpeciesLayout.h"
#include "tables/ReleasedImages.h"

namespace tables {

struct ImageInfo {
    int64_t size = 0;
    rom::CartridgeHeader header;
    uint8_t headerChecksumComputed = 0;
    uint16_t globalChecksumComputed = 0;
    bool headerChecksumRight = false;
    bool globalChecksumRight = false;
    std::optional<rom::GameVersion> version;  // from the header byte at 0x13C
    rom::ImageLayout layout = rom::ImageLayout::Unknown;  // unknown also without a version
    std::string sha1;
    const ReleasedImage* release = nullptr;  // an unchanged released image
};

ImageInfo DescribeImage(std::span<const uint8_t> image);

// The version the header byte at 0x13C names, read as the window reads it.
std::optional<rom::GameVersion> VersionOfImage(std::span<const uint8_t> image);

}  // namespace tables
