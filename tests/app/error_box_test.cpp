#include "app/error_box.h"

#include <stdexcept>

#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QLabel>
#include <QMessageBox>
#include <QWidget>

#include <gtest/gtest.h>

namespace zintrel {
namespace {

TEST(ApplicationTitleTest, KeepsTheFirstLetterAndLowersTheRest) {
  const struct {
    const char* path;
    const char* title;
  } cases[] = {
      {"/usr/bin/zintrel", "zintrel"},
      {"/opt/ZINTREL", "Zintrel"},
      {"/home/u/build/ZinTrel.bin", "Zintrel"},
      {"relative/Tool.v2.EXE", "Tool.v2"},
      {"ÉCLAIR", "Éclair"},
      {"", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ApplicationTitle(QString::fromUtf8(c.path)), QString::fromUtf8(c.title)) << c.path;
  }
}

TEST(ApplicationTitleTest, ErrorTextGetsOneFullStop) {
  EXPECT_EQ(ErrorBoxText(QStringLiteral("Floating point overflow")),
            QStringLiteral("Floating point overflow."));
  EXPECT_EQ(ErrorBoxText(QString::fromUtf8("タイマーを取得できません")),
            QString::fromUtf8("タイマーを取得できません."));
  EXPECT_EQ(ErrorBoxText(QStringLiteral("Already ends.")), QStringLiteral("Already ends."));
}

class ErrorBoxTest : public testing::Test {
 protected:
  void TearDown() override {
    while (QMessageBox* box = errors_.OpenBox()) box->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }

  QWidget owner_;
  QWidget other_;
  ErrorBox errors_{&owner_};
};

TEST_F(ErrorBoxTest, ShowsACriticalBoxCaptionedWithTheTitle) {
  errors_.Report(QStringLiteral("Floating point overflow"));
  QMessageBox* box = errors_.OpenBox();
  ASSERT_NE(box, nullptr);
  EXPECT_TRUE(box->isVisible());
  EXPECT_EQ(box->icon(), QMessageBox::Critical);
  EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
  EXPECT_EQ(box->text(), QStringLiteral("Floating point overflow."));
  EXPECT_EQ(box->windowTitle(), ApplicationTitle(QCoreApplication::applicationFilePath()));
  EXPECT_EQ(box->windowModality(), Qt::ApplicationModal);
}

// Reports made while a box is open are each shown in turn, one box at a
// time; one that an open or waiting box already tells is not told twice.
TEST_F(ErrorBoxTest, ReportsWaitForTheOpenBoxAndAreShownInTurn) {
  errors_.Report(QStringLiteral("first"));
  QMessageBox* first = errors_.OpenBox();
  ASSERT_NE(first, nullptr);
  errors_.Report(QStringLiteral("second"), QMessageBox::Critical, &other_);
  errors_.Report(QStringLiteral("first"));
  errors_.Report(QStringLiteral("third"), QMessageBox::Information);
  errors_.Report(QStringLiteral("second"));
  // The same words as a notice rather than an error are a report of their own.
  errors_.Report(QStringLiteral("first"), QMessageBox::Information);
  EXPECT_EQ(errors_.OpenBox(), first);
  EXPECT_EQ(errors_.Waiting(), 3);

  const struct {
    const char* text;
    QMessageBox::Icon icon;
    QWidget* over;
  } expected[] = {
      {"second.", QMessageBox::Critical, &other_},
      {"third.", QMessageBox::Information, &owner_},
      {"first.", QMessageBox::Information, &owner_},
  };
  for (const auto& next : expected) {
    SCOPED_TRACE(next.text);
    errors_.OpenBox()->button(QMessageBox::Ok)->click();
    QMessageBox* box = errors_.OpenBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), QString::fromUtf8(next.text));
    EXPECT_EQ(box->icon(), next.icon);
    EXPECT_EQ(box->parentWidget(), next.over);
    EXPECT_EQ(box->windowModality(), Qt::ApplicationModal);
    int shown = 0;
    for (QWidget* window : {&owner_, &other_}) {
      for (const QMessageBox* any : window->findChildren<QMessageBox*>()) shown += any->isVisible() ? 1 : 0;
    }
    EXPECT_EQ(shown, 1);
  }
  errors_.OpenBox()->button(QMessageBox::Ok)->click();
  EXPECT_EQ(errors_.OpenBox(), nullptr);
  EXPECT_EQ(errors_.Waiting(), 0);

  // With none open, the next report opens a box at once.
  errors_.Report(QStringLiteral("first"));
  ASSERT_NE(errors_.OpenBox(), nullptr);
  EXPECT_EQ(errors_.OpenBox()->text(), QStringLiteral("first."));
}

TEST_F(ErrorBoxTest, RunGuardedTurnsAnEscapingErrorIntoTheBox) {
  bool finished = false;
  RunGuarded(errors_, [&] { finished = true; });
  EXPECT_TRUE(finished);
  EXPECT_EQ(errors_.OpenBox(), nullptr);

  // The action stops where it throws, and the caller goes on.
  int reached = 0;
  const auto failAt = [](int step) {
    if (step == 2) throw std::runtime_error("Invalid floating point operation");
  };
  RunGuarded(errors_, [&] {
    for (int step = 1; step <= 3; ++step) {
      failAt(step);
      reached = step;
    }
  });
  EXPECT_EQ(reached, 1);
  ASSERT_NE(errors_.OpenBox(), nullptr);
  EXPECT_EQ(errors_.OpenBox()->text(), QStringLiteral("Invalid floating point operation."));
}

// A state's field name, a file's name or a link may hold markup; the box
// shows it as the characters it is.
TEST_F(ErrorBoxTest, ShowsWhatItQuotesAsPlainText) {
  const QString hostile = QStringLiteral("unknown field '<a href=\"https://example.invalid/\">Click here</a><h1>BIG</h1>'");
  errors_.Report(hostile);
  QMessageBox* box = errors_.OpenBox();
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->textFormat(), Qt::PlainText);
  EXPECT_EQ(box->text(), hostile + QLatin1Char('.'));
  // What the box's label draws: no link to follow, the markup as text.
  const QList<QLabel*> labels = box->findChildren<QLabel*>();
  bool shownAsText = false;
  for (const QLabel* label : labels) {
    if (label->text() == box->text()) {
      EXPECT_EQ(label->textFormat(), Qt::PlainText);
      shownAsText = true;
    }
  }
  EXPECT_TRUE(shownAsText);
}

TEST_F(ErrorBoxTest, RunGuardedCatchesErrorsOfAnyType) {
  RunGuarded(errors_, [] { throw 42; });
  EXPECT_NE(errors_.OpenBox(), nullptr);
}

}  // namespace
}  // namespace zintrel
