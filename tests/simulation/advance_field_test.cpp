#include "simulation/advance_field.h"

#include <cstdint>
#include <cmath>
#include <cstring>

#include <gtest/gtest.h>

#include "simulation/random_source.h"
#include "simulation/scatter.h"
#include "tests/simulation/field_hash.h"

namespace zintrel {
namespace {

ParticleField StartField(std::uint32_t seed) {
  ParticleField field;
  SetStartValues(field);
  RandomSource random(seed);
  Scatter(field, random);
  return field;
}

TEST(AdvanceFieldTest, FirstTickFromStartBurstsFromTheCentre) {
  ParticleField field = StartField(2026);
  ASSERT_EQ(AdvanceField(field, 660, 440, StepParticlesLiteral), StepFault::kNone);
  // Particle 0 felt nothing (every partner at distance 0) and moved by its
  // own start velocity, less than a pixel.
  EXPECT_LT(std::hypot(field.x[0] - 330.0, field.y[0] - 220.0), 1.0);
  // The others were pushed 8 pixels (the cap) straight away from it.
  const double awayX = 330.0 - field.x[0];
  const double awayY = 220.0 - field.y[0];
  for (int i = 1; i < 50; ++i) {
    const double dx = field.x[i] - 330.0;
    const double dy = field.y[i] - 220.0;
    EXPECT_NEAR(std::hypot(dx, dy), 8.0, 0.5) << i;
    EXPECT_GT(dx * awayX + dy * awayY, 0.0) << i;
  }
}

TEST(AdvanceFieldTest, PausedTickRescalesButDoesNotStep) {
  ParticleField field = StartField(3);
  field.Running = 0;
  ASSERT_EQ(AdvanceField(field, 1320, 440), StepFault::kNone);
  EXPECT_EQ(field.x[0], 660.0);
  EXPECT_EQ(field.vx[0], StartField(3).vx[0]);
  EXPECT_EQ(field.LastWidth, 1320);
  EXPECT_EQ(field.FieldWidth, 1320);
}

TEST(AdvanceFieldTest, SameSeedAndInputsGiveTheSameState) {
  ParticleField first = StartField(77);
  ParticleField second = StartField(77);
  for (int tick = 0; tick < 20; ++tick) {
    ASSERT_EQ(AdvanceField(first, 660, 440), StepFault::kNone);
    ASSERT_EQ(AdvanceField(second, 660, 440), StepFault::kNone);
  }
  EXPECT_EQ(HashField(first), HashField(second));
}

// A recorded hash of the literal step's state after 200 ticks, with a resize
// on the way: any change in arithmetic, order or rounding changes it.
TEST(AdvanceFieldTest, LiteralStepIsDeterministicAcrossBuilds) {
  ParticleField field = StartField(20261207);
  field.ParticleCount = 120;
  for (int tick = 0; tick < 200; ++tick) {
    const int width = tick < 100 ? 660 : 800;
    ASSERT_EQ(AdvanceField(field, width, 440, StepParticlesLiteral), StepFault::kNone);
  }
  EXPECT_EQ(HashField(field), 17532163204576973340ull);
}

}  // namespace
}  // namespace zintrel
