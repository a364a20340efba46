#include "simulation/power.h"

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

}  // namespace
}  // namespace zintrel
