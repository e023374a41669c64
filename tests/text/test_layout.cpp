// Laying out lines: the grid, wrapping, hanging punctuation, indentation,
// ruby, inline commands, the wait marks and the backlog text form.
#include <gtest/gtest.h>

#include "text_fixture.h"

namespace velmora::text::test {
namespace {

using Layout = MessageTest;

TEST_F(Layout, ATwentyColumnRowTakesTwentyOneCharactersThenWraps) {
  ASSERT_EQ(show(repeat("あ", 22).c_str()), 1);
  ASSERT_EQ(window().main.laidOut, 22);
  for (int k = 0; k < 21; ++k) EXPECT_EQ(cell(k), std::make_pair(2 * k, 0)) << k;
  EXPECT_EQ(cell(21), std::make_pair(0, 1));
  // Exact pixels: x = originX + column * pitch / 2, y = originY + row * row pitch.
  EXPECT_EQ(window().main.slots()[20].x, 10 + 40 * 24 / 2);
  EXPECT_EQ(window().main.slots()[21].y, 100 + 32);
  EXPECT_EQ(entryUtf8(), repeat("あ", 21) + "\x0C" + "あ" + "\x0C");
  EXPECT_EQ(window().flow.row, 2);
}

TEST_F(Layout, PunctuationHangsPastTheMarginUnlessAnotherFollows) {
  show((repeat("あ", 21) + "。").c_str());
  EXPECT_EQ(cell(21), std::make_pair(42, 0));
  resetMessageWindow();
  window().flow = MessageFlow{};
  show((repeat("あ", 21) + "、」").c_str());
  EXPECT_EQ(cell(21), std::make_pair(0, 1));
  EXPECT_EQ(cell(22), std::make_pair(2, 1));
}

TEST_F(Layout, AnOpeningBracketIndentsTheWrappedRows) {
  window().flow.bracketIndent = 1;
  show(("「" + repeat("あ", 25)).c_str());
  EXPECT_EQ(cell(0), std::make_pair(0, 0));
  EXPECT_EQ(cell(21), std::make_pair(2, 1));
  EXPECT_EQ(entryUtf8(), "「" + repeat("あ", 20) + "\x0C　" + repeat("あ", 5) + "\x0C　");
}

TEST_F(Layout, RowIndentStartsEveryRowAtColumnTwoAndMarksTheBacklog) {
  window().flow.rowIndent = 1;
  show(repeat("い", 22).c_str());
  EXPECT_EQ(cell(0), std::make_pair(2, 0));
  EXPECT_EQ(cell(19), std::make_pair(40, 0));
  EXPECT_EQ(cell(20), std::make_pair(2, 1));
  show("う");
  EXPECT_EQ(cell(22), std::make_pair(2, 2));
  // A two-row page: every row after a separator is indented.
  EXPECT_EQ(entryUtf8(), "　" + repeat("い", 20) + "\x0C　いい\x0C　う\x0C　");
}

TEST_F(Layout, RubyOverTwoBaseCharactersSpreadsThreeReadings) {
  show("{世界/せかい}");
  ASSERT_EQ(window().ruby.laidOut, 3);
  const int p = 24;
  for (int k = 0; k < 3; ++k) {
    EXPECT_EQ(window().ruby.slots()[size_t(k)].x, 10 + p / 8 + k * (p / 2 + p / 8)) << k;
    EXPECT_EQ(window().ruby.slots()[size_t(k)].y, 100 - 12);
  }
  EXPECT_EQ(window().reveal.rubyBase, (std::vector<int>{0, 0, 1}));
  EXPECT_EQ(entryUtf8(), "{世界/せかい}\x0C");
}

TEST_F(Layout, OneReadingPerBaseCharacterIsCentred) {
  show("あ{字/じ}");
  EXPECT_EQ(window().ruby.slots()[0].x, 10 + 2 * 24 / 2 + 24 / 4);
}

TEST_F(Layout, ARubyWithoutItsClosingBraceEndsTheLine) {
  show("{世界/せかい");
  EXPECT_EQ(window().ruby.laidOut, 0);
  EXPECT_EQ(window().flow.waitKind, kNoWait);
}

std::string g_inlineArgs;
int g_inlineColumn = -1;
void tickCommand(const char* args) {
  g_inlineArgs = args;
  g_inlineColumn = window().flow.column;
}

TEST_F(Layout, AnInlineCommandRunsAtItsPlaceAndLeavesTheBacklog) {
  script::registerCommand("tick", tickCommand);
  show("あ[tick 5]い");
  EXPECT_EQ(g_inlineArgs, " 5");
  EXPECT_EQ(g_inlineColumn, 2);
  EXPECT_EQ(cell(1), std::make_pair(2, 0));
  EXPECT_EQ(entryUtf8(), "あい\x0C");
}

TEST_F(Layout, WaitMarksAreIgnoredWithoutThePostTextSubroutine) {
  show("あ@い\\う");
  EXPECT_EQ(window().main.laidOut, 3);
  EXPECT_EQ(window().flow.waitKind, kNoWait);
  EXPECT_EQ(entryUtf8(), "あいう\x0C");
}

TEST_F(Layout, AClickWaitInsideALineResumesAfterTheMark) {
  script::registers().postTextHook = 1;
  ASSERT_EQ(show("あ@い"), 1);
  EXPECT_EQ(window().flow.waitKind, kClickWait);
  EXPECT_EQ(window().flow.resumeOffset, 3);
  EXPECT_EQ(window().main.laidOut, 1);
  EXPECT_EQ(currentEntry().rows, 1);
  show("あ@い");  // the interpreter runs the same line again
  EXPECT_EQ(window().main.laidOut, 2);
  EXPECT_EQ(cell(1), std::make_pair(2, 0));
  EXPECT_EQ(window().flow.waitKind, kNoWait);
}

TEST_F(Layout, AWaitAtTheLineEndKeepsTheRow) {
  script::registers().postTextHook = 1;
  show("あい@");
  EXPECT_EQ(window().flow.waitKind, kClickWait);
  EXPECT_EQ(window().flow.resumeOffset, 0);
  EXPECT_EQ(window().flow.row, 0);
  show("う");
  EXPECT_EQ(cell(2), std::make_pair(4, 0));
}

TEST_F(Layout, APageWaitStartsAFreshRowAndCountsThePage) {
  script::registers().postTextHook = 1;
  show("あ\\");
  EXPECT_TRUE(isPageWait(window().flow.waitKind));
  EXPECT_EQ(window().flow.pageWaits, 1);
  EXPECT_EQ(window().flow.column, 0);
}

TEST_F(Layout, TheEndOfLineRuleWaitsForParagraphsAndPages) {
  script::registers().postTextHook = 1;
  window().flow.lineEndWait = 1;
  window().flow.paragraphWait = 4;
  show("あ", 5, 5);
  EXPECT_EQ(window().flow.waitKind, 1);
  show("い", 0, 5);
  EXPECT_EQ(window().flow.waitKind, 1);
  show("う", 0, 0);
  EXPECT_EQ(window().flow.waitKind, 2);
}

TEST_F(Layout, AutoTimeGrowsPerCharacterAndAtEachWait) {
  script::registers().postTextHook = 1;
  window().flow.lineEndWait = 1;
  setting(SettingKey::AutoChar) = 50;
  currentText().textSpeed = 20;
  currentText().autoWait = 500;
  const uint32_t now = platform::nowMs();
  show("あい");
  EXPECT_EQ(script::readingModes().autoDeadline, 2 * 70 + now + 500 + 20);
}

TEST_F(Layout, JumpModeLogsTheTextButPlacesNoGlyph) {
  script::readingModes().jump = 1;
  show("あい");
  EXPECT_EQ(window().main.laidOut, 0);
  EXPECT_EQ(entryUtf8(), "あい\x0C");
}

}  // namespace
}  // namespace velmora::text::test
