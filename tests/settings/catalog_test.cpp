#include "settings/catalog.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "settings/display_texts.h"
#include "settings/ui_language.h"

namespace zintrel {
namespace {

// Every test leaves the programs speaking English, as they start.
class CatalogTest : public ::testing::Test {
 protected:
  void TearDown() override { SetUiLanguage(kSourceLanguage); }
};

// The settings window's texts under a Japanese user interface are the
// window's original texts, character for character, and the timer error too.
TEST_F(CatalogTest, JapaneseGivesTheWindowsOwnTexts) {
  const std::map<std::string, std::string> original = {
      {"Zintrel - Settings", "Zintrel - 設定"}, {"Zintrel", "Zintrel"},
      {"Particles", "粒子の数"},                {"Show direction", "粒子の向きを表示"},
      {"Size", "大きさ"},                       {"MAX SPEED", "MAX SPEED"},
      {"Activity", "活性度"},                   {"Repulsion", "反発度"},
      {"Accel.", "加速性"},               {"Push accel.", "反発加速性"},
      {"type1", "type1"},                       {"type2", "type2"},
      {"Radius", "初期半径"},                   {"Scatter", "初期化"},
      {"Play / Pause", "Play / Pause"},         {"Tick rate", "描画速度"},
      {"Cannot obtain a timer", "タイマーを取得できません"},
  };
  SetUiLanguage("ja");
  EXPECT_EQ(UiLanguage(), "ja");
  for (const auto& [english, japanese] : original) EXPECT_STREQ(Tr(english.c_str()), japanese.c_str()) << english;
  SetUiLanguage(kSourceLanguage);
  for (const auto& [english, japanese] : original) EXPECT_STREQ(Tr(english.c_str()), english.c_str());
}

// A language without a catalog speaks English, and so does a text a catalog
// lacks.
TEST_F(CatalogTest, UnknownLanguagesAndTextsFallBackToEnglish) {
  SetUiLanguage("de");
  EXPECT_EQ(UiLanguage(), "en");
  EXPECT_STREQ(Tr("Particles"), "Particles");
  SetUiLanguage("ja");
  EXPECT_STREQ(Tr("No catalog holds this"), "No catalog holds this");
  EXPECT_EQ(KnownLanguages().front(), "en");
}

TEST_F(CatalogTest, FormatPlacesNumberedArgumentsInAnyOrder) {
  EXPECT_EQ(Format("%1$s x %2$s", {"3", "4"}), "3 x 4");
  EXPECT_EQ(Format("%2$sを%1$sに", {"a", "b"}), "bをaに");
  EXPECT_EQ(Format("100%% of %1$s", {"it"}), "100% of it");
  // A placeholder without its argument, or a stray %, shows nothing wrong.
  EXPECT_EQ(Format("%3$s|%|%1$", {"x"}), "|%|%1$");
}

// The box's full stop is the language's, never doubled.
TEST_F(CatalogTest, BoxLinesEndWithTheLanguagesFullStop) {
  EXPECT_EQ(WithFullStop("Floating point overflow"), "Floating point overflow.");
  EXPECT_EQ(WithFullStop("Ends."), "Ends.");
  SetUiLanguage("ja");
  EXPECT_EQ(WithFullStop(Tr("Cannot obtain a timer")), "タイマーを取得できません。");
  EXPECT_EQ(WithFullStop("終わり。"), "終わり。");
  EXPECT_EQ(OpenFailedText("/tmp/x", {StateFileProblem::kFolder, {}}),
            "「/tmp/x」はフォルダーです。保存した状態ではありません");
}

// The language is the environment's, read as gettext reads it: the first of
// LANGUAGE, LC_ALL, LC_MESSAGES and LANG that is set decides, whether or not
// the locale is installed.
TEST_F(CatalogTest, TheEnvironmentChoosesTheLanguage) {
  const auto from = [](std::map<std::string, std::string> variables) {
    return LanguageFromEnvironment([&variables](const char* name) -> const char* {
      const auto found = variables.find(name);
      return found == variables.end() ? nullptr : found->second.c_str();
    });
  };
  EXPECT_EQ(from({}), "en");
  EXPECT_EQ(from({{"LANG", "ja_JP.UTF-8"}}), "ja");
  EXPECT_EQ(from({{"LANG", "ja_JP.eucJP@fancy"}}), "ja");
  EXPECT_EQ(from({{"LANG", "C.UTF-8"}}), "en");
  EXPECT_EQ(from({{"LANG", "de_DE.UTF-8"}}), "en");
  EXPECT_EQ(from({{"LC_MESSAGES", "ja_JP.UTF-8"}, {"LANG", "en_GB.UTF-8"}}), "ja");
  EXPECT_EQ(from({{"LC_ALL", "C"}, {"LC_MESSAGES", "ja_JP.UTF-8"}}), "en");
  EXPECT_EQ(from({{"LC_ALL", ""}, {"LC_MESSAGES", "ja_JP.UTF-8"}}), "ja");
  EXPECT_EQ(from({{"LANGUAGE", "ja"}, {"LC_ALL", "en_US.UTF-8"}}), "ja");
  // LANGUAGE lists preferences: the first one spoken wins, English included.
  EXPECT_EQ(from({{"LANGUAGE", "fr:ja:en"}, {"LANG", "C"}}), "ja");
  EXPECT_EQ(from({{"LANGUAGE", "en_GB:ja"}}), "en");
  EXPECT_EQ(from({{"LANGUAGE", "fr:de"}, {"LANG", "ja_JP.UTF-8"}}), "en");
  EXPECT_EQ(MatchLanguage("ja-JP"), "ja");
  EXPECT_EQ(MatchLanguage(""), "");
}

}  // namespace
}  // namespace zintrel
