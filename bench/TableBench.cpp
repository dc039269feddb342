// The whole-table tools: export and import of all 251 species, in the process
// (through the tables library, as quillmere-cli calls it) and as a whole
// process (quillmere-cli started, run to its end and waited for).
//
// Imports come in three kinds: an export imported unchanged (read, check,
// plan, nothing written), one that changes every field of every species and
// one that changes two fields of one species. A changing import is measured
// both ways it can write: whole (the 2 MiB image written beside the old one,
// flushed, renamed over it, the folder flushed: the default) and in place
// (each run of changed bytes written into the file, then one flush:
// --in-place). It alternates between two tables, so that each run changes
// the image again.

#include <benchmark/benchmark.h>

#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "bench/BenchImage.h"
#include "bench/RunProgram.h"
#include "rom/FailureReporter.h"
#include "tables/SpeciesTable.h"
#include "tables/SpeciesRows.h"
#include "tables/TableImport.h"

namespace {

constexpr rom::GameVersion kVersion = rom::GameVersion::Crystal;

tables::TableImage OpenOrThrow(const std::string& path) {
    std::string refusal;
    std::optional<tables::TableImage> image = tables::OpenTableImage(path, refusal);
    if (!image) throw std::runtime_error("cannot open the benchmark image: " + refusal);
    return std::move(*image);
}

// The image's export, a second table in which every byte differs, and a
// third in which two fields of one species differ.
struct Tables {
    std::string unchanged;
    std::string changed;
    std::string oneSpecies;
    std::string unchangedPath;
    std::string changedPath;
    std::string oneSpeciesPath;
};

Tables MakeTables(const bench::BenchImage& image, tables::TableFormat format, const std::string& suffix) {
    tables::TableImage opened = OpenOrThrow(image.path());
    Tables made;
    made.unchanged = tables::ExportTable(opened, format);
    tables::TableImage one = opened;
    one.table[24].fields[0][0] ^= 0x01;  // HP
    one.table[24].fields[1][0] ^= 0x01;  // ATK
    made.oneSpecies = tables::ExportTable(one, format);
    for (auto& species : opened.table) {
        for (auto& field : species.fields) {
            field[0] ^= 0x01;
            field[1] ^= 0x01;
        }
    }
    made.changed = tables::ExportTable(opened, format);
    made.unchangedPath = image.path() + ".unchanged" + suffix;
    made.changedPath = image.path() + ".changed" + suffix;
    made.oneSpeciesPath = image.path() + ".one-species" + suffix;
    std::ofstream(made.unchangedPath, std::ios::binary) << made.unchanged;
    std::ofstream(made.changedPath, std::ios::binary) << made.changed;
    std::ofstream(made.oneSpeciesPath, std::ios::binary) << made.oneSpecies;
    return made;
}

bool ImportInProcess(const std::string& imagePath, const std::string& text, tables::TableFormat format,
                     rom::ImageWriteMode mode) {
    std::string refusal;
    const std::optional<tables::TableImage> image = tables::OpenTableImage(imagePath, refusal);
    if (!image) return false;
    const tables::ImportedTable imported = tables::ReadTable(text, format);
    if (!imported.ok()) return false;
    return tables::WriteChanges(*image, tables::PlanImport(*image, imported), mode);
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

enum class Change { None, AllFields, OneSpecies };

void ImportBench(benchmark::State& state, tables::TableFormat format, Change change,
                 rom::ImageWriteMode mode = rom::ImageWriteMode::Whole) {
    const bench::BenchImage image(kVersion);
    const Tables made = MakeTables(image, format, "");
    const std::string& changed = change == Change::OneSpecies ? made.oneSpecies : made.changed;
    bool flip = false;
    for (auto _ : state) {
        const std::string& text = change != Change::None && !flip ? changed : made.unchanged;
        flip = !flip;
        if (!ImportInProcess(image.path(), text, format, mode)) state.SkipWithError("import failed");
    }
}

constexpr auto kCsv = tables::TableFormat::Csv;
constexpr auto kInPlace = rom::ImageWriteMode::InPlace;

void BM_TableImportCsv_Unchanged_InProcess(benchmark::State& state) { ImportBench(state, kCsv, Change::None); }
BENCHMARK(BM_TableImportCsv_Unchanged_InProcess)->Unit(benchmark::kMillisecond);
void BM_TableImportJson_Unchanged_InProcess(benchmark::State& state) {
    ImportBench(state, tables::TableFormat::Json, Change::None);
}
BENCHMARK(BM_TableImportJson_Unchanged_InProcess)->Unit(benchmark::kMillisecond);
void BM_TableImportCsv_AllChanged_InProcess(benchmark::State& state) { ImportBench(state, kCsv, Change::AllFields); }
BENCHMARK(BM_TableImportCsv_AllChanged_InProcess)->Unit(benchmark::kMillisecond);
void BM_TableImportCsv_AllChanged_InPlace_InProcess(benchmark::State& state) {
    ImportBench(state, kCsv, Change::AllFields, kInPlace);
}
BENCHMARK(BM_TableImportCsv_AllChanged_InPlace_InProcess)->Unit(benchmark::kMillisecond);
void BM_TableImportCsv_OneSpecies_InProcess(benchmark::State& state) { ImportBench(state, kCsv, Change::OneSpecies); }
BENCHMARK(BM_TableImportCsv_OneSpecies_InProcess)->Unit(benchmark::kMillisecond);
void BM_TableImportCsv_OneSpecies_InPlace_InProcess(benchmark::State& state) {
    ImportBench(state, kCsv, Change::OneSpecies, kInPlace);
}
BENCHMARK(BM_TableImportCsv_OneSpecies_InPlace_InProcess)->Unit(benchmark::kMillisecond);

void BM_TableExportCsv_Process(benchmark::State& state) {
    const bench::BenchImage image(kVersion);
    for (auto _ : state) {
        if (!bench::RunProgram(QUILLMERE_CLI_PATH, {"export", image.path()})) {
            state.SkipWithError("quillmere-cli failed");
        }
    }
}
BENCHMARK(BM_TableExportCsv_Process)->Unit(benchmark::kMillisecond)->UseRealTime();

void ProcessImportBench(benchmark::State& state, bool changing, bool inPlace = false) {
    const bench::BenchImage image(kVersion);
    const Tables made = MakeTables(image, tables::TableFormat::Csv, ".csv");
    bool flip = false;
    for (auto _ : state) {
        const std::string& path = changing && !flip ? made.changedPath : made.unchangedPath;
        flip = !flip;
        std::vector<std::string> arguments{"import", image.path(), path};
        if (inPlace) arguments.emplace_back("--in-place");
        if (!bench::RunProgram(QUILLMERE_CLI_PATH, arguments)) state.SkipWithError("quillmere-cli failed");
    }
}

void BM_TableImportCsv_Unchanged_Process(benchmark::State& state) { ProcessImportBench(state, false); }
BENCHMARK(BM_TableImportCsv_Unchanged_Process)->Unit(benchmark::kMillisecond)->UseRealTime();
void BM_TableImportCsv_AllChanged_Process(benchmark::State& state) { ProcessImportBench(state, true); }
BENCHMARK(BM_TableImportCsv_AllChanged_Process)->Unit(benchmark::kMillisecond)->UseRealTime();
void BM_TableImportCsv_AllChanged_InPlace_Process(benchmark::State& state) { ProcessImportBench(state, true, true); }
BENCHMARK(BM_TableImportCsv_AllChanged_InPlace_Process)->Unit(benchmark::kMillisecond)->UseRealTime();

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
