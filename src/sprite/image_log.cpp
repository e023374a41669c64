// The image records a backlog entry keeps: one per visible sprite, in the
// order the frame draws them, so the scene can be rebuilt later.
#include <cmath>
#include <cstring>

#include "sprite/internal.h"
#include "sprite/sprite.h"

namespace velmora::sprite {
namespace {

constexpr size_t kRecordBytes = 192;

void put16(uint8_t* r, size_t at, int v) {
  const uint16_t u = static_cast<uint16_t>(v);
  std::memcpy(r + at, &u, 2);
}
void put32(uint8_t* r, size_t at, uint32_t v) { std::memcpy(r + at, &v, 4); }

void copyText(uint8_t* r, const char* text) {
  std::strncpy(reinterpret_cast<char*>(r), text, 63);
  r[63] = 0;
}

// The value a running track heads for, else the slot's own.
float target(int n, int kind, float own) {
  float v = own;
  const MotionHooks& m = table().motion;
  if ((table().sprites[n].trackMask & (1u << kind)) && m.finalValue && m.finalValue(n, kind, v)) return v;
  return own;
}

bool recordable(int n, const Slot* s) {
  const Sprite& r = table().sprites[n];
  if (!s || s->alpha == 0 || (s->loadFlags & (kLoadWindowLayer | kLoadWindowLayerQuake))) return false;
  if (r.linked != 0 || (r.pending & kPendingDelete)) return false;
  // Movies are not kept: their pictures change while they play.
  if (r.fontFace[0] == kKindMovie) return false;
  return true;
}

void fill(uint8_t* rec, int n, const Slot& s) {
  const Sprite& r = table().sprites[n];
  std::memset(rec, 0, kRecordBytes);
  copyText(rec, s.renderTarget ? "a" : r.name);
  copyText(rec + 64, r.maskName);
  // Scripts and saves can place a sprite beyond int: such values saturate.
  put16(rec, 128, clampToInt(target(n, kTrackX, s.x)));
  put16(rec, 130, clampToInt(target(n, kTrackY, s.y)));
  const bool trackedW = r.trackMask & (1u << kTrackW), trackedH = r.trackMask & (1u << kTrackH);
  put16(rec, 132, clampToInt(trackedW ? target(n, kTrackW, 0) : s.scaleW * 100 + 0.5f));
  put16(rec, 134, clampToInt(trackedH ? target(n, kTrackH, 0) : s.scaleH * 100 + 0.5f));
  put16(rec, 136, clampToInt(-target(n, kTrackRZ, s.rotZ)));
  put16(rec, 138, r.cutX);
  put16(rec, 140, r.cutY);
  put16(rec, 142, r.cutW);
  put16(rec, 144, r.cutH);
  int cw = 0, ch = 0;
  if (r.fontFace[0] == kKindRenderTarget) {
    cw = s.imageWidth, ch = s.imageHeight;
  } else if (r.fontFace[0] == kKindFramed) {
    cw = s.width, ch = s.height;
    if (s.resolution == 2 && table().screen.pictureRatio > 0) {
      cw = int(float(cw) / table().screen.pictureRatio);
      ch = int(float(ch) / table().screen.pictureRatio);
    }
  }
  put16(rec, 146, (clampToInt(s.originX) & 3) | (cw << 2));
  put16(rec, 148, (clampToInt(s.originY) & 3) | (ch << 2));
  put16(rec, 154, s.frames);
  rec[156] = uint8_t(target(n, kTrackA, float(s.alpha)));
  rec[157] = uint8_t((uint8_t(r.fontFace[0]) & 0x0F) | (s.blend << 4));
  rec[158] = uint8_t((r.negative ? 0x10 : 0) | (r.grayscale ? 0x08 : 0) | (r.turn & 7));
  put32(rec, 160, uint32_t(s.maskReverse & 0x3FF) << 20 | uint32_t(s.maskProgress & 0x3FF) << 10 |
                      uint32_t(s.maskVague & 0x3FF));
  put32(rec, 164, uint32_t(n) << 16 | uint32_t(s.group & 0xFFFF));
  put32(rec, 168, uint32_t(s.colourMode & 0xFF) << 24 | (s.colour & 0xFFFFFF));
  put32(rec, 172, uint32_t(r.brightnessContrast));
  put32(rec, 176, uint32_t(r.colour));
  put32(rec, 180, uint32_t(r.hsl));
  put32(rec, 184, uint32_t(r.blur));
  put32(rec, 188, uint32_t(r.mosaic));
}

void recordGroup(int group, uint8_t* records, int capacity, int& count) {
  const auto& order = drawOrder(group);
  for (auto it = order.rbegin(); it != order.rend() && count < capacity; ++it) {
    const int n = it->second;
    const Slot* s = frontSlot(n);
    if (!recordable(n, s)) continue;
    fill(records + size_t(count) * kRecordBytes, n, *s);
    ++count;
  }
}

}  // namespace

int recordImageLog(uint8_t* records, int capacity) {
  int count = 0;
  const auto& targets = renderTargets();
  if (!targets.empty())
    for (auto it = targets.rbegin(); it != targets.rend(); ++it) {
      const Slot* s = frontSlot(*it);
      if (*it > 0 && s && s->renderTarget) recordGroup(*it, records, capacity, count);
    }
  recordGroup(0, records, capacity, count);
  if (count < capacity) records[size_t(count) * kRecordBytes] = 0;
  return count;
}

}  // namespace velmora::sprite
