#include "simulation/arctan.h"

#include <cmath>
#include <cstdint>
#include <limits>

#include <gtest/gtest.h>

#include "simulation/random_source.h"

namespace zintrel {
namespace {

// Returns |got - atan(x)| in units in the last place of got, against the
// extended-precision arctangent.
double UlpError(double x, double got) {
  const long double exact = std::atan(static_cast<long double>(x));
  const double ulp = std::ldexp(1.0, std::ilogb(got) - 52);
  return static_cast<double>(std::fabs(static_cast<long double>(got) - exact)) / ulp;
}

TEST(ArctangentTest, WithinOneUlpAcrossEveryReductionInterval) {
  // Random arguments spread over magnitudes 2^-40 .. 2^40 (every interval of
  // the reduction and both signs), plus both sides of each interval's bounds.
  RandomSource random(5);
  double worst = 0.0;
  for (int k = 0; k < 200000; ++k) {
    const double x = (random.Next() < 0.5 ? -1.0 : 1.0) *
                     std::ldexp(1.0 + random.Next(), static_cast<int>(80 * random.Next()) - 40);
    worst = std::fmax(worst, UlpError(x, Arctangent(x)));
  }
  for (const double bound : {0x1p-27, 0.4375, 0.6875, 1.1875, 2.4375, 0x1p66}) {
    for (const double x : {std::nextafter(bound, 0.0), bound, std::nextafter(bound, 1e300)}) {
      worst = std::fmax(worst, UlpError(x, Arctangent(x)));
      worst = std::fmax(worst, UlpError(-x, Arctangent(-x)));
    }
  }
  EXPECT_LT(worst, 1.0);
}

TEST(ArctangentTest, SpecialArgumentsAreExact) {
  constexpr double kHalfPi = 1.5707963267948966;
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(Arctangent(inf), kHalfPi);
  EXPECT_EQ(Arctangent(-inf), -kHalfPi);
  EXPECT_EQ(Arctangent(1e300), kHalfPi);
  EXPECT_EQ(Arctangent(1.0), 0.78539816339744828);  // The double nearest pi/4.
  EXPECT_EQ(Arctangent(0.0), 0.0);
  EXPECT_TRUE(std::signbit(Arctangent(-0.0)));
  EXPECT_EQ(Arctangent(1e-300), 1e-300);
  EXPECT_TRUE(std::isnan(Arctangent(std::numeric_limits<double>::quiet_NaN())));
}

TEST(ArctangentTest, IsOddAndIncreasing) {
  RandomSource random(8);
  double previous = -2.0;
  for (double x = -50.0; x < 50.0; x += 0.25 + 0.01 * random.Next()) {
    const double y = Arctangent(x);
    EXPECT_EQ(Arctangent(-x), -y) << x;
    EXPECT_GE(y, previous) << x;
    previous = y;
  }
}

}  // namespace
}  // namespace zintrel
