// Box blur and mosaic: means over windows and blocks, alpha-weighted colours
// for pictures with significant alpha.
#include <algorithm>
#include <vector>

#include "image/internal.h"

namespace velmora::image {
namespace {

using namespace detail;

// The four bytes as summed: colours weighted by alpha unless the picture is opaque.
inline void weighted(uint32_t p, bool opaque, int out[4]) {
  int a = int(p >> 24);
  if (opaque) {
    for (int c = 0; c < 4; ++c) out[c] = int(p >> (8 * c)) & 255;
    return;
  }
  int g = a + (a >= 128 ? 1 : 0);
  for (int c = 0; c < 3; ++c) out[c] = ((int(p >> (8 * c)) & 255) * g) >> 8;
  out[3] = a;
}

// Mean with the 16-bit reciprocal for small areas, a division otherwise.
inline uint32_t mean(int64_t sum, int64_t n, bool small) {
  if (small) return uint32_t(((sum + n / 2) * (65536 / n)) >> 16);
  return uint32_t((sum + n / 2) / n);
}

inline uint32_t pack(const int64_t sums[4], int64_t n, bool small) {
  uint32_t out = 0;
  for (int c = 0; c < 4; ++c) out |= std::min<uint32_t>(mean(sums[c], n, small), 255) << (8 * c);
  return out;
}

}  // namespace

int blurImage(Image* image, int radiusX, int radiusY) {
  if (!image || !image->pixels) {
    say("-BLR: 画像データを読み込めませんでした\n");
    return 0;
  }
  const int w = image->width, h = image->height;
  radiusX = std::max(radiusX, 0), radiusY = std::max(radiusY, 0);
  bool opaque = image->depth == 24;
  bool small = (2 * int64_t(radiusX) + 1) * (2 * int64_t(radiusY) + 1) < 256;
  radiusX = std::min(radiusX, w), radiusY = std::min(radiusY, h);
  // Row sums over the clipped horizontal window, then column sums of those.
  std::vector<int64_t> rows(size_t(image->count) * 4);
  std::vector<int64_t> prefix(size_t(w + 1) * 4);
  for (int y = 0; y < h; ++y) {
    const uint32_t* src = image->pixels + size_t(y) * w;
    for (int x = 0; x < w; ++x) {
      int v[4];
      weighted(src[x], opaque, v);
      for (int c = 0; c < 4; ++c) prefix[size_t(x + 1) * 4 + c] = prefix[size_t(x) * 4 + c] + v[c];
    }
    for (int x = 0; x < w; ++x) {
      int x0 = std::max(0, x - radiusX), x1 = std::min(w, x + radiusX + 1);
      for (int c = 0; c < 4; ++c) rows[(size_t(y) * w + x) * 4 + c] = prefix[size_t(x1) * 4 + c] - prefix[size_t(x0) * 4 + c];
    }
  }
  std::vector<int64_t> column(size_t(h + 1) * 4);
  for (int x = 0; x < w; ++x) {
    for (int y = 0; y < h; ++y)
      for (int c = 0; c < 4; ++c) column[size_t(y + 1) * 4 + c] = column[size_t(y) * 4 + c] + rows[(size_t(y) * w + x) * 4 + c];
    int x0 = std::max(0, x - radiusX), x1 = std::min(w, x + radiusX + 1);
    for (int y = 0; y < h; ++y) {
      int y0 = std::max(0, y - radiusY), y1 = std::min(h, y + radiusY + 1);
      int64_t sums[4];
      for (int c = 0; c < 4; ++c) sums[c] = column[size_t(y1) * 4 + c] - column[size_t(y0) * 4 + c];
      image->pixels[size_t(y) * w + x] = pack(sums, int64_t(x1 - x0) * (y1 - y0), small);
    }
  }
  return 1;
}

int mosaicImage(Image* image, int blockWidth, int blockHeight) {
  if (!image || !image->pixels) {
    say("-BLR: 画像データを読み込めませんでした\n");
    return 0;
  }
  if (blockWidth <= 0 || blockHeight <= 0) return 1;
  const int w = image->width, h = image->height;
  bool opaque = image->depth == 24;
  bool small = int64_t(blockWidth) * blockHeight < 256;
  blockWidth = std::min(blockWidth, w), blockHeight = std::min(blockHeight, h);
  for (int by = 0; by < h; by += blockHeight) {
    int y1 = std::min(h, by + blockHeight);
    for (int bx = 0; bx < w; bx += blockWidth) {
      int x1 = std::min(w, bx + blockWidth);
      int64_t sums[4] = {0, 0, 0, 0};
      for (int y = by; y < y1; ++y)
        for (int x = bx; x < x1; ++x) {
          int v[4];
          weighted(image->pixels[size_t(y) * w + x], opaque, v);
          for (int c = 0; c < 4; ++c) sums[c] += v[c];
        }
      uint32_t m = pack(sums, int64_t(x1 - bx) * (y1 - by), small);
      for (int y = by; y < y1; ++y) std::fill(image->pixels + size_t(y) * w + bx, image->pixels + size_t(y) * w + x1, m);
      if (x1 == w) break;
    }
    if (y1 == h) break;
  }
  return 1;
}

}  // namespace velmora::image
