// The program started under each language, as a user starts it: the
// environment names the language, main()'s choice reads it, and the real
// windows show the catalog's texts, the Japanese ones exactly the window's
// original ones, each fitting its control. Run on an X server.
#include <cstdlib>
#include <map>
#include <memory>
#include <string>

#include <QAction>
#include <QCheckBox>
#include <QFontMetrics>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTimer>

#include <gtest/gtest.h>

#include "app/program.h"
#include "settings/catalog.h"

namespace zintrel {
namespace {

struct Control {
  const char* name;
  const char* text;
  QRect layout;  // Where the window's layout puts it, at 96 dpi.
};

struct Language {
  const char* lang;  // LANG as the user's session sets it.
  const char* settingsTitle;
  const char* displayTitle;
  Control controls[14];
  const char* menu[4];
  const char* countTip;
  const char* missingFileBox;
};

const Language kLanguages[] = {
    {"ja_JP.UTF-8",
     "Zintrel - 設定",
     "Zintrel",
     {{"StaticText1", "粒子の数", {16, 29, 52, 16}},      {"CheckBox1", "粒子の向きを表示", {32, 57, 113, 17}},
      {"StaticText2", "大きさ", {32, 85, 35, 16}},        {"StaticText3", "MAX SPEED", {4, 133, 68, 16}},
      {"StaticText4", "活性度", {24, 181, 40, 16}},       {"StaticText5", "反発度", {24, 221, 40, 16}},
      {"StaticText6", "加速性", {24, 261, 40, 16}},       {"StaticText7", "反発加速性", {8, 301, 64, 16}},
      {"Button1", "type1", {40, 336, 49, 25}},            {"Button2", "type2", {112, 336, 49, 25}},
      {"StaticText8", "初期半径", {16, 389, 52, 16}},     {"Button3", "初期化", {28, 424, 49, 25}},
      {"Button4", "Play / Pause", {96, 424, 77, 25}},     {"StaticText9", "描画速度", {16, 477, 52, 16}}},
     {"状態を保存…", "状態を開く…", "画像を保存…", "画像をコピー"},
     "動く粒子の数: 50 個",
     "「/no/such.zintrel」を読み込めません: "},
    {"en_GB.UTF-8",
     "Zintrel - Settings",
     "Zintrel",
     {{"StaticText1", "Particles", {16, 29, 52, 16}},     {"CheckBox1", "Show direction", {32, 57, 113, 17}},
      {"StaticText2", "Size", {32, 85, 35, 16}},          {"StaticText3", "MAX SPEED", {4, 133, 68, 16}},
      {"StaticText4", "Activity", {24, 181, 40, 16}},     {"StaticText5", "Repulsion", {24, 221, 40, 16}},
      {"StaticText6", "Accel.", {24, 261, 40, 16}}, {"StaticText7", "Push accel.", {8, 301, 64, 16}},
      {"Button1", "type1", {40, 336, 49, 25}},            {"Button2", "type2", {112, 336, 49, 25}},
      {"StaticText8", "Radius", {16, 389, 52, 16}},       {"Button3", "Scatter", {28, 424, 49, 25}},
      {"Button4", "Play / Pause", {96, 424, 77, 25}},     {"StaticText9", "Tick rate", {16, 477, 52, 16}}},
     {"Save state…", "Open state…", "Save picture…", "Copy picture"},
     "How many particles move: 50",
     "Cannot read '/no/such.zintrel': "},
};

class LanguageTest : public testing::TestWithParam<Language> {
 protected:
  void SetUp() override {
    // As a desktop session sets it: LANG alone, the others unset.
    for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES"}) unsetenv(name);
    setenv("LANG", GetParam().lang, 1);
    ChooseUiLanguage();
    program_ = std::make_unique<Program>();
    program_->Form1().Timer1->stop();
  }
  void TearDown() override {
    if (QMessageBox* box = program_->Menu().Messages().OpenBox()) box->close();
    program_.reset();
    SetUiLanguage(kSourceLanguage);
  }

  QWidget* Find(const char* name) { return program_->Form1().findChild<QWidget*>(QLatin1String(name)); }

  std::unique_ptr<Program> program_;
};

TEST_P(LanguageTest, WindowsShowTheCatalogsTexts) {
  const Language& language = GetParam();
  EXPECT_EQ(program_->Form1().windowTitle(), QString::fromUtf8(language.settingsTitle));
  EXPECT_EQ(program_->Form2().windowTitle(), QString::fromUtf8(language.displayTitle));
  for (const Control& control : language.controls) {
    SCOPED_TRACE(control.name);
    QWidget* widget = Find(control.name);
    ASSERT_NE(widget, nullptr);
    const auto* label = qobject_cast<QLabel*>(widget);
    const QString text = label != nullptr ? label->text() : qobject_cast<QAbstractButton*>(widget)->text();
    EXPECT_EQ(text, QString::fromUtf8(control.text));
  }
  const QAction* actions[] = {program_->Menu().SaveStateAction, program_->Menu().OpenStateAction,
                              program_->Menu().SavePictureAction, program_->Menu().CopyPictureAction};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(actions[i]->text(), QString::fromUtf8(language.menu[i]));
  EXPECT_EQ(program_->Form1().TrackBar1->toolTip(), QString::fromUtf8(language.countTip));
  // A box speaks the language too.
  EXPECT_FALSE(program_->Menu().OpenState(QStringLiteral("/no/such.zintrel")));
  QMessageBox* box = program_->Menu().Messages().OpenBox();
  ASSERT_NE(box, nullptr);
  EXPECT_TRUE(box->text().startsWith(QString::fromUtf8(language.missingFileBox))) << box->text().toStdString();
}

// Every control keeps the place the layout gives it; a label may only grow
// within its row, left of its slider, and no text is cut off.
TEST_P(LanguageTest, EveryTextFitsItsControl) {
  const bool japanese = std::string(GetParam().lang).rfind("ja", 0) == 0;
  EXPECT_EQ(program_->Form1().size(), QSize(204, 519));
  for (const Control& control : GetParam().controls) {
    SCOPED_TRACE(control.name);
    QWidget* widget = Find(control.name);
    ASSERT_NE(widget, nullptr);
    const QRect placed = widget->geometry();
    const QFontMetrics metrics(widget->font());
    for (QChar character : QString::fromUtf8(control.text)) EXPECT_TRUE(metrics.inFont(character));
    EXPECT_EQ(placed.top(), control.layout.top());
    EXPECT_EQ(placed.height(), control.layout.height());
    if (const auto* label = qobject_cast<QLabel*>(widget)) {
      if (japanese) {
        EXPECT_EQ(placed, control.layout);
      }
      EXPECT_GE(placed.left(), 2);
      EXPECT_LE(placed.left() + placed.width(), 72);
      EXPECT_LE(metrics.horizontalAdvance(label->text()), label->contentsRect().width());
    } else if (const auto* check = qobject_cast<QCheckBox*>(widget)) {
      EXPECT_EQ(placed.topLeft(), control.layout.topLeft());
      EXPECT_GE(placed.width(), check->sizeHint().width());
      EXPECT_LE(placed.right(), program_->Form1().TrackBar1->geometry().right());
    } else {
      auto* button = qobject_cast<QPushButton*>(widget);
      ASSERT_NE(button, nullptr);
      EXPECT_EQ(placed, control.layout);
      QStyleOptionButton option;
      option.initFrom(button);
      option.text = button->text();
      const QRect contents = button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
      EXPECT_LE(metrics.horizontalAdvance(button->text()), contents.width());
    }
  }
}

INSTANTIATE_TEST_SUITE_P(UnderEachLanguage, LanguageTest, testing::ValuesIn(kLanguages),
                         [](const testing::TestParamInfo<Language>& info) {
                           return std::string(info.param.lang).substr(0, 2);
                         });

}  // namespace
}  // namespace zintrel
