#pragma once
// Scenario runs: a small line-oriented script of timed input and checks that
// drives a game (usually headless, on the virtual clock) to a given state.
//
//   # comment
//   at 1500 click 640 360        at a time (ms since the run began) ...
//   at frame 90 key Enter        ... or at a presented frame
//   move 100 200                 without "at": runs after the line before it
//   wheel -1 | rclick X Y | drop PATH | wait 500
//   wait-text                    until the message window's page waiting for the
//                                player is fully shown (the text handler's endMessDraw)
//                                with no input left in the queue
//   wait-event                   until an event wait next polls with nothing pending
//                                and no input left in the queue
//                                (both count only what follows the line before)
//   screenshot NAME.png
//   expect-var %x 3 | expect-var $name "text"
//   expect-text "..."            the message text contains this (UTF-8)
//   quit
#include <cstdint>
#include <string>

namespace velmora::scenario {

struct Hooks {
  // Reads a variable reference; false when it names nothing.
  bool (*readVariable)(const std::string& reference, std::string& value) = nullptr;
  // The text the message window shows now (Shift_JIS).
  std::string (*currentText)() = nullptr;
  // Writes the current screen; false with a reason when it cannot.
  bool (*screenshot)(const std::string& path, std::string& error) = nullptr;
  // Logical-screen point to window-client point.
  void (*logicalToWindow)(int& x, int& y) = nullptr;
};
Hooks& hooks();

// Parses a scenario file; false with "file:line: message" on the first error.
bool load(const std::string& path, std::string& error);
// The --screenshot-at shorthand.
void addScreenshotAt(uint32_t ms, const std::string& path);
bool active();
// Real time (ms) one directive may wait for what the game must bring, beyond
// a time it names itself; past it the run fails and ends. 0: no limit.
constexpr uint32_t kDefaultTimeoutMs = 60000;
void setTimeout(uint32_t ms);

// Runs the directives that are due. Called by the message pump.
void poll();
void noteFrame();
uint32_t framesNoted();
void noteTextWait();
void noteIdleEventPoll();

// The script has ended: what is due now (checks of the final state) runs,
// before anything is released.
void runEnded();

// Reports directives never reached; the number of failed expectations
// (unreached expectations count) is the run's verdict.
int finish();

}  // namespace velmora::scenario
