// The step's bits are frozen: a seed or a saved state replays identically
// in every later version of the program, on every processor and in every
// shell. The hashes below were recorded once, when the step's arithmetic
// was settled on operations that every SIMD instruction set computes
// alike; they must hold on every target, for every thread count, on Linux,
// under Windows and in WebAssembly. A change that moves any of them breaks
// every state and link shared before it: it needs a new state format
// version, never a new hash here.

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/simulation/field_hash.h"
#include "tests/simulation/force_laws.h"

#include "simulation/random_source.h"
#include "simulation/rescale_field.h"
#include "simulation/scatter.h"
#include "simulation/step_particles.h"

namespace zintrel {
namespace {

constexpr int kCount = MaxParticles;
constexpr int kTicks = 200;

// The sliders' steepest exponents in a field 20 pixels high, from the
// start-up scatter: particles wrap onto the same edges a hair apart, and
// their pulls leave the double range, so the sum carried beyond it decides
// a particle's velocity a few hundred times in these ticks.
ParticleField SteepestLawInAThinField() {
  ParticleField field;
  SetStartValues(field);
  RandomSource random(5);
  Scatter(field, random);
  field.ParticleCount = kCount;
  field.Acceleration = field.RepulsiveAcceleration = 3.0;
  field.FieldWidth = 660;
  field.FieldHeight = 20;
  RescaleField(field);
  return field;
}

struct Recorded {
  const char* name;
  ParticleField (*start)();
  std::uint64_t hash;  // Of the field after kTicks ticks.
};

const Recorded kRecorded[] = {
    {"start", [] { return ScatteredField(kStartLaw, kCount, 7); }, 0x06c228979185dfe6ull},
    {"type2", [] { return ScatteredField(kType2Law, kCount, 7); }, 0xd1f18cd6a2da1045ull},
    {"nonwhole", [] { return ScatteredField(kNonWholeLaw, kCount, 7); }, 0xa50d918d9f4f3438ull},
    {"overflow_edge", &SteepestLawInAThinField, 0xa92a0633ed66c4edull},
};

// A target and a thread count, taking a turn at the ticks.
struct Turn {
  std::int64_t target;
  int threads;
};

// Every SIMD target the processor runs, on one thread and on two, takes its
// turn at the ticks: a relay through all of them must end where any single
// one of them does, at the recorded hash, so a target or thread count that
// differed in a single bit of any tick would show. (Runs wholly on one
// target or thread count are compared in StepTargetsTest and
// StepThreadsTest, on smaller fields.)
class StepReplayTest : public testing::TestWithParam<Recorded> {};

TEST_P(StepReplayTest, EveryTargetAndThreadCountInTurnEndAtTheRecordedHash) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  // Minutes per run there, for bits the release and Windows builds check;
  // the sanitizers watch the threads' sharing in StepThreadsTest.
  GTEST_SKIP() << "the hashes are checked in the release and Windows builds";
#endif
  std::vector<Turn> turns;
  for (const std::int64_t target : StepTargets()) {
    for (const int threads : {1, 2}) turns.push_back({target, threads});
  }
  const int ticksPerTurn = (kTicks + static_cast<int>(turns.size()) - 1) / static_cast<int>(turns.size());
  ParticleField field = GetParam().start();
  for (int tick = 0; tick < kTicks; ++tick) {
    const Turn& turn = turns[tick / ticksPerTurn];
    ASSERT_EQ(StepParticlesWithOptions(field, {turn.threads, turn.target}), StepFault::kNone)
        << "tick " << tick << " on " << StepTargetName(turn.target) << ", " << turn.threads << " threads";
  }
  EXPECT_EQ(HashField(field), GetParam().hash) << "0x" << std::hex << HashField(field);
}

INSTANTIATE_TEST_SUITE_P(Frozen, StepReplayTest, testing::ValuesIn(kRecorded),
                         [](const auto& info) { return std::string(info.param.name); });

// The same starts over kShortTicks ticks, a relay short enough for builds
// whose tests run under an emulator (a tick of 2500 particles takes a
// second there): the 64-bit Arm build under qemu runs these in place of the
// runs above. Every build checks them, so they hold on every target too.
constexpr int kShortTicks = 10;

const Recorded kShortRecorded[] = {
    {"start", kRecorded[0].start, 0x3a016585f9d21698ull},
    {"type2", kRecorded[1].start, 0x4c8ae2ae638fc4bbull},
    {"nonwhole", kRecorded[2].start, 0x7710cec5ddfe4675ull},
    {"overflow_edge", kRecorded[3].start, 0xfc7c9539094eb084ull},
};

class ShortStepReplayTest : public testing::TestWithParam<Recorded> {};

TEST_P(ShortStepReplayTest, EveryTargetAndThreadCountInTurnEndAtTheRecordedHash) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "the hashes are checked in the release, Windows, web and arm64 builds";
#endif
  std::vector<Turn> turns;
  for (const std::int64_t target : StepTargets()) {
    for (const int threads : {1, 2}) turns.push_back({target, threads});
  }
  // Each turn takes at least one tick, so all of them run when there are
  // no more turns than ticks (ten on x86, four on Arm).
  ASSERT_LE(turns.size(), static_cast<size_t>(kShortTicks));
  const int ticksPerTurn = (kShortTicks + static_cast<int>(turns.size()) - 1) / static_cast<int>(turns.size());
  ParticleField field = GetParam().start();
  for (int tick = 0; tick < kShortTicks; ++tick) {
    const Turn& turn = turns[tick / ticksPerTurn];
    ASSERT_EQ(StepParticlesWithOptions(field, {turn.threads, turn.target}), StepFault::kNone)
        << "tick " << tick << " on " << StepTargetName(turn.target) << ", " << turn.threads << " threads";
  }
  EXPECT_EQ(HashField(field), GetParam().hash) << "0x" << std::hex << HashField(field);
}

INSTANTIATE_TEST_SUITE_P(Frozen, ShortStepReplayTest, testing::ValuesIn(kShortRecorded),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace zintrel
