#include "simulation/rescale_field.h"

#include <cstring>

#include <gtest/gtest.h>

#include "tests/simulation/field_hash.h"

#include "simulation/random_source.h"
#include "simulation/scatter.h"

namespace zintrel {
namespace {

ParticleField ScatteredField() {
  ParticleField field;
  SetStartValues(field);
  field.InitialRadius = 200.0;
  RandomSource random(5);
  Scatter(field, random);
  return field;
}

TEST(RescaleFieldTest, DoublingTheWidthDoublesEveryXIncludingParkedSlots) {
  ParticleField field = ScatteredField();
  field.ParticleCount = 3;
  const ParticleField before = field;
  field.FieldWidth = 1320;
  ASSERT_EQ(RescaleField(field), StepFault::kNone);
  for (int k = 0; k < MaxParticles; ++k) {
    ASSERT_EQ(field.x[k], before.x[k] * 2.0);
    ASSERT_EQ(field.y[k], before.y[k]);
    ASSERT_EQ(field.vx[k], before.vx[k]);
    ASSERT_EQ(field.vy[k], before.vy[k]);
  }
  EXPECT_EQ(field.LastWidth, 1320);
  EXPECT_EQ(field.LastHeight, 440);
}

TEST(RescaleFieldTest, UnchangedSizeLeavesPositionsBitForBit) {
  ParticleField field = ScatteredField();
  const ParticleField before = field;
  ASSERT_EQ(RescaleField(field), StepFault::kNone);
  EXPECT_EQ(HashField(field), HashField(before));
}

TEST(RescaleFieldTest, HeightToZeroAndBackKeepsYAtZero) {
  ParticleField field = ScatteredField();
  field.FieldHeight = 0;
  ASSERT_EQ(RescaleField(field), StepFault::kNone);
  for (int k = 0; k < MaxParticles; ++k) ASSERT_EQ(field.y[k], 0.0);
  EXPECT_EQ(field.LastHeight, 0);

  // A dimension that stays 0 while the other changes scales by 0 again.
  field.FieldWidth = 700;
  ASSERT_EQ(RescaleField(field), StepFault::kNone);
  for (int k = 0; k < MaxParticles; ++k) ASSERT_EQ(field.y[k], 0.0);

  field.FieldHeight = 440;
  ASSERT_EQ(RescaleField(field), StepFault::kNone);
  for (int k = 0; k < MaxParticles; ++k) ASSERT_EQ(field.y[k], 0.0);
  EXPECT_EQ(field.LastHeight, 440);
}

TEST(RescaleFieldTest, OverflowIsReportedAndChangesNothing) {
  ParticleField field = ScatteredField();
  field.x[17] = 1e308;
  const ParticleField before = field;
  field.FieldWidth = 6600;
  EXPECT_EQ(RescaleField(field), StepFault::kOverflow);
  EXPECT_EQ(std::memcmp(field.x.data(), before.x.data(), sizeof field.x), 0);
  EXPECT_EQ(field.LastWidth, 660);
}

}  // namespace
}  // namespace zintrel
