#include "settings/panel_layout.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace zintrel {
namespace {

TEST(PanelLayoutTest, EverySliderOnceWithTheStartValuesItsHandlerGives) {
  std::set<Slider> seen;
  for (const PanelControl& control : PanelControls()) {
    if (control.kind != ControlKind::kSlider) continue;
    EXPECT_TRUE(seen.insert(control.slider).second) << control.name;
    EXPECT_EQ(&SliderControl(control.slider), &control);
    EXPECT_LE(control.minimum, control.position);
    EXPECT_LE(control.position, control.maximum);
  }
  EXPECT_EQ(seen.size(), std::size(kSliders));

  // The start positions show the start values, through the same mapping a
  // moved slider uses; the count alone starts at 50, below its slider's 52.
  ParticleField start;
  SetStartValues(start);
  EXPECT_EQ(ParticleCountAt(SliderControl(Slider::kTrackBar1).position), 52);
  EXPECT_EQ(ParticleSizeAt(SliderControl(Slider::kTrackBar2).position, true), start.ParticleSize);
  EXPECT_EQ(SliderControl(Slider::kTrackBar3).position, start.MaxSpeed);
  EXPECT_EQ(ExponentAt(SliderControl(Slider::kTrackBar4).position), start.Acceleration);
  EXPECT_EQ(ExponentAt(SliderControl(Slider::kTrackBar5).position), start.RepulsiveAcceleration);
  EXPECT_EQ(SliderControl(Slider::kTrackBar6).position, start.Activity);
  EXPECT_EQ(SliderControl(Slider::kTrackBar7).position, start.Repulsion);
  EXPECT_EQ(TimerIntervalAt(SliderControl(Slider::kTrackBar9).position), 16);
  // The ranges are those PositionsShowing searches.
  EXPECT_EQ(SliderControl(Slider::kTrackBar2).maximum, 6);
  EXPECT_EQ(SliderControl(Slider::kTrackBar3).minimum, 1);
  EXPECT_EQ(SliderControl(Slider::kTrackBar3).maximum, 24);
}

TEST(PanelLayoutTest, ControlsStayInsideThePanelAndButtonsAreNumberedOnce) {
  std::set<std::string> names;
  std::set<Button> buttons;
  for (const PanelControl& control : PanelControls()) {
    EXPECT_TRUE(names.insert(control.name).second) << control.name;
    EXPECT_GE(control.bounds.left, 0) << control.name;
    EXPECT_GE(control.bounds.top, 0) << control.name;
    EXPECT_LE(control.bounds.left + control.bounds.width, kPanelWidth) << control.name;
    EXPECT_LE(control.bounds.top + control.bounds.height, kPanelHeight) << control.name;
    EXPECT_EQ(std::string(control.text).empty(), control.kind == ControlKind::kSlider) << control.name;
    if (control.kind == ControlKind::kButton) {
      EXPECT_TRUE(buttons.insert(control.button).second) << control.name;
    }
  }
  EXPECT_EQ(buttons.size(), 4u);
}

}  // namespace
}  // namespace zintrel
