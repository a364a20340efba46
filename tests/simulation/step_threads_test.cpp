// The production step on any number of threads: the same state and inputs
// give the same bits on 1 thread or many, at counts on both sides of the
// block and slice boundaries, for whole and non-whole laws, and when a tick
// stops at a fault. Counts of threads above the two cores of a small machine
// are deliberate: over-subscribed helpers lose their core mid-piece, which
// is when a piece is computed twice or handed over late.

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "tests/simulation/force_laws.h"

#include "simulation/step_particles.h"

namespace zintrel {
namespace {

const int kThreadCounts[] = {1, 2, 3, 4, 8};

std::string Describe(const char* what, int count, int threads) {
  return std::string(what) + " N=" + std::to_string(count) + " threads=" + std::to_string(threads);
}

// Returns the first array slot where a and b differ in any bit, or -1.
int FirstDifference(const ParticleField& a, const ParticleField& b) {
  for (int i = 0; i < MaxParticles; ++i) {
    for (const auto member : {&ParticleField::x, &ParticleField::y, &ParticleField::vx,
                              &ParticleField::vy, &ParticleField::Heading}) {
      if (std::memcmp(&(a.*member)[i], &(b.*member)[i], sizeof(double)) != 0) return i;
    }
  }
  return -1;
}

TEST(StepThreadsTest, AnyThreadCountGivesTheSameBits) {
  // 256 particles are one block, 257 add a block of one; 512 and 513 the
  // same one block later; 2500 is the largest count, with a short last block.
  for (const ForceLaw& law : {kStartLaw, kNonWholeLaw}) {
    for (const int count : {255, 256, 257, 511, 512, 513, 2500}) {
      ParticleField reference = ScatteredField(law, count, 29);
      const ParticleField start = reference;
      const int ticks = count == 2500 ? 2 : 3;
      for (int tick = 0; tick < ticks; ++tick) {
        ASSERT_EQ(StepParticlesWithOptions(reference, {1, 0}), StepFault::kNone);
      }
      ASSERT_NE(FirstDifference(reference, start), -1) << "the ticks must move something";
      for (const int threads : kThreadCounts) {
        ParticleField field = start;
        for (int tick = 0; tick < ticks; ++tick) {
          ASSERT_EQ(StepParticlesWithOptions(field, {threads, 0}), StepFault::kNone);
        }
        EXPECT_EQ(FirstDifference(reference, field), -1) << Describe(law.name, count, threads);
      }
    }
  }
}

TEST(StepThreadsTest, DefaultAndLargestThreadCountsMatchOneThread) {
  // The default (every hardware thread) and the cap of 64 over-subscribe
  // the pool most; a long run gives a race many chances to show.
  ParticleField one = ScatteredField(kType2Law, 900, 5);
  ParticleField byDefault = one;
  ParticleField most = one;
  for (int tick = 0; tick < 12; ++tick) {
    ASSERT_EQ(StepParticlesWithOptions(one, {1, 0}), StepFault::kNone);
    ASSERT_EQ(StepParticles(byDefault), StepFault::kNone);
    ASSERT_EQ(StepParticlesWithOptions(most, {kMaxStepThreads, 0}), StepFault::kNone);
  }
  EXPECT_EQ(FirstDifference(one, byDefault), -1);
  EXPECT_EQ(FirstDifference(one, most), -1);
  EXPECT_GE(DefaultStepThreads(), 1);
  EXPECT_LE(DefaultStepThreads(), kMaxStepThreads);
}

struct FaultCase {
  const char* name;
  int particle;  // The one whose move faults.
  StepFault fault;
};

// Returns a field of 1200 particles whose tick faults at c.particle.
ParticleField FaultingField(const FaultCase& c) {
  ParticleField field = ScatteredField(kNonWholeLaw, 1200, 41);
  if (c.fault == StepFault::kInvalidOperation) {
    // A velocity that is not a number stays one whatever pull is added.
    field.vx[c.particle] = std::numeric_limits<double>::quiet_NaN();
  } else {
    // Every moving particle's speed exceeds a negative cap; one at rest
    // divides by its zero speed.
    field.MaxSpeed = -1.0;
    field.Activity = 0.0;
    field.vx[c.particle] = field.vy[c.particle] = 0.0;
  }
  return field;
}

TEST(StepThreadsTest, AFaultStopsAtTheSameParticleWithTheSameStateOnAnyThreads) {
  // The first particle of a block, the last of one, and one deep inside a
  // late block while helpers are far ahead of the moving thread.
  const FaultCase cases[] = {
      {"nan at block start", 256, StepFault::kInvalidOperation},
      {"zero speed at block end", 767, StepFault::kDivisionByZero},
      {"nan in a late block", 1100, StepFault::kInvalidOperation},
  };
  for (const FaultCase& c : cases) {
    const ParticleField start = FaultingField(c);
    ParticleField reference = start;
    ASSERT_EQ(StepParticlesWithOptions(reference, {1, 0}), c.fault) << c.name;
    // Everything before the particle moved; it and everything after did not.
    EXPECT_EQ(FirstDifference(reference, start), 0) << c.name;
    ParticleField tail = start;
    std::memcpy(tail.x.data(), reference.x.data(), c.particle * sizeof(double));
    std::memcpy(tail.y.data(), reference.y.data(), c.particle * sizeof(double));
    std::memcpy(tail.vx.data(), reference.vx.data(), c.particle * sizeof(double));
    std::memcpy(tail.vy.data(), reference.vy.data(), c.particle * sizeof(double));
    std::memcpy(tail.Heading.data(), reference.Heading.data(), c.particle * sizeof(double));
    EXPECT_EQ(FirstDifference(reference, tail), -1) << c.name;
    EXPECT_NE(reference.x[c.particle - 1], start.x[c.particle - 1]) << c.name;

    for (const int threads : kThreadCounts) {
      ParticleField field = start;
      EXPECT_EQ(StepParticlesWithOptions(field, {threads, 0}), c.fault) << Describe(c.name, 1200, threads);
      EXPECT_EQ(FirstDifference(reference, field), -1) << Describe(c.name, 1200, threads);
    }
  }
}

TEST(StepThreadsTest, TheTickAfterAFaultStartsClean) {
  // Pieces and helpers of the abandoned tick must not leak into the next.
  ParticleField faulted = FaultingField({"", 700, StepFault::kInvalidOperation});
  ASSERT_EQ(StepParticlesWithOptions(faulted, {8, 0}), StepFault::kInvalidOperation);
  faulted.vx[700] = 1.0;
  ParticleField alone = faulted;
  ASSERT_EQ(StepParticlesWithOptions(faulted, {8, 0}), StepFault::kNone);
  ASSERT_EQ(StepParticlesWithOptions(alone, {1, 0}), StepFault::kNone);
  EXPECT_EQ(FirstDifference(alone, faulted), -1);
}

}  // namespace
}  // namespace zintrel
