// Random images with the five routines planted for the locator that says,
// from the game's own code, where a complete image keeps its tables.
//
// The input chooses where the tables lie, whether their contents confirm
// (numbered records, cry entries, pointers to lists) and bytes sprinkled over
// the image, routines included. Whatever it holds: the locator either proves
// all five tables, each inside the image and confirmed, or names one fault;
// a proven layout reads every list, and laying the lists it read again
// changes no byte.

#include <array>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "rom/ImageFacts.h"
#include "rom/SpeciesLists.h"
#include "tests/support/TableRoutines.h"

namespace {

void Require(bool condition) {
    if (!condition) std::abort();
}

constexpr int64_t kImageSize = 64 * 1024;  // 4 banks; a header may declare it (ROM-size byte 1)

// A place for a table of `length` bytes from two input bytes, inside the image
// and outside bank 0 (where four of the routines lie).
int64_t PlaceOf(uint8_t high, uint8_t low, int64_t length) {
    const int64_t room = kImageSize - 0x4000 - length;
    return 0x4000 + (int64_t{high} << 8 | low) * 7 % room;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 11) return 0;
    std::vector<uint8_t> image(static_cast<size_t>(kImageSize), 0);
    const uint8_t flags = data[10];
    const testsupport::RoutineTables tables{PlaceOf(data[0], data[1], 32 * 251), PlaceOf(data[2], data[3], 251),
                                            PlaceOf(data[4], data[5], 6 * 251), PlaceOf(data[6], data[7], 502),
                                            PlaceOf(data[8], data[9], 502)};
    if (flags & 1) {
        for (int64_t k = 0; k < 251; ++k) image[static_cast<size_t>(tables.base + 32 * k)] = static_cast<uint8_t>(k + 1);
    }
    // Pointers to one list just after each table when it fits in its bank
    // ("00 00", or a lone 0xFF for the egg moves).
    for (const int64_t table : {tables.pointers, tables.eggs}) {
        if (!(flags & 2)) break;
        const int64_t list = table + 502;
        if (list / 0x4000 != table / 0x4000 || list + 2 > kImageSize) continue;
        const auto address = static_cast<uint16_t>(0x4000 + list % 0x4000);
        for (int64_t k = 0; k < 251; ++k) {
            image[static_cast<size_t>(table + 2 * k)] = static_cast<uint8_t>(address & 0xFF);
            image[static_cast<size_t>(table + 2 * k + 1)] = static_cast<uint8_t>(address >> 8);
        }
        image[static_cast<size_t>(list)] = table == tables.eggs ? 0xFF : 0;
    }
    if (flags & 4) testsupport::PlantTableRoutines(image, tables);
    // The rest of the input lands in runs over the image: each run is a
    // three-byte place and a length byte, then the bytes.
    size_t at = 11;
    while (at + 4 <= size) {
        const int64_t place = (int64_t{data[at]} << 16 | int64_t{data[at + 1]} << 8 | data[at + 2]) % kImageSize;
        const size_t length = std::min<size_t>(data[at + 3], size - at - 4);
        at += 4;
        for (size_t k = 0; k < length && place + static_cast<int64_t>(k) < kImageSize; ++k) {
            image[static_cast<size_t>(place) + k] = data[at + k];
        }
        at += length;
    }

    const rom::CodeLocation located = rom::LocateTablesByCode(image);
    Require(located.proven() == (located.tables.size() == 5));
    Require(located.proven() || !located.fault.empty());
    if (!located.proven()) return 0;
    for (const rom::TableFact& fact : located.tables) {
        Require(fact.offset >= 0 && fact.offset < kImageSize);
        Require(fact.routineAt.has_value() && !fact.proof.empty());
    }
    for (int64_t k = 0; k < 251; ++k) Require(image[static_cast<size_t>(located.tables[0].offset + 32 * k)] == k + 1);

    // As the tools take it: a complete image of a version.
    image[rom::kRomSizeOffset] = 1;
    image[rom::kHeaderChecksumOffset] = rom::HeaderChecksum(image);
    const rom::ResolvedLayout layout = rom::ResolveLayout(image, rom::GameVersion::Crystal, "");
    // The header bytes written may have broken a routine or a table there.
    if (!layout.profile) return 0;
    Require(layout.kind == rom::ImageLayout::Modified);
    const rom::ListLayout lists = rom::ListLayoutOf(image, *layout.profile, layout);
    const rom::SpeciesLists read = rom::ReadSpeciesLists(image, *layout.profile, lists);
    std::array<rom::EvoMoveContents, rom::kSpeciesCount> evoMoves;
    std::array<std::vector<uint8_t>, rom::kSpeciesCount> eggMoves;
    for (size_t p = 0; p < evoMoves.size(); ++p) {
        Require(read.evoMoves[p].place.readable());
        Require(read.eggMoves[p].place.readable());
        evoMoves[p] = {read.evoMoves[p].evolutions, read.evoMoves[p].moves};
        eggMoves[p] = read.eggMoves[p].moves;
    }
    (void)rom::EvoMoveRoom(read);
    (void)rom::EggMoveRoom(read);
    std::vector<uint8_t> after = image;
    Require(!rom::LayEvoMoveLists(after, read, evoMoves).has_value());
    Require(!rom::LayEggMoveLists(after, read, eggMoves).has_value());
    Require(after == image);
    return 0;
}
