// Timed picture switches: the new picture waits in the other slot and fades
// in over the old one. With pixel shaders the draw code blends the two slots;
// without, the front slot shows a CPU blend that is redone only when the
// 0-256 progress changes.
#include <cstring>

#include "image/image.h"
#include "platform/platform.h"
#include "sprite/easing.h"
#include "sprite/motion_internal.h"

namespace velmora::sprite {

namespace {

constexpr uint32_t kPendingKeptBySwitch = 0x0F | 0xF00;

void copyName(char (&to)[128], const std::string& text) {
  const size_t n = std::min(text.size(), sizeof to - 1);
  std::memcpy(to, text.data(), n);
  to[n] = 0;
}

// The new picture into the other slot, placed like the one shown.
bool beginSwitch(int n, const TrackKey& k) {
  Sprite& r = table().sprites[n];
  Slot* front = frontSlot(n);
  Slot* other = backSlot(n);
  if (!front || !other) return false;
  int resolution = 1;
  image::Image* canvas = framedCanvas(n, k.path, uint32_t(k.second), k.from, k.to, resolution);
  if (!canvas) return false;
  releasePicture(*other);
  copyProperties(*other, *front);
  if (!attachPicture(*other, canvas, 1, resolution)) return false;
  other->loadFlags = uint32_t(k.second);
  buildVertices(*other);
  copyName(r.name, k.path);
  r.fontFace[0] = kKindFramed;
  r.pending = kPendingLinked;
  r.linked = 1;
  motion().switching.insert(n);
  return true;
}

// The old picture goes back into the front slot before the slots swap.
void restoreOriginal(int n) {
  auto it = motion().switchOriginal.find(n);
  if (it == motion().switchOriginal.end()) return;
  if (Slot* front = frontSlot(n)) {
    image::freeImage(front->picture);
    front->picture = it->second;
    front->upload |= kUploadPixels;
  } else {
    image::freeImage(it->second);
  }
  motion().switchOriginal.erase(it);
}

// False when a slot has no pixels to blend.
bool blendOnCpu(int n, int progress) {
  Slot* front = frontSlot(n);
  Slot* other = backSlot(n);
  auto it = motion().switchOriginal.find(n);
  // The front's picture is put aside and given back later: it must be its own.
  if (front && it == motion().switchOriginal.end() && !ownPicture(*front)) return false;
  image::Image* old = it != motion().switchOriginal.end() ? it->second : front ? front->picture : nullptr;
  if (!front || !other || !old || !other->picture || !old->pixels || !other->picture->pixels) return false;
  if (old->count != other->picture->count) return false;
  image::Image* mix = image::createImage(old->width, old->height, 32);
  if (!mix) return false;
  image::blendTwoImages(mix, old->pixels, other->picture->pixels, progress);
  if (it == motion().switchOriginal.end()) motion().switchOriginal[n] = old;
  else image::freeImage(front->picture);
  front->picture = mix;
  front->upload |= kUploadPixels;
  return true;
}

void showProgress(int n, TrackKey& k, int elapsed) {
  Sprite& r = table().sprites[n];
  const int p = int(int64_t(elapsed) * 256 / k.duration) | 1;
  if (p == r.linked) return;
  r.linked = p;
  if (motion().switchOnGpu || blendOnCpu(n, p)) return;
  k.duration = 0;  // nothing to blend: the switch lands at the next step
  r.linked = 0;
}

// The new picture takes the front; it keeps the alpha the sprite had.
void landSwitch(int n) {
  Sprite& r = table().sprites[n];
  restoreOriginal(n);
  const Slot* old = frontSlot(n);
  const int alpha = old ? old->alpha : 255;
  r.front ^= 1;
  r.pending &= kPendingKeptBySwitch;
  r.linked = 0;
  motion().switching.erase(n);
  if (Slot* now = frontSlot(n)) {
    now->alpha = alpha;
    setVertexAlpha(*now);
  }
}

}  // namespace

void stepSwitch(int n, KeyList& keys, uint32_t now) {
  const Sprite& r = table().sprites[n];
  TrackKey& k = *currentOf(n, kTrackS, keys);
  const int elapsed = int(int32_t(now - k.start));
  if (elapsed < 0 || r.endDelete || (r.pending & kPendingDelete)) return;
  if (!k.begun) {
    k.begun = true;
    if (!beginSwitch(n, k)) k.duration = 0;
  }
  if (elapsed < k.duration) return showProgress(n, k, elapsed);
  if (motion().switching.count(n)) landSwitch(n);
  advanceTrack(n, kTrackS, keys, now);
}

void endSwitch(int n) {
  if (!motion().switching.count(n)) return;
  Sprite& r = table().sprites[n];
  restoreOriginal(n);
  if (Slot* front = frontSlot(n)) releasePicture(*front);
  r.front ^= 1;
  r.pending &= kPendingDelete;  // a motion that ended in deletion still deletes
  r.linked = 0;
  motion().switching.erase(n);
}

void dropSwitch(int n) {
  auto it = motion().switchOriginal.find(n);
  if (it != motion().switchOriginal.end()) {
    // The front slot shows a blend it owns; the original is freed here.
    image::freeImage(it->second);
    motion().switchOriginal.erase(it);
  }
  motion().switching.erase(n);
}

void addSwitchKey(int n, const std::string& path, uint32_t flags, int w, int h, int time, int delay) {
  if (!validNumber(n)) return reportBadNumber(n);
  if (!frontSlot(n)) return reportNoPicture(n);
  TrackKey key;
  key.path = path;
  key.second = int(flags);
  key.from = w;
  key.to = h;
  key.duration = time | kDurationFloorBit;
  key.repeat = 1;
  key.start = platform::nowMs() + uint32_t(delay);
  Sprite& r = table().sprites[n];
  KeyList& keys = motion().tracks[kTrackS][n];
  keys.push_back(key);
  if (keys.size() == 1) r.currentKey[kTrackS] = &keys.back();
  r.trackMask |= 1u << kTrackS;
}

void setSwitchBlendOnGpu(bool on) { motion().switchOnGpu = on; }

}  // namespace velmora::sprite
