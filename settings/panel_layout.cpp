#include "settings/panel_layout.h"

#include <stdexcept>

#include "settings/catalog.h"

namespace zintrel {
namespace {

constexpr int kSliderLeft = 72;
constexpr int kSliderWidth = 123;
constexpr int kSliderHeight = 33;

constexpr PanelControl SliderAt(const char* name, Slider slider, int top, int minimum, int maximum, int position,
                                bool everyStep) {
  return {ControlKind::kSlider, name, "", {kSliderLeft, top, kSliderWidth, kSliderHeight}, slider, minimum, maximum,
          position, everyStep, Button::kButton1};
}

constexpr PanelControl Label(const char* name, const char* text, PanelBounds bounds) {
  return {ControlKind::kLabel, name, text, bounds, Slider::kTrackBar1, 0, 0, 0, false, Button::kButton1};
}

constexpr PanelControl ButtonAt(const char* name, Button button, const char* text, PanelBounds bounds) {
  return {ControlKind::kButton, name, text, bounds, Slider::kTrackBar1, 0, 0, 0, false, button};
}

constexpr PanelControl kControls[] = {
    SliderAt("TrackBar1", Slider::kTrackBar1, 24, 0, 99, 50, false),
    {ControlKind::kCheckBox, "CheckBox1", TrNoop("Show direction"), {32, 57, 113, 17}, Slider::kTrackBar1, 0, 1, 1, false,
     Button::kButton1},
    SliderAt("TrackBar2", Slider::kTrackBar2, 80, 0, 6, 3, true),
    SliderAt("TrackBar3", Slider::kTrackBar3, 128, 1, 24, 8, true),
    SliderAt("TrackBar6", Slider::kTrackBar6, 176, 0, 99, 1, false),
    SliderAt("TrackBar7", Slider::kTrackBar7, 216, 0, 99, 8, false),
    SliderAt("TrackBar4", Slider::kTrackBar4, 256, 0, 99, 33, false),
    SliderAt("TrackBar5", Slider::kTrackBar5, 296, 0, 99, 33, false),
    ButtonAt("Button1", Button::kButton1, TrNoop("type1"), {40, 336, 49, 25}),
    ButtonAt("Button2", Button::kButton2, TrNoop("type2"), {112, 336, 49, 25}),
    SliderAt("TrackBar8", Slider::kTrackBar8, 384, 0, 99, 10, false),
    ButtonAt("Button3", Button::kButton3, TrNoop("Scatter"), {28, 424, 49, 25}),
    ButtonAt("Button4", Button::kButton4, TrNoop("Play / Pause"), {96, 424, 77, 25}),
    SliderAt("TrackBar9", Slider::kTrackBar9, 472, 0, 99, 33, false),
    Label("StaticText1", TrNoop("Particles"), {16, 29, 52, 16}),
    Label("StaticText2", TrNoop("Size"), {32, 85, 35, 16}),
    Label("StaticText3", TrNoop("MAX SPEED"), {4, 133, 68, 16}),
    Label("StaticText4", TrNoop("Activity"), {24, 181, 40, 16}),
    Label("StaticText5", TrNoop("Repulsion"), {24, 221, 40, 16}),
    Label("StaticText6", TrNoop("Accel."), {24, 261, 40, 16}),
    Label("StaticText7", TrNoop("Push accel."), {8, 301, 64, 16}),
    Label("StaticText8", TrNoop("Radius"), {16, 389, 52, 16}),
    Label("StaticText9", TrNoop("Tick rate"), {16, 477, 52, 16}),
};

constexpr MenuItem kMenu[] = {
    {MenuAction::kSaveState, TrNoop("Save state…"), "Ctrl+S"},
    {MenuAction::kOpenState, TrNoop("Open state…"), "Ctrl+O"},
    {MenuAction::kSavePicture, TrNoop("Save picture…"), "Ctrl+Shift+S"},
    {MenuAction::kCopyPicture, TrNoop("Copy picture"), "Ctrl+C"},
    {MenuAction::kRecord, TrNoop("Record…"), "Ctrl+R"},
    // Shows the display window alone on its screen; the same again, or Esc,
    // leaves it.
    {MenuAction::kFullScreen, TrNoop("Full screen"), "F11"},
};

}  // namespace

std::span<const PanelControl> PanelControls() { return kControls; }

const PanelControl& SliderControl(Slider slider) {
  for (const PanelControl& control : kControls) {
    if (control.kind == ControlKind::kSlider && control.slider == slider) return control;
  }
  throw std::logic_error("a slider without a control");
}

std::span<const MenuItem> DisplayMenuItems() { return kMenu; }

}  // namespace zintrel
