// The motion commands: keys for every track kind, finishing, the motion
// query, sprite and screen quakes and the motion-blur switch.
#include "bindings/bridge.h"
#include "base/report.h"
#include "platform/platform.h"
#include "sprite/motion_internal.h"

namespace velmora::sprite {

namespace {

using bindings::CommandContext;
using bindings::intArg;

// RZ keys are stored negated; INT_MIN has no negation and saturates.
int negated(int v) { return v == INT_MIN ? INT_MAX : -v; }

// One kind: n, value, time, easing, mode.
template <int Kind>
void addOne(CommandContext c) {
  const int value = intArg(c, 2);
  addKey(intArg(c, 1), Kind, Kind == kTrackRZ ? negated(value) : value, intArg(c, 3), intArg(c, 4), intArg(c, 5));
}

void cmd_sp_ax(CommandContext c) { addOne<kTrackX>(c); }
void cmd_sp_ay(CommandContext c) { addOne<kTrackY>(c); }
void cmd_sp_aw(CommandContext c) { addOne<kTrackW>(c); }
void cmd_sp_ah(CommandContext c) { addOne<kTrackH>(c); }
void cmd_sp_arx(CommandContext c) { addOne<kTrackRX>(c); }
void cmd_sp_ary(CommandContext c) { addOne<kTrackRY>(c); }
void cmd_sp_arz(CommandContext c) { addOne<kTrackRZ>(c); }
void cmd_sp_aa(CommandContext c) { addOne<kTrackA>(c); }
void cmd_sp_al(CommandContext c) { addOne<kTrackL>(c); }
void cmd_sp_ac(CommandContext c) { addOne<kTrackC>(c); }

// Several kinds with one time, easing and mode; the first refusal stops the rest.
void addSeveral(CommandContext c, std::initializer_list<int> kinds) {
  const int n = intArg(c, 1);
  const int count = int(kinds.size());
  int values[3] = {};
  for (int i = 0; i < count; ++i) values[i] = intArg(c, 2 + i);
  const int time = intArg(c, 2 + count), easing = intArg(c, 3 + count), mode = intArg(c, 4 + count);
  int i = 0;
  for (int kind : kinds) {
    const int v = kind == kTrackRZ ? negated(values[i]) : values[i];
    ++i;
    if (!addKey(n, kind, v, time, easing, mode)) return;
  }
}

void cmd_sp_axy(CommandContext c) { addSeveral(c, {kTrackX, kTrackY}); }
void cmd_sp_awh(CommandContext c) { addSeveral(c, {kTrackW, kTrackH}); }
void cmd_sp_arxyz(CommandContext c) { addSeveral(c, {kTrackRX, kTrackRY, kTrackRZ}); }
void cmd_sp_axya(CommandContext c) { addSeveral(c, {kTrackX, kTrackY, kTrackA}); }

void cmd_sp_am(CommandContext c) {
  const int n = intArg(c, 1), reverse = intArg(c, 2), progress = intArg(c, 3);
  addKey(n, kTrackM, progress & 1023, intArg(c, 4), intArg(c, 5), intArg(c, 6), reverse & 255);
}

void cmd_sp_ae(CommandContext c) {
  const int n = intArg(c, 1);
  if (!validNumber(n)) return reportBadNumber(n);
  finishMotion(n);
}

}  // namespace

void finishSpriteMotion(int n) {
  if (validNumber(n)) finishMotion(n);
}

namespace {

void cmd_sp_alv(CommandContext c) {
  int first = intArg(c, 1), last = intArg(c, 2);
  first = std::max(first, 0);
  last = std::min(last, kSpriteCount - 1);
  uint32_t moving = 0;
  for (int n = first; n <= last; ++n) {
    const Sprite& r = table().sprites[n];
    moving |= r.trackMask;
    if (spriteMoviePlaying(n)) moving |= 1;
  }
  bindings::intResult(c, 3, int32_t(moving));
}

// n / targets, amplitude, period, count, easing, type, delay.
struct QuakeArgs {
  int who, amplitude, period, count, easing, type, delay;
};
QuakeArgs quakeArgs(CommandContext c) {
  return {intArg(c, 1), intArg(c, 2), intArg(c, 3), intArg(c, 4), intArg(c, 5), intArg(c, 6), intArg(c, 7)};
}

void spriteQuake(CommandContext c, int axis) {
  const QuakeArgs a = quakeArgs(c);
  if (!validNumber(a.who)) return reportBadNumber(a.who);
  if (!frontSlot(a.who)) return reportNoPicture(a.who);
  Sprite& r = table().sprites[a.who];
  Quake q;
  startQuake(q, a.amplitude, a.period, a.count, a.easing, a.type, a.delay, platform::nowMs());
  storeQuake(r, axis, q);
  const bool other = loadQuake(r, axis ^ 1).amplitude != 0;
  if (q.amplitude != 0 || other) motion().quaking.insert(a.who);
  else motion().quaking.erase(a.who);
  if (Slot* s = frontSlot(a.who)) s->dirty = true;
}

void screenQuake(CommandContext c, int axis) {
  const QuakeArgs a = quakeArgs(c);
  MotionState& m = motion();
  startQuake(m.screen[axis], a.amplitude, a.period, a.count, a.easing, a.type, a.delay, platform::nowMs());
  m.screenTargets[axis] = a.who;
  m.screenQuakeShown = true;  // the next frame puts every sprite back or in motion
}

void cmd_sp_qx(CommandContext c) { spriteQuake(c, 0); }
void cmd_sp_qy(CommandContext c) { spriteQuake(c, 1); }
void cmd_sc_qx(CommandContext c) { screenQuake(c, 0); }
void cmd_sc_qy(CommandContext c) { screenQuake(c, 1); }

void cmd_sc_mb(CommandContext c) {
  const int on = intArg(c, 1), strength = intArg(c, 2);
  if (spriteHooks().motionBlur) spriteHooks().motionBlur(on != 0, strength & 255);
}

const bindings::CoreBinding kMotionCores[] = {
    {"sp_ax", cmd_sp_ax},       {"sp_ay", cmd_sp_ay},   {"sp_axy", cmd_sp_axy}, {"sp_aa", cmd_sp_aa},
    {"sp_axya", cmd_sp_axya},   {"sp_aw", cmd_sp_aw},   {"sp_ah", cmd_sp_ah},   {"sp_awh", cmd_sp_awh},
    {"sp_arx", cmd_sp_arx},     {"sp_ary", cmd_sp_ary}, {"sp_arz", cmd_sp_arz}, {"sp_arxyz", cmd_sp_arxyz},
    {"sp_al", cmd_sp_al},       {"sp_ac", cmd_sp_ac},   {"sp_am", cmd_sp_am},   {"sp_ae", cmd_sp_ae},
    {"sp_alv", cmd_sp_alv},     {"sp_qx", cmd_sp_qx},   {"sp_qy", cmd_sp_qy},   {"sc_qx", cmd_sc_qx},
    {"sc_qy", cmd_sc_qy},       {"sc_mb", cmd_sc_mb},
};

// Property commands retarget the last key, so a glide ends where they said.
void retargetHook(int n, int kind, float value) {
  auto it = motion().tracks[size_t(kind)].find(n);
  if (it == motion().tracks[size_t(kind)].end() || it->second.empty()) return;
  int v = clampToInt(value);
  if (kind == kTrackA || kind == kTrackL) v &= 255;
  if (kind == kTrackC) v &= 0xFFFFFF;
  if (kind == kTrackM) v &= 0x3FF;
  it->second.back().to = v;
}

bool finalValueHook(int n, int kind, float& value) {
  auto it = motion().tracks[size_t(kind)].find(n);
  if (it == motion().tracks[size_t(kind)].end() || it->second.empty()) return false;
  value = float(it->second.back().to);
  return true;
}

}  // namespace


void bindMotionCoresAndTracks() {
  bindings::bindCores(kMotionCores);
  MotionHooks hooks;
  hooks.dropTracks = dropTracks;
  hooks.retarget = retargetHook;
  hooks.finalValue = finalValueHook;
  setMotionHooks(hooks);
}

}  // namespace velmora::sprite
