#include "base/pump.h"

#include <chrono>

#include "base/state.h"
#include "platform/events.h"
#include "platform/platform.h"
#include "platform/threads.h"
#include "platform/vclock.h"

namespace velmora {

void defaultWindowProcedure(WindowMessage& msg) {
  if (msg.message == kMsgClose) setCloseRequestPending(true);
}

namespace {

// How often a busy loop looks at the queue, and how long the virtual clock
// may stand still (across at least kStalledPolls looks) before it follows the
// wall clock: long enough that no ordinary stretch of script between two
// frames reaches it, so repeatable runs stay repeatable.
constexpr std::chrono::milliseconds kEndPollInterval{5};
constexpr std::chrono::milliseconds kClockStall{250};
constexpr int kStalledPolls = 8;

using WallClock = std::chrono::steady_clock;

struct BusyLoopState {
  WallClock::time_point lastPoll{};
  uint32_t drains = 0, drainsSeen = 0;  // messages looked for, by the waits
  uint32_t framesSeen = 0;
  WallClock::time_point idleSince{};  // since when neither happened
  int idleLooks = 0;
  WallClock::time_point stillSince{};  // when the virtual clock last moved
  uint32_t lastVirtual = 0;
  int stalledPolls = 0;
};

struct PumpState {
  WindowMessage record;
  PumpHooks hooks;
  WaitSettings settings;
  int closeRequest = 0;
  BusyLoopState busy;
};
PumpState pumpState;

void windowProcedure(WindowMessage& msg) {
  (pumpState.hooks.windowProcedure ? pumpState.hooks.windowProcedure : defaultWindowProcedure)(msg);
}

// Enter, Ctrl or a left click cut a running effect short.
bool endsEffect(const WindowMessage& m) {
  if (m.message == kMsgKeyDown && (m.code == kVkEnter || m.code == kVkCtrl)) return true;
  return m.message == kMsgLeftUp;
}

void followWallClock(WallClock::time_point now) {
  BusyLoopState& b = pumpState.busy;
  const uint32_t virtualNow = platform::nowMs();
  if (virtualNow != b.lastVirtual || b.stalledPolls == 0) {
    b.lastVirtual = virtualNow;
    b.stillSince = now;
    b.stalledPolls = 1;
    return;
  }
  const auto still = std::chrono::duration_cast<std::chrono::milliseconds>(now - b.stillSince);
  if (++b.stalledPolls < kStalledPolls || still < kClockStall) return;
  platform::advanceVirtualClock(static_cast<uint32_t>(still.count()));
  b.lastVirtual = platform::nowMs();
  b.stillSince = now;
}

void pollScenario() {
  if (pumpState.hooks.pollScenario) pumpState.hooks.pollScenario();
}

// A loop that has neither presented a frame nor taken a message for a
// while leaves the scenario's directives to these looks.
void pollScenarioIfNobodyDoes(WallClock::time_point now) {
  BusyLoopState& b = pumpState.busy;
  const uint32_t frames = pumpState.hooks.framesPresented ? pumpState.hooks.framesPresented() : 0;
  if (frames != b.framesSeen || b.drains != b.drainsSeen || b.idleLooks == 0) {
    b.framesSeen = frames;
    b.drainsSeen = b.drains;
    b.idleSince = now;
    b.idleLooks = 1;
    return;
  }
  if (++b.idleLooks >= kStalledPolls && now - b.idleSince >= kClockStall) pollScenario();
}

}  // namespace

WindowMessage& messageRecord() { return pumpState.record; }

int drainWindowMessages(WindowMessage& msg) {
  ++pumpState.busy.drains;
  pollScenario();  // a scenario's input is due before the queue is read
  if (!platform::pollMessage(msg)) return 1;
  if (pumpState.hooks.dialogFilter && pumpState.hooks.dialogFilter(msg)) {
    msg.message = kMsgNone;  // the dialog's message is not the game's
    return 1;
  }
  if (msg.message == kMsgQuit) return 0;
  windowProcedure(msg);
  return 1;
}

bool closeRequestPending() { return pumpState.closeRequest != 0; }
void setCloseRequestPending(bool pending) { pumpState.closeRequest = pending ? 1 : 0; }
int closeRequest() { return pumpState.closeRequest; }
void setCloseRequest(int value) { pumpState.closeRequest = value; }
void installPumpHooks(const PumpHooks& hooks) { pumpState.hooks = hooks; }
const PumpHooks& pumpHooks() { return pumpState.hooks; }
WaitSettings& waitSettings() { return pumpState.settings; }

void timedFrameWait(int a, uint32_t duration, int c) {
  WindowMessage& msg = pumpState.record;
  const uint32_t start = platform::nowMs();
  uint32_t elapsed = 0;
  int wheelSum = 0;
  while (elapsed < duration) {
    if (drainWindowMessages(msg) == 0) {
      quitRequest = 1;
      return;
    }
    if (pumpState.closeRequest) break;
    if (pumpState.settings.effectCancel) {
      if (endsEffect(msg)) break;
      // Each wheel message counts once: a notch must not reach the threshold
      // by being seen again on passes that took no new message.
      if (msg.message == kMsgWheel && pumpState.settings.wheelThreshold != 0) {
        wheelSum += wheelDelta(msg);
        if (wheelSum <= -pumpState.settings.wheelThreshold) return;
        if (wheelSum >= pumpState.settings.wheelThreshold) wheelSum = 0;
        msg.message = kMsgNone;
      }
    }
    if (pumpState.hooks.presentFrame) pumpState.hooks.presentFrame(a, elapsed, duration, c);
    elapsed = platform::nowMs() - start;
  }
  msg.message = kMsgNone;
}

void pollEndRequests() {
  const WallClock::time_point now = WallClock::now();
  if (now - pumpState.busy.lastPoll < kEndPollInterval && !platform::quitSignal()) return;
  pumpState.busy.lastPoll = now;
  platform::stepWorkers();  // a long stretch of script keeps the sound going
  if (platform::virtualClock()) followWallClock(now);
  pollScenarioIfNobodyDoes(now);
  const platform::EndRequests r = platform::takeEndRequests();
  if (r.close) {
    WindowMessage close{};
    close.message = kMsgClose;
    windowProcedure(close);
  }
  if (r.quit) {
    pumpState.record = WindowMessage{};
    pumpState.record.message = kMsgQuit;
    quitRequest = 1;
  }
}

}  // namespace velmora
