#pragma once
// Synthetic input for scenario runs: real SDL events, so the engine takes
// them through the same paths as a player's.
#include <string>

namespace velmora::platform {

// Window-client coordinates; button 1 left, 2 middle, 3 right.
void pushMouseMove(int x, int y);
void pushMouseButton(int x, int y, int button, bool down);
void pushWheel(int notches);
// A Windows virtual-key code (13 Enter, 27 Esc, 'A' ...); false when unmapped.
bool pushKey(int virtualKey, bool down);
void pushDrop(const std::string& path);
// The window's close button.
void pushClose();
void pushQuit();

// Whether key, mouse or drop events wait in the queue, not yet taken.
bool inputPending();

}  // namespace velmora::platform
