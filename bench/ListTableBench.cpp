// The four list tables (machines, evolutions, moves, egg moves) as whole
// quillmere-cli processes, started and waited for, on a 2 MiB Crystal image
// laid out like a release: export as CSV, import of the unchanged export, and
// import of an export in which every species changes (all machine bits
// flipped; one more evolution, level-up move or egg move per species, so that
// every list of the table is packed again). The changing import alternates
// with the unchanged one, so that each run changes everything again.

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/RunProgram.h"
#include "rom/ImageFacts.h"
#include "rom/ReleaseLayouts.h"
#include "rom/VersionDetection.h"
#include "tables/ListTables.h"
#include "tables/ImageLists.h"
#include "tests/support/PackedLists.h"

namespace {

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

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The export with a change for every species: machine cells flipped, or one
// more row after each species' rows for the list tables.
std::string Changed(const std::string& exported, tables::ListTable table) {
    std::string changed;
    const auto extra = [&](const std::string& position) {
        const std::string lead = position + ",,";
        if (table == tables::ListTable::Evolutions) changed += lead + "Level,100,,,,Celebi\r\n";
        if (table == tables::ListTable::Moves) changed += lead + "100,Pound\r\n";
        if (table == tables::ListTable::EggMoves) changed += lead + "Pound\r\n";
    };
    std::string previous;
    size_t start = exported.find("\r\n") + 2;
    changed = exported.substr(0, start);  // the header
    while (start < exported.size()) {
        const size_t end = exported.find("\r\n", start);
        std::string line = exported.substr(start, end - start);
        start = end + 2;
        const std::string position = line.substr(0, line.find(','));
        if (table == tables::ListTable::Machines) {
            for (size_t i = line.find(',', line.find(',') + 1); i < line.size(); ++i) {
                if (line[i] == '0' || line[i] == '1') line[i] = line[i] == '0' ? '1' : '0';
            }
            changed += line + "\r\n";
            continue;
        }
        if (!previous.empty() && position != previous) extra(previous);
        if (line.back() != ',') changed += line + "\r\n";  // not the row of a species without entries
        previous = position;
    }
    if (!previous.empty()) extra(previous);
    return changed;
}

void ExportProcess(benchmark::State& state, tables::ListTable table) {
    const ListImage image;
    const std::string name(tables::ListTableName(table));
    for (auto _ : state) {
        if (!bench::RunProgram(QUILLMERE_CLI_PATH, {"export", image.path(), "--table", name})) {
            state.SkipWithError("quillmere-cli failed");
        }
    }
}

void ImportProcess(benchmark::State& state, tables::ListTable table, bool changing) {
    const ListImage image;
    const std::string name(tables::ListTableName(table));
    const std::string unchanged = image.InFolder("unchanged.csv");
    const std::string changed = image.InFolder("changed.csv");
    if (!bench::RunProgram(QUILLMERE_CLI_PATH, {"export", image.path(), "--table", name, "-o", unchanged})) {
        state.SkipWithError("export failed");
        return;
    }
    std::ofstream(changed, std::ios::binary) << Changed(ReadFile(unchanged), table);
    bool flip = false;
    for (auto _ : state) {
        const std::string& path = changing && !flip ? changed : unchanged;
        flip = !flip;
        if (!bench::RunProgram(QUILLMERE_CLI_PATH, {"import", image.path(), path, "--table", name})) {
            state.SkipWithError("quillmere-cli failed");
        }
    }
}

constexpr tables::ListTable kMachines = tables::ListTable::Machines;
constexpr tables::ListTable kEvolutions = tables::ListTable::Evolutions;
constexpr tables::ListTable kMoves = tables::ListTable::Moves;
constexpr tables::ListTable kEggMoves = tables::ListTable::EggMoves;

BENCHMARK_CAPTURE(ExportProcess, machines, kMachines)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(ExportProcess, evolutions, kEvolutions)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(ExportProcess, moves, kMoves)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(ExportProcess, egg_moves, kEggMoves)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(ImportProcess, machines_unchanged, kMachines, false)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(ImportProcess, evolutions_unchanged, kEvolutions, false)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(ImportProcess, moves_unchanged, kMoves, false)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(ImportProcess, egg_moves_unchanged, kEggMoves, false)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(ImportProcess, machines_all_changed, kMachines, true)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(ImportProcess, evolutions_all_grown, kEvolutions, true)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(ImportProcess, moves_all_grown, kMoves, true)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(ImportProcess, egg_moves_all_grown, kEggMoves, true)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
