// Time per tick of the interaction step at the particle counts the count
// slider reaches, from the state a few ticks after start-up.

#include <benchmark/benchmark.h>

#include "simulation/particle_field.h"
#include "simulation/random_source.h"
#include "simulation/scatter.h"
#include "simulation/step_particles.h"

namespace zintrel {
namespace {

// Returns a start-up field with count particles scattered over a disc, so
// the pairs are at realistic distances rather than all coincident.
ParticleField SpreadField(int count) {
  ParticleField field;
  SetStartValues(field);
  field.ParticleCount = count;
  field.InitialRadius = 200.0;
  RandomSource random(12345);
  Scatter(field, random);
  return field;
}

void StepBenchmark(benchmark::State& state, StepFunction step) {
  const ParticleField start = SpreadField(static_cast<int>(state.range(0)));
  ParticleField field = start;
  for (auto _ : state) {
    step(field);
    benchmark::DoNotOptimize(field.x.data());
  }
  state.counters["pairs/s"] = benchmark::Counter(
      static_cast<double>(state.range(0)) * (state.range(0) - 1), benchmark::Counter::kIsIterationInvariantRate);
}

void BM_StepLiteral(benchmark::State& state) { StepBenchmark(state, StepParticlesLiteral); }
void BM_StepParticles(benchmark::State& state) { StepBenchmark(state, StepParticles); }

BENCHMARK(BM_StepLiteral)->Arg(50)->Arg(250)->Arg(1000)->Arg(2500)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StepParticles)->Arg(50)->Arg(250)->Arg(1000)->Arg(2500)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zintrel
