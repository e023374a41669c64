#pragma once
#include <string>
#include <vector>

#include "platform/message.h"

namespace velmora::platform {

// Takes the next event that means something to the engine, translated;
// false when the queue holds none.
bool pollMessage(WindowMessage& out);

// A termination signal (SIGTERM, SIGINT) arrived: safe to call from the
// signal handler. From then on every poll reports a quit message.
void noteQuitSignal(int signo);
int quitSignal();  // the signal's number, 0 before any

// The quit and close requests waiting in the queue, taken out of it; all
// other input stays queued, in order, for the game's own waits.
struct EndRequests {
  bool quit = false, close = false;
};
EndRequests takeEndRequests();

// Sleeps at most ms; true as soon as an event waits to be taken. Only when
// the engine read the queue since the last wait: a loop that never reads it
// sleeps the whole time.
bool waitForInput(uint32_t ms);

// How many times the window system lost the window's picture (shown,
// uncovered, resized): a frame after a new loss is presented in any case.
uint32_t windowExposures();

// Windows virtual-key code of an SDL keycode (0 when unmapped).
int virtualKeyOf(int sdlKeycode);

// Paths dropped on the window since the last call, in arrival order.
std::vector<std::string> takeDroppedFiles();

}  // namespace velmora::platform
