#pragma once
// The images the page is tested on: one laid out like the first American
// Crystal release with lists a species can be edited in (every other byte
// the test pattern), and the same release with its tables moved and without
// the routines that read them, which the programs refuse.
#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "rom/ReleaseLayouts.h"
#include "tables/SpeciesTable.h"
#include "tests/support/NameImages.h"
#include "tests/support/PackedLists.h"
#include "tests/support/PictureImages.h"
#include "tests/support/TestImage.h"

namespace webtest {

inline const rom::ReleaseLayout& Release() { return *rom::FindReleaseLayout("BYTE", 0); }

inline constexpr int32_t kPikachu = 24;
inline constexpr int32_t kMovedBy = 16;

// The image's bytes, laid out like the release: Pikachu with an evolution
// and three level-up moves, Bulbasaur with two egg moves, every other list
// empty; its own species names (Pikachu's "PIKACHU") where the routine that
// reads them says; pictures and palettes planted (Pikachu's front and back
// among them); both checksums right.
inline std::vector<uint8_t> ReleaseLikeImage() {
    testsupport::TestImage file = testsupport::TestImage::OfRelease(Release());
    std::array<std::vector<uint8_t>, rom::kSpeciesCount> names{};
    names[kPikachu] = {0x8F, 0x88, 0x8A, 0x80, 0x82, 0x87, 0x94};
    testsupport::PlantNames(file, Release().version, rom::kNameFieldLength, names);
    std::string refusal;
    std::optional<tables::TableImage> image = tables::OpenTableImage(file.path(), refusal);
    if (!image) throw std::runtime_error("the test image does not open: " + refusal);
    // The lists' areas free to the end of their banks, as in a release.
    for (const int64_t table : {int64_t{Release().tables.EvoMovePointerOffset}, int64_t{Release().eggMovePointerOffset}}) {
        const auto start = image->bytes.begin() + table + tables::kPointerTableLength;
        std::fill(start, image->bytes.begin() + (table / tables::kBankSize + 1) * tables::kBankSize, uint8_t{0});
    }
    std::array<tables::EvoMoveContents, rom::kSpeciesCount> evoMoves{};
    evoMoves[kPikachu].evolutions.push_back({tables::EvolutionMethod::Item, 0, 0x16, 0, 0, 26});
    evoMoves[kPikachu].moves = {{1, 84}, {6, 39}, {8, 86}};
    std::array<std::vector<uint8_t>, rom::kSpeciesCount> eggMoves{};
    eggMoves[0] = {13, 14};
    refusal = testsupport::PackLists(*image, Release(), evoMoves, eggMoves);
    if (!refusal.empty()) throw std::runtime_error("the test lists do not fit: " + refusal);
    std::vector<uint8_t>& bytes = image->bytes;
    testsupport::PlantPictures(bytes, rom::GameVersion::Crystal, Release().tables.BaseStatsOffset);
    bytes[rom::kHeaderChecksumOffset] = rom::HeaderChecksum(bytes);
    const uint16_t global = rom::GlobalChecksum(bytes);
    bytes[rom::kGlobalChecksumOffset] = static_cast<uint8_t>(global >> 8);
    bytes[rom::kGlobalChecksumOffset + 1] = static_cast<uint8_t>(global & 0xFF);
    return bytes;
}

inline std::vector<uint8_t> MovedTablesImage() {
    return testsupport::TestImage::OfRelease(Release(), kMovedBy, /*withRoutines=*/false).ReadAll();
}

}  // namespace webtest
