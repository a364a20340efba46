#include <memory>
#include <string>

#include <QApplication>
#include <QCheckBox>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QPushButton>
#include <QTimer>
#include <QToolTip>

#include <gtest/gtest.h>

#include "app/program.h"

namespace zintrel {
namespace {

// The settings window's sliders tell the value they set: as a tooltip on
// hover, and live beside the handle while the user moves them.
class TForm1ValueTipTest : public testing::Test {
 protected:
  TForm1ValueTipTest() : program_(std::make_unique<Program>()), form1_(program_->Form1()) {
    form1_.Timer1->stop();
    QToolTip::hideText();
  }

  // Asks the slider for its tooltip the way a resting pointer does, and
  // returns the text it would show.
  QString HoverText(TrackBar* slider) {
    QHelpEvent help(QEvent::ToolTip, QPoint(5, 5), slider->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(slider, &help);
    return slider->toolTip();
  }

  std::unique_ptr<Program> program_;
  TForm1& form1_;
};

TEST_F(TForm1ValueTipTest, StartTipsShowTheValuesInUse) {
  const struct {
    TrackBar* slider;
    const char* expected;
  } cases[] = {
      // 50 as FormCreate set it, not the 52 of the slider's position.
      {form1_.TrackBar1, "How many particles move: 50"},
      {form1_.TrackBar2, "How large the particles are drawn: radius 6 px"},
      {form1_.TrackBar3, "The fastest a particle may move: 8 px per tick"},
      {form1_.TrackBar6, "How strongly the particles pull and push: A = 1.000"},
      {form1_.TrackBar7, "How much the push weighs at short range: B = 8.000"},
      {form1_.TrackBar4, "How fast the force fades with distance: a = 1.000"},
      {form1_.TrackBar5, "How sharply the push takes over up close: b = 1.000"},
      // The field still has radius 0; this is what Initialise would use.
      {form1_.TrackBar8, "The disc the particles are scattered in: radius 23.02 px"},
      {form1_.TrackBar9, "Time between two ticks: 16 ms"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.slider->toolTip().toStdString(), c.expected)
        << c.slider->objectName().toStdString();
    EXPECT_EQ(HoverText(c.slider).toStdString(), c.expected);
  }
}

TEST_F(TForm1ValueTipTest, KeysUpdateTheTipAndShowItAtOnce) {
  form1_.TrackBar4->setFocus();
  QKeyEvent right(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier);
  QApplication::sendEvent(form1_.TrackBar4, &right);
  EXPECT_EQ(form1_.TrackBar4->toolTip(), QStringLiteral("How fast the force fades with distance: a = 1.030"));
  EXPECT_TRUE(QToolTip::isVisible());
  EXPECT_EQ(QToolTip::text().toStdString(), "How fast the force fades with distance: a = 1.030");

  QKeyEvent pageUp(QEvent::KeyPress, Qt::Key_PageUp, Qt::NoModifier);
  QApplication::sendEvent(form1_.TrackBar9, &pageUp);
  EXPECT_EQ(form1_.TrackBar9->value(), 35);
  EXPECT_EQ(QToolTip::text().toStdString(), "Time between two ticks: 18 ms");
}

// Dragging moves the slider position with the button held down, which is
// what QSlider's own mouse handling does on every move.
TEST_F(TForm1ValueTipTest, DraggingShowsEachValueAsItIsReached) {
  TrackBar* slider = form1_.TrackBar1;
  slider->setSliderDown(true);
  for (int position : {60, 90, 99}) {
    slider->setSliderPosition(position);
    const std::string expected =
        SliderValueText(SliderQuantity::kParticleCount, ParticleCountAt(position));
    EXPECT_EQ(program_->Field().ParticleCount, ParticleCountAt(position));
    EXPECT_TRUE(QToolTip::isVisible()) << position;
    EXPECT_EQ(QToolTip::text().toStdString(), expected);
  }
  slider->setSliderDown(false);
  EXPECT_EQ(QToolTip::text(), QStringLiteral("How many particles move: 2500"));
}

TEST_F(TForm1ValueTipTest, ProgramMovesUpdateTipsWithoutShowingOne) {
  form1_.Button2->click();
  EXPECT_EQ(form1_.TrackBar6->toolTip(), QStringLiteral("How strongly the particles pull and push: A = 38.000"));
  EXPECT_EQ(form1_.TrackBar7->toolTip(), QStringLiteral("How much the push weighs at short range: B = 6.000"));
  EXPECT_EQ(form1_.TrackBar4->toolTip(), QStringLiteral("How fast the force fades with distance: a = 2.000"));
  EXPECT_EQ(form1_.TrackBar5->toolTip(), QStringLiteral("How sharply the push takes over up close: b = 1.000"));
  EXPECT_FALSE(QToolTip::isVisible());

  // The size slider's value depends on the check box as well.
  form1_.CheckBox1->click();
  EXPECT_EQ(form1_.TrackBar2->toolTip(), QStringLiteral("How large the particles are drawn: radius 4 px"));
  EXPECT_FALSE(QToolTip::isVisible());
}

TEST_F(TForm1ValueTipTest, InitialRadiusTipFollowsTheDisplaySize) {
  program_->Form2().resize(300, 200);
  form1_.Timer1Timer();
  // 196 * (10 / 99) / 2 + 1 = 10.899...
  EXPECT_EQ(HoverText(form1_.TrackBar8), QStringLiteral("The disc the particles are scattered in: radius 10.90 px"));
  form1_.TrackBar8->setValue(99);
  EXPECT_EQ(form1_.TrackBar8->toolTip(), QStringLiteral("The disc the particles are scattered in: radius 99.00 px"));
}

// A desktop theme whose window colour differs from its button face, unlike
// Fusion's own palette where the two are the same.
QPalette ThemeWithDistinctButtonFace() {
  QPalette palette = QApplication::palette();
  palette.setColor(QPalette::Window, QColor(0x30, 0x60, 0xa0));
  palette.setColor(QPalette::Button, QColor(0xd4, 0xd0, 0xc8));
  return palette;
}

TEST(WindowBackgroundTest, BothWindowsShowTheButtonFace) {
  Program program;
  program.Form1().Timer1->stop();
  const QPalette theme = ThemeWithDistinctButtonFace();
  const QRgb buttonFace = theme.color(QPalette::Button).rgb();

  program.Form1().setPalette(theme);
  const QImage settings = program.Form1().grab().toImage();
  // Empty corners of the client area, and the gap between two sliders.
  EXPECT_EQ(settings.pixel(1, 1), buttonFace);
  EXPECT_EQ(settings.pixel(202, 517), buttonFace);
  EXPECT_EQ(settings.pixel(10, 165), buttonFace);

  // The display window shows the colour wherever the frame does not reach.
  TForm2& display = program.Form2();
  display.setPalette(theme);
  display.resize(700, 480);
  const QImage shown = display.grab().toImage();
  EXPECT_EQ(shown.pixel(680, 100), buttonFace);
  EXPECT_EQ(shown.pixel(100, 470), buttonFace);
  EXPECT_EQ(shown.pixel(10, 10), 0xff000000u);  // The black frame itself.
}

}  // namespace
}  // namespace zintrel
