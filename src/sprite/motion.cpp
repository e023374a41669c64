// Motion tracks: key queues per sprite and property kind, advanced from the
// wall clock so that motion does not depend on the frame rate.
#include <algorithm>
#include <cmath>
#include <string>

#include "base/report.h"
#include "base/settings.h"
#include "base/textconv.h"
#include "platform/platform.h"
#include "sprite/easing.h"
#include "sprite/messages.h"
#include "sprite/motion_internal.h"
#include "base/setting_words.h"

namespace velmora::sprite {

namespace {
MotionState motionState;

// The order the frame step visits kinds in; L has its own step.
constexpr int kStepOrder[] = {kTrackX, kTrackY, kTrackW, kTrackH, kTrackRX, kTrackRY,
                              kTrackRZ, kTrackA, kTrackC, kTrackM, kTrackS};

void writeSlot(Slot& s, int kind, float value, int second) {
  const float f = value / float(kindScale(kind));
  const int v = clampToInt(value);
  switch (kind) {
    case kTrackX: s.x = f; break;
    case kTrackY: s.y = f; break;
    case kTrackW: s.scaleW = f; break;
    case kTrackH: s.scaleH = f; break;
    case kTrackRX: s.rotX = f; break;
    case kTrackRY: s.rotY = f; break;
    case kTrackRZ: s.rotZ = f; break;
    case kTrackA:
      s.alpha = v & 255;
      setVertexAlpha(s);
      break;
    case kTrackL:
      s.frame = v & 255;
      buildVertices(s);
      break;
    case kTrackC: s.colour = 0xFF000000u | (uint32_t(v) & 0xFFFFFF); break;
    case kTrackM:
      if (second >= 0) s.maskReverse = second;
      s.maskProgress = v & 0x3FF;
      break;
    default: break;
  }
  s.dirty = true;
}

}  // namespace

int maskValue(int kind, int value) {
  switch (kind) {
    case kTrackA:
    case kTrackL: return value & 255;
    case kTrackC: return value & 0xFFFFFF;
    case kTrackM: return value & 0x3FF;
    default: return value;
  }
}

void endTrack(int n, int kind) {
  motionState.tracks[size_t(kind)].erase(n);
  Sprite& r = table().sprites[n];
  r.trackMask &= ~(1u << kind);
  r.currentKey[size_t(kind)] = nullptr;
}

KeyList::iterator currentOf(int n, int kind, KeyList& keys) {
  const TrackKey* cur = table().sprites[n].currentKey[size_t(kind)];
  for (auto it = keys.begin(); it != keys.end(); ++it)
    if (&*it == cur) return it;
  return keys.begin();
}

namespace {

void reportBadFlag(int n) { reportError(std::to_string(n) + messageText(Message::BadAddFlag)); }

// Mode 3: keys before the playing one go, the rest play once more each.
void changeLooping(int n, int kind, KeyList& keys, int repeat) {
  keys.erase(keys.begin(), currentOf(n, kind, keys));
  for (TrackKey& k : keys) k.flags = 1, k.repeat = repeat;
}

// Step 3 of adding a key: where it starts and what happens to the queue.
bool queueFrom(int n, int kind, TrackKey& key, int mode) {
  KeyList* keys = nullptr;
  auto found = motionState.tracks[size_t(kind)].find(n);
  if (found != motionState.tracks[size_t(kind)].end() && !found->second.empty()) keys = &found->second;
  const int op = mode & 15;
  if (!keys) {
    if ((op == 1 || op == 3) && !jumpLoading()) return reportBadFlag(n), false;
    key.from = propertyValue(n, kind);
    return true;
  }
  const TrackKey& last = keys->back();
  if (op == 0) {
    key.from = last.to;
    writeProperty(n, kind, float(last.to), last.second);
    endTrack(n, kind);
  } else if (op == 2) {
    key.from = propertyValue(n, kind);
    writeProperty(n, kind, float(key.from), -1);
    endTrack(n, kind);
  } else if (op == 3) {
    changeLooping(n, kind, *keys, key.repeat);
    key.from = keys->back().to;
  } else {
    key.from = last.to;
  }
  return true;
}

}  // namespace

MotionState& motion() { return motionState; }

void reportBadNumber(int n) { reportError(std::to_string(n) + messageText(Message::BadSpriteNumber)); }

int propertyValue(int n, int kind) {
  const Slot* s = backSlot(n);
  if (!s) s = frontSlot(n);
  if (!s) return 0;
  float f = 0;
  switch (kind) {
    case kTrackX: f = s->x; break;
    case kTrackY: f = s->y; break;
    case kTrackW: f = s->scaleW; break;
    case kTrackH: f = s->scaleH; break;
    case kTrackRX: f = s->rotX; break;
    case kTrackRY: f = s->rotY; break;
    case kTrackRZ: f = s->rotZ; break;
    case kTrackA: return s->alpha;
    case kTrackL: return s->frame;
    case kTrackC: return int(s->colour & 0xFFFFFF);
    case kTrackM: return s->maskProgress;
    default: return 0;
  }
  // Percentages are rounded: 0.29f must read back as 29, not 28.
  if (kindScale(kind) != 1) return clampToInt(std::round(f * float(kindScale(kind))));
  return clampToInt(f);
}

void writeProperty(int n, int kind, float value, int second) {
  for (int i = 0; i < 2; ++i)
    if (Slot* s = slot(n, i)) writeSlot(*s, kind, value, second);
}

bool addKey(int n, int kind, int value, int time, int easing, int mode, int second) {
  if (!validNumber(n)) return reportBadNumber(n), false;
  if (!frontSlot(n)) return reportNoPicture(n), false;
  TrackKey key;
  key.to = maskValue(kind, value);
  key.duration = time | kDurationFloorBit;
  key.easing = validEasing(easing) ? easing : 0;
  key.flags = (mode >> 4) & 15;
  key.repeat = (mode >> 8) & 15;
  key.second = second & 255;
  if (!queueFrom(n, kind, key, mode)) return false;
  Sprite& r = table().sprites[n];
  KeyList& keys = motionState.tracks[size_t(kind)][n];
  if (jumpLoading() && key.repeat != 0) {
    // Skipped motion lands at once; an emptied queue is no track at all.
    if (key.flags & 2) r.pending |= kPendingDelete;
    else writeProperty(n, kind, float(key.to), key.second);
    if (keys.empty()) endTrack(n, kind);
    return true;
  }
  r.endDelete |= key.flags & 2;
  r.trackMask |= 1u << kind;
  key.start = platform::nowMs();
  keys.push_back(key);
  if (keys.size() == 1) r.currentKey[size_t(kind)] = &keys.back();
  return true;
}

namespace {

}  // namespace

// After a key has played; false when the track ended.
bool advanceTrack(int n, int kind, KeyList& keys, uint32_t now) {
  Sprite& r = table().sprites[n];
  auto cur = currentOf(n, kind, keys);
  auto next = std::next(cur);
  int repeat = cur->repeat;
  if (next == keys.end()) {
    if (repeat == 1) {
      if (cur->flags & 2) r.pending |= kPendingDelete;
      endTrack(n, kind);
      return false;
    }
    next = keys.begin();
    next->start = now;
    if (repeat > 1) --repeat;  // 0 (endless) never counts down to the last pass
  } else if (int32_t(next->start - now) < 0) {
    next->start = now;
  }
  next->repeat = repeat;
  r.currentKey[size_t(kind)] = &*next;
  // The only key of a counted loop stays: it is what plays again.
  if ((cur->flags & 1) && next != cur) keys.erase(cur);
  return true;
}

namespace {

float easedValue(int kind, const TrackKey& k, int elapsed) {
  // Keys may span the whole int range: the change needs 33 bits.
  const int64_t change = int64_t(k.to) - k.from;
  if (isFloatKind(kind))
    return float(k.from) + easeFloat(k.easing, float(change), float(elapsed), float(k.duration));
  if (kind != kTrackC) return float(k.from + easeInt(k.easing, change, elapsed, k.duration));
  uint32_t out = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    const int a = (k.from >> shift) & 255, b = (k.to >> shift) & 255;
    out |= uint32_t((a + easeInt(k.easing, b - a, elapsed, k.duration)) & 255) << shift;
  }
  return float(out);
}

void stepKind(int n, int kind, KeyList& keys, uint32_t now) {
  if (kind == kTrackS) return stepSwitch(n, keys, now);
  const TrackKey& k = *currentOf(n, kind, keys);
  const int elapsed = std::max(0, int(int32_t(now - k.start)));
  if (elapsed < k.duration) {
    writeProperty(n, kind, easedValue(kind, k, elapsed), k.second);
    return;
  }
  writeProperty(n, kind, float(k.to), k.second);
  advanceTrack(n, kind, keys, now);
}

// Tracks of sprites that lost their picture are dropped with a report.
bool stepable(int n, int kind) {
  const Sprite& r = table().sprites[n];
  const Slot* front = frontSlot(n);
  const bool missing = !front || (kind != kTrackL && r.name[0] == 0 && !front->renderTarget);
  if (!missing) return true;
  reportError(std::to_string(n) + messageText(front ? Message::NoPictureForList2 : Message::NoPictureForList1));
  endTrack(n, kind);
  return false;
}

void stepTracks(uint32_t now) {
  for (int kind : kStepOrder) {
    auto& map = motionState.tracks[size_t(kind)];
    for (auto it = map.begin(); it != map.end();) {
      const int n = it->first;
      KeyList& keys = it->second;
      ++it;  // the step may end this track, never another
      if (keys.empty()) endTrack(n, kind);
      else if (stepable(n, kind)) stepKind(n, kind, keys, now);
    }
  }
}

// Frame animation: each key shows its frame for its duration.
int stepFrames(uint32_t now) {
  int changed = 0;
  auto& map = motionState.tracks[kTrackL];
  for (auto it = map.begin(); it != map.end();) {
    const int n = it->first;
    KeyList& keys = it->second;
    ++it;
    if (keys.empty() || !stepable(n, kTrackL)) continue;
    const TrackKey& k = *currentOf(n, kTrackL, keys);
    if (int32_t(now - k.start) >= k.duration && !advanceTrack(n, kTrackL, keys, now)) continue;
    const int target = currentOf(n, kTrackL, keys)->to;
    const Slot* front = frontSlot(n);
    if (front && front->frame != target) {
      writeProperty(n, kTrackL, float(target), -1);
      ++changed;
    }
  }
  return changed;
}

}  // namespace

bool anyTrack() {
  for (const auto& map : motionState.tracks)
    if (!map.empty()) return true;
  return false;
}

void motionFrameStep() {
  if (pausedWhileInactive()) return;
  const uint32_t now = platform::nowMs();
  stepQuakes(now);
  stepTracks(now);
}

bool motionTrackStep() {
  motionState.frameChanges = stepFrames(platform::nowMs());
  return motionState.frameChanges > 0 || anyTrack() || anyQuake();
}

int lastFrameChanges() { return motionState.frameChanges; }

void finishMotion(int n) {
  constexpr int kOrder[] = {kTrackX, kTrackY, kTrackW, kTrackH, kTrackRX, kTrackRY,
                            kTrackRZ, kTrackA, kTrackL, kTrackC, kTrackM, kTrackS};
  Sprite& r = table().sprites[n];
  for (int kind : kOrder) {
    auto it = motionState.tracks[size_t(kind)].find(n);
    if (it == motionState.tracks[size_t(kind)].end()) continue;
    if (!it->second.empty()) {
      const TrackKey& last = it->second.back();
      if (kind != kTrackS) writeProperty(n, kind, float(last.to), last.second);
      if (it->second.front().flags & 2) r.pending |= kPendingDelete;
    }
    endTrack(n, kind);
  }
  r.endDelete = 0;
  endSwitch(n);
}

void dropTracks(int n) {
  if (!validNumber(n)) return;
  for (int kind = 0; kind < kTrackKinds; ++kind) endTrack(n, kind);
  dropQuakes(n);
  dropSwitch(n);
}

void clearMotion() {
  for (auto& map : motionState.tracks) {
    for (const auto& [n, keys] : map) table().sprites[n].currentKey.fill(nullptr), table().sprites[n].trackMask = 0;
    map.clear();
  }
  while (!motionState.switching.empty()) dropSwitch(*motionState.switching.begin());
  for (int n : motionState.quaking) storeQuake(table().sprites[n], 0, {}), storeQuake(table().sprites[n], 1, {});
  motionState.quaking.clear();
  motionState.screen[0] = motionState.screen[1] = Quake{};
  motionState.screenTargets[0] = motionState.screenTargets[1] = 0;
  motionState.screenQuakeShown = false;
  motionState.suppressed = false;
  motionState.frameChanges = 0;
}

}  // namespace velmora::sprite
