#include "platform/events.h"

#include <SDL.h>
#ifdef __EMSCRIPTEN__
#include <emscripten.h>
#endif

#include <algorithm>
#include <atomic>
#include <cstring>

#include "platform/gamepad.h"
#include "platform/input.h"
#include "platform/platform.h"
#include "platform/sdl_windows.h"
#include "platform/threads.h"

namespace velmora::platform {
namespace {

struct KeyMapping {
  SDL_Keycode sdl;
  int vk;
};

// Keys with a Windows virtual-key code that is not their character.
const KeyMapping kKeyTable[] = {
    {SDLK_BACKSPACE, 8},   {SDLK_TAB, 9},        {SDLK_RETURN, 13},     {SDLK_KP_ENTER, 13},
    {SDLK_LSHIFT, 16},     {SDLK_RSHIFT, 16},    {SDLK_LCTRL, 17},      {SDLK_RCTRL, 17},
    {SDLK_LALT, 18},       {SDLK_RALT, 18},      {SDLK_PAUSE, 19},      {SDLK_CAPSLOCK, 20},
    {SDLK_ESCAPE, 27},     {SDLK_SPACE, 32},     {SDLK_PAGEUP, 33},     {SDLK_PAGEDOWN, 34},
    {SDLK_END, 35},        {SDLK_HOME, 36},      {SDLK_LEFT, 37},       {SDLK_UP, 38},
    {SDLK_RIGHT, 39},      {SDLK_DOWN, 40},      {SDLK_PRINTSCREEN, 44}, {SDLK_INSERT, 45},
    {SDLK_DELETE, 46},     {SDLK_LGUI, 91},      {SDLK_RGUI, 92},       {SDLK_APPLICATION, 93},
    {SDLK_KP_0, 96},       {SDLK_KP_1, 97},      {SDLK_KP_2, 98},       {SDLK_KP_3, 99},
    {SDLK_KP_4, 100},      {SDLK_KP_5, 101},     {SDLK_KP_6, 102},      {SDLK_KP_7, 103},
    {SDLK_KP_8, 104},      {SDLK_KP_9, 105},     {SDLK_KP_MULTIPLY, 106}, {SDLK_KP_PLUS, 107},
    {SDLK_KP_MINUS, 109},  {SDLK_KP_PERIOD, 110}, {SDLK_KP_DIVIDE, 111}, {SDLK_F1, 112},
    {SDLK_F2, 113},        {SDLK_F3, 114},       {SDLK_F4, 115},        {SDLK_F5, 116},
    {SDLK_F6, 117},        {SDLK_F7, 118},       {SDLK_F8, 119},        {SDLK_F9, 120},
    {SDLK_F10, 121},       {SDLK_F11, 122},      {SDLK_F12, 123},       {SDLK_NUMLOCKCLEAR, 144},
    {SDLK_SCROLLLOCK, 145}, {SDLK_SEMICOLON, 186}, {SDLK_EQUALS, 187},  {SDLK_COMMA, 188},
    {SDLK_MINUS, 189},     {SDLK_PERIOD, 190},   {SDLK_SLASH, 191},     {SDLK_BACKQUOTE, 192},
    {SDLK_LEFTBRACKET, 219}, {SDLK_BACKSLASH, 220}, {SDLK_RIGHTBRACKET, 221}, {SDLK_QUOTE, 222},
};

std::vector<std::string> g_dropped;
std::atomic<int> g_quitSignal{0};
static_assert(std::atomic<int>::is_always_lock_free, "set from a signal handler");

// Idle waits: how often the engine read the queue, and the window pictures
// the window system lost.
struct QueueWatch {
  uint64_t reads = 0, readsAtWait = 0;
  uint32_t exposures = 0;
  uint64_t lastPump = 0;  // SDL ticks when the window system was last asked for news
};
QueueWatch g_watch;

// An idle loop asks for events three times a frame (its poll, the frame's
// wait, the quit check); asking the window system again this soon finds
// nothing new, and each ask is a round of system calls.
constexpr uint64_t kFreshPumpMs = 2;

void notePump() { g_watch.lastPump = SDL_GetTicks64(); }
bool pumpedJustNow() { return SDL_GetTicks64() - g_watch.lastPump < kFreshPumpMs; }

uint64_t mouseKeyBits() {
  uint64_t bits = 0;
  if (mouseButtonDown(1)) bits |= kMouseLeft;
  if (mouseButtonDown(3)) bits |= kMouseRight;
  if (mouseButtonDown(2)) bits |= kMouseMiddle;
  if (keyDown(kVkShift)) bits |= kMouseShift;
  if (keyDown(kVkCtrl)) bits |= kMouseCtrl;
  return bits;
}

int engineButton(Uint8 button) {
  switch (button) {
    case SDL_BUTTON_LEFT: return 1;
    case SDL_BUTTON_MIDDLE: return 2;
    case SDL_BUTTON_RIGHT: return 3;
    default: return 0;
  }
}

// Alt and F10 are the window system's own keys, as is anything with Alt held.
bool systemKey(int vk, Uint16 mod) { return vk == kVkAlt || vk == kVkF10 || (mod & KMOD_ALT) || keyDown(kVkAlt); }

void sizeMessage(WindowMessage& m, const SDL_Event& e, uint32_t kind) {
  m.message = kMsgSize;
  m.code = kind;
  int w = 0, h = 0;
  if (SDL_Window* win = SDL_GetWindowFromID(e.window.windowID)) SDL_GetWindowSize(win, &w, &h);
  m.packed = packPoint(w, h);
}

void setMouse(WindowMessage& m, uint32_t type, int x, int y) {
  setClientCursor(x, y);
  m.message = type;
  m.x = x;
  m.y = y;
  m.packed = packPoint(x, y);
  m.code = mouseKeyBits();
}

uint32_t buttonMessage(Uint8 button, bool down) {
  switch (button) {
    case SDL_BUTTON_LEFT: return down ? kMsgLeftDown : kMsgLeftUp;
    case SDL_BUTTON_RIGHT: return down ? kMsgRightDown : kMsgRightUp;
    case SDL_BUTTON_MIDDLE: return down ? kMsgMiddleDown : kMsgMiddleUp;
    default: return kMsgNone;
  }
}

bool translate(const SDL_Event& e, WindowMessage& m) {
  m = WindowMessage{};
  m.time = nowMs();
  clientCursor(m.x, m.y);
  switch (e.type) {
    case SDL_QUIT: m.message = kMsgQuit; return true;
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
      int vk = virtualKeyOf(e.key.keysym.sym);
      if (vk == 0) return false;
      const bool down = e.type == SDL_KEYDOWN;
      const bool sys = systemKey(vk, e.key.keysym.mod);
      setKeyDown(vk, down);
      m.message = down ? (sys ? kMsgSystemKeyDown : kMsgKeyDown) : (sys ? kMsgSystemKeyUp : kMsgKeyUp);
      m.code = static_cast<uint64_t>(vk);
      m.packed = e.key.repeat ? (1ll << 30) : 0;
      return true;
    }
    case SDL_TEXTINPUT:
      m.message = kMsgChar;
      std::memcpy(m.text, e.text.text, std::min(sizeof(m.text) - 1, std::strlen(e.text.text)));
      m.code = static_cast<unsigned char>(e.text.text[0]);
      return true;
    case SDL_MOUSEMOTION: setMouse(m, kMsgMouseMove, e.motion.x, e.motion.y); return true;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
      uint32_t type = buttonMessage(e.button.button, e.type == SDL_MOUSEBUTTONDOWN);
      if (type == kMsgNone) return false;
      if (type == kMsgLeftDown && e.button.clicks == 2) type = kMsgLeftDoubleClick;
      setMouseButtonDown(engineButton(e.button.button), e.type == SDL_MOUSEBUTTONDOWN);
      setMouse(m, type, e.button.x, e.button.y);
      return true;
    }
    case SDL_MOUSEWHEEL: {
      int delta = (e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -e.wheel.y : e.wheel.y) * 120;
      setMouse(m, kMsgWheel, m.x, m.y);
      m.code = (m.code & 0xFFFF) | (static_cast<uint64_t>(static_cast<uint16_t>(delta)) << 16);
      return delta != 0;
    }
    case SDL_DROPFILE:
      if (e.drop.file) {
        g_dropped.emplace_back(e.drop.file);
        SDL_free(e.drop.file);
      }
      m.message = kMsgDropFiles;
      return true;
    case SDL_WINDOWEVENT:
      switch (e.window.event) {
        case SDL_WINDOWEVENT_CLOSE: m.message = kMsgClose; return true;
        case SDL_WINDOWEVENT_FOCUS_GAINED: m.message = kMsgFocusGained; return true;
        case SDL_WINDOWEVENT_FOCUS_LOST:
          clearInputState();
          m.message = kMsgFocusLost;
          return true;
        case SDL_WINDOWEVENT_LEAVE:
          m.message = kMsgCursorRequest;
          m.packed = static_cast<int64_t>(kHitBorder) | (static_cast<int64_t>(kMsgMouseMove) << 16);
          return true;
        case SDL_WINDOWEVENT_MINIMIZED: sizeMessage(m, e, kSizeMinimised); return true;
        case SDL_WINDOWEVENT_MAXIMIZED: sizeMessage(m, e, kSizeMaximised); return true;
        case SDL_WINDOWEVENT_RESTORED: sizeMessage(m, e, kSizeRestored); return true;
        case SDL_WINDOWEVENT_SHOWN:
        case SDL_WINDOWEVENT_EXPOSED: ++g_watch.exposures; return false;
        case SDL_WINDOWEVENT_SIZE_CHANGED:
          ++g_watch.exposures;
          m.message = kMsgSize;
          m.packed = packPoint(e.window.data1, e.window.data2);
          return true;
        default: return false;
      }
    case SDL_DISPLAYEVENT: m.message = kMsgDisplayChange; return true;
    default:
      if (translateGamepad(e, m)) return true;
      handlePoke(e.type);
      return false;
  }
}

}  // namespace

int virtualKeyOf(int sdlKeycode) {
  if (sdlKeycode >= 'a' && sdlKeycode <= 'z') return sdlKeycode - 'a' + 'A';
  if (sdlKeycode >= '0' && sdlKeycode <= '9') return sdlKeycode;
  for (const auto& k : kKeyTable)
    if (k.sdl == sdlKeycode) return k.vk;
  return 0;
}

void noteQuitSignal(int signo) { g_quitSignal.store(signo, std::memory_order_relaxed); }
int quitSignal() { return g_quitSignal.load(std::memory_order_relaxed); }

namespace {
int takeEndRequest(void* found, SDL_Event* e) {
  auto& r = *static_cast<EndRequests*>(found);
  if (e->type == SDL_QUIT) return r.quit = true, 0;
  if (e->type == SDL_WINDOWEVENT && e->window.event == SDL_WINDOWEVENT_CLOSE) return r.close = true, 0;
  return 1;
}
}  // namespace

EndRequests takeEndRequests() {
  EndRequests r;
  r.quit = quitSignal() != 0;
  if (!SDL_WasInit(SDL_INIT_EVENTS)) return r;
  if (!pumpedJustNow()) updateGamepads(), SDL_PumpEvents(), notePump();
  SDL_FilterEvents(takeEndRequest, &r);
  return r;
}

bool pollMessage(WindowMessage& out) {
  if (quitSignal()) {
    out = WindowMessage{};
    out.message = kMsgQuit;
    return true;
  }
  if (!SDL_WasInit(SDL_INIT_EVENTS)) return false;
  ++g_watch.reads;
  SDL_Event e;
  if (pumpedJustNow()) {
    // What is queued already, without a pump; the poll cycle's marker is no event.
    while (SDL_PeepEvents(&e, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) == 1) {
      if (e.type == SDL_POLLSENTINEL || (e.type == SDL_DROPFILE && !e.drop.file)) continue;
      if (translate(e, out)) return true;
    }
    return false;
  }
  notePump();
  updateGamepads();
  while (SDL_PollEvent(&e)) {
    if (e.type == SDL_DROPFILE && !e.drop.file) continue;
    if (translate(e, out)) return true;
  }
  return false;
}

#ifdef __EMSCRIPTEN__
constexpr bool kBrowserPage = true;
// The page's turn until the time is up or the player acts: the page hands
// SDL its events only while the engine waits, and looking for them every
// frame kept a waiting page busy. The wake comes a turn after the event so
// that SDL's own listeners have queued it by then. The listeners stay for
// good, passive: adding and removing them every frame made the page redo its
// event regions and hand the compositor a new frame each time. A page that
// listens for pads has the browser poll them for as long as it listens, so
// the pad listeners are there only while pads are enabled.
EM_ASYNC_JS(void, awaitPageInput, (int ms, int pads), {
  let watch = Module.pageInputWatch;
  if (!watch) {
    watch = Module.pageInputWatch = {wake: null, pads: false};
    watch.onInput = () => {
      const w = watch.wake;
      watch.wake = null;
      if (w) w();
    };
    const kinds = ["mousedown", "mouseup", "mousemove", "wheel", "keydown", "keyup", "keypress", "touchstart",
                   "touchend", "touchmove", "touchcancel", "focus", "blur", "resize", "visibilitychange",
                   "fullscreenchange", "beforeunload"];
    for (const kind of kinds) window.addEventListener(kind, watch.onInput, {capture: true, passive: true});
  }
  if (watch.pads !== !!pads) {
    watch.pads = !!pads;
    for (const kind of ["gamepadconnected", "gamepaddisconnected"]) {
      if (pads) window.addEventListener(kind, watch.onInput, {capture: true, passive: true});
      else window.removeEventListener(kind, watch.onInput, {capture: true});
    }
  }
  await new Promise(resolve => {
    const timer = setTimeout(() => {
      watch.wake = null;
      resolve();
    }, ms);
    watch.wake = () => {
      clearTimeout(timer);
      setTimeout(resolve, 0);
    };
  });
});
#else
constexpr bool kBrowserPage = false;
void awaitPageInput(int, int) {}
#endif
// How often a wait reads the pads while one is open.
constexpr uint32_t kPadReadMs = 10;

bool waitForInput(uint32_t ms) {
  const bool reading = g_watch.reads != g_watch.readsAtWait;
  g_watch.readsAtWait = g_watch.reads;
  if (ms == 0) return false;
  // Nobody took events since the last wait: none would be taken sooner.
  if (!SDL_WasInit(SDL_INIT_EVENTS) || !reading) {
    sleepMs(ms);
    return false;
  }
  if (SDL_HasEvents(SDL_FIRSTEVENT, SDL_LASTEVENT)) return true;
  bool arrived = false;
  for (uint32_t left = ms; left > 0 && !arrived;) {
    uint32_t slice = left;
    // The workers' steps come between slices of the wait.
    if (singleThread()) slice = std::max<uint32_t>(std::min(slice, stepWorkers()), 1);
    if (gamepadsOpen()) slice = std::min(slice, kPadReadMs);
    if (kBrowserPage) {
      notePageTurn();
      awaitPageInput(static_cast<int>(slice), gamepadsEnabled());
      if (singleThread()) stepWorkers();
      SDL_PumpEvents();
    } else {
      arrived = SDL_WaitEventTimeout(nullptr, static_cast<int>(slice)) == 1;
      SDL_FlushEvent(SDL_POLLSENTINEL);
    }
    updateGamepads();
    arrived = arrived || SDL_HasEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    left -= slice;
  }
  // The wait pumped on entry and on every wake, so its end is a fresh look.
  notePump();
  // The wait marks the end of its poll cycle in the queue; left there it
  // would make the next poll come back empty.
  SDL_FlushEvent(SDL_POLLSENTINEL);
  return arrived;
}

uint32_t windowExposures() { return g_watch.exposures; }

std::vector<std::string> takeDroppedFiles() {
  std::vector<std::string> out;
  out.swap(g_dropped);
  return out;
}

}  // namespace velmora::platform
