// The event wait driven by synthetic SDL events.
#include <SDL.h>

#include <chrono>

#include "render/input/find.h"
#include "input_fixture.h"
#include "platform/events.h"
#include "platform/gamepad.h"
#include "platform/glide.h"
#include "platform/threads.h"

namespace velmora::render::test {
namespace {

using platform::pushKey;
using platform::pushMouseButton;
using platform::pushMouseMove;

TEST_F(InputTest, HoverEntersLeavesAndTheLowerSpriteWinsWhereButtonsOverlap) {
  spriteAt(10, 200, 200);
  spriteAt(11, 260, 200);  // overlaps 10 on x 210..249
  run("setBtn", "0, 11, 0");
  run("setBtn", "1, 10, 0");
  pushMouseMove(230, 200);
  EXPECT_EQ(next(), ev(1, 0, 1));
  EXPECT_EQ(next(), kNone);  // still over the same button
  // From one button straight onto the other: the leave, then the enter.
  pushMouseMove(290, 200);
  EXPECT_EQ(next(), ev(1, 0, 0));
  EXPECT_EQ(next(), ev(0, 0, 1));
  pushMouseMove(600, 500);
  EXPECT_EQ(next(), ev(0, 0, 0));
  EXPECT_EQ(buttons().current, -1);
}

TEST_F(InputTest, AlphaThresholdIgnoresTheTransparentCorner) {
  writePicture("corner.png", 100, 100, [](int x, int y) { return x < 20 && y < 20; });
  spriteAt(5, 200, 200, "corner.png");  // rectangle 150..249
  run("setBtn", "3, 5, 128");
  pushMouseMove(155, 155);
  EXPECT_EQ(next(), kNone);
  pushMouseMove(180, 180);
  EXPECT_EQ(next(), ev(3, 0, 1));
  // Without a threshold the whole rectangle is hot.
  run("setBtn", "4, 5, 0");
  pushMouseMove(600, 500);
  EXPECT_EQ(next(), ev(3, 0, 0));
  pushMouseMove(155, 155);
  EXPECT_EQ(next(), ev(4, 0, 1));
}

TEST_F(InputTest, PressOnOneButtonAndReleaseOnAnotherGivesNoRelease) {
  spriteAt(10, 200, 200);
  spriteAt(11, 400, 200);
  run("setBtn", "0, 10, 0");
  run("setBtn", "1, 11, 0");
  pushMouseMove(200, 200);
  EXPECT_EQ(next(), ev(0, 0, 1));
  pushMouseButton(200, 200, 1, true);
  EXPECT_EQ(next(), ev(0, 1, 2));
  pushMouseMove(400, 200);
  EXPECT_EQ(next(), ev(0, 0, 0));
  EXPECT_EQ(next(), ev(1, 0, 1));
  pushMouseButton(400, 200, 1, false);
  EXPECT_EQ(next(), kNone);
  EXPECT_EQ(buttons().current, 1);
  // A press and release on the same button report both and clear it.
  pushMouseButton(400, 200, 1, true);
  pushMouseButton(400, 200, 1, false);
  EXPECT_EQ(next(), ev(1, 1, 2));
  EXPECT_EQ(next(), ev(1, 1, 3));
  EXPECT_EQ(buttons().current, -1);
}

TEST_F(InputTest, ArrowsMoveInSpriteOrderPassingOverSkippedButtonsAndWrapping) {
  for (int i = 0; i < 4; ++i) spriteAt(20 + i, 100 + 150 * i, 500);
  run("setBtn", "7, 20, 0");
  run("setBtn", "6, 21, 256");  // keyboard-skip flag
  run("setBtn", "5, 22, 0");
  run("setBtn", "4, 23, 0x8000");  // handles Right itself
  pushKey(39, true);
  EXPECT_EQ(next(), ev(7, 39, 0));  // none current: Right starts at the first
  pushKey(39, true);
  EXPECT_EQ(next(), ev(5, 39, 0));  // 6 is passed over
  pushKey(40, true);
  EXPECT_EQ(next(), ev(4, 40, 0));
  pushKey(39, true);
  EXPECT_EQ(next(), ev(4, 39, 2));  // its arrow mask takes Right
  pushKey(40, true);
  EXPECT_EQ(next(), ev(7, 40, 0));  // Down wraps around
  pushKey(37, true);
  EXPECT_EQ(next(), ev(4, 37, 0));  // Left wraps backwards
  run("setBtnNow", "-1");
  pushKey(38, true);
  EXPECT_EQ(next(), ev(4, 38, 0));  // none current: Up starts at the last
}

TEST_F(InputTest, ArrowMoveGlidesTheCursorToTheNewButtonsCentre) {
  setting(K::CursorMove) = 2;
  spriteAt(20, 300, 250);
  run("setBtn", "0, 20, 0");
  pushKey(39, true);
  EXPECT_EQ(next(), ev(0, 39, 0));
  platform::joinCursorGlide();
  int x = 0, y = 0;
  platform::clientCursor(x, y);
  EXPECT_EQ(x, 300);
  EXPECT_EQ(y, 250);
  EXPECT_EQ(next(), kNone);  // the cursor now rests on the current button
  // Without threads the wait for the glide steps it to the same end.
  platform::setSingleThread(true);
  const uint64_t threads = platform::threadsStarted();
  spriteAt(21, 500, 400);
  run("setBtn", "1, 21, 0");
  pushKey(39, true);
  EXPECT_EQ(next(), ev(1, 39, 0));
  platform::joinCursorGlide();
  platform::clientCursor(x, y);
  EXPECT_EQ(x, 500);
  EXPECT_EQ(y, 400);
  EXPECT_EQ(platform::threadsStarted(), threads);
  platform::setSingleThread(false);
}

TEST_F(InputTest, EnterAndKeysReportTheCurrentButton) {
  pushKey(13, true);
  pushKey(13, false);
  EXPECT_EQ(next(), ev(-1, 13, 2));
  EXPECT_EQ(next(), ev(-1, 13, 3));
  run("setBtnNow", "3");
  pushKey(13, true);
  pushKey(13, false);
  EXPECT_EQ(next(), ev(3, 1, 2));
  EXPECT_EQ(next(), ev(3, 1, 3));
  EXPECT_EQ(buttons().current, -1);
  pushKey('A', true);
  pushKey(27, false);
  EXPECT_EQ(next(), ev(-1, 'A', 2));
  EXPECT_EQ(next(), ev(-1, 27, 3));
  pushKey(121, true);  // F10 is a system key but still reported
  EXPECT_EQ(next(), ev(-1, 121, 2));
}

TEST_F(InputTest, WheelReportsPastTheThresholdAndStartsAgain) {
  EXPECT_EQ(wheelThreshold(), 40);
  run("setBtnNow", "2");
  platform::pushWheel(1);
  EXPECT_EQ(next(), ev(2, 0, 5));
  platform::pushWheel(-1);
  EXPECT_EQ(next(), ev(2, 0, 4));
  EXPECT_EQ(buttons().wheel, 0);
}

TEST_F(InputTest, RightReleaseStopsAutoModeAndReportsTheModeWord) {
  script::readingModes().autoMode = 1;
  pushMouseButton(10, 10, 3, true);
  pushMouseButton(10, 10, 3, false);
  EXPECT_EQ(next(), ev(-1, 2, 2));
  EXPECT_EQ(next(), ev(257, 1, 0));  // word 17: auto stopped
  EXPECT_EQ(script::readingModes().autoMode, 0);
  pushMouseButton(10, 10, 3, true);
  pushMouseButton(10, 10, 3, false);
  EXPECT_EQ(next(), ev(-1, 2, 2));
  EXPECT_EQ(next(), ev(-1, 2, 3));  // no mode running: a plain release
}

TEST_F(InputTest, PendingReportsComeInTheFixedOrder) {
  postFindAnswer(kFindNext | kFindDown, "abc");
  script::readingModes().modeWord = 2;
  setCloseRequest(2);
  render::geometry().aspectCounter++;
  render::geometry().fullScreenCounter++;
  setting(K::FullScreen) = 1;
  script::readingModes().skip = 1;
  InputEvent find = next();
  EXPECT_EQ(find, (InputEvent{263, 9, 0, "abc"}));
  EXPECT_EQ(next(), ev(257, 0, 1));
  EXPECT_EQ(next(), ev(261, 261, 1));  // asked while minimised
  EXPECT_EQ(next(), ev(262, 262, 0));
  EXPECT_EQ(next(), ev(-1, 1, 3));  // skip mode, again and again
  EXPECT_EQ(next(), ev(-1, 1, 3));
  script::readingModes().skip = 0;
  EXPECT_EQ(next(), ev(258, 258, 1));
  EXPECT_EQ(next(), kNone);
}

TEST_F(InputTest, AutoDeadlineIsLookedAtOnEverySecondPoll) {
  script::readingModes().autoMode = 1;
  script::readingModes().autoDeadline = platform::nowMs() - 1;
  EXPECT_EQ(pollEvent(WaitMode::Plain), ev(260, 260, 3));
  EXPECT_EQ(pollEvent(WaitMode::Plain), kNone);
  EXPECT_EQ(pollEvent(WaitMode::Plain), ev(260, 260, 3));
  script::readingModes().autoDeadline = platform::nowMs() + 1000;
  EXPECT_EQ(next(), kNone);
}

TEST_F(InputTest, PassThroughTurnsCtrlAndTheMiddleButtonIntoSkip) {
  pushKey(17, true);
  EXPECT_EQ(nextIn(WaitMode::PassThrough), ev(-1, 1, 3));
  pushKey(17, true);
  EXPECT_EQ(nextIn(WaitMode::Plain), ev(-1, 17, 2));
  pushMouseButton(10, 10, 2, true);
  EXPECT_EQ(nextIn(WaitMode::PassThrough), ev(-1, 1, 3));
  EXPECT_EQ(nextIn(WaitMode::PassThrough), ev(-1, 1, 3));  // held
  pushMouseButton(10, 10, 2, false);
  EXPECT_EQ(nextIn(WaitMode::PassThrough), ev(-1, 4, 3));
  EXPECT_EQ(nextIn(WaitMode::PassThrough), kNone);
  pushMouseButton(10, 10, 2, true);
  EXPECT_EQ(nextIn(WaitMode::Plain), ev(-1, 4, 2));
}

TEST_F(InputTest, FastFollowsThePassThroughKeyAndFallsBackToSkip) {
  script::ReadingModes& r = script::readingModes();
  pushKey(17, true);
  EXPECT_EQ(nextIn(WaitMode::PassThrough), ev(-1, 1, 3));
  EXPECT_EQ(r.fast, 1);
  pushKey(17, false);
  EXPECT_EQ(nextIn(WaitMode::PassThrough), ev(-1, 17, 3));
  EXPECT_EQ(r.fast, 0);
  pushMouseButton(10, 10, 2, true);
  EXPECT_EQ(nextIn(WaitMode::PassThrough), ev(-1, 1, 3));
  EXPECT_EQ(nextIn(WaitMode::PassThrough), ev(-1, 1, 3));
  EXPECT_EQ(r.fast, 1);
  pushMouseButton(10, 10, 2, false);
  EXPECT_EQ(nextIn(WaitMode::PassThrough), ev(-1, 4, 3));
  EXPECT_EQ(r.fast, 0);
  // A click, Enter or a wheel step leaves fast on only while skip is.
  for (int kind = 0; kind < 3; ++kind) {
    r.skip = kind == 1;
    r.fast = 1;
    if (kind == 0) pushMouseButton(10, 10, 1, false);
    if (kind == 1) pushKey(13, true);
    if (kind == 2) platform::pushWheel(-1);
    next();
    EXPECT_EQ(r.fast, r.skip) << kind;
  }
}

TEST_F(InputTest, WithVoiceWaitAutoModeWaitsForTheVoice) {
  static bool playing = true;
  script::modeHooks().voicePlaying = [] { return playing; };
  script::readingModes().autoMode = 1;
  script::readingModes().autoDeadline = platform::nowMs() - 1;
  EXPECT_EQ(next(), kNone);  // VoiceWait is on by default
  playing = false;
  EXPECT_EQ(next(), ev(260, 260, 3));
  playing = true;
  setting(K::VoiceWait) = 0;
  EXPECT_EQ(next(), ev(260, 260, 3));
  script::modeHooks().voicePlaying = nullptr;
}

TEST_F(InputTest, DroppedFilesReachOnlyTheDragAndDropWait) {
  platform::pushDrop("/tmp/ignored.txt");
  EXPECT_EQ(next(), kNone);
  platform::pushDrop("/tmp/first.png");
  platform::pushDrop("/tmp/second.png");
  EXPECT_EQ(nextIn(WaitMode::DragDrop), (InputEvent{259, 259, 259, "/tmp/first.png"}));
}

TEST_F(InputTest, EventWaitCommandsReturnTheirList) {
  run("setBtnNow", "4");
  platform::pushWheel(2);
  for (int i = 0; i < 4 && var("b") != 4; ++i) run("eventWait", "%b, %c, %p");
  EXPECT_EQ(var("b"), 4);
  EXPECT_EQ(var("c"), 0);
  EXPECT_EQ(var("p"), 5);
}

TEST_F(InputTest, QuitMessageEndsThePollWithTheQuitRequest) {
  platform::pushQuit();
  EXPECT_EQ(next(), kNone);
  EXPECT_NE(quitRequest.load(), 0);
  quitRequest = 0;
}

TEST_F(InputTest, InactiveWindowWaitsWhenSystemActiveAsks) {
  setting(K::SystemActive) = 1;  // inactive, and pause while so
  SDL_Event focus{};
  focus.type = SDL_WINDOWEVENT;
  focus.window.event = SDL_WINDOWEVENT_FOCUS_GAINED;
  SDL_PushEvent(&focus);
  pushKey('B', true);
  // Handled by the window procedure the display installs; without one the
  // close request ends the pause instead.
  const PumpHooks wired = pumpHooks();
  PumpHooks faked = wired;
  faked.windowProcedure = [](WindowMessage& m) {
    if (m.message == kMsgFocusGained) setting(K::SystemActive) |= 2;
  };
  installPumpHooks(faked);
  EXPECT_EQ(next(), ev(-1, 'B', 2));
  installPumpHooks(wired);
}

// A pad reaches the event wait as the keys and buttons it stands for.
TEST_F(InputTest, PadButtonsArriveAsArrowsEnterRightClickTabAndTheWheel) {
  platform::enableGamepads(true);
  spriteAt(20, 100, 500);
  spriteAt(21, 300, 500);
  run("setBtn", "0, 20, 0");
  run("setBtn", "1, 21, 0");
  ASSERT_TRUE(platform::pressVirtualPadButton("right"));
  EXPECT_EQ(next(), ev(0, 39, 0));  // the first button, as Right would
  EXPECT_EQ(next(), ev(0, 39, 3));
  ASSERT_TRUE(platform::pressVirtualPadButton("a"));
  EXPECT_EQ(next(), ev(0, 1, 2));  // Enter on the current button is its click
  EXPECT_EQ(next(), ev(0, 1, 3));
  ASSERT_TRUE(platform::pressVirtualPadButton("b"));
  EXPECT_EQ(next(), ev(-1, 2, 2));
  EXPECT_EQ(next(), ev(-1, 2, 3));
  ASSERT_TRUE(platform::pressVirtualPadButton("x"));
  EXPECT_EQ(next(), ev(-1, 9, 2));
  EXPECT_EQ(next(), ev(-1, 9, 3));
  ASSERT_TRUE(platform::pressVirtualPadButton("lb"));
  EXPECT_EQ(next(), ev(-1, 0, 5));  // the wheel turned back
  EXPECT_EQ(next(), kNone);
  EXPECT_FALSE(platform::pressVirtualPadButton("guide"));
  platform::enableGamepads(false);
  EXPECT_FALSE(platform::pressVirtualPadButton("a"));
}

// SDL reads no pad on its own: a press ends the engine's wait all the same.
TEST_F(InputTest, APadPressEndsAWaitOfTheEngine) {
  platform::enableGamepads(true);
  ASSERT_TRUE(platform::pressVirtualPadButton("a"));  // attaches the pad
  while (next() != kNone) {
  }
  SDL_Joystick* pad = nullptr;
  for (int i = 0; i < SDL_NumJoysticks() && !pad; ++i)
    if (SDL_JoystickIsVirtual(i)) pad = SDL_JoystickOpen(i);
  ASSERT_NE(pad, nullptr);
  SDL_JoystickSetVirtualButton(pad, SDL_CONTROLLER_BUTTON_A, SDL_PRESSED);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(platform::waitForInput(5000));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  SDL_JoystickSetVirtualButton(pad, SDL_CONTROLLER_BUTTON_A, SDL_RELEASED);
  SDL_JoystickClose(pad);
  platform::enableGamepads(false);
}

// The right stick walks the pointer in steps from a timer: a button on the
// way lights up, and the pointer stays once the stick is let go. The left
// stick presses an arrow, and a swing across releases it before the other.
TEST_F(InputTest, RightStickWalksThePointerAndTheLeftStickSwingsBetweenArrows) {
  platform::enableGamepads(true);
  spriteAt(21, 300, 500);  // 250..349 across
  run("setBtn", "1, 21, 0");
  pushMouseMove(200, 500);
  EXPECT_EQ(next(), kNone);
  ASSERT_TRUE(platform::tiltVirtualPadStick("right", 32767, 0));
  EXPECT_EQ(nextWithin(std::chrono::seconds(20)), ev(1, 0, 1));
  ASSERT_TRUE(platform::tiltVirtualPadStick("right", 0, 0));
  EXPECT_EQ(nextWithin(std::chrono::milliseconds(300)), kNone);
  int x = 0, y = 0;
  platform::clientCursor(x, y);
  EXPECT_TRUE(x >= 250 && x < 300 && y == 500) << x << ", " << y;

  ASSERT_TRUE(platform::tiltVirtualPadStick("left", 0, 32767));
  EXPECT_EQ(next().code, 40);  // Down
  EXPECT_TRUE(platform::keyDown(40));
  ASSERT_TRUE(platform::tiltVirtualPadStick("left", 0, -32768));
  for (InputEvent e = next(); e.code == 40; e = next()) EXPECT_FALSE(platform::keyDown(40));
  EXPECT_TRUE(platform::keyDown(38));  // Up
  ASSERT_TRUE(platform::tiltVirtualPadStick("left", 0, 0));
  next();
  EXPECT_FALSE(platform::keyDown(38));
  EXPECT_FALSE(platform::tiltVirtualPadStick("middle", 0, 0));
  platform::enableGamepads(false);
}

}  // namespace
}  // namespace velmora::render::test
