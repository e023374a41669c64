// One poll of the event wait: hover, then one window message, then whatever
// is pending, in a fixed order.
#include <vector>

#include "platform/glide.h"
#include "script/modes.h"
#include "base/pump.h"
#include "base/settings.h"
#include "base/state.h"
#include "base/textconv.h"
#include "platform/events.h"
#include "platform/input.h"
#include "platform/platform.h"
#include "platform/vclock.h"
#include "render/display.h"
#include "render/hooks.h"
#include "render/render.h"
#include "render/input/internal.h"
#include "render/window/window_events.h"
#include "render/display_settings.h"
#include "base/setting_words.h"

namespace velmora::render {
namespace {

constexpr uint32_t kPowerSaverPeriod = 30000;
// The longest sleep of a game paused while its window is inactive; any
// event ends it sooner.
constexpr uint32_t kInactiveWaitMs = 50;
constexpr int kVkLeft = 37, kVkUp = 38, kVkDown = 40;

InputEvent event(int button, int code, int phase) { return InputEvent{button, code, phase, {}}; }
const InputEvent kSkip = {-1, 1, 3, {}};

void cursorIdle(ButtonState& b, int x, int y) {
  const int32_t clear = cursorHideDelay();
  if (clear == 0) {
    if (b.hidCursor) platform::showCursor(true), b.hidCursor = false;
    return;
  }
  const uint32_t now = platform::nowMs();
  if (x != b.lastX || y != b.lastY) {
    b.lastX = x, b.lastY = y, b.lastMove = now;
    if (b.hidCursor) platform::showCursor(true), b.hidCursor = false;
  } else if (!b.hidCursor && now - b.lastMove > static_cast<uint32_t>(clear)) {
    platform::showCursor(false);
    b.hidCursor = true;
  }
}

// Step 1 while the window is active. True with an event to report; hovered
// is the button under the cursor (-1 none, -2 not tested).
bool hoverStep(ButtonState& b, int& hovered, InputEvent& out) {
  hovered = -2;
  render::zoomPanPoll();
  render::cursorTick();
  if (platform::cursorGlideRunning()) return false;
  int cx = 0, cy = 0;
  platform::clientCursor(cx, cy);
  cursorIdle(b, cx, cy);
  if (b.keyHeld) {
    if (cx == b.heldX && cy == b.heldY) return false;
    b.keyHeld = false;
  }
  int lx = 0, ly = 0;
  render::windowToLogicalPoint(cx, cy, lx, ly);
  hovered = buttonAt(lx, ly);
  if (hovered < 0 || hovered == b.current) return false;
  if (b.current >= 0) {
    hideTooltip();
    out = event(b.current, 0, 0);
    b.current = -1;
    return true;
  }
  postTooltip(b.records[static_cast<size_t>(hovered)]);
  b.current = hovered;
  out = event(hovered, 0, 1);
  return true;
}

// While the window is inactive and SystemActive says so, the game pauses
// here. False when a quit message ended the wait.
bool waitWhileInactive() {
  while (!windowActive() && pausesWhenInactive() && !quitRequest && !closeRequestPending()) {
    WindowMessage& msg = messageRecord();
    msg.message = kMsgNone;
    if (drainWindowMessages(msg) == 0) {
      quitRequest = 1;
      return false;
    }
    if (platform::virtualClock()) platform::sleepMs(1);
    else platform::waitForInput(kInactiveWaitMs);
  }
  return true;
}

void powerSaverTick(ButtonState& b) {
  if (!keepScreenAwake()) return;
  const uint32_t now = platform::nowMs();
  if (b.nextPowerTick != 0 && static_cast<int32_t>(now - b.nextPowerTick) < 0) return;
  platform::inhibitScreenSaver(true);
  b.nextPowerTick = now + kPowerSaverPeriod;
}

// The next button in map order from the current one, skipping buttons that
// keys pass over or that are not on screen; -1 when none qualifies.
int neighbour(const ButtonState& b, bool backward) {
  std::vector<int> order;
  int at = -1;
  for (const auto& [sprite, button] : b.map) {
    if (button == b.current && b.records[static_cast<size_t>(button)].sprite == sprite) at = static_cast<int>(order.size());
    order.push_back(button);
  }
  const int n = static_cast<int>(order.size());
  if (n == 0) return -1;
  if (at < 0) at = backward ? n : -1;
  for (int step = 1; step <= n; ++step) {
    const int i = ((at + (backward ? -step : step)) % n + n) % n;
    const int button = order[static_cast<size_t>(i)];
    if (b.records[static_cast<size_t>(button)].keySkip == 0 && buttonShown(button)) return button;
  }
  return -1;
}

int arrowBit(int vk) {
  switch (vk) {
    case kVkUp: return 1;
    case kVkDown: return 2;
    case kVkLeft: return 4;
    default: return 8;
  }
}

bool arrowKey(ButtonState& b, int vk, InputEvent& out) {
  if (b.current >= 0 && (b.records[static_cast<size_t>(b.current)].arrowMask & arrowBit(vk))) {
    out = event(b.current, vk, 2);
    return true;
  }
  const int next = neighbour(b, vk == kVkLeft || vk == kVkUp);
  if (next < 0) return false;
  selectByKeys(next);
  hideTooltip();
  const ButtonRecord& r = b.records[static_cast<size_t>(next)];
  if (const int32_t speed = cursorGlideSpeed()) platform::glideCursor(r.centreX, r.centreY, speed * 4, true);
  if (renderHooks().keySelection) renderHooks().keySelection(next);
  out = event(next, vk, 0);
  return true;
}

bool keyDownEvent(ButtonState& b, int vk, WaitMode mode, InputEvent& out) {
  if (vk == 0) return false;
  if (mode == WaitMode::PassThrough && vk == kVkCtrl && windowActive()) {
    script::holdFast();
    return out = kSkip, true;
  }
  if (vk == kVkEnter) script::releaseFast();
  if (vk >= kVkLeft && vk <= kVkDown && arrowKey(b, vk, out)) return true;
  out = event(b.current, vk == kVkEnter && b.current >= 0 ? 1 : vk, 2);
  return true;
}

bool keyUpEvent(ButtonState& b, int vk, InputEvent& out) {
  if (vk == 0) return false;
  if (vk == kVkCtrl) script::releaseFast();
  out = event(b.current, vk == kVkEnter && b.current >= 0 ? 1 : vk, 3);
  if (vk == kVkEnter) b.current = -1;
  return true;
}

bool wheelEvent(ButtonState& b, int delta, InputEvent& out) {
  const int threshold = wheelThreshold();
  b.wheel += delta;
  if (b.wheel >= threshold) out = event(b.current, 0, 5);
  else if (b.wheel <= -threshold) out = event(b.current, 0, 4);
  else return false;
  b.wheel = 0;
  script::releaseFast();
  return true;
}

bool dropEvent(WaitMode mode, InputEvent& out) {
  std::vector<std::string> files = platform::takeDroppedFiles();
  if (mode != WaitMode::DragDrop || files.empty()) return false;
  out = event(259, 259, 259);
  out.text = utf8ToGame(files.front());
  return true;
}

// Step 4: the message just taken, as an event.
bool messageEvent(ButtonState& b, const WindowMessage& m, WaitMode mode, InputEvent& out) {
  const int vk = static_cast<int>(m.code & 0xFF);
  switch (m.message) {
    case kMsgKeyDown: return keyDownEvent(b, vk, mode, out);
    case kMsgKeyUp: return keyUpEvent(b, vk, out);
    case kMsgSystemKeyDown: return vk == kVkF10 && (out = event(b.current, kVkF10, 2), true);
    case kMsgSystemKeyUp: return vk == kVkF10 && (out = event(b.current, kVkF10, 3), true);
    case kMsgLeftDown:
    case kMsgLeftDoubleClick:
      b.pressed = b.current;
      out = event(b.current, 1, 2);
      return true;
    case kMsgLeftUp:
      script::releaseFast();
      if (b.current != b.pressed) return false;
      out = event(b.current, 1, 3);
      b.current = -1;
      hideTooltip();
      return true;
    case kMsgRightDown: out = event(-1, 2, 2); return true;
    case kMsgRightUp:
      // A running mode is stopped instead; its word is reported below.
      if (script::readingModes().autoMode || script::readingModes().skip) return script::stopModes(), false;
      out = event(-1, 2, 3);
      return true;
    case kMsgMiddleDown:
      if (mode != WaitMode::PassThrough) return out = event(b.current, 4, 2), true;
      script::holdFast();
      return out = kSkip, true;
    case kMsgMiddleUp:
      if (mode == WaitMode::PassThrough) script::releaseFast();
      out = event(b.current, 4, 3);
      return true;
    case kMsgWheel: return wheelEvent(b, wheelDelta(m), out);
    case kMsgDropFiles: return dropEvent(mode, out);
    default: return false;
  }
}

// Step 5: the first pending report in the fixed order. queueEmpty: this
// poll took no message, so a scenario's input before it has all been seen.
InputEvent pendingEvent(ButtonState& b, WaitMode mode, bool queueEmpty) {
  InputEvent out;
  if (takeFindAnswer(out)) return out;
  if (const int word = script::takeModeWord()) return event(257, word >> 4, (word & 7) - 1);
  if (const int close = closeRequest()) {
    setCloseRequest(0);
    return event(261, 261, close - 1);
  }
  render::Geometry& g = render::geometry();
  if (g.aspectCounter != b.seenAspectCounter) {
    b.seenAspectCounter = g.aspectCounter;
    return event(262, 262, screenAspectValue());
  }
  const script::ReadingModes& r = script::readingModes();
  if (r.skip || r.jump) return kSkip;
  if (g.fullScreenCounter != b.seenFullScreenCounter) {
    b.seenFullScreenCounter = g.fullScreenCounter;
    return event(258, 258, fullScreenValue());
  }
  if (mode == WaitMode::PassThrough && windowActive() && platform::mouseButtonDown(2)) {
    script::holdFast();
    return kSkip;
  }
  if (r.autoMode) {
    b.autoPollParity = !b.autoPollParity;
    if (b.autoPollParity && script::autoDeadlinePassed(platform::nowMs())) return event(260, 260, 3);
  }
  if (queueEmpty && renderHooks().idleEventPoll) renderHooks().idleEventPoll();
  render::eventWaitFoundNothing();
  return out;
}

}  // namespace

int wheelThreshold() {
  const int lines = platform::wheelScrollLines();
  return 120 / (lines > 0 ? lines : 3);
}

InputEvent pollEvent(WaitMode mode) {
  ButtonState& b = buttons();
  InputEvent out;
  int hovered = -2;
  if (windowActive()) {
    if (hoverStep(b, hovered, out)) return out;
  } else if (!waitWhileInactive()) {
    return out;
  }
  powerSaverTick(b);
  if (hovered == -1 && b.current >= 0) {
    hideTooltip();
    out = event(b.current, 0, 0);
    b.current = -1;
    return out;
  }
  WindowMessage& msg = messageRecord();
  msg.message = kMsgNone;
  if (drainWindowMessages(msg) == 0) {
    quitRequest = 1;
    return out;
  }
  if (msg.message != kMsgNone && messageEvent(b, msg, mode, out)) return out;
  return pendingEvent(b, mode, msg.message == kMsgNone);
}

}  // namespace velmora::render
