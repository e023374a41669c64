#pragma once
#include <string>
#include <vector>

#include "platform/message.h"

namespace velmora::platform {

// Takes the next event that means something to the engine, translated;
// false when the queue holds none.
bool pollMessage(WindowMessage& out);

// Windows virtual-key code of an SDL keycode (0 when unmapped).
int virtualKeyOf(int sdlKeycode);

// Paths dropped on the window since the last call, in arrival order.
std::vector<std::string> takeDroppedFiles();

}  // namespace velmora::platform
