#include "app/slider_mapping.h"

#include <climits>
#include <cmath>

#include <gtest/gtest.h>

namespace zintrel {
namespace {

struct PositionCase {
  int position;
  int expected;
};

TEST(SliderMappingTest, ParticleCountFollowsTheExponentialScale) {
  const PositionCase cases[] = {{0, 1},   {8, 1},     {9, 2},     {13, 2},    {14, 3},
                                {30, 10}, {33, 13},   {49, 48},   {50, 52},   {66, 184},
                                {90, 1227}, {98, 2310}, {99, 2500}};
  for (const PositionCase& c : cases) {
    EXPECT_EQ(ParticleCountAt(c.position), c.expected) << "position " << c.position;
  }
}

TEST(SliderMappingTest, TimerIntervalFollowsTheExponentialScale) {
  const PositionCase cases[] = {{0, 1},   {10, 2},   {33, 16},  {50, 66},
                                {66, 256}, {90, 1922}, {99, 4096}};
  for (const PositionCase& c : cases) {
    EXPECT_EQ(TimerIntervalAt(c.position), c.expected) << "position " << c.position;
  }
}

TEST(SliderMappingTest, ParticleSizeAddsTwoForDarts) {
  EXPECT_EQ(ParticleSizeAt(0, false), 1.0);
  EXPECT_EQ(ParticleSizeAt(6, false), 7.0);
  EXPECT_EQ(ParticleSizeAt(0, true), 3.0);
  EXPECT_EQ(ParticleSizeAt(6, true), 9.0);
  EXPECT_EQ(ParticleSizeAt(3, true), 6.0);  // The start value.
}

TEST(SliderMappingTest, ExponentIsWholeEveryThirtyThreeSteps) {
  EXPECT_EQ(ExponentAt(0), 0.0);
  EXPECT_EQ(ExponentAt(33), 1.0);
  EXPECT_EQ(ExponentAt(66), 2.0);
  EXPECT_EQ(ExponentAt(99), 3.0);
}

TEST(SliderMappingTest, InitialRadiusSpansTheShorterSide) {
  // 436 * (10 / 99) / 2 + 1, rounded only by the division.
  EXPECT_NEAR(InitialRadiusAt(10, 660, 440), 23.0202, 1e-4);
  EXPECT_EQ(InitialRadiusAt(99, 660, 440), 219.0);
  EXPECT_EQ(InitialRadiusAt(99, 440, 660), 219.0);
  EXPECT_EQ(InitialRadiusAt(0, 660, 440), 1.0);
}

TEST(SliderMappingTest, InitialRadiusIsAtLeastOneOnTinyDisplays) {
  const int sizes[][2] = {{4, 440}, {660, 3}, {0, 0}, {1, 1}, {5, 5}};
  for (const auto& size : sizes) {
    for (int position : {0, 10, 99}) {
      const double radius = InitialRadiusAt(position, size[0], size[1]);
      EXPECT_GE(radius, 1.0) << size[0] << " x " << size[1] << " at " << position;
      EXPECT_LE(radius, 1.5) << size[0] << " x " << size[1] << " at " << position;
    }
  }
  // No size a window can report wraps the margin round.
  EXPECT_EQ(InitialRadiusAt(99, INT_MIN, 10), 1.0);
  EXPECT_TRUE(std::isfinite(InitialRadiusAt(99, INT_MAX, INT_MAX)));
}

// A preset moves each slider to the position whose handler stores the very
// value the preset just set, so the sliders and the field agree afterwards.
TEST(SliderMappingTest, PresetPositionsShowTheirValues) {
  for (const ForceLawPreset& preset : {kPresetType1, kPresetType2}) {
    EXPECT_EQ(static_cast<double>(preset.activityPosition), preset.activity);
    EXPECT_EQ(static_cast<double>(preset.repulsionPosition), preset.repulsion);
    EXPECT_EQ(ExponentAt(preset.accelerationPosition), preset.acceleration);
    EXPECT_EQ(ExponentAt(preset.repulsiveAccelerationPosition), preset.repulsiveAcceleration);
  }
  EXPECT_EQ(kPresetType2.activityPosition, 38);
  EXPECT_EQ(kPresetType2.repulsionPosition, 6);
  EXPECT_EQ(kPresetType2.accelerationPosition, 66);
  EXPECT_EQ(kPresetType2.repulsiveAccelerationPosition, 33);
}

}  // namespace
}  // namespace zintrel
