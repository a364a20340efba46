#include "settings/slider_mapping.h"

#include <climits>
#include <cmath>
#include <limits>
#include <string>

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

// Each tooltip shows the value its handler stores, in the handler's own
// arithmetic, so the rounding below is that of the real positions.
TEST(SliderMappingTest, ValueTextGivesTheValueWithItsUnit) {
  const struct {
    SliderQuantity quantity;
    double value;
    const char* expected;
  } cases[] = {
      {SliderQuantity::kParticleCount, static_cast<double>(ParticleCountAt(0)), "How many particles move: 1"},
      {SliderQuantity::kParticleCount, static_cast<double>(ParticleCountAt(50)), "How many particles move: 52"},
      {SliderQuantity::kParticleCount, static_cast<double>(ParticleCountAt(99)), "How many particles move: 2500"},
      {SliderQuantity::kParticleSize, ParticleSizeAt(3, true), "How large the particles are drawn: radius 6 px"},
      {SliderQuantity::kParticleSize, ParticleSizeAt(0, false), "How large the particles are drawn: radius 1 px"},
      {SliderQuantity::kMaxSpeed, 24.0, "The fastest a particle may move: 24 px per tick"},
      {SliderQuantity::kActivity, 38.0, "How strongly the particles pull and push: A = 38.000"},
      {SliderQuantity::kActivity, 0.0, "How strongly the particles pull and push: A = 0.000"},
      {SliderQuantity::kRepulsion, 99.0, "How much the push weighs at short range: B = 99.000"},
      {SliderQuantity::kAcceleration, ExponentAt(34), "How fast the force fades with distance: a = 1.030"},
      {SliderQuantity::kAcceleration, ExponentAt(50), "How fast the force fades with distance: a = 1.515"},
      {SliderQuantity::kAcceleration, ExponentAt(98), "How fast the force fades with distance: a = 2.970"},
      {SliderQuantity::kRepulsiveAcceleration, ExponentAt(1), "How sharply the push takes over up close: b = 0.030"},
      {SliderQuantity::kRepulsiveAcceleration, ExponentAt(2), "How sharply the push takes over up close: b = 0.061"},
      {SliderQuantity::kRepulsiveAcceleration, ExponentAt(99), "How sharply the push takes over up close: b = 3.000"},
      {SliderQuantity::kInitialRadius, InitialRadiusAt(10, 660, 440),
       "The disc the particles are scattered in: radius 23.02 px"},
      {SliderQuantity::kInitialRadius, InitialRadiusAt(99, 660, 440),
       "The disc the particles are scattered in: radius 219.00 px"},
      {SliderQuantity::kInitialRadius, InitialRadiusAt(50, 3, 3),
       "The disc the particles are scattered in: radius 1.00 px"},
      {SliderQuantity::kTimerInterval, static_cast<double>(TimerIntervalAt(0)), "Time between two ticks: 1 ms"},
      {SliderQuantity::kTimerInterval, static_cast<double>(TimerIntervalAt(50)), "Time between two ticks: 66 ms"},
      {SliderQuantity::kTimerInterval, static_cast<double>(TimerIntervalAt(99)),
       "Time between two ticks: 4096 ms"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SliderValueText(c.quantity, c.value), c.expected) << "value " << c.value;
  }
}

// Values no control produces still give a readable text, never a truncated
// or garbled one: the largest double has 309 digits before the point.
TEST(SliderMappingTest, ValueTextWritesAnyDoubleInFull) {
  const std::string largest =
      SliderValueText(SliderQuantity::kActivity, std::numeric_limits<double>::max());
  const std::string prefix = "How strongly the particles pull and push: A = ";
  EXPECT_EQ(largest.size(), prefix.size() + 309 + 4);
  EXPECT_EQ(largest.substr(0, prefix.size() + 5), prefix + "17976");
  EXPECT_EQ(largest.substr(largest.size() - 4), ".000");
  EXPECT_EQ(SliderValueText(SliderQuantity::kInitialRadius, 1e9),
            "The disc the particles are scattered in: radius 1000000000.00 px");
  EXPECT_EQ(SliderValueText(SliderQuantity::kMaxSpeed, 2.5), "The fastest a particle may move: 2.5 px per tick");
}

}  // namespace
}  // namespace zintrel

namespace zintrel {
namespace {

// The start-up state, as the settings window shows it.
constexpr SliderPositions kStartPositions{50, 3, 8, 33, 33, 1, 8, 10, 33};

ParticleField StartField() {
  ParticleField field;
  SetStartValues(field);
  return field;
}

// The start state needs no slider moved, although 50 particles lie between
// positions 49 (48) and 50 (52): the current position wins a tie.
TEST(SliderPositionsTest, TheStartStateMovesNothing) {
  EXPECT_EQ(PositionsShowing(StartField(), true, 16, kStartPositions), kStartPositions);
  SliderPositions elsewhere = kStartPositions;
  elsewhere.TrackBar1 = 0;
  EXPECT_EQ(PositionsShowing(StartField(), true, 16, elsewhere).TrackBar1, 49);
}

TEST(SliderPositionsTest, EachSliderMovesToTheNearestValue) {
  ParticleField field = StartField();
  field.ParticleCount = 2400;           // 2310 at 98, 2500 at 99.
  field.ParticleSize = 4.4;             // Discs: 4 at 3, 5 at 4.
  field.MaxSpeed = 23.6;
  field.Acceleration = 0.49;            // 16 / 33 = 0.485, 17 / 33 = 0.515.
  field.RepulsiveAcceleration = 3.0;
  field.Activity = 38.0;
  field.Repulsion = 0.2;
  field.InitialRadius = 219.0;          // Position 99 on a 660 x 440 field.
  const SliderPositions positions = PositionsShowing(field, false, 60, kStartPositions);
  EXPECT_EQ(positions.TrackBar1, 98);
  EXPECT_EQ(positions.TrackBar2, 3);
  EXPECT_EQ(positions.TrackBar3, 24);
  EXPECT_EQ(positions.TrackBar4, 16);
  EXPECT_EQ(positions.TrackBar5, 99);
  EXPECT_EQ(positions.TrackBar6, 38);
  EXPECT_EQ(positions.TrackBar7, 0);
  EXPECT_EQ(positions.TrackBar8, 99);
  EXPECT_EQ(positions.TrackBar9, 49);  // 60 ms: 56 at 48, 61 at 49.
  // Darts of the same radius sit two positions lower.
  EXPECT_EQ(PositionsShowing(field, true, 16, kStartPositions).TrackBar2, 1);
}

// A state never scattered by Initialise says nothing about TrackBar8.
TEST(SliderPositionsTest, InitialRadiusBelowOneLeavesItsSlider) {
  ParticleField field = StartField();
  field.InitialRadius = 0.0;
  SliderPositions current = kStartPositions;
  current.TrackBar8 = 77;
  EXPECT_EQ(PositionsShowing(field, true, 16, current).TrackBar8, 77);
}

}  // namespace
}  // namespace zintrel
