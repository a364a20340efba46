#include "app/unit21.h"

#include <algorithm>
#include <iterator>

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
#include "settings/catalog.h"
#include "settings/label_fit.h"

namespace zintrel {
namespace {

// Client-area layout in pixels, made for a 12-pixel proportional gothic at
// 96 dots per inch. Every slider is 123 x 33 at x = 72.
constexpr int kSliderLeft = 72;
constexpr int kSliderWidth = 123;
constexpr int kSliderHeight = 33;

QLabel* AddLabel(QWidget* parent, const char* name, const char* text, Bounds layout) {
  auto* label = new QLabel(QString::fromUtf8(text), parent);
  label->setObjectName(QLatin1String(name));
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  // Measured in the window's font, which the label inherits.
  const Bounds bounds = FittedLabel(layout, label->fontMetrics().horizontalAdvance(label->text()));
  label->setGeometry(bounds.left, bounds.top, bounds.width, bounds.height);
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
      panel_(field, bitmap, random, *this),
      errorBox_(new ErrorBox(this)) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QString::fromUtf8(Tr("Zintrel - Settings")));
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
  RunGuarded(*errorBox_, [this] { panel_.StartTimer(16); });

  Guarded(&TForm1::FormCreate);
  // Connected last: setting up the controls must run no handler.
  ConnectHandlers();
  // After the handlers, so that a tip shows the value the handler stored.
  ConnectValueTips();
  RefreshToolTips();
}

void TForm1::BuildControls() {
  StaticText1 = AddLabel(this, "StaticText1", Tr("Particles"), {16, 29, 52, 16});
  TrackBar1 = AddTrackBar(this, "TrackBar1", 0, 99, 50, TickMarks::kEndsOnly, 24);
  CheckBox1 = new QCheckBox(QString::fromUtf8(Tr("Show direction")), this);
  CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
  // 113 pixels were made for a font a little narrower than the substitutes;
  // widened just enough that the text is never clipped.
  CheckBox1->setGeometry(32, 57, std::max(113, CheckBox1->sizeHint().width()), 17);
  CheckBox1->setChecked(true);
  StaticText2 = AddLabel(this, "StaticText2", Tr("Size"), {32, 85, 35, 16});
  TrackBar2 = AddTrackBar(this, "TrackBar2", 0, 6, 3, TickMarks::kEveryStep, 80);
  StaticText3 = AddLabel(this, "StaticText3", Tr("MAX SPEED"), {4, 133, 68, 16});
  TrackBar3 = AddTrackBar(this, "TrackBar3", 1, 24, 8, TickMarks::kEveryStep, 128);
  StaticText4 = AddLabel(this, "StaticText4", Tr("Activity"), {24, 181, 40, 16});
  TrackBar6 = AddTrackBar(this, "TrackBar6", 0, 99, 1, TickMarks::kEndsOnly, 176);
  StaticText5 = AddLabel(this, "StaticText5", Tr("Repulsion"), {24, 221, 40, 16});
  TrackBar7 = AddTrackBar(this, "TrackBar7", 0, 99, 8, TickMarks::kEndsOnly, 216);
  StaticText6 = AddLabel(this, "StaticText6", Tr("Accel."), {24, 261, 40, 16});
  TrackBar4 = AddTrackBar(this, "TrackBar4", 0, 99, 33, TickMarks::kEndsOnly, 256);
  StaticText7 = AddLabel(this, "StaticText7", Tr("Push accel."), {8, 301, 64, 16});
  TrackBar5 = AddTrackBar(this, "TrackBar5", 0, 99, 33, TickMarks::kEndsOnly, 296);
  Button1 = AddButton(this, "Button1", Tr("type1"), {40, 336, 49, 25});
  Button2 = AddButton(this, "Button2", Tr("type2"), {112, 336, 49, 25});
  StaticText8 = AddLabel(this, "StaticText8", Tr("Radius"), {16, 389, 52, 16});
  TrackBar8 = AddTrackBar(this, "TrackBar8", 0, 99, 10, TickMarks::kEndsOnly, 384);
  Button3 = AddButton(this, "Button3", Tr("Scatter"), {28, 424, 49, 25});
  Button4 = AddButton(this, "Button4", Tr("Play / Pause"), {96, 424, 77, 25});
  StaticText9 = AddLabel(this, "StaticText9", Tr("Tick rate"), {16, 477, 52, 16});
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
  for (const Slider which : kSliders) {
    if (SliderFor(which) == slider) return QString::fromStdString(panel_.ValueText(which));
  }
  return {};
}

void TForm1::RefreshToolTips() { panel_.RefreshTips(); }

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

void TForm1::FormCreate() { panel_.FormCreate(); }

void TForm1::Timer1Timer() {
  // A minimised window keeps its normal size and a hidden one the size it
  // had, so neither causes a rescale.
  if (display_ != nullptr) panel_.Timer1Timer(display_->width(), display_->height());
}

void TForm1::TrackBar1Change() { panel_.TrackBar1Change(); }
void TForm1::CheckBox1Click() { panel_.CheckBox1Click(); }
void TForm1::TrackBar2Change() { panel_.TrackBar2Change(); }
void TForm1::TrackBar3Change() { panel_.TrackBar3Change(); }
void TForm1::TrackBar6Change() { panel_.TrackBar6Change(); }
void TForm1::TrackBar7Change() { panel_.TrackBar7Change(); }
void TForm1::TrackBar4Change() { panel_.TrackBar4Change(); }
void TForm1::TrackBar5Change() { panel_.TrackBar5Change(); }
void TForm1::Button1Click() { panel_.Button1Click(); }
void TForm1::Button2Click() { panel_.Button2Click(); }
void TForm1::Button3Click() { panel_.Button3Click(); }
void TForm1::Button4Click() { panel_.Button4Click(); }
void TForm1::TrackBar9Change() { panel_.TrackBar9Change(); }

TrackBar* TForm1::SliderFor(Slider slider) const {
  static constexpr TrackBar* TForm1::*kControls[] = {&TForm1::TrackBar1, &TForm1::TrackBar2, &TForm1::TrackBar3,
                                                     &TForm1::TrackBar4, &TForm1::TrackBar5, &TForm1::TrackBar6,
                                                     &TForm1::TrackBar7, &TForm1::TrackBar8, &TForm1::TrackBar9};
  return this->*kControls[static_cast<int>(slider)];
}

int TForm1::SliderPosition(Slider slider) const { return SliderFor(slider)->Position(); }

// QSlider reports a change of value, and so runs the handler, only when the
// position really changes.
void TForm1::MoveSlider(Slider slider, int position) { SliderFor(slider)->setValue(position); }

void TForm1::MoveSliderQuietly(Slider slider, int position) { SliderFor(slider)->SetPositionQuietly(position); }

bool TForm1::OrientationShown() const { return CheckBox1->isChecked(); }

void TForm1::ShowOrientationQuietly(bool shown) {
  const QSignalBlocker quiet(CheckBox1);
  CheckBox1->setChecked(shown);
}

int TForm1::TimerInterval() const { return Timer1->interval(); }

bool TForm1::StartTimer(int interval) {
  Timer1->start(interval);
  return Timer1->isActive();
}

void TForm1::ShowHiddenDisplay() {
  if (display_ != nullptr && display_->isHidden()) {
    display_->show();
    display_->activateWindow();
  }
}

void TForm1::ShowRecordingStatus(const std::string& status) {
  if (display_ == nullptr) return;
  // In the title, never in the frame: what is recorded is what is drawn.
  const QString title = QString::fromUtf8(Tr("Zintrel"));
  display_->setWindowTitle(status.empty() ? title : title + QStringLiteral(" \u2014 ") + QString::fromStdString(status));
}

void TForm1::ShowNotice(const std::string& text) {
  errorBox_->Report(QString::fromStdString(text), QMessageBox::Information, display_);
}

void TForm1::RedrawDisplay() {
  if (display_ != nullptr) display_->update();
}

void TForm1::SetSliderTip(Slider slider, const std::string& text) {
  SliderFor(slider)->setToolTip(QString::fromStdString(text));
}

void TForm1::closeEvent(QCloseEvent* event) {
  // The settings window is the main window: closing it ends the program even
  // while the display window is still open.
  event->accept();
  QCoreApplication::quit();
}

}  // namespace zintrel
