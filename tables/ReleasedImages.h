#pragma once
// The released images, known by the SHA-1 of their whole file: the one table
// of them, and the check whether an image is one of them unchanged.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "rom/SpeciesLayout.h"

namespace tables {

struct ReleasedImage {
    rom::GameVersion version;
    std::string_view revision;  // "1.0", "1.1", "1.1 (another region)"
    std::string_view sha1;      // 40 lowercase hex digits
};

extern const std::array<ReleasedImage, 5> kReleasedImages;

// The SHA-1 of the bytes as 40 lowercase hex digits.
std::string Sha1Hex(std::span<const uint8_t> bytes);

// The release whose SHA-1 the image has, or nullptr.
const ReleasedImage* FindRelease(std::string_view sha1);

// The version caption and the revision: "Kreblin Crystal Version 1.1".
std::string ReleaseCaption(const ReleasedImage& release);

}  // namespace tables
