// The multiply-add of the pair kernels on every SIMD target this CPU runs,
// whether the target fuses in hardware or emulates, and the integer one
// behind the emulation: all give the same bits, and on a processor with a
// fused multiply-add those are the processor's own. The cases aim at what an
// emulation gets wrong: ties and near-ties after cancellation, signs of
// zero, subnormal results, and the ends of the range where the emulation's
// exact steps stop being exact. (The C library is no reference: the one the
// Windows program links rounds some of these twice.)

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "tests/simulation/fused_multiply_add_test.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep

#include <cstdint>

#include <hwy/highway.h>

#include "simulation/fast/fused_multiply_add-inl.h"

HWY_BEFORE_NAMESPACE();
namespace zintrel {
namespace HWY_NAMESPACE {

// Writes FusedMulAdd(a[i], b[i], c[i]) to out[i] (count a multiple of 8) and
// returns the target it was compiled for.
std::int64_t EvaluateFusedMulAdds(const double* a, const double* b, const double* c, double* out,
                                  size_t count) {
  const hn::ScalableTag<double> d;
  for (size_t i = 0; i < count; i += hn::Lanes(d)) {
    hn::StoreU(FusedMulAdd(d, hn::LoadU(d, a + i), hn::LoadU(d, b + i), hn::LoadU(d, c + i)), d, out + i);
  }
  return HWY_TARGET;
}

// Returns whether the target multiplies and adds in one instruction.
bool FusesInHardware() { return HWY_NATIVE_FMA != 0; }

// NOLINTNEXTLINE(google-readability-namespace-comments)
}  // namespace HWY_NAMESPACE
}  // namespace zintrel
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
#include <bit>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "simulation/fast/exact_fma.h"
#include "simulation/step_particles.h"

namespace zintrel {
HWY_EXPORT(EvaluateFusedMulAdds);
HWY_EXPORT(FusesInHardware);
namespace {

struct Cases {
  std::vector<double> a, b, c;
  void Add(double x, double y, double z) {
    a.push_back(x);
    b.push_back(y);
    c.push_back(z);
  }
};

// Returns an odd integer of `bits` bits times 2^exponent, with a random sign.
double ShortNumber(std::mt19937_64& random, int bits, int exponent) {
  const auto mantissa = static_cast<double>((random() >> (64 - bits)) | 1 | (1ull << (bits - 1)));
  return std::ldexp(random() & 1 ? -mantissa : mantissa, exponent);
}

Cases MakeCases() {
  Cases cases;
  std::mt19937_64 random(2026);
  std::uniform_real_distribution<double> unit(1.0, 2.0);
  const auto any = [&](int lowExponent, int highExponent) {
    const int e = std::uniform_int_distribution<int>(lowExponent, highExponent)(random);
    return std::ldexp(random() & 1 ? -unit(random) : unit(random), e);
  };
  for (int k = 0; k < 60000; ++k) {
    // Unrelated magnitudes: most of c or most of a b survives.
    cases.Add(any(-60, 60), any(-60, 60), any(-120, 120));
    // c cancels the rounded product, leaving its rounding error and a few
    // units of c's last place: the emulation's final rounding decides.
    const double a = any(-40, 40), b = any(-40, 40);
    const double p = a * b;
    const int units = std::uniform_int_distribution<int>(-3, 3)(random);
    cases.Add(a, b, -p + units * std::ldexp(std::fabs(p), -52 - (k % 4)));
    // Products of two 27-bit numbers are exact in 54 bits: odd ones are ties
    // on their own, and a c above or below them moves the tie (or makes it a
    // near-tie) at every distance.
    const double x = ShortNumber(random, 27, -26), y = ShortNumber(random, 27, -26);
    const double z = ShortNumber(random, 1 + k % 53, std::uniform_int_distribution<int>(-230, 8)(random));
    cases.Add(x, y, z);
    cases.Add(x, y, -z);
    cases.Add(x, y, 0.0);
    // Products near the bottom of the range, whose rounding error is
    // subnormal or lost, with a c of the same size.
    cases.Add(any(-560, -480), any(-560, -480), any(-1070, -990));
  }
  // Signs of zero, exact cancellation, and the range's ends: overflow,
  // products too small for the emulation's exact steps, subnormals, and
  // values that are not numbers.
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double tiny = std::numeric_limits<double>::denorm_min();
  const double specials[] = {0.0,    -0.0,    1.0,       -1.0,     0x1p995,  0x1p996, 0x1p1000, 0x1p-960,
                             0x1p-961, 1e-300, 1e300, -1e308,   tiny,     -tiny,   0x1p-1022, inf,
                             -inf,   nan,     3.0,       0x1.fffffffffffffp0};
  for (const double x : specials) {
    for (const double y : specials) {
      for (const double z : specials) cases.Add(x, y, z);
      cases.Add(x, y, -x * y);
    }
  }
  while (cases.a.size() % 8 != 0) cases.Add(1.0, 1.0, 1.0);
  return cases;
}

TEST(FusedMulAddTest, EveryTargetAndTheIntegerOneRoundOnceAsTheProcessorDoes) {
  const Cases cases = MakeCases();
  const size_t count = cases.a.size();
  int targets = 0, hardware = 0;
  for (const std::int64_t target : StepTargets()) {
    hwy::SetSupportedTargetsForTest(target);
    hardware += HWY_DYNAMIC_DISPATCH(FusesInHardware)() ? 1 : 0;
    std::vector<double> out(count);
    ASSERT_EQ(HWY_DYNAMIC_DISPATCH(EvaluateFusedMulAdds)(cases.a.data(), cases.b.data(), cases.c.data(),
                                                          out.data(), count),
              target);
    ++targets;
    int wrong = 0;
    for (size_t i = 0; i < count && wrong < 10; ++i) {
      const double expected = ExactFusedMulAdd(cases.a[i], cases.b[i], cases.c[i]);
      const bool same = std::isnan(expected) ? std::isnan(out[i])
                                             : std::bit_cast<std::uint64_t>(out[i]) ==
                                                   std::bit_cast<std::uint64_t>(expected);
      if (!same) {
        ++wrong;
        ADD_FAILURE() << StepTargetName(target) << std::hexfloat << ": " << cases.a[i] << " * " << cases.b[i]
                      << " + " << cases.c[i] << " gave " << out[i] << ", not " << expected;
      }
    }
  }
  hwy::SetSupportedTargetsForTest(0);
  EXPECT_GE(targets, 2);
  // Every x86-64 processor of the last ten years fuses; on one that does
  // not, the emulation is only checked against the integer version.
  if (hardware == 0) GTEST_SKIP() << "no target here fuses in hardware";
}

}  // namespace
}  // namespace zintrel
#endif  // HWY_ONCE
