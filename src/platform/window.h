#pragma once
// The main window and its OpenGL context. Sizes are client sizes; positions
// are desktop coordinates of the client area unless a name says "outer".
#include <cstdint>
#include <string>
#include <vector>

namespace velmora::platform {

// In the browser the main window is the page's canvas: always the game's
// screen size and never a menu strip; neither a saved window size nor the
// browser's screen size shrinks it.
#ifdef __EMSCRIPTEN__
constexpr bool kWindowIsCanvas = true;
#else
constexpr bool kWindowIsCanvas = false;
#endif

// Brings up the video subsystem (once) and creates the hidden, GL-capable
// main window. False with the SDL error in error.
bool createMainWindow(const std::string& titleUtf8, bool sizing, std::string& error);
bool mainWindowExists();
void destroyMainWindow();
void setMainWindowTitle(const std::string& titleUtf8);

// A 3.3 core context on the main window (made current). False with the error.
bool createGLContext(std::string& error);
void destroyGLContext();
void swapMainWindow();
bool setSwapInterval(int interval);

// Video memory in MiB as the GL driver reports it, asked through a
// short-lived hidden context (the current one is kept); -1 when the driver
// does not say.
long videoMemoryMb();

struct MonitorInfo {
  int left = 0, top = 0, width = 0, height = 0;
  int refreshHz = 0;
  int bitsPerPixel = 32;
};
// The monitor nearest to the main window (the first one without a window).
bool mainWindowMonitor(MonitorInfo& out);

// Decoration thicknesses around the client area (0 where the window system
// gives none, e.g. headless).
void windowBorders(int& left, int& top, int& right, int& bottom);
void clientPosition(int& x, int& y);
void clientSize(int& w, int& h);
void drawableSize(int& w, int& h);

void placeWindow(int x, int y, int w, int h);
void setWindowSizing(bool sizing);
void setBorderless(bool borderless);
void setTopmost(bool topmost);
void setSizeLimits(int minW, int minH, int maxW, int maxH);
void showMainWindow();
void minimiseMainWindow();
bool windowMaximised();
bool windowMinimised();

// Kind-0 full screen: a real mode change to w x h when the monitor offers it
// (true), else false and nothing changed.
bool enterExclusiveMode(int w, int h);
void leaveExclusiveMode();
bool inExclusiveMode();

// One process per key and user session (the user and the display): a lock
// file in the user's runtime folder (else /tmp/velmora-UID). False when
// another process holds it. Taking a new key releases the old one; the holder
// listens on a local socket beside it for pokeInstance.
bool takeInstanceLock(const std::string& key);
bool instanceLockHeldElsewhere(const std::string& key);
// True once a take failed because another running copy held the lock: this
// copy then leaves the files it shares with that one alone.
bool instanceLockLost();
// Asks the holder of the key to restore and raise its window; false when no
// holder answered.
bool pokeInstance(const std::string& key);
// The lock on the key's save files, which windowed runs take beside the
// instance lock and headless runs alone. False when another process holds it.
bool takeSaveFilesLock(const std::string& key);
// Both locks, and the socket.
void releaseInstanceLock();

}  // namespace velmora::platform

namespace velmora::platform {

// A plain window for the engine's own dialogs (no GL): shown centred on the
// display that holds the main window, its client filled from 0xAARRGGBB
// pixels. One at a time.
bool createDialogWindow(const std::string& titleUtf8, int width, int height, bool topmost);
void presentDialogWindow(const uint32_t* pixels, int width, int height);
void destroyDialogWindow();

}  // namespace velmora::platform
