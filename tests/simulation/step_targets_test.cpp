// The production step gives the same bits on every SIMD target this CPU
// runs, for every thread count: a seed or a saved state replays identically
// on any x86-64 processor. The recorded hashes hold for all targets
// together; a change to them means runs recorded before no longer replay.

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

// Beyond the exponents the vector forms take: pair by pair on every target.
// Its non-whole power still comes from the C library's exp and log, so its
// hash holds on processors whose library takes the same code path as here.
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

TEST(StepTargetsTest, HundredTicksHashToOneValueOnEveryTargetAndThreadCount) {
  // 601 particles: three blocks of rows, and runs whose lengths are not
  // multiples of any vector width.
  const struct {
    ForceLaw law;
    int count;
    std::uint64_t hash;
  } recorded[] = {
      {kStartLaw, 601, 0xd9de330be4ac56feull},
      {kType2Law, 601, 0x367195d37600c66dull},
      {kSteepLaw, 301, 0x88ffa844ad3d93e1ull},
  };
  for (const auto& entry : recorded) {
    for (const std::int64_t target : StepTargets()) {
      for (const int threads : {1, 2}) {
        const std::uint64_t hash = HashAfter(entry.law, entry.count, 100, target, threads);
        EXPECT_EQ(hash, entry.hash) << entry.law.name << " " << StepTargetName(target) << " "
                                    << threads << " threads: 0x" << std::hex << hash;
      }
    }
  }
}

}  // namespace
}  // namespace zintrel
