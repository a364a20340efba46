#include "simulation/power.h"

#include "simulation/fast/portable_power.h"

#include <cmath>

#include <gtest/gtest.h>

namespace zintrel {
namespace {

TEST(PowerTest, ZeroExponentGivesOne) {
  EXPECT_EQ(Power(0.0, 0.0), 1.0);
  EXPECT_EQ(Power(1e300, 0.0), 1.0);
  EXPECT_EQ(Power(-3.0, -0.0), 1.0);
}

TEST(PowerTest, WholeExponentsAreExactWhereRepresentable) {
  EXPECT_EQ(Power(16.0, 3.0), 4096.0);
  EXPECT_EQ(Power(2500.0, 1.0), 2500.0);
  EXPECT_EQ(Power(8.0, -1.0), 0.125);
  EXPECT_EQ(Power(8.0, -2.0), 1.0 / 64.0);
  EXPECT_EQ(Power(-2.0, 5.0), -32.0);
  EXPECT_EQ(Power(2.0, -1022.0), std::ldexp(1.0, -1022));
  // The reciprocal comes after the squaring, so 2^1074 overflows first.
  EXPECT_EQ(Power(2.0, -1074.0), 0.0);
  EXPECT_EQ(Power(1.0, 2147483647.0), 1.0);
  EXPECT_EQ(Power(-1.0, 2147483647.0), -1.0);
}

// The start law's balance: 1/8 - 8 * 1/64 must cancel exactly.
TEST(PowerTest, StartLawBalancesExactlyAtEight) {
  EXPECT_EQ(Power(8.0, -1.0) - 8.0 * Power(8.0, -2.0), 0.0);
}

TEST(PowerTest, ReciprocalComesLast) {
  // 3^-3 as one reciprocal of 27, not a product of rounded thirds.
  EXPECT_EQ(Power(3.0, -3.0), 1.0 / 27.0);
}

TEST(PowerTest, OtherExponentsGoThroughExpAndLog) {
  EXPECT_EQ(Power(2500.0, 50.0 / 99.0), std::exp(50.0 / 99.0 * std::log(2500.0)));
  EXPECT_EQ(Power(16.0, 10.0 / 33.0), std::exp(10.0 / 33.0 * std::log(16.0)));
  // Beyond the 32-bit range a whole exponent is no longer squared.
  EXPECT_EQ(Power(1.0000001, 4294967296.0), std::exp(4294967296.0 * std::log(1.0000001)));
}

// The power the sum beyond the double range uses reaches far past the
// largest double, and within about two units in the last place of one.
TEST(PortableWidePowerTest, FollowsTheExtendedPower) {
  for (const long double base : {1e-330L, 1e-320L, 3.5e-200L, 1e-10L, 0.0013L, 0.5L, 1.0L, 2.5L, 87.125L, 1.7e9L}) {
    for (int step = -197; step <= 198; step += 5) {
      const double exponent = step / 33.0;
      const long double expected = std::pow(base, static_cast<long double>(exponent));
      EXPECT_NEAR(static_cast<double>(PortableWidePower(base, exponent) / expected), 1.0, 5e-16)
          << static_cast<double>(base) << " ^ " << exponent;
    }
  }
}

// Only IEEE operations: the bits below, recorded on Linux, hold under every
// C library, Windows' included, where the C library's own extended
// exponential and logarithm differ.
TEST(PortableWidePowerTest, GivesTheSameBitsEverywhere) {
  const struct {
    long double base;
    double exponent;
    long double expected;
  } cases[] = {
      {0xf.d00b897478238d1p-1067L, -0x1.7e0f83e0f83e1p+2, 0xe.d17acf5666888p+6342L},
      {0xf.d00b897478238d1p-1067L, 0x1.7c1f07c1f07c2p+1, 0x8.f2d8aa0ac8d9p-3160L},
      {0xa.a64c2f837b4a234p-13L, -0x1.7e0f83e0f83e1p+2, 0x9.672759a70471p+54L},
      {0xa.a64c2f837b4a234p-13L, 0x1.5555555555555p-2, 0xd.f846b4fde2068p-7L},
      {0x8p-3L, 0x1.7c1f07c1f07c2p+1, 0x8p-3L},
      {0xap-2L, -0x1p-1, 0xa.1e89b12424878p-4L},
      {0xa.e4p+3L, 0x1.5555555555555p-2, 0x8.ddc84b8c20398p-1L},
      {0xd.953e8624b85dd79p-1100L, -0x1.83e0f83e0f83ep+1, 0xf.38db1f9dd383p+3318L},
      {0xd.953e8624b85dd79p-1100L, 0x1.7c1f07c1f07c2p+1, 0xb.656626d51a5b8p-3259L},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PortableWidePower(c.base, c.exponent), c.expected) << static_cast<double>(c.base) << " ^ " << c.exponent;
  }
}

}  // namespace
}  // namespace zintrel
