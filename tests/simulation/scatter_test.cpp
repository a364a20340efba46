#include "simulation/scatter.h"

#include <cmath>

#include <gtest/gtest.h>

namespace zintrel {
namespace {

TEST(ScatterTest, ZeroRadiusPutsEverySlotOnTheCentre) {
  ParticleField field;
  SetStartValues(field);
  field.ParticleCount = 1;  // Scatter ignores the count.
  RandomSource random(42);
  Scatter(field, random);
  for (int k = 0; k < MaxParticles; ++k) {
    ASSERT_EQ(field.x[k], 330.0);
    ASSERT_EQ(field.y[k], 220.0);
    ASSERT_LT(field.vx[k] * field.vx[k] + field.vy[k] * field.vy[k], 1.0);
  }
}

TEST(ScatterTest, CentreUsesTruncatingDivision) {
  ParticleField field;
  field.FieldWidth = 661;
  field.FieldHeight = 3;
  RandomSource random(1);
  Scatter(field, random);
  EXPECT_EQ(field.x[0], 330.0);
  EXPECT_EQ(field.y[0], 1.0);
}

TEST(ScatterTest, DrawsUThenVAndRejectsPointsOutsideTheDisc) {
  ParticleField field;
  field.FieldWidth = 100;
  field.FieldHeight = 100;
  field.InitialRadius = 10.0;
  RandomSource random(7);
  Scatter(field, random);

  RandomSource replay(7);
  for (int k = 0; k < MaxParticles; ++k) {
    double u;
    double v;
    do {
      u = 2.0 * replay.Next() - 1.0;
      v = 2.0 * replay.Next() - 1.0;
    } while (u * u + v * v >= 1.0);
    ASSERT_EQ(field.vx[k], u) << k;
    ASSERT_EQ(field.vy[k], v) << k;
  }
  EXPECT_EQ(random.State(), replay.State());
}

TEST(ScatterTest, FillsADiscWithVelocityEqualToOffsetOverRadius) {
  ParticleField field;
  SetStartValues(field);
  field.InitialRadius = 23.5;
  field.Heading.fill(1.25);
  RandomSource random(99);
  Scatter(field, random);
  for (int k = 0; k < MaxParticles; ++k) {
    const double dx = field.x[k] - 330.0;
    const double dy = field.y[k] - 220.0;
    ASSERT_LT(dx * dx + dy * dy, 23.5 * 23.5);
    ASSERT_NEAR(field.vx[k], dx / 23.5, 1e-15);
    ASSERT_NEAR(field.vy[k], dy / 23.5, 1e-15);
    ASSERT_EQ(field.Heading[k], 1.25);
  }
}

}  // namespace
}  // namespace zintrel
