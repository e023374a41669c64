// Tiling a picture into device-sized textures and the tile quads.
#include <algorithm>
#include <new>
#include <string>

#include "base/report.h"
#include "image/image.h"
#include "sprite/internal.h"

namespace velmora::sprite {

namespace {

int powerOfTwo(int v) {
  int p = 1;
  while (p < v && p < (1 << 30)) p <<= 1;
  return p;
}

struct Axis {
  int count, texture, last;
};

// One axis of the tiling: split when the power-of-two size exceeds the limit.
Axis splitAxis(int size, int texture, int limit) {
  if (limit <= 0 || texture <= limit) return {1, texture, size};
  int count = (size + limit - 1) / limit;
  return {count, limit, size - (count - 1) * limit};
}

}  // namespace

bool layTiles(Slot& s, int w, int h, int frames) {
  const TextureLimits& lim = table().limits;
  if (frames < 1) frames = 1;
  int tw = powerOfTwo(w), th = powerOfTwo(h);
  if (lim.square) tw = th = std::max(tw, th);
  Axis cols = splitAxis(w, tw, lim.maxWidth);
  Axis rows = splitAxis(h, th, lim.maxHeight);
  if (cols.count * rows.count > kMaxTiles) {
    reportError("Sprite Size Over " + std::to_string(cols.count) + "," + std::to_string(rows.count));
    return false;
  }
  if (cols.count == 1 && rows.count == 1 && !lim.pow2) {
    cols.texture = (w + 1) & ~1;
    rows.texture = (h + 1) & ~1;
    if (lim.square) cols.texture = rows.texture = std::max(cols.texture, rows.texture);
  }
  try {
    s.tiles.clear();
    for (int r = 0; r < rows.count; ++r)
      for (int c = 0; c < cols.count; ++c)
        s.tiles.push_back({c * cols.texture, r * rows.texture, c + 1 == cols.count ? cols.last : cols.texture,
                           r + 1 == rows.count ? rows.last : rows.texture});
    s.vertices.assign(s.tiles.size() * 4, TileVertex{});
  } catch (const std::bad_alloc&) {
    s.tiles.clear();
    s.vertices.clear();
    reportError("Sprite Create");
    return false;
  }
  s.tileColumns = cols.count;
  s.tileRows = rows.count;
  s.tileCount = cols.count * rows.count;
  s.tileTexWidth = cols.texture;
  s.tileTexHeight = rows.texture;
  s.lastTileWidth = cols.last;
  s.lastTileHeight = rows.last;
  s.imageWidth = w;
  s.imageHeight = h;
  s.frames = frames;
  s.width = w;
  s.height = h / frames;
  buildVertices(s);
  return true;
}

// A render target is one texture the device keeps and draws into every frame:
// no side beyond its largest texture (16384 while no device is known) and no
// more than 4096 x 4096 pixels (64 MiB), twice a 3840 x 2160 screen.
constexpr int kTargetSideWithoutDevice = 16384;
constexpr int64_t kMaxTargetPixels = int64_t(4096) * 4096;

bool renderTargetFits(int n, int w, int h) {
  const int device = table().limits.deviceMaxSide;
  const int side = device > 0 ? device : kTargetSideWithoutDevice;
  if (w <= side && h <= side && int64_t(w) * h <= kMaxTargetPixels) return true;
  reportError(std::to_string(n) + " RenderTarget Size Over " + std::to_string(w) + "," + std::to_string(h));
  return false;
}

// Two model units span one tile texture; the anchor sits at the origin and y
// grows upward. A tile row that lies outside the shown frame gets an empty
// quad.
void buildVertices(Slot& s) {
  if (s.tiles.empty() || s.tileTexWidth <= 0 || s.tileTexHeight <= 0) return;
  const float tw = float(s.tileTexWidth), th = float(s.tileTexHeight);
  const int frameHeight = s.height;
  const int frame = std::clamp(s.frame, 0, std::max(0, s.frames - 1));
  const int bandTop = frame * frameHeight, bandBottom = bandTop + frameHeight;
  const float left = -s.originX * float(s.width) / tw;
  const float top = s.originY * float(frameHeight) / th;
  const uint32_t diffuse = uint32_t(s.alpha & 255) << 24 | 0xFFFFFFu;
  for (size_t i = 0; i < s.tiles.size(); ++i) {
    const Tile& t = s.tiles[i];
    TileVertex* v = &s.vertices[i * 4];
    int a = std::max(t.y, bandTop), b = std::min(t.y + t.height, bandBottom);
    if (b < a) b = a;
    float x0 = left + 2.0f * float(t.x) / tw, x1 = left + 2.0f * float(t.x + t.width) / tw;
    float y0 = top - 2.0f * float(a - bandTop) / th, y1 = top - 2.0f * float(b - bandTop) / th;
    float u1 = float(t.width) / tw;
    float v0 = float(a - t.y) / th, v1 = float(b - t.y) / th;
    // The mask covers the shown frame, not the whole stacked picture.
    float m0 = std::max(0.0f, v0 - float(bandTop) / th), m1 = m0 + (v1 - v0);
    v[0] = {x0, y0, 0.0f, diffuse, 0.0f, v0, 0.0f, m0};
    v[1] = {x1, y0, 0.0f, diffuse, u1, v0, u1, m0};
    v[2] = {x0, y1, 0.0f, diffuse, 0.0f, v1, 0.0f, m1};
    v[3] = {x1, y1, 0.0f, diffuse, u1, v1, u1, m1};
  }
  s.dirty = true;
}

void setVertexAlpha(Slot& s) {
  const uint32_t diffuse = uint32_t(s.alpha & 255) << 24 | 0xFFFFFFu;
  for (TileVertex& v : s.vertices) v.diffuse = diffuse;
  s.dirty = true;
}

namespace {

void attachTiled(Slot& s, image::Image* picture, std::shared_ptr<const image::Image> shared, int resolution) {
  dropPicture(s);
  s.picture = picture;
  s.shared = std::move(shared);
  s.renderTarget = false;
  s.placeholder = false;
  s.showsText = false;
  s.resolution = resolution;
  s.upload |= kUploadPixels;
}

}  // namespace

bool attachPicture(Slot& s, image::Image* picture, int frames, int resolution) {
  if (!layTiles(s, picture->width, picture->height, frames)) {
    image::freeImage(picture);
    return false;
  }
  attachTiled(s, picture, nullptr, resolution);
  return true;
}

bool attachSharedPicture(Slot& s, std::shared_ptr<const image::Image> picture, int frames, int resolution) {
  if (!layTiles(s, picture->width, picture->height, frames)) return false;
  // Never written through: ownPicture copies first.
  image::Image* shown = const_cast<image::Image*>(picture.get());
  attachTiled(s, shown, std::move(picture), resolution);
  return true;
}

}  // namespace velmora::sprite
