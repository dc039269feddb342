#pragma once
// A species beyond its 23 fields: the machines it can learn (the last 8 bytes
// of its base record), its evolutions and level-up moves (the list the
// evolution/move pointer table points at) and its egg moves (the list the egg
// move pointer table points at). Read from a whole image in memory, and the
// way back: lists laid into an image again, in place or packed.
//
// Pointers are 2-byte little-endian addresses 0x4000 to 0x7FFF inside the
// 16 KiB bank that holds their table. A list that leaves its bank before its
// terminator, or a pointer outside that range, makes that species' list
// unreadable; nothing is guessed around it.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "rom/ImageFacts.h"
#include "rom/SpeciesLayout.h"

namespace rom {

inline constexpr int64_t kBankSize = 0x4000;
inline constexpr int32_t kPointerTableLength = kSpeciesCount * 2;
inline constexpr int32_t kMachineBytesOffset = 24;  // in the base record
inline constexpr int32_t kMachineBytes = 8;
inline constexpr int32_t kHighestLevel = 100;
inline constexpr int32_t kHighestMove = 251;
inline constexpr uint8_t kEggListEnd = 0xFF;
inline constexpr uint8_t kTradeHoldingNothing = 0xFF;

// How far the lists of one pointer table may reach when they are packed again.
enum class ListAreaKind : uint8_t {
    // From the end of the pointer table to the end of the last list: the
    // lists may shrink but never grow (an image that tells no free space).
    ListsOnly,
    // From the end of the pointer table to the end of its bank: an official
    // release, whose lists follow the table and whose bank ends in free bytes.
    ToBankEnd,
    // From the first list to the end of the last, and on to the end of the
    // bank when only 0 bytes follow the last list: a modified game, which may
    // keep data of its own anywhere else (between the table and its lists).
    FromFirstList,
};

struct ListAreaRule {
    ListAreaKind kind = ListAreaKind::ListsOnly;
    // FromFirstList: the first byte from which the bank holds only 0 bytes to
    // its end (the bank's end when its last byte is not 0).
    int64_t zerosFrom = 0;
};

// Where the pointer tables of an image lie and how far their lists may grow.
struct ListLayout {
    int32_t evoMovePointers = 0;
    std::optional<int32_t> eggMovePointers;  // none: the image has no known egg move table
    ListAreaRule evoMoveArea;
    ListAreaRule eggMoveArea;
};

// The list layout of an image, from the layout it was opened with: the
// evolution/move pointers of its profile; the egg move table of its layout
// (the code's, the ".tables" file's "eggs" line, or the release's that the
// header of an image built by hand names), else none. The area rule of each
// table: ToBankEnd where the header names a release (game code at 0x13F to
// 0x142, revision at 0x14C) and the table lies where that release keeps it;
// FromFirstList for any other table of a complete image whose code or
// ".tables" file proved it; ListsOnly for the ".tables" file's tables of an
// image that is not complete.
ListLayout ListLayoutOf(std::span<const uint8_t> image, const VersionProfile& profile,
                        const ResolvedLayout& resolved);

enum class EvolutionMethod : uint8_t { Level = 1, Item = 2, Trade = 3, Happiness = 4, Stats = 5 };

// One evolution as stored: the method, then its bytes (level; item; item or
// 0xFF for holding nothing; when; level and how), then the species number.
// Bytes the method does not store are 0.
struct Evolution {
    EvolutionMethod method = EvolutionMethod::Level;
    uint8_t level = 0;
    uint8_t item = 0;
    uint8_t when = 0;   // happiness: 1 any time, 2 morning and day, 3 night
    uint8_t stats = 0;  // 1 Attack greater than Defense, 2 less, 3 equal
    uint8_t into = 0;   // species number, position + 1
    friend bool operator==(const Evolution&, const Evolution&) = default;
};

struct LevelMove {
    uint8_t level = 0;
    uint8_t move = 0;
    friend bool operator==(const LevelMove&, const LevelMove&) = default;
};

// Where a list lies in the file and how many bytes it takes, terminators
// included; or why it cannot be read.
struct ListPlace {
    int64_t offset = 0;
    int64_t length = 0;
    std::string unreadable;  // empty when the list was read
    bool readable() const { return unreadable.empty(); }
};

struct EvoMoveList {
    ListPlace place;
    std::vector<Evolution> evolutions;
    std::vector<LevelMove> moves;
};

struct EggMoveList {
    ListPlace place;
    std::vector<uint8_t> moves;
};

using MachineBytes = std::array<uint8_t, kMachineBytes>;

struct SpeciesLists {
    ListLayout layout;
    std::array<MachineBytes, kSpeciesCount> machines{};
    std::array<EvoMoveList, kSpeciesCount> evoMoves;
    bool hasEggMoves = false;  // false: eggMoves holds nothing
    std::array<EggMoveList, kSpeciesCount> eggMoves;
};

// Where the lists of one pointer table may lie when they are packed again:
// from `start` to `end`.
struct ListArea {
    int64_t start = 0;
    int64_t end = 0;
    bool toBankEnd = false;  // the area runs to the end of the table's bank (free bytes after the last list)
};

// The area of the lists of the pointer table at `pointers` under `rule` (see
// ListAreaKind), from where the lists lie now.
ListArea ListAreaOf(int64_t pointers, const ListAreaRule& rule, std::span<const ListPlace* const> places);

// The room of one table's lists: the bytes of its area and those its lists
// leave free when packed (identical egg lists once); `free` is none while a
// list is unreadable, since packing would refuse.
struct ListRoom {
    int64_t area = 0;
    std::optional<int64_t> free;
    bool grows = false;  // the lists may grow into free bytes after the last one
};
struct SpeciesLists;
ListRoom EvoMoveRoom(const SpeciesLists& lists);
// None when the image has no known egg move table.
std::optional<ListRoom> EggMoveRoom(const SpeciesLists& lists);

// Reads the machines and every list of every species.
SpeciesLists ReadSpeciesLists(std::span<const uint8_t> image, const VersionProfile& profile,
                              const ListLayout& layout);

// The evolutions and level-up moves at a bank-local `address` of the bank
// that holds the pointer table at `table`, as a pointer holding it would
// lead to them; unreadable for an address outside 0x4000 to 0x7FFF.
EvoMoveList ReadEvoMoveListAt(std::span<const uint8_t> image, int64_t table, uint16_t address);

// The first pointer of the table at `table` (evolution/move lists, or egg
// move lists with `eggs`) that does not lead to a complete list inside its
// bank, as a clause in lower case ("the pointer of species 6 at 0x425BB ...");
// nullopt when every one does. Level-up moves in any order are complete.
std::optional<std::string> FirstIncompleteList(std::span<const uint8_t> image, int64_t table, bool eggs);

// Whether the machine bit k (0 to 63) is set.
bool MachineBit(const MachineBytes& bytes, int k);
void SetMachineBit(MachineBytes& bytes, int k, bool on);

// The bytes of a list as stored: evolutions, 0, level-up moves, 0; egg moves, 0xFF.
std::vector<uint8_t> EvoMoveBytes(std::span<const Evolution> evolutions, std::span<const LevelMove> moves);
std::vector<uint8_t> EggMoveBytes(std::span<const uint8_t> moves);

// The lists one table should hold after an import, one per species.
struct EvoMoveContents {
    std::vector<Evolution> evolutions;
    std::vector<LevelMove> moves;
    friend bool operator==(const EvoMoveContents&, const EvoMoveContents&) = default;
};

// Lays the lists into `image` (a copy of the image's bytes, changed in
// memory only): a changed list that keeps its length and is nobody else's is
// written where it lies; otherwise every list of the table is packed again
// after its pointer table, in species order (identical egg lists once, and
// the one empty egg list after the last list, as the releases lay them), the
// pointers rewritten and the rest of the area set to 0. Returns why they
// cannot be, or nothing when the lists were laid in.
struct ListLayRefusal {
    std::string text;  // the whole refusal; or, with unreadableSpecies, why that list is unreadable
    int32_t unreadableSpecies = -1;  // the species whose unreadable list stopped the packing
};
std::optional<ListLayRefusal> LayEvoMoveLists(std::vector<uint8_t>& image, const SpeciesLists& lists,
                            const std::array<EvoMoveContents, kSpeciesCount>& wanted);
std::optional<ListLayRefusal> LayEggMoveLists(std::vector<uint8_t>& image, const SpeciesLists& lists,
                            const std::array<std::vector<uint8_t>, kSpeciesCount>& wanted);

}  // namespace rom
