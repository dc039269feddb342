#pragma once
// Recognising the game version from the header byte at 0x13C.

#include <cstdint>
#include <optional>
#include <string_view>

#include "rom/SpeciesLayout.h"

namespace rom {

inline constexpr int32_t kVersionByteOffset = 0x13C;

// The header byte's two hex digits read as a decimal number ("47" gives 47).
// nullopt when the text is not made of decimal digits ("4A", "A0", empty).
std::optional<int32_t> VersionCodeFromHeaderText(std::string_view headerText);

// Gold for 47, Silver for 53, Crystal for 41, tested in that order;
// nullopt for anything else, including texts that are not decimal.
std::optional<GameVersion> RecognizeVersion(std::string_view headerText);

// The header byte that marks an image of the version: 0x47, 0x53 or 0x41
// (whose hex digits read as decimal give 47, 53 and 41).
uint8_t HeaderByteOf(GameVersion version);

// "Kreblin Gold Version", "Kreblin Silver Version", "Kreblin Crystal Version",
// or "Unknown Rom" for nullopt.
std::string_view VersionCaption(std::optional<GameVersion> version);

}  // namespace rom
