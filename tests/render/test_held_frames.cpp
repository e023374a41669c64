// Held frames and pacing: a plain frame that would show what the window
// shows already is neither composed nor presented, every change is, and the
// waits sleep instead of spinning.
#include <SDL.h>

#include <chrono>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/platform.h"
#include "platform/vclock.h"
#include "render/input/buttons.h"
#include "render/window/menu.h"
#include "scene.h"
#include "sprite/motion.h"

namespace velmora::render::test {
namespace {

using K = SettingKey;

constexpr int kW = 64, kH = 48;
constexpr uint32_t kWhite = 0xFFFFFFFFu, kBlue = 0xFF0000FFu;

class HeldFrames : public Scene {
 protected:
  void start() {
    screen(kW, kH);
    savePicture("bg.png", makePicture(kW, kH, [](int, int) { return 0xFF000000u; }));
    run("sp", "900,\"bg.png\",0,1");
    savePicture("w.png", makePicture(8, 8, [](int, int) { return kWhite; }));
    savePicture("b.png", makePicture(8, 8, [](int, int) { return kBlue; }));
    run("sp", "5,\"w.png\",0,1");
    run("sp_xy", "5,20,20");
  }
  void TearDown() override {
    sprite::clearMotion();
    platform::setVirtualClock(false);
    Scene::TearDown();
  }
  uint64_t drawn() {
    run("draw", "");
    return presentedFrames();
  }
  uint32_t pixel(int x, int y) {
    image::Image* img = getRenderImage(kW, kH);
    const uint32_t p = img->pixels[y * kW + x] | 0xFF000000u;
    image::freeImage(img);
    return p;
  }
};

TEST_F(HeldFrames, AnUnchangedFrameIsHeldAndEveryChangeIsPresented) {
  start();
  uint64_t shown = drawn();
  EXPECT_EQ(drawn(), shown) << "nothing changed";
  const std::pair<const char*, const char*> changes[] = {
      {"sp_xy", "5,30,20"},         // placement
      {"sp_a", "5,128"},            // alpha
      {"sp_b", "5,2"},              // blend row
      {"sp", "5,\"b.png\",0,1"},    // the same size, other texels
      {"sp_d", "5"},                // gone
  };
  for (const auto& [command, args] : changes) {
    run(command, args);
    EXPECT_EQ(drawn(), ++shown) << command;
    EXPECT_EQ(drawn(), shown) << command << " again";
  }
  run("sp", "5,\"b.png\",0,1");
  run("sp_xy", "5,20,20");
  EXPECT_EQ(drawn(), ++shown);
  EXPECT_EQ(pixel(20, 20), kBlue);
  setWindowVisibleFlags(1);
  EXPECT_EQ(drawn(), ++shown) << "the text layer goes";
  setting(K::Interpolation) = 1;
  updatePresentGeometry();
  EXPECT_EQ(drawn(), ++shown) << "the present changes";
  EXPECT_EQ(drawn(), shown);
}

TEST_F(HeldFrames, AMotionTrackPresentsEveryFrameUntilItEnds) {
  platform::setVirtualClock(true);
  start();
  run("sp_ax", "5,60,1000,0,0x100");  // once
  const uint64_t before = drawn();
  for (int i = 1; i <= 30; ++i) {
    platform::advanceVirtualClock(16);
    EXPECT_EQ(drawn(), before + static_cast<uint64_t>(i)) << "frame " << i;
  }
  platform::advanceVirtualClock(1100);
  const uint64_t ended = drawn();
  EXPECT_EQ(drawn(), ended);
  EXPECT_EQ(pixel(60, 20), kWhite);
}

// A browser page may keep a drawn frame otherwise than drawn: with page
// turns since, the first frame held a second after a drawn one is drawn
// again, once; without them (the desktop) never.
TEST_F(HeldFrames, AFrameHeldASecondAfterPageTurnsIsDrawnAgainOnce) {
  platform::setVirtualClock(true);
  start();
  const uint64_t shown = drawn();
  platform::advanceVirtualClock(1500);
  EXPECT_EQ(drawn(), shown) << "no page turns";
  run("sp_xy", "5,30,20");
  const uint64_t moved = drawn();
  platform::notePageTurn();
  EXPECT_EQ(drawn(), moved) << "within the second";
  platform::advanceVirtualClock(1000);
  EXPECT_EQ(drawn(), moved + 1);
  platform::advanceVirtualClock(2000);
  EXPECT_EQ(drawn(), moved + 1) << "once";
}

// The engine's overlays are known by their recipes: an unchanged one is
// neither painted again nor keeps the frame from being held; a new one is.
int g_paints = 0;
std::string g_recipe = "bar";
void recipeOverlay(int, int) {
  drawOverlayPicture(0, 0, 16, 4, g_recipe, [](image::Image& im) { im.pixels[0] = kWhite, ++g_paints; });
}

TEST_F(HeldFrames, AnOverlayIsPaintedAndPresentedOnlyWhenItsRecipeChanges) {
  start();
  fakeRenderHook(&RenderHooks::drawOverlays, recipeOverlay);
  uint64_t shown = drawn();
  EXPECT_EQ(g_paints, 1);
  EXPECT_EQ(drawn(), shown);
  g_recipe = "bar, hot";
  EXPECT_EQ(drawn(), ++shown);
  EXPECT_EQ(g_paints, 2);
  run("sp_xy", "5,30,20");
  EXPECT_EQ(drawn(), ++shown);
  EXPECT_EQ(g_paints, 2) << "the overlay kept its picture";
  fakeRenderHook(&RenderHooks::drawOverlays, nullptr);
  EXPECT_EQ(drawn(), ++shown);
}

// On the virtual clock a held frame takes the time a presented one took, so
// scripted runs repeat what they did when every frame was shown.
TEST_F(HeldFrames, HeldFramesKeepTheVirtualClocksPace) {
  platform::setVirtualClock(true);
  setting(K::VSyncWait) = 2;
  start();
  const uint64_t shown = drawn();
  const uint32_t t0 = platform::nowMs();
  for (int i = 0; i < 60; ++i) run("draw", "");
  EXPECT_EQ(presentedFrames(), shown);
  EXPECT_EQ(platform::nowMs() - t0, 1000u) << "60 frames at 60 Hz";
}

double cpuSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

TEST_F(HeldFrames, WaitsSleepUntilTheNextFrame) {
  start();
  // Events and counters that earlier tests left would end waits early.
  SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
  for (int i = 0; i < 8 && render::pollEvent(render::WaitMode::Plain).button != render::kNoEvent; ++i) {
  }
  drawn();
  using Clock = std::chrono::steady_clock;
  const auto t0 = Clock::now();
  const double c0 = cpuSeconds();
  for (int i = 0; i < 20; ++i) run("draw", "");
  for (int i = 0; i < 20; ++i) run("draw2", "");
  // Event waits alone, once no frame was asked for in a while.
  platform::sleepMs(60);
  for (int i = 0; i < 20; ++i) EXPECT_EQ(render::pollEvent(render::WaitMode::Plain).button, render::kNoEvent);
  const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
  // 60 periods of 1000 / 60 ms, less the first of each run and some slack.
  EXPECT_GT(wall, 0.85);
  EXPECT_LT(cpuSeconds() - c0, wall * 0.3) << "the waits spin";
}

// Swaps that return at once (no display to wait for) are paced on the clock
// once measured, also when the player chose the hardware wait.
TEST_F(HeldFrames, TheHardwareWaitPacesOnTheClockWhereSwapsDoNotWait) {
  setting(K::VSyncWait) = 1;
  start();
  for (int i = 0; i < 10; ++i) run("sp_xy", "5," + std::to_string(i) + ",20"), run("draw", "");
  const auto t0 = std::chrono::steady_clock::now();
  for (int i = 0; i < 10; ++i) run("sp_xy", "5," + std::to_string(20 + i) + ",20"), run("draw", "");
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  EXPECT_GT(wall, 0.14) << "10 frames at 60 Hz";
  EXPECT_EQ(setting(K::VSyncWait), 1);
}

std::string readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Pacing on the clock is the software wait here: it is kept, without a box.
TEST_F(HeldFrames, TheSoftwareWaitIsKeptWithoutANotice) {
  setting(K::VSyncWait) = 2;
  start();
  EXPECT_EQ(setting(K::VSyncWait), 2);
  EXPECT_EQ(readAll(logFilePath()).find("Software"), std::string::npos);
  rebuildMenu();
  const Submenu& vsync = currentMenu().submenus[5];
  ASSERT_EQ(vsync.items.size(), 3u);
  EXPECT_FALSE(vsync.items[2].greyed);
  EXPECT_TRUE(vsync.items[2].checked);
}

}  // namespace
}  // namespace velmora::render::test
