// The language of the engine's own texts: who chooses it, and the English
// line an English UI adds to a report.
#include <gtest/gtest.h>

#include <cstdlib>

#include "base/language.h"
#include "base/report.h"
#include "base/settings.h"
#include "base/textconv.h"

namespace velmora {
namespace {

class UiLanguageTest : public ::testing::Test {
 protected:
  void SetUp() override { resetSettings(); }
  void TearDown() override {
    setGameUiLanguage(UiLanguage::Japanese);
    resetSettings();
    withEnglishLines("");
  }
};

TEST_F(UiLanguageTest, TheGameChoosesAndThePlayersMenuChoiceWins) {
  EXPECT_EQ(uiLiteral("終了", "Quit"), sj("終了"));  // Japanese unless someone chose otherwise
  setGameUiLanguage(UiLanguage::English);
  EXPECT_EQ(uiLiteral("終了", "Quit"), "Quit");
  choosePlayerUiLanguage(UiLanguage::Japanese);
  EXPECT_EQ(settingText(SettingKey::Language), "ja");
  EXPECT_EQ(uiLiteral("終了", "Quit"), sj("終了"));
  settingText(SettingKey::Language) = "fr";  // unknown: the game's choice
  EXPECT_TRUE(englishUi());
}

// The variable is read once per process: a fresh one checks it wins over both.
TEST_F(UiLanguageTest, TheEnvironmentVariableWinsOverTheMenuAndTheGame) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        setenv("VELMORA_UI_LANGUAGE", "en", 1);
        choosePlayerUiLanguage(UiLanguage::Japanese);
        std::exit(englishUi() ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
  EXPECT_EXIT(
      {
        setenv("VELMORA_UI_LANGUAGE", "ja", 1);
        setGameUiLanguage(UiLanguage::English);
        std::exit(englishUi() ? 1 : 0);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST_F(UiLanguageTest, AnEnglishUiAddsTheLinesOfTheMessagesAReportHolds) {
  const std::string failed = "a.txt" + errorLiteral(" の読み込みに失敗しました", "Could not read the file.");
  EXPECT_EQ(withEnglishLines(failed), failed);  // a Japanese UI: the report as it was
  setGameUiLanguage(UiLanguage::English);
  const std::string report = "a.txt" + errorLiteral(" の読み込みに失敗しました", "Could not read the file.");
  const std::string fragment = errorLiteral(" 段）", "");  // a fragment has no line of its own
  errorLiteral("ラベルが存在しません", "The label does not exist.");  // fetched, not reported
  EXPECT_EQ(report, failed);  // the message itself stays Japanese, byte for byte
  EXPECT_EQ(withEnglishLines(report + fragment), failed + fragment + "\nCould not read the file.");
  EXPECT_EQ(withEnglishLines(failed), failed);  // lines are let go once a report has shown
}

}  // namespace
}  // namespace velmora
