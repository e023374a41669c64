#pragma once
// The message pump and timed wait that every waiting command shares.
#include <cstdint>

#include "platform/message.h"

namespace velmora {

// The one message record of the run; every loop reads messages into it.
WindowMessage& messageRecord();

// Takes at most one message without waiting. 1: none, or one was handled;
// 0: a quit message (the caller sets quitRequest).
int drainWindowMessages(WindowMessage& msg);

// The main window's procedure (PumpHooks); the default one only records
// close requests.
using WindowProcedure = void (*)(WindowMessage& msg);
void defaultWindowProcedure(WindowMessage& msg);

// A close request (close button) is pending until the script takes it: 1,
// or 2 when the window was minimised at the time; 0 for none.
bool closeRequestPending();
void setCloseRequestPending(bool pending);
int closeRequest();
void setCloseRequest(int value);

// Draws one frame of a timed effect: (a, elapsed ms, duration ms, c).
using FramePresenter = void (*)(int a, uint32_t elapsed, uint32_t duration, int c);

// What the pump reaches in higher layers; unset ones do nothing.
struct PumpHooks {
  FramePresenter presentFrame = nullptr;
  // Runs the scenario's directives that are due (before the queue is read).
  void (*pollScenario)() = nullptr;
  // Frames presented so far: a loop that presents none and takes no
  // messages leaves the scenario to the end-request looks.
  uint32_t (*framesPresented)() = nullptr;
  // Takes the messages the game does not see (unset: the default procedure).
  WindowProcedure windowProcedure = nullptr;
  // A modeless dialog that takes its own messages first (the Find box); true
  // when it took this one.
  bool (*dialogFilter)(WindowMessage& msg) = nullptr;
};
void installPumpHooks(const PumpHooks& hooks);
const PumpHooks& pumpHooks();

// Settings the timed wait obeys (EffectCancel and the wheel threshold).
struct WaitSettings {
  bool effectCancel = true;
  int wheelThreshold = 0;
};
WaitSettings& waitSettings();

void timedFrameWait(int a, uint32_t duration, int c);

// For loops that take no messages of their own (draw, the interpreter, Lua
// code): a quit message or signal sets quitRequest, a close request becomes
// pending; the game's other input stays queued. Cheap: it looks at most every
// few milliseconds. On the virtual clock a run that presents no frames and
// sleeps not at all for a while gets its time moved with the wall clock, so
// that a scenario's timed directives still come due.
void pollEndRequests();

}  // namespace velmora
