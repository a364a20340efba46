#include "app/unit21.h"

#include <algorithm>
#include <iterator>
#include <stdexcept>

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyle>
#include <QTimer>
#include <QToolTip>

#include "app/japanese_font.h"
#include "app/unit23.h"
#include "render/render_frame.h"
#include "render/tick.h"
#include "simulation/scatter.h"

namespace zintrel {
namespace {

// Client-area layout in pixels, made for a 12-pixel proportional gothic at
// 96 dots per inch. Every slider is 123 x 33 at x = 72.
constexpr int kSliderLeft = 72;
constexpr int kSliderWidth = 123;
constexpr int kSliderHeight = 33;

QLabel* AddLabel(QWidget* parent, const char* name, const char* text, QRect bounds) {
  auto* label = new QLabel(QString::fromUtf8(text), parent);
  label->setObjectName(QLatin1String(name));
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  label->setGeometry(bounds);
  return label;
}

TrackBar* AddTrackBar(QWidget* parent, const char* name, int minimum, int maximum, int position,
                      TickMarks marks, int top) {
  auto* slider = new TrackBar(minimum, maximum, position, marks, parent);
  slider->setObjectName(QLatin1String(name));
  slider->setGeometry(kSliderLeft, top, kSliderWidth, kSliderHeight);
  return slider;
}

QPushButton* AddButton(QWidget* parent, const char* name, const char* text, QRect bounds) {
  auto* button = new QPushButton(QString::fromUtf8(text), parent);
  button->setObjectName(QLatin1String(name));
  button->setGeometry(bounds);
  return button;
}

}  // namespace

TForm1::TForm1(ParticleField& field, FrameBitmap& bitmap, RandomSource& random)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      field_(field),
      bitmap_(bitmap),
      random_(random),
      errorBox_(new ErrorBox(this)) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QString::fromUtf8("Zintrel - 設定"));
  setFont(JapaneseUiFont());
  // A top-level window paints its background in the Window colour unless it
  // fills it itself; only then does the button-face colour show.
  setBackgroundRole(QPalette::Button);
  setAutoFillBackground(true);
  move(157, 109);
  setFixedSize(204, 519);
  BuildControls();
  SetTabOrder();

  Timer1 = new QTimer(this);
  Timer1->setObjectName(QStringLiteral("Timer1"));
  // A coarse timer may fire up to 5 % late; the interval is in whole
  // milliseconds and meant as such.
  Timer1->setTimerType(Qt::PreciseTimer);
  connect(Timer1, &QTimer::timeout, this, [this] { Guarded(&TForm1::Timer1Timer); });
  // Armed now, but no tick can arrive before the event loop runs.
  RunGuarded(*errorBox_, [this] { StartTimer(16); });

  Guarded(&TForm1::FormCreate);
  // Connected last: setting up the controls must run no handler.
  ConnectHandlers();
  // After the handlers, so that a tip shows the value the handler stored.
  ConnectValueTips();
  RefreshToolTips();
}

void TForm1::BuildControls() {
  StaticText1 = AddLabel(this, "StaticText1", "粒子の数", {16, 29, 52, 16});
  TrackBar1 = AddTrackBar(this, "TrackBar1", 0, 99, 50, TickMarks::kEndsOnly, 24);
  CheckBox1 = new QCheckBox(QString::fromUtf8("粒子の向きを表示"), this);
  CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
  // 113 pixels were made for a font a little narrower than the substitutes;
  // widened just enough that the text is never clipped.
  CheckBox1->setGeometry(32, 57, std::max(113, CheckBox1->sizeHint().width()), 17);
  CheckBox1->setChecked(true);
  StaticText2 = AddLabel(this, "StaticText2", "大きさ", {32, 85, 35, 16});
  TrackBar2 = AddTrackBar(this, "TrackBar2", 0, 6, 3, TickMarks::kEveryStep, 80);
  StaticText3 = AddLabel(this, "StaticText3", "MAX SPEED", {4, 133, 68, 16});
  TrackBar3 = AddTrackBar(this, "TrackBar3", 1, 24, 8, TickMarks::kEveryStep, 128);
  StaticText4 = AddLabel(this, "StaticText4", "活性度", {24, 181, 40, 16});
  TrackBar6 = AddTrackBar(this, "TrackBar6", 0, 99, 1, TickMarks::kEndsOnly, 176);
  StaticText5 = AddLabel(this, "StaticText5", "反発度", {24, 221, 40, 16});
  TrackBar7 = AddTrackBar(this, "TrackBar7", 0, 99, 8, TickMarks::kEndsOnly, 216);
  StaticText6 = AddLabel(this, "StaticText6", "加速性", {24, 261, 40, 16});
  TrackBar4 = AddTrackBar(this, "TrackBar4", 0, 99, 33, TickMarks::kEndsOnly, 256);
  StaticText7 = AddLabel(this, "StaticText7", "反発加速性", {8, 301, 64, 16});
  TrackBar5 = AddTrackBar(this, "TrackBar5", 0, 99, 33, TickMarks::kEndsOnly, 296);
  Button1 = AddButton(this, "Button1", "type1", {40, 336, 49, 25});
  Button2 = AddButton(this, "Button2", "type2", {112, 336, 49, 25});
  StaticText8 = AddLabel(this, "StaticText8", "初期半径", {16, 389, 52, 16});
  TrackBar8 = AddTrackBar(this, "TrackBar8", 0, 99, 10, TickMarks::kEndsOnly, 384);
  Button3 = AddButton(this, "Button3", "初期化", {28, 424, 49, 25});
  Button4 = AddButton(this, "Button4", "Play / Pause", {96, 424, 77, 25});
  StaticText9 = AddLabel(this, "StaticText9", "描画速度", {16, 477, 52, 16});
  TrackBar9 = AddTrackBar(this, "TrackBar9", 0, 99, 33, TickMarks::kEndsOnly, 472);
}

void TForm1::SetTabOrder() {
  // The labels take no focus, so the chain holds only these, in tab order.
  QWidget* const chain[] = {TrackBar1, CheckBox1, TrackBar2, TrackBar3, TrackBar6,
                            TrackBar7, TrackBar4, TrackBar5, Button1,   Button2,
                            TrackBar8, Button3,   Button4,   TrackBar9};
  for (std::size_t i = 1; i < std::size(chain); ++i) setTabOrder(chain[i - 1], chain[i]);
  TrackBar1->setFocus();
}

void TForm1::ConnectHandlers() {
  const auto handle = [this](void (TForm1::*handler)()) {
    return [this, handler] { Guarded(handler); };
  };
  connect(TrackBar1, &TrackBar::Change, this, handle(&TForm1::TrackBar1Change));
  connect(CheckBox1, &QCheckBox::toggled, this, handle(&TForm1::CheckBox1Click));
  connect(TrackBar2, &TrackBar::Change, this, handle(&TForm1::TrackBar2Change));
  connect(TrackBar3, &TrackBar::Change, this, handle(&TForm1::TrackBar3Change));
  connect(TrackBar6, &TrackBar::Change, this, handle(&TForm1::TrackBar6Change));
  connect(TrackBar7, &TrackBar::Change, this, handle(&TForm1::TrackBar7Change));
  connect(TrackBar4, &TrackBar::Change, this, handle(&TForm1::TrackBar4Change));
  connect(TrackBar5, &TrackBar::Change, this, handle(&TForm1::TrackBar5Change));
  connect(Button1, &QPushButton::clicked, this, handle(&TForm1::Button1Click));
  connect(Button2, &QPushButton::clicked, this, handle(&TForm1::Button2Click));
  // TrackBar8 has no handler: Initialise reads it when pressed.
  connect(Button3, &QPushButton::clicked, this, handle(&TForm1::Button3Click));
  connect(Button4, &QPushButton::clicked, this, handle(&TForm1::Button4Click));
  connect(TrackBar9, &TrackBar::Change, this, handle(&TForm1::TrackBar9Change));
}

void TForm1::ConnectValueTips() {
  for (TrackBar* slider : {TrackBar1, TrackBar2, TrackBar3, TrackBar6, TrackBar7, TrackBar4,
                           TrackBar5, TrackBar8, TrackBar9}) {
    // Every report, the program's own moves included, keeps the tips current;
    // only the user's actions (dragging, keys, clicks, the wheel) show one.
    connect(slider, &TrackBar::Change, this, &TForm1::RefreshToolTips);
    connect(slider, &QAbstractSlider::actionTriggered, this,
            [this, slider] { ShowValueWhileMoving(slider); });
    slider->installEventFilter(this);
  }
  connect(CheckBox1, &QCheckBox::toggled, this, &TForm1::RefreshToolTips);
}

QString TForm1::ValueText(const TrackBar* slider) const {
  const auto text = [](SliderQuantity quantity, double value) {
    return QString::fromStdString(SliderValueText(quantity, value));
  };
  if (slider == TrackBar1) return text(SliderQuantity::kParticleCount, field_.ParticleCount);
  if (slider == TrackBar2) return text(SliderQuantity::kParticleSize, field_.ParticleSize);
  if (slider == TrackBar3) return text(SliderQuantity::kMaxSpeed, field_.MaxSpeed);
  if (slider == TrackBar6) return text(SliderQuantity::kActivity, field_.Activity);
  if (slider == TrackBar7) return text(SliderQuantity::kRepulsion, field_.Repulsion);
  if (slider == TrackBar4) return text(SliderQuantity::kAcceleration, field_.Acceleration);
  if (slider == TrackBar5) {
    return text(SliderQuantity::kRepulsiveAcceleration, field_.RepulsiveAcceleration);
  }
  if (slider == TrackBar8) {
    return text(SliderQuantity::kInitialRadius,
                InitialRadiusAt(TrackBar8->Position(), field_.FieldWidth, field_.FieldHeight));
  }
  if (slider == TrackBar9) return text(SliderQuantity::kTimerInterval, Timer1->interval());
  return {};
}

void TForm1::RefreshToolTips() {
  for (TrackBar* slider : {TrackBar1, TrackBar2, TrackBar3, TrackBar6, TrackBar7, TrackBar4,
                           TrackBar5, TrackBar8, TrackBar9}) {
    slider->setToolTip(ValueText(slider));
  }
}

void TForm1::ShowValueWhileMoving(TrackBar* slider) {
  const QString text = ValueText(slider);
  // At the handle; Qt shows the tip a little below the point, so it follows
  // the handle without covering it.
  const int handleX = QStyle::sliderPositionFromValue(slider->minimum(), slider->maximum(),
                                                      slider->Position(), slider->width());
  QToolTip::showText(slider->mapToGlobal(QPoint(handleX, slider->height() / 2)), text, slider);
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::ToolTip) RefreshToolTips();
  return QWidget::eventFilter(watched, event);
}

void TForm1::Guarded(void (TForm1::*handler)()) {
  RunGuarded(*errorBox_, [this, handler] { (this->*handler)(); });
}

void TForm1::FormCreate() {
  random_.Seed(MillisecondsSinceMidnightUtc());
  // The display window does not exist yet; its start size is a constant that
  // equals its initial client area, so the first tick finds no change.
  // Also starts running with 50 particles (not the slider's 52) and type1.
  SetStartValues(field_);
  bitmap_.SetWidth(kStartWidth);
  bitmap_.SetHeight(kStartHeight);
  bitmap_.PenColor = 0xFFFFFF;
  // InitialRadius is still 0, so every particle starts on the centre point.
  Scatter(field_, random_);
}

void TForm1::Timer1Timer() {
  if (display_ == nullptr) return;
  // A minimised window keeps its normal size and a hidden one the size it
  // had, so neither causes a rescale.
  const StepFault fault = RunTick(field_, bitmap_, display_->width(), display_->height(),
                                  CheckBox1->isChecked());
  if (fault != StepFault::kNone) {
    // The same state faults again on every tick until something changes it.
    // Reporting each one would bring a new box the moment the last was
    // closed, leaving no chance to change the law or press Initialise; so a
    // run of faulting ticks is reported once, and the next tick that
    // completes ends the run.
    if (tickFaultReported_) return;
    tickFaultReported_ = true;
    throw std::runtime_error(FaultText(fault));
  }
  tickFaultReported_ = false;
  display_->update();
}

void TForm1::TrackBar1Change() { field_.ParticleCount = ParticleCountAt(TrackBar1->Position()); }

void TForm1::CheckBox1Click() {
  field_.ParticleSize = ParticleSizeAt(TrackBar2->Position(), CheckBox1->isChecked());
}

void TForm1::TrackBar2Change() {
  field_.ParticleSize = ParticleSizeAt(TrackBar2->Position(), CheckBox1->isChecked());
}

void TForm1::TrackBar3Change() { field_.MaxSpeed = TrackBar3->Position(); }

void TForm1::TrackBar6Change() { field_.Activity = TrackBar6->Position(); }

void TForm1::TrackBar7Change() { field_.Repulsion = TrackBar7->Position(); }

void TForm1::TrackBar4Change() { field_.Acceleration = ExponentAt(TrackBar4->Position()); }

void TForm1::TrackBar5Change() {
  field_.RepulsiveAcceleration = ExponentAt(TrackBar5->Position());
}

void TForm1::Button1Click() { ApplyPreset(kPresetType1); }

void TForm1::Button2Click() { ApplyPreset(kPresetType2); }

void TForm1::ApplyPreset(const ForceLawPreset& preset) {
  // Each slider's handler runs only if its position really changes, and then
  // stores the value just set.
  field_.Activity = preset.activity;
  TrackBar6->setValue(preset.activityPosition);
  field_.Repulsion = preset.repulsion;
  TrackBar7->setValue(preset.repulsionPosition);
  field_.Acceleration = preset.acceleration;
  TrackBar4->setValue(preset.accelerationPosition);
  field_.RepulsiveAcceleration = preset.repulsiveAcceleration;
  TrackBar5->setValue(preset.repulsiveAccelerationPosition);
}

void TForm1::Button3Click() {
  // The size seen by the last tick, not a fresh measurement, so the disc is
  // centred where Scatter will put it.
  field_.InitialRadius =
      InitialRadiusAt(TrackBar8->Position(), field_.FieldWidth, field_.FieldHeight);
  Scatter(field_, random_);
}

void TForm1::Button4Click() {
  field_.Running = 1 - field_.Running;
  // Brings back a display window the user closed; a visible one, even a
  // minimised one, is left exactly as it is.
  if (display_ != nullptr && display_->isHidden()) {
    display_->show();
    display_->activateWindow();
  }
}

void TForm1::TrackBar9Change() {
  const int interval = TimerIntervalAt(TrackBar9->Position());
  // Restarting would reset the period, so the same interval changes nothing.
  if (interval != Timer1->interval()) StartTimer(interval);
}

void TForm1::StartTimer(int interval) {
  Timer1->start(interval);
  if (!Timer1->isActive()) throw std::runtime_error("タイマーを取得できません");
}

DisplaySettings TForm1::CurrentDisplay() const {
  return {CheckBox1->isChecked(), Timer1->interval()};
}

SliderPositions TForm1::CurrentPositions() const {
  return {TrackBar1->Position(), TrackBar2->Position(), TrackBar3->Position(),
          TrackBar4->Position(), TrackBar5->Position(), TrackBar6->Position(),
          TrackBar7->Position(), TrackBar8->Position(), TrackBar9->Position()};
}

void TForm1::AdoptState(const ParticleField& field, const DisplaySettings& display) {
  field_ = field;
  // A new state has not faulted yet; its first fault deserves a box.
  tickFaultReported_ = false;
  if (display.ShowOrientation) {
    // The handler would recompute ParticleSize from the slider.
    const QSignalBlocker quiet(CheckBox1);
    CheckBox1->setChecked(*display.ShowOrientation);
  }
  const int interval = display.TimerInterval.value_or(Timer1->interval());
  const SliderPositions positions =
      PositionsShowing(field_, CheckBox1->isChecked(), interval, CurrentPositions());
  TrackBar1->SetPositionQuietly(positions.TrackBar1);
  TrackBar2->SetPositionQuietly(positions.TrackBar2);
  TrackBar3->SetPositionQuietly(positions.TrackBar3);
  TrackBar4->SetPositionQuietly(positions.TrackBar4);
  TrackBar5->SetPositionQuietly(positions.TrackBar5);
  TrackBar6->SetPositionQuietly(positions.TrackBar6);
  TrackBar7->SetPositionQuietly(positions.TrackBar7);
  TrackBar8->SetPositionQuietly(positions.TrackBar8);
  TrackBar9->SetPositionQuietly(positions.TrackBar9);
  if (interval != Timer1->interval()) StartTimer(interval);
  // The tips read the field and the timer, so they show the exact values.
  RefreshToolTips();
  bitmap_.Resize(field_.FieldWidth, field_.FieldHeight);
  RenderFrame(field_, bitmap_, CheckBox1->isChecked());
  if (display_ != nullptr) display_->update();
}

void TForm1::closeEvent(QCloseEvent* event) {
  // The settings window is the main window: closing it ends the program even
  // while the display window is still open.
  event->accept();
  QCoreApplication::quit();
}

}  // namespace zintrel
