// Compositing one image onto another: copy, XOR, the 21 blend functions with
// an opacity, the expand canvas, and the two-picture cross-fade.
#include <algorithm>
#include <cstring>

#include "image/blend_kernels.h"
#include "image/internal.h"

namespace velmora::image {
namespace {

using namespace detail;

// The mask kind of modes 22 and 23 when reached through blendImage.
constexpr int kBlendMaskKind = 0;

// The overlap of a source placed at (x, y) on the destination.
struct Overlap {
  int dx, dy, sx, sy, w, h;
};

bool placement(const Image* dst, const Image* src, int x, int y, Overlap& o) {
  if (!(-x < src->width && x < dst->width && -y < src->height && y < dst->height)) return false;
  o.dx = std::max(x, 0), o.dy = std::max(y, 0);
  o.sx = o.dx - x, o.sy = o.dy - y;
  o.w = std::min(dst->width, x + src->width) - o.dx;
  o.h = std::min(dst->height, y + src->height) - o.dy;
  return true;
}

bool sticksOut(const Image* dst, const Image* src, int x, int y) {
  return x < 0 || y < 0 || x + src->width > dst->width || y + src->height > dst->height;
}

// Copy, copy-where-visible or XOR over the overlap (composite modes 0-2).
void compositeRows(Image* dst, const Image* src, int mode, const Overlap& o) {
  for (int r = 0; r < o.h; ++r) {
    uint32_t* d = dst->pixels + size_t(o.dy + r) * dst->width + o.dx;
    const uint32_t* s = src->pixels + size_t(o.sy + r) * src->width + o.sx;
    if (mode == 0) {
      std::memcpy(d, s, size_t(o.w) * 4);
    } else if (mode == 1) {
      for (int i = 0; i < o.w; ++i)
        if (s[i] >> 24) d[i] = s[i];
    } else {
      for (int i = 0; i < o.w; ++i) d[i] ^= s[i];
    }
  }
}

void blendRows(Image* dst, const Image* src, int mode, int opacity, const Overlap& o) {
  bool full = (opacity & ~0xFF) != 0;
  for (int r = 0; r < o.h; ++r) {
    uint32_t* d = dst->pixels + size_t(o.dy + r) * dst->width + o.dx;
    const uint32_t* s = src->pixels + size_t(o.sy + r) * src->width + o.sx;
    if (mode == 0) {
      if (full) {
        std::memcpy(d, s, size_t(o.w) * 4);
      } else {
        for (int i = 0; i < o.w; ++i) d[i] = (s[i] & 0xFFFFFF) | uint32_t((opacity * int(s[i] >> 24)) >> 8) << 24;
      }
    } else if (mode == 1) {
      int k = full ? 256 : opacity;
      if (!simdBlend()) kernels::normalRow(d, s, o.w, k);
      else if (avx2Paths()) kernels::normalRowAvx2(d, s, o.w, k);
      else kernels::normalRowSimd(d, s, o.w, k);
    } else {
      kernels::separableRow(d, s, o.w, full ? 256 : opacity, tables().blend[mode - 1]);
    }
  }
}

// Creates the expand canvas with the old destination laid in; null when out of memory.
Image* expandCanvas(Image* dst, const Image* src, int x, int y, int depth) {
  int w = std::max(dst->width, x + src->width) - std::min(x, 0);
  int h = std::max(dst->height, y + src->height) - std::min(y, 0);
  Image* canvas = createImage(w, h, depth);
  if (!canvas) return nullptr;
  std::memset(canvas->pixels, 0, size_t(canvas->count) * 4);
  Overlap o;
  placement(canvas, dst, std::max(-x, 0), std::max(-y, 0), o);
  compositeRows(canvas, dst, 0, o);
  return canvas;
}

int maskModes(Image*& dst, Image* src, int mode, int x, int y) {
  if (mode == 22) return maskToAlpha(dst, src, kBlendMaskKind, x, y);
  return maskToAlphaSideBySide(dst, kBlendMaskKind, x, y);
}

}  // namespace

int blendImage(Image*& destination, Image* source, int mode, int x, int y, int opacity, int expand) {
  if (mode == 22 || mode == 23) return maskModes(destination, source, mode, x, y);
  if (!destination || !source) {
    say("-BLD: 画像データが読み込まれてません\n");
    return 0;
  }
  if (opacity == 0) return 1;
  if (mode < 0 || mode > 21) return 1;
  Overlap o;
  if (!placement(destination, source, x, y, o)) {
    say("-BLD: 座標の指定が不正です\n");
    return 0;
  }
  if (expand && sticksOut(destination, source, x, y)) {
    Image* canvas = expandCanvas(destination, source, x, y, destination->depth);
    if (!canvas) {
      say("-BLD: メモリを確保出来ませんでした\n");
      return 0;
    }
    freeImage(destination);
    destination = canvas;
    placement(destination, source, std::max(x, 0), std::max(y, 0), o);
  }
  blendRows(destination, source, mode, opacity, o);
  return 1;
}

int compositeImage(Image*& destination, Image* source, int mode, int x, int y, int expand) {
  if (mode >= 3) {
    if (mode == 25 || mode == 26) return maskModes(destination, source, mode - 3, x, y);
    return blendImage(destination, source, mode - 3, x, y, 256, expand);
  }
  if (!destination || !source) {
    say("-CMP: 画像データが読み込まれてません\n");
    return 0;
  }
  Overlap o;
  if (!placement(destination, source, x, y, o)) {
    say("-CMP: 座標の指定が不正です\n");
    return 0;
  }
  if (mode < 0) return 1;
  if (expand && sticksOut(destination, source, x, y)) {
    Image* canvas = expandCanvas(destination, source, x, y, 32);
    if (!canvas) {
      say("-CMP: メモリを確保出来ませんでした\n");
      return 0;
    }
    freeImage(destination);
    destination = canvas;
    placement(destination, source, std::max(x, 0), std::max(y, 0), o);
  }
  compositeRows(destination, source, mode, o);
  return 1;
}

int blendTwoImages(Image* destination, const uint32_t* first, const uint32_t* second, int factor) {
  if (!destination || !destination->pixels || !first || !second) {
    say("-BLD: 画像データが読み込まれてません\n");
    return 0;
  }
  factor = std::clamp(factor, 0, 256);
  uint32_t* out = destination->pixels;
  int n = destination->count;
  if (!simdBlend()) kernels::crossFade(out, first, second, n, factor);
  else if (avx2Paths()) kernels::crossFadeAvx2(out, first, second, n, factor);
  else kernels::crossFadeSimd(out, first, second, n, factor);
  return 1;
}

// ---- masks to alpha -------------------------------------------------------

namespace {

uint8_t maskAlpha(int kind, uint8_t d, uint32_t m) {
  const uint8_t* product = tables().product;
  uint8_t blue = uint8_t(m), alpha = uint8_t(m >> 24);
  switch (kind) {
    case 0: return blue;
    case 1: return uint8_t(255 - blue);
    case 2: return alpha;
    case 3: return uint8_t(255 - alpha);
    case 4: return product[d * 256 + blue];
    case 5: return product[d * 256 + 255 - blue];
    case 6: return product[d * 256 + alpha];
    case 7: return product[d * 256 + 255 - alpha];
  }
  return d;
}

}  // namespace

int maskToAlpha(Image* destination, const Image* mask, int kind, int x, int y) {
  if (!destination || !mask) {
    say("-M2A: 画像データが読み込まれてません\n");
    return 0;
  }
  Overlap o;
  if (!placement(destination, mask, x, y, o)) {
    say("-M2A: 座標の指定が不正です\n");
    return 0;
  }
  for (int r = 0; r < o.h; ++r) {
    uint32_t* d = destination->pixels + size_t(o.dy + r) * destination->width + o.dx;
    const uint32_t* m = mask->pixels + size_t(o.sy + r) * mask->width + o.sx;
    for (int i = 0; i < o.w; ++i) d[i] = (d[i] & 0xFFFFFF) | uint32_t(maskAlpha(kind, uint8_t(d[i] >> 24), m[i])) << 24;
  }
  destination->depth = 32;
  return 1;
}

int maskToAlphaSideBySide(Image*& image, int kind, int x, int y) {
  if (!image) {
    say("-M2A: 画像データを読み込めませんでした\n");
    return 0;
  }
  int half = image->width / 2, h = image->height;
  if (std::abs(x) >= half || std::abs(y) >= h) {
    say("-M2A: 座標の指定が不正です\n");
    return 0;
  }
  Image* picture = createImage(half, h, 32);
  if (!picture) {
    say("-M2A: メモリを確保出来ませんでした\n");
    return 0;
  }
  for (int r = 0; r < h; ++r) std::memcpy(picture->pixels + size_t(r) * half, image->pixels + size_t(r) * image->width, size_t(half) * 4);
  // The mask (right half) is laid over the picture at (x, y).
  int x0 = std::max(x, 0), x1 = std::min(half, half + x), y0 = std::max(y, 0), y1 = std::min(h, h + y);
  for (int py = y0; py < y1; ++py) {
    uint32_t* d = picture->pixels + size_t(py) * half;
    const uint32_t* m = image->pixels + size_t(py - y) * image->width + half - x;
    for (int px = x0; px < x1; ++px) d[px] = (d[px] & 0xFFFFFF) | uint32_t(maskAlpha(kind, uint8_t(d[px] >> 24), m[px])) << 24;
  }
  freeImage(image);
  image = picture;
  return 1;
}

}  // namespace velmora::image
