// Sprites, motion keys and quakes as a saved game reads and restores them.
#include "sprite/saved.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "image/image.h"
#include "sprite/easing.h"
#include "sprite/motion_internal.h"

namespace velmora::sprite {

namespace {

// Larger sides than this are damaged lines, not pictures.
constexpr int kMaxSide = 16384;
constexpr int kMaxFrames = 4096;

int32_t elapsedSince(uint32_t start, uint32_t now) { return start ? int32_t(now - start) : 0; }
uint32_t startFrom(int32_t elapsed, uint32_t now) { return now - uint32_t(elapsed); }

SavedKey toSaved(const TrackKey& k, uint32_t now) {
  return SavedKey{elapsedSince(k.start, now), k.flags, k.repeat, k.from, k.to, k.duration, k.easing, k.second, k.path};
}

SavedQuake toSaved(const Quake& q, uint32_t now) {
  SavedQuake s{q.amplitude, q.period, q.count, q.easing, q.type, 0, q.offset};
  if (q.amplitude != 0) s.elapsed = elapsedSince(q.start, now);
  return s;
}

// A quake that could not run (no amplitude, or a period its arithmetic
// cannot divide) is idle.
Quake fromSaved(const SavedQuake& s, uint32_t now) {
  if (s.amplitude == 0 || s.period < 10) return Quake{};
  Quake q;
  q.amplitude = s.amplitude;
  q.period = s.period;
  q.count = s.count;
  q.easing = validEasing(s.easing) ? s.easing : 0;
  q.type = s.type;
  q.start = startFrom(s.elapsed, now);
  q.offset = s.offset;
  return q;
}

void copyText(char* to, size_t room, const std::string& text) {
  const size_t n = std::min(text.size(), room - 1);
  std::memset(to, 0, room);
  std::memcpy(to, text.data(), n);
}

// Placeholders are never drawn; their tiles only need the saved size.
bool layUnlimited(Slot& s, int w, int h, int frames) {
  const TextureLimits saved = table().limits;
  table().limits = TextureLimits{};
  const bool ok = layTiles(s, w, h * frames, frames);
  table().limits = saved;
  return ok;
}

void setSlotProperties(Slot& s, const SavedSprite& v) {
  s.loadFlags = v.loadFlags;
  s.alpha = v.alpha & 255;
  s.blend = v.blend;
  s.colourMode = v.colourMode;
  s.colour = v.colour;
  s.x = v.x, s.y = v.y;
  s.scaleW = v.scaleW, s.scaleH = v.scaleH;
  s.rotX = v.rotX, s.rotY = v.rotY, s.rotZ = v.rotZ;
  s.originX = float(std::clamp(v.originX, 0, 2));
  s.originY = float(std::clamp(v.originY, 0, 2));
  s.group = std::clamp(v.group, 0, kSpriteCount - 1);
  s.maskReverse = v.maskReverse;
  s.maskProgress = v.maskProgress & 1023;
  s.maskVague = v.maskVague & 511;
  s.dirty = true;
}

bool isTextSprite(const Sprite& r) { return r.fontFace[0] != 0 && r.fontFace[1] != 0; }

bool rebuildPicture(int n, Slot& s) {
  const Sprite& r = table().sprites[n];
  const std::string name(r.name, strnlen(r.name, sizeof r.name));
  const uint8_t kind = uint8_t(r.fontFace[0]);
  if (isTextSprite(r) || (kind != kKindPicture && kind != kKindFramed)) {
    const SpriteHooks& hooks = spriteHooks();
    const PlaceholderBuilder build = isTextSprite(r)        ? hooks.buildTextSprite
                                     : kind == kKindMovie    ? hooks.rebuildMovie
                                     : kind == kKindImageLog ? hooks.rebuildImageLog
                                                             : nullptr;
    image::Image* made = build ? build(n) : nullptr;
    if (!made || !attachPicture(s, made, 1, 1)) return false;
    s.showsText = isTextSprite(r);
    return true;
  }
  if (name.empty()) return false;
  int resolution = 1;
  if (kind == kKindFramed) {
    int w = 0, h = 0;
    framedSize(s, w, h);
    image::Image* canvas = framedCanvas(n, name, s.loadFlags, w, h, resolution);
    return canvas && attachPicture(s, canvas, 1, resolution);
  }
  PictureRef picture = decodeForSprite(n, name, s.loadFlags, resolution);
  return picture && attachSharedPicture(s, std::move(picture), s.frames, resolution);
}

}  // namespace

std::vector<SavedKey> savedKeys(int n, int kind, uint32_t now) {
  std::vector<SavedKey> out;
  if (!validNumber(n) || kind < 0 || kind >= kTrackKinds) return out;
  auto& map = motion().tracks[size_t(kind)];
  auto found = map.find(n);
  if (found == map.end() || found->second.empty()) return out;
  KeyList& keys = found->second;
  const auto current = currentOf(n, kind, keys);
  for (auto it = current; it != keys.end(); ++it) out.push_back(toSaved(*it, now));
  // A looping list plays the keys before the current one again after it.
  if (current->repeat != 1)
    for (auto it = keys.begin(); it != current; ++it) out.push_back(toSaved(*it, now));
  return out;
}

void restoreKeys(int n, int kind, const std::vector<SavedKey>& saved, uint32_t now) {
  if (!validNumber(n) || kind < 0 || kind >= kTrackKinds || !frontSlot(n)) return;
  endTrack(n, kind);
  KeyList keys;
  for (const SavedKey& s : saved) {
    if (kind == kTrackS && s.path.empty()) continue;
    TrackKey k;
    k.start = s.elapsed ? startFrom(s.elapsed, now) : now;
    k.flags = s.flags & 15;
    k.repeat = s.repeat & 15;
    k.from = kind == kTrackS ? s.from : maskValue(kind, s.from);
    k.to = kind == kTrackS ? s.to : maskValue(kind, s.to);
    k.duration = std::max(s.duration, 0) | 2;
    k.easing = validEasing(s.easing) ? s.easing : 0;
    k.second = kind == kTrackS ? s.second : s.second & 255;
    k.path = s.path;
    keys.push_back(std::move(k));
  }
  if (keys.empty()) return;
  KeyList& track = motion().tracks[size_t(kind)][n];
  track = std::move(keys);
  Sprite& r = table().sprites[n];
  r.currentKey[size_t(kind)] = &track.front();
  r.trackMask |= 1u << kind;
}

SavedQuake savedSpriteQuake(int n, int axis, uint32_t now) {
  if (!validNumber(n)) return {};
  return toSaved(loadQuake(table().sprites[n], axis & 1), now);
}

SavedQuake savedScreenQuake(int axis, uint32_t now) { return toSaved(motion().screen[axis & 1], now); }
int screenQuakeTargets(int axis) { return motion().screenTargets[axis & 1]; }

void restoreScreenQuake(int axis, const SavedQuake& q, int targets, uint32_t now) {
  MotionState& m = motion();
  m.screen[axis & 1] = fromSaved(q, now);
  m.screenTargets[axis & 1] = targets;
  m.screenQuakeShown = true;
}

bool describeSprite(int n, uint32_t now, SavedSprite& out) {
  const Slot* s = frontSlot(n);
  if (!s) return false;
  const Sprite& r = table().sprites[n];
  out = SavedSprite{};
  out.number = n;
  out.name.assign(r.name, strnlen(r.name, sizeof r.name));
  out.maskName.assign(r.maskName, strnlen(r.maskName, sizeof r.maskName));
  out.fontFace.assign(r.fontFace, strnlen(r.fontFace, sizeof r.fontFace));
  out.fontSize = r.fontSize;
  std::copy(std::begin(r.fontAttr), std::end(r.fontAttr), out.fontAttr);
  out.order = r.order;
  for (int axis = 0; axis < 2; ++axis) out.quake[axis] = toSaved(loadQuake(r, axis), now);
  const int effects[8] = {r.negative, r.grayscale, r.turn, r.brightnessContrast, r.colour, r.hsl, r.blur, r.mosaic};
  std::copy(std::begin(effects), std::end(effects), out.effects);
  const int cut[4] = {r.cutX, r.cutY, r.cutW, r.cutH};
  std::copy(std::begin(cut), std::end(cut), out.cut);
  out.loadFlags = s->loadFlags;
  out.alpha = s->alpha, out.blend = s->blend, out.colourMode = s->colourMode, out.colour = s->colour;
  out.width = s->width, out.height = s->height;
  // High-resolution pictures are saved in script units.
  const ScreenFacts& f = table().screen;
  if (s->resolution == 2 && f.displayRate > 1.0f && f.pictureRatio > 0.0f) {
    out.width = int(float(s->width) / f.pictureRatio);
    out.height = int(float(s->height) / f.pictureRatio);
  }
  out.x = s->x, out.y = s->y, out.scaleW = s->scaleW, out.scaleH = s->scaleH;
  out.rotX = s->rotX, out.rotY = s->rotY, out.rotZ = s->rotZ;
  out.originX = clampToInt(s->originX), out.originY = clampToInt(s->originY);
  out.frames = s->frames, out.group = s->group;
  out.maskReverse = s->maskReverse, out.maskProgress = s->maskProgress, out.maskVague = s->maskVague;
  out.endDelete = r.endDelete;
  out.frame = s->frame;
  return true;
}

void restoreSprite(const SavedSprite& v, uint32_t now) {
  const int n = v.number;
  if (!validNumber(n)) return;
  const int w = std::clamp(v.width, 1, kMaxSide), h = std::clamp(v.height, 1, kMaxSide);
  const int frames = std::clamp(v.frames, 1, kMaxFrames);
  // A render target is made at the saved size: one the device cannot keep is left out.
  const std::string& face = v.fontFace;
  const bool target = !face.empty() && uint8_t(face[0]) == kKindRenderTarget && (face.size() == 1 || face[1] == 0);
  if (target && !renderTargetFits(n, w, h * frames)) return;
  TableState& t = table();
  Sprite& r = t.sprites[n];
  if (t.slots[n][0] || t.slots[n][1]) {
    r.pending = kPendingDelete;
    commitSprite(n);
  }
  Slot* front = newSlot();
  Slot* back = newSlot();
  if (!front || !back || !layUnlimited(*front, w, h, frames)) {
    freeSlot(front);
    freeSlot(back);
    return;
  }
  copyText(r.name, sizeof r.name, v.name);
  copyText(r.maskName, sizeof r.maskName, v.maskName);
  copyText(r.fontFace, sizeof r.fontFace, v.fontFace);
  r.fontSize = v.fontSize;
  std::copy(std::begin(v.fontAttr), std::end(v.fontAttr), r.fontAttr);
  r.order = v.order;
  r.cutX = v.cut[0], r.cutY = v.cut[1], r.cutW = v.cut[2], r.cutH = v.cut[3];
  int* effects[8] = {&r.negative, &r.grayscale, &r.turn, &r.brightnessContrast, &r.colour, &r.hsl, &r.blur, &r.mosaic};
  for (int i = 0; i < 8; ++i) *effects[i] = v.effects[i];
  r.endDelete = v.endDelete;
  r.front = 0;
  r.pending = 0;
  r.linked = 0;
  bool quaking = false;
  for (int axis = 0; axis < 2; ++axis) {
    const Quake q = fromSaved(v.quake[axis], now);
    storeQuake(r, axis, q);
    quaking |= q.amplitude != 0;
  }
  if (quaking) motion().quaking.insert(n);
  setSlotProperties(*front, v);
  front->frame = std::clamp(v.frame, 0, frames - 1);
  front->resolution = 1;
  if (r.fontFace[0] == kKindRenderTarget && r.fontFace[1] == 0) {
    front->renderTarget = true;
    front->resolution = 0;
    front->tileTexWidth = w;
    front->tileTexHeight = h * frames;
    t.renderTargets.insert(n);
  } else {
    front->placeholder = true;
  }
  buildVertices(*front);
  copyProperties(*back, *front);
  t.slots[n][0] = front;
  t.slots[n][1] = back;
  enterGroup(n, front->group);
}

void rebuildPlaceholders() {
  TableState& t = table();
  for (int n = 0; n < kSpriteCount; ++n)
    for (int i = 0; i < 2; ++i) {
      Slot* s = t.slots[n][i];
      if (!s || !s->placeholder) continue;
      if (!rebuildPicture(n, *s)) continue;
      const Sprite& r = t.sprites[n];
      if (r.maskName[0]) attachMask(*s, std::string(r.maskName, strnlen(r.maskName, sizeof r.maskName)));
      setVertexAlpha(*s);
    }
}


image::Image* reloadSpritePicture(int n) {
  const Slot* s = frontSlot(n);
  if (!s) return nullptr;
  const Sprite& r = table().sprites[n];
  const std::string name(r.name, strnlen(r.name, sizeof r.name));
  if (name.empty() || isTextSprite(r)) return nullptr;
  int resolution = 1;
  if (r.fontFace[0] == kKindFramed) {
    int w = 0, h = 0;
    framedSize(*s, w, h);
    return framedCanvas(n, name, s->loadFlags, w, h, resolution);
  }
  if (r.fontFace[0] != kKindPicture) return nullptr;
  PictureRef picture = decodeForSprite(n, name, s->loadFlags, resolution);
  return picture ? image::copyImage(picture.get()) : nullptr;
}

}  // namespace velmora::sprite
