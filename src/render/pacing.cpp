// Frame pacing: presents paced on the clock (the software wait, and the
// hardware wait where swaps turn out not to wait for the display), and the
// waits of frames that have nothing new to show.
#include "base/settings.h"
#include "platform/events.h"
#include "platform/platform.h"
#include "platform/vclock.h"
#include "render/internal.h"
#include "render/display_settings.h"

namespace velmora::render {
namespace {

// A display that names no rate is paced at 60 Hz: 1000 / 60 ms = 50 / 3.
constexpr int kFallbackPeriodP = 50, kFallbackPeriodQ = 3;
// This many swaps in a row, each sooner than three quarters of a period
// after the one before, and the swap is taken not to wait. A queue of
// swaps lets a few through early even where the display paces them.
constexpr int kQuickSwapsToDecide = 8;

struct SwapMeasure {
  int vsync = -1;  // the VSyncWait the measure belongs to, as stored
  bool waits = true;
  int quick = 0;
  uint32_t last = 0;
};
SwapMeasure swapMeasure;

SwapMeasure& measureFor(VSyncWait wait) {
  const int vsync = static_cast<int>(wait);
  if (swapMeasure.vsync != vsync) swapMeasure = SwapMeasure{}, swapMeasure.vsync = vsync;
  return swapMeasure;
}

// The frame period as P / Q ms: LimitFPS when set, else the display's rate.
bool framePeriod(int& p, int& q) {
  p = geometry().refreshP, q = geometry().refreshQ;
  if (frameRateLimit() > 0) p = frameInterval().numerator, q = frameInterval().denominator;
  return p > 0 && q > 0;
}

// Waits until one period has passed since the last frame; the carry keeps
// the average rate from drifting. With wakeOnInput an event that arrives
// first ends the wait: false, and the frame clock stays where it was.
bool awaitFrameDeadline(int p, int q, bool wakeOnInput) {
  DeviceState& d = device();
  if (d.carry > p) d.carry = 0;
  uint32_t now = platform::nowMs();
  while (static_cast<int64_t>(now - d.lastPresent) * q + d.carry < p) {
    const int64_t due = (p - d.carry + q - 1) / q;
    const auto remaining = static_cast<uint32_t>(due - static_cast<int64_t>(now - d.lastPresent));
    if (wakeOnInput) {
      if (platform::waitForInput(remaining)) return false;
    } else {
      platform::sleepMs(remaining);
    }
    now = platform::nowMs();
  }
  d.carry += static_cast<int64_t>(now - d.lastPresent) * q - p;
  d.lastPresent = now;
  return true;
}

void awaitIdleDeadline() {
  int p = 0, q = 0;
  if (!framePeriod(p, q)) p = kFallbackPeriodP, q = kFallbackPeriodQ;
  awaitFrameDeadline(p, q, true);
}

}  // namespace


bool frameClockUsable() { return platform::millisecondClock(); }

bool clockPacing() {
  const VSyncWait vsync = vsyncWait();
  if (pacedOnClock(vsync)) return device().caps.softwarePacing;
  return waitsInSwap(vsync) && !measureFor(vsync).waits;
}

void pace() {
  int p = 0, q = 0;
  if (clockPacing() && framePeriod(p, q)) awaitFrameDeadline(p, q, false);
}

void noteSwap() {
  const uint32_t now = platform::nowMs();
  const VSyncWait vsync = vsyncWait();
  SwapMeasure& m = measureFor(vsync);
  int p = 0, q = 0;
  if (waitsInSwap(vsync) && !pacedOnClock(vsync) && m.waits && !platform::virtualClock() && framePeriod(p, q)) {
    const bool quick = m.last != 0 && static_cast<int64_t>(now - m.last) * q * 4 < static_cast<int64_t>(p) * 3;
    m.quick = quick ? m.quick + 1 : 0;
    if (m.quick >= kQuickSwapsToDecide) m.waits = false;
  }
  m.last = now;
}

// On the virtual clock a held frame takes the time its present would have
// taken, so that such runs repeat what they did when every frame was shown.
void holdFrame() {
  if (platform::virtualClock()) return pace();
  awaitIdleDeadline();
}

void idleFrame() {
  if (platform::virtualClock()) return platform::sleepMs(1);
  awaitIdleDeadline();
}

void awaitInputForAFrame() {
  int p = 0, q = 0;
  if (!framePeriod(p, q)) p = kFallbackPeriodP, q = kFallbackPeriodQ;
  platform::waitForInput(static_cast<uint32_t>((p + q - 1) / q));
}

}  // namespace velmora::render
