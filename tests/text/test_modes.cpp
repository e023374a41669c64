// Reading modes at text blocks, the mode words, and the backlog ring.
#include <gtest/gtest.h>

#include <memory>

#include "base/encoding.h"
#include "base/report.h"
#include "resource/packer.h"
#include "script/loader.h"
#include "support/tempdir.h"
#include "text_fixture.h"

namespace velmora::text::test {
namespace {


class Modes : public ::testing::Test {
 protected:
  void SetUp() override {
    resetSettings();
    script::resetModes();
  }
};

TEST_F(Modes, SkipStopsAtUnreadTextUnlessAlreadyReadSkip) {
  int32_t read = 1, unread = 0;
  script::enterTextBlock(read, 1, 10);
  script::startSkip();
  EXPECT_EQ(script::takeModeWord(), 3);
  script::enterTextBlock(unread, 1, 20);
  EXPECT_EQ(unread, 1);
  EXPECT_EQ(script::readingModes().skip, 0);
  EXPECT_EQ(script::takeModeWord(), 33);

  setting(SettingKey::AlreadyReadSkip) = 1;
  int32_t another = 0;
  script::startSkip();
  script::takeModeWord();
  script::enterTextBlock(another, 1, 30);
  EXPECT_EQ(script::readingModes().skip, 1);
  EXPECT_EQ(script::takeModeWord(), 0);
}

TEST_F(Modes, SkipDoesNotStartOnUnreadText) {
  int32_t unread = 0;
  script::enterTextBlock(unread, 1, 10);
  script::startSkip();
  EXPECT_EQ(script::readingModes().skip, 0);
  EXPECT_EQ(script::takeModeWord(), 0);
}

TEST_F(Modes, AutoSkipStartsOnReadTextAndStopsAtTheFirstUnread) {
  setting(SettingKey::AlreadyReadAutoSkip) = 1;
  setting(SettingKey::AlreadyReadSkip) = 1;
  int32_t read = 1, unread = 0;
  script::enterTextBlock(read, 1, 10);
  EXPECT_EQ(script::readingModes().skip, 1);
  EXPECT_EQ(script::takeModeWord(), 3);
  EXPECT_EQ(setting(SettingKey::AlreadyReadAutoSkip), 3);
  script::enterTextBlock(unread, 1, 20);
  EXPECT_EQ(script::readingModes().skip, 0);
  EXPECT_EQ(script::takeModeWord(), 33);
  EXPECT_EQ(setting(SettingKey::AlreadyReadAutoSkip), 1);
}

TEST_F(Modes, StopWordsTellWhichModesWereOn) {
  script::startAuto();
  EXPECT_EQ(script::takeModeWord(), 2);
  EXPECT_EQ(script::stopModes(), 1 + 16);
  EXPECT_EQ(script::stopModes(), 0);  // a word is pending
  script::takeModeWord();
  script::toggleAuto();
  script::takeModeWord();
  script::toggleAuto();
  EXPECT_EQ(script::takeModeWord(), 17);
}

int g_jumpEnds = 0;
void countJumpEnd() { ++g_jumpEnds; }

TEST_F(Modes, JumpModeEndsAtItsTargetAndReportsWordSixtyFive) {
  script::modeHooks().endJumpEffects = countJumpEnd;
  script::startJumpMode();
  script::readingModes().returnScript = 7;
  script::readingModes().returnLine = 40;
  EXPECT_EQ(script::modeBits(), 16 + 8);
  int32_t flag = 1;
  script::enterTextBlock(flag, 7, 30);
  EXPECT_EQ(script::readingModes().jump, 1);
  script::enterTextBlock(flag, 7, 40);
  EXPECT_EQ(script::readingModes().jump, 0);
  EXPECT_EQ(script::readingModes().returnScript, 0u);
  EXPECT_EQ(script::takeModeWord(), 65);
  EXPECT_EQ(g_jumpEnds, 1);
  script::modeHooks().endJumpEffects = nullptr;
}

using BacklogRing = MessageTest;

TEST_F(BacklogRing, The201stPageOverwritesTheOldest) {
  for (int page = 0; page < 201; ++page) {
    appendEntryText(std::to_string(page));
    closeEntry();
  }
  appendEntryText("now");
  EXPECT_EQ(backlog().count, 200);
  EXPECT_EQ(entryText(entry(0)), "now");
  EXPECT_EQ(entryText(entry(1)), "200");
  EXPECT_EQ(entryText(entry(199)), "2");
}

TEST_F(BacklogRing, EntryTextKeepsAtMost1023Bytes) {
  appendEntryText(std::string(1000, 'a'));
  appendEntryText(utf8_to_sjis(repeat("あ", 20)));
  const std::string_view t = entryText(currentEntry());
  EXPECT_EQ(t.size(), 1022u);  // a half character is never kept
}

TEST_F(BacklogRing, AUnicodeGameKeepsNoPartOfACharacter) {
  setGameEncoding(GameEncoding::Utf8);
  appendEntryText(std::string(1002, 'a'));  // 20 bytes of room for 4-byte characters
  appendEntryText(repeat("😀", 6) + "x");
  EXPECT_EQ(entryText(currentEntry()).size(), 1022u);
  appendEntryText("é");
  EXPECT_EQ(entryText(currentEntry()).substr(1002), repeat("😀", 5));
  setGameEncoding(GameEncoding::ShiftJis);
}

TEST_F(BacklogRing, ClosingAnEntryClearsTheAutoTimeAndThePageCount) {
  script::readingModes().autoDeadline = 99;
  window().flow.pageWaits = 2;
  closeEntry();
  EXPECT_EQ(script::readingModes().autoDeadline, 0u);
  EXPECT_EQ(window().flow.pageWaits, 0);
}

int g_voiceStops = 0;
void countVoiceStop() { ++g_voiceStops; }

TEST_F(BacklogRing, ANewPageStopsTheVoicesOnlyWithVoiceCancel) {
  installTextHooks({.stopVoices = countVoiceStop});
  closeEntry();
  EXPECT_EQ(g_voiceStops, 0);
  setting(SettingKey::VoiceCancel) = 1;
  closeEntry();
  EXPECT_EQ(g_voiceStops, 1);
  installTextHooks({});
}

}  // namespace
}  // namespace velmora::text::test

namespace velmora::text::test {
namespace {

// Two scripts with text blocks, indexed as at start-up.
class ReadMarks : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::make_unique<velmora::test::TempDir>();
    const std::string start = utf8_to_sjis("*start\nあ\n\nい\n\nう\n\nえ\n\nお\n");
    const std::string other = utf8_to_sjis("か\n\nき\n");
    velmora::test::writeFile("script.dat", resource::buildScriptFile({{"script/0.txt", start}, {"script/b.txt", other}}));
    ASSERT_TRUE(script::loadScriptIndex());
    blocks_ = script::textBlocks(crc64_hash("script/0.txt"));
    ASSERT_TRUE(blocks_);
    ASSERT_EQ(blocks_->size(), 5u);
  }
  void TearDown() override { script::releaseScriptTables(); }
  std::string flags() const {
    std::string s;
    for (const auto& [line, flag] : *blocks_) s.push_back(char('0' + flag));
    return s;
  }
  std::unique_ptr<velmora::test::TempDir> dir_;
  script::TextBlockTable* blocks_ = nullptr;
};

TEST_F(ReadMarks, DigitsAfterTheNameMarkBlocksInLineOrder) {
  const std::string name = scriptName(crc64_hash("script/0.txt"));
  applyAlreadyReadText("S" + name + "=101\r\n");
  EXPECT_EQ(flags(), "10100");
}

TEST_F(ReadMarks, AlreadyDatSurvivesARestart) {
  setSaveRoot("");
  std::next(blocks_->begin(), 1)->second = 1;
  std::next(blocks_->begin(), 4)->second = 1;
  ASSERT_TRUE(saveAlreadyRead());
  script::releaseScriptTables();
  ASSERT_TRUE(script::loadScriptIndex());
  blocks_ = script::textBlocks(crc64_hash("script/0.txt"));
  EXPECT_EQ(flags(), "00000");
  loadAlreadyRead();
  EXPECT_EQ(flags(), "01001");
}

TEST_F(ReadMarks, ScriptsThatAreGoneAreReportedInOneBoxAndTheRestLoads) {
  const std::string name = scriptName(crc64_hash("script/0.txt"));
  std::string text = "SABCDEF=11\r\nS" + name + "=11111\r\n";
  for (int i = 0; i < 3000; ++i) text += "SX" + std::to_string(i) + "=1\r\n";
  testing::internal::CaptureStderr();
  applyAlreadyReadText(text);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(flags(), "11111");
  EXPECT_EQ(err, "[Error] ABCDEF が存在しなくなっています\nほか 3000 個のスクリプトも存在しなくなっています\n");
}

TEST_F(ReadMarks, ADamagedFileLeavesEverythingUnread) {
  setSaveRoot("");
  velmora::test::writeFile("save/already.dat", "garbage");
  loadAlreadyRead();
  EXPECT_EQ(flags(), "00000");
}

}  // namespace
}  // namespace velmora::text::test
