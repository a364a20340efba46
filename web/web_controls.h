#pragma once

#include <string>

#include "settings/settings_panel.h"

namespace zintrel {

// The settings panel's controls as the page has them: range inputs, a
// check box and buttons, each with the id of the control's name. The
// program runs in the page's worker, which keeps their positions as the
// page reports them and sends the page every move the program makes; the
// timer and the frame are the worker's (page_worker.js).
class WebControls : public SettingsControls {
 public:
  // The panel whose handlers a moved slider runs; set once, before any move.
  void Attach(SettingsPanel& panel) { panel_ = &panel; }

  int SliderPosition(Slider slider) const override;
  void MoveSlider(Slider slider, int position) override;
  void MoveSliderQuietly(Slider slider, int position) override;
  bool OrientationShown() const override;
  void ShowOrientationQuietly(bool shown) override;
  int TimerInterval() const override { return interval_; }
  bool StartTimer(int interval) override;
  // The display is always on the page.
  void ShowHiddenDisplay() override {}
  void RedrawDisplay() override;
  void SetSliderTip(Slider slider, const std::string& text) override;
  void ShowRecordingStatus(const std::string& status) override;
  void ShowNotice(const std::string& text) override;

  // Whether the display was asked to show a new frame since the last
  // ForgetRedraw: whether a tick drew, which a video records.
  bool Redrawn() const { return redrawn_; }
  void ForgetRedraw() { redrawn_ = false; }

 private:
  SettingsPanel* panel_ = nullptr;
  int interval_ = 0;  // Milliseconds; 0 before the first start.
  bool redrawn_ = false;
};

// Runs a slider's handler on panel, as the slider's change event does.
void RunSliderHandler(SettingsPanel& panel, Slider slider);

}  // namespace zintrel
