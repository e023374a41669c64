#include "render/window/window_events.h"

#include "script/modes.h"
#include "base/pump.h"
#include "base/report.h"
#include "base/state.h"
#include "base/textconv.h"
#include "base/settings.h"
#include "platform/platform.h"
#include "platform/window.h"
#include "render/display.h"
#include "render/hooks.h"
#include "render/messages.h"
#include "render/render.h"
#include "render/window/menu.h"
#include "render/window/menu_bar.h"
#include "render/display_settings.h"
#include "base/setting_words.h"

namespace velmora::render {
namespace {

// A second close within this time means the game is not answering the first.
constexpr uint32_t kCloseRepeatMs = 5000;

TransitionBusy g_busy = nullptr;
struct CloseRepeat {
  bool seen = false;
  uint32_t at = 0;
};
CloseRepeat g_close;
bool g_escapeTaken = false;  // the Esc press that closed a menu: its release is the menu's too

void activated(bool active) {
  if (active) {
    setWindowActive(true);
    if (wallPaperShown()) rebuildWallPaper();
  } else {
    setWindowActive(false);
  }
}

// Cursor requests over the main window's client, caption, system menu, menu,
// buttons or borders: the pointer is off the pop-up bar, which then goes.
bool offTheMenuBar(const WindowMessage& msg) {
  const uint32_t hit = static_cast<uint32_t>(msg.packed & 0xFFFF);
  return (hit >= kHitClient && hit <= 3) || hit == 5 || (hit >= 8 && hit <= kHitBorder) || hit == kHitClose;
}

// The close request is the script's to answer; one that ignores it would
// keep the player in the game for good, so a second request soon after is
// the engine's: it asks the player and ends the game on yes.
void closeRequested() {
  const uint32_t now = platform::nowMs();
  const bool repeated = g_close.seen && now - g_close.at <= kCloseRepeatMs;
  g_close = {!repeated, now};
  if (!repeated) {
    setCloseRequest(platform::windowMinimised() ? 2 : 1);
    return;
  }
  if (confirmYesNo(uiText(UiText::NotResponding)) != platform::kAnswerYes) return;
  setCloseRequest(0);
  quitRequest = 1;
}

}  // namespace

void setTransitionBusy(TransitionBusy busy) { g_busy = busy; }
void resetCloseRepeat() { g_close = {}; }

void handleWindowEvent(WindowMessage& msg) {
  const int vk = static_cast<int>(msg.code & 0xFF);
  int cw = 0, ch = 0;
  platform::clientSize(cw, ch);
  // The drawn menu takes the pointer messages over it; the game never sees them.
  if (menuBarInput(msg, cw)) {
    if (!menuBarVisible()) closeMenuDropdown();
    msg.message = kMsgNone;
    return;
  }
  switch (msg.message) {
    // The window stays: the script answers the request as an event.
    case kMsgClose: closeRequested(); break;
    case kMsgFocusGained: activated(true); break;
    case kMsgFocusLost:
      activated(false);
      hideMenuBar();
      if (!menuBarVisible()) closeMenuDropdown();
      break;
    case kMsgCursorRequest:
      if (menuBar().shown && offTheMenuBar(msg)) hideMenuBar();
      if (!menuBarVisible()) closeMenuDropdown();
      break;
    case kMsgDisplayChange: refreshMonitor(); break;
    case kMsgKeyDown:
    case kMsgKeyUp:
      // Esc closes an open menu (and a pop-up bar); the game sees neither
      // its press nor its release.
      if (vk == kVkEscape && msg.message == kMsgKeyDown && (menuBarInteraction().dropdown || menuBar().shown)) {
        closeMenuDropdown();
        hideMenuBar();
        g_escapeTaken = true;
        msg.message = kMsgNone;
        break;
      }
      if (vk == kVkEscape && g_escapeTaken) {
        g_escapeTaken = msg.message == kMsgKeyDown;
        msg.message = kMsgNone;
        break;
      }
      if (renderHooks().playerKey && renderHooks().playerKey(vk, msg.message == kMsgKeyDown)) {
        msg.message = kMsgNone;
        break;
      }
      if (msg.message == kMsgKeyDown) break;
      if (vk == kVkTab) script::toggleSkip();
      else if (vk == kVkShift) script::toggleAuto();
      break;
    case kMsgSystemKeyDown:
      if (vk == kVkSpace) openSystemMenu(), msg.message = kMsgNone;
      if (vk != kVkEnter) break;
      if (!(g_busy && g_busy())) switchFullScreen(!fullScreen(), true);
      msg.message = kMsgNone;
      break;
    case kMsgSystemKeyUp:
      if (vk == kVkAlt) menuBarAlt();
      break;
    case kMsgMouseMove:
      if (systemActiveWord() != 0 && !menuBarInteraction().dropdown) menuBarPointer(msg.y);
      if (!menuBarVisible()) closeMenuDropdown();
      break;
    default: break;
  }
}

}  // namespace velmora::render
