#pragma once

#include <QWidget>

#include "app/error_box.h"
#include "app/track_bar.h"
#include "settings/settings_panel.h"
#include "render/frame_bitmap.h"
#include "simulation/particle_field.h"
#include "simulation/random_source.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QTimer;

namespace zintrel {

class TForm2;

// The settings window, Form1: the program's main window and only means of
// control. It owns the animation timer and carries every handler; what each
// handler does to the field is the shared panel's, so the window only maps
// Qt's signals onto it and gives it access to the controls.
class TForm1 : public QWidget, private SettingsControls {
 public:
  // Builds the window with its controls, arms Timer1 and runs FormCreate.
  // The field, frame and random source are the process-wide ones and must
  // outlive the window.
  TForm1(ParticleField& field, FrameBitmap& bitmap, RandomSource& random);

  // Names the display window the ticks measure and draw into. Until it is
  // set, ticks do nothing.
  void SetDisplayWindow(TForm2* display) { display_ = display; }

  // The handlers, in the order of the window's controls.
  void FormCreate();
  void Timer1Timer();
  void TrackBar1Change();
  void CheckBox1Click();
  void TrackBar2Change();
  void TrackBar3Change();
  void TrackBar6Change();
  void TrackBar7Change();
  void TrackBar4Change();
  void TrackBar5Change();
  void Button1Click();
  void Button2Click();
  void Button3Click();
  void Button4Click();
  void TrackBar9Change();

  // The controls, listed from top to bottom; the window owns them.
  QLabel* StaticText1;
  TrackBar* TrackBar1;
  QCheckBox* CheckBox1;
  QLabel* StaticText2;
  TrackBar* TrackBar2;
  QLabel* StaticText3;
  TrackBar* TrackBar3;
  QLabel* StaticText4;
  TrackBar* TrackBar6;
  QLabel* StaticText5;
  TrackBar* TrackBar7;
  QLabel* StaticText6;
  TrackBar* TrackBar4;
  QLabel* StaticText7;
  TrackBar* TrackBar5;
  QPushButton* Button1;
  QPushButton* Button2;
  QLabel* StaticText8;
  TrackBar* TrackBar8;
  QPushButton* Button3;
  QPushButton* Button4;
  QLabel* StaticText9;
  TrackBar* TrackBar9;
  QTimer* Timer1;

  // The box in which errors escaping a handler or a tick are shown.
  ErrorBox& Errors() { return *errorBox_; }

  // What the handlers do, shared with every shell: opening and saving
  // states go through it too.
  SettingsPanel& Panel() { return panel_; }
  const ParticleField& Field() const { return panel_.Field(); }

  // Returns the tooltip text of one of the nine sliders: the value the
  // program now uses for it, and for TrackBar8 the radius the next
  // Initialise would use on the display area of the last tick.
  QString ValueText(const TrackBar* slider) const;

 protected:
  void closeEvent(QCloseEvent* event) override;
  // Brings a slider's tooltip up to date just before it is shown, since the
  // initial radius follows every resize of the display window.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // SettingsControls, over this window's widgets.
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

  TrackBar* SliderFor(Slider slider) const;
  void BuildControls();
  void ConnectHandlers();
  void SetTabOrder();
  void ConnectValueTips();
  void RefreshToolTips();
  // Shows the slider's value beside its handle while the user moves it.
  void ShowValueWhileMoving(TrackBar* slider);
  // Runs a handler so that an error escaping it lands in the error box.
  void Guarded(void (TForm1::*handler)());

  SettingsPanel panel_;
  TForm2* display_ = nullptr;
  ErrorBox* errorBox_;
};

}  // namespace zintrel
