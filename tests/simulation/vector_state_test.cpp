// The upper vector state: dirtied on purpose, it must be clean again after
// the helper and after each entry point that promises to clean it. Where the
// CPU cannot report the state (no xgetbv with ECX = 1) the checks are skipped,
// since nothing could be observed.

#include <gtest/gtest.h>

#include "simulation/particle_field.h"
#include "simulation/step_particles.h"
#include "simulation/vector_state.h"

namespace zintrel {
namespace {

// Dirties the state and confirms that the CPU shows it; skips the test when
// that cannot be seen.
#define DIRTY_OR_SKIP()                                                               \
  do {                                                                                \
    if (!VectorStateInUse() || !DirtyUpperVectorState()) GTEST_SKIP() << "not observable"; \
    ASSERT_NE(*VectorStateInUse() & kUpperVectorStateBit, 0u);                        \
  } while (false)

bool UpperStateClean() { return (*VectorStateInUse() & kUpperVectorStateBit) == 0; }

TEST(VectorStateTest, ClearLeavesTheUpperStateClean) {
  DIRTY_OR_SKIP();
  ClearUpperVectorState();
  EXPECT_TRUE(UpperStateClean());
  // A second clear on a clean state keeps it clean.
  ClearUpperVectorState();
  EXPECT_TRUE(UpperStateClean());
}

TEST(VectorStateTest, LiteralStepLeavesTheUpperStateClean) {
  ParticleField field;
  SetStartValues(field);
  field.ParticleCount = 40;
  for (int i = 0; i < 40; ++i) {
    field.x[i] = 10.0 + 7.0 * i;
    field.y[i] = 20.0 + 3.0 * (i % 9);
  }
  DIRTY_OR_SKIP();
  ASSERT_EQ(StepParticlesLiteral(field), StepFault::kNone);
  // Cleared at the entry, and nothing in the pair loop or the finish of each
  // particle dirtied it again.
  EXPECT_TRUE(UpperStateClean());
}

}  // namespace
}  // namespace zintrel
