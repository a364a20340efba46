// Time to draw one frame of 2500 particles, as discs and as darts, on the
// start-up display area and on a full-HD one, and of the clear alone.
// Particles are spread over the whole frame (a few hang over its edges, as
// after a shrink) with varied headings, from a fixed-seed generator so every
// run draws the same frame.

#include <cstdint>
#include <memory>

#include <benchmark/benchmark.h>

#include "render/frame_bitmap.h"
#include "render/render_frame.h"
#include "simulation/particle_field.h"

namespace zintrel {
namespace {

// Returns a uniform double in [0, 1) from a 64-bit linear congruential step.
double NextUnit(std::uint64_t& state) {
  state = state * 6364136223846793005ull + 1442695040888963407ull;
  return static_cast<double>(state >> 11) * 0x1.0p-53;
}

std::unique_ptr<ParticleField> SpreadField(int width, int height, double size) {
  auto field = std::make_unique<ParticleField>();
  field->FieldWidth = width;
  field->FieldHeight = height;
  field->ParticleCount = MaxParticles;
  field->ParticleSize = size;
  std::uint64_t state = 2024;
  for (int i = 0; i < MaxParticles; ++i) {
    field->x[i] = -10.0 + NextUnit(state) * (width + 20.0);
    field->y[i] = -10.0 + NextUnit(state) * (height + 20.0);
    field->Heading[i] = (NextUnit(state) * 2.0 - 1.0) * 3.141592653589793;
  }
  return field;
}

// Arguments: frame width, frame height, 1 for darts.
void BM_RenderFrame(benchmark::State& state) {
  const int width = static_cast<int>(state.range(0));
  const int height = static_cast<int>(state.range(1));
  const bool darts = state.range(2) != 0;
  // Mid-range sizes of the two size sliders (discs 1..7, darts 3..9).
  const auto field = SpreadField(width, height, darts ? 6.0 : 4.0);
  FrameBitmap bitmap;
  bitmap.Resize(width, height);
  for (auto _ : state) {
    RenderFrame(*field, bitmap, darts);
    benchmark::DoNotOptimize(bitmap.Pixels());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * field->ParticleCount);
  state.SetLabel(darts ? "darts" : "discs");
}

// The frame with no particle: only the clear. The difference to the cases
// above is what the particles cost.
void BM_ClearFrame(benchmark::State& state) {
  const int width = static_cast<int>(state.range(0));
  const int height = static_cast<int>(state.range(1));
  auto field = SpreadField(width, height, 6.0);
  field->ParticleCount = 0;
  FrameBitmap bitmap;
  bitmap.Resize(width, height);
  for (auto _ : state) {
    RenderFrame(*field, bitmap, true);
    benchmark::DoNotOptimize(bitmap.Pixels());
    benchmark::ClobberMemory();
  }
}

BENCHMARK(BM_ClearFrame)->ArgNames({"w", "h"})->Args({660, 440})->Args({1920, 1080})->Unit(benchmark::kMicrosecond);

BENCHMARK(BM_RenderFrame)
    ->ArgNames({"w", "h", "darts"})
    ->Args({660, 440, 0})
    ->Args({660, 440, 1})
    ->Args({1920, 1080, 0})
    ->Args({1920, 1080, 1})
    ->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace zintrel
