// Coverage-guided fuzzing of the tick: field states, parameters inside and far
// beyond the controls' ranges, display sizes down to 0, and sequences of
// ticks, re-scatters and count changes, all through the real code. A crash or
// a sanitizer report fails the run, and so does any non-finite value left in
// the field: arithmetic faults must be reported, never stored.

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstdio>

#include <fuzzer/FuzzedDataProvider.h>

#include "render/frame_bitmap.h"
#include "render/tick.h"
#include "simulation/particle_field.h"
#include "simulation/random_source.h"
#include "simulation/scatter.h"
#include "simulation/step_particles.h"

namespace zintrel {
namespace {

// The literal step costs O(N^2) transcendental calls; above this count the
// fuzzer would spend its time there instead of exploring.
constexpr int kLiteralCountLimit = 300;
// Keeps every frame below 4 megapixels so an iteration stays fast.
constexpr int kLargestSide = 2048;
// Bounds the operations of one input, so one iteration stays short.
constexpr int kMostOperations = 24;

bool AllFinite(const ParticleArray& values) {
  for (const double value : values) {
    if (!std::isfinite(value)) return false;
  }
  return true;
}

void CheckFinite(const ParticleField& field, const char* after) {
  const bool finite = AllFinite(field.x) && AllFinite(field.y) && AllFinite(field.vx) &&
                      AllFinite(field.vy) && AllFinite(field.Heading);
  if (!finite) {
    std::fprintf(stderr, "non-finite value stored in the field after %s\n", after);
    std::abort();
  }
}

// Returns either a value a control could produce or an arbitrary finite one.
double Parameter(FuzzedDataProvider& data, double low, double high) {
  switch (data.ConsumeIntegralInRange(0, 3)) {
    case 0: return data.ConsumeFloatingPointInRange(low, high);
    case 1: return std::round(data.ConsumeFloatingPointInRange(low, high) * 33.0) / 33.0;
    case 2: return data.ConsumeFloatingPointInRange(-1e6, 1e6);
    default: return data.ConsumeFloatingPoint<double>();
  }
}

void ChangeParameters(FuzzedDataProvider& data, ParticleField& field) {
  field.MaxSpeed = Parameter(data, 1.0, 24.0);
  field.ParticleSize = Parameter(data, 1.0, 9.0);
  field.Activity = Parameter(data, 0.0, 99.0);
  field.Repulsion = Parameter(data, 0.0, 99.0);
  field.Acceleration = Parameter(data, 0.0, 3.0);
  field.RepulsiveAcceleration = Parameter(data, 0.0, 3.0);
}

void Run(FuzzedDataProvider& data) {
  ParticleField field;
  SetStartValues(field);
  RandomSource random(data.ConsumeIntegral<std::uint32_t>());
  Scatter(field, random);
  FrameBitmap bitmap;
  bitmap.Resize(field.FieldWidth, field.FieldHeight);

  for (int operation = 0; operation < kMostOperations && data.remaining_bytes() > 0; ++operation) {
    switch (data.ConsumeIntegralInRange(0, 5)) {
      case 0:
        ChangeParameters(data, field);
        break;
      case 1:
        field.ParticleCount = data.ConsumeBool() ? data.ConsumeIntegralInRange(1, MaxParticles)
                                                 : data.ConsumeIntegral<std::int32_t>();
        break;
      case 2:  // Initialise: a new radius, then a fresh scatter of all slots.
        field.InitialRadius = data.ConsumeBool() ? data.ConsumeFloatingPointInRange(1.0, 10000.0)
                                                 : data.ConsumeFloatingPointInRange(0.0, 1e300);
        Scatter(field, random);
        CheckFinite(field, "scatter");
        break;
      case 3:
        field.Running = 1 - field.Running;
        break;
      default: {  // A tick at a freshly measured size.
        const int width = data.ConsumeIntegralInRange(0, kLargestSide);
        const int height = data.ConsumeIntegralInRange(0, kLargestSide);
        const bool literal = data.ConsumeBool() && ActiveCount(field) <= kLiteralCountLimit;
        RunTick(field, bitmap, width, height, data.ConsumeBool(),
                literal ? StepParticlesLiteral : StepParticles);
        CheckFinite(field, "tick");
        break;
      }
    }
  }
}

}  // namespace
}  // namespace zintrel

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  FuzzedDataProvider data(bytes, size);
  zintrel::Run(data);
  return 0;
}
