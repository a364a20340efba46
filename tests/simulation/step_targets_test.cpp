// The production step gives the same bits on every SIMD target this CPU
// runs, for every thread count, on small fields whose runs end mid-vector
// and on the laws beyond the vector forms. The recorded hashes hold for all
// targets together; a change to them means runs recorded before no longer
// replay.

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/simulation/field_hash.h"
#include "tests/simulation/force_laws.h"

#include "simulation/step_particles.h"

namespace zintrel {
namespace {

// Beyond the exponents the vector forms take: pair by pair on every target,
// with the program's own power function.
constexpr ForceLaw kSteepLaw{"steep", 1.0, 8.0, 17.5, 1.0};

// Returns the hash of a scattered field after `ticks` ticks on `target`, or
// 0 if a tick faulted.
std::uint64_t HashAfter(const ForceLaw& law, int count, int ticks, std::int64_t target, int threads) {
  ParticleField field = ScatteredField(law, count, 21);
  for (int tick = 0; tick < ticks; ++tick) {
    if (StepParticlesWithOptions(field, {threads, target}) != StepFault::kNone) return 0;
  }
  return HashField(field);
}

// The sanitizer builds run each target on two threads only: there the
// scalar target's lanes go through instrumented memory, and all thread
// counts took this one test about a minute of the address sanitizer's run.
// The release build checks both thread counts against the same hashes.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr int kThreadCounts[] = {2};
#else
constexpr int kThreadCounts[] = {1, 2};
#endif

TEST(StepTargetsTest, HundredTicksHashToOneValueOnEveryTargetAndThreadCount) {
  // 301 particles: two blocks of rows, and runs whose lengths are not
  // multiples of any vector width.
  const struct {
    ForceLaw law;
    int count;
    std::uint64_t hash;
  } recorded[] = {
      {kStartLaw, 301, 0x8ff0226acda0d326ull},
      {kType2Law, 301, 0xfa19f7bf9e0551b7ull},
      {kSteepLaw, 101, 0xcd08d6f7dfac07cbull},
      {kNonWholeLaw, 301, 0xb59ad3c44e848c67ull},
      {kSliderLaw, 301, 0x091d14ac949031c6ull},
  };
  for (const auto& entry : recorded) {
    for (const std::int64_t target : StepTargets()) {
      for (const int threads : kThreadCounts) {
        const std::uint64_t hash = HashAfter(entry.law, entry.count, 100, target, threads);
        EXPECT_EQ(hash, entry.hash) << entry.law.name << " " << StepTargetName(target) << " "
                                    << threads << " threads: 0x" << std::hex << hash;
      }
    }
  }
}

TEST(StepTargetsTest, AStateContinuedUnderAnotherTargetEndsWhereOneRunDoes) {
  // 50 ticks on each target in turn, handing the state on, against 100 on
  // the best target.
  const std::vector<std::int64_t> targets = StepTargets();
  for (const ForceLaw& law : {kStartLaw, kType2Law}) {
    ParticleField single = ScatteredField(law, 700, 33);
    ParticleField relay = single;
    for (int tick = 0; tick < 100; ++tick) ASSERT_EQ(StepParticles(single), StepFault::kNone);
    for (int tick = 0; tick < 100; ++tick) {
      const std::int64_t target = targets[(tick / 50 + 1) % targets.size()];
      ASSERT_EQ(StepParticlesWithOptions(relay, {0, target}), StepFault::kNone);
    }
    EXPECT_EQ(std::memcmp(&single, &relay, sizeof single), 0) << law.name;
  }
}

TEST(StepTargetsTest, ClosePairsInsideAVectorGiveTheSameBitsOnEveryTarget) {
  // A pair 1e-16 pixels apart is computed pair by pair; its neighbours in
  // the same vector (and the same group of eight) must keep their vector
  // values, or the widest target would differ from the narrower ones.
  // Coincident particles and a column of equal x are mixed in as well.
  for (const ForceLaw& law : {kStartLaw, kType2Law}) {
    ParticleField start = ScatteredField(law, 45, 3);
    for (int k = 0; k < 6; ++k) start.x[10 + k] = start.x[9];
    start.x[20] = start.x[21], start.y[20] = start.y[21];
    start.x[33] = 0.0, start.x[34] = 1e-16, start.y[33] = start.y[34];
    start.vx[33] = start.vx[34] = 0.0;
    std::uint64_t first = 0;
    for (const std::int64_t target : StepTargets()) {
      ParticleField field = start;
      for (int tick = 0; tick < 3; ++tick) {
        ASSERT_EQ(StepParticlesWithOptions(field, {1, target}), StepFault::kNone);
      }
      if (first == 0) first = HashField(field);
      EXPECT_EQ(HashField(field), first) << law.name << " " << StepTargetName(target);
    }
  }
}

}  // namespace
}  // namespace zintrel
