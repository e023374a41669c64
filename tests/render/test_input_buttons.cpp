// Button records, the key table and the system services.
#include "input_fixture.h"
#include "platform/events.h"
#include "render/render.h"

#include <SDL.h>

namespace velmora::render::test {
namespace {

TEST_F(InputTest, HotRectangleFollowsAnchorsAndTheParentGroup) {
  spriteAt(30, 200, 100);
  run("sp_cxy", "30, 0, 0");  // anchor top-left
  sprite::commitAll();
  run("setBtn", "1, 30, 0");
  const ButtonRecord& r = buttons().records[1];
  EXPECT_EQ(r.hot, (render::Rect{200, 100, 300, 200}));
  EXPECT_EQ(r.centreX, 250);
  EXPECT_EQ(r.centreY, 150);
  spriteAt(31, 400, 300);  // centred: 350..449
  run("setBtn", "2, 31, 0");
  EXPECT_EQ(buttons().records[2].hot, (render::Rect{350, 250, 450, 350}));
}

TEST_F(InputTest, SetBtnNeedsAPictureAndReplacesTheSpritesEntry) {
  run("setBtn", "1, 40, 0");
  EXPECT_TRUE(buttons().map.empty());
  std::string log = velmora::test::readFile("Information.txt");
  EXPECT_NE(log.find(sj("40 画像が読み込まれていません")), std::string::npos);
  spriteAt(40, 100, 100);
  run("setBtn", "1, 40, 0x3205");
  run("setBtn", "2, 40, 0");
  ASSERT_EQ(buttons().map.size(), 1u);
  EXPECT_EQ(buttons().map.at(40), 2);
  const ButtonRecord& r = buttons().records[1];
  EXPECT_EQ(r.alphaThreshold, 5);
  EXPECT_EQ(r.keySkip, 2);
  EXPECT_EQ(r.arrowMask, 3);
}

TEST_F(InputTest, GetBtnToolEraseAndClear) {
  spriteAt(50, 100, 100);
  run("setBtn", "9, 50, 0");
  run("getBtn", "9, %b");
  EXPECT_EQ(var("b"), 50);
  run("setBtnTool", "9, \"tip\"");
  EXPECT_EQ(buttons().records[9].tooltip, "tip");
  run("setBtnTool", "8, \"nobody\"");
  EXPECT_NE(velmora::test::readFile("Information.txt").find(sj("ボタン番号が不正です")), std::string::npos);
  run("eraseBtn", "50");
  EXPECT_TRUE(buttons().map.empty());
  run("sp_d", "50");
  sprite::commitAll();
  run("getBtn", "9, %b");
  EXPECT_EQ(var("b"), -1);
  spriteAt(51, 100, 100);
  run("setBtn", "1, 51, 0");
  run("clearBtn", "");
  EXPECT_TRUE(buttons().map.empty());
  run("setBtnNow", "7");
  run("getBtnNow", "%b");
  EXPECT_EQ(var("b"), 7);
}

TEST_F(InputTest, TooltipShowsWithTheHoveredButtonAndHidesOnLeave) {
  spriteAt(60, 200, 200);
  run("setBtn", "1, 60, 0");
  run("setBtnTool", "1, \"hello\"");
  platform::pushMouseMove(200, 200);
  EXPECT_EQ(next(), ev(1, 0, 1));
  EXPECT_TRUE(tooltip().shown);
  EXPECT_EQ(tooltip().text, "hello");
  EXPECT_EQ(tooltip().rect, (render::Rect{150, 150, 250, 250}));
  platform::pushMouseMove(700, 200);
  EXPECT_EQ(next(), ev(1, 0, 0));
  EXPECT_FALSE(tooltip().shown);
}

TEST_F(InputTest, AHiddenMessageWindowTakesItsButtonsOutOfReach) {
  spriteAt(60, 200, 200);  // a button of the message window
  spriteAt(61, 500, 200);  // a button of the scene
  sprite::frontSlot(60)->loadFlags |= sprite::kLoadWindowLayer;
  run("setBtn", "1, 60, 0");
  run("setBtn", "2, 61, 128");  // the alpha test must not be what rejects it
  render::setWindowVisibleFlags(2);  // text shown, window sprites hidden
  EXPECT_EQ(buttonAt(200, 200), -1);
  EXPECT_EQ(buttonAt(500, 200), 2);
  platform::pushMouseMove(200, 200);
  EXPECT_EQ(next(), kNone);
  render::setWindowVisibleFlags(3);
  EXPECT_EQ(buttonAt(200, 200), 1);
  EXPECT_EQ(next(), ev(1, 0, 1));
}

TEST(KeyTable, SdlKeysMapToWindowsVirtualKeys) {
  using platform::virtualKeyOf;
  EXPECT_EQ(virtualKeyOf(SDLK_a), 'A');
  EXPECT_EQ(virtualKeyOf(SDLK_z), 'Z');
  EXPECT_EQ(virtualKeyOf(SDLK_0), '0');
  EXPECT_EQ(virtualKeyOf(SDLK_9), '9');
  EXPECT_EQ(virtualKeyOf(SDLK_F1), 112);
  EXPECT_EQ(virtualKeyOf(SDLK_F12), 123);
  EXPECT_EQ(virtualKeyOf(SDLK_LEFT), 37);
  EXPECT_EQ(virtualKeyOf(SDLK_DOWN), 40);
  EXPECT_EQ(virtualKeyOf(SDLK_RETURN), 13);
  EXPECT_EQ(virtualKeyOf(SDLK_KP_ENTER), 13);
  EXPECT_EQ(virtualKeyOf(SDLK_ESCAPE), 27);
  EXPECT_EQ(virtualKeyOf(SDLK_SPACE), 32);
  EXPECT_EQ(virtualKeyOf(SDLK_TAB), 9);
  EXPECT_EQ(virtualKeyOf(SDLK_RSHIFT), 16);
  EXPECT_EQ(virtualKeyOf(SDLK_LCTRL), 17);
  EXPECT_EQ(virtualKeyOf(SDLK_RALT), 18);
  EXPECT_EQ(virtualKeyOf(SDLK_PAGEUP), 33);
  EXPECT_EQ(virtualKeyOf(SDLK_END), 35);
  EXPECT_EQ(virtualKeyOf(SDLK_HOME), 36);
  EXPECT_EQ(virtualKeyOf(SDLK_INSERT), 45);
  EXPECT_EQ(virtualKeyOf(SDLK_DELETE), 46);
  EXPECT_EQ(virtualKeyOf(SDLK_BACKSPACE), 8);
  EXPECT_EQ(virtualKeyOf(SDLK_KP_0), 96);
  EXPECT_EQ(virtualKeyOf(SDLK_KP_9), 105);
  EXPECT_EQ(virtualKeyOf(SDLK_KP_DIVIDE), 111);
  EXPECT_EQ(virtualKeyOf(SDLK_KP_PERIOD), 110);
  EXPECT_EQ(virtualKeyOf(SDLK_MODE), 0);
}

TEST_F(InputTest, CursorPositionIsConvertedThroughTheGeometry) {
  setting(K::WindowWidth) = 1600;  // the window shows the screen at twice its size
  setting(K::WindowHeight) = 1200;
  platform::pushMouseMove(1000, 300);
  next();
  run("int", "x, y");
  run("getCursorPos", "%x, %y");
  EXPECT_EQ(var("x"), 500);
  EXPECT_EQ(var("y"), 150);
}

TEST_F(InputTest, SetCursorPosNeedsCursorMoveAndGlides) {
  run("setCursorPos", "300, 200, 0");
  int x = 0, y = 0;
  platform::clientCursor(x, y);
  EXPECT_EQ(x, 0);  // CursorMove 0: nothing moves
  setting(K::CursorMove) = 1;
  run("setCursorPos", "300, 200, 8");
  platform::joinCursorGlide();
  platform::clientCursor(x, y);
  EXPECT_EQ(x, 300);
  EXPECT_EQ(y, 200);
  EXPECT_EQ(platform::glideDuration(8, 100, 0), 102u);
}

TEST_F(InputTest, PushKeyFollowsTheKeyState) {
  run("getPushKey", "65, %b");
  EXPECT_EQ(var("b"), 0);
  platform::pushKey('A', true);
  next();
  run("getPushKey", "65, %b");
  EXPECT_EQ(var("b"), 0x80);
  platform::pushKey('A', false);
  next();
  run("getPushKey", "65, %b");
  EXPECT_EQ(var("b"), 0);
}

TEST_F(InputTest, ClockCommands) {
  setStartClock(platform::nowMs());
  platform::advanceVirtualClock(250);
  run("getTimer", "%b");
  EXPECT_EQ(var("b"), 250);
  run("getWeek", "2024, 1, 1, %b");
  EXPECT_EQ(var("b"), 1);  // a Monday
  run("getWeek", "2000, 2, 29, %b");
  EXPECT_EQ(var("b"), 2);
  const uint32_t before = platform::nowMs();
  run("sleep", "40");
  EXPECT_EQ(platform::nowMs() - before, 40u);
}

TEST_F(InputTest, SleepEndsOnTheQuitMessage) {
  platform::pushQuit();
  const uint32_t before = platform::nowMs();
  run("sleep", "500");
  EXPECT_NE(quitRequest.load(), 0);
  EXPECT_EQ(platform::nowMs(), before);
  quitRequest = 0;
}

}  // namespace
}  // namespace velmora::render::test
