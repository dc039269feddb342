#pragma once
// The BPS creator and the greedy yardstick timed in turns on one pair, in
// the CPU time of the thread (the machine is shared, so wall time says more
// about the others' work than about this), medians of the iterations.

#include <benchmark/benchmark.h>

#include "patches/PatchFormat.h"

namespace bench {

// Iterations of a paired benchmark: each creates the patch with both.
inline constexpr int kPairedRuns = 5;

// Counters: bps_bytes and greedy_bytes, bps_cpu_ms and greedy_cpu_ms (the
// medians), cpu_ratio (the creator's median over the greedy one's) and
// size_ratio. Fails the benchmark when either patch does not give the
// target.
void CreateBesideGreedy(benchmark::State& state, patches::ByteSpan original, patches::ByteSpan modified);

}  // namespace bench
