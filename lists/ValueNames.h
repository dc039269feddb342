#pragma once
// Readable words for the species bytes that are stored as plain numbers:
// the growth rate's name, the two egg groups of the egg group byte, and the
// gender byte as a ratio. The stored values stay numbers everywhere; these
// texts are shown beside them. No Qt.

#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

namespace lists {

// The growth rate byte: 0 to 5.
inline constexpr std::array<std::string_view, 6> kGrowthNames = {
    "Medium Fast", "Slightly Fast", "Slightly Slow", "Medium Slow", "Fast", "Slow",
};

// One egg group, 1 to 15: the egg group byte holds two, one in each half.
inline constexpr std::array<std::string_view, 16> kEggGroupNames = {
    "",       "Monster", "Water 1", "Bug",      "Flying",    "Field",   "Fairy",  "Grass",
    "Human-Like", "Water 3", "Mineral", "Amorphous", "Water 2", "Ditto", "Dragon", "No eggs",
};

inline std::string GrowthText(uint8_t value) {
    return value < kGrowthNames.size() ? std::string(kGrowthNames[value]) : "unknown rate";
}

inline std::string EggGroupText(uint8_t half) {
    if (half >= 1 && half < kEggGroupNames.size()) return std::string(kEggGroupNames[half]);
    return "group " + std::to_string(half);
}

// "Monster, Grass"; one name when both halves are the same group.
inline std::string EggGroupsText(uint8_t value) {
    const auto first = static_cast<uint8_t>(value >> 4);
    const auto second = static_cast<uint8_t>(value & 0x0F);
    return first == second ? EggGroupText(first) : EggGroupText(first) + ", " + EggGroupText(second);
}

// The game makes a creature female when the value it draws (0 to 255, from
// its Attack and Speed values) is at most the gender byte: the byte 31 is
// 32 of 256, 1 in 8. 254 is all female and 255 no gender; 0 is the game's
// all-male setting.
inline std::string GenderText(uint8_t value) {
    switch (value) {
        case 0:
            return "all male";
        case 31:
            return "1 in 8 female";
        case 63:
            return "1 in 4 female";
        case 127:
            return "1 in 2 female";
        case 191:
            return "3 in 4 female";
        case 254:
            return "all female";
        case 255:
            return "no gender";
        default:
            return "about " + std::to_string(static_cast<int>(std::lround((value + 1) * 100.0 / 256))) + "% female";
    }
}

}  // namespace lists
