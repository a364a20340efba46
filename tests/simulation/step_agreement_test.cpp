// The production step against the literal reference, and against itself
// across thread counts, SIMD targets and runs. Agreement is to 1e-9 of a
// pixel (or pixel per tick) after one tick from realistic states: the fast
// step folds the law's constants and computes 1 / r by Newton's iteration,
// so its sums differ from the literal ones by rounding only.

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "tests/simulation/field_hash.h"
#include "tests/simulation/force_laws.h"

#include "simulation/random_source.h"
#include "simulation/scatter.h"
#include "simulation/step_particles.h"

namespace zintrel {
namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kAgreement = 1e-9;

using Law = ForceLaw;
const Law& kStart = kStartLaw;
const Law& kType2 = kType2Law;
const Law& kNonWhole = kNonWholeLaw;
const Law kFlat{"flat", 1.0, 8.0, 0.0, 0.0};  // a = b = 0: a constant push at every distance.
const Law kSteep{"steep", 1.0, 8.0, 17.5, 1.0};  // Beyond the vector forms: pair by pair.

ParticleField Scattered(const Law& law, int count, std::uint32_t seed = 7) {
  return ScatteredField(law, count, seed);
}

// Expects every active particle of a and b within kAgreement, headings
// modulo 2 pi, and the parked slots identical.
void ExpectAgree(const ParticleField& a, const ParticleField& b, const std::string& what) {
  const int count = ActiveCount(a);
  for (int i = 0; i < count; ++i) {
    ASSERT_NEAR(a.x[i], b.x[i], kAgreement) << what << " particle " << i;
    ASSERT_NEAR(a.y[i], b.y[i], kAgreement) << what << " particle " << i;
    ASSERT_NEAR(a.vx[i], b.vx[i], kAgreement) << what << " particle " << i;
    ASSERT_NEAR(a.vy[i], b.vy[i], kAgreement) << what << " particle " << i;
    ASSERT_NEAR(std::remainder(a.Heading[i] - b.Heading[i], kTwoPi), 0.0, kAgreement)
        << what << " particle " << i;
  }
}

void ExpectIdentical(const ParticleField& a, const ParticleField& b, const std::string& what) {
  EXPECT_EQ(std::memcmp(&a, &b, sizeof a), 0) << what;
}

TEST(StepAgreementTest, OneTickAgreesWithTheLiteralStepForEveryCountAndLaw) {
  for (const Law& law : {kStart, kType2, kNonWhole, kFlat}) {
    for (const int count : {1, 2, 3, 7, 50, 499, 500, 501, 1000, 2500}) {
      ParticleField literal = Scattered(law, count);
      ParticleField fast = literal;
      ASSERT_EQ(StepParticlesLiteral(literal), StepFault::kNone);
      ASSERT_EQ(StepParticles(fast), StepFault::kNone);
      ExpectAgree(literal, fast, std::string(law.name) + " N=" + std::to_string(count));
    }
  }
}

TEST(StepAgreementTest, AgreesAfterTheCloudHasEvolved) {
  // Ten literal ticks pull the disc into clusters, with close pairs.
  for (const Law& law : {kStart, kType2, kNonWhole, kSteep}) {
    ParticleField literal = Scattered(law, 300, 11);
    for (int tick = 0; tick < 10; ++tick) ASSERT_EQ(StepParticlesLiteral(literal), StepFault::kNone);
    ParticleField fast = literal;
    ASSERT_EQ(StepParticlesLiteral(literal), StepFault::kNone);
    ASSERT_EQ(StepParticles(fast), StepFault::kNone);
    ExpectAgree(literal, fast, law.name);
  }
}

TEST(StepAgreementTest, SpecialPairsAgreeWithTheLiteralStep) {
  // Stacked columns (equal x), coincident pairs and a pair 1e-16 pixels
  // apart (too close for the vector path) mixed into an ordinary cloud.
  for (const Law& law : {kStart, kNonWhole}) {
    ParticleField literal = Scattered(law, 40, 3);
    for (int k = 0; k < 8; ++k) literal.x[10 + k] = literal.x[9];     // One column.
    literal.x[20] = literal.x[21], literal.y[20] = literal.y[21];     // Coincident.
    literal.x[30] = 0.0, literal.x[31] = 1e-16;  // Representable only near 0.
    literal.y[30] = literal.y[31];
    literal.vx[30] = literal.vx[31] = 0.0;
    ParticleField fast = literal;
    ASSERT_EQ(StepParticlesLiteral(literal), StepFault::kNone);
    ASSERT_EQ(StepParticles(fast), StepFault::kNone);
    ExpectAgree(literal, fast, law.name);
  }
}

TEST(StepAgreementTest, OneAndTwoThreadsGiveIdenticalBits) {
  for (const Law& law : {kStart, kType2, kNonWhole}) {
    for (const int count : {300, 777, 2500}) {
      ParticleField one = Scattered(law, count);
      ParticleField two = one;
      for (int tick = 0; tick < 3; ++tick) {
        ASSERT_EQ(StepParticlesWithOptions(one, {1, 0}), StepFault::kNone);
        ASSERT_EQ(StepParticlesWithOptions(two, {2, 0}), StepFault::kNone);
      }
      ExpectIdentical(one, two, std::string(law.name) + " N=" + std::to_string(count));
    }
  }
}

TEST(StepAgreementTest, EveryTargetAgreesAndRepeatsItself) {
  const std::vector<std::int64_t> targets = StepTargets();
  ASSERT_FALSE(targets.empty());
  for (const Law& law : {kStart, kNonWhole}) {
    const ParticleField start = Scattered(law, 1000);
    ParticleField literal = start;
    ASSERT_EQ(StepParticlesLiteral(literal), StepFault::kNone);
    for (const std::int64_t target : targets) {
      ParticleField first = start;
      ParticleField again = start;
      ASSERT_EQ(StepParticlesWithOptions(first, {1, target}), StepFault::kNone);
      ASSERT_EQ(StepParticlesWithOptions(again, {2, target}), StepFault::kNone);
      const std::string what = std::string(law.name) + " " + StepTargetName(target);
      ExpectIdentical(first, again, what);
      ExpectAgree(literal, first, what);
    }
  }
}

TEST(StepAgreementTest, ParkedSlotsAreUntouchedWhenSharedBetweenThreads) {
  ParticleField field = Scattered(kStart, MaxParticles);
  field.ParticleCount = 900;
  const ParticleField before = field;
  ASSERT_EQ(StepParticlesWithOptions(field, {2, 0}), StepFault::kNone);
  const size_t parked = (MaxParticles - 900) * sizeof(double);
  for (const auto member : {&ParticleField::x, &ParticleField::y, &ParticleField::vx,
                            &ParticleField::vy, &ParticleField::Heading}) {
    EXPECT_EQ(std::memcmp(&(field.*member)[900], &(before.*member)[900], parked), 0);
  }
}

TEST(StepAgreementTest, CountAndLawChangesActAtTheNextTick) {
  // The step keeps buffers between ticks; nothing of the previous tick's
  // count or law may leak into the next one.
  ParticleField fast = Scattered(kStart, 2500);
  ASSERT_EQ(StepParticles(fast), StepFault::kNone);
  fast.ParticleCount = 611;
  fast.Acceleration = 2.0;
  ParticleField literal = fast;
  ASSERT_EQ(StepParticlesLiteral(literal), StepFault::kNone);
  ASSERT_EQ(StepParticles(fast), StepFault::kNone);
  ExpectAgree(literal, fast, "after shrinking");
}

TEST(StepAgreementTest, AFaultInTheSecondBlockStopsBothThreadsCleanly) {
  ParticleField field = Scattered(kStart, 1200);
  field.MaxSpeed = -1.0;  // Every moving particle's speed exceeds it: a speed of 0 divides.
  field.vx[700] = field.vy[700] = 0.0;
  field.Activity = 0.0;
  ParticleField literal = field;
  EXPECT_EQ(StepParticlesWithOptions(field, {2, 0}), StepFault::kDivisionByZero);
  EXPECT_EQ(StepParticlesLiteral(literal), StepFault::kDivisionByZero);
  ExpectAgree(literal, field, "up to the fault");
  // The next tick runs normally.
  field.MaxSpeed = 8.0;
  EXPECT_EQ(StepParticlesWithOptions(field, {2, 0}), StepFault::kNone);
}

}  // namespace
}  // namespace zintrel
