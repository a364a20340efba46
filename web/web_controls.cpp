#include "web/web_controls.h"

#include <emscripten.h>

#include "settings/display_texts.h"
#include "settings/panel_layout.h"

namespace zintrel {
namespace {

// clang-format off
EM_JS(int, ReadSlider, (const char* name), {
  return Zintrel.sliderPosition(UTF8ToString(name));
});
EM_JS(void, WriteSlider, (const char* name, int position), {
  Zintrel.moveSlider(UTF8ToString(name), position);
});
EM_JS(int, ReadCheckBox, (), {
  return Zintrel.checkBox() ? 1 : 0;
});
EM_JS(void, WriteCheckBox, (int checked), {
  Zintrel.setCheckBox(checked != 0);
});
EM_JS(void, WriteTip, (const char* name, const char* text), {
  Zintrel.setTip(UTF8ToString(name), UTF8ToString(text));
});
EM_JS(int, StartPageTimer, (int interval), {
  return Zintrel.startTimer(interval) ? 1 : 0;
});
EM_JS(void, RequestDraw, (), {
  Zintrel.requestDraw();
});
EM_JS(void, WriteRecordingStatus, (const char* status), {
  Zintrel.showRecordingStatus(UTF8ToString(status));
});
EM_JS(void, ShowPageNotice, (const char* text), {
  Zintrel.notice(UTF8ToString(text));
});
// clang-format on

const char* NameOf(Slider slider) { return SliderControl(slider).name; }

}  // namespace

int WebControls::SliderPosition(Slider slider) const { return ReadSlider(NameOf(slider)); }

void WebControls::MoveSlider(Slider slider, int position) {
  // As on the desktop, a slider reports a change only when its position
  // really changes; an input's value is clamped to its range the same way.
  const int before = SliderPosition(slider);
  WriteSlider(NameOf(slider), position);
  if (SliderPosition(slider) != before && panel_ != nullptr) RunSliderHandler(*panel_, slider);
}

void WebControls::MoveSliderQuietly(Slider slider, int position) { WriteSlider(NameOf(slider), position); }

bool WebControls::OrientationShown() const { return ReadCheckBox() != 0; }

void WebControls::ShowOrientationQuietly(bool shown) { WriteCheckBox(shown ? 1 : 0); }

bool WebControls::StartTimer(int interval) {
  if (StartPageTimer(interval) == 0) return false;
  interval_ = interval;
  return true;
}

void WebControls::RedrawDisplay() {
  redrawn_ = true;
  RequestDraw();
}

void WebControls::ShowRecordingStatus(const std::string& status) { WriteRecordingStatus(status.c_str()); }

void WebControls::ShowNotice(const std::string& text) { ShowPageNotice(WithFullStop(text).c_str()); }

void WebControls::SetSliderTip(Slider slider, const std::string& text) { WriteTip(NameOf(slider), text.c_str()); }

void RunSliderHandler(SettingsPanel& panel, Slider slider) {
  switch (slider) {
    case Slider::kTrackBar1: panel.TrackBar1Change(); break;
    case Slider::kTrackBar2: panel.TrackBar2Change(); break;
    case Slider::kTrackBar3: panel.TrackBar3Change(); break;
    case Slider::kTrackBar4: panel.TrackBar4Change(); break;
    case Slider::kTrackBar5: panel.TrackBar5Change(); break;
    case Slider::kTrackBar6: panel.TrackBar6Change(); break;
    case Slider::kTrackBar7: panel.TrackBar7Change(); break;
    case Slider::kTrackBar8: break;  // Read by Initialise only.
    case Slider::kTrackBar9: panel.TrackBar9Change(); break;
  }
}

}  // namespace zintrel
