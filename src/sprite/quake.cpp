// Screen and sprite quakes: offsets that swing along an easing curve for a
// number of periods, visited only while they run.
#include <cstring>
#include <iterator>

#include "sprite/easing.h"
#include "sprite/motion_internal.h"

namespace velmora::sprite {

namespace {

constexpr int kQuakeFields = 7;  // per axis in Sprite::quake

// In the last period the final quarter eases in and out, so the swing settles.
int settlingEasing(int easing) {
  if (easing >= -10 && easing <= -1) return 10 - easing;
  if (easing >= 1 && easing <= 10) return easing + 10;
  return easing;
}

float swing(int easing, float amplitude, int elapsed, int span) {
  return easeFloat(easing, amplitude, float(elapsed), float(span));
}

float halfPeriodSwing(const Quake& q, int d) {
  const int h = q.period / 2;
  const float a = float(q.amplitude);
  switch (d / h) {
    case 0: return swing(q.easing, a, d % h, h);
    case 1: return swing(q.easing, a, h - d % h, h);
    default: return 0;
  }
}

float quarterPeriodSwing(const Quake& q, int d) {
  const int p = q.period / 4;
  const float a = float(q.amplitude);
  switch (d / p) {
    case 0: return swing(q.easing, a, d % p, p);
    case 1: return swing(q.easing, a, p - d % p, p);
    case 2: return swing(q.easing, -a, d % p, p);
    case 3: return swing(q.count == 1 ? settlingEasing(q.easing) : q.easing, -a, p - d % p, p);
    default: return 0;
  }
}

// Which screen quakes reach a slot: screen sprites for bit 0, window-layer
// sprites (unless kept out with 0x02) for bit 1.
bool screenQuakeReaches(int targets, const Slot& s) {
  const uint32_t layer = s.loadFlags & (kLoadWindowLayer | kLoadWindowLayerQuake);
  if (layer == 0) return targets & 1;
  if (!(layer & kLoadWindowLayerQuake)) return targets & 2;
  return false;
}

void markFrontSlotsDirty() {
  for (int n = 0; n < kSpriteCount; ++n)
    if (Slot* s = frontSlot(n)) s->dirty = true;
}

}  // namespace

Quake loadQuake(const Sprite& r, int axis) {
  const int32_t* f = &r.quake[axis * kQuakeFields];
  Quake q;
  q.amplitude = f[0], q.period = f[1], q.count = f[2], q.easing = f[3], q.type = f[4];
  q.start = uint32_t(f[5]);
  std::memcpy(&q.offset, &f[6], sizeof q.offset);  // the browser's C++ library has no std::bit_cast
  return q;
}

void storeQuake(Sprite& r, int axis, const Quake& q) {
  int32_t* f = &r.quake[axis * kQuakeFields];
  f[0] = q.amplitude, f[1] = q.period, f[2] = q.count, f[3] = q.easing, f[4] = q.type;
  f[5] = int32_t(q.start);
  std::memcpy(&f[6], &q.offset, sizeof f[6]);
}

bool startQuake(Quake& q, int amplitude, int period, int count, int easing, int type, int delay, uint32_t now) {
  if (amplitude == 0 || period < 10 || (jumpLoading() && count != 0)) {
    q = Quake{};
    return false;
  }
  q.amplitude = amplitude;
  q.period = period;
  q.count = count;
  q.easing = validEasing(easing) ? easing : 0;
  q.type = type;
  q.start = now + uint32_t(delay);
  q.offset = 0;
  return true;
}

bool evaluateQuake(Quake& q, uint32_t now) {
  if (q.amplitude == 0) return false;
  const int d = int(int32_t(now - q.start));
  if (d < 0) return true;  // still delayed
  if (d >= q.period) {
    q.start = now;
    q.offset = 0;
    if (q.count == 1) {
      q = Quake{};
      return false;
    }
    if (q.count > 1) --q.count;
    return true;
  }
  q.offset = q.type == 0 ? halfPeriodSwing(q, d) : quarterPeriodSwing(q, d);
  return true;
}

void stepQuakes(uint32_t now) {
  MotionState& m = motion();
  // Both quakes step every frame, whichever is active.
  const bool first = evaluateQuake(m.screen[0], now);
  const bool second = evaluateQuake(m.screen[1], now);
  const bool screenActive = first || second;
  // Every targeted sprite moves with a screen quake, and once more to settle.
  if (screenActive || m.screenQuakeShown) markFrontSlotsDirty();
  m.screenQuakeShown = screenActive;
  for (auto it = m.quaking.begin(); it != m.quaking.end();) {
    Sprite& r = table().sprites[*it];
    Quake x = loadQuake(r, 0), y = loadQuake(r, 1);
    const bool xRuns = x.amplitude != 0 && evaluateQuake(x, now);
    const bool yRuns = evaluateQuake(y, now);
    storeQuake(r, 0, x);
    storeQuake(r, 1, y);
    if (Slot* s = frontSlot(*it)) s->dirty = true;
    it = (xRuns || yRuns) ? std::next(it) : m.quaking.erase(it);
  }
}

bool anyQuake() {
  const MotionState& m = motion();
  return !m.quaking.empty() || m.screen[0].amplitude != 0 || m.screen[1].amplitude != 0;
}

void dropQuakes(int n) {
  motion().quaking.erase(n);
  storeQuake(table().sprites[n], 0, Quake{});
  storeQuake(table().sprites[n], 1, Quake{});
}

bool quakeOffset(int n, const Slot& s, float& ox, float& oy) {
  const MotionState& m = motion();
  ox = oy = 0;
  if (m.suppressed) return false;
  bool present = false;
  if (validNumber(n) && m.quaking.count(n)) {
    const Sprite& r = table().sprites[n];
    ox += loadQuake(r, 0).offset;
    oy += loadQuake(r, 1).offset;
    present = true;
  }
  for (int axis = 0; axis < 2; ++axis) {
    const Quake& q = m.screen[axis];
    if (q.amplitude == 0 || !screenQuakeReaches(m.screenTargets[axis], s)) continue;
    (axis == 0 ? ox : oy) += q.offset;
    present = true;
  }
  return present;
}

void screenQuakeOffset(int target, float& ox, float& oy) {
  const MotionState& m = motion();
  float* out[2] = {&ox, &oy};
  for (int axis = 0; axis < 2; ++axis) {
    const Quake& q = m.screen[axis];
    const bool reaches = !m.suppressed && q.amplitude != 0 && (m.screenTargets[axis] & target);
    *out[axis] = reaches ? q.offset : 0;
  }
}

void setQuakeSuppressed(bool on) {
  if (motion().suppressed != on) markFrontSlotsDirty();
  motion().suppressed = on;
}

}  // namespace velmora::sprite
