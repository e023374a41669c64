#include "render/window/window_events.h"

#include "core/modes.h"
#include "core/pump.h"
#include "core/settings.h"
#include "platform/window.h"
#include "render/display.h"
#include "render/render.h"
#include "render/window/menu.h"
#include "render/window/menu_bar.h"

namespace velmora::render {
namespace {

using core::setting;
using K = core::SettingKey;

constexpr int kVkTab = 9, kVkShift = 16, kVkEnter = 13, kVkAlt = 18, kVkSpace = 32;

TransitionBusy g_busy = nullptr;

bool wallPaperShown() {
  return setting(K::FullScreen) != 0 && (setting(K::FullMode) == 2 || setting(K::FullMode) == 3);
}

void activated(bool active) {
  if (active) {
    setting(K::SystemActive) |= 2;
    if (wallPaperShown()) rebuildWallPaper();
  } else {
    setting(K::SystemActive) &= ~2;
  }
}

// Cursor requests over the main window's client, caption, system menu, menu,
// buttons or borders: the pointer is off the pop-up bar, which then goes.
bool offTheMenuBar(const WindowMessage& msg) {
  const uint32_t hit = static_cast<uint32_t>(msg.lParam & 0xFFFF);
  return (hit >= HTCLIENT && hit <= 3) || hit == 5 || (hit >= 8 && hit <= HTBORDER) || hit == HTCLOSE;
}

}  // namespace

void setTransitionBusy(TransitionBusy busy) { g_busy = busy; }

void handleWindowEvent(WindowMessage& msg) {
  const int vk = static_cast<int>(msg.wParam & 0xFF);
  int cw = 0, ch = 0;
  platform::clientSize(cw, ch);
  // The drawn menu takes the pointer messages over it; the game never sees them.
  if (menuBarInput(msg, cw)) {
    if (!menuBarVisible()) closeMenuDropdown();
    msg.message = WM_NULL;
    return;
  }
  switch (msg.message) {
    // The window stays: the script answers the request as an event.
    case WM_CLOSE: setCloseRequest(platform::windowMinimised() ? 2 : 1); break;
    case WM_SETFOCUS: activated(true); break;
    case WM_KILLFOCUS:
      activated(false);
      hideMenuBar();
      if (!menuBarVisible()) closeMenuDropdown();
      break;
    case WM_SETCURSOR:
      if (menuBar().shown && offTheMenuBar(msg)) hideMenuBar();
      if (!menuBarVisible()) closeMenuDropdown();
      break;
    case WM_DISPLAYCHANGE: refreshMonitor(); break;
    case WM_KEYUP:
      if (vk == kVkTab) modes::toggleSkip();
      else if (vk == kVkShift) modes::toggleAuto();
      break;
    case WM_SYSKEYDOWN:
      if (vk == kVkSpace) openSystemMenu(), msg.message = WM_NULL;
      if (vk != kVkEnter) break;
      if (!(g_busy && g_busy())) switchFullScreen(setting(K::FullScreen) == 0, true);
      msg.message = WM_NULL;
      break;
    case WM_SYSKEYUP:
      if (vk == kVkAlt) menuBarAlt();
      break;
    case WM_MOUSEMOVE:
      if (setting(K::SystemActive) != 0 && !menuBarInteraction().dropdown) menuBarPointer(msg.y);
      if (!menuBarVisible()) closeMenuDropdown();
      break;
    default: break;
  }
}

}  // namespace velmora::render
