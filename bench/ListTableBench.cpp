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

#include "bench/ListImage.h"
#include "bench/RunProgram.h"
#include "rom/ImageFacts.h"
#include "rom/ReleaseLayouts.h"
#include "rom/VersionDetection.h"
#include "tables/ListTables.h"
#include "tables/ImageLists.h"
#include "tests/support/PackedLists.h"

namespace {

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
    const bench::ListImage image;
    const std::string name(tables::ListTableName(table));
    for (auto _ : state) {
        if (!bench::RunProgram(QUILLMERE_CLI_PATH, {"export", image.path(), "--table", name})) {
            state.SkipWithError("quillmere-cli failed");
        }
    }
}

void ImportProcess(benchmark::State& state, tables::ListTable table, bool changing) {
    const bench::ListImage image;
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
