#include "platform/platform.h"

#include "platform/input.h"
#include "platform/sdl_windows.h"
#include "platform/window.h"

#include <SDL.h>
#include <unistd.h>
#ifdef __EMSCRIPTEN__
#include <emscripten.h>
#endif

#include <climits>

namespace velmora::platform {

bool init() {
  SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");  // a close is a request the script answers
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "0");
#ifdef __EMSCRIPTEN__
  // The engine gives the page its turn itself after a present, and counts
  // it; SDL's own turn in the swap came on top, a second unwind a frame.
  SDL_SetHint(SDL_HINT_EMSCRIPTEN_ASYNCIFY, "0");
#endif
  return SDL_Init(SDL_INIT_EVENTS | SDL_INIT_TIMER) == 0;
}

void shutdown() {
  // Dropped names still queued belong to the taker of their event, and
  // SDL_Quit drops the queue without freeing them.
  if (SDL_WasInit(SDL_INIT_EVENTS)) {
    SDL_Event e;
    while (SDL_PeepEvents(&e, 1, SDL_GETEVENT, SDL_DROPFILE, SDL_DROPTEXT) > 0) SDL_free(e.drop.file);
  }
  SDL_Quit();
}

void fileCommitted() {
#ifdef __EMSCRIPTEN__
  // The page's flushSaves copies the file system's /saves into IndexedDB.
  MAIN_THREAD_ASYNC_EM_ASM({
    if (Module.flushSaves) Module.flushSaves();
  });
#endif
}

void awaitPageFile(const std::string& path) {
#ifdef __EMSCRIPTEN__
  constexpr uint32_t kPollMs = 20;
  while (MAIN_THREAD_EM_ASM_INT({ return Module.fileArriving ? Module.fileArriving(UTF8ToString($0)) : 0; },
                                path.c_str()))
    sleepMs(kPollMs);
#else
  (void)path;
#endif
}

std::string executableFolder() {
  char buf[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof(buf) - 1);
  if (n <= 0) return {};
  std::string path(buf, static_cast<size_t>(n));
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(0, slash + 1);
}

int showMessageBox(BoxKind kind, const std::string& title, const std::string& text, const std::string& yesLabel,
                   const std::string& noLabel) {
  // Boxes work before the video subsystem is up; failing that (no display) the caller falls back.
  SDL_MessageBoxButtonData buttons[3];
  int count = 0;
  auto add = [&](int id, const char* label, Uint32 flags) { buttons[count++] = {flags, id, label}; };
  Uint32 flags = SDL_MESSAGEBOX_INFORMATION;
  switch (kind) {
    case BoxKind::Error:
      flags = SDL_MESSAGEBOX_ERROR;
      add(kAnswerOk, "OK", SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT);
      break;
    case BoxKind::Information:
      add(kAnswerOk, "OK", SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT);
      break;
    case BoxKind::YesNo:
      flags = SDL_MESSAGEBOX_WARNING;
      add(kAnswerYes, "Yes", SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT);
      add(kAnswerNo, "No", SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT);
      break;
    case BoxKind::YesNoCancel:
      flags = SDL_MESSAGEBOX_WARNING;
      add(kAnswerYes, yesLabel.empty() ? "Yes" : yesLabel.c_str(), SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT);
      add(kAnswerNo, noLabel.empty() ? "No" : noLabel.c_str(), 0);
      add(kAnswerCancel, "Cancel", SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT);
      break;
  }
  SDL_MessageBoxData data{};
  data.flags = flags;
  data.window = boxOwnerWindow();
  data.title = title.c_str();
  data.message = text.c_str();
  data.numbuttons = count;
  data.buttons = buttons;
  int pressed = -1;
  if (SDL_ShowMessageBox(&data, &pressed) != 0) return -1;
  if (pressed < 0) return kind == BoxKind::YesNo ? kAnswerNo : kind == BoxKind::YesNoCancel ? kAnswerCancel : kAnswerOk;
  return pressed;
}

// From the engine's record, so that injected input and warps on drivers that
// cannot warp agree with what the engine reports.
void cursorPosition(int& x, int& y) {
  clientCursor(x, y);
  int wx = 0, wy = 0;
  clientPosition(wx, wy);
  x += wx;
  y += wy;
}
void warpCursor(int x, int y) {
  // The engine's own record moves too: some video drivers cannot warp.
  int wx = 0, wy = 0;
  clientPosition(wx, wy);  // the glide thread calls this too: no thread-local current window
  setClientCursor(x - wx, y - wy);
  if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_WarpMouseGlobal(x, y);
}

void primaryDisplaySize(int& width, int& height) {
  width = 1920, height = 1080;
  if (!SDL_WasInit(SDL_INIT_VIDEO) && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return;
  SDL_Rect r;
  if (SDL_GetDisplayBounds(0, &r) == 0) width = r.w, height = r.h;
}

void monitorSize(int& width, int& height) {
  SDL_DisplayMode mode;
  SDL_Window* w = SDL_GL_GetCurrentWindow();
  int index = w ? SDL_GetWindowDisplayIndex(w) : 0;
  if (SDL_WasInit(SDL_INIT_VIDEO) && SDL_GetCurrentDisplayMode(index < 0 ? 0 : index, &mode) == 0) {
    width = mode.w;
    height = mode.h;
  } else {
    width = 1280;
    height = 720;
  }
}

}  // namespace velmora::platform
