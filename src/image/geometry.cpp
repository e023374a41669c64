// Cutting, erasing, trimming, flipping and quarter-turn rotation.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "image/internal.h"
#include "image/resample.h"

namespace velmora::image {
namespace {

using namespace detail;

// Hands a new image to the caller's pointer, releasing what it held.
void handOver(Image*& dst, Image* result) {
  if (dst && dst != result) freeImage(dst);
  dst = result;
}

// Runs a two-image operation in place: the old image goes only on success.
template <typename Op>
int inPlace(Image*& image, Op op) {
  Image* result = nullptr;
  if (!op(result)) return 0;
  freeImage(image);
  image = result;
  return 1;
}

Image* newOrSay(int w, int h, int depth, const char* message) {
  Image* im = createImage(w, h, depth);
  if (!im) say(message);
  return im;
}

}  // namespace

int clippingImage(Image*& dst, Image* src, int x, int y, int width, int height) {
  if (!src || !src->pixels) {
    say("-CUT: 画像データを読み込めませんでした\n");
    return 0;
  }
  if (width <= 0 || height <= 0) {
    sayf("-CUT: サイズの指定が不正です %d,%d\n", width, height);
    return 0;
  }
  Image* out = newOrSay(width, height, src->depth, "-CUT: メモリを確保出来ませんでした\n");
  if (!out) return 0;
  out->left = x, out->top = y;
  std::memset(out->pixels, 0, size_t(out->count) * 4);
  int64_t x0 = std::max<int64_t>(x, 0), x1 = std::min<int64_t>(int64_t(x) + width, src->width);
  int64_t y0 = std::max<int64_t>(y, 0), y1 = std::min<int64_t>(int64_t(y) + height, src->height);
  for (int64_t sy = y0; x0 < x1 && sy < y1; ++sy)
    std::memcpy(out->pixels + size_t(sy - y) * width + size_t(x0 - x), src->pixels + size_t(sy) * src->width + x0,
                size_t(x1 - x0) * 4);
  handOver(dst, out);
  return 1;
}

int clippingImage2(Image*& image, int x, int y, int width, int height) {
  uint32_t mode = image ? image->mode : 0;
  return inPlace(image, [&](Image*& out) {
    if (!clippingImage(out, image, x, y, width, height)) return false;
    out->mode = mode;
    return true;
  });
}

int eraseImage(Image* image, int x, int y, int width, int height) {
  if (!image || !image->pixels) {
    say("-ERS: 画像データを読み込めませんでした\n");
    return 0;
  }
  if (width <= 0 || height <= 0) {
    sayf("-ERS: サイズの指定が不正です %d,%d\n", width, height);
    return 0;
  }
  int64_t x0 = std::max<int64_t>(x, 0), x1 = std::min<int64_t>(int64_t(x) + width, image->width);
  int64_t y0 = std::max<int64_t>(y, 0), y1 = std::min<int64_t>(int64_t(y) + height, image->height);
  for (int64_t r = y0; x0 < x1 && r < y1; ++r) std::memset(image->pixels + size_t(r) * image->width + x0, 0, size_t(x1 - x0) * 4);
  return 1;
}

int trimmingImage(Image*& dst, Image* src, int sides, int symmetric, int threshold) {
  if (!src || !src->pixels) {
    say("-TRM: 画像データを読み込めませんでした\n");
    return 0;
  }
  const int width = src->width, height = src->height;
  int minX = width, minY = height, right = 1, bottom = 1;
  bool any = false;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      if (int(src->pixels[size_t(y) * width + x] >> 24) > threshold) {
        minX = std::min(minX, x), minY = std::min(minY, y);
        right = any ? std::max(right, x + 1) : x + 1;
        bottom = any ? std::max(bottom, y + 1) : y + 1;
        any = true;
      }
  int left = 0, top = 0, w = width, h = height;
  if ((symmetric & 1) && (sides & 1) && (sides & 2)) {
    int m = std::min(minY, height - bottom);
    top = m, h = height - 2 * m;
  } else {
    if (sides & 1) top = minY, h -= minY;
    if (sides & 2) h += bottom - height;
  }
  if (top >= height) top = 0;
  if (h <= 0) h = 1;
  if ((symmetric & 2) && (sides & 4) && (sides & 8)) {
    int m = std::min(minX, width - right);
    left = m, w = width - 2 * m;
  } else {
    if (sides & 4) left = minX, w -= minX;
    if (sides & 8) w += right - width;
  }
  if (left >= width) left = 0;
  if (w <= 0) w = 1;
  return clippingImage(dst, src, left, top, w, h);
}

int trimmingImage2(Image*& image, int sides, int symmetric, int threshold) {
  return inPlace(image, [&](Image*& out) { return trimmingImage(out, image, sides, symmetric, threshold) != 0; });
}

namespace {

// Builds a same-size or transposed image whose pixel (col j, row i) is pick(j, i).
template <typename Pick>
int remap(Image*& dst, Image* src, bool transpose, Pick pick) {
  if (!src || !src->pixels) {
    say("-ROT: 画像データを読み込めませんでした\n");
    return 0;
  }
  int w = transpose ? src->height : src->width, h = transpose ? src->width : src->height;
  Image* out = newOrSay(w, h, src->depth, "-ROT: メモリを確保出来ませんでした\n");
  if (!out) return 0;
  for (int i = 0; i < h; ++i)
    for (int j = 0; j < w; ++j) out->pixels[size_t(i) * w + j] = pick(j, i);
  handOver(dst, out);
  return 1;
}

}  // namespace

int flipHorizontalImage(Image*& dst, Image* src) {
  return remap(dst, src, false, [&](int j, int i) { return src->pixels[size_t(src->height - 1 - i) * src->width + j]; });
}
int flipHorizontalImage2(Image*& image) {
  return inPlace(image, [&](Image*& out) { return flipHorizontalImage(out, image) != 0; });
}
int flipVerticalImage(Image*& dst, Image* src) {
  return remap(dst, src, false, [&](int j, int i) { return src->pixels[size_t(i) * src->width + src->width - 1 - j]; });
}
int flipVerticalImage2(Image*& image) {
  return inPlace(image, [&](Image*& out) { return flipVerticalImage(out, image) != 0; });
}

int rotateImage(Image*& dst, Image* src, double angle, double scale, int filter) {
  if (!src || !src->pixels) {
    say("-ROT: 画像データを読み込めませんでした\n");
    return 0;
  }
  if (angle != std::trunc(angle) || !std::isfinite(angle) || std::fabs(angle) > 2147483647.0)
    return rotateGeneral(dst, src, angle, scale, filter);
  int n = int(angle) % 360;
  const int w = src->width, h = src->height;
  int ok;
  if (n == 0) {
    Image* copy = copyImage(src);
    if (!copy) {
      say("-ROT: メモリを確保出来ませんでした\n");
      return 0;
    }
    dst = copy;
    return 1;
  } else if (n == 90 || n == -270) {
    ok = remap(dst, src, true, [&](int j, int i) { return src->pixels[size_t(h - 1 - j) * w + i]; });
  } else if (n == 180 || n == -180) {
    ok = remap(dst, src, false, [&](int j, int i) { return src->pixels[size_t(src->count - 1) - (size_t(i) * w + j)]; });
  } else if (n == 270 || n == -90) {
    ok = remap(dst, src, true, [&](int j, int i) { return src->pixels[size_t(j) * w + (w - 1 - i)]; });
  } else {
    return rotateGeneral(dst, src, angle, scale, filter);
  }
  if (!ok || scale == 0) return ok;
  int sw = std::max(int(scale * dst->width), 1), sh = std::max(int(scale * dst->height), 1);
  return resizeImage2(dst, sw, sh, 1, 1, 1);
}

int rotateImage2(Image*& image, double angle, double scale, int filter) {
  return inPlace(image, [&](Image*& out) { return rotateImage(out, image, angle, scale, filter) != 0; });
}

}  // namespace velmora::image
