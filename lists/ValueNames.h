#pragma once
// What the coded values of a species mean, for people: growth rates and egg
// groups by name, the gender byte as the share of females the game gives,
// each machine with its move, and a note on every column whose value is a
// code. The stored values stay as they are; these only explain them, in the
// workbook's header notes, the command line's help and the window's tooltips.
// No Qt.

#include <array>
#include <cstddef>
#include <cstdint>
#include <numeric>
#include <string>
#include <string_view>

#include "lists/Moves.h"

namespace lists {

// Growth rate byte 0 to 5: the experience curve.
inline constexpr std::array<std::string_view, 6> kGrowthRates = {"Medium Fast", "Slightly Fast", "Slightly Slow",
                                                                 "Medium Slow", "Fast",          "Slow"};

// Egg group codes 1 to 15, one in each hex digit of the egg groups byte.
inline constexpr std::array<std::string_view, 16> kEggGroups = {
    "",         "Monster", "Water 1", "Bug",       "Flying",  "Field", "Fairy",  "Grass",
    "Human-Like", "Water 3", "Mineral", "Amorphous", "Water 2", "Ditto", "Dragon", "No eggs"};

// "Medium Slow"; "unknown rate" for a byte the game defines no curve for.
inline std::string GrowthName(uint8_t value) {
    return value < kGrowthRates.size() ? std::string(kGrowthRates[value]) : "unknown rate";
}

// "3 Medium Slow"; a byte the game defines no curve for is its number alone.
inline std::string GrowthText(uint8_t value) {
    std::string text = std::to_string(value);
    if (value < kGrowthRates.size()) text += " " + std::string(kGrowthRates[value]);
    return text;
}

// "Monster and Grass" for 0x17, "Field" for 0x55; a digit without a group
// shows as "group 0".
inline std::string EggGroupsText(uint8_t value) {
    const auto name = [](int code) {
        return code >= 1 ? std::string(kEggGroups[static_cast<size_t>(code)]) : "group " + std::to_string(code);
    };
    const int first = value >> 4;
    const int second = value & 0x0F;
    return first == second ? name(first) : name(first) + " and " + name(second);
}

// The share of females the game gives a species with this gender byte. The
// game draws a byte from the attack and speed of each one it creates and
// makes it female when that byte is at most the gender byte, except for
// 0 (always male), 254 (always female) and 255 (no gender): so 31 is 32 in
// 256, "1 in 8 female".
inline std::string GenderText(uint8_t value) {
    if (value == 0) return "always male";
    if (value == 254) return "always female";
    if (value == 255) return "no gender";
    const int females = value + 1;
    const int common = std::gcd(females, 256);
    return std::to_string(females / common) + " in " + std::to_string(256 / common) + " female";
}

// "TM01 Dynamicpunch": the machine at index k of kMachines and its move.
inline std::string MachineText(size_t k) {
    return std::string(kMachines[k].code) + " " + std::string(kMoveList[kMachines[k].move]);
}

// A note that says what a column's values mean, for the columns whose values
// are codes or need their meaning (RATE, EXP, Size, Cycles, Growth, Groups,
// Gender, each machine); empty for every other column.
inline std::string ColumnNote(std::string_view column) {
    if (column == "RATE") {
        return "Catch rate, 0 to 255: the higher, the easier the species is to catch (255 the easiest).";
    }
    if (column == "EXP") {
        return "Base experience, 0 to 255: the experience points a defeated one gives grow with it and with its "
               "level.";
    }
    if (column == "Size") {
        return "Picture size: the front picture's width and height in tiles of 8 by 8 pixels, one hex digit "
               "each: 55 is 5 by 5, 66 is 6 by 6, 77 is 7 by 7.";
    }
    if (column == "Cycles") {
        return "Egg cycles, 0 to 255: an egg hatches after this many cycles of about 256 steps each.";
    }
    if (column == "Growth") {
        std::string text = "Growth rate, the experience curve:";
        for (size_t k = 0; k < kGrowthRates.size(); ++k) {
            text += (k == 0 ? " " : ", ") + GrowthText(static_cast<uint8_t>(k));
        }
        return text + ".";
    }
    if (column == "Groups") {
        std::string text = "Egg groups, one hex digit each (the same digit twice for one group):";
        for (size_t k = 1; k < kEggGroups.size(); ++k) {
            text += std::string(k == 1 ? " " : ", ") + "0123456789ABCDEF"[k] + " " + std::string(kEggGroups[k]);
        }
        return text + ". 17 is " + EggGroupsText(0x17) + ".";
    }
    if (column == "Gender") {
        std::string text = "Gender ratio, the share of females:";
        for (const uint8_t value : {0, 31, 63, 127, 191, 254, 255}) {
            text += (value == 0 ? " " : ", ") + std::to_string(value) + " " + GenderText(value);
        }
        return text + "; any other value v is v + 1 in 256 female.";
    }
    for (size_t k = 0; k < kMachines.size(); ++k) {
        if (column == kMachines[k].code) return MachineText(k) + ": 1 the species can learn it, 0 it cannot.";
    }
    return {};
}

}  // namespace lists
