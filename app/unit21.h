#pragma once

#include <QWidget>

#include "app/error_box.h"
#include "app/slider_mapping.h"
#include "app/track_bar.h"
#include "render/frame_bitmap.h"
#include "simulation/particle_field.h"
#include "simulation/random_source.h"
#include "tools/state_json.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QTimer;

namespace zintrel {

class TForm2;

// The settings window, Form1: the program's main window and only means of
// control. It owns the animation timer and carries every handler; each
// handler reads its control and writes the particle field directly.
class TForm1 : public QWidget {
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

  // The particle field the handlers and ticks act on.
  const ParticleField& Field() const { return field_; }

  // Returns the display settings a saved state carries: the drawing mode
  // and the timer interval as they stand.
  DisplaySettings CurrentDisplay() const;

  // Takes over a state opened from a file: every parameter exactly as the
  // state has it, the drawing mode and interval it names (those it does not
  // name stay as they are), the sliders at the positions nearest the new
  // values without any handler running, and the frame drawn at once, since
  // the next tick may be seconds away.
  void AdoptState(const ParticleField& field, const DisplaySettings& display);

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
  void BuildControls();
  void ConnectHandlers();
  void SetTabOrder();
  void StartTimer(int interval);
  void ApplyPreset(const ForceLawPreset& preset);
  SliderPositions CurrentPositions() const;
  void ConnectValueTips();
  void RefreshToolTips();
  // Shows the slider's value beside its handle while the user moves it.
  void ShowValueWhileMoving(TrackBar* slider);
  // Runs a handler so that an error escaping it lands in the error box.
  void Guarded(void (TForm1::*handler)());

  ParticleField& field_;
  FrameBitmap& bitmap_;
  RandomSource& random_;
  TForm2* display_ = nullptr;
  ErrorBox* errorBox_;
  // Set once a tick's fault has been reported, cleared by the next tick that
  // completes.
  bool tickFaultReported_ = false;
};

}  // namespace zintrel
