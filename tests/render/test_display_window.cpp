// The started display as the window system moves it: a maximised window
// corrected to the aspect, and the Zoom picture panned under the cursor.
#include <SDL.h>

#include "base/pump.h"
#include "image/image.h"
#include "platform/threads.h"
#include "platform/input.h"
#include "platform/window.h"
#include "render/internal.h"
#include "scene.h"

namespace velmora::render::test {
namespace {

using K = SettingKey;

class DisplayWindow : public Scene {
 protected:
  // A window event as the window system sends it, through the message pump
  // and the main window procedure.
  static void windowEvent(Uint8 kind) {
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.event = kind;
    e.window.windowID = SDL_GetWindowID(SDL_GL_GetCurrentWindow());
    SDL_PushEvent(&e);
    drainWindowMessages(messageRecord());
  }
  static void resizeTo(int w, int h) {
    SDL_SetWindowSize(SDL_GL_GetCurrentWindow(), w, h);
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
  }
};

TEST_F(DisplayWindow, AMaximisedWindowKeepsTheAspectAndItsPlaceOnTheMonitor) {
  screen(64, 48);
  Geometry& g = geometry();
  const int monitorWidth = g.monitorWidth;
  ASSERT_GT(monitorWidth, 0);
  g.frameX = 8;  // the offscreen driver draws no frame
  // Sizes stay between the first preset (400 x 300) and the monitor. The
  // attached menu bar's strip is client area above the picture.
  const int bar = menuStrip(g);
  ASSERT_GT(bar, 0);

  // Too wide: the width gives way and the window is centred.
  resizeTo(1000, 450 + bar);
  windowEvent(SDL_WINDOWEVENT_MAXIMIZED);
  EXPECT_EQ(setting(K::WindowWidth), 600);
  EXPECT_EQ(setting(K::WindowHeight), 450);
  EXPECT_EQ(setting(K::ClientLeft), g.monitorLeft + (monitorWidth - 600) / 2);
  EXPECT_EQ(g.sizeState, kSizeMaximised);

  // Too tall: the height gives way and the frame goes past the left edge.
  resizeTo(500, 700 + bar);
  windowEvent(SDL_WINDOWEVENT_MAXIMIZED);
  EXPECT_EQ(setting(K::WindowWidth), 500);
  EXPECT_EQ(setting(K::WindowHeight), 375);
  EXPECT_EQ(setting(K::ClientLeft), g.monitorLeft - 8);

  // Maximised again after a restore: the monitor is asked again first.
  g.sizeState = kSizeRestored;
  g.monitorWidth = 100;
  resizeTo(1000, 450 + bar);
  windowEvent(SDL_WINDOWEVENT_MAXIMIZED);
  EXPECT_EQ(g.monitorWidth, monitorWidth);
  EXPECT_EQ(setting(K::ClientLeft), g.monitorLeft + (monitorWidth - 600) / 2);

  // A plain restore to another size keeps the position the window has.
  resizeTo(800, 420 + bar);
  windowEvent(SDL_WINDOWEVENT_RESTORED);
  EXPECT_EQ(setting(K::WindowWidth), 560);
  EXPECT_EQ(setting(K::WindowHeight), 420);
  EXPECT_EQ(g.sizeState, kSizeRestored);
  int cx = 0, cy = 0;
  platform::clientPosition(cx, cy);
  EXPECT_EQ(setting(K::ClientLeft), cx - 8);
}

// Without a filter the present takes the rectangles as they were when the
// present geometry was made; a pan must renew them.
TEST_F(DisplayWindow, ZoomPanningMovesThePresentWithoutAFilter) {
  for (int filter : {0, 2}) {
    setting(K::FullScreen) = 1;
    setting(K::FullMode) = 4;
    setting(K::Interpolation) = filter;
    screen(64, 36);
    const Geometry& g = geometry();
    const Rect before = g.destination[4];
    ASSERT_TRUE(g.overflowX != 0 || g.overflowY != 0) << g.monitorWidth << "x" << g.monitorHeight;
    // The corner of the overflowing side pans the picture towards the cursor.
    platform::setClientCursor(g.overflowX != 0 ? 5 : g.monitorWidth / 2, g.overflowY != 0 ? 5 : g.monitorHeight / 2);
    zoomPanPoll();
    const Rect panned = g.destination[4];
    ASSERT_NE(panned, before) << "filter " << filter;
    const PresentGeometry& p = device().present;
    if (filter == 0) EXPECT_EQ(p.destination, panned);
    else EXPECT_EQ(p.quad, panned);
    // Where the present puts the picture is where a click is mapped from.
    int lx = 0, ly = 0;
    windowToLogicalPoint(panned.left + panned.width() / 2, panned.top + panned.height() / 2, lx, ly);
    EXPECT_NEAR(lx, 32, 1);
    EXPECT_NEAR(ly, 18, 1);
    TearDown();
    SetUp();
  }
}

// Without threads the display chooses one worker: resizes run in one band
// and the look-ahead loads where its result is needed.
TEST_F(DisplayWindow, TheSingleThreadModeChoosesNoImageWorkers) {
  platform::setSingleThread(true);
  screen(64, 48);
  EXPECT_EQ(image::workerThreads(), 1);
  platform::setSingleThread(false);
}

}  // namespace
}  // namespace velmora::render::test
