#include "app/track_bar.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyle>
#include <QStyleOptionSlider>

#include <gtest/gtest.h>

namespace zintrel {
namespace {

// A 0..99 slider at the settings window's size, counting its reports and
// recording the value each report saw.
class TrackBarTest : public testing::Test {
 protected:
  TrackBarTest() {
    slider_.resize(123, 33);
    QObject::connect(&slider_, &TrackBar::Change, [this] {
      ++changes_;
      seenValue_ = slider_.value();
      seenPosition_ = slider_.Position();
    });
  }

  void Press(int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(&slider_, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QApplication::sendEvent(&slider_, &release);
  }

  QWidget parent_;
  TrackBar slider_{0, 99, 50, TickMarks::kEndsOnly, &parent_};
  int changes_ = 0;
  int seenValue_ = -1;
  int seenPosition_ = -1;
};

TEST_F(TrackBarTest, StartsQuietAtItsPosition) {
  EXPECT_EQ(changes_, 0);
  EXPECT_EQ(slider_.value(), 50);
  EXPECT_EQ(slider_.orientation(), Qt::Horizontal);
  EXPECT_EQ(slider_.singleStep(), 1);
  EXPECT_EQ(slider_.pageStep(), 2);
  EXPECT_EQ(slider_.tickPosition(), QSlider::TicksBelow);
  EXPECT_EQ(slider_.tickInterval(), 99);  // One mark at each end.
}

// Every key action reports exactly once, also one that cannot move the
// slider because it already sits at the end.
TEST_F(TrackBarTest, EveryKeyActionReportsOnce) {
  const struct {
    int start;
    int key;
    int expected;
  } cases[] = {
      {50, Qt::Key_Right, 51},   {50, Qt::Key_Left, 49},    {50, Qt::Key_PageUp, 52},
      {50, Qt::Key_PageDown, 48}, {50, Qt::Key_Home, 0},     {50, Qt::Key_End, 99},
      {99, Qt::Key_Right, 99},   {99, Qt::Key_PageUp, 99},  {98, Qt::Key_PageUp, 99},
      {0, Qt::Key_Home, 0},      {0, Qt::Key_Left, 0},      {1, Qt::Key_PageDown, 0},
  };
  for (const auto& c : cases) {
    slider_.setValue(c.start);
    changes_ = 0;
    Press(c.key);
    EXPECT_EQ(slider_.value(), c.expected) << "key " << c.key << " from " << c.start;
    EXPECT_EQ(changes_, 1) << "key " << c.key << " from " << c.start;
    // The report comes after the value is stored, never with the old one.
    EXPECT_EQ(seenValue_, c.expected) << "key " << c.key << " from " << c.start;
    EXPECT_EQ(seenPosition_, c.expected) << "key " << c.key << " from " << c.start;
  }
}

TEST_F(TrackBarTest, ProgramMovesReportOnlyRealChanges) {
  slider_.setValue(50);
  EXPECT_EQ(changes_, 0);
  slider_.setValue(70);
  EXPECT_EQ(changes_, 1);
  EXPECT_EQ(seenValue_, 70);
  // Clamped to the range, then reported like any other move.
  slider_.setValue(500);
  EXPECT_EQ(changes_, 2);
  EXPECT_EQ(slider_.value(), 99);
  slider_.setValue(120);
  EXPECT_EQ(changes_, 2);
}

TEST_F(TrackBarTest, AClickInTheChannelStepsByAPage) {
  // Aims at the groove to the right of the handle, as the style lays them out.
  QStyleOptionSlider option;
  option.initFrom(&slider_);
  option.subControls = QStyle::SC_None;
  option.activeSubControls = QStyle::SC_None;
  option.orientation = slider_.orientation();
  option.maximum = slider_.maximum();
  option.minimum = slider_.minimum();
  option.tickPosition = slider_.tickPosition();
  option.tickInterval = slider_.tickInterval();
  option.upsideDown = false;
  option.direction = Qt::LeftToRight;
  option.sliderPosition = slider_.sliderPosition();
  option.sliderValue = slider_.value();
  option.singleStep = slider_.singleStep();
  option.pageStep = slider_.pageStep();
  const QStyle* style = slider_.style();
  const QRect handle =
      style->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, &slider_);
  const QRect groove =
      style->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, &slider_);
  const QPoint right(handle.right() + 15, groove.center().y());
  ASSERT_LT(right.x(), slider_.width());

  QMouseEvent press(QEvent::MouseButtonPress, right, slider_.mapToGlobal(right), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&slider_, &press);
  QMouseEvent release(QEvent::MouseButtonRelease, right, slider_.mapToGlobal(right),
                      Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(&slider_, &release);
  EXPECT_EQ(slider_.value(), 52);
  EXPECT_EQ(changes_, 1);
}

}  // namespace
}  // namespace zintrel
