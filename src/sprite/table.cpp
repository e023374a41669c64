// The sprite table: records, slots, groups and commits.
#include <cstddef>
#include <cstring>
#include <new>
#include <string>

#include "base/report.h"
#include "base/textconv.h"
#include "image/image.h"
#include "sprite/internal.h"
#include "sprite/messages.h"

namespace velmora::sprite {

namespace {
TableState tableState;
const std::map<int, int> kNoOrder;
const std::set<int> kNoMembers;
}  // namespace

TableState& table() { return tableState; }

Sprite& record(int n) { return tableState.sprites[validNumber(n) ? n : 0]; }
Slot* slot(int n, int index) { return validNumber(n) ? tableState.slots[n][index & 1] : nullptr; }
Slot* frontSlot(int n) { return validNumber(n) ? tableState.slots[n][tableState.sprites[n].front & 1] : nullptr; }
Slot* backSlot(int n) { return validNumber(n) ? tableState.slots[n][(tableState.sprites[n].front ^ 1) & 1] : nullptr; }
Slot* afterSlot(int n) {
  if (!validNumber(n)) return nullptr;
  return (tableState.sprites[n].pending & kPendingPicture) ? backSlot(n) : frontSlot(n);
}

int drawKey(int n) {
  int order = validNumber(n) ? tableState.sprites[n].order : 0;
  return order ? order * 1024 + n : n;
}

const std::map<int, int>& drawOrder(int group) { return validNumber(group) ? tableState.order[group] : kNoOrder; }
const std::set<int>& groupMembers(int group) { return validNumber(group) ? tableState.members[group] : kNoMembers; }
const std::set<int>& renderTargets() { return tableState.renderTargets; }

void setTextureLimits(const TextureLimits& limits) { tableState.limits = limits; }
const TextureLimits& textureLimits() { return tableState.limits; }
void setScreenFacts(const ScreenFacts& facts) { tableState.screen = facts; }
const ScreenFacts& screenFacts() { return tableState.screen; }
void setJumpLoading(bool on) { tableState.jump = on; }
bool jumpLoading() { return tableState.jump; }
void installSpriteHooks(const SpriteHooks& hooks) { tableState.hooks = hooks; }
const SpriteHooks& spriteHooks() { return tableState.hooks; }
void setMotionHooks(const MotionHooks& hooks) { tableState.motion = hooks; }

void stopSpriteMovie(int n) {
  if (tableState.sprites[n].fontFace[0] == kKindMovie && tableState.hooks.stopMovie) tableState.hooks.stopMovie(n);
}

bool spriteMoviePlaying(int n) {
  if (tableState.sprites[n].fontFace[0] != kKindMovie || !tableState.slots[n][0]) return false;
  return !tableState.hooks.moviePlaying || tableState.hooks.moviePlaying(n);
}

void reportNoPicture(int n) { reportError(std::to_string(n) + messageText(Message::NoPicture)); }

// ---- groups ---------------------------------------------------------------
void leaveGroup(int n) {
  int g = tableState.registeredIn[n];
  if (g < 0) return;
  tableState.members[g].erase(n);
  for (auto it = tableState.order[g].begin(); it != tableState.order[g].end(); ++it)
    if (it->second == n) {
      tableState.order[g].erase(it);
      break;
    }
  tableState.registeredIn[n] = -1;
}

void enterGroup(int n, int group) {
  leaveGroup(n);
  if (!validNumber(group)) group = 0;
  tableState.registeredIn[n] = group;
  tableState.members[group].insert(n);
  tableState.order[group][drawKey(n)] = n;
}

void rekey(int n) {
  int g = tableState.registeredIn[n];
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

image::Image* writablePicture(Slot& s) {
  if (!s.picture || !ownPicture(s)) return nullptr;
  s.showsText = false;  // what is written is no part of the text
  return s.picture;
}

void releasePicture(Slot& s) {
  if (tableState.hooks.releaseGpu) tableState.hooks.releaseGpu(s);
  s.gpu = GpuTextures{};
  dropPicture(s);
  image::freeImage(s.mask);
  s.upload = 0;
  s.placeholder = false;
  s.showsText = false;
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
  s.x = float(tableState.screen.width / 2);
  s.y = float(tableState.screen.height / 2);
  s.scaleW = s.scaleH = 1.0f;
  s.rotX = s.rotY = s.rotZ = 0.0f;
  s.originX = s.originY = 1.0f;
  if (s.frames < 1) s.frames = 1;
  s.dirty = true;
  buildVertices(s);
}

void copyLook(Slot& to, const Slot& from) {
  to.group = from.group;
  to.alpha = from.alpha;
  to.blend = from.blend;
  to.frame = from.frame;
  to.colourMode = from.colourMode;
  to.colour = from.colour;
  to.originX = from.originX;
  to.originY = from.originY;
  to.x = from.x;
  to.y = from.y;
  to.scaleW = from.scaleW;
  to.scaleH = from.scaleH;
  to.rotX = from.rotX;
  to.rotY = from.rotY;
  to.rotZ = from.rotZ;
}

void copyProperties(Slot& to, const Slot& from) {
  if (&to == &from) return;
  to.loadFlags = from.loadFlags;
  copyLook(to, from);
  to.width = from.width;
  to.height = from.height;
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
  Sprite& r = tableState.sprites[n];
  // A group takes its members with it; the depth bound guards a group that
  // was (wrongly) moved into one of its own members.
  if (depth < kSpriteCount) {
    std::set<int> members = tableState.members[n];
    for (int m : members)
      if (m != n) deleteSprite(m, depth + 1);
  }
  if (tableState.motion.dropTracks) tableState.motion.dropTracks(n);
  stopSpriteMovie(n);
  freeSlot(tableState.slots[n][0]);
  freeSlot(tableState.slots[n][1]);
  leaveGroup(n);
  tableState.renderTargets.erase(n);
  std::memset(static_cast<void*>(&r), 0, offsetof(Sprite, negative));
}

}  // namespace

void commitSprite(int n) {
  if (!validNumber(n)) return;
  Sprite& r = tableState.sprites[n];
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
    Slot* a = tableState.slots[n][0];
    Slot* b = tableState.slots[n][1];
    if (!(a && a->renderTarget) && !(b && b->renderTarget)) tableState.renderTargets.erase(n);
  }
  r.pending = 0;
}

void notePendingSprite() { tableState.anyPending = true; }

void commitAll() {
  if (!tableState.anyPending) return;
  tableState.anyPending = false;  // a commit that marks another sprite raises it again
  for (int n = 0; n < kSpriteCount; ++n) commitSprite(n);
}

void clearTable() {
  for (int n = 0; n < kSpriteCount; ++n) {
    if (tableState.slots[n][0] || tableState.slots[n][1]) deleteSprite(n, 0);
    tableState.sprites[n] = Sprite{};
  }
  for (auto& g : tableState.order) g.clear();
  for (auto& g : tableState.members) g.clear();
  tableState.registeredIn.fill(-1);
  tableState.renderTargets.clear();
}

}  // namespace velmora::sprite
