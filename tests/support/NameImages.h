#pragma once
// Species names planted in a test image laid out like a release: the names
// table at one place of a bank that holds no other table, and the routine
// through which the game reads it (Crystal's, or Gold and Silver's with its
// run of additions as long as the field) where the locator must find it.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "rom/CodeRoutines.h"
#include "rom/ReleaseLayouts.h"
#include "rom/SpeciesNames.h"
#include "tests/support/TestImage.h"

namespace testsupport {

// Bank 0x1B, address 0x4100: clear of every species table and list of the
// release rows, in both image lengths.
inline constexpr uint8_t kNamesBank = 0x1B;
inline constexpr uint16_t kNamesAddress = 0x4100;
inline constexpr int64_t kNamesOffset = int64_t{kNamesBank} * 0x4000 + (kNamesAddress - 0x4000);
// Where the routine is planted: in bank 0, between the header and the lists.
inline constexpr int64_t kNamesRoutineAt = 0x3D00;  // clear of the five table routines at 0x3E00 on

inline int NameFieldLength(const rom::ReleaseLayout& release) {
    return release.market == "Japanese" ? rom::kJapaneseNameFieldLength : rom::kNameFieldLength;
}

// The routine the release's version reads its names through, for the field.
inline std::vector<uint8_t> NamesRoutine(rom::GameVersion version, int fieldLength, uint16_t address = kNamesAddress,
                                         uint8_t bank = kNamesBank, int copied = -1) {
    const std::string_view pattern = version == rom::GameVersion::Crystal ? rom::kCrystalNameRoutine
                                     : fieldLength == rom::kNameFieldLength ? rom::kGoldSilverNameRoutine10
                                                                            : rom::kGoldSilverNameRoutine5;
    return rom::RoutinePattern(pattern).Bytes(address, bank, static_cast<uint8_t>(copied < 0 ? fieldLength : copied),
                                              0x00);
}

// A field of `length`: the bytes, then 0x50 to its end.
inline std::vector<uint8_t> NameField(std::vector<uint8_t> bytes, int length) {
    bytes.resize(static_cast<size_t>(length), rom::kNameEnd);
    return bytes;
}

// The name every species gets unless a test chooses another: 0x8D, then the
// position's three digits (0xF6 draws 0 in every set).
inline std::vector<uint8_t> PlainName(int32_t position, int length) {
    return NameField({0x8D, static_cast<uint8_t>(0xF6 + position / 100), static_cast<uint8_t>(0xF6 + position / 10 % 10),
                      static_cast<uint8_t>(0xF6 + position % 10)},
                     length);
}

// Plants the routine and 251 plain names (`names[p]` where a test gives one).
inline void PlantNames(TestImage& image, rom::GameVersion version, int fieldLength,
                       const std::array<std::vector<uint8_t>, rom::kSpeciesCount>& names = {}) {
    image.SetBytes(kNamesRoutineAt, NamesRoutine(version, fieldLength));
    for (int32_t p = 0; p < rom::kSpeciesCount; ++p) {
        const std::vector<uint8_t>& given = names[static_cast<size_t>(p)];
        image.SetBytes(kNamesOffset + int64_t{p} * fieldLength,
                       given.empty() ? PlainName(p, fieldLength) : NameField(given, fieldLength));
    }
}

}  // namespace testsupport
