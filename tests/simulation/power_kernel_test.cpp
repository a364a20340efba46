// The vector power kernel on every SIMD target this CPU runs: the same bits
// as the scalar evaluation, lane for lane, and the production step under
// non-whole laws still close to the literal step after ten ticks.

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "tests/simulation/power_kernel_test.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep

#include <cstdint>

#include <hwy/highway.h>

#include "simulation/fast/power_kernel-inl.h"

HWY_BEFORE_NAMESPACE();
namespace zintrel {
namespace HWY_NAMESPACE {

// Writes PowerDifference of every s[i] to out[i] (count a multiple of 8) and
// returns the target it was compiled for.
std::int64_t EvaluateDifferences(const PowerTable& table, const double* s, double* out,
                                 size_t count) {
  const hn::ScalableTag<double> d;
  const PowerTableLanes<hn::ScalableTag<double>> lanes(d, table);
  for (size_t i = 0; i < count; i += hn::Lanes(d)) {
    hn::StoreU(PowerDifference(d, lanes, hn::LoadU(d, s + i)), d, out + i);
  }
  return HWY_TARGET;
}

// NOLINTNEXTLINE(google-readability-namespace-comments)
}  // namespace HWY_NAMESPACE
}  // namespace zintrel
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
#include <bit>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "simulation/fast/power_table.h"
#include "simulation/step_particles.h"
#include "tests/simulation/force_laws.h"

namespace zintrel {
HWY_EXPORT(EvaluateDifferences);
namespace {

// Squared separations across the vector path's range, sub-interval edges
// and their neighbours, and the lanes the kernel must survive without
// using: 0 (a pair on one point, or past the end of a run) and below 1e-20.
std::vector<double> Separations() {
  std::vector<double> s = {0.0, 1e-300, 1e-21, 1e-20, 1.0, 2.0, 0x1.fffffffffffffp0, 1e28, 1e30};
  for (double v = 1e-20; v < 1e30; v *= 1.013) s.push_back(v);
  for (int k = -60; k < 99; k += 7) {
    for (int j = 0; j <= kCentres; j += 5) {
      const double edge = std::ldexp(1.0 + static_cast<double>(j) / kCentres, k);
      s.insert(s.end(), {edge, std::nextafter(edge, 0.0), std::nextafter(edge, 1e300)});
    }
  }
  while (s.size() % 8 != 0) s.push_back(s.size());
  return s;
}

TEST(PowerKernelTest, EveryTargetGivesTheScalarBits) {
  const std::vector<double> s = Separations();
  struct Law { double pullFactor, pullPower, pushFactor, pushPower; };
  for (const Law law : {Law{0.012, -1.2575757575757576, 0.3, -1.5}, Law{1e-3, -8.5, 2e5, 7.5},
                        Law{-1.0, 0.25, 0.0, -0.75}}) {
    const auto table = MakePowerTable(law.pullFactor, law.pullPower, law.pushFactor, law.pushPower);
    std::vector<std::uint64_t> expected(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
      expected[i] = std::bit_cast<std::uint64_t>(EvaluatePowerTerm(*table, table->pull, s[i]) -
                                                 EvaluatePowerTerm(*table, table->push, s[i]));
    }
    int targets = 0;
    for (const std::int64_t target : StepTargets()) {
      hwy::SetSupportedTargetsForTest(target);
      std::vector<double> out(s.size());
      ASSERT_EQ(HWY_DYNAMIC_DISPATCH(EvaluateDifferences)(*table, s.data(), out.data(), s.size()),
                target);
      ++targets;
      for (size_t i = 0; i < s.size(); ++i) {
        ASSERT_EQ(std::bit_cast<std::uint64_t>(out[i]), expected[i])
            << StepTargetName(target) << " s=" << s[i] << " power " << law.pullPower;
      }
    }
    hwy::SetSupportedTargetsForTest(0);
    EXPECT_GE(targets, 2);
  }
}

TEST(PowerKernelTest, NonWholeLawsFollowTheLiteralStepForTenTicks) {
  // Laws under which the literal step itself is stable over ten ticks from
  // this state (under a = 1/33, b = 98/33, say, moving every x by one unit
  // in the last place moves the literal result by 5e-5), so that the test
  // sees the kernel's error rather than the cloud's chaos.
  constexpr double kAgreement = 1e-9;
  const ForceLaw laws[] = {{"50,16", 1.0, 8.0, 50.0 / 33.0, 16.0 / 33.0},
                           {"40,25", 1.0, 8.0, 40.0 / 33.0, 25.0 / 33.0},
                           {"80,10", 1.0, 8.0, 80.0 / 33.0, 10.0 / 33.0},
                           {"99,1", 38.0, 6.0, 3.0, 1.0 / 33.0},
                           {"a whole", 1.0, 8.0, 1.0, 50.0 / 33.0}};
  for (const ForceLaw& law : laws) {
    ParticleField literal = ScatteredField(law, 400, 5);
    ParticleField fast = literal;
    for (int tick = 1; tick <= 10; ++tick) {
      ASSERT_EQ(StepParticlesLiteral(literal), StepFault::kNone);
      ASSERT_EQ(StepParticles(fast), StepFault::kNone);
      if (tick != 1 && tick != 10) continue;
      for (int i = 0; i < 400; ++i) {
        ASSERT_NEAR(fast.x[i], literal.x[i], kAgreement) << law.name << " tick " << tick << " " << i;
        ASSERT_NEAR(fast.y[i], literal.y[i], kAgreement) << law.name << " tick " << tick << " " << i;
        ASSERT_NEAR(fast.vx[i], literal.vx[i], kAgreement) << law.name << " tick " << tick << " " << i;
        ASSERT_NEAR(fast.vy[i], literal.vy[i], kAgreement) << law.name << " tick " << tick << " " << i;
      }
    }
  }
}

}  // namespace
}  // namespace zintrel
#endif  // HWY_ONCE
