// Sprites on the GPU: tile uploads, render-target groups, and the draw of a
// group in draw-key order as one vertex upload and one draw for each run of
// tiles that share textures, program, blend row and constants. Sprites that
// show the same shared picture share its tile textures.
#include <algorithm>
#include <climits>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <unordered_map>
#include <vector>

#include "base/report.h"
#include "base/settings.h"
#include "image/image.h"
#include "render/internal.h"
#include "render/transition.h"
#include "sprite/motion.h"
#include "sprite/sprite.h"
#include "render/display_settings.h"

namespace velmora::render {
namespace {

enum class Look : uint8_t { Plain, Mask, CrossFade };

struct DrawItem {
  size_t first;  // vertex index of the tile's strip
  GLuint texture0, texture1;
  ProgramId programId;
  int blend;
  int stage1;
  int colourOp;
  float factor[4];
  float c0, c1;
  bool mip;
  bool point;  // texels onto output pixels one to one: no blur between them
};

// Tile textures of one shared picture in one tiling.
struct SharedTilesKey {
  const image::Image* picture;
  int texWidth, texHeight, count, columns;
  bool mip;
  bool operator<(const SharedTilesKey& o) const {
    return std::tie(picture, texWidth, texHeight, count, columns, mip) <
           std::tie(o.picture, o.texWidth, o.texHeight, o.count, o.columns, o.mip);
  }
};

struct SharedTiles {
  std::shared_ptr<const image::Image> picture;  // keeps the key's address from being reused
  std::array<void*, sprite::kMaxTiles> tiles{};
  int users = 0;
};

struct DrawState {
  std::vector<DrawItem> items;
  std::vector<GLint> firsts;
  std::vector<GLsizei> counts;
  bool batching = true;
  std::map<SharedTilesKey, SharedTiles> shared;
  std::unordered_map<void*, SharedTilesKey> sharedByTile;  // first tile -> its entry
  std::vector<uint32_t> ramped;  // a mask with its alpha from the ramp
};
DrawState drawState;

int levelsFor(int w, int h) {
  int levels = 1;
  while ((w >> levels) > 0 || (h >> levels) > 0) ++levels;
  return levels;
}

bool isShared(void* firstTile) { return firstTile && drawState.sharedByTile.count(firstTile); }

// Shared tiles lose a user (and go with the last one); others are deleted.
void releaseTiles(std::array<void*, sprite::kMaxTiles>& tiles) {
  auto entry = tiles[0] ? drawState.sharedByTile.find(tiles[0]) : drawState.sharedByTile.end();
  if (entry == drawState.sharedByTile.end()) {
    for (void*& t : tiles) releaseTexture(t);
    return;
  }
  auto it = drawState.shared.find(entry->second);
  if (it != drawState.shared.end() && --it->second.users <= 0) {
    for (void*& t : it->second.tiles) releaseTexture(t);
    drawState.shared.erase(it);
    drawState.sharedByTile.erase(entry);
  }
  tiles.fill(nullptr);
}

bool wantsMipMaps(const sprite::Slot& s) {
  return (s.loadFlags & sprite::kLoadMipMaps) && device().caps.mipMaps;
}

void createTiles(std::array<void*, sprite::kMaxTiles>& tiles, const sprite::Slot& s, bool mip) {
  const int levels = mip ? levelsFor(s.tileTexWidth, s.tileTexHeight) : 1;
  for (int i = 0; i < s.tileCount && i < sprite::kMaxTiles; ++i)
    tiles[static_cast<size_t>(i)] = createTexture(s.tileTexWidth, s.tileTexHeight, levels);
}

void writeTiles(const std::array<void*, sprite::kMaxTiles>& tiles, const sprite::Slot& s, bool mip) {
  for (int i = 0; i < s.tileCount && i < static_cast<int>(s.tiles.size()); ++i) {
    const sprite::Tile& t = s.tiles[static_cast<size_t>(i)];
    void* tex = tiles[static_cast<size_t>(i)];
    if (!tex) continue;
    uploadTextureRect(tex, s.picture, t.x, t.y, t.width, t.height);
    if (mip) glGenerateMipmap(GL_TEXTURE_2D);
  }
}

// The tiles of the slot's shared picture, made by the first sprite showing it.
void shareTiles(sprite::Slot& s) {
  const bool mip = wantsMipMaps(s);
  const SharedTilesKey key{s.shared.get(), s.tileTexWidth, s.tileTexHeight, s.tileCount, s.tileColumns, mip};
  auto [it, fresh] = drawState.shared.try_emplace(key);
  SharedTiles& entry = it->second;
  if (fresh) {
    createTiles(entry.tiles, s, mip);
    if (!entry.tiles[0]) {
      releaseTiles(entry.tiles);
      drawState.shared.erase(it);
      releaseTiles(s.gpu.tile);
      return;
    }
    writeTiles(entry.tiles, s, mip);
    entry.picture = s.shared;
    drawState.sharedByTile[entry.tiles[0]] = key;
  }
  ++entry.users;  // before letting go of the old tiles, which may be these
  releaseTiles(s.gpu.tile);
  s.gpu.tile = entry.tiles;
  s.gpu.width = s.imageWidth;
  s.gpu.height = s.imageHeight;
}

void uploadTiles(sprite::Slot& s) {
  if (s.shared) return shareTiles(s);
  const bool mip = wantsMipMaps(s);
  // Tiles of a shared picture are never written for one sprite.
  const bool sameSize = s.gpu.width == s.imageWidth && s.gpu.height == s.imageHeight && s.gpu.tile[0] &&
                        !isShared(s.gpu.tile[0]);
  if (!sameSize) {
    releaseTiles(s.gpu.tile);
    createTiles(s.gpu.tile, s, mip);
    s.gpu.width = s.imageWidth;
    s.gpu.height = s.imageHeight;
  }
  writeTiles(s.gpu.tile, s, mip);
}

// The mask lies over the picture: tile i of the mask covers tile i of the
// picture when both have the same size, else one texture holds the mask.
bool maskPerTile(const sprite::Slot& s) { return s.mask->width == s.imageWidth && s.mask->height == s.imageHeight; }

// source: the mask, or its copy with the ramped alpha.
void writeMask(const sprite::Slot& s, const image::Image* source) {
  if (!maskPerTile(s)) {
    uploadTextureLevel(s.gpu.mask[0], 0, source);
    return;
  }
  for (int i = 0; i < s.tileCount && i < static_cast<int>(s.tiles.size()); ++i) {
    const sprite::Tile& t = s.tiles[static_cast<size_t>(i)];
    uploadTextureRect(s.gpu.mask[static_cast<size_t>(i)], source, t.x, t.y, t.width, t.height);
  }
}

void uploadMask(sprite::Slot& s) {
  releaseTiles(s.gpu.mask);
  s.gpu.maskRamped = -1;
  if (!s.mask || !s.mask->pixels) return;
  if (maskPerTile(s)) {
    for (int i = 0; i < s.tileCount && i < static_cast<int>(s.tiles.size()); ++i)
      s.gpu.mask[static_cast<size_t>(i)] = createTexture(s.tileTexWidth, s.tileTexHeight, 1);
  } else {
    s.gpu.mask[0] = createTexture(s.mask->width, s.mask->height, 1);
  }
  writeMask(s, s.mask);
}

// Without pixel shaders the mask's alpha becomes the ramp value of each
// texel (v, the progress p of 0-512 and the blue byte m: row v at
// (v + 255) p / 512 + 255 - m), inverted unless the reverse flag is set,
// and the sprite is drawn with that alpha on stage 1. Redone only when the
// setting changes, e.g. along an M track.
void rampMask(sprite::Slot& s) {
  const int v = s.maskVague & 511, p = std::clamp(s.maskProgress, 0, 512);
  const bool reverse = s.maskReverse != 0, sixteen = device().formatTexture == GL_RGBA4;
  const int key = v | p << 9 | int(reverse) << 19 | int(sixteen) << 20;
  if (s.gpu.maskRamped == key) return;
  const image::Image& m = *s.mask;
  drawState.ramped.resize(static_cast<size_t>(m.count));
  if (sixteen) {
    // Four-bit alpha: the 64-wide rows of v >> 4 over the top nibbles.
    const int row = v >> 4, shift = (row + 15) * p / 512 + 15;
    const uint8_t* ramp = maskRamp16Row(row);
    for (size_t i = 0; i < drawState.ramped.size(); ++i) {
      const int k = std::clamp(shift - static_cast<int>((m.pixels[i] & 0xFF) >> 4), 0, 63);
      const uint32_t a = reverse ? ramp[k] >> 4 : 15u - (ramp[k] >> 4);
      drawState.ramped[i] = (m.pixels[i] & 0x00FFFFFFu) | (a * 17) << 24;
    }
  } else {
    const int shift = (v + 255) * p / 512 + 255;
    const uint8_t* ramp = maskRampRow(v);
    for (size_t i = 0; i < drawState.ramped.size(); ++i) {
      const int k = std::clamp(shift - static_cast<int>(m.pixels[i] & 0xFF), 0, 1023);
      const uint32_t a = reverse ? ramp[k] : 255u - ramp[k];
      drawState.ramped[i] = (m.pixels[i] & 0x00FFFFFFu) | a << 24;
    }
  }
  image::Image ramped = m;
  ramped.pixels = drawState.ramped.data();
  writeMask(s, &ramped);
  s.gpu.maskRamped = key;
}

void ensureRenderTarget(sprite::Slot& s) {
  const bool sameSize = s.gpu.width == s.imageWidth && s.gpu.height == s.imageHeight;
  // A target the device refused is reported once, not again every frame.
  if (sameSize && (s.gpu.renderTarget || s.gpu.targetRefused)) return;
  releaseTexture(s.gpu.renderTarget);
  releaseSurface(s.gpu.renderSurface);
  if (s.imageWidth <= 0 || s.imageHeight <= 0) return;
  s.gpu.renderTarget = createRenderTargetTexture(s.imageWidth, s.imageHeight, s.gpu.renderSurface);
  s.gpu.targetRefused = !s.gpu.renderTarget;
  s.gpu.width = s.imageWidth;
  s.gpu.height = s.imageHeight;
}

uint32_t channel(uint32_t c, int shift) { return (c >> shift) & 0xFF; }

// A tile corner's texture coordinates as a share of the whole picture.
void pictureCoordinates(const sprite::Slot& s, const sprite::Tile& t, GpuVertex& v) {
  v.u0 = (static_cast<float>(t.x) + v.u0 * static_cast<float>(s.tileTexWidth)) / static_cast<float>(std::max(s.imageWidth, 1));
  v.v0 = (static_cast<float>(t.y) + v.v0 * static_cast<float>(s.tileTexHeight)) / static_cast<float>(std::max(s.imageHeight, 1));
}

bool axisAligned(const sprite::Slot& s) {
  return s.rotX == 0 && s.rotY == 0 && s.rotZ == 0 && s.scaleW == 1 && s.scaleH == 1;
}

ProgramId standFor(int colourMode) {
  if (colourMode == 4) return ProgramId::Stand4;
  if (colourMode == 7) return ProgramId::Stand7;
  return ProgramId::Stand;  // other modes fade without a colour step of their own
}

bool drawable(const sprite::Slot* s) {
  if (!s || s->alpha == 0) return false;
  if ((s->loadFlags & (sprite::kLoadWindowLayer | sprite::kLoadWindowLayerQuake)) && !(windowVisibleFlags() & 1)) return false;
  return s->renderTarget || s->picture;
}

// Vertices of one slot in clip space, rows flipped for top-down targets.
// sharp: one texture holding the whole picture instead of the tiles.
void pushSlot(int n, sprite::Slot& s, int trackMask, const DrawItem& base, GLuint maskOrOld0,
              const std::array<void*, sprite::kMaxTiles>* second, void* sharp = nullptr) {
  const DeviceState& d = device();
  if (s.dirty) {
    QuakeOffset o;
    o.present = sprite::quakeOffset(n, s, o.x, o.y);
    placeSlotWithTracks(s, trackMask, d.targetWidth, d.targetHeight, o);
  }
  float m[16];
  multiplyPlacement(s, m);
  const size_t tiles = std::min<size_t>(s.vertices.size() / 4, static_cast<size_t>(std::max(s.tileCount, 1)));
  for (size_t t = 0; t < tiles; ++t) {
    GpuVertex v[4];
    for (int k = 0; k < 4; ++k) {
      const sprite::TileVertex& tv = s.vertices[t * 4 + static_cast<size_t>(k)];
      const float x = tv.x * m[0] + tv.y * m[4] + tv.z * m[8] + m[12];
      const float y = tv.x * m[1] + tv.y * m[5] + tv.z * m[9] + m[13];
      const float z = tv.x * m[2] + tv.y * m[6] + tv.z * m[10] + m[14];
      const float w = tv.x * m[3] + tv.y * m[7] + tv.z * m[11] + m[15];
      v[k] = {x, -y, 2 * z - w, w, tv.u0, tv.v0, tv.u1, tv.v1, tv.diffuse};
      if (sharp) pictureCoordinates(s, s.tiles[t], v[k]);
    }
    DrawItem item = base;
    item.first = streamPush(v, 4);
    item.texture0 = sharp ? glName(sharp) : s.renderTarget ? glName(s.gpu.renderTarget) : glName(s.gpu.tile[t]);
    if (second) item.texture1 = glName((*second)[t] ? (*second)[t] : (*second)[0]);
    else item.texture1 = maskOrOld0;
    drawState.items.push_back(item);
  }
}

void collectSprite(int n, bool after) {
  const sprite::Sprite& r = sprite::record(n);
  // The after picture is the screen as the commit leaves it: without the
  // sprites it deletes.
  if (after && (r.pending & sprite::kPendingDelete)) return;
  sprite::Slot* s = after ? sprite::afterSlot(n) : sprite::frontSlot(n);
  if (!drawable(s)) return;
  if (s->renderTarget) ensureRenderTarget(*s);
  else if (s->upload) uploadSlot(*s);
  if (s->renderTarget && !s->gpu.renderTarget) return;  // refused: nothing to show
  DrawItem base{};
  base.programId = ProgramId::Sprite;
  base.blend = std::clamp(s->blend, 0, static_cast<int>(kBlendRowCount) - 1);
  base.stage1 = static_cast<int>(blendSetting(base.blend, device().caps.blendOp).stage1);
  base.mip = wantsMipMaps(*s);
  if (colourBlend() && s->colourMode != 0) {
    base.stage1 = static_cast<int>(Stage1::ColourOp);
    base.colourOp = s->colourMode;
  }
  base.factor[0] = static_cast<float>(channel(s->colour, 16)) / 255.0f;
  base.factor[1] = static_cast<float>(channel(s->colour, 8)) / 255.0f;
  base.factor[2] = static_cast<float>(channel(s->colour, 0)) / 255.0f;
  base.factor[3] = static_cast<float>(channel(s->colour, 24)) / 255.0f;
  const bool shaders = device().caps.pixelShaderMajor >= 2;
  sprite::Slot* old = sprite::slot(n, r.front);
  sprite::Slot* fresh = sprite::slot(n, r.front ^ 1);
  if (r.linked != 0 && shaders && old && fresh && fresh->picture && !s->renderTarget) {
    if (fresh->upload) uploadSlot(*fresh);
    if (old->upload) uploadSlot(*old);
    base.programId = standFor(s->colourMode);
    base.c0 = std::min(static_cast<float>(r.linked) / 256.0f, 1.0f);
    // New picture on stage 0, the old one on stage 1, the old slot's placement.
    drawState.items.reserve(drawState.items.size() + static_cast<size_t>(fresh->tileCount));
    const size_t firstItem = drawState.items.size();
    pushSlot(n, *old, static_cast<int>(r.trackMask), base, 0, &old->gpu.tile);
    for (size_t i = firstItem; i < drawState.items.size(); ++i)
      drawState.items[i].texture1 = drawState.items[i].texture0,
      drawState.items[i].texture0 = glName(fresh->gpu.tile[i - firstItem] ? fresh->gpu.tile[i - firstItem] : fresh->gpu.tile[0]);
    return;
  }
  if (s->mask && s->gpu.mask[0]) {
    if (shaders) {
      base.programId = s->maskReverse ? ProgramId::AlphaMask2 : ProgramId::AlphaMask1;
      const int v = s->maskVague;
      const int p = std::min(s->maskProgress, 512);
      base.c0 = 255.0f / static_cast<float>(std::max(v, 1));
      base.c1 = static_cast<float>(v + 255) * static_cast<float>(p) / 130560.0f;
    } else {
      rampMask(*s);
      base.programId = ProgramId::SpriteMasked;
    }
    const bool perTile = s->gpu.mask[1] != nullptr || s->tileCount == 1;
    pushSlot(n, *s, static_cast<int>(r.trackMask), base, glName(s->gpu.mask[0]), perTile ? &s->gpu.mask : nullptr);
    return;
  }
  void* sharp = s->showsText ? sharpTextSprite(n, *s) : nullptr;
  base.point = sharp && axisAligned(*s);
  pushSlot(n, *s, static_cast<int>(r.trackMask), base, device().whiteTexture, nullptr, sharp);
}

bool sameState(const DrawItem& a, const DrawItem& b) {
  return a.texture0 == b.texture0 && a.texture1 == b.texture1 && a.programId == b.programId && a.blend == b.blend &&
         a.stage1 == b.stage1 && a.colourOp == b.colourOp && a.mip == b.mip && a.point == b.point && a.c0 == b.c0 &&
         a.c1 == b.c1 &&
         std::memcmp(a.factor, b.factor, sizeof a.factor) == 0;
}

void applyState(const DrawItem& it, int& blend, ProgramId& current) {
  const DeviceState& d = device();
  if (it.programId != current) useProgram(it.programId), current = it.programId;
  if (it.blend != blend) applyBlendRow(it.blend), blend = it.blend;
  const Program& p = program(it.programId);
  if (p.stage1 >= 0) glUniform1i(p.stage1, it.stage1);
  if (p.colourOp >= 0) glUniform1i(p.colourOp, it.colourOp);
  if (p.factor >= 0) glUniform4fv(p.factor, 1, it.factor);
  if (p.c0 >= 0) glUniform4f(p.c0, it.c0, 0, 0, 0);
  if (p.c1 >= 0) {
    if (it.programId == ProgramId::Stand4 || it.programId == ProgramId::Stand7) glUniform4fv(p.c1, 1, it.factor);
    else glUniform4f(p.c1, it.c1, 0, 0, 0);
  }
  glActiveTexture(GL_TEXTURE1);
  glBindTexture(GL_TEXTURE_2D, it.texture1 ? it.texture1 : d.whiteTexture);
  glBindSampler(1, d.samplerLinear);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, it.texture0);
  glBindSampler(0, it.point ? d.samplerPoint : it.mip ? d.samplerLinearMip : d.samplerLinear);
}

void signItem(const DrawItem& it) {
  for (GLuint t : {it.texture0, it.texture1}) signValue(t);
  for (int v : {static_cast<int>(it.programId), it.blend, it.stage1, it.colourOp, static_cast<int>(it.mip)}) signValue(v);
  for (float f : {it.factor[0], it.factor[1], it.factor[2], it.factor[3], it.c0, it.c1}) signValue(f);
}

// Runs of equal state go in one call; within it the tiles are drawn, and
// blended, in the order given, as separate calls would draw them.
void execute() {
  if (drawState.items.empty()) return;
  streamUpload();
  if (signing()) {
    for (const DrawItem& it : drawState.items) signItem(it);
    return;
  }
  int blend = -1;
  ProgramId current = ProgramId::Count;
  for (size_t i = 0; i < drawState.items.size();) {
    const DrawItem& it = drawState.items[i];
    applyState(it, blend, current);
    drawState.firsts.clear();
    drawState.counts.clear();
    do {
      drawState.firsts.push_back(static_cast<GLint>(drawState.items[i].first));
      drawState.counts.push_back(4);
      ++i;
    } while (drawState.batching && i < drawState.items.size() && sameState(drawState.items[i], it));
    multiDrawArrays(GL_TRIANGLE_STRIP, drawState.firsts.data(), drawState.counts.data(), static_cast<GLsizei>(drawState.firsts.size()));
  }
  glActiveTexture(GL_TEXTURE1);
  glBindTexture(GL_TEXTURE_2D, 0);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, 0);
}

}  // namespace

void uploadSlot(sprite::Slot& s) {
  if (s.upload & sprite::kUploadPixels) forgetSharpTextSprite(s);
  if ((s.upload & sprite::kUploadPixels) && s.picture) uploadTiles(s);
  if (s.upload & sprite::kUploadMask) uploadMask(s);
  s.upload = 0;
}

void setSpriteBatching(bool on) { drawState.batching = on; }

void forgetSharedTiles() {
  drawState.shared.clear();
  drawState.sharedByTile.clear();
}

void releaseSlotTextures(sprite::Slot& s) {
  forgetSharpTextSprite(s);
  releaseTiles(s.gpu.tile);
  releaseTiles(s.gpu.mask);
  releaseTexture(s.gpu.renderTarget);
  releaseSurface(s.gpu.renderSurface);
  s.gpu.width = s.gpu.height = 0;
}

void drawGroup(int group, bool after, int keyFrom, int keyTo) {
  streamBegin();
  drawState.items.clear();
  const std::map<int, int>& order = sprite::drawOrder(group);
  for (auto it = order.rbegin(); it != order.rend(); ++it) {
    if (it->first > keyFrom) continue;
    if (it->first < keyTo) break;
    collectSprite(it->second, after);
  }
  execute();
}

int firstTextSpriteKey(bool& shown) {
  shown = false;
  int first = -1;
  const std::map<int, int>& order = sprite::drawOrder(0);
  for (auto it = order.rbegin(); it != order.rend() && !shown; ++it) {
    const sprite::Slot* s = sprite::frontSlot(it->second);
    if (!drawable(s) || !s->showsText) continue;
    shown = true;
    if (it->first >= 0) first = it->first;
  }
  return first;
}

void drawRenderTargetSprites(bool after) {
  const std::set<int>& targets = sprite::renderTargets();
  for (auto it = targets.rbegin(); it != targets.rend(); ++it) {
    const int n = *it;
    if (n <= 0) continue;
    sprite::Slot* s = after ? sprite::afterSlot(n) : sprite::frontSlot(n);
    if (!s) {
      if (!signing()) showErrorBox("RenderTextureA " + std::to_string(n) + " Not Found");
      continue;
    }
    if (!s->renderTarget) continue;
    ensureRenderTarget(*s);
    if (!s->gpu.renderSurface) continue;
    bindTarget(glName(s->gpu.renderSurface), s->imageWidth, s->imageHeight);
    if (signing()) {
      signValue(n);
    } else {
      glClearColor(0, 0, 0, 0);
      glClear(GL_COLOR_BUFFER_BIT);
    }
    drawGroup(n, after, INT_MAX, INT_MIN);
  }
}

void recreateRenderTargetSprites() {
  for (int n : sprite::renderTargets())
    for (int i = 0; i < 2; ++i)
      if (sprite::Slot* s = sprite::slot(n, i); s && s->renderTarget) ensureRenderTarget(*s);
}

void releaseRenderTargetSprites() {
  for (int n : sprite::renderTargets())
    for (int i = 0; i < 2; ++i)
      if (sprite::Slot* s = sprite::slot(n, i); s && s->renderTarget) {
        releaseTexture(s->gpu.renderTarget);
        releaseSurface(s->gpu.renderSurface);
        s->gpu.width = s->gpu.height = 0;
      }
}

}  // namespace velmora::render
