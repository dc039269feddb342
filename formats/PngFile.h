#pragma once
// Indexed pictures as PNG files (through libpng, linked statically into the
// programs that write pictures, so that no other command loads it): a
// picture of 2-bit pixels and its four colours, written as a PNG of colour
// type 3 (palette), bit depth 2.

#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace formats {

using Rgb = std::array<uint8_t, 3>;

struct PngBytes {
    std::string bytes;
    std::string error;  // empty on success
    bool ok() const { return error.empty(); }
};

// `pixels` holds width x height values 0 to 3, row by row; `colours` the
// four colours they stand for.
PngBytes EncodeIndexedPng(int width, int height, std::span<const uint8_t> pixels, const std::array<Rgb, 4>& colours);

}  // namespace formats
