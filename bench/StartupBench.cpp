// quillmere-cli's start-up as whole processes: --help (the start alone), info
// (the start, one read of a 2 MiB image, its checksums and SHA-1), the
// species table's CSV export, and a diff of two such images, on a Crystal image
// laid out like a release.
// Beside the wall time each reports the process's own CPU time ("cpu_ms"),
// which the summary holds against 10 ms.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/ListImage.h"
#include "bench/RunProgram.h"
#include "rom/ReleaseLayouts.h"

namespace {

void RunTimed(benchmark::State& state, const std::vector<std::string>& arguments, int expected = 0) {
    double cpu = 0;
    for (auto _ : state) {
        double seconds = 0;
        if (!bench::RunProgram(QUILLMERE_CLI_PATH, arguments, &seconds, expected)) {
            state.SkipWithError("quillmere-cli failed");
        }
        cpu += seconds;
    }
    state.counters["cpu_ms"] = benchmark::Counter(cpu * 1e3, benchmark::Counter::kAvgIterations);
}

void BM_CliStart_Help_Process(benchmark::State& state) {
    RunTimed(state, {"--help"});
}
BENCHMARK(BM_CliStart_Help_Process)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CliInfo_Process(benchmark::State& state) {
    const bench::ListImage image;
    RunTimed(state, {"info", image.path()});
}
BENCHMARK(BM_CliInfo_Process)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CliExportCsv_Process(benchmark::State& state) {
    const bench::ListImage image;
    RunTimed(state, {"export", image.path(), "-o", image.InFolder("species.csv")});
}
BENCHMARK(BM_CliExportCsv_Process)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CliDiff_Process(benchmark::State& state) {
    const bench::ListImage image;
    // The second image: a copy with one byte of a base record changed.
    const std::string other = image.InFolder("other.gbc");
    std::filesystem::copy_file(image.path(), other);
    std::fstream file(other, std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(static_cast<std::streamoff>(rom::FindReleaseLayout("BYTE", 0)->tables.BaseStatsOffset + 32 * 25 + 1));
    file.put('\x7B');
    file.close();
    RunTimed(state, {"diff", image.path(), other}, 1);  // 1: they differ
}
BENCHMARK(BM_CliDiff_Process)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
