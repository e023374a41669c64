#pragma once
// What the engine knows about the pointer and the keyboard between messages:
// the cursor position and key states follow the messages taken (so injected
// input behaves like a player's), plus the system's own cursor and screen
// services. Positions are window-client coordinates.
#include <cstdint>
#include <string>
#include <vector>

namespace velmora::platform {

// The client position of the pointer as of the last message taken or the
// last warp.
void clientCursor(int& x, int& y);
void setClientCursor(int x, int y);

// Key state by Windows virtual-key code: true while down (messages taken, or
// the system's keyboard state).
bool keyDown(int virtualKey);
void setKeyDown(int virtualKey, bool down);
// Mouse buttons held (1 left, 2 middle, 3 right) as of the last message.
bool mouseButtonDown(int button);
void setMouseButtonDown(int button, bool down);
// Forgets every tracked key and button (focus loss, tests).
void clearInputState();

// The system pointer: shown or hidden; a colour cursor from 0xAARRGGBB pixels
// (rows top to bottom) with its hot spot, or the default arrow.
void showCursor(bool shown);
bool setColourCursor(const std::vector<uint32_t>& pixels, int width, int height, int hotX, int hotY);
void setDefaultCursor();

// Keeps the screen saver and monitor power-down away while on.
void inhibitScreenSaver(bool on);
// Plain text (UTF-8) onto the clipboard; false when it cannot be opened.
bool setClipboardText(const std::string& utf8);
// Text entry for the engine's own edit fields.
void startTextInput();
void stopTextInput();

// Lines the wheel scrolls per notch as the system reports it (0 = unknown).
int wheelScrollLines();

}  // namespace velmora::platform
