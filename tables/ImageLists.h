#pragma once
// The species' lists of an image opened for the table tools: the binary
// model of rom/SpeciesLists.h, read from a TableImage, with its refusals
// worded by species name.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "rom/SpeciesLists.h"
#include "tables/SpeciesTable.h"

namespace tables {

using rom::EggMoveBytes;
using rom::EggMoveList;
using rom::EvoMoveBytes;
using rom::EvoMoveContents;
using rom::EvoMoveList;
using rom::Evolution;
using rom::EvolutionMethod;
using rom::kBankSize;
using rom::kEggListEnd;
using rom::kHighestLevel;
using rom::kHighestMove;
using rom::kMachineBytes;
using rom::kMachineBytesOffset;
using rom::kPointerTableLength;
using rom::kTradeHoldingNothing;
using rom::LevelMove;
using rom::ListLayout;
using rom::ListPlace;
using rom::MachineBit;
using rom::MachineBytes;
using rom::ReadEvoMoveListAt;
using rom::ReadSpeciesLists;
using rom::SetMachineBit;
using rom::SpeciesLists;

// The list layout of the image (rom::ListLayoutOf of its bytes and layout).
ListLayout ListLayoutOf(const TableImage& image);
SpeciesLists ReadSpeciesLists(const TableImage& image);

// rom::LayEvoMoveLists and rom::LayEggMoveLists, their refusal worded for
// people ("species 12 (Butterfree)"); empty when the lists were laid in.
std::string LayEvoMoveLists(std::vector<uint8_t>& image, const SpeciesLists& lists,
                            const std::array<EvoMoveContents, rom::kSpeciesCount>& wanted);
std::string LayEggMoveLists(std::vector<uint8_t>& image, const SpeciesLists& lists,
                            const std::array<std::vector<uint8_t>, rom::kSpeciesCount>& wanted);

// The room of one table's lists in words (rom::EvoMoveRoom, rom::EggMoveRoom):
// "6 bytes free of 13094"; "unknown (a list cannot be read), 13094 bytes in
// all"; for an area that ends with its last list, the note that the lists
// may shrink there but never grow.
std::string RoomText(const rom::ListRoom& room);

// Which list areas a room line is about.
enum class RoomOf { EvoMoves, EggMoves };

// "Room for evolutions and level-up moves: 6 bytes free of 13094." and, with
// `after` (the lists as an import would leave them), "; the import would
// leave 2 bytes free." instead of the full stop. Nothing for the egg moves of
// an image without a known egg move table.
std::optional<std::string> RoomLine(RoomOf area, const SpeciesLists& before, const SpeciesLists* after = nullptr);

}  // namespace tables
