#include "platform/inject.h"

#include <SDL.h>

#include <cstring>

#include "platform/events.h"

namespace velmora::platform {
namespace {

void push(SDL_Event& e) {
  e.common.timestamp = SDL_GetTicks();
  SDL_PushEvent(&e);
}

}  // namespace

void pushMouseMove(int x, int y) {
  SDL_Event e{};
  e.type = SDL_MOUSEMOTION;
  e.motion.x = x;
  e.motion.y = y;
  push(e);
}

void pushMouseButton(int x, int y, int button, bool down) {
  SDL_Event e{};
  e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
  e.button.button = static_cast<Uint8>(button == 2 ? SDL_BUTTON_MIDDLE : button == 3 ? SDL_BUTTON_RIGHT : SDL_BUTTON_LEFT);
  e.button.state = down ? SDL_PRESSED : SDL_RELEASED;
  e.button.clicks = 1;
  e.button.x = x;
  e.button.y = y;
  push(e);
}

void pushWheel(int notches) {
  SDL_Event e{};
  e.type = SDL_MOUSEWHEEL;
  e.wheel.y = notches;
  e.wheel.direction = SDL_MOUSEWHEEL_NORMAL;
  push(e);
}

bool pushKey(int virtualKey, bool down) {
  // The inverse of the key map: try every SDL keycode the map knows.
  static const SDL_Keycode candidates[] = {
      SDLK_BACKSPACE, SDLK_TAB, SDLK_RETURN, SDLK_LSHIFT, SDLK_LCTRL, SDLK_LALT, SDLK_ESCAPE, SDLK_SPACE,
      SDLK_PAGEUP, SDLK_PAGEDOWN, SDLK_END, SDLK_HOME, SDLK_LEFT, SDLK_UP, SDLK_RIGHT, SDLK_DOWN,
      SDLK_INSERT, SDLK_DELETE, SDLK_F1, SDLK_F2, SDLK_F3, SDLK_F4, SDLK_F5, SDLK_F6, SDLK_F7, SDLK_F8,
      SDLK_F9, SDLK_F10, SDLK_F11, SDLK_F12};
  SDL_Keycode code = SDLK_UNKNOWN;
  if ((virtualKey >= 'A' && virtualKey <= 'Z')) code = virtualKey - 'A' + 'a';
  else if (virtualKey >= '0' && virtualKey <= '9') code = virtualKey;
  else
    for (SDL_Keycode c : candidates)
      if (virtualKeyOf(c) == virtualKey) {
        code = c;
        break;
      }
  if (code == SDLK_UNKNOWN) return false;
  SDL_Event e{};
  e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
  e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
  e.key.keysym.sym = code;
  e.key.keysym.scancode = SDL_GetScancodeFromKey(code);
  push(e);
  return true;
}

void pushDrop(const std::string& path) {
  SDL_Event e{};
  e.type = SDL_DROPFILE;
  e.drop.file = SDL_strdup(path.c_str());  // SDL frees it with the event's taker
  push(e);
}

void pushClose() {
  SDL_Event e{};
  e.type = SDL_WINDOWEVENT;
  e.window.event = SDL_WINDOWEVENT_CLOSE;
  push(e);
}

void pushQuit() {
  SDL_Event e{};
  e.type = SDL_QUIT;
  push(e);
}

bool inputPending() {
  if (!SDL_WasInit(SDL_INIT_EVENTS)) return false;
  return SDL_HasEvents(SDL_KEYDOWN, SDL_MOUSEWHEEL) || SDL_HasEvent(SDL_DROPFILE);
}

}  // namespace velmora::platform
