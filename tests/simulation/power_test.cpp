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
// largest double and below the smallest, within about two units in the last
// place of its mantissa.
TEST(PortableScaledPowerTest, FollowsTheExtendedPower) {
  for (const double base : {1e-320, 3.5e-200, 1e-10, 0.0013, 0.5, 1.0, 2.5, 87.125, 1.7e9, 1e300}) {
    for (int step = -197; step <= 198; step += 5) {
      const double exponent = step / 33.0;
      const long double expected = std::pow(static_cast<long double>(base), static_cast<long double>(exponent));
      const ScaledDouble power = PortableScaledPower(base, exponent);
      EXPECT_GE(power.mantissa, 1.0 / 64);
      EXPECT_LE(power.mantissa, 64.0);
      EXPECT_NEAR(static_cast<double>(std::ldexp(static_cast<long double>(power.mantissa), power.exponent) / expected),
                  1.0, 5e-16)
          << base << " ^ " << exponent;
    }
  }
}

TEST(PortableScaledPowerTest, WholeExponentsScaleTheRepeatedSquaring) {
  // Where the plain power is a normal double, the scaled one is the same
  // number: the squaring's roundings do not depend on the scale.
  for (const double base : {1e-40, 0.0013, 0.7, 3.0, 87.125, 1.7e9}) {
    for (const double exponent : {-6.0, -5.0, -3.0, -1.0, 2.0, 4.0}) {
      const ScaledDouble power = PortableScaledPower(base, exponent);
      EXPECT_EQ(std::ldexp(power.mantissa, power.exponent), Power(base, exponent)) << base << " ^ " << exponent;
    }
  }
  const ScaledDouble one = PortableScaledPower(1e-300, 0.0);
  EXPECT_EQ(std::ldexp(one.mantissa, one.exponent), 1.0);
}

// Only IEEE operations and exact scalings: the bits below, recorded on
// Linux, hold under every C library and processor.
TEST(PortableScaledPowerTest, GivesTheSameBitsEverywhere) {
  const struct {
    double base;
    double exponent;
    double mantissa;
    int scale;
  } cases[] = {
      {0x0.00000000007e8p-1022, -0x1.8p+1, 0x1.093712d33ff42p+0, 3189},
      {0x0.00000000007e8p-1022, -0x1.41f07c1f07c1fp+1, 0x1.9161f37407177p+1, 2672},
      {0x0.00000000007e8p-1022, -0x1.7f5c28f5c28f6p+2, 0x1.630c2cfbacf98p-1, 6368},
      {0x1.54c985f06f694p-10, -0x1.364d9364d9365p-2, 0x1.df72fe7ed3f89p-2, 4},
      {0x1p-2, -0x1.8p+2, 0x1p+6, 6},
      {0x1p-2, -0x1.d1745d1745d17p+0, 0x1.8ded91f0e72eep-1, 4},
      {0x1.18p+2, -0x1.8p+2, 0x1.2b0fee306d76ap+5, -18},
      {0x1.5c8p+6, -0x1.d1745d1745d17p+0, 0x1.373855164b73cp+0, -12},
      {0x1.1fee341fc585dp-535, -0x1.41f07c1f07c1fp+1, 0x1.21ed7ee680621p+1, 1344},
      {0x1.1fee341fc585dp-535, -0x1.7f5c28f5c28f6p+2, 0x1.8d57682518ec2p-1, 3204},
      {0x1.4e4f8914c53aap-995, -0x1.364d9364d9365p-2, 0x1.516fabde17bfcp+1, 300},
  };
  for (const auto& c : cases) {
    const ScaledDouble power = PortableScaledPower(c.base, c.exponent);
    EXPECT_EQ(power.mantissa, c.mantissa) << c.base << " ^ " << c.exponent;
    EXPECT_EQ(power.exponent, c.scale) << c.base << " ^ " << c.exponent;
  }
}

}  // namespace
}  // namespace zintrel
