#include "simulation/random_source.h"

#include <gtest/gtest.h>

namespace zintrel {
namespace {

// Expected states worked out from state <- state * 134775813 + 1 (mod 2^32).
TEST(RandomSourceTest, FollowsTheRecurrenceFromSeedZero) {
  RandomSource random(0);
  EXPECT_EQ(random.Next(), 1.0 / 4294967296.0);
  EXPECT_EQ(random.State(), 1u);
  EXPECT_EQ(random.Next(), 134775814.0 / 4294967296.0);
  EXPECT_EQ(random.Next(), 3698175007.0 / 4294967296.0);
}

TEST(RandomSourceTest, WrapsAroundModuloTwoToThe32) {
  RandomSource random(0xFFFFFFFFu);
  EXPECT_EQ(random.Next(), 4160191484.0 / 4294967296.0);
  EXPECT_EQ(random.Next(), 866343917.0 / 4294967296.0);
}

TEST(RandomSourceTest, ReseedingRestartsTheSequence) {
  RandomSource random(123456);
  EXPECT_EQ(random.Next(), 179465025.0 / 4294967296.0);
  EXPECT_EQ(random.Next(), 2530319430.0 / 4294967296.0);
  random.Seed(123456);
  EXPECT_EQ(random.Next(), 179465025.0 / 4294967296.0);
}

TEST(RandomSourceTest, StaysInsideTheHalfOpenUnitInterval) {
  RandomSource random(987654321);
  for (int k = 0; k < 100000; ++k) {
    const double value = random.Next();
    ASSERT_GE(value, 0.0);
    ASSERT_LT(value, 1.0);
  }
}

TEST(RandomSourceTest, ClockSeedIsWithinOneDay) {
  EXPECT_LT(MillisecondsSinceMidnightUtc(), 24u * 60 * 60 * 1000);
}

}  // namespace
}  // namespace zintrel
