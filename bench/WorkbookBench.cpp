// The workbook of every table as whole quillmere-cli processes on a 2 MiB
// Crystal image laid out like a release, beside the species table's CSV
// export on the same image: export, import of the unchanged workbook, and
// import of one in which one species' HP and one level-up move more change
// (the lists packed again). The changing import alternates with the
// unchanged one, so that each run changes the image again.

#include <benchmark/benchmark.h>

#include <fstream>
#include <string>
#include <vector>

#include "bench/ListImage.h"
#include "bench/RunProgram.h"
#include "formats/Workbook.h"
#include "tables/ImageLists.h"
#include "tables/SpeciesTable.h"
#include "tables/WorkbookTables.h"

namespace {

// The image's workbook with species 5's HP and one more level-up move of
// species 3 changed, written by the library's own writer.
bool WriteChangedWorkbook(const std::string& imagePath, const std::string& path) {
    std::string refusal;
    const std::optional<tables::TableImage> image = tables::OpenTableImage(imagePath, refusal);
    if (!image) return false;
    formats::WorkbookContent content = tables::ImageWorkbook(*image, tables::ReadSpeciesLists(*image), "bench");
    auto& species = content.sheets[0].rows;
    species[6][2] = formats::WorkbookCell::Number(species[6][2].number == 1 ? 2 : 1);
    auto& moves = content.sheets[3].rows;
    moves.push_back({formats::WorkbookCell::Number(3), {}, formats::WorkbookCell::Number(100),
                     formats::WorkbookCell::Text("Pound")});
    const formats::WrittenWorkbook written = formats::WriteWorkbook(content);
    std::ofstream(path, std::ios::binary) << written.bytes;
    return written.ok();
}

// The process's CPU time of each run, as the counter "cpu_ms" (per run).
class CpuTime {
public:
    explicit CpuTime(benchmark::State& state) : state_(state) {}
    ~CpuTime() { state_.counters["cpu_ms"] = benchmark::Counter(total_ * 1e3, benchmark::Counter::kAvgIterations); }
    CpuTime(const CpuTime&) = delete;
    CpuTime& operator=(const CpuTime&) = delete;
    bool Run(const std::vector<std::string>& arguments) {
        double seconds = 0;
        const bool ran = bench::RunProgram(QUILLMERE_CLI_PATH, arguments, &seconds);
        total_ += seconds;
        return ran;
    }

private:
    benchmark::State& state_;
    double total_ = 0;
};

void BM_WorkbookSpeciesCsvExport_Process(benchmark::State& state) {
    const bench::ListImage image;
    for (auto _ : state) {
        if (!bench::RunProgram(QUILLMERE_CLI_PATH, {"export", image.path(), "-o", image.InFolder("species.csv")})) {
            state.SkipWithError("quillmere-cli failed");
        }
    }
}
BENCHMARK(BM_WorkbookSpeciesCsvExport_Process)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_WorkbookExport_Process(benchmark::State& state) {
    const bench::ListImage image;
    CpuTime cpu(state);
    for (auto _ : state) {
        if (!cpu.Run({"export", image.path(), "-o", image.InFolder("tables.xlsx")})) {
            state.SkipWithError("quillmere-cli failed");
        }
    }
}
BENCHMARK(BM_WorkbookExport_Process)->Unit(benchmark::kMillisecond)->UseRealTime();

void WorkbookImport(benchmark::State& state, bool changing) {
    const bench::ListImage image;
    const std::string unchanged = image.InFolder("unchanged.xlsx");
    const std::string changed = image.InFolder("changed.xlsx");
    if (!bench::RunProgram(QUILLMERE_CLI_PATH, {"export", image.path(), "-o", unchanged}) ||
        !WriteChangedWorkbook(image.path(), changed)) {
        state.SkipWithError("the workbooks could not be made");
        return;
    }
    bool flip = false;
    CpuTime cpu(state);
    for (auto _ : state) {
        // The unchanged workbook's Pointer column is the image's own; after
        // the changed one moved the pointers it is left out of the checks by
        // taking only the moves sheet back.
        const std::string& path = changing && !flip ? changed : unchanged;
        std::vector<std::string> arguments{"import", image.path(), path};
        if (changing && flip) arguments.insert(arguments.end(), {"--table", "moves"});
        flip = !flip;
        if (!cpu.Run(arguments)) state.SkipWithError("quillmere-cli failed");
    }
}

void BM_WorkbookImport_Unchanged_Process(benchmark::State& state) { WorkbookImport(state, false); }
BENCHMARK(BM_WorkbookImport_Unchanged_Process)->Unit(benchmark::kMillisecond)->UseRealTime();
void BM_WorkbookImport_Changed_Process(benchmark::State& state) { WorkbookImport(state, true); }
BENCHMARK(BM_WorkbookImport_Changed_Process)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
