#include "app/unit21.h"

#include <cmath>
#include <memory>
#include <stdexcept>
#include <vector>

#include <QApplication>
#include <QCheckBox>
#include <QDeadlineTimer>
#include <QFontInfo>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include "app/japanese_font.h"
#include "app/program.h"
#include "tests/app/overflowing_field.h"

namespace zintrel {
namespace {

// The whole program as main() builds it, with the timer stopped so that
// only the test decides when a tick runs.
class TForm1Test : public testing::Test {
 protected:
  TForm1Test() : program_(std::make_unique<Program>()), form1_(program_->Form1()),
                 form2_(program_->Form2()), field_(program_->Field()) {
    form1_.Timer1->stop();
  }

  ~TForm1Test() override {
    if (QMessageBox* box = form1_.Errors().OpenBox()) box->close();
  }

  static void Press(QWidget* target, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
  }

  // Counts the reports of a slider from now on.
  std::shared_ptr<int> CountChanges(TrackBar* slider) {
    auto count = std::make_shared<int>(0);
    QObject::connect(slider, &TrackBar::Change, &form1_, [count] { ++*count; });
    return count;
  }

  std::unique_ptr<Program> program_;
  TForm1& form1_;
  TForm2& form2_;
  ParticleField& field_;
};

TEST_F(TForm1Test, WindowIsFixedWithOnlyACloseBox) {
  EXPECT_EQ(form1_.windowTitle(), QStringLiteral("Zintrel - Settings"));
  EXPECT_EQ(form1_.size(), QSize(204, 519));
  EXPECT_EQ(form1_.minimumSize(), form1_.maximumSize());
  EXPECT_EQ(form1_.pos(), QPoint(157, 109));
  const Qt::WindowFlags flags = form1_.windowFlags();
  EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
  EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
  EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
  EXPECT_EQ(form1_.font().family(), QString::fromUtf8(kJapaneseUiFamily));
  EXPECT_EQ(form1_.font().pixelSize(), 12);
}

TEST_F(TForm1Test, SlidersStartWhereTheWindowShowsThem) {
  const struct {
    TrackBar* slider;
    int top, minimum, maximum, position, tickInterval;
  } cases[] = {
      {form1_.TrackBar1, 24, 0, 99, 50, 99},  {form1_.TrackBar2, 80, 0, 6, 3, 1},
      {form1_.TrackBar3, 128, 1, 24, 8, 1},   {form1_.TrackBar6, 176, 0, 99, 1, 99},
      {form1_.TrackBar7, 216, 0, 99, 8, 99},  {form1_.TrackBar4, 256, 0, 99, 33, 99},
      {form1_.TrackBar5, 296, 0, 99, 33, 99}, {form1_.TrackBar8, 384, 0, 99, 10, 99},
      {form1_.TrackBar9, 472, 0, 99, 33, 99},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.slider->objectName().toStdString());
    EXPECT_EQ(c.slider->geometry(), QRect(72, c.top, 123, 33));
    EXPECT_EQ(c.slider->minimum(), c.minimum);
    EXPECT_EQ(c.slider->maximum(), c.maximum);
    EXPECT_EQ(c.slider->value(), c.position);
    EXPECT_EQ(c.slider->tickInterval(), c.tickInterval);
  }
}

TEST_F(TForm1Test, JapaneseFamilyMapsToAnInstalledGothic) {
  const QString family = QFontInfo(form1_.font()).family();
  EXPECT_TRUE(QFont::substitutes(QString::fromUtf8(kJapaneseUiFamily))
                  .contains(family, Qt::CaseInsensitive))
      << family.toStdString() << " not in "
      << QFont::substitutes(QString::fromUtf8(kJapaneseUiFamily)).join(u',').toStdString();
}

TEST_F(TForm1Test, TabOrderFollowsTheControlTable) {
  const std::vector<QWidget*> expected = {
      form1_.TrackBar1, form1_.CheckBox1, form1_.TrackBar2, form1_.TrackBar3, form1_.TrackBar6,
      form1_.TrackBar7, form1_.TrackBar4, form1_.TrackBar5, form1_.Button1,   form1_.Button2,
      form1_.TrackBar8, form1_.Button3,   form1_.Button4,   form1_.TrackBar9};
  std::vector<QWidget*> chain;
  QWidget* widget = form1_.TrackBar1;
  do {
    if (widget->focusPolicy() & Qt::TabFocus) chain.push_back(widget);
    widget = widget->nextInFocusChain();
  } while (widget != form1_.TrackBar1);
  EXPECT_EQ(chain, expected);
  EXPECT_EQ(form1_.StaticText1->focusPolicy(), Qt::NoFocus);
}

TEST_F(TForm1Test, FormCreateFillsTheFieldWithoutRunningHandlers) {
  // 50, not the 52 that TrackBar1's position would give: no handler ran.
  EXPECT_EQ(field_.ParticleCount, 50);
  EXPECT_EQ(field_.Running, 1);
  EXPECT_EQ(field_.MaxSpeed, 8.0);
  EXPECT_EQ(field_.ParticleSize, 6.0);
  EXPECT_EQ(field_.Activity, 1.0);
  EXPECT_EQ(field_.Repulsion, 8.0);
  EXPECT_EQ(field_.Acceleration, 1.0);
  EXPECT_EQ(field_.RepulsiveAcceleration, 1.0);
  EXPECT_EQ(field_.InitialRadius, 0.0);
  EXPECT_EQ(field_.FieldWidth, 660);
  EXPECT_EQ(field_.LastHeight, 440);
  for (int i = 0; i < MaxParticles; ++i) {
    ASSERT_EQ(field_.x[i], 330.0) << i;
    ASSERT_EQ(field_.y[i], 220.0) << i;
    ASSERT_LT(std::hypot(field_.vx[i], field_.vy[i]), 1.0) << i;
  }
  EXPECT_EQ(program_->Bitmap().Width(), 660);
  EXPECT_EQ(program_->Bitmap().Height(), 440);
  EXPECT_EQ(program_->Bitmap().PenColor, 0xFFFFFFu);
  EXPECT_EQ(form1_.Timer1->timerType(), Qt::PreciseTimer);
  EXPECT_EQ(form1_.Timer1->interval(), 16);
}

TEST_F(TForm1Test, SliderHandlersWriteTheirParameter) {
  const struct {
    TrackBar* slider;
    int position;
    double ParticleField::*parameter;
    double expected;
  } cases[] = {
      {form1_.TrackBar2, 0, &ParticleField::ParticleSize, 3.0},
      {form1_.TrackBar2, 6, &ParticleField::ParticleSize, 9.0},
      {form1_.TrackBar3, 24, &ParticleField::MaxSpeed, 24.0},
      {form1_.TrackBar3, 1, &ParticleField::MaxSpeed, 1.0},
      {form1_.TrackBar4, 66, &ParticleField::Acceleration, 2.0},
      {form1_.TrackBar5, 0, &ParticleField::RepulsiveAcceleration, 0.0},
      {form1_.TrackBar6, 99, &ParticleField::Activity, 99.0},
      {form1_.TrackBar7, 0, &ParticleField::Repulsion, 0.0},
  };
  for (const auto& c : cases) {
    c.slider->setValue(c.position);
    EXPECT_EQ(field_.*c.parameter, c.expected) << c.slider->objectName().toStdString();
  }
  form1_.TrackBar1->setValue(0);
  EXPECT_EQ(field_.ParticleCount, 1);
  form1_.TrackBar1->setValue(99);
  EXPECT_EQ(field_.ParticleCount, 2500);
}

TEST_F(TForm1Test, AKeyThatCannotMoveTheSliderStillRunsItsHandler) {
  form1_.TrackBar3->setValue(24);
  field_.MaxSpeed = 3.0;
  Press(form1_.TrackBar3, Qt::Key_End);
  EXPECT_EQ(field_.MaxSpeed, 24.0);
}

TEST_F(TForm1Test, CheckBoxSwitchesBetweenDartAndDiscSizes) {
  form1_.CheckBox1->click();
  EXPECT_EQ(field_.ParticleSize, 4.0);
  form1_.CheckBox1->click();
  EXPECT_EQ(field_.ParticleSize, 6.0);
}

TEST_F(TForm1Test, PresetMovesItsSlidersInOrderAndQuietlySkipsOnesInPlace) {
  const auto activityChanges = CountChanges(form1_.TrackBar6);
  const auto repulsiveChanges = CountChanges(form1_.TrackBar5);
  // Step 2 has not happened yet when step 1's slider reports.
  double repulsionSeenByStep1 = -1.0;
  QObject::connect(form1_.TrackBar6, &TrackBar::Change, &form1_,
                   [&] { repulsionSeenByStep1 = field_.Repulsion; });

  form1_.Button2->click();
  EXPECT_EQ(form1_.TrackBar6->value(), 38);
  EXPECT_EQ(form1_.TrackBar7->value(), 6);
  EXPECT_EQ(form1_.TrackBar4->value(), 66);
  EXPECT_EQ(form1_.TrackBar5->value(), 33);
  EXPECT_EQ(field_.Activity, 38.0);
  EXPECT_EQ(field_.Repulsion, 6.0);
  EXPECT_EQ(field_.Acceleration, 2.0);
  EXPECT_EQ(field_.RepulsiveAcceleration, 1.0);
  EXPECT_EQ(*activityChanges, 1);
  EXPECT_EQ(*repulsiveChanges, 0);
  EXPECT_EQ(repulsionSeenByStep1, 8.0);

  form1_.Button1->click();
  EXPECT_EQ(form1_.TrackBar6->value(), 1);
  EXPECT_EQ(form1_.TrackBar7->value(), 8);
  EXPECT_EQ(form1_.TrackBar4->value(), 33);
  EXPECT_EQ(field_.Activity, 1.0);
  EXPECT_EQ(field_.Repulsion, 8.0);
  EXPECT_EQ(field_.Acceleration, 1.0);
  EXPECT_EQ(*activityChanges, 2);
  EXPECT_EQ(*repulsiveChanges, 0);
}

TEST_F(TForm1Test, InitialiseScattersIntoTheDiscOfTheLastTick) {
  // TrackBar8 alone changes nothing.
  form1_.TrackBar8->setValue(99);
  form1_.TrackBar8->setValue(10);
  EXPECT_EQ(field_.InitialRadius, 0.0);

  // The window grew, but no tick has seen it yet.
  form2_.resize(900, 700);
  field_.Running = 0;
  form1_.Button3->click();
  EXPECT_NEAR(field_.InitialRadius, 23.0202, 1e-4);
  double farthest = 0.0;
  for (int i = 0; i < MaxParticles; ++i) {
    farthest = std::max(farthest, std::hypot(field_.x[i] - 330.0, field_.y[i] - 220.0));
  }
  EXPECT_LT(farthest, field_.InitialRadius);
  EXPECT_GT(farthest, field_.InitialRadius * 0.9);
  EXPECT_EQ(field_.ParticleCount, 50);
  EXPECT_EQ(field_.Running, 0);

  form1_.TrackBar8->setValue(99);
  form1_.Button3->click();
  EXPECT_EQ(field_.InitialRadius, 219.0);

  field_.FieldWidth = 4;
  form1_.Button3->click();
  EXPECT_EQ(field_.InitialRadius, 1.0);
}

TEST_F(TForm1Test, PlayPauseBringsBackAClosedDisplayOnly) {
  ASSERT_TRUE(form2_.isVisible());
  const QRect before = form2_.geometry();
  form1_.Button4->click();
  EXPECT_EQ(field_.Running, 0);
  EXPECT_TRUE(form2_.isVisible());
  EXPECT_EQ(form2_.geometry(), before);

  form2_.close();
  EXPECT_TRUE(form2_.isHidden());
  form1_.Button4->click();
  EXPECT_EQ(field_.Running, 1);
  EXPECT_TRUE(form2_.isVisible());
  EXPECT_EQ(form2_.size(), QSize(660, 440));

  form2_.showMinimized();
  form1_.Button4->click();
  EXPECT_EQ(field_.Running, 0);
  EXPECT_TRUE(form2_.isMinimized());
}

TEST_F(TForm1Test, DrawingSpeedRestartsTheTimerOnlyForANewInterval) {
  form1_.TrackBar9->setValue(99);
  EXPECT_TRUE(form1_.Timer1->isActive());
  EXPECT_EQ(form1_.Timer1->interval(), 4096);
  QThread::msleep(30);
  // An action at the end keeps the interval, so the period runs on.
  Press(form1_.TrackBar9, Qt::Key_End);
  EXPECT_LE(form1_.Timer1->remainingTime(), 4096 - 30);
  // A new interval starts a fresh period.
  form1_.TrackBar9->setValue(90);
  EXPECT_EQ(form1_.Timer1->interval(), 1922);
  EXPECT_GT(form1_.Timer1->remainingTime(), 1000);
  form1_.TrackBar9->setValue(0);
  EXPECT_EQ(form1_.Timer1->interval(), 1);
}

TEST_F(TForm1Test, TickMeasuresTheDisplayAndDrawsWhilePaused) {
  form1_.Timer1Timer();
  EXPECT_EQ(field_.LastWidth, 660);
  EXPECT_NE(field_.x[0], 330.0);  // The step ran.

  form2_.resize(300, 200);
  field_.Running = 0;
  const double x0 = field_.x[0];
  form1_.Timer1Timer();
  EXPECT_EQ(field_.FieldWidth, 300);
  EXPECT_EQ(field_.FieldHeight, 200);
  EXPECT_EQ(program_->Bitmap().Width(), 300);
  EXPECT_DOUBLE_EQ(field_.x[0], x0 * 300.0 / 660.0);  // Rescaled, not stepped.

  // A hidden display keeps the size it had.
  form2_.close();
  form1_.Timer1Timer();
  EXPECT_EQ(field_.FieldWidth, 300);
  EXPECT_EQ(field_.FieldHeight, 200);
}

// A fault in a tick abandons it, leaves the field finite and shows one box;
// the timer goes on and further faulting ticks add no boxes.
TEST_F(TForm1Test, FaultingTicksShowOneErrorBoxAndTheTimerGoesOn) {
  PlantOverflowingParticle(field_);
  form1_.Timer1->start(1);
  const QDeadlineTimer deadline(10000);
  while (!deadline.hasExpired() && form1_.Errors().OpenBox() == nullptr) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  ASSERT_NE(form1_.Errors().OpenBox(), nullptr);
  EXPECT_EQ(form1_.Errors().OpenBox()->text(), QStringLiteral("Floating point overflow."));
  for (int i = 0; i < 20; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  EXPECT_EQ(form1_.findChildren<QMessageBox*>().size(), 1);
  EXPECT_TRUE(form1_.Timer1->isActive());
  EXPECT_EQ(field_.x[0], 1.7e308);
  EXPECT_EQ(field_.vx[0], 1e308);
}

// A state that faults on every tick is reported once, so the settings window
// stays usable; once a tick completes, the next fault is reported again.
TEST_F(TForm1Test, RepeatedTickFaultIsReportedOnceUntilATickCompletes) {
  field_.ParticleCount = 1;
  field_.MaxSpeed = -1.0;  // A resting particle then divides by zero.
  field_.vx[0] = field_.vy[0] = 0.0;
  field_.x[0] = 100.0;
  // Called directly, a tick lets its error escape to the caller.
  EXPECT_THROW(form1_.Timer1Timer(), std::runtime_error);
  EXPECT_NO_THROW(form1_.Timer1Timer());
  EXPECT_NO_THROW(form1_.Timer1Timer());
  EXPECT_EQ(field_.x[0], 100.0);  // Each faulting tick was still abandoned.

  field_.MaxSpeed = 8.0;
  field_.vx[0] = 1.0;
  EXPECT_NO_THROW(form1_.Timer1Timer());
  EXPECT_EQ(field_.x[0], 101.0);

  field_.MaxSpeed = -1.0;
  field_.vx[0] = 0.0;
  EXPECT_THROW(form1_.Timer1Timer(), std::runtime_error);
}

TEST_F(TForm1Test, ClosingTheDisplayHidesItAndClosingTheSettingsQuits) {
  int exitCode = -1;
  QTimer::singleShot(0, &form2_, [&] { form2_.close(); });
  // Still running 100 ms later: the display's close did not end the loop.
  QTimer::singleShot(100, &form1_, [] { QCoreApplication::exit(7); });
  exitCode = QCoreApplication::exec();
  EXPECT_EQ(exitCode, 7);
  EXPECT_TRUE(form2_.isHidden());

  QTimer::singleShot(0, &form1_, [&] { form1_.close(); });
  QTimer::singleShot(5000, &form1_, [] { QCoreApplication::exit(9); });
  exitCode = QCoreApplication::exec();
  EXPECT_EQ(exitCode, 0);
}

}  // namespace
}  // namespace zintrel
