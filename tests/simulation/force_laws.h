#pragma once

// Force laws and scattered fields shared by the step tests and the step
// benchmark, so both measure and check the same states.

#include <cmath>
#include <cstdint>
#include <vector>

#include "simulation/fast/pair_kernel.h"
#include "simulation/particle_field.h"
#include "simulation/random_source.h"
#include "simulation/scatter.h"

namespace zintrel {

struct ForceLaw {
  const char* name;
  double activity, repulsion, acceleration, repulsiveAcceleration;
};

inline constexpr ForceLaw kStartLaw{"start", 1.0, 8.0, 1.0, 1.0};
inline constexpr ForceLaw kType2Law{"type2", 38.0, 6.0, 2.0, 1.0};
inline constexpr ForceLaw kNonWholeLaw{"nonwhole", 1.0, 8.0, 10.0 / 33.0, 50.0 / 33.0};
// Sliders 加速性 and 反発加速性 at positions 50 and 16: both exponents non-whole.
inline constexpr ForceLaw kSliderLaw{"slider50_16", 1.0, 8.0, 50.0 / 33.0, 16.0 / 33.0};

// Returns a start-up field under law with count particles scattered over a
// disc of radius 200 about the centre, moving at up to 3 pixels per tick in
// each direction, so the pairs are at realistic distances.
inline ParticleField ScatteredField(const ForceLaw& law, int count, std::uint32_t seed) {
  ParticleField field;
  SetStartValues(field);
  field.ParticleCount = count;
  field.InitialRadius = 200.0;
  field.Activity = law.activity;
  field.Repulsion = law.repulsion;
  field.Acceleration = law.acceleration;
  field.RepulsiveAcceleration = law.repulsiveAcceleration;
  RandomSource random(seed);
  Scatter(field, random);
  for (int i = 0; i < count; ++i) {
    field.vx[i] = 6.0 * random.Next() - 3.0;
    field.vy[i] = 6.0 * random.Next() - 3.0;
  }
  return field;
}

// Returns the first end of values, then NaN over the pair kernel's
// padding: whatever lies past a run must not reach its sums.
inline std::vector<double> PaddedRun(const ParticleArray& values, int end) {
  std::vector<double> run(values.begin(), values.begin() + end);
  run.resize(end + kPairPadding, std::nan(""));
  return run;
}

}  // namespace zintrel
