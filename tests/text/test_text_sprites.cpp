// Text sprites and the message commands through the own language: sizes of
// ssp pictures, logsp rows, the current/default rule and the tag split.
#include <gtest/gtest.h>

#include <filesystem>

#include "bindings/catalogue.h"
#include "base/report.h"
#include "base/state.h"
#include "image/image.h"
#include "render/input/buttons.h"
#include "render/input/internal.h"
#include "render/render.h"
#include "script/expression.h"
#include "sprite/sprite.h"
#include "support/tempdir.h"
#include "text_fixture.h"

namespace velmora::text::test {
namespace {

class Commands : public MessageTest {
 protected:
  void SetUp() override {
    MessageTest::SetUp();
    runOptions().headless = true;
    setSaveRoot("");
    script::registerOwnCommands();
    installReportHooks({.ownTrace = script::ownLanguageTrace});
    bindings::registerCatalogue();
    sprite::bindSpriteCores();
    bindTextCores();
    run("int", "a, b, c");
    run("string", "s, t");
  }
  void TearDown() override {
    sprite::clearTable();
    script::resetVariables();
    MessageTest::TearDown();
  }
  static void run(const char* command, const std::string& args) {
    script::CommandHandler h = script::findCommand(command);
    ASSERT_NE(h, nullptr) << command;
    h(utf8_to_sjis(args).c_str());
  }
  static int var(const char* name) { return *script::numericReference(name); }
  static std::string str(const char* name) { return sjis_to_utf8(*script::stringReference(name)); }
  velmora::test::TempDir dir;
};

TEST_F(Commands, ATextSpriteIsAsWideAsItsBytesAndEvenSized) {
  run("ssp_set", "\"ＭＳ ゴシック\", 24, 0, 0xFFFFFF, 0xFFFFFF, 0");
  run("ssp", "5, \"あいう\", 0");
  const sprite::Slot* s = sprite::backSlot(5);
  ASSERT_TRUE(s && s->picture);
  EXPECT_EQ(s->picture->width, 6 * 24 / 2 + 5 + 1);  // 77 rounded up to 78
  EXPECT_EQ(s->picture->height, 24 + 5 + 1);
  EXPECT_EQ(sjis_to_utf8(sprite::record(5).name), "あいう");
  EXPECT_EQ(sprite::record(5).fontSize, 24);
  // An outline widens both sides by one pixel.
  run("ssp_set", "\"ＭＳ ゴシック\", 24, 4, 0xFFFFFF, 0xFFFFFF, 0");
  run("ssp", "6, \"あいう\", 0");
  EXPECT_EQ(sprite::backSlot(6)->picture->width, 80);
}

TEST_F(Commands, ABacklogSpriteDrawsItsRowsWithRuby) {
  run("ssp_set", "\"ＭＳ ゴシック\", 20, 0, 0xFFFFFF, 0xFFFFFF, 0");
  run("setMessLog", "10, 3, 0, 0, 2, 10");
  run("logsp", "7, \"{漢字/かんじ}\x0Cいい\", 0, 2");
  const sprite::Slot* s = sprite::backSlot(7);
  ASSERT_TRUE(s && s->picture);
  EXPECT_EQ(s->picture->width, 12 * 22 + 5 + 1);
  // Glyph pixels on both rows.
  auto rowHasInk = [&](int y0, int y1) {
    for (int y = y0; y < y1; ++y)
      for (int x = 0; x < s->picture->width; ++x)
        if (s->picture->pixels[y * s->picture->width + x] >> 24) return true;
    return false;
  };
  EXPECT_TRUE(rowHasInk(0, 10));    // the reading above the first row
  EXPECT_TRUE(rowHasInk(12, 30));   // the first row
  EXPECT_TRUE(rowHasInk(42, 60));   // the second row
}

TEST_F(Commands, CurrentAndDefaultPairs) {
  run("setMessSpeed", "40, 25");
  EXPECT_EQ(currentText().textSpeed, 40);
  run("getMessSpeed", "%a");
  EXPECT_EQ(var("%a"), 25);
  run("setMessSpeed", "-1, -1");
  EXPECT_EQ(currentText().textSpeed, 25);
  run("setFontFile", "\"\", \"ＭＳ 明朝\"");
  EXPECT_EQ(sjis_to_utf8(currentText().fontFile), "ＭＳ 明朝");
  run("getFontFile", "$s");
  EXPECT_EQ(str("$s"), "ＭＳ 明朝");
}

TEST_F(Commands, TheTagIsSplitAtCommasIntoTheGivenVariables) {
  setEntryName(utf8_to_sjis("ミナ,smile"));
  run("getTag", "$s, $t");
  EXPECT_EQ(str("$s"), "ミナ");
  EXPECT_EQ(str("$t"), "smile");
}

TEST_F(Commands, PagesAndTheLog) {
  script::registers().postTextHook = 1;
  show("あ\\");
  run("getPage", "%a");
  EXPECT_EQ(var("%a"), 1);
  run("clearMess2", "");
  run("getLogCount", "%b");
  EXPECT_EQ(var("%b"), 2);
  run("getLog", "1, $s");
  EXPECT_EQ(str("$s"), "あ");
  run("getLogLine", "1, %c");
  EXPECT_EQ(var("%c"), 1);
  EXPECT_EQ(window().main.laidOut, 0);
}

TEST_F(Commands, SuffixSubroutineNeedsALabelOfTheActiveScript) {
  run("sufMessGosub", "\"*nowhere\"");
  EXPECT_EQ(script::registers().postTextHook, 0);
}

TEST_F(Commands, TextPicturesThatCannotBeAllocatedAreReportedByTheirWrapper) {
  run("ssp_set", "\"ＭＳ ゴシック\", 40000, 0, 0xFFFFFF, 0xFFFFFF, 0");
  std::filesystem::remove("Information.txt");
  run("ssp", "5, \"あい\", 0");
  EXPECT_EQ(sprite::backSlot(5), nullptr);
  std::string log = sjis_to_utf8(velmora::test::readFile("Information.txt"));
  EXPECT_NE(log.find("spStrSetString LockRect GL_OUT_OF_MEMORY"), std::string::npos) << log;
  std::filesystem::remove("Information.txt");
  run("ssp_set", "\"ＭＳ ゴシック\", 24, 0, 0xFFFFFF, 0xFFFFFF, 0");
  window().layout.logValues[0] = 50000;  // columns
  run("logsp", "6, \"あ\", 0, 4000");
  EXPECT_EQ(sprite::backSlot(6), nullptr);
  log = sjis_to_utf8(velmora::test::readFile("Information.txt"));
  EXPECT_NE(log.find("spStrSetString2 LockRect GL_OUT_OF_MEMORY"), std::string::npos) << log;
}

TEST_F(Commands, HidingTheWholeWindowTakesTheTooltipAlong) {
  render::ButtonRecord r;
  r.tooltip = "tip";
  render::postTooltip(r);
  run("setWindowVisible", "2");
  EXPECT_TRUE(render::tooltip().shown);
  EXPECT_EQ(render::windowVisibleFlags(), 2);
  run("setWindowVisible", "0");
  EXPECT_FALSE(render::tooltip().shown);
  run("getWindowVisible", "%a");
  EXPECT_EQ(var("%a"), 0);
  run("setWindowVisible", "3");
}

}  // namespace
}  // namespace velmora::text::test
