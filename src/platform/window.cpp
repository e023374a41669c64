#include "platform/window.h"

#include "platform/platform.h"
#include "platform/sdl_windows.h"

#include <SDL.h>
#ifdef __EMSCRIPTEN__
#include <emscripten.h>
#endif

#include <cstdio>
#include <cstring>

namespace velmora::platform {
namespace {

struct WindowState {
  SDL_Window* window = nullptr;
  SDL_GLContext context = nullptr;
  bool exclusive = false;
  bool framePresented = false;
};
WindowState windowState;

bool videoUp(std::string& error) {
  if (SDL_WasInit(SDL_INIT_VIDEO)) return true;
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    error = SDL_GetError();
    return false;
  }
  return true;
}

int displayOfWindow() {
  int index = windowState.window ? SDL_GetWindowDisplayIndex(windowState.window) : 0;
  return index < 0 ? 0 : index;
}

}  // namespace

bool createMainWindow(const std::string& titleUtf8, bool sizing, std::string& error) {
  if (windowState.window) return true;
  if (!videoUp(error)) return false;
#ifdef __EMSCRIPTEN__
  // WebGL 2.
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 0);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_ES);
#else
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
#endif
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
  SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
  Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN | SDL_WINDOW_ALLOW_HIGHDPI;
  if (sizing && !kWindowIsCanvas) flags |= SDL_WINDOW_RESIZABLE;
  windowState.window = SDL_CreateWindow(titleUtf8.c_str(), 0, 0, 1, 1, flags);
  if (!windowState.window) {
    error = SDL_GetError();
    return false;
  }
  return true;
}

bool mainWindowExists() { return windowState.window != nullptr; }

namespace {
// Created hidden at 1 x 1 and shown by the display start: a box centred on
// it before then would sit half off the screen's top-left corner.
bool onScreen(SDL_Window* w) {
  if (!w) return false;
  const Uint32 flags = SDL_GetWindowFlags(w);
  int width = 0, height = 0;
  SDL_GetWindowSize(w, &width, &height);
  return (flags & SDL_WINDOW_SHOWN) && !(flags & (SDL_WINDOW_HIDDEN | SDL_WINDOW_MINIMIZED)) && width > 1 && height > 1;
}
}  // namespace

SDL_Window* mainWindowHandle() { return windowState.window; }

SDL_Window* boxOwnerWindow() {
  if (onScreen(windowState.window)) return windowState.window;
  SDL_Window* dialog = dialogWindowHandle();
  return onScreen(dialog) ? dialog : nullptr;
}

void destroyMainWindow() {
  destroyGLContext();
  if (windowState.exclusive) leaveExclusiveMode();
  if (windowState.window) SDL_DestroyWindow(windowState.window);
  windowState.window = nullptr;
}

void setMainWindowTitle(const std::string& titleUtf8) {
  if (windowState.window) SDL_SetWindowTitle(windowState.window, titleUtf8.c_str());
}

bool createGLContext(std::string& error) {
  if (windowState.context) return true;
  if (!windowState.window) {
    error = "no window";
    return false;
  }
  windowState.context = SDL_GL_CreateContext(windowState.window);
  if (!windowState.context) {
    error = SDL_GetError();
    return false;
  }
  SDL_GL_MakeCurrent(windowState.window, windowState.context);
  return true;
}

namespace {

// The drivers' own memory queries (values in KiB; the Mesa one in MiB).
constexpr int kNvxDedicatedVideoMemory = 0x9047;
constexpr int kAtiTextureFreeMemory = 0x87FC;
constexpr int kMesaRendererVideoMemory = 0x8187;

long askCurrentContext() {
  using GetIntegerv = void (*)(unsigned, int*);
  auto getIntegerv = reinterpret_cast<GetIntegerv>(SDL_GL_GetProcAddress("glGetIntegerv"));
  if (getIntegerv && SDL_GL_ExtensionSupported("GL_NVX_gpu_memory_info")) {
    int kib = 0;
    getIntegerv(kNvxDedicatedVideoMemory, &kib);
    if (kib > 0) return kib / 1024;
  }
  if (getIntegerv && SDL_GL_ExtensionSupported("GL_ATI_meminfo")) {
    int free[4] = {0, 0, 0, 0};
    getIntegerv(kAtiTextureFreeMemory, free);
    if (free[0] > 0) return free[0] / 1024;
  }
  // GLX only: an EGL context (headless) has no such query.
  const char* driver = SDL_GetCurrentVideoDriver();
  if (driver && std::strcmp(driver, "x11") == 0) {
    using QueryRenderer = int (*)(int, unsigned*);
    auto query = reinterpret_cast<QueryRenderer>(SDL_GL_GetProcAddress("glXQueryCurrentRendererIntegerMESA"));
    unsigned mib = 0;
    if (query && query(kMesaRendererVideoMemory, &mib) && mib > 0) return static_cast<long>(mib);
  }
  return -1;
}

}  // namespace

long videoMemoryMb() {
#ifdef __EMSCRIPTEN__
  // A page has one canvas: a probe window would take it over, and its
  // destruction unregisters the canvas's mouse and key handlers for good.
  return -1;
#endif
  std::string error;
  if (!videoUp(error)) return -1;
  SDL_Window* previousWindow = SDL_GL_GetCurrentWindow();
  SDL_GLContext previousContext = SDL_GL_GetCurrentContext();
  SDL_Window* probe = SDL_CreateWindow("", 0, 0, 1, 1, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
  if (!probe) return -1;
  long mib = -1;
  if (SDL_GLContext context = SDL_GL_CreateContext(probe)) {
    mib = askCurrentContext();
    SDL_GL_DeleteContext(context);
  }
  SDL_DestroyWindow(probe);
  if (previousContext) SDL_GL_MakeCurrent(previousWindow, previousContext);
  return mib;
}

void destroyGLContext() {
  if (windowState.context) SDL_GL_DeleteContext(windowState.context);
  windowState.context = nullptr;
}

void swapMainWindow() {
  if (windowState.window && windowState.context) SDL_GL_SwapWindow(windowState.window);
#ifdef __EMSCRIPTEN__
  // The page's start-up measure (the browser test reads it).
  if (!windowState.framePresented) {
    windowState.framePresented = true;
    EM_ASM({ Module.firstFrameAt = performance.now(); });
  }
  // The page shows a frame only when the engine hands the browser its turn.
  notePageTurn();
  emscripten_sleep(0);
#endif
}

bool setSwapInterval(int interval) { return windowState.context && SDL_GL_SetSwapInterval(interval) == 0; }

bool mainWindowMonitor(MonitorInfo& out) {
  if (!SDL_WasInit(SDL_INIT_VIDEO)) return false;
  const int index = displayOfWindow();
  SDL_Rect r;
  if (SDL_GetDisplayBounds(index, &r) != 0) return false;
  out.left = r.x, out.top = r.y, out.width = r.w, out.height = r.h;
  SDL_DisplayMode mode;
  // The desktop mode, not a kind-0 mode in force, decides the refresh rate.
  if (SDL_GetDesktopDisplayMode(index, &mode) == 0) {
    out.refreshHz = mode.refresh_rate;
    out.bitsPerPixel = static_cast<int>(SDL_BITSPERPIXEL(mode.format));
  }
  if (SDL_GetCurrentDisplayMode(index, &mode) == 0) out.bitsPerPixel = static_cast<int>(SDL_BITSPERPIXEL(mode.format));
  return true;
}

void windowBorders(int& left, int& top, int& right, int& bottom) {
  left = top = right = bottom = 0;
  if (windowState.window) SDL_GetWindowBordersSize(windowState.window, &top, &left, &bottom, &right);
}

void clientPosition(int& x, int& y) {
  x = y = 0;
  if (windowState.window) SDL_GetWindowPosition(windowState.window, &x, &y);
}

void clientSize(int& w, int& h) {
  w = h = 0;
  if (windowState.window) SDL_GetWindowSize(windowState.window, &w, &h);
}

void drawableSize(int& w, int& h) {
  w = h = 0;
  if (windowState.window) SDL_GL_GetDrawableSize(windowState.window, &w, &h);
}

void placeWindow(int x, int y, int w, int h) {
  if (!windowState.window) return;
  SDL_SetWindowSize(windowState.window, w > 0 ? w : 1, h > 0 ? h : 1);
  SDL_SetWindowPosition(windowState.window, x, y);
}

void setWindowSizing(bool sizing) {
  if (windowState.window) SDL_SetWindowResizable(windowState.window, sizing ? SDL_TRUE : SDL_FALSE);
}

void setBorderless(bool borderless) {
  if (windowState.window) SDL_SetWindowBordered(windowState.window, borderless ? SDL_FALSE : SDL_TRUE);
}

void setTopmost(bool topmost) {
  if (windowState.window) SDL_SetWindowAlwaysOnTop(windowState.window, topmost ? SDL_TRUE : SDL_FALSE);
}

void setSizeLimits(int minW, int minH, int maxW, int maxH) {
  if (!windowState.window) return;
  if (minW > 0 && minH > 0) SDL_SetWindowMinimumSize(windowState.window, minW, minH);
  if (maxW > 0 && maxH > 0) SDL_SetWindowMaximumSize(windowState.window, maxW, maxH);
}

void showMainWindow() {
  if (windowState.window) SDL_ShowWindow(windowState.window);
}

void minimiseMainWindow() {
  if (windowState.window) SDL_MinimizeWindow(windowState.window);
}

bool windowMaximised() { return windowState.window && (SDL_GetWindowFlags(windowState.window) & SDL_WINDOW_MAXIMIZED); }
bool windowMinimised() { return windowState.window && (SDL_GetWindowFlags(windowState.window) & SDL_WINDOW_MINIMIZED); }

bool enterExclusiveMode(int w, int h) {
  if (!windowState.window) return false;
  const int index = displayOfWindow();
  const int n = SDL_GetNumDisplayModes(index);
  for (int i = 0; i < n; ++i) {
    SDL_DisplayMode m;
    if (SDL_GetDisplayMode(index, i, &m) != 0 || m.w != w || m.h != h) continue;
    if (SDL_SetWindowDisplayMode(windowState.window, &m) != 0) return false;
    if (SDL_SetWindowFullscreen(windowState.window, SDL_WINDOW_FULLSCREEN) != 0) return false;
    windowState.exclusive = true;
    return true;
  }
  return false;
}

void leaveExclusiveMode() {
  if (windowState.window && windowState.exclusive) SDL_SetWindowFullscreen(windowState.window, 0);
  windowState.exclusive = false;
}

bool inExclusiveMode() { return windowState.exclusive; }

}  // namespace velmora::platform
