// The sprite table: records, slots, groups and commits.
#include <cstddef>
#include <cstring>
#include <new>
#include <string>

#include "core/report.h"
#include "core/textconv.h"
#include "image/image.h"
#include "sprite/internal.h"
#include "sprite/messages.h"

namespace velmora::sprite {

namespace {
TableState T;
const std::map<int, int> kNoOrder;
const std::set<int> kNoMembers;
}  // namespace

TableState& table() { return T; }

Sprite& record(int n) { return T.sprites[validNumber(n) ? n : 0]; }
Slot* slot(int n, int index) { return validNumber(n) ? T.slots[n][index & 1] : nullptr; }
Slot* frontSlot(int n) { return validNumber(n) ? T.slots[n][T.sprites[n].front & 1] : nullptr; }
Slot* backSlot(int n) { return validNumber(n) ? T.slots[n][(T.sprites[n].front ^ 1) & 1] : nullptr; }
Slot* afterSlot(int n) {
  if (!validNumber(n)) return nullptr;
  return (T.sprites[n].pending & kPendingPicture) ? backSlot(n) : frontSlot(n);
}

int drawKey(int n) {
  int order = validNumber(n) ? T.sprites[n].order : 0;
  return order ? order * 1024 + n : n;
}

const std::map<int, int>& drawOrder(int group) { return validNumber(group) ? T.order[group] : kNoOrder; }
const std::set<int>& groupMembers(int group) { return validNumber(group) ? T.members[group] : kNoMembers; }
const std::set<int>& renderTargets() { return T.renderTargets; }

void setTextureLimits(const TextureLimits& limits) { T.limits = limits; }
const TextureLimits& textureLimits() { return T.limits; }
void setScreenFacts(const ScreenFacts& facts) { T.screen = facts; }
const ScreenFacts& screenFacts() { return T.screen; }
void setJumpLoading(bool on) { T.jump = on; }
bool jumpLoading() { return T.jump; }
void setGpuReleaser(GpuReleaser releaser) { T.releaser = releaser; }
void setMotionHooks(const MotionHooks& hooks) { T.motion = hooks; }
void setMovieStopper(MovieStopper stop) { T.movieStopper = stop; }
void setMoviePlaying(MoviePlaying playing) { T.moviePlaying = playing; }

void stopSpriteMovie(int n) {
  if (T.sprites[n].fontFace[0] == kKindMovie && T.movieStopper) T.movieStopper(n);
}

bool spriteMoviePlaying(int n) {
  if (T.sprites[n].fontFace[0] != kKindMovie || !T.slots[n][0]) return false;
  return !T.moviePlaying || T.moviePlaying(n);
}

void reportNoPicture(int n) { reportError(std::to_string(n) + messageText(Message::NoPicture)); }

// Numbers outside the table are ignored quietly by all but the motion
// commands, which report them themselves.
bool checkNumber(int n) { return validNumber(n); }

// ---- groups ---------------------------------------------------------------
void leaveGroup(int n) {
  int g = T.registeredIn[n];
  if (g < 0) return;
  T.members[g].erase(n);
  for (auto it = T.order[g].begin(); it != T.order[g].end(); ++it)
    if (it->second == n) {
      T.order[g].erase(it);
      break;
    }
  T.registeredIn[n] = -1;
}

void enterGroup(int n, int group) {
  leaveGroup(n);
  if (!validNumber(group)) group = 0;
  T.registeredIn[n] = group;
  T.members[group].insert(n);
  T.order[group][drawKey(n)] = n;
}

void rekey(int n) {
  int g = T.registeredIn[n];
  if (g >= 0) enterGroup(n, g);
}

// ---- slots ----------------------------------------------------------------
Slot* newSlot() {
  Slot* s = new (std::nothrow) Slot{};
  if (s) resetProperties(*s);
  return s;
}

void dropPicture(Slot& s) {
  if (s.shared) {
    s.shared.reset();
    s.picture = nullptr;
  } else {
    image::freeImage(s.picture);
  }
}

bool ownPicture(Slot& s) {
  if (!s.shared) return true;
  image::Image* copy = image::copyImage(s.shared.get());
  if (!copy) return false;
  s.shared.reset();
  s.picture = copy;
  return true;
}

image::Image* writablePicture(Slot& s) { return s.picture && ownPicture(s) ? s.picture : nullptr; }

void releasePicture(Slot& s) {
  if (T.releaser) T.releaser(s);
  s.gpu = GpuTextures{};
  dropPicture(s);
  image::freeImage(s.mask);
  s.upload = 0;
  s.placeholder = false;
}

void freeSlot(Slot*& s) {
  if (!s) return;
  releasePicture(*s);
  delete s;
  s = nullptr;
}

void resetProperties(Slot& s) {
  s.blend = 1;
  s.alpha = 255;
  s.colour = 0;
  s.colourMode = 0;
  s.group = 0;
  s.frame = 0;
  s.x = float(T.screen.width / 2);
  s.y = float(T.screen.height / 2);
  s.scaleW = s.scaleH = 1.0f;
  s.rotX = s.rotY = s.rotZ = 0.0f;
  s.originX = s.originY = 1.0f;
  if (s.frames < 1) s.frames = 1;
  s.dirty = true;
  buildVertices(s);
}

void copyProperties(Slot& to, const Slot& from) {
  if (&to == &from) return;
  to.loadFlags = from.loadFlags;
  to.group = from.group;
  to.alpha = from.alpha;
  to.blend = from.blend;
  to.frame = from.frame;
  to.colourMode = from.colourMode;
  to.colour = from.colour;
  to.originX = from.originX;
  to.originY = from.originY;
  to.width = from.width;
  to.height = from.height;
  to.x = from.x;
  to.y = from.y;
  to.scaleW = from.scaleW;
  to.scaleH = from.scaleH;
  to.rotX = from.rotX;
  to.rotY = from.rotY;
  to.rotZ = from.rotZ;
  to.tileColumns = from.tileColumns;
  to.tileRows = from.tileRows;
  to.tileCount = from.tileCount;
  to.tileTexWidth = from.tileTexWidth;
  to.tileTexHeight = from.tileTexHeight;
  to.lastTileWidth = from.lastTileWidth;
  to.lastTileHeight = from.lastTileHeight;
  to.tiles = from.tiles;
  to.imageWidth = from.imageWidth;
  to.imageHeight = from.imageHeight;
  to.frames = from.frames;
  to.resolution = from.resolution;
  to.reserved1 = from.reserved1;
  to.reserved2 = from.reserved2;
  to.vertices = from.vertices;
  to.dirty = true;
}

// ---- commits ----------------------------------------------------------------
namespace {

void deleteSprite(int n, int depth) {
  Sprite& r = T.sprites[n];
  // A group takes its members with it; the depth bound guards a group that
  // was (wrongly) moved into one of its own members.
  if (depth < kSpriteCount) {
    std::set<int> members = T.members[n];
    for (int m : members)
      if (m != n) deleteSprite(m, depth + 1);
  }
  if (T.motion.dropTracks) T.motion.dropTracks(n);
  stopSpriteMovie(n);
  freeSlot(T.slots[n][0]);
  freeSlot(T.slots[n][1]);
  leaveGroup(n);
  T.renderTargets.erase(n);
  std::memset(static_cast<void*>(&r), 0, offsetof(Sprite, negative));
}

}  // namespace

void commitSprite(int n) {
  if (!validNumber(n)) return;
  Sprite& r = T.sprites[n];
  if (r.pending == 0) return;
  if (r.pending & kPendingDelete) {
    deleteSprite(n, 0);
    return;
  }
  if (!((r.pending & kPendingLinked) && r.linked)) {
    Slot* front = frontSlot(n);
    Slot* back = backSlot(n);
    if ((r.pending & kPendingReleaseFront) && front) releasePicture(*front);
    if (front && back) copyProperties(*front, *back);
    if (r.pending != kPendingProperties) r.front ^= 1;
    Slot* a = T.slots[n][0];
    Slot* b = T.slots[n][1];
    if (!(a && a->renderTarget) && !(b && b->renderTarget)) T.renderTargets.erase(n);
  }
  r.pending = 0;
}

void commitAll() {
  for (int n = 0; n < kSpriteCount; ++n) commitSprite(n);
}

void clearTable() {
  for (int n = 0; n < kSpriteCount; ++n) {
    if (T.slots[n][0] || T.slots[n][1]) deleteSprite(n, 0);
    T.sprites[n] = Sprite{};
  }
  for (auto& g : T.order) g.clear();
  for (auto& g : T.members) g.clear();
  T.registeredIn.fill(-1);
  T.renderTargets.clear();
}

}  // namespace velmora::sprite
