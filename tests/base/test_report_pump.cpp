#include <SDL.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/pump.h"
#include "base/report.h"
#include "base/state.h"
#include "base/textconv.h"
#include "platform/events.h"
#include "platform/platform.h"
#include "platform/vclock.h"
#include "support/tempdir.h"

namespace velmora {
namespace {

class Reports : public ::testing::Test {
 protected:
  void SetUp() override {
    runOptions().headless = true;
    setSaveRoot("");
    setActiveLanguage(kLanguageOwn);
  }
  void TearDown() override { installReportHooks({}); }
  test::TempDir dir;
};

std::string traceForTest(std::string_view m) { return "[trace] " + std::string(m); }

TEST_F(Reports, ErrorBoxesAppendToTheLogInTheSaveRoot) {
  showErrorBox("first");
  reportError(sj("未対応の命令です"));
  EXPECT_EQ(test::readFile("Information.txt"), "first\n" + utf8_to_sjis("未対応の命令です") + "\n");
  std::filesystem::create_directory("root");
  setSaveRoot("root/");
  showErrorBox("later");
  EXPECT_EQ(test::readFile("root/Information.txt"), "later\n");
}

TEST_F(Reports, ConsoleModePrintsAndLeavesTheLogAlone) {
  testing::internal::CaptureStdout();
  printError("stop");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "stop\n");
  EXPECT_FALSE(std::filesystem::exists("Information.txt"));
}

TEST_F(Reports, TheActiveLanguageBuildsTheTrace) {
  installReportHooks({.ownTrace = traceForTest});
  testing::internal::CaptureStdout();
  printError("x");
  setActiveLanguage(7);  // no script context
  printError("y");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "[trace] x\ny\n");
}

TEST_F(Reports, HeadlessBoxesAnswerAsTheCommandLineSays) {
  runOptions().answer = platform::kAnswerYes;
  testing::internal::CaptureStderr();
  EXPECT_EQ(confirmYesNo("sure?"), 6);
  runOptions().answer = platform::kAnswerCancel;
  EXPECT_EQ(confirmYesNoCancel(sj("保存しますか")), 2);
  EXPECT_EQ(confirmYesNo("cancel is no here"), 7);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("[Confirm] sure? -> yes"), std::string::npos);
  EXPECT_NE(err.find("[Confirm] 保存しますか -> cancel"), std::string::npos);  // UTF-8 on the terminal
  EXPECT_FALSE(std::filesystem::exists("Information.txt"));  // only error boxes are logged
}

TEST_F(Reports, ErrcmdKeepsAtMost63Bytes) {
  setErrcmd(std::string(100, 'a'));
  EXPECT_EQ(std::string(errcmd()), std::string(63, 'a'));
}

// Timed waits, driven by real SDL events on the virtual clock.
class TimedWait : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(platform::init());
    platform::setVirtualClock(true);
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    frames.clear();
    installPumpHooks({.presentFrame = record});
    waitSettings() = WaitSettings{};
    setCloseRequestPending(false);
    quitRequest = 0;
  }
  void TearDown() override {
    installPumpHooks({});
    platform::setVirtualClock(false);
    platform::shutdown();
    quitRequest = 0;
  }
  static void record(int, uint32_t elapsed, uint32_t, int) {
    frames.push_back(elapsed);
    platform::advanceVirtualClock(16);
  }
  static void push(SDL_Event e) { SDL_PushEvent(&e); }
  static SDL_Event key(SDL_Keycode k) {
    SDL_Event e{};
    e.type = SDL_KEYDOWN;
    e.key.keysym.sym = k;
    return e;
  }
  static SDL_Event wheel(int y) {
    SDL_Event e{};
    e.type = SDL_MOUSEWHEEL;
    e.wheel.y = y;
    return e;
  }
  static inline std::vector<uint32_t> frames;
};

TEST_F(TimedWait, RunsItsFramesUntilTheDurationPasses) {
  timedFrameWait(0, 100, 0);
  ASSERT_EQ(frames.size(), 7u);  // 0, 16, ... 96
  EXPECT_EQ(frames.back(), 96u);
}

TEST_F(TimedWait, EnterEndsItAndIsNotSeenAgain) {
  push(key(SDLK_RETURN));
  timedFrameWait(0, 1000, 0);
  EXPECT_TRUE(frames.empty());
  EXPECT_EQ(messageRecord().message, kMsgNone);
  waitSettings().effectCancel = false;
  push(key(SDLK_RETURN));
  timedFrameWait(0, 50, 0);
  EXPECT_EQ(frames.size(), 4u);
}

TEST_F(TimedWait, CloseRequestAndQuitEndIt) {
  SDL_Event close{};
  close.type = SDL_WINDOWEVENT;
  close.window.event = SDL_WINDOWEVENT_CLOSE;
  push(close);
  timedFrameWait(0, 1000, 0);
  EXPECT_TRUE(closeRequestPending());
  EXPECT_EQ(quitRequest.load(), 0);  // a close is a request, not a quit
  setCloseRequestPending(false);      // the script took it
  SDL_Event quit{};
  quit.type = SDL_QUIT;
  push(quit);
  timedFrameWait(0, 1000, 0);
  EXPECT_EQ(quitRequest.load(), 1);
}

TEST_F(TimedWait, WheelDownPastTheThresholdStopsWithoutClearing) {
  waitSettings().wheelThreshold = 240;
  push(wheel(-1));  // one notch: -120, the wait goes on
  timedFrameWait(0, 64, 0);
  EXPECT_EQ(frames.size(), 4u);
  frames.clear();
  push(wheel(-1));
  push(wheel(-1));
  timedFrameWait(0, 1000, 0);
  EXPECT_EQ(frames.size(), 1u);
  EXPECT_EQ(messageRecord().message, kMsgWheel);
  frames.clear();
  push(wheel(2));  // up resets the sum and the wait goes on
  push(wheel(-1));
  timedFrameWait(0, 48, 0);
  EXPECT_EQ(frames.size(), 3u);
}

TEST(KeyMap, ScriptsSeeWindowsVirtualKeys) {
  EXPECT_EQ(platform::virtualKeyOf(SDLK_RETURN), 13);
  EXPECT_EQ(platform::virtualKeyOf(SDLK_ESCAPE), 27);
  EXPECT_EQ(platform::virtualKeyOf(SDLK_SPACE), 32);
  EXPECT_EQ(platform::virtualKeyOf(SDLK_LEFT), 37);
  EXPECT_EQ(platform::virtualKeyOf(SDLK_DOWN), 40);
  EXPECT_EQ(platform::virtualKeyOf(SDLK_F1), 112);
  EXPECT_EQ(platform::virtualKeyOf(SDLK_F12), 123);
  EXPECT_EQ(platform::virtualKeyOf(SDLK_a), 'A');
  EXPECT_EQ(platform::virtualKeyOf(SDLK_9), '9');
  EXPECT_EQ(platform::virtualKeyOf(SDLK_LCTRL), 17);
}

}  // namespace
}  // namespace velmora
