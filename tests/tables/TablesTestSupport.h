#pragma once
// Helpers of the table tests: images whose every byte depends on its offset,
// and tables filled with chosen values.

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

#include "tables/SpeciesTable.h"
#include "tests/support/TestImage.h"

namespace tablestest {

// An image of the version in the released layout whose other bytes all
// follow the test pattern, so that a stray write shows up anywhere.
inline testsupport::TestImage PatternedImage(rom::GameVersion version, uint8_t patternShift = 0) {
    testsupport::TestImage image = testsupport::TestImage::Released(version);
    image.FillWithPattern();
    if (patternShift != 0) {
        std::vector<uint8_t> bytes = image.ReadAll();
        for (size_t i = 0; i < bytes.size(); ++i) {
            if (i != 0x13C) bytes[i] = static_cast<uint8_t>(bytes[i] + patternShift);
        }
        image.SetBytes(0, bytes);
    }
    image.NumberBaseRecords(rom::ReleasedProfile(version).BaseStatsOffset);
    return image;
}

// The test image opened as quillmere-cli opens it; a refusal fails the test.
inline tables::TableImage Open(const testsupport::TestImage& file) {
    std::string refusal;
    std::optional<tables::TableImage> image = tables::OpenTableImage(file.path(), refusal);
    if (!image) throw std::runtime_error("could not open the test image: " + refusal);
    return std::move(*image);
}

// A table in which every field of species p holds `first(p, f)` in its first
// byte and `second(p, f)` in its second (two-byte fields only).
template <class First, class Second>
tables::SpeciesTable TableOf(First first, Second second) {
    tables::SpeciesTable table{};
    for (size_t p = 0; p < table.size(); ++p) {
        for (size_t f = 0; f < tables::kFieldCount; ++f) {
            table[p].fields[f][0] = static_cast<uint8_t>(first(p, f));
            if (rom::kSpeciesFields[f].width == 2) table[p].fields[f][1] = static_cast<uint8_t>(second(p, f));
        }
    }
    return table;
}

}  // namespace tablestest
