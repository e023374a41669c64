#include "platform/input.h"

#include <SDL.h>

#include <array>
#include <atomic>

#include "platform/events.h"

namespace velmora::platform {
namespace {

struct InputState {
  // The glide thread warps the cursor too.
  std::atomic<int> x{0}, y{0};
  std::array<bool, 256> keys{};
  std::array<bool, 4> buttons{};
  SDL_Cursor* colour = nullptr;
};
InputState inputState;

// The system's own state of a virtual key, for keys held before the engine
// saw their message.
bool systemKeyDown(int vk) {
  if (!SDL_WasInit(SDL_INIT_VIDEO)) return false;
  int n = 0;
  const Uint8* state = SDL_GetKeyboardState(&n);
  for (int sc = 0; sc < n; ++sc)
    if (state[sc] && virtualKeyOf(SDL_GetKeyFromScancode(static_cast<SDL_Scancode>(sc))) == vk) return true;
  return false;
}

}  // namespace

void clientCursor(int& x, int& y) {
  x = inputState.x.load();
  y = inputState.y.load();
}

void setClientCursor(int x, int y) {
  inputState.x.store(x);
  inputState.y.store(y);
}

bool keyDown(int vk) {
  if (vk <= 0 || vk > 255) return false;
  // The mouse buttons' virtual keys: 1 left, 2 right, 4 middle.
  if (vk == 1 || vk == 2 || vk == 4) return mouseButtonDown(vk == 1 ? 1 : vk == 2 ? 3 : 2);
  return inputState.keys[static_cast<size_t>(vk)] || systemKeyDown(vk);
}

void setKeyDown(int vk, bool down) {
  if (vk > 0 && vk < 256) inputState.keys[static_cast<size_t>(vk)] = down;
}

bool mouseButtonDown(int button) { return button >= 1 && button <= 3 && inputState.buttons[static_cast<size_t>(button)]; }

void setMouseButtonDown(int button, bool down) {
  if (button >= 1 && button <= 3) inputState.buttons[static_cast<size_t>(button)] = down;
}

void clearInputState() {
  inputState.keys.fill(false);
  inputState.buttons.fill(false);
}

void showCursor(bool shown) {
  if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_ShowCursor(shown ? SDL_ENABLE : SDL_DISABLE);
}

bool setColourCursor(const std::vector<uint32_t>& pixels, int width, int height, int hotX, int hotY) {
  if (!SDL_WasInit(SDL_INIT_VIDEO) || width <= 0 || height <= 0 ||
      pixels.size() < static_cast<size_t>(width) * static_cast<size_t>(height))
    return false;
  SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint32_t*>(pixels.data()), width, height, 32,
                                                            width * 4, SDL_PIXELFORMAT_ARGB8888);
  if (!surface) return false;
  SDL_Cursor* cursor = SDL_CreateColorCursor(surface, hotX, hotY);
  SDL_FreeSurface(surface);
  if (!cursor) return false;
  SDL_SetCursor(cursor);
  if (inputState.colour) SDL_FreeCursor(inputState.colour);
  inputState.colour = cursor;
  return true;
}

void setDefaultCursor() {
  if (!SDL_WasInit(SDL_INIT_VIDEO)) return;
  SDL_SetCursor(SDL_GetDefaultCursor());
  if (inputState.colour) SDL_FreeCursor(inputState.colour);
  inputState.colour = nullptr;
}

void inhibitScreenSaver(bool on) {
  if (!SDL_WasInit(SDL_INIT_VIDEO)) return;
  if (on) SDL_DisableScreenSaver();
  else SDL_EnableScreenSaver();
}

bool setClipboardText(const std::string& utf8) {
  return SDL_WasInit(SDL_INIT_VIDEO) && SDL_SetClipboardText(utf8.c_str()) == 0;
}

void startTextInput() {
  if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_StartTextInput();
}

void stopTextInput() {
  if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_StopTextInput();
}

// SDL reports no scroll-lines setting; three lines per notch is every
// desktop's default.
int wheelScrollLines() { return 3; }

}  // namespace velmora::platform
