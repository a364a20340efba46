// Cases every step implementation must satisfy. They run against the literal
// reference and the production step alike; tolerances cover only the rounding
// in which a faster formulation may differ (1e-12 of a pixel).

#include <cfloat>
#include <cmath>
#include <cstring>

#include <gtest/gtest.h>

#include "tests/simulation/field_hash.h"

#include "simulation/step_particles.h"

namespace zintrel {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kTolerance = 1e-12;

class StepParticlesTest : public testing::TestWithParam<StepFunction> {
 protected:
  // A field with the start law, all slots at rest in a corner.
  static ParticleField Field(int count) {
    ParticleField field;
    SetStartValues(field);
    field.ParticleCount = count;
    return field;
  }
  StepFault Step(ParticleField& field) { return GetParam()(field); }
};

TEST_P(StepParticlesTest, SingleParticleOnlyCapsTurnsAndMoves) {
  ParticleField field = Field(1);
  field.x[0] = 10.0;
  field.y[0] = 20.0;
  field.vx[0] = 3.0;
  field.vy[0] = 4.0;
  ASSERT_EQ(Step(field), StepFault::kNone);
  EXPECT_EQ(field.x[0], 13.0);
  EXPECT_EQ(field.y[0], 24.0);
  EXPECT_EQ(field.Heading[0], std::atan(4.0 / 3.0) + 2 * kPi);
}

TEST_P(StepParticlesTest, SpeedCapIsStrict) {
  ParticleField field = Field(2);
  field.Activity = 0.0;
  field.x = {100.0, 200.0};
  field.y = {100.0, 100.0};
  field.vx = {8.0, 6.0};
  field.vy = {0.0, 8.0};
  ASSERT_EQ(Step(field), StepFault::kNone);
  EXPECT_EQ(field.vx[0], 8.0);  // Exactly at the cap: left alone.
  EXPECT_EQ(field.vy[0], 0.0);
  EXPECT_NEAR(field.vx[1], 4.8, 1e-15);  // 10 pixels per tick scaled to 8.
  EXPECT_NEAR(field.vy[1], 6.4, 1e-15);
}

TEST_P(StepParticlesTest, CapHoldsForSpeedsWhoseSquareOverflows) {
  // A very close pair can push a particle faster than 1e154 pixels per tick;
  // the cap must still bring it down, not report an overflow.
  ParticleField field = Field(1);
  field.x[0] = field.y[0] = 100.0;
  field.vx[0] = 3e200;
  field.vy[0] = -4e200;
  ASSERT_EQ(Step(field), StepFault::kNone);
  EXPECT_NEAR(field.vx[0], 4.8, 1e-14);
  EXPECT_NEAR(field.vy[0], -6.4, 1e-14);
  EXPECT_NEAR(field.x[0], 104.8, 1e-12);
}

TEST_P(StepParticlesTest, CoincidentParticlesExertNoForce) {
  ParticleField field = Field(2);
  field.x = {50.0, 50.0};
  field.y = {60.0, 60.0};
  ASSERT_EQ(Step(field), StepFault::kNone);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(field.vx[i], 0.0);
    EXPECT_EQ(field.vy[i], 0.0);
    EXPECT_EQ(field.x[i], 50.0);
    EXPECT_EQ(field.y[i], 60.0);
    EXPECT_EQ(field.Heading[i], -kPi / 2);  // At rest a particle points up.
  }
}

TEST_P(StepParticlesTest, StackedParticlesPullStraightAlongTheColumn) {
  // 200 pixels apart (d = 20) the start law attracts with
  // 30/2 * (1/20 - 8/400) = 0.45.
  ParticleField field = Field(2);
  field.x = {100.0, 100.0};
  field.y = {100.0, 300.0};
  ASSERT_EQ(Step(field), StepFault::kNone);
  EXPECT_NEAR(field.vy[0], 0.45, kTolerance);  // Upper one pulled down.
  EXPECT_NEAR(field.vx[0], 0.0, 1e-15);
  EXPECT_LT(field.vy[1], 0.0);                 // Lower one pulled up.
  EXPECT_NEAR(field.vx[1], 0.0, 1e-15);
}

TEST_P(StepParticlesTest, StackedParticlesPushApartInsideTheBalance) {
  ParticleField field = Field(2);
  field.x = {100.0, 100.0};
  field.y = {100.0, 140.0};  // 40 pixels: inside the 80-pixel balance.
  ASSERT_EQ(Step(field), StepFault::kNone);
  EXPECT_LT(field.vy[0], 0.0);  // Upper one pushed up.
  EXPECT_GT(field.vy[1], 0.0);  // Lower one pushed straight down.
  EXPECT_NEAR(field.vx[1], 0.0, 1e-15);
}

TEST_P(StepParticlesTest, StartLawBalancesAtEightyPixels) {
  struct Case { double gap; int sign; };
  for (const Case c : {Case{80.0, 0}, Case{40.0, -1}, Case{200.0, 1}}) {
    ParticleField field = Field(2);
    field.x = {300.0, 300.0 + c.gap};
    field.y = {200.0, 200.0};
    ASSERT_EQ(Step(field), StepFault::kNone);
    if (c.sign == 0) {
      EXPECT_NEAR(field.vx[0], 0.0, kTolerance);
      EXPECT_NEAR(field.vx[1], 0.0, kTolerance);
    } else {
      // Particle 0 sits left of particle 1: attraction moves it right.
      EXPECT_EQ(field.vx[0] > 0.0 ? 1 : -1, c.sign) << c.gap;
    }
  }
}

TEST_P(StepParticlesTest, UpdateIsInPlaceNotTwoPhase) {
  // Particle 0 starts exactly at the balance distance, so particle 1 feels
  // nothing from where particle 0 was; it must feel particle 0 where it moved
  // to (60 pixels away: 15 * (1/6 - 8/36) = -5/6, a push to the right).
  ParticleField field = Field(2);
  field.MaxSpeed = 24.0;
  field.x = {120.0, 200.0};
  field.y = {100.0, 100.0};
  field.vx = {20.0, 0.0};
  ASSERT_EQ(Step(field), StepFault::kNone);
  EXPECT_EQ(field.x[0], 140.0);
  EXPECT_NEAR(field.vx[1], 5.0 / 6.0, kTolerance);
}

TEST_P(StepParticlesTest, WrapsExactlyOntoTheOppositeEdge) {
  ParticleField field = Field(4);
  field.Activity = 0.0;
  field.x = {659.8, 0.2, 659.0, 300.0};
  field.y = {100.0, 100.0, 200.0, 439.9};
  field.vx = {0.7, -0.7, 1.0, 0.0};
  field.vy = {0.0, 0.0, 0.0, 0.6};
  ASSERT_EQ(Step(field), StepFault::kNone);
  EXPECT_EQ(field.x[0], 0.0);    // 660.5 > W.
  EXPECT_EQ(field.x[1], 660.0);  // -0.5 < 0.
  EXPECT_EQ(field.x[2], 660.0);  // Exactly on the edge stays.
  EXPECT_EQ(field.y[3], 0.0);
}

TEST_P(StepParticlesTest, HeadingCoversEveryDirectionCase) {
  struct Case { double vx, vy, heading; };
  const Case cases[] = {
      {1.0, 0.0, 2 * kPi},                          // Right.
      {-1.0, 0.0, kPi},                             // Left.
      {1.0, 1.0, kPi / 4 + 2 * kPi},                // Down and right.
      {-1.0, -1.0, kPi / 4 + kPi},                  // Up and left.
      {0.0, 0.0, -1.5707963267948966},              // At rest: up.
      {0.0, 2.0, 1.5707963267948966},               // Straight down.
      {0.0, -2.0, -1.5707963267948966},             // Straight up.
  };
  for (const Case c : cases) {
    ParticleField field = Field(1);
    field.x[0] = field.y[0] = 100.0;
    field.vx[0] = c.vx;
    field.vy[0] = c.vy;
    ASSERT_EQ(Step(field), StepFault::kNone);
    EXPECT_NEAR(field.Heading[0], c.heading, 1e-15) << c.vx << "," << c.vy;
  }
}

TEST_P(StepParticlesTest, WithoutActivityParticlesDriftAndOnlyTheCapActs) {
  ParticleField field = Field(5);
  field.Activity = 0.0;
  field.MaxSpeed = 2.0;
  for (int i = 0; i < 5; ++i) {
    field.x[i] = 100.0 + 10 * i;
    field.y[i] = 100.0;
    field.vx[i] = 0.5 * i;
    field.vy[i] = -0.25;
  }
  ASSERT_EQ(Step(field), StepFault::kNone);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(field.vx[i], 0.5 * i);
    EXPECT_EQ(field.x[i], 100.0 + 10 * i + 0.5 * i);
    EXPECT_EQ(field.y[i], 99.75);
  }
  EXPECT_NEAR(std::hypot(field.vx[4], field.vy[4]), 2.0, 1e-15);  // 2.0156 capped.
}

TEST_P(StepParticlesTest, ParkedSlotsAreNeitherReadNorWritten) {
  ParticleField field = Field(10);
  for (int k = 0; k < MaxParticles; ++k) {
    field.x[k] = k % 600;
    field.y[k] = (k * 7) % 400;
    field.vx[k] = 0.001 * k;
  }
  const ParticleField before = field;
  ASSERT_EQ(Step(field), StepFault::kNone);
  const size_t parkedBytes = (MaxParticles - 10) * sizeof(double);
  EXPECT_EQ(std::memcmp(&field.x[10], &before.x[10], parkedBytes), 0);
  EXPECT_EQ(std::memcmp(&field.vx[10], &before.vx[10], parkedBytes), 0);
  EXPECT_EQ(std::memcmp(&field.Heading[10], &before.Heading[10], parkedBytes), 0);
  // The parked slots at (10..) exert nothing: particle 0 feels only 1..9.
  EXPECT_NE(field.vx[0], before.vx[0]);
}

TEST_P(StepParticlesTest, CountChangeActsAtOnceOnTheGain) {
  // The same pair, with a third particle far to the side at the balance of
  // neither, shows the 30/N gain: the pair force scales by 2/3.
  ParticleField two = Field(2);
  two.x = {100.0, 100.0, 100.0};
  two.y = {100.0, 300.0, 100.0};
  ParticleField three = two;
  three.ParticleCount = 3;  // The third coincides with particle 0: no force.
  ASSERT_EQ(Step(two), StepFault::kNone);
  ASSERT_EQ(Step(three), StepFault::kNone);
  EXPECT_NEAR(three.vy[0], two.vy[0] * 2.0 / 3.0, kTolerance);
}

// Crafted states beyond every control's range force each fault.
TEST_P(StepParticlesTest, OverflowLeavesTheParticleAndStopsTheTick) {
  ParticleField field = Field(3);
  field.Activity = 0.0;
  field.MaxSpeed = DBL_MAX;
  field.x = {10.0, DBL_MAX, 30.0};
  field.vx = {1.0, DBL_MAX, 1.0};
  const ParticleField before = field;
  EXPECT_EQ(Step(field), StepFault::kOverflow);
  EXPECT_EQ(field.x[0], 11.0);  // Already moved: keeps its move.
  EXPECT_EQ(field.x[1], DBL_MAX);
  EXPECT_EQ(field.vx[1], DBL_MAX);
  EXPECT_EQ(field.Heading[1], before.Heading[1]);
  EXPECT_EQ(field.x[2], 30.0);  // Never reached.
}

TEST_P(StepParticlesTest, NegativeCapOnARestingParticleDividesByZero) {
  ParticleField field = Field(1);
  field.MaxSpeed = -1.0;
  field.x[0] = field.y[0] = 5.0;
  EXPECT_EQ(Step(field), StepFault::kDivisionByZero);
  EXPECT_EQ(field.x[0], 5.0);
  EXPECT_EQ(field.vx[0], 0.0);
}

TEST_P(StepParticlesTest, HugeForcesNeverStoreANonFiniteValue) {
  ParticleField field = Field(2);
  field.Activity = 1e300;
  field.Acceleration = 3.0;
  field.RepulsiveAcceleration = 3.0;
  field.Repulsion = 1.0;
  field.x = {0.0, 1e-90};
  field.y = {100.0, 100.0};
  const ParticleField before = field;
  const StepFault fault = Step(field);
  EXPECT_NE(fault, StepFault::kNone);
  EXPECT_EQ(HashField(field), HashField(before));  // Particle 0 failed first.
  EXPECT_STRNE(FaultText(fault), "");
}

INSTANTIATE_TEST_SUITE_P(Literal, StepParticlesTest, testing::Values(&StepParticlesLiteral));
INSTANTIATE_TEST_SUITE_P(Production, StepParticlesTest, testing::Values(&StepParticles));

TEST(FaultTextTest, NamesEachFaultAsTheProgramShowsIt) {
  EXPECT_STREQ(FaultText(StepFault::kOverflow), "Floating point overflow");
  EXPECT_STREQ(FaultText(StepFault::kInvalidOperation), "Invalid floating point operation");
  EXPECT_STREQ(FaultText(StepFault::kDivisionByZero), "Floating point division by zero");
  EXPECT_STREQ(FaultText(StepFault::kNone), "");
}

}  // namespace
}  // namespace zintrel
