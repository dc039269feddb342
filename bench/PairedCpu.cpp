#include "bench/PairedCpu.h"

#include <time.h>

#include <algorithm>
#include <vector>

#include "bench/GreedyBps.h"
#include "patches/BpsPatch.h"

namespace bench {

namespace {

double ThreadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

}  // namespace

void CreateBesideGreedy(benchmark::State& state, patches::ByteSpan original, patches::ByteSpan modified) {
    std::vector<double> creator;
    std::vector<double> greedy;
    size_t creatorBytes = 0;
    size_t greedyBytes = 0;
    bool creatorFirst = true;
    auto timed = [&](auto create, std::vector<double>& times, size_t& bytes) {
        const double start = ThreadCpuMs();
        const patches::BytesResult patch = create(original, modified);
        times.push_back(ThreadCpuMs() - start);
        bytes = patch.bytes.size();
        if (!patch.ok()) {
            state.SkipWithError(patch.error.c_str());
            return;
        }
        const patches::BytesResult applied = patches::ApplyBps(patch.bytes, original);
        if (!applied.ok() || !std::equal(applied.bytes.begin(), applied.bytes.end(), modified.begin(), modified.end())) {
            state.SkipWithError("a patch did not give the target");
        }
    };
    for (auto _ : state) {
        // In turns, so that neither always runs with the caches the other
        // left.
        for (int k = 0; k < 2; ++k) {
            if ((k == 0) == creatorFirst) {
                timed(patches::CreateBps, creator, creatorBytes);
            } else {
                timed(CreateGreedyBps, greedy, greedyBytes);
            }
        }
        creatorFirst = !creatorFirst;
    }
    const double creatorMs = Median(creator);
    const double greedyMs = Median(greedy);
    state.counters["bps_bytes"] = static_cast<double>(creatorBytes);
    state.counters["greedy_bytes"] = static_cast<double>(greedyBytes);
    state.counters["bps_cpu_ms"] = creatorMs;
    state.counters["greedy_cpu_ms"] = greedyMs;
    state.counters["cpu_ratio"] = greedyMs > 0 ? creatorMs / greedyMs : 0;
    state.counters["size_ratio"] = greedyBytes > 0 ? static_cast<double>(creatorBytes) / static_cast<double>(greedyBytes) : 0;
}

}  // namespace bench
