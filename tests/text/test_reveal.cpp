// Revealing a laid-out page at the typing speed on the virtual clock.
#include <gtest/gtest.h>

#include "text_fixture.h"

namespace velmora::text::test {
namespace {

using Reveal = MessageTest;

void advance(uint32_t ms) { platform::advanceVirtualClock(ms); }

TEST_F(Reveal, OneMoreCharacterEveryCharacterTime) {
  setting(SettingKey::MessageFade) = 0;
  currentText().textSpeed = 20;
  show("あいうえ");
  formatMessDraw();
  EXPECT_EQ(setMessDraw(), 1);
  EXPECT_EQ(window().main.visible, 0);
  advance(20);
  setMessDraw();
  EXPECT_EQ(window().main.visible, 1);
  advance(45);
  setMessDraw();
  EXPECT_EQ(window().main.visible, 3);
  advance(20);
  EXPECT_EQ(setMessDraw(), 1);
  EXPECT_EQ(setMessDraw(), 0);
}

TEST_F(Reveal, APauseAfterACommaHoldsForPointWaitCharacterTimes) {
  setting(SettingKey::MessageFade) = 0;
  setting(SettingKey::PointWait) = 2;
  currentText().textSpeed = 20;
  show("あ、いう");
  EXPECT_EQ(window().main.pauses, (std::vector<int>{2, 2}));
  formatMessDraw();
  std::vector<int> shown;
  for (int t = 0; t < 8; ++t) {
    advance(20);
    setMessDraw();
    shown.push_back(window().main.visible);
  }
  // After the comma the reveal stands still for two character times.
  EXPECT_EQ(shown, (std::vector<int>{1, 2, 2, 2, 3, 4, 4, 4}));
}

TEST_F(Reveal, FadingCharactersBecomeOpaqueAfter256Milliseconds) {
  setting(SettingKey::MessageFade) = 1;
  currentText().textSpeed = 10;
  show("あい");
  formatMessDraw();
  EXPECT_EQ(window().main.slots()[0].colour, 0x00FFFFFFu);
  advance(10);
  setMessDraw();
  advance(100);
  setMessDraw();
  EXPECT_EQ(window().main.slots()[0].colour >> 24, 100u);
  advance(200);
  setMessDraw();
  EXPECT_EQ(window().main.slots()[0].colour, 0xFFFFFFFFu);
  EXPECT_EQ(window().main.firstFading, 1);
}

TEST_F(Reveal, SpeedZeroAndSkipFinishAtOnce) {
  currentText().textSpeed = 0;
  show("あい");
  formatMessDraw();
  EXPECT_EQ(setMessDraw(), 0);
  EXPECT_EQ(window().main.visible, 2);
  currentText().textSpeed = 20;
  show("う");
  formatMessDraw();
  script::readingModes().skip = 1;
  EXPECT_EQ(setMessDraw(), 0);
}

TEST_F(Reveal, EndOfRevealKeepsTheTextAfterAClickWaitOnly) {
  script::registers().postTextHook = 1;
  show("あ@");
  endMessDraw();
  EXPECT_EQ(window().main.startCount, 1);
  show("い\\");
  endMessDraw();
  EXPECT_EQ(window().main.startCount, 0);
  EXPECT_EQ(window().main.visible, 2);
}

TEST_F(Reveal, RubyShowsWithItsBaseCharacters) {
  setting(SettingKey::MessageFade) = 0;
  currentText().textSpeed = 20;
  show("{世界/せかい}");
  formatMessDraw();
  advance(20);
  setMessDraw();
  EXPECT_EQ(window().ruby.visible, 2);
  advance(20);
  setMessDraw();
  EXPECT_EQ(window().ruby.visible, 3);
}

}  // namespace
}  // namespace velmora::text::test
