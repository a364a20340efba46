// The portable power and the per-law power tables against long-double
// references: over the whole range of squared separations the vector path
// takes, for every exponent the controls reach and for the largest ones the
// vector path accepts.

#include <cmath>
#include <iterator>
#include <limits>
#include <set>

#include <gtest/gtest.h>

#include "simulation/fast/portable_power.h"
#include "simulation/fast/power_table.h"

namespace zintrel {
namespace {

long double RelativeError(double value, long double reference) {
  return std::fabs((static_cast<long double>(value) - reference) / reference);
}

TEST(PortablePowerTest, IsWithinTwoUnitsInTheLastPlaceOverTheWholeRange) {
  // Bases from the smallest subnormal to near the largest double, exponents
  // the controls give and far beyond; results that stay normal.
  long double worst = 0.0L;
  for (double base = 1e-320; base < 1e300; base *= 1.37) {
    for (const double exponent : {-8.5, -3.5, -1.0 - 50.0 / 33.0, -0.5, 1.0 / 3.0, 2.0, 7.5, 100.25}) {
      const long double reference = std::pow(static_cast<long double>(base), static_cast<long double>(exponent));
      if (!(reference > 1e-300L && reference < 1e300L)) continue;
      worst = std::max(worst, RelativeError(PortablePower(base, exponent), reference));
    }
  }
  EXPECT_LT(worst, 4.5e-16L);
}

TEST(PortablePowerTest, ExactCasesAndTheEdgesOfTheRange) {
  EXPECT_EQ(PortablePower(1.0, 0.37), 1.0);
  EXPECT_EQ(PortablePower(0.0001, 0.0), 1.0);
  EXPECT_EQ(PortablePower(2.0, 10.0), 1024.0);
  EXPECT_EQ(PortablePower(4.0, 0.5), 2.0);
  EXPECT_EQ(PortablePower(1e300, 2.0), std::numeric_limits<double>::infinity());
  EXPECT_EQ(PortablePower(1e-300, 2.0), 0.0);
  // Into the subnormal numbers, rounded once: e^-740 is about 4.2e-322.
  const double tiny = PortableExp({-740.0, 0.0});
  EXPECT_GT(tiny, 0.0);
  EXPECT_LT(tiny, std::numeric_limits<double>::min());
  EXPECT_NEAR(tiny, static_cast<double>(std::exp(-740.0L)), 5e-324);
  const WideDouble log = PortableLog(5e-324);  // -1074 ln 2.
  EXPECT_NEAR(static_cast<long double>(log.hi) + log.lo, -1074.0L * std::log(2.0L), 1e-16L);
}

// Returns the worst relative error of both terms of the law's table over
// the squared separations the vector path takes, 1e-20 .. 1e30, sampled
// between and exactly on sub-interval edges.
long double WorstTableError(double pullPower, double pushPower, double step) {
  const double pullFactor = 3.0, pushFactor = 0.07;
  const auto table = MakePowerTable(pullFactor, pullPower, pushFactor, pushPower);
  long double worst = 0.0L;
  for (double s = 1e-20; s <= 1e30; s *= step) {
    for (const double sample : {s, std::ldexp(1.0 + 1.0 / kCentres, std::ilogb(s))}) {
      const long double wide = sample;
      worst = std::max(worst, RelativeError(EvaluatePowerTerm(*table, table->pull, sample),
                                            pullFactor * std::pow(wide, static_cast<long double>(pullPower))));
      worst = std::max(worst, RelativeError(EvaluatePowerTerm(*table, table->push, sample),
                                            pushFactor * std::pow(wide, static_cast<long double>(pushPower))));
    }
  }
  return worst;
}

TEST(PowerTableTest, EveryPairOfSliderExponentsIsAccurate) {
  // a = i / 33 and b = k / 33: the pull term is s^((-a - 1) / 2), the push
  // term s^((-a - b - 1) / 2). Each term's table depends on its own power
  // only, so covering every distinct pull power and every distinct push
  // power covers all 100 x 100 pairs.
  std::set<double> pullPowers, pushPowers;
  for (int i = 0; i < 100; ++i) {
    for (int k = 0; k < 100; ++k) {
      const double a = i / 33.0, b = k / 33.0;
      pullPowers.insert(0.5 * (-a - 1.0));
      pushPowers.insert(0.5 * (-(a + b) - 1.0));
    }
  }
  ASSERT_EQ(pullPowers.size(), 100u);
  long double worst = 0.0L;
  auto pull = pullPowers.begin();
  for (const double pushPower : pushPowers) {
    worst = std::max(worst, WorstTableError(*pull, pushPower, 1.1));
    if (std::next(pull) != pullPowers.end()) ++pull;
  }
  EXPECT_LT(worst, 4e-14L);
}

TEST(PowerTableTest, DenseSamplesAndTheLargestExponentsAreAccurate) {
  EXPECT_LT(WorstTableError(0.5 * (-50.0 / 33.0 - 1.0), 0.5 * (-66.0 / 33.0 - 1.0), 1.0007), 4e-14L);
  EXPECT_LT(WorstTableError(-8.5, 7.5, 1.01), 1e-12L);
  EXPECT_LT(WorstTableError(0.3, -0.3, 1.01), 4e-14L);
}

TEST(PowerTableTest, TheSameLawGivesTheSameTable) {
  const auto first = MakePowerTable(1.5, -1.2, 2.5, -1.7);
  EXPECT_EQ(MakePowerTable(1.5, -1.2, 2.5, -1.7), first);  // Kept, not rebuilt.
  const auto other = MakePowerTable(1.5, -1.2, 2.5, -1.8);
  EXPECT_NE(other->scaled, first->scaled);
  const auto again = MakePowerTable(1.5, -1.2, 2.5, -1.7);
  EXPECT_EQ(again->scaled, first->scaled);
}

}  // namespace
}  // namespace zintrel
