// The window, offscreen: its loader for one species (the controls filled from
// the image), its save, and the time from the start of a process to the
// window shown, with that process's peak memory.
//
// The start is measured in child processes of this program, so that each one
// pays for loading the libraries and creating the application as the program
// does: `bench_window --startup-child` does what the program's main does up
// to the window being exposed, then reports to its parent and ends.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QListWidget>
#include <QTest>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <spawn.h>
#include <string>

#include "bench/BenchImage.h"
#include "editor/Editor.h"
#include "editor/SpeciesTransfer.h"
#include "rom/FailureReporter.h"
#include "rom/VersionDetection.h"
#include "ui/MessageBoxes.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

constexpr char kChildFlag[] = "--startup-child";
constexpr rom::GameVersion kVersion = rom::GameVersion::Crystal;
std::string gSelf;

int gProblems = 0;

class CountingBoxes : public ui::MessageBoxes {
public:
    void Show(const QString&, const QString&) override { ++gProblems; }
};

// A window with the image in use, shown and exposed, as after File, Open.
struct OpenWindow {
    bench::BenchImage image{kVersion};
    CountingBoxes boxes;
    Editor editor{&boxes};
    bool exposed = false;

    OpenWindow() {
        gProblems = 0;
        rom::SetFailureReporter([](const rom::Failure&) { ++gProblems; });
        EditorState& state = editor.State();
        state.RomFile = image.path();
        state.VersionCode = 41;
        state.Layout.emplace();
        state.Layout->kind = rom::ImageLayout::HandBuilt;
        state.Layout->profile = image.profile();
        state.Profile = image.profile();
        editor.show();
        exposed = QTest::qWaitForWindowExposed(&editor);
        editor.form.KreblinLoader->setCurrentRow(0);
    }
    ~OpenWindow() { rom::SetFailureReporter({}); }

    void Check(benchmark::State& state) const {
        if (!exposed) state.SkipWithError("the window was never exposed");
        if (gProblems != 0) state.SkipWithError("a load or save reported a failure");
    }
};

// Alternates between two species so that every control changes each time.
int16_t NextSpecies(int16_t index) { return index == 24 ? 25 : 24; }

void BM_WindowLoader_LoadSpeciesFields(benchmark::State& state) {
    OpenWindow window;
    EditorState& editorState = window.editor.State();
    for (auto _ : state) {
        editorState.SpeciesIndex = NextSpecies(editorState.SpeciesIndex);
        benchmark::DoNotOptimize(LoadSpeciesFields(window.editor, editorState));
    }
    window.Check(state);
}
BENCHMARK(BM_WindowLoader_LoadSpeciesFields)->Unit(benchmark::kMicrosecond);

// A click in the species list: the handler, then the event loop until the
// window has repainted what changed.
void BM_WindowLoader_SpeciesListClickAndPaint(benchmark::State& state) {
    OpenWindow window;
    QListWidget& list = *window.editor.form.KreblinLoader;
    int row = 24;
    for (auto _ : state) {
        row = row == 24 ? 25 : 24;
        list.setCurrentRow(row);
        QCoreApplication::processEvents();
    }
    window.Check(state);
}
BENCHMARK(BM_WindowLoader_SpeciesListClickAndPaint)->Unit(benchmark::kMicrosecond);

void BM_WindowSave_SaveSpeciesFields(benchmark::State& state) {
    OpenWindow window;
    EditorState& editorState = window.editor.State();
    editorState.SpeciesIndex = 24;
    LoadSpeciesFields(window.editor, editorState);
    for (auto _ : state) {
        benchmark::DoNotOptimize(SaveSpeciesFields(window.editor, editorState, window.boxes));
    }
    window.Check(state);
}
BENCHMARK(BM_WindowSave_SaveSpeciesFields)->Unit(benchmark::kMicrosecond);

// The child's part: what main does, until the window is exposed. Writes the
// time it took inside the process and the peak memory to `out`.
int RunStartupChild(int argc, char** argv) {
    const Clock::time_point start = Clock::now();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillmere"));
    Editor editor;
    ui::InstallFailureReporter(&editor.Messages());
    editor.show();
    if (!QTest::qWaitForWindowExposed(&editor)) return 2;
    const double inProcessUs = std::chrono::duration<double, std::micro>(Clock::now() - start).count();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%.1f %ld\n", inProcessUs, usage.ru_maxrss);
    std::fflush(stdout);
    ui::InstallFailureReporter(nullptr);
    return 0;
}

// Wall time from starting a process of this program to its report that the
// window is shown.
void BM_StartToWindowShown(benchmark::State& state) {
    double inProcessUsTotal = 0;
    long peakKb = 0;
    for (auto _ : state) {
        int pipeFds[2];
        if (pipe(pipeFds) != 0) {
            state.SkipWithError("pipe failed");
            break;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
        std::string self = gSelf;
        std::string flag = kChildFlag;
        char* childArgv[] = {self.data(), flag.data(), nullptr};

        const Clock::time_point start = Clock::now();
        pid_t child = 0;
        const int spawned = posix_spawn(&child, gSelf.c_str(), &actions, nullptr, childArgv, environ);
        posix_spawn_file_actions_destroy(&actions);
        close(pipeFds[1]);
        if (spawned != 0) {
            close(pipeFds[0]);
            state.SkipWithError("could not start a child process");
            break;
        }
        char line[128] = {};
        size_t got = 0;
        while (got + 1 < sizeof line) {
            const ssize_t n = read(pipeFds[0], line + got, sizeof line - 1 - got);
            if (n <= 0) break;
            got += static_cast<size_t>(n);
            if (std::memchr(line, '\n', got) != nullptr) break;
        }
        const Clock::time_point shown = Clock::now();
        close(pipeFds[0]);
        int status = 0;
        waitpid(child, &status, 0);

        double inProcessUs = 0;
        long rssKb = 0;
        if (std::sscanf(line, "%lf %ld", &inProcessUs, &rssKb) != 2 || !WIFEXITED(status) ||
            WEXITSTATUS(status) != 0) {
            state.SkipWithError("the child did not show its window");
            break;
        }
        state.SetIterationTime(std::chrono::duration<double>(shown - start).count());
        inProcessUsTotal += inProcessUs;
        peakKb = std::max(peakKb, rssKb);
    }
    state.counters["in_process_ms"] =
        benchmark::Counter(inProcessUsTotal / 1000.0, benchmark::Counter::kAvgIterations);
    state.counters["peak_rss_MB"] = static_cast<double>(peakKb) / 1024.0;
}
BENCHMARK(BM_StartToWindowShown)->UseManualTime()->Iterations(20)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    // The window is measured offscreen unless a platform is chosen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    std::error_code noLink;
    gSelf = std::filesystem::read_symlink("/proc/self/exe", noLink).string();
    if (gSelf.empty()) gSelf = argv[0];
    if (argc > 1 && std::strcmp(argv[1], kChildFlag) == 0) return RunStartupChild(argc, argv);

    // Qt wants a private runtime folder; without one it warns in every child.
    std::string runtimeFolder;
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        runtimeFolder = (std::filesystem::temp_directory_path() / "quillmere-bench-run-XXXXXX").string();
        if (mkdtemp(runtimeFolder.data()) != nullptr) {
            setenv("XDG_RUNTIME_DIR", runtimeFolder.c_str(), 1);
        } else {
            runtimeFolder.clear();
        }
    }

    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (!runtimeFolder.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(runtimeFolder, ignored);
    }
    return 0;
}
