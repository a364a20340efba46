// Pulls beyond the double range. Near the sliders' right ends particles that
// wrap exactly onto an edge can sit a hair apart, and the pair force of such
// a pair overflows a double although the law is one the controls produce.
// The step must then carry that particle's sum at a wider range and cap it,
// while the same situation under a law beyond the controls is still a fault.

#include <cmath>

#include <gtest/gtest.h>

#include "simulation/advance_field.h"
#include "simulation/random_source.h"
#include "simulation/scatter.h"
#include "simulation/step_particles.h"
#include "simulation/wide_velocity.h"
#include "tests/simulation/field_hash.h"

namespace zintrel {
namespace {

constexpr double kHalfPi = 1.5707963267948966;

// Two particles at rest on the left edge, particle 1 a hair below-right of
// particle 0 at (dx, dy): far inside the balance distance, so it pushes
// particle 0 away with a force no double holds under the sliders' steepest law.
ParticleField HairApart(double dx, double dy) {
  ParticleField field;
  SetStartValues(field);
  field.ParticleCount = 2;
  field.Acceleration = 3.0;
  field.RepulsiveAcceleration = 3.0;
  field.x[0] = 0.0, field.y[0] = 0.0;
  field.x[1] = dx, field.y[1] = dy;
  return field;
}

class WideVelocityTest : public testing::TestWithParam<StepFunction> {
 protected:
  StepFault Step(ParticleField& field) { return GetParam()(field); }
};

TEST_P(WideVelocityTest, OverflowingPushLeavesAtTheCapStraightAway) {
  ParticleField field = HairApart(0.0, 1e-160);
  ASSERT_EQ(Step(field), StepFault::kNone);
  EXPECT_EQ(field.vx[0], 0.0);
  EXPECT_EQ(field.vy[0], -8.0);  // Straight up, away from particle 1, at MaxSpeed.
  EXPECT_EQ(field.Heading[0], -kHalfPi);
  EXPECT_EQ(field.y[0], field.FieldHeight);  // Moved above the top edge: wrapped.
  for (int i = 0; i < 2; ++i) {
    EXPECT_TRUE(std::isfinite(field.vx[i]) && std::isfinite(field.vy[i]));
  }
}

TEST_P(WideVelocityTest, CappedVelocityKeepsTheDirectionOfTheNetPull) {
  // A 3-4-5 separation: the push is along (-0.6, -0.8), and the particle's
  // own small velocity vanishes beside it.
  ParticleField field = HairApart(3e-160, 4e-160);
  field.vx[0] = 1.0;
  field.MaxSpeed = 10.0;
  ASSERT_EQ(Step(field), StepFault::kNone);
  EXPECT_DOUBLE_EQ(field.vx[0], -6.0);
  EXPECT_DOUBLE_EQ(field.vy[0], -8.0);
  EXPECT_DOUBLE_EQ(std::hypot(field.vx[0], field.vy[0]), field.MaxSpeed);
}

TEST_P(WideVelocityTest, BeyondTheControlsTheSameStateStillFaults) {
  for (const double acceleration : {3.5, 40.0}) {
    ParticleField field = HairApart(0.0, 1e-160);
    field.Acceleration = acceleration;
    const ParticleField before = field;
    const StepFault fault = Step(field);
    EXPECT_TRUE(fault == StepFault::kOverflow || fault == StepFault::kInvalidOperation)
        << "a = " << acceleration;
    EXPECT_EQ(HashField(field), HashField(before));  // Particle 0 failed first.
  }
}

INSTANTIATE_TEST_SUITE_P(Literal, WideVelocityTest, testing::Values(&StepParticlesLiteral));
INSTANTIATE_TEST_SUITE_P(Production, WideVelocityTest, testing::Values(&StepParticles));

TEST(LawWithinControlsTest, AcceptsTheSlidersRangesAndNothingBeyond) {
  ParticleField field;
  SetStartValues(field);
  field.ParticleCount = 2500;
  field.Activity = field.Repulsion = 99.0;
  field.Acceleration = field.RepulsiveAcceleration = 3.0;
  field.MaxSpeed = 24.0;
  EXPECT_TRUE(LawWithinControls(field));
  const auto beyond = [&](auto change) {
    ParticleField copy = field;
    change(copy);
    return !LawWithinControls(copy);
  };
  EXPECT_TRUE(beyond([](ParticleField& f) { f.Activity = 99.5; }));
  EXPECT_TRUE(beyond([](ParticleField& f) { f.Repulsion = -1.0; }));
  EXPECT_TRUE(beyond([](ParticleField& f) { f.Acceleration = 3.0 + 1e-12; }));
  EXPECT_TRUE(beyond([](ParticleField& f) { f.RepulsiveAcceleration = NAN; }));
  EXPECT_TRUE(beyond([](ParticleField& f) { f.MaxSpeed = 0.5; }));
  EXPECT_TRUE(beyond([](ParticleField& f) { f.ParticleCount = 0; }));
}

// A run that used to stop with "Floating point overflow" within 100 ticks: 2500
// particles under the steepest law in a 660 x 20 field, as the tool builds it
// for seed 5. Every tick now completes and no speed exceeds the cap.
TEST(WideVelocityRunTest, SteepestLawInAThinFieldRunsWithoutFault) {
  ParticleField field;
  RandomSource random(5);
  SetStartValues(field);
  Scatter(field, random);
  field.ParticleCount = 2500;
  field.Acceleration = field.RepulsiveAcceleration = 3.0;
  for (int tick = 1; tick <= 120; ++tick) {
    ASSERT_EQ(AdvanceField(field, 660, 20), StepFault::kNone) << "tick " << tick;
  }
  for (int i = 0; i < 2500; ++i) {
    ASSERT_TRUE(std::isfinite(field.x[i]) && std::isfinite(field.y[i]));
    ASSERT_LE(std::hypot(field.vx[i], field.vy[i]), field.MaxSpeed * (1 + 1e-15));
  }
}

}  // namespace
}  // namespace zintrel
