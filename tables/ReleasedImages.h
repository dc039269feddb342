#pragma once
// The SHA-1 of a whole image, by which the official releases are known (their
// digests are columns of rom/ReleaseLayouts.h).

#include <cstdint>
#include <span>
#include <string>

namespace tables {

// The SHA-1 of the bytes as 40 lowercase hex digits.
std::string Sha1Hex(std::span<const uint8_t> bytes);

}  // namespace tables
