#pragma once
// Game controllers, hot-plugged, taken as the keys and mouse messages games
// already handle: d-pad and left stick the arrow keys, A Enter, B the right
// button, X Tab (skip), Y Shift (auto), the shoulders wheel notches (backlog),
// Start Alt (the menu bar); the right stick moves the pointer.
#include <string_view>

#include "platform/message.h"

union SDL_Event;

namespace velmora::platform {

// Opens the controller subsystem (pads then arrive as hot-plug events) or
// closes it with every pad. Off, nothing is polled for them.
void enableGamepads(bool on);
bool gamepadsEnabled();

// Reads the pads into controller events, hot-plugs included. SDL would do
// this on every look at the queue and, with a pad attached, would wake a
// waiting engine every millisecond; the engine calls it where it pumps.
void updateGamepads();
// A pad is open: waits wake now and then to read it.
bool gamepadsOpen();

// A controller event as a message; false when it makes none.
bool translateGamepad(const SDL_Event& e, WindowMessage& m);

// Scenario runs: a virtual pad, attached on first use, whose button (a, b,
// x, y, back, start, lb, rb, up, down, left, right) is pressed and released.
// False for an unknown name or with pads off.
bool pressVirtualPadButton(std::string_view name);
// Tilts the virtual pad's stick ("left" or "right") to x, y (-32768..32767;
// 0, 0 lets it go). False for an unknown stick or with pads off.
bool tiltVirtualPadStick(std::string_view stick, int x, int y);

}  // namespace velmora::platform
