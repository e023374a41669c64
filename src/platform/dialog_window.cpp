#include <SDL.h>

#include "platform/window.h"
#include "platform/sdl_windows.h"

namespace velmora::platform {
namespace {
SDL_Window* g_dialog = nullptr;
}

bool createDialogWindow(const std::string& titleUtf8, int width, int height, bool topmost) {
  if (g_dialog) return true;
#ifdef __EMSCRIPTEN__
  return false;  // the page has one canvas, the game's
#endif
  if (!SDL_WasInit(SDL_INIT_VIDEO) && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
  Uint32 flags = SDL_WINDOW_SHOWN;
  if (topmost) flags |= SDL_WINDOW_ALWAYS_ON_TOP;
  g_dialog = SDL_CreateWindow(titleUtf8.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width, height, flags);
  if (g_dialog) SDL_RaiseWindow(g_dialog);
  return g_dialog != nullptr;
}

void presentDialogWindow(const uint32_t* pixels, int width, int height) {
  if (!g_dialog) return;
  SDL_Surface* target = SDL_GetWindowSurface(g_dialog);
  if (!target) return;
  SDL_Surface* source = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint32_t*>(pixels), width, height, 32, width * 4,
                                                           SDL_PIXELFORMAT_ARGB8888);
  if (!source) return;
  SDL_BlitSurface(source, nullptr, target, nullptr);
  SDL_FreeSurface(source);
  SDL_UpdateWindowSurface(g_dialog);
}

void destroyDialogWindow() {
  if (g_dialog) SDL_DestroyWindow(g_dialog);
  g_dialog = nullptr;
}

SDL_Window* dialogWindowHandle() { return g_dialog; }

}  // namespace velmora::platform
