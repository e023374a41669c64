#pragma once
// Platform-private: the SDL windows the other platform files need to see.
#include <SDL.h>

namespace velmora::platform {

// The window a message box belongs over: the main window once it is on
// screen, else the engine's own dialog window when shown, else none (the box
// is then centred on the first display, where the main window will open).
SDL_Window* boxOwnerWindow();
// The engine's dialog window and the main window, or null.
SDL_Window* dialogWindowHandle();
SDL_Window* mainWindowHandle();

// An event a second start sent through the instance socket: the dialog, or
// the main window once shown, is restored and raised. False for other events.
bool handlePoke(uint32_t eventType);

}  // namespace velmora::platform
