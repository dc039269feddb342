#pragma once
// The species' lists of an image opened for the table tools: the binary
// model of rom/SpeciesLists.h, read from a TableImage, with its refusals
// worded by species name.

#include <array>
#include <cstdint>
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

}  // namespace tables
