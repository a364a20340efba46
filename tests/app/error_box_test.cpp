#include "app/error_box.h"

#include <stdexcept>

#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
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
    if (QMessageBox* box = errors_.OpenBox()) box->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }

  QWidget owner_;
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

TEST_F(ErrorBoxTest, FurtherErrorsDoNotPileUpWhileABoxIsOpen) {
  errors_.Report(QStringLiteral("first"));
  QMessageBox* first = errors_.OpenBox();
  errors_.Report(QStringLiteral("second"));
  errors_.Report(QStringLiteral("third"));
  EXPECT_EQ(errors_.OpenBox(), first);
  EXPECT_EQ(first->text(), QStringLiteral("first."));
  EXPECT_EQ(owner_.findChildren<QMessageBox*>().size(), 1);

  // Once OK closed it, the next error gets a box of its own.
  first->button(QMessageBox::Ok)->click();
  EXPECT_EQ(errors_.OpenBox(), nullptr);
  errors_.Report(QStringLiteral("fourth"));
  ASSERT_NE(errors_.OpenBox(), nullptr);
  EXPECT_EQ(errors_.OpenBox()->text(), QStringLiteral("fourth."));
}

TEST_F(ErrorBoxTest, RunGuardedTurnsAnEscapingErrorIntoTheBox) {
  bool finished = false;
  RunGuarded(errors_, [&] { finished = true; });
  EXPECT_TRUE(finished);
  EXPECT_EQ(errors_.OpenBox(), nullptr);

  bool abandoned = true;
  RunGuarded(errors_, [&] {
    throw std::runtime_error("Invalid floating point operation");
    abandoned = false;
  });
  EXPECT_TRUE(abandoned);
  ASSERT_NE(errors_.OpenBox(), nullptr);
  EXPECT_EQ(errors_.OpenBox()->text(), QStringLiteral("Invalid floating point operation."));
}

TEST_F(ErrorBoxTest, RunGuardedCatchesErrorsOfAnyType) {
  RunGuarded(errors_, [] { throw 42; });
  EXPECT_NE(errors_.OpenBox(), nullptr);
}

}  // namespace
}  // namespace zintrel
