// The snapshot lines of the sprite table: the screen quakes (ScQ), and per
// saved sprite its motion keys and its Image line of 54 fields.
#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "base/snapshot.h"
#include "save/sections.h"
#include "sprite/motion.h"
#include "sprite/saved.h"
#include "sprite/sprite.h"

namespace velmora::save {
namespace {

using sprite::SavedKey;
using sprite::SavedQuake;
using sprite::SavedSprite;

// Key lines in their written order: the kind's letters and its track kind.
struct KeyKind {
  const char* letters;
  int kind;
};
constexpr KeyKind kKeyKinds[] = {{"A", 7}, {"L", 8}, {"C", 9},  {"M", 10}, {"S", 11}, {"X", 0},
                                 {"Y", 1}, {"W", 2}, {"H", 3}, {"RX", 4}, {"RY", 5}, {"RZ", 6}};
static_assert(std::size(kKeyKinds) == sprite::kTrackKinds);
enum { kKindX = 0, kKindY, kKindW, kKindH, kKindRX, kKindRY, kKindRZ, kKindC = 9, kKindM = 10, kKindS = 11 };

constexpr int kImageFields = 53;  // after the number in the key
// A sprite cannot hold more keys than this in one track; more is damage.
constexpr int kMaxKeys = 4096;

struct PendingSprite {
  SavedSprite sprite;
  std::array<std::vector<SavedKey>, sprite::kTrackKinds> keys;
};

struct PendingScreenQuake {
  bool present = false;
  int targets = 0;
  SavedQuake axis[2];
};

struct SpriteSectionState {
  PendingScreenQuake screen;
  std::vector<PendingSprite> sprites;
};
SpriteSectionState spriteSectionState;

void appendf(std::string& out, const char* format, auto... values) {
  char buf[512];
  int n = std::snprintf(buf, sizeof buf, format, values...);
  if (n >= int(sizeof buf)) {
    std::string big(size_t(n) + 1, '\0');
    std::snprintf(big.data(), big.size(), format, values...);
    big.pop_back();
    out += big;
  } else if (n > 0) {
    out.append(buf, size_t(n));
  }
}

int quakeState(const SavedQuake& q) { return q.amplitude == 0 ? 0 : q.type == 0 ? 1 : 2; }

// ---- writing -------------------------------------------------------------------
void writeScreenQuakes(std::string& out, uint32_t now) {
  const SavedQuake x = sprite::savedScreenQuake(0, now), y = sprite::savedScreenQuake(1, now);
  const int targets = sprite::screenQuakeTargets(x.amplitude != 0 ? 0 : 1);
  appendf(out, "ScQ=%d, %d,%d, %d,%d, %d,%d, %d,%d, %d,%d, %g,%g, %d,%d\n", targets, x.amplitude, y.amplitude,
          x.count, y.count, x.easing, y.easing, x.elapsed, y.elapsed, x.period, y.period, double(x.offset),
          double(y.offset), quakeState(x), quakeState(y));
}

void writeKeys(std::string& out, int n, const KeyKind& kk, const std::vector<SavedKey>& keys) {
  for (size_t i = 0; i < keys.size(); ++i) {
    const SavedKey& k = keys[i];
    appendf(out, "Image%s%d_%d=%d,%d,%d, %d,%d,%d,%d", kk.letters, n, int(i), k.elapsed, k.flags, k.repeat, k.from,
            k.to, k.duration, k.easing);
    if (kk.kind == kKindM) appendf(out, ",%d", k.second);
    if (kk.kind == kKindS) out += "," + k.path;
    out += '\n';
  }
}

// A property with a track is saved as where its first key starts.
void startValuesOf(SavedSprite& s, const std::array<std::vector<SavedKey>, sprite::kTrackKinds>& keys) {
  auto first = [&](int kind) { return keys[size_t(kind)].empty() ? nullptr : &keys[size_t(kind)].front(); };
  if (auto* k = first(kKindX)) s.x = float(k->from);
  if (auto* k = first(kKindY)) s.y = float(k->from);
  if (auto* k = first(kKindW)) s.scaleW = float(k->from) / 100.0f;
  if (auto* k = first(kKindH)) s.scaleH = float(k->from) / 100.0f;
  if (auto* k = first(kKindRX)) s.rotX = float(k->from);
  if (auto* k = first(kKindRY)) s.rotY = float(k->from);
  if (auto* k = first(kKindRZ)) s.rotZ = float(k->from);
  if (auto* k = first(kKindC)) s.colour = uint32_t(k->from);
  if (auto* k = first(kKindM)) s.maskReverse = k->second, s.maskProgress = k->from;
}

void writeImageLine(std::string& out, const SavedSprite& s) {
  const SavedQuake& qx = s.quake[0];
  const SavedQuake& qy = s.quake[1];
  const int* e = s.effects;
  appendf(out, "Image%d=%s,%s,%s,%d,%d,%X,%X,%X,%d, ", s.number, s.name.c_str(), s.maskName.c_str(),
          s.fontFace.c_str(), s.fontSize, s.fontAttr[0], unsigned(s.fontAttr[1]), unsigned(s.fontAttr[2]),
          unsigned(s.fontAttr[3]), s.order);
  for (const SavedQuake* q : {&qx, &qy})
    appendf(out, "%d,%d,%d,%d,%d,%d,%g, ", q->amplitude, q->count, q->easing, q->type, q->elapsed, q->period,
            double(q->offset));
  appendf(out, "%d,%d,%d,%d,%d,%d,%d,%d, ", e[0], e[1], e[2], e[3], e[4], e[5], e[6], e[7]);
  appendf(out, "%d,%d,%d,%d,%X,%d,%d,%g,%g,%g,%g,%g,%g,%g,%d,%d,%d,%d,%d,%d,%d, %d\n", int(s.loadFlags), s.alpha,
          s.blend, s.colourMode, unsigned(s.colour), s.width, s.height, double(s.x), double(s.y), double(s.scaleW),
          double(s.scaleH), double(s.rotX), double(s.rotY), double(s.rotZ), s.originX, s.originY, s.frames, s.group,
          s.maskReverse, s.maskProgress, s.maskVague, s.endDelete);
  // The cut rectangle and the frame shown are not among the 54 fields; a
  // sprite that has them keeps them through a line of its own.
  if (s.cut[0] || s.cut[1] || s.cut[2] || s.cut[3] || s.frame)
    appendf(out, "ImageExt%d=%d,%d,%d,%d,%d\n", s.number, s.cut[0], s.cut[1], s.cut[2], s.cut[3], s.frame);
}

void writeSprite(std::string& out, int n, uint32_t now) {
  SavedSprite s;
  if (!sprite::describeSprite(n, now, s) || (s.loadFlags & sprite::kLoadNoSave)) return;
  std::array<std::vector<SavedKey>, sprite::kTrackKinds> keys;
  for (const KeyKind& kk : kKeyKinds) {
    keys[size_t(kk.kind)] = sprite::savedKeys(n, kk.kind, now);
    writeKeys(out, n, kk, keys[size_t(kk.kind)]);
  }
  startValuesOf(s, keys);
  writeImageLine(out, s);
}

void writeSprites(std::string& out, const SnapshotMoment& at) {
  writeScreenQuakes(out, at.now);
  for (int g = 0; g < sprite::kSpriteCount; ++g)
    for (int n : sprite::groupMembers(g)) writeSprite(out, n, at.now);
}

// ---- reading ---------------------------------------------------------------------
SavedQuake readQuake(SnapshotFieldReader& f) {
  SavedQuake q;
  q.amplitude = f.dec(), q.count = f.dec(), q.easing = f.dec(), q.type = f.dec();
  q.elapsed = f.dec(), q.period = f.dec(), q.offset = f.real();
  return q;
}

bool prepareScreenQuakes(const SnapshotEntries& entries, std::string& problem) {
  spriteSectionState.screen = PendingScreenQuake{};
  const std::string* value = entries.find("ScQ");
  if (!value) return true;
  SnapshotFieldReader f(*value);
  PendingScreenQuake& s = spriteSectionState.screen;
  s.targets = f.dec();
  SavedQuake& x = s.axis[0];
  SavedQuake& y = s.axis[1];
  x.amplitude = f.dec(), y.amplitude = f.dec();
  x.count = f.dec(), y.count = f.dec();
  x.easing = f.dec(), y.easing = f.dec();
  x.elapsed = f.dec(), y.elapsed = f.dec();
  x.period = f.dec(), y.period = f.dec();
  x.offset = f.real(), y.offset = f.real();
  const int stateX = f.dec(), stateY = f.dec();
  if (!f.ok()) return problem = "ScQ", false;
  // The state says whether a quake runs and which swing it uses.
  x.type = stateX == 2, y.type = stateY == 2;
  if (stateX == 0) x.amplitude = 0;
  if (stateY == 0) y.amplitude = 0;
  s.present = true;
  return true;
}

// Text fields may hold commas (a text sprite's text): fields beyond the 53 of
// the line belong to the name.
std::vector<std::string_view> imageFields(std::string_view value) {
  std::vector<std::string_view> fields = splitSnapshotFields(value);
  if (fields.size() <= kImageFields) return fields;
  const size_t extra = fields.size() - kImageFields;
  size_t cut = 0;
  for (size_t i = 0; i <= extra; ++i) cut = value.find(',', cut) + 1;
  std::vector<std::string_view> out = splitSnapshotFields(value.substr(cut));
  out.insert(out.begin(), value.substr(0, cut - 1));
  return out;
}

bool readImageLine(int n, std::string_view value, SavedSprite& s) {
  SnapshotFieldReader f(imageFields(value));
  if (f.count() != kImageFields) return false;
  s.number = n;
  s.name = std::string(f.text());
  s.maskName = std::string(f.text());
  s.fontFace = std::string(f.text());
  const int fontSize = f.dec(), attr1 = f.dec();
  const int attr2 = int(f.hex()), attr3 = int(f.hex()), attr4 = int(f.hex());
  // The font fields count only for a text sprite, whose face is a name.
  if (s.fontFace.size() >= 2) s.fontSize = fontSize, s.fontAttr[0] = attr1, s.fontAttr[1] = attr2,
                              s.fontAttr[2] = attr3, s.fontAttr[3] = attr4;
  s.order = f.dec();
  s.quake[0] = readQuake(f);
  s.quake[1] = readQuake(f);
  for (int& e : s.effects) e = f.dec();
  s.loadFlags = uint32_t(f.dec());
  s.alpha = f.dec() & 255, s.blend = f.dec(), s.colourMode = f.dec();
  s.colour = f.hex();
  s.width = f.dec(), s.height = f.dec();
  s.x = f.real(), s.y = f.real(), s.scaleW = f.real(), s.scaleH = f.real();
  s.rotX = f.real(), s.rotY = f.real(), s.rotZ = f.real();
  s.originX = f.dec(), s.originY = f.dec(), s.frames = f.dec(), s.group = f.dec();
  s.maskReverse = f.dec(), s.maskProgress = f.dec(), s.maskVague = f.dec();
  s.endDelete = f.dec();
  return f.ok();
}

bool readExtension(const SnapshotEntries& entries, int n, SavedSprite& s, std::string& problem) {
  const std::string key = "ImageExt" + std::to_string(n);
  const std::string* value = entries.find(key);
  if (!value) return true;
  SnapshotFieldReader f(*value);
  for (int& c : s.cut) c = f.dec();
  s.frame = f.dec();
  return f.ok() || (problem = key, false);
}

bool readKeys(const SnapshotEntries& entries, int n, const KeyKind& kk, std::vector<SavedKey>& keys, std::string& problem) {
  const std::string prefix = "Image" + std::string(kk.letters) + std::to_string(n) + "_";
  for (int i = 0;; ++i) {
    const std::string key = prefix + std::to_string(i);
    const std::string* value = entries.find(key);
    if (!value) return true;
    if (i >= kMaxKeys) return problem = key, false;
    SnapshotFieldReader f(*value);
    SavedKey k;
    k.elapsed = f.dec(), k.flags = f.dec(), k.repeat = f.dec();
    k.from = f.dec(), k.to = f.dec(), k.duration = f.dec(), k.easing = f.dec();
    if (kk.kind == kKindM) k.second = f.dec();
    if (kk.kind == kKindS) k.path = std::string(f.text());
    if (!f.ok()) return problem = key, false;
    keys.push_back(std::move(k));
  }
}

bool prepareSprites(const SnapshotEntries& entries, std::string& problem) {
  spriteSectionState.sprites.clear();
  if (!prepareScreenQuakes(entries, problem)) return false;
  for (int n = 0; n < sprite::kSpriteCount; ++n) {
    const std::string key = "Image" + std::to_string(n);
    const std::string* value = entries.find(key);
    if (!value) continue;
    PendingSprite p;
    if (!readImageLine(n, *value, p.sprite)) return problem = key, false;
    if (!readExtension(entries, n, p.sprite, problem)) return false;
    for (const KeyKind& kk : kKeyKinds)
      if (!readKeys(entries, n, kk, p.keys[size_t(kk.kind)], problem)) return false;
    spriteSectionState.sprites.push_back(std::move(p));
  }
  return true;
}

void resetSprites() {
  sprite::clearMotion();
  sprite::clearTable();
}

void applySprites(const SnapshotMoment& at) {
  if (spriteSectionState.screen.present)
    for (int axis = 0; axis < 2; ++axis) sprite::restoreScreenQuake(axis, spriteSectionState.screen.axis[axis], spriteSectionState.screen.targets, at.now);
  for (const PendingSprite& p : spriteSectionState.sprites) {
    sprite::restoreSprite(p.sprite, at.now);
    for (int kind = 0; kind < sprite::kTrackKinds; ++kind)
      if (!p.keys[size_t(kind)].empty()) sprite::restoreKeys(p.sprite.number, kind, p.keys[size_t(kind)], at.now);
  }
  spriteSectionState = SpriteSectionState{};
}

void finishSprites(const SnapshotMoment&) { sprite::rebuildPlaceholders(); }

void discardSprites() { spriteSectionState = SpriteSectionState{}; }

}  // namespace

SnapshotSection spriteSection() {
  return {.name = "sprites", .order = kSnapshotSprites, .write = writeSprites, .prepare = prepareSprites,
          .reset = resetSprites, .apply = applySprites, .finish = finishSprites, .discard = discardSprites};
}

}  // namespace velmora::save
