// BPS and IPS patches for synthetic 2 MiB pairs that behave like modified
// games: one species edited, 64 KiB inserted in the middle, 5% of the bytes
// changed in scattered runs, banks swapped, another version's tables laid
// over, a revision (the header and a dozen places in code, some of them
// moving the code after them by a few bytes). For each pair: creating each format (the patch's size and the size of
// the change as counters), and applying the BPS patch beside applying one
// without copies (SourceRead, TargetRead and runs only, as patches were
// made before copies were searched for) to show what the copies cost the
// applier. And, per pair in one run, the creator beside the greedy creator it
// replaced (bench/GreedyBps.cpp, the yardstick): the size of each patch and
// the CPU time of each, taken in turns, medians of the iterations.

#include <benchmark/benchmark.h>

#include <string>

#include "bench/PairedCpu.h"

#include "patches/BpsPatch.h"
#include "patches/IpsPatch.h"
#include "patches/PatchFormat.h"
#include "tests/support/PatchPairs.h"

namespace {

using patches::BytesResult;
using patchpairs::Change;

const patchpairs::Pair& PairFor(Change change) {
    static patchpairs::Pair pairs[std::size(patchpairs::kChanges)];
    patchpairs::Pair& pair = pairs[static_cast<size_t>(change)];
    if (pair.original.empty()) pair = patchpairs::MakePair(change);
    return pair;
}

void Counters(benchmark::State& state, const patchpairs::Pair& pair, size_t patchSize) {
    state.counters["patch_bytes"] = static_cast<double>(patchSize);
    state.counters["changed_bytes"] = static_cast<double>(pair.changedBytes);
    state.counters["image_bytes"] = static_cast<double>(pair.original.size());
}

void CreateBps(benchmark::State& state, Change change) {
    const patchpairs::Pair& pair = PairFor(change);
    size_t size = 0;
    for (auto _ : state) {
        const BytesResult patch = patches::CreateBps(pair.original, pair.modified);
        if (!patch.ok()) state.SkipWithError(patch.error.c_str());
        size = patch.bytes.size();
        benchmark::DoNotOptimize(patch.bytes.data());
    }
    Counters(state, pair, size);
}

void CreateBpsBesideGreedy(benchmark::State& state, Change change) {
    const patchpairs::Pair& pair = PairFor(change);
    bench::CreateBesideGreedy(state, pair.original, pair.modified);
    state.counters["changed_bytes"] = static_cast<double>(pair.changedBytes);
}

void CreateIps(benchmark::State& state, Change change) {
    const patchpairs::Pair& pair = PairFor(change);
    size_t size = 0;
    for (auto _ : state) {
        const BytesResult patch = patches::CreateIps(pair.original, pair.modified);
        if (!patch.ok()) state.SkipWithError(patch.error.c_str());
        size = patch.bytes.size();
        benchmark::DoNotOptimize(patch.bytes.data());
    }
    Counters(state, pair, size);
}

void ApplyBps(benchmark::State& state, Change change, bool copies) {
    const patchpairs::Pair& pair = PairFor(change);
    const BytesResult patch = copies ? patches::CreateBps(pair.original, pair.modified)
                                     : patches::CreateBpsWithoutCopies(pair.original, pair.modified);
    for (auto _ : state) {
        const BytesResult result = patches::ApplyBps(patch.bytes, pair.original);
        if (!result.ok() || result.bytes != pair.modified) state.SkipWithError("the patch did not give the target");
        benchmark::DoNotOptimize(result.bytes.data());
    }
    Counters(state, pair, patch.bytes.size());
}

const bool kRegistered = [] {
    for (const Change change : patchpairs::kChanges) {
        const std::string name = patchpairs::ChangeName(change);
        benchmark::RegisterBenchmark(("BM_PairCreateBps_" + name).c_str(), CreateBps, change)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("BM_PairCreateBpsBesideGreedy_" + name).c_str(), CreateBpsBesideGreedy, change)
            ->Unit(benchmark::kMillisecond)
            ->Iterations(bench::kPairedRuns);
        benchmark::RegisterBenchmark(("BM_PairCreateIps_" + name).c_str(), CreateIps, change)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("BM_PairApplyBps_" + name).c_str(), ApplyBps, change, true)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("BM_PairApplyBpsWithoutCopies_" + name).c_str(), ApplyBps, change, false)
            ->Unit(benchmark::kMillisecond);
    }
    return true;
}();

}  // namespace
