#pragma once
// The five routines through which the game reads its species tables, planted
// in a synthetic image laid out like a release: a complete image is edited
// only where these routines say its tables are. They lie where no table and
// no list area of any release lies: four at the end of bank 0, the menu
// icons' routine at the end of the icon table's own bank (that routine
// carries no bank operand).

#include <algorithm>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "rom/CodeRoutines.h"

namespace testsupport {

// Where each table lies (file offsets of species position 0).
struct RoutineTables {
    int64_t base = 0;
    int64_t icons = 0;
    int64_t cries = 0;
    int64_t pointers = 0;
    int64_t eggs = 0;
};

inline constexpr int64_t kBaseRoutineAt = 0x3E00;
inline constexpr int64_t kCryRoutineAt = 0x3E40;
inline constexpr int64_t kEvoMoveRoutineAt = 0x3E80;
inline constexpr int64_t kEggMoveRoutineAt = 0x3EC0;
inline int64_t IconRoutineAt(int64_t icons) { return icons / rom::kRoutineBankSize * rom::kRoutineBankSize + 0x3F00; }

// The bytes of the routine `pattern` reading the table at `table`.
inline std::vector<uint8_t> RoutineFor(std::string_view pattern, int64_t table) {
    const auto address = static_cast<uint16_t>(0x4000 + table % rom::kRoutineBankSize);
    return rom::RoutinePattern(pattern).Bytes(address, static_cast<uint8_t>(table / rom::kRoutineBankSize));
}

// Writes `routine` at `at` of `image`.
inline void PlantAt(std::span<uint8_t> image, int64_t at, const std::vector<uint8_t>& routine) {
    if (at < 0 || at + static_cast<int64_t>(routine.size()) > static_cast<int64_t>(image.size())) {
        throw std::out_of_range("a routine planted outside the test image");
    }
    std::copy(routine.begin(), routine.end(), image.begin() + at);
}

// Plants all five routines, each reading its table at `tables`.
inline void PlantTableRoutines(std::span<uint8_t> image, const RoutineTables& tables) {
    PlantAt(image, kBaseRoutineAt, RoutineFor(rom::kBaseRecordRoutine, tables.base));
    PlantAt(image, IconRoutineAt(tables.icons), RoutineFor(rom::kMenuIconRoutine, tables.icons));
    PlantAt(image, kCryRoutineAt, RoutineFor(rom::kCryRoutine, tables.cries));
    PlantAt(image, kEvoMoveRoutineAt, RoutineFor(rom::kEvoMovePointerRoutine, tables.pointers));
    PlantAt(image, kEggMoveRoutineAt, RoutineFor(rom::kEggMovePointerRoutine, tables.eggs));
}

// Clears the five routines PlantTableRoutines planted (their bytes 0): an
// image whose code says nothing of where its tables are.
inline void RemoveTableRoutines(std::span<uint8_t> image, int64_t icons) {
    for (const int64_t at : {kBaseRoutineAt, kCryRoutineAt, kEvoMoveRoutineAt, kEggMoveRoutineAt, IconRoutineAt(icons)}) {
        std::fill(image.begin() + at, image.begin() + at + 0x20, uint8_t{0});
    }
}

}  // namespace testsupport
