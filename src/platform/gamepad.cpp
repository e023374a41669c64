#include "platform/gamepad.h"

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <vector>

#include "platform/input.h"
#include "platform/platform.h"
#include "platform/window.h"

namespace velmora::platform {
namespace {

constexpr int kVkLeft = 37, kVkUp = 38, kVkRight = 39, kVkDown = 40;
constexpr int kWheelNotch = 120;
// Stick travel (of 32767) that presses an arrow, and that releases it again.
constexpr int kStickPress = 16000, kStickRelease = 8000;
// The right stick: travel it ignores, and how far a full tilt moves the
// pointer per step.
constexpr int kStickDeadZone = 6000;
constexpr int kPointerStepMs = 16;
constexpr int kPointerPixelsPerStep = 12;
constexpr int kStickFullTravel = 32767;

enum class PadAction { None, Key, SystemKey, RightButton, WheelUp, WheelDown };

struct ButtonMapping {
  const char* name;
  SDL_GameControllerButton button;
  PadAction action;
  int vk;
};
const ButtonMapping kButtonTable[] = {
    {"a", SDL_CONTROLLER_BUTTON_A, PadAction::Key, kVkEnter},
    {"b", SDL_CONTROLLER_BUTTON_B, PadAction::RightButton, 0},
    {"x", SDL_CONTROLLER_BUTTON_X, PadAction::Key, kVkTab},
    {"y", SDL_CONTROLLER_BUTTON_Y, PadAction::Key, kVkShift},
    {"back", SDL_CONTROLLER_BUTTON_BACK, PadAction::None, 0},
    {"start", SDL_CONTROLLER_BUTTON_START, PadAction::SystemKey, kVkAlt},
    {"lb", SDL_CONTROLLER_BUTTON_LEFTSHOULDER, PadAction::WheelUp, 0},
    {"rb", SDL_CONTROLLER_BUTTON_RIGHTSHOULDER, PadAction::WheelDown, 0},
    {"up", SDL_CONTROLLER_BUTTON_DPAD_UP, PadAction::Key, kVkUp},
    {"down", SDL_CONTROLLER_BUTTON_DPAD_DOWN, PadAction::Key, kVkDown},
    {"left", SDL_CONTROLLER_BUTTON_DPAD_LEFT, PadAction::Key, kVkLeft},
    {"right", SDL_CONTROLLER_BUTTON_DPAD_RIGHT, PadAction::Key, kVkRight},
};

struct PadState {
  std::vector<SDL_GameController*> open;
  SDL_JoystickID virtualPad = -1;
  // The arrow each left-stick axis holds down: -1, 0 or +1.
  int heldX = 0, heldY = 0;
  // The right stick, read by the pointer timer's thread.
  std::atomic<int> pointerX{0}, pointerY{0};
  SDL_TimerID pointerTimer = 0;
  std::atomic<bool> pointerMoving{false};
  uint32_t pointerEvent = 0;
};
PadState padState;

void openPad(int deviceIndex) {
  const SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(deviceIndex);
  for (SDL_GameController* c : padState.open)
    if (SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(c)) == id) return;
  if (SDL_GameController* c = SDL_GameControllerOpen(deviceIndex)) padState.open.push_back(c);
}

void closePad(SDL_JoystickID id) {
  auto it = std::find_if(padState.open.begin(), padState.open.end(), [id](SDL_GameController* c) {
    return SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(c)) == id;
  });
  if (it == padState.open.end()) return;
  SDL_GameControllerClose(*it);
  padState.open.erase(it);
}

void keyMessage(WindowMessage& m, int vk, bool down, bool system) {
  setKeyDown(vk, down);
  m.message = down ? (system ? kMsgSystemKeyDown : kMsgKeyDown) : (system ? kMsgSystemKeyUp : kMsgKeyUp);
  m.code = static_cast<uint64_t>(vk);
}

void pointerMessage(WindowMessage& m, uint32_t type) {
  m.message = type;
  m.packed = packPoint(m.x, m.y);
  if (mouseButtonDown(3)) m.code |= kMouseRight;
}

bool buttonMessage(const SDL_ControllerButtonEvent& e, WindowMessage& m) {
  const bool down = e.type == SDL_CONTROLLERBUTTONDOWN;
  for (const ButtonMapping& b : kButtonTable) {
    if (b.button != e.button) continue;
    switch (b.action) {
      case PadAction::None: return false;
      case PadAction::Key: keyMessage(m, b.vk, down, false); return true;
      case PadAction::SystemKey: keyMessage(m, b.vk, down, true); return true;
      case PadAction::RightButton:
        setMouseButtonDown(3, down);
        pointerMessage(m, down ? kMsgRightDown : kMsgRightUp);
        return true;
      case PadAction::WheelUp:
      case PadAction::WheelDown: {
        if (!down) return false;
        const int delta = b.action == PadAction::WheelUp ? kWheelNotch : -kWheelNotch;
        pointerMessage(m, kMsgWheel);
        m.code |= static_cast<uint64_t>(static_cast<uint16_t>(delta)) << 16;
        return true;
      }
    }
  }
  return false;
}

// The left stick works like the arrows: a tilt presses one, easing back
// releases it. A swing from one side to the other releases, then presses.
bool stickArrow(const SDL_Event& e, int& held, int value, int vkNegative, int vkPositive, WindowMessage& m) {
  int target = held;
  if (value <= -kStickPress) target = -1;
  else if (value >= kStickPress) target = 1;
  else if (std::abs(value) < kStickRelease) target = 0;
  if (target == held) return false;
  if (held != 0) {
    keyMessage(m, held < 0 ? vkNegative : vkPositive, false, false);
    held = 0;
    if (target != 0) {
      SDL_Event again = e;  // taken again for the press
      SDL_PushEvent(&again);
    }
    return true;
  }
  keyMessage(m, target < 0 ? vkNegative : vkPositive, true, false);
  held = target;
  return true;
}

bool stickTilted() { return std::abs(padState.pointerX.load()) > kStickDeadZone || std::abs(padState.pointerY.load()) > kStickDeadZone; }

// Runs on SDL's timer thread while the right stick is tilted; one pending
// step at a time, so a game that stops reading does not fill the queue.
Uint32 pointerTick(Uint32 interval, void*) {
  if (!stickTilted()) {
    padState.pointerMoving = false;
    return 0;
  }
  if (!SDL_HasEvent(padState.pointerEvent)) {
    SDL_Event e{};
    e.type = padState.pointerEvent;
    SDL_PushEvent(&e);
  }
  return interval;
}

bool pointerAxis(const SDL_ControllerAxisEvent& e) {
  (e.axis == SDL_CONTROLLER_AXIS_RIGHTX ? padState.pointerX : padState.pointerY).store(e.value);
  if (!stickTilted() || padState.pointerMoving.exchange(true)) return false;
  if (padState.pointerTimer) SDL_RemoveTimer(padState.pointerTimer);
  padState.pointerTimer = SDL_AddTimer(kPointerStepMs, pointerTick, nullptr);
  return false;
}

int pointerStep(int value) {
  return std::abs(value) <= kStickDeadZone ? 0 : value * kPointerPixelsPerStep / kStickFullTravel;
}

bool pointerMove(WindowMessage& m) {
  int w = 0, h = 0, wx = 0, wy = 0;
  clientSize(w, h);
  clientPosition(wx, wy);
  // Kept inside the window; without one (before the game's screen, a test)
  // only off its top and left.
  const int x = std::clamp(m.x + pointerStep(padState.pointerX.load()), 0, w > 0 ? w - 1 : INT_MAX);
  const int y = std::clamp(m.y + pointerStep(padState.pointerY.load()), 0, h > 0 ? h - 1 : INT_MAX);
  if (x == m.x && y == m.y) return false;
  warpCursor(wx + x, wy + y);
  m.x = x, m.y = y;
  pointerMessage(m, kMsgMouseMove);
  return true;
}

bool axisMessage(const SDL_Event& e, WindowMessage& m) {
  switch (e.caxis.axis) {
    case SDL_CONTROLLER_AXIS_LEFTX: return stickArrow(e, padState.heldX, e.caxis.value, kVkLeft, kVkRight, m);
    case SDL_CONTROLLER_AXIS_LEFTY: return stickArrow(e, padState.heldY, e.caxis.value, kVkUp, kVkDown, m);
    case SDL_CONTROLLER_AXIS_RIGHTX:
    case SDL_CONTROLLER_AXIS_RIGHTY: return pointerAxis(e.caxis);
    default: return false;
  }
}

}  // namespace

void enableGamepads(bool on) {
  if (on == gamepadsEnabled()) return;
  if (on) {
    // Only beside the engine's own event queue (not in a bare test).
    SDL_SetHint(SDL_HINT_AUTO_UPDATE_JOYSTICKS, "0");
    if (SDL_WasInit(SDL_INIT_EVENTS) && SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) == 0 && padState.pointerEvent == 0) padState.pointerEvent = SDL_RegisterEvents(1);
    return;
  }
  if (padState.pointerTimer) SDL_RemoveTimer(padState.pointerTimer);
  for (SDL_GameController* c : padState.open) SDL_GameControllerClose(c);
  if (padState.virtualPad >= 0) {
    for (int i = 0; i < SDL_NumJoysticks(); ++i)
      if (SDL_JoystickGetDeviceInstanceID(i) == padState.virtualPad) SDL_JoystickDetachVirtual(i);
  }
  SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
  padState.open.clear();
  padState.virtualPad = -1;
  padState.heldX = padState.heldY = 0;
  padState.pointerX = padState.pointerY = 0;
  padState.pointerTimer = 0;
  padState.pointerMoving = false;
}

bool gamepadsEnabled() { return SDL_WasInit(SDL_INIT_GAMECONTROLLER) != 0; }

void updateGamepads() {
  if (gamepadsEnabled()) SDL_GameControllerUpdate();
}

bool gamepadsOpen() { return !padState.open.empty(); }

bool translateGamepad(const SDL_Event& e, WindowMessage& m) {
  if (padState.pointerEvent != 0 && e.type == padState.pointerEvent) return pointerMove(m);
  switch (e.type) {
    case SDL_CONTROLLERDEVICEADDED: openPad(e.cdevice.which); return false;
    case SDL_CONTROLLERDEVICEREMOVED: closePad(e.cdevice.which); return false;
    case SDL_CONTROLLERBUTTONDOWN:
    case SDL_CONTROLLERBUTTONUP: return buttonMessage(e.cbutton, m);
    case SDL_CONTROLLERAXISMOTION: return axisMessage(e, m);
    default: return false;
  }
}

namespace {

// The scenario pad, attached on first use.
SDL_Joystick* virtualPad() {
  if (padState.virtualPad < 0) {
    // A scenario's window may never get the focus SDL wants for pad input.
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    const int index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, SDL_CONTROLLER_AXIS_MAX,
                                                SDL_CONTROLLER_BUTTON_MAX, 0);
    if (index < 0) return nullptr;
    padState.virtualPad = SDL_JoystickGetDeviceInstanceID(index);
    openPad(index);
  }
  return SDL_JoystickFromInstanceID(padState.virtualPad);
}

}  // namespace

bool pressVirtualPadButton(std::string_view name) {
  if (!gamepadsEnabled()) return false;
  const ButtonMapping* found = nullptr;
  for (const ButtonMapping& b : kButtonTable)
    if (name == b.name) found = &b;
  if (!found) return false;
  SDL_Joystick* pad = virtualPad();
  if (!pad) return false;
  // Each state is sent as its own event by the update after it.
  SDL_JoystickSetVirtualButton(pad, found->button, SDL_PRESSED);
  SDL_JoystickUpdate();
  SDL_JoystickSetVirtualButton(pad, found->button, SDL_RELEASED);
  SDL_JoystickUpdate();
  return true;
}

bool tiltVirtualPadStick(std::string_view stick, int x, int y) {
  if (!gamepadsEnabled() || (stick != "left" && stick != "right")) return false;
  SDL_Joystick* pad = virtualPad();
  if (!pad) return false;
  const bool left = stick == "left";
  SDL_JoystickSetVirtualAxis(pad, left ? SDL_CONTROLLER_AXIS_LEFTX : SDL_CONTROLLER_AXIS_RIGHTX,
                             static_cast<Sint16>(std::clamp(x, -32768, 32767)));
  SDL_JoystickSetVirtualAxis(pad, left ? SDL_CONTROLLER_AXIS_LEFTY : SDL_CONTROLLER_AXIS_RIGHTY,
                             static_cast<Sint16>(std::clamp(y, -32768, 32767)));
  SDL_JoystickUpdate();
  return true;
}

}  // namespace velmora::platform
