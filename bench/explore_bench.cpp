// What the explorer does in a minute, and how much of it goes to measuring
// (the measures and the thumbnail's encoding) rather than to the ticks: the
// first candidates of seed 1 at the explorer's defaults (600 ticks on a
// 240 x 160 field), tried one run per thread on 1 thread and on every one.
//
//   build/release/bench/explore_bench --benchmark_min_time=1

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "tools/explore_runs.h"

namespace zintrel {
namespace {

constexpr std::int64_t kCandidates = 16;

void BM_Explore(benchmark::State& state) {
  ExploreSettings settings;
  settings.seed = 1;
  settings.runs = kCandidates;
  std::vector<std::int64_t> indices;
  for (std::int64_t i = 0; i < kCandidates; ++i) indices.push_back(i);
  std::int64_t runs = 0, tickNanoseconds = 0, measureNanoseconds = 0;
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    TryCandidates(settings, indices, static_cast<int>(state.range(0)), [&](TriedRun&& tried) {
      ++runs;
      tickNanoseconds += tried.tickNanoseconds;
      measureNanoseconds += tried.measureNanoseconds;
    });
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  state.counters["runs_per_minute"] = static_cast<double>(runs) * 60.0 / seconds;
  state.counters["measuring_share"] =
      static_cast<double>(measureNanoseconds) / static_cast<double>(std::max<std::int64_t>(1, tickNanoseconds + measureNanoseconds));
}
BENCHMARK(BM_Explore)
    ->Arg(1)
    ->Arg(static_cast<int>(std::max(1u, std::thread::hardware_concurrency())))
    ->Unit(benchmark::kSecond)
    ->UseRealTime()
    ->Iterations(1);

}  // namespace
}  // namespace zintrel
