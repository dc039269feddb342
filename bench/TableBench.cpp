// The whole-table tools: export and import of all 251 species, in the process
// (through the tables library, as quillmere-cli calls it) and as a whole
// process (quillmere-cli started, run to its end and waited for).
//
// Imports come in two kinds: an export imported unchanged (read, check, plan,
// nothing written) and one that changes every field of every species (every
// changed byte written, then the one flush). The changing import alternates
// between two tables, so that each run changes everything again.

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "bench/BenchImage.h"
#include "rom/FailureReporter.h"
#include "tables/SpeciesTable.h"
#include "tables/TableFormats.h"
#include "tables/TableImport.h"

extern char** environ;

namespace {

constexpr rom::GameVersion kVersion = rom::GameVersion::Crystal;

tables::TableImage OpenOrThrow(const std::string& path) {
    std::string refusal;
    std::optional<tables::TableImage> image = tables::OpenTableImage(path, refusal);
    if (!image) throw std::runtime_error("cannot open the benchmark image: " + refusal);
    return std::move(*image);
}

// The image's export, and a second table in which every byte differs.
struct Tables {
    std::string unchanged;
    std::string changed;
    std::string unchangedPath;
    std::string changedPath;
};

Tables MakeTables(const bench::BenchImage& image, tables::TableFormat format, const std::string& suffix) {
    tables::TableImage opened = OpenOrThrow(image.path());
    Tables made;
    made.unchanged = tables::ExportTable(opened, format);
    for (auto& species : opened.table) {
        for (auto& field : species.fields) {
            field[0] ^= 0x01;
            field[1] ^= 0x01;
        }
    }
    made.changed = tables::ExportTable(opened, format);
    made.unchangedPath = image.path() + ".unchanged" + suffix;
    made.changedPath = image.path() + ".changed" + suffix;
    std::ofstream(made.unchangedPath, std::ios::binary) << made.unchanged;
    std::ofstream(made.changedPath, std::ios::binary) << made.changed;
    return made;
}

bool ImportInProcess(const std::string& imagePath, const std::string& text, tables::TableFormat format) {
    std::string refusal;
    const std::optional<tables::TableImage> image = tables::OpenTableImage(imagePath, refusal);
    if (!image) return false;
    const tables::ImportedTable imported = tables::ReadTable(text, format);
    if (!imported.ok()) return false;
    return tables::WriteChanges(*image, tables::PlanImport(*image, imported));
}

// Runs quillmere-cli with the arguments, its output to /dev/null; true when it
// exits with status 0.
bool RunProgram(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), QUILLMERE_CLI_PATH);
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t child = 0;
    const int spawned = posix_spawn(&child, QUILLMERE_CLI_PATH, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return false;
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void BM_TableExportCsv_InProcess(benchmark::State& state) {
    const bench::BenchImage image(kVersion);
    for (auto _ : state) {
        std::string refusal;
        std::optional<tables::TableImage> opened = tables::OpenTableImage(image.path(), refusal);
        if (!opened) state.SkipWithError("open failed");
        benchmark::DoNotOptimize(tables::ExportCsv(opened->table));
    }
}
BENCHMARK(BM_TableExportCsv_InProcess)->Unit(benchmark::kMillisecond);

void BM_TableExportJson_InProcess(benchmark::State& state) {
    const bench::BenchImage image(kVersion);
    for (auto _ : state) {
        std::string refusal;
        std::optional<tables::TableImage> opened = tables::OpenTableImage(image.path(), refusal);
        if (!opened) state.SkipWithError("open failed");
        benchmark::DoNotOptimize(tables::ExportJson(*opened));
    }
}
BENCHMARK(BM_TableExportJson_InProcess)->Unit(benchmark::kMillisecond);

void ImportBench(benchmark::State& state, tables::TableFormat format, bool changing) {
    const bench::BenchImage image(kVersion);
    const Tables made = MakeTables(image, format, "");
    bool flip = false;
    for (auto _ : state) {
        const std::string& text = changing && !flip ? made.changed : made.unchanged;
        flip = !flip;
        if (!ImportInProcess(image.path(), text, format)) state.SkipWithError("import failed");
    }
}

void BM_TableImportCsv_Unchanged_InProcess(benchmark::State& state) { ImportBench(state, tables::TableFormat::Csv, false); }
BENCHMARK(BM_TableImportCsv_Unchanged_InProcess)->Unit(benchmark::kMillisecond);
void BM_TableImportJson_Unchanged_InProcess(benchmark::State& state) { ImportBench(state, tables::TableFormat::Json, false); }
BENCHMARK(BM_TableImportJson_Unchanged_InProcess)->Unit(benchmark::kMillisecond);
void BM_TableImportCsv_AllChanged_InProcess(benchmark::State& state) { ImportBench(state, tables::TableFormat::Csv, true); }
BENCHMARK(BM_TableImportCsv_AllChanged_InProcess)->Unit(benchmark::kMillisecond);

void BM_TableExportCsv_Process(benchmark::State& state) {
    const bench::BenchImage image(kVersion);
    for (auto _ : state) {
        if (!RunProgram({"export", image.path()})) state.SkipWithError("quillmere-cli failed");
    }
}
BENCHMARK(BM_TableExportCsv_Process)->Unit(benchmark::kMillisecond)->UseRealTime();

void ProcessImportBench(benchmark::State& state, bool changing) {
    const bench::BenchImage image(kVersion);
    const Tables made = MakeTables(image, tables::TableFormat::Csv, ".csv");
    bool flip = false;
    for (auto _ : state) {
        const std::string& path = changing && !flip ? made.changedPath : made.unchangedPath;
        flip = !flip;
        if (!RunProgram({"import", image.path(), path})) state.SkipWithError("quillmere-cli failed");
    }
}

void BM_TableImportCsv_Unchanged_Process(benchmark::State& state) { ProcessImportBench(state, false); }
BENCHMARK(BM_TableImportCsv_Unchanged_Process)->Unit(benchmark::kMillisecond)->UseRealTime();
void BM_TableImportCsv_AllChanged_Process(benchmark::State& state) { ProcessImportBench(state, true); }
BENCHMARK(BM_TableImportCsv_AllChanged_Process)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    // Failures would otherwise print once per run; a failed run is skipped.
    rom::SetFailureReporter([](const rom::Failure&) {});
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
