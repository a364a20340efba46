#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "render/frame_bitmap.h"
#include "settings/settings_panel.h"
#include "simulation/particle_field.h"
#include "simulation/random_source.h"
#include "win/tick_timer.h"

namespace zintrel {

class TForm2;

// The message the tick timer posts to the settings window.
inline constexpr UINT kTickMessage = WM_APP + 1;

// The settings window, Form1: the program's main window and only means of
// control, with native track bars, check box, buttons and labels. It owns
// Timer1 and carries every handler; what a handler does to the field is the
// shared panel's, so this window only maps the system's notifications onto
// it and gives it access to the controls.
class TForm1 : private SettingsControls {
 public:
  // Creates the window with its controls, arms Timer1 and runs FormCreate.
  // The window is shown by the program, last of the two.
  TForm1(HINSTANCE instance, ParticleField& field, FrameBitmap& bitmap, RandomSource& random);
  ~TForm1() override;

  HWND Handle() const { return window_; }
  // Makes display the window the ticks measure and draw into, and the one
  // that opens a file dropped here.
  void SetDisplayWindow(TForm2* display);
  SettingsPanel& Panel() { return panel_; }
  // Tells the window a state, link or gallery run has just been opened
  // (for the test build's hooks; nothing otherwise).
  void RunOpened();

  // The handlers, in the order of the window's controls.
  void FormCreate();
  void Timer1Timer();
  void TrackBar1Change() { panel_.TrackBar1Change(); }
  void CheckBox1Click() { panel_.CheckBox1Click(); }
  void TrackBar2Change() { panel_.TrackBar2Change(); }
  void TrackBar3Change() { panel_.TrackBar3Change(); }
  void TrackBar6Change() { panel_.TrackBar6Change(); }
  void TrackBar7Change() { panel_.TrackBar7Change(); }
  void TrackBar4Change() { panel_.TrackBar4Change(); }
  void TrackBar5Change() { panel_.TrackBar5Change(); }
  void Button1Click() { panel_.Button1Click(); }
  void Button2Click() { panel_.Button2Click(); }
  void Button3Click() { panel_.Button3Click(); }
  void Button4Click() { panel_.Button4Click(); }
  void TrackBar9Change() { panel_.TrackBar9Change(); }

  // The controls, listed from top to bottom; the window owns them.
  HWND StaticText1, TrackBar1, CheckBox1, StaticText2, TrackBar2, StaticText3, TrackBar3, StaticText4,
      TrackBar6, StaticText5, TrackBar7, StaticText6, TrackBar4, StaticText7, TrackBar5, Button1, Button2,
      StaticText8, TrackBar8, Button3, Button4, StaticText9, TrackBar9;

 private:
  template <typename Window>
  friend LRESULT CALLBACK WindowProcOf(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  // Runs Timer1Timer for the pending tick message and answers it.
  void RunTick();
  void OnHScroll(HWND control, int code);
  void OnCommand(int id, int code);
  LRESULT OnNotify(const NMHDR& header);
  void OnDpiChanged(UINT dpi, const RECT& suggested);
  void BuildControls();
  void LayOut();
  bool IsLabel(HWND control) const;
  // The width of a control's text in its window's font, selected into dc.
  static int TextWidth(HDC dc, HWND control);
  static std::wstring WindowText(HWND control);
  void AddTips();
  template <typename Handler>
  void Guarded(Handler&& handler);

  // SettingsControls, over the native controls.
  int SliderPosition(Slider slider) const override;
  void MoveSlider(Slider slider, int position) override;
  void MoveSliderQuietly(Slider slider, int position) override;
  bool OrientationShown() const override;
  void ShowOrientationQuietly(bool shown) override;
  int TimerInterval() const override;
  bool StartTimer(int interval) override;
  void ShowHiddenDisplay() override;
  void RedrawDisplay() override;
  void ShowRecordingStatus(const std::string& status) override;
  void ShowNotice(const std::string& text) override;
  void SetSliderTip(Slider slider, const std::string& text) override;

  HWND SliderHandle(Slider slider) const;
  // Returns the slider whose control is window, or false.
  bool SliderOf(HWND window, Slider& slider) const;

  SettingsPanel panel_;
  HWND window_ = nullptr;
  HWND tips_ = nullptr;
  // The control that had the focus when the window was last deactivated,
  // given it back on activation as a dialog does; TrackBar1 at first.
  HWND lastFocus_ = nullptr;
  TForm2* display_ = nullptr;
  HFONT font_ = nullptr;
  UINT dpi_ = 96;
  std::unique_ptr<TickTimer> timer_;
  // The tip text handed to the tooltip control, which keeps the pointer
  // until it asks again.
  std::wstring tipText_;
#ifdef ZINTREL_TEST_HOOKS
  // Test builds only: the tick that throws, from ZINTREL_FAULT_AT_TICK, and
  // the file the number of ticks so far is written to once a second, from
  // ZINTREL_TICK_COUNTER_FILE (as the Linux program's preloaded counter).
  void CountTick();
  long long faultAtTick_ = 0;
  // Where the first tick writes what the windows show (ZINTREL_TEXTS_FILE),
  // written again once the gallery shows.
  std::wstring textsFile_;
  bool galleryTextsWritten_ = false;
  void WriteTexts() const;
  // The state ZINTREL_OPENED_TICKS ticks after a run was opened is written
  // to ZINTREL_OPENED_STATE_FILE, whole or not at all; -1 while no run
  // opened counts.
  long long openedTicks_ = 0;
  long long ticksSinceOpened_ = -1;
  std::wstring openedStateFile_;
  void WriteOpenedState() const;
  long long ticks_ = 0;
  std::wstring counterFile_;
  ULONGLONG lastCount_ = 0;
#endif
};

}  // namespace zintrel
