#pragma once
// Images for the list tests, laid out like an official release: the header's
// game code and revision name a release, every other byte follows the test
// pattern (so that a stray write shows up), and after each pointer table its
// lists follow in species order without gaps, identical egg lists once, the
// rest of the bank 0. The lists are made here byte by byte, without the
// library's writer.

#include <array>
#include <cstdint>
#include <map>
#include <string_view>
#include <vector>

#include "rom/ImageFacts.h"
#include "rom/ReleaseLayouts.h"
#include "rom/VersionDetection.h"
#include "tables/ImageLists.h"
#include "tests/support/PackedLists.h"
#include "tests/support/TableRoutines.h"
#include "tests/support/TestImage.h"

namespace listtest {

using tables::EvoMoveContents;
using tables::Evolution;
using tables::EvolutionMethod;

struct Lists {
    std::array<EvoMoveContents, rom::kSpeciesCount> evoMoves;
    std::array<std::vector<uint8_t>, rom::kSpeciesCount> eggMoves;
};

// Lists of every kind: each evolution method, species without evolutions,
// moves at one level and at rising levels, species 88's levels out of order
// as in every release, species without egg moves (one
// shared lone 0xFF) and a shared non-empty egg list.
inline Lists SyntheticLists() {
    Lists lists;
    for (int p = 0; p < rom::kSpeciesCount; ++p) {
        EvoMoveContents& c = lists.evoMoves[static_cast<size_t>(p)];
        const auto into = static_cast<uint8_t>(p % 250 + 2);
        switch (p % 6) {
            case 0:
                c.evolutions.push_back({EvolutionMethod::Level, static_cast<uint8_t>(p % 60 + 5), 0, 0, 0, into});
                break;
            case 1:
                c.evolutions.push_back({EvolutionMethod::Item, 0, static_cast<uint8_t>(p % 200 + 1), 0, 0, into});
                c.evolutions.push_back({EvolutionMethod::Trade, 0, 0xFF, 0, 0, into});
                break;
            case 2:
                c.evolutions.push_back({EvolutionMethod::Happiness, 0, 0, static_cast<uint8_t>(p % 3 + 1), 0, into});
                break;
            case 3:
                c.evolutions.push_back({EvolutionMethod::Stats, 20, 0, 0, static_cast<uint8_t>(p % 3 + 1), into});
                break;
            default:
                break;  // no evolution
        }
        const int count = p % 5;
        for (int k = 0; k < count; ++k) {
            c.moves.push_back({static_cast<uint8_t>(k == 0 ? 1 : 4 * k), static_cast<uint8_t>((p * 7 + k) % 251 + 1)});
        }
        if (p == testsupport::kOutOfOrderSpecies) c.moves = testsupport::OutOfOrderLevelUpMoves();
        std::vector<uint8_t>& egg = lists.eggMoves[static_cast<size_t>(p)];
        if (p % 4 == 1) egg = {33, 45};
        if (p % 4 == 2) egg = {static_cast<uint8_t>(p % 251 + 1), static_cast<uint8_t>((p + 9) % 251 + 1), 200};
    }
    return lists;
}

inline std::vector<uint8_t> EvoMoveListBytes(const EvoMoveContents& c) {
    std::vector<uint8_t> bytes;
    for (const Evolution& e : c.evolutions) {
        bytes.push_back(static_cast<uint8_t>(e.method));
        if (e.method == EvolutionMethod::Level) bytes.push_back(e.level);
        if (e.method == EvolutionMethod::Item || e.method == EvolutionMethod::Trade) bytes.push_back(e.item);
        if (e.method == EvolutionMethod::Happiness) bytes.push_back(e.when);
        if (e.method == EvolutionMethod::Stats) bytes.insert(bytes.end(), {e.level, e.stats});
        bytes.push_back(e.into);
    }
    bytes.push_back(0);
    for (const tables::LevelMove& m : c.moves) bytes.insert(bytes.end(), {m.level, m.move});
    bytes.push_back(0);
    return bytes;
}

// Lays the lists after the pointer table at `table`, in species order, and
// zeros the rest of the bank. With `share` (egg moves), as the releases lay
// them: identical lists once, and the lone 0xFF of every species without egg
// moves after the last list. Returns the first byte after the last list.
inline int64_t LayLists(std::vector<uint8_t>& image, int64_t table,
                        const std::array<std::vector<uint8_t>, rom::kSpeciesCount>& lists, bool share) {
    const int64_t bank = table / tables::kBankSize * tables::kBankSize;
    int64_t at = table + tables::kPointerTableLength;
    const std::vector<uint8_t> empty = {tables::kEggListEnd};
    std::map<std::vector<uint8_t>, int64_t> placed;
    const auto point = [&](size_t p, int64_t offset) {
        const int64_t address = 0x4000 + offset - bank;
        image[static_cast<size_t>(table + 2 * static_cast<int64_t>(p))] = static_cast<uint8_t>(address & 0xFF);
        image[static_cast<size_t>(table + 2 * static_cast<int64_t>(p) + 1)] = static_cast<uint8_t>(address >> 8);
    };
    for (int pass = 0; pass < (share ? 2 : 1); ++pass) {
        for (size_t p = 0; p < lists.size(); ++p) {
            if (share && (lists[p] == empty) != (pass == 1)) continue;
            int64_t offset = at;
            if (const auto found = placed.find(lists[p]); share && found != placed.end()) {
                offset = found->second;
            } else {
                placed.emplace(lists[p], at);
                std::copy(lists[p].begin(), lists[p].end(), image.begin() + at);
                at += static_cast<int64_t>(lists[p].size());
            }
            point(p, offset);
        }
    }
    std::fill(image.begin() + at, image.begin() + bank + tables::kBankSize, uint8_t{0});
    return at;
}

// The release row the image names: Crystal "BYTE" or Gold "AAUE", revision 0.
inline const rom::ReleaseLayout& RowOf(rom::GameVersion version) {
    return *rom::FindReleaseLayout(version == rom::GameVersion::Crystal ? "BYTE" : "AAUE", 0);
}

// The bytes of an image laid out like the release of `row`, all in memory.
inline std::vector<uint8_t> ReleaseLikeBytes(const Lists& lists, const rom::ReleaseLayout& row) {
    std::vector<uint8_t> image(static_cast<size_t>(row.imageSize));
    for (size_t i = 0; i < image.size(); ++i) image[i] = testsupport::TestImage::PatternByte(static_cast<int64_t>(i));
    image[rom::kVersionByteOffset] = testsupport::TestImage::HeaderByte(row.version);
    std::copy(row.gameCode.begin(), row.gameCode.end(), image.begin() + rom::kGameCodeOffset);
    image[rom::kRomVersionOffset] = row.revision;
    for (int p = 0; p < rom::kSpeciesCount; ++p) {
        image[static_cast<size_t>(row.tables.BaseStatsOffset + 32 * p)] = static_cast<uint8_t>(p + 1);
        image[static_cast<size_t>(row.tables.CryTableOffset + 6 * p + 1)] = 0;
    }
    std::array<std::vector<uint8_t>, rom::kSpeciesCount> evo;
    std::array<std::vector<uint8_t>, rom::kSpeciesCount> egg;
    for (size_t p = 0; p < evo.size(); ++p) {
        evo[p] = EvoMoveListBytes(lists.evoMoves[p]);
        egg[p] = lists.eggMoves[p];
        egg[p].push_back(0xFF);
    }
    LayLists(image, row.tables.EvoMovePointerOffset, evo, false);
    LayLists(image, row.eggMovePointerOffset, egg, true);
    testsupport::PlantTableRoutines(image, {row.tables.BaseStatsOffset, row.tables.MenuIconOffset,
                                            row.tables.CryTableOffset, row.tables.EvoMovePointerOffset,
                                            row.eggMovePointerOffset});
    return image;
}

inline testsupport::TestImage ReleaseLikeImage(const Lists& lists, rom::GameVersion version = rom::GameVersion::Crystal) {
    testsupport::TestImage file(testsupport::TestImage::HeaderByte(version));
    file.SetBytes(0, ReleaseLikeBytes(lists, RowOf(version)));
    file.MakeComplete();
    return file;
}

// The first byte after the evolution/move lists and the end of their bank.
inline int64_t BankEnd(int64_t table) { return table / tables::kBankSize * tables::kBankSize + tables::kBankSize; }

}  // namespace listtest
