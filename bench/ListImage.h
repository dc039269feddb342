#pragma once
// A 2 MiB Crystal image laid out like the first release, in a temporary
// folder removed with it, its lists packed by the library after their
// pointer tables: for the benchmarks of the list tables and the workbook.

#include <unistd.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "rom/ImageFacts.h"
#include "rom/ReleaseLayouts.h"
#include "rom/VersionDetection.h"
#include "tables/ImageLists.h"
#include "tests/support/PackedLists.h"
#include "tests/support/TableRoutines.h"

namespace bench {

// A Crystal image of the first release's layout in a temporary folder, its
// lists packed by the library after their pointer tables.
class ListImage {
public:
    ListImage() {
        std::string pattern = (std::filesystem::temp_directory_path() / "quillmere-bench-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot create a temporary folder");
        folder_ = pattern;
        path_ = (folder_ / "image.gbc").string();

        const rom::ReleaseLayout& row = *rom::FindReleaseLayout("BYTE", 0);
        tables::TableImage image;
        image.version = rom::GameVersion::Crystal;
        image.layout = rom::ImageLayout::Released;
        image.profile = row.tables;
        image.bytes.assign(static_cast<size_t>(row.imageSize), 0);
        image.bytes[rom::kVersionByteOffset] = rom::HeaderByteOf(image.version);
        std::copy(row.gameCode.begin(), row.gameCode.end(), image.bytes.begin() + rom::kGameCodeOffset);
        image.bytes[rom::kRomSizeOffset] = 6;  // 2 MiB
        std::array<tables::EvoMoveContents, rom::kSpeciesCount> evoMoves;
        std::array<std::vector<uint8_t>, rom::kSpeciesCount> eggMoves;
        for (size_t p = 0; p < evoMoves.size(); ++p) {
            const auto base = static_cast<size_t>(row.tables.BaseStatsOffset) + 32 * p;
            image.bytes[base] = static_cast<uint8_t>(p + 1);
            for (size_t k = 0; k < 8; ++k) image.bytes[base + 24 + k] = static_cast<uint8_t>(p * 13 + k * 7);
            if (p % 3 == 0) evoMoves[p].evolutions.push_back({tables::EvolutionMethod::Level, 16, 0, 0, 0, 2});
            for (uint8_t k = 0; k < 4; ++k) {
                evoMoves[p].moves.push_back({static_cast<uint8_t>(1 + 9 * k), static_cast<uint8_t>(p % 200 + k + 1)});
            }
            if (p % 2 == 0) eggMoves[p] = {static_cast<uint8_t>(p % 251 + 1), 45};
        }
        evoMoves[testsupport::kOutOfOrderSpecies].moves = testsupport::OutOfOrderLevelUpMoves();
        if (!testsupport::PackLists(image, row, evoMoves, eggMoves).empty()) {
            throw std::runtime_error("the benchmark image's lists do not fit");
        }
        testsupport::PlantTableRoutines(image.bytes, {row.tables.BaseStatsOffset, row.tables.MenuIconOffset,
                                                      row.tables.CryTableOffset, row.tables.EvoMovePointerOffset,
                                                      row.eggMovePointerOffset});
        image.bytes[rom::kHeaderChecksumOffset] = rom::HeaderChecksum(image.bytes);
        std::ofstream(path_, std::ios::binary)
            .write(reinterpret_cast<const char*>(image.bytes.data()), static_cast<std::streamsize>(image.bytes.size()));
    }
    ~ListImage() {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    ListImage(const ListImage&) = delete;
    ListImage& operator=(const ListImage&) = delete;

    const std::string& path() const { return path_; }
    std::string InFolder(const std::string& name) const { return (folder_ / name).string(); }

private:
    std::filesystem::path folder_;
    std::string path_;
};

}  // namespace bench
