#include <memory>

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMessageBox>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include "app/program.h"

namespace zintrel {
namespace {

// The whole program with its timer stopped, so that a tick runs only when
// the test asks; the window's size follows the platform, which may answer a
// change of state later, so the test waits for the size it expects.
class FullScreenTest : public testing::Test {
 protected:
  FullScreenTest()
      : program_(std::make_unique<Program>()), form1_(program_->Form1()), form2_(program_->Form2()),
        field_(program_->Field()) {
    form1_.Timer1->stop();
  }

  ~FullScreenTest() override {
    if (QMessageBox* open = form1_.Errors().OpenBox()) open->close();
  }

  // Presses a key on the display window as the user would, through the
  // window system's shortcut handling.
  void Press(Qt::Key key) {
    form2_.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form2_));
    QTest::keyClick(&form2_, key);
  }

  // Chooses Full screen from the display window's context menu, opened by
  // the Menu key.
  void ChooseFromMenu() {
    bool chosen = false;
    // The menu runs its own loop; choose from inside it.
    QTimer::singleShot(0, [&chosen] {
      auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget());
      if (popup == nullptr) return;
      for (QAction* action : popup->actions()) {
        if (action->text() == QLatin1String("Full screen")) {
          popup->setActiveAction(action);
          QTest::keyClick(popup, Qt::Key_Return);
          chosen = true;
          return;
        }
      }
      popup->close();
    });
    QContextMenuEvent menuKey(QContextMenuEvent::Keyboard, QPoint(10, 10), form2_.mapToGlobal(QPoint(10, 10)));
    QApplication::sendEvent(&form2_, &menuKey);
    ASSERT_TRUE(chosen) << "the menu has no Full screen item";
  }

  QRect Screen() const { return form2_.screen()->geometry(); }

  // Waits until the display window covers its whole screen.
  bool WaitForFullScreen() {
    return QTest::qWaitFor([this] { return form2_.isFullScreen() && form2_.geometry() == Screen(); });
  }

  // Waits until the display window is back where it was, at the size it had.
  bool WaitForGeometry(const QRect& before) {
    return QTest::qWaitFor([this, &before] { return !form2_.isFullScreen() && form2_.geometry() == before; });
  }

  std::unique_ptr<Program> program_;
  TForm1& form1_;
  TForm2& form2_;
  ParticleField& field_;
};

// F11 fills the screen and the next tick rescales the field to it, as any
// resize does; F11 again gives back the size and place, and the field
// follows once more.
TEST_F(FullScreenTest, F11EntersAndLeavesAndTheFieldFollows) {
  form1_.Timer1Timer();
  const QRect before = form2_.geometry();
  ASSERT_EQ(field_.FieldWidth, 660);
  ASSERT_NE(Screen().size(), before.size());
  field_.Running = 0;  // Paused: the tick rescales and draws, and steps nothing.
  const double x0 = field_.x[0];
  const double y0 = field_.y[0];

  Press(Qt::Key_F11);
  ASSERT_TRUE(WaitForFullScreen()) << "the window is at " << form2_.geometry().width() << " x "
                                   << form2_.geometry().height();
  EXPECT_FALSE(form2_.isMaximized());
  form1_.Timer1Timer();
  EXPECT_EQ(field_.FieldWidth, Screen().width());
  EXPECT_EQ(field_.FieldHeight, Screen().height());
  EXPECT_EQ(program_->Bitmap().Width(), Screen().width());
  EXPECT_EQ(program_->Bitmap().Height(), Screen().height());
  EXPECT_DOUBLE_EQ(field_.x[0], x0 * Screen().width() / 660.0);
  EXPECT_DOUBLE_EQ(field_.y[0], y0 * Screen().height() / 440.0);

  Press(Qt::Key_F11);
  ASSERT_TRUE(WaitForGeometry(before));
  form1_.Timer1Timer();
  EXPECT_EQ(field_.FieldWidth, 660);
  EXPECT_EQ(field_.FieldHeight, 440);
}

TEST_F(FullScreenTest, MenuItemEntersAndLeaves) {
  const QRect before = form2_.geometry();
  ChooseFromMenu();
  ASSERT_TRUE(WaitForFullScreen());
  ChooseFromMenu();
  EXPECT_TRUE(WaitForGeometry(before));
}

// Esc leaves full screen; outside it, Esc changes nothing about the window.
TEST_F(FullScreenTest, EscLeavesFullScreenAndOnlyThat) {
  const QRect before = form2_.geometry();
  Press(Qt::Key_Escape);
  EXPECT_TRUE(form2_.isVisible());
  EXPECT_FALSE(form2_.isFullScreen());
  EXPECT_EQ(form2_.geometry(), before);

  Press(Qt::Key_F11);
  ASSERT_TRUE(WaitForFullScreen());
  Press(Qt::Key_Escape);
  EXPECT_TRUE(WaitForGeometry(before));
  EXPECT_TRUE(form2_.isVisible());
}

// A window maximised before full screen comes back maximised.
TEST_F(FullScreenTest, AMaximisedWindowComesBackMaximised) {
  form2_.showMaximized();
  ASSERT_TRUE(QTest::qWaitFor([this] { return form2_.isMaximized() && form2_.size() != QSize(660, 440); }));
  const QRect maximised = form2_.geometry();
  Press(Qt::Key_F11);
  ASSERT_TRUE(WaitForFullScreen());
  Press(Qt::Key_F11);
  EXPECT_TRUE(QTest::qWaitFor([this, &maximised] { return form2_.isMaximized() && form2_.geometry() == maximised; }));
  EXPECT_FALSE(form2_.isFullScreen());
}

}  // namespace
}  // namespace zintrel
