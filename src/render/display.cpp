#include "render/display.h"
#include "render/hooks.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "base/pump.h"
#include "base/report.h"
#include "base/settings.h"
#include "base/state.h"
#include "base/textconv.h"
#include "image/image.h"
#include "platform/platform.h"
#include "platform/threads.h"
#include "platform/window.h"
#include "render/geometry.h"
#include "render/instance.h"
#include "render/messages.h"
#include "render/render.h"
#include "render/window/menu.h"
#include "render/window/menu_bar.h"
#include "render/window/window_events.h"
#include "sprite/picture.h"
#include "sprite/sprite.h"
#include "render/display_settings.h"
#include "base/setting_words.h"
#include "sprite/sprite_settings.h"

namespace velmora::render {
namespace {

// The separate settings tool takes this key while it runs.
constexpr const char* kSettingToolKey = "Engine Setting";

struct DisplayState {
  std::string title = kDefaultTitle;
  bool windowCreated = false;  // from then on the window's messages are handled here
  bool started = false;
  bool modeChanging = false;  // window messages from a mode change leave the geometry alone
  int appliedFullScreen = -1;
  int appliedAspect = -1;
};
DisplayState displayState;

void appendLog(const std::string& text) {
  std::FILE* f = std::fopen(logFilePath().c_str(), "ab");
  if (!f) return;
  std::fwrite(text.data(), 1, text.size(), f);
  std::fclose(f);
}

std::string format(const char* fmt, int a, int b, int c, int d) {
  char buf[160];
  std::snprintf(buf, sizeof buf, fmt, a, b, c, d);
  return buf;
}

std::string settingsLines() {
  return format("FullScreen%d FullMode%d WindowWidth%d VSyncWait%d\n", fullScreenValue(), fullModeIndex(),
                windowWidth(), static_cast<int>(vsyncWait())) +
         format("Resolution%d ScreenAspect%d CacheMaxSize%d LookaHead%d\n", resolution(),
                screenAspectValue(), sprite::cacheMaxBytes() >> 20, sprite::lookaheadValue()) +
         format("Interpolation%d MaxTextureSize%d ColorMode%d ColorBlend%d\n", scalingFilterIndex(),
                maxTextureSize(), colourDepthValue(), colourBlendValue());
}

void publishScreenFacts() {
  const Geometry& g = geometry();
  sprite::ScreenFacts facts;
  facts.width = g.screenWidth;
  facts.height = g.screenHeight;
  facts.displayRate = g.displayRate;
  facts.pictureRatio = g.pictureRatio;
  sprite::setScreenFacts(facts);
}

void readFrameSizes() {
  Geometry& g = geometry();
  int l = 0, t = 0, r = 0, b = 0;
  platform::windowBorders(l, t, r, b);
  g.frameX = (l + r) / 2;
  g.frameY = b;
  g.captionHeight = t > b ? t - b : 0;
  // An attached bar takes a strip of the client area above the picture.
  g.menuHeight = kMenuBarHeight;
  g.menuAttached = !platform::kWindowIsCanvas && menuOffered() && menuPinned();
  recomputeFrame(g);
}

void outerPosition(int& x, int& y) {
  const Geometry& g = geometry();
  const int outerW = windowWidth() + g.extraW, outerH = windowHeight() + g.extraH;
  const bool centre = startPosition() == StartPosition::Centred;
  if (centre) {
    x = g.monitorLeft + ((g.monitorWidth - outerW) >> 1);
    y = g.monitorTop + ((g.monitorHeight - outerH) >> 1);
  } else if (platform::windowMaximised()) {
    x = g.monitorLeft + ((g.monitorWidth - outerW) >> 1);
    y = g.captionHeight - g.captionTop;
  } else {
    x = clientLeft();
    y = clientTop();
  }
}

void applyFullScreenMode(bool keep) {
  Geometry& g = geometry();
  if (fullMode() != FullMode::Full1) {
    platform::leaveExclusiveMode();
    refreshMonitor();
    g.kind0Width = kKind0Width, g.kind0Height = kKind0Height;
  } else if (!platform::inExclusiveMode()) {
    // Without an 800 x 600 mode the picture fills a borderless window over
    // the monitor, and the kind-0 mapping uses that window's size.
    refreshMonitor();
    if (platform::enterExclusiveMode(kKind0Width, kKind0Height)) g.kind0Width = kKind0Width, g.kind0Height = kKind0Height;
    else g.kind0Width = g.monitorWidth, g.kind0Height = g.monitorHeight;
  }
  platform::setBorderless(true);
  platform::setWindowSizing(false);
  if (!platform::inExclusiveMode()) platform::placeWindow(g.monitorLeft, g.monitorTop, g.monitorWidth, g.monitorHeight);
  platform::setTopmost(alwaysOnTop());
  platform::showMainWindow();
  screenChange(keep);
}

void applyWindowMode(bool keep, bool centre, bool reposition) {
  Geometry& g = geometry();
  if (platform::inExclusiveMode()) {
    displayState.modeChanging = true;
    platform::leaveExclusiveMode();
    displayState.modeChanging = false;
  }
  int x = 0, y = 0;
  if (!centre || startPosition() == StartPosition::Kept) {
    if (platform::windowMaximised()) x = g.monitorLeft + ((g.monitorWidth - windowWidth() - g.extraW) >> 1), y = g.captionHeight - g.captionTop;
    else x = clientLeft(), y = clientTop();
  } else {
    outerPosition(x, y);
  }
  (void)reposition;
  platform::setBorderless(false);
  platform::setWindowSizing(!windowSizeFixed());
  const int strip = menuStrip(g);
  // A canvas is never held to the browser's idea of a monitor.
  if (!g.presets.empty() && !platform::kWindowIsCanvas)
    platform::setSizeLimits(g.presets[0].width, g.presets[0].height + strip, g.largestWidth, g.largestHeight + strip);
  platform::placeWindow(x + g.frameX, y + g.captionTop, windowWidth(), windowHeight() + strip);
  platform::setTopmost(alwaysOnTop());
  platform::showMainWindow();
  screenChange(keep);
}

// A maximised window whose size was corrected to the aspect: centred when it
// was too wide, pushed left by the frame when too tall. Returns the outer x.
int placeMaximised(Geometry& g, bool restoredBefore, bool tooWide, int w) {
  if (restoredBefore) refreshMonitor();
  const int x = tooWide ? g.monitorLeft + (g.monitorWidth - w) / 2 : g.monitorLeft - g.frameX;
  setClientLeft(x);
  return x;
}

void windowSized(const WindowMessage& msg) {
  Geometry& g = geometry();
  if (platform::windowMinimised() || msg.code == kSizeMinimised) {
    g.sizeState = kSizeMinimised;
    return;
  }
  const int strip = menuStrip(g);
  int w = lowWordX(msg.packed), h = std::max(highWordY(msg.packed) - strip, 1);
  int cx = 0, cy = 0;
  platform::clientPosition(cx, cy);
  setClientLeft(cx - g.frameX);
  setClientTop(cy - g.captionTop);
  const bool maximised = msg.code == kSizeMaximised || platform::windowMaximised();
  const bool restoredBefore = g.sizeState == kSizeRestored;
  g.sizeState = maximised ? kSizeMaximised : (g.sizeState == kSizeMaximised ? kSizeRestored : kSizeNormal);
  const int askedW = w;
  if (!correctClientSize(g, w, h)) return;
  if (maximised) cx = placeMaximised(g, restoredBefore, w < askedW, w) + g.frameX;
  setWindowWidth(w);
  setWindowHeight(h);
  int aw = 0, ah = 0, ax = 0, ay = 0;
  platform::clientSize(aw, ah);
  platform::clientPosition(ax, ay);
  if (aw != w || ah != h + strip || ax != cx) platform::placeWindow(cx, cy, w, h + strip);
  updatePresentGeometry();
}

}  // namespace

void mainWindowProcedure(WindowMessage& msg) {
  if (!displayState.windowCreated) return defaultWindowProcedure(msg);
  switch (msg.message) {
    case kMsgSize:
      if (displayState.started && !fullScreen() && !displayState.modeChanging) windowSized(msg);
      break;
    default: handleWindowEvent(msg); break;
  }
}

bool createMainWindow(std::string_view title) {
  displayState.title.assign(title);
  const std::string key = gameToUtf8(displayState.title);
  if (!claimInstance(key)) return false;
  if (platform::instanceLockHeldElsewhere(kSettingToolKey)) {
    showErrorBox(messageText(Message::SetupToolRunning));
    return false;
  }
  std::string error;
  if (!platform::createMainWindow(key, !windowSizeFixed(), error)) {
    showErrorBox("CreateWindow Main");
    return false;
  }
  displayState.windowCreated = true;
  sprite::applyCacheAutoSize();
  return true;
}

bool mainWindowExists() { return platform::mainWindowExists(); }

void setWindowText(std::string_view title) {
  if (!platform::mainWindowExists()) {
    if (!createMainWindow(title)) quitRequest = 1;
    return;
  }
  std::string next(title);
  if (!claimInstance(gameToUtf8(next))) {
    quitRequest = 1;
    return;
  }
  displayState.title = next;
  platform::setMainWindowTitle(gameToUtf8(displayState.title));
}

void recomputeFrameSizes() { readFrameSizes(); }

void refreshMonitor() {
  Geometry& g = geometry();
  platform::MonitorInfo m;
  if (!platform::mainWindowMonitor(m)) {
    showErrorBox("GetMonitorInfo");
    if (g.monitorWidth == 0) m.width = 1280, m.height = 720, m.refreshHz = 60;
    else m.left = g.monitorLeft, m.top = g.monitorTop, m.width = g.monitorWidth, m.height = g.monitorHeight;
  }
  monitorGeometry(g, m.left, m.top, m.width, m.height, m.refreshHz);
}


bool displayStart(int designWidth, int designHeight, int pictureWidth, int flags) {
  if (startupDialogWanted() && !(flags & 2) && renderHooks().startupDialog)
    renderHooks().startupDialog(designWidth, designHeight, pictureWidth, (flags & 1) != 0);
  writeSystemReport();
  // One image worker where the engine runs its workers on the main thread.
  image::CpuSettings cpu = cpuRoutineSettings();
  cpu.thread = cpu.thread && !platform::singleThread();
  image::selectRoutines(cpu);
  // In the browser the canvas is the game's screen at the size it was made for.
  if (resolution() == 0 || platform::kWindowIsCanvas) setResolution(designWidth);
  if (quitRequest) {
    appendLog(settingsLines());
    return false;
  }
  Geometry& g = geometry();
  setDisplayRates(g, designWidth, designHeight, pictureWidth);
  readFrameSizes();
  platform::MonitorInfo m;
  if (platform::mainWindowMonitor(m)) g.monitorLeft = m.left, g.monitorTop = m.top, g.monitorWidth = m.width, g.monitorHeight = m.height, g.monitorRefresh = m.refreshHz;
  else showErrorBox("GetMonitorInfo");
  screenSizeSetup(g, designWidth, designHeight, true);
  publishScreenFacts();
  std::string lines;
  for (int k = 1; k < kFullModeCount; ++k) {
    const Rect s = g.source[k], d = g.destination[k];
    char buf[128];
    std::snprintf(buf, sizeof buf, "Src%d %4d, %4d, %4d, %4d\tDest%d %4d, %4d, %4d, %4d\n", k, s.left, s.top, s.right,
                  s.bottom, k, d.left, d.top, d.right, d.bottom);
    lines += buf;
  }
  appendLog(lines + displayState.title + "\n");
  displayState.appliedAspect = screenAspectValue();
  return true;
}

bool startScreen(int designWidth, int designHeight, int pictureWidth, int flags) {
  if (resolution() == 0) setResolution(designWidth);
  if (!platform::mainWindowExists() && !createMainWindow(displayState.title)) return false;
  if (!displayStart(designWidth, designHeight, pictureWidth, flags)) return false;
  if (!createDevice()) return false;
  if (!createRenderResources()) return false;
  displayState.started = true;
  displayState.appliedFullScreen = fullScreen();
  applyDisplayMode(true, true, false);
  // Without a window system nothing ever gives the window focus; a headless
  // run is the player's only window.
  // A page is shown in front when it starts, and the browser sends no focus
  // event for that; a later blur still pauses the game.
  if (runOptions().headless || platform::kWindowIsCanvas) setWindowActive(true);
  applyCursorFile();
  rebuildMenu();
  return quitRequest == 0;
}

void applyDisplayMode(bool keep, bool centre, bool reposition) {
  if (platform::mainWindowExists()) {
    if (fullScreen()) applyFullScreenMode(keep);
    else applyWindowMode(keep, centre, reposition);
    if (fullScreen() && wallPaperMode()) rebuildWallPaper();
  }
  // An attached menu shows the marks of the mode now in force; the pop-up
  // bar is rebuilt whenever it drops in.
  if (!fullScreen() && geometry().menuAttached) rebuildMenu();
}

void switchFullScreen(bool on, bool raiseCounter) {
  const int value = on ? 1 : 0;
  if (displayState.appliedFullScreen == value) return;
  setFullScreen(on);
  displayState.appliedFullScreen = value;
  if (raiseCounter) ++geometry().fullScreenCounter;
  if (displayState.started) applyDisplayMode(fullMode() == FullMode::Full2, true, false);
}

void switchAspect(int value) {
  value = value != 0 ? 1 : 0;
  if (displayState.appliedAspect == value) return;
  displayState.appliedAspect = value;
  Geometry& g = geometry();
  if (!displayState.started) {
    setScreenAspect(value);
    return;
  }
  changeAspect(g, value, platform::windowMaximised());
  if (renderHooks().shiftTextForAspect) renderHooks().shiftTextForAspect();
  publishScreenFacts();
  applyDisplayMode(scalingFilter() == ScalingFilter::Driver, false, false);
  for (int n = 0; n < sprite::kSpriteCount; ++n)
    for (int s = 0; s < 2; ++s)
      if (sprite::Slot* slot = sprite::slot(n, s)) slot->dirty = true;
}

int aspectTextOffset(bool textShiftFlag) {
  return screenAspect() == Aspect::FourThree && textShiftFlag ? geometry().aspectOffset : 0;
}


void zoomPanPoll() {
  if (!fullScreen() || fullMode() != FullMode::Zoom) return;
  int cx = 0, cy = 0;
  platform::cursorPosition(cx, cy);
  // The present follows the pan in every filter mode: without a filter the
  // rectangles handed to the present are copies of the panned one.
  if (zoomPanStep(geometry(), cx, cy)) updatePresentGeometry();
}

void logicalToDesktop(int& x, int& y) {
  int wx = 0, wy = 0;
  logicalToWindow(geometry(), x, y, wx, wy);
  int cx = 0, cy = 0;
  platform::clientPosition(cx, cy);
  x = wx + cx;
  y = wy + cy;
}

void windowToLogicalPoint(int x, int y, int& lx, int& ly) { windowToLogical(geometry(), x, y, lx, ly); }

void releaseDisplay() {
  platform::destroyMainWindow();
  platform::releaseInstanceLock();
  displayState.started = false;
  displayState.appliedFullScreen = -1;
  displayState.appliedAspect = -1;
}

}  // namespace velmora::render
