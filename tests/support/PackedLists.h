#pragma once
// The species' lists of a release-like image in memory, laid by the library's
// own packing: the image the benchmarks and the fuzz targets of the list
// tables work on. (The tests lay their images by their own code instead, so
// that they check the packing rather than use it.)

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "rom/ImageFacts.h"
#include "rom/ReleaseLayouts.h"
#include "tables/ImageLists.h"
#include "tables/SpeciesTable.h"

namespace testsupport {

// Every official release holds the level-up moves of species position 88 out
// of level order; every release-like image of the tests, benchmarks and fuzz
// targets holds them so (with moves of its own), so that no rule refuses
// what the releases hold.
inline constexpr size_t kOutOfOrderSpecies = 88;
inline std::vector<tables::LevelMove> OutOfOrderLevelUpMoves() {
    return {{1, 1}, {1, 50}, {1, 139}, {33, 106}, {37, 107}, {45, 124}, {23, 151}, {31, 103}, {45, 188}, {60, 114}};
}

// Takes the image as the release `row` (its header must name it: game code
// and revision), as opening the file would; points every pointer of the
// release's evolution-and-move table and of its egg move table at one empty
// list right after the table; then packs the lists given into the image.
// Returns the packing's refusal, empty when the lists fit.
inline std::string PackLists(tables::TableImage& image, const rom::ReleaseLayout& row,
                             const std::array<tables::EvoMoveContents, rom::kSpeciesCount>& evoMoves,
                             const std::array<std::vector<uint8_t>, rom::kSpeciesCount>& eggMoves) {
    // Without its release the image has no egg move table and no room to
    // grow its lists into.
    image.resolved.kind = rom::ImageLayout::Released;
    image.resolved.profile = row.tables;
    image.resolved.eggMovePointerOffset = row.eggMovePointerOffset;
    image.resolved.release = &row;
    for (const int32_t table : {row.tables.EvoMovePointerOffset, row.eggMovePointerOffset}) {
        const int32_t list = table + tables::kPointerTableLength;
        const int32_t address = 0x4000 + list % static_cast<int32_t>(tables::kBankSize);
        for (int32_t p = 0; p < rom::kSpeciesCount; ++p) {
            image.bytes[static_cast<size_t>(table + 2 * p)] = static_cast<uint8_t>(address & 0xFF);
            image.bytes[static_cast<size_t>(table + 2 * p + 1)] = static_cast<uint8_t>(address >> 8);
        }
        image.bytes[static_cast<size_t>(list)] = table == row.eggMovePointerOffset ? tables::kEggListEnd : 0;
    }
    const tables::SpeciesLists empty = tables::ReadSpeciesLists(image);
    std::string refusal = tables::LayEvoMoveLists(image.bytes, empty, evoMoves);
    if (refusal.empty()) refusal = tables::LayEggMoveLists(image.bytes, empty, eggMoves);
    return refusal;
}

}  // namespace testsupport
