// Time: the steady clock in milliseconds, or a virtual clock that advances only
// when the engine sleeps or presents frames, so that test runs repeat exactly.
#include <time.h>
#ifdef __EMSCRIPTEN__
#include <emscripten.h>
#include <emscripten/threading.h>
#endif

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "platform/platform.h"
#include "platform/threads.h"
#include "platform/vclock.h"

namespace velmora::platform {
namespace {
struct ClockState {
  std::atomic<bool> isVirtual{false};
  std::atomic<uint32_t> virtualNow{0};
  std::chrono::steady_clock::time_point origin = std::chrono::steady_clock::now();
  uint64_t pageTurns = 0;  // main thread only
};
ClockState clockState;
}  // namespace

uint32_t nowMs() {
  if (clockState.isVirtual.load(std::memory_order_relaxed)) return clockState.virtualNow.load(std::memory_order_relaxed);
  auto d = std::chrono::steady_clock::now() - clockState.origin;
  // Start away from zero so that "no time recorded yet" stays distinguishable.
  return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(d).count()) + 1000;
}

namespace {

void sleepOnce(uint32_t ms) {
#ifdef __EMSCRIPTEN__
  // The browser's main thread must not block: the script loop gives the
  // page its turn instead (Asyncify unwinds and resumes it).
  if (emscripten_is_main_browser_thread()) {
    notePageTurn();
    emscripten_sleep(ms);
    return;
  }
#endif
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace

void sleepMs(uint32_t ms) {
  if (clockState.isVirtual.load(std::memory_order_relaxed)) {
    advanceVirtualClock(ms);
    std::this_thread::yield();
    stepWorkers();
    return;
  }
  if (!singleThread()) return sleepOnce(ms);
  // The workers' steps come between slices of the sleep.
  for (uint32_t left = ms; left > 0;) {
    const uint32_t slice = std::min(left, stepWorkers());
    sleepOnce(slice);
    left -= slice;
  }
  stepWorkers();
}

bool millisecondClock() {
  if (clockState.isVirtual.load(std::memory_order_relaxed)) return true;
  timespec res{};
  return clock_getres(CLOCK_MONOTONIC, &res) == 0 && res.tv_sec == 0 && res.tv_nsec <= 1000000;
}

void setVirtualClock(bool on) {
  if (on) clockState.virtualNow.store(1000);
  clockState.isVirtual.store(on);
}
bool virtualClock() { return clockState.isVirtual.load(); }
uint64_t pageTurns() { return clockState.pageTurns; }
void notePageTurn() { ++clockState.pageTurns; }

void advanceVirtualClock(uint32_t ms) { clockState.virtualNow.fetch_add(ms ? ms : 1); }

}  // namespace velmora::platform
