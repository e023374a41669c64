// Resizing: nearest, bilinear in 18-bit fixed point, the banded 16-bit
// bilinear of the worker threads, and the exact-ratio area average.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <numeric>
#include <thread>
#include <vector>

#include "image/internal.h"
#include "image/resample.h"

namespace velmora::image {
namespace {

using namespace detail;

std::vector<Tap> bilinearTaps(int from, int to, int bits) {
  std::vector<Tap> taps(static_cast<size_t>(to));
  const int64_t one = int64_t(1) << bits;
  int64_t step = bits == 18 ? (int64_t(from) << 18) / to : int64_t(from) * 65536 / to;
  int64_t start = bits == 18 ? bilinearStart18(from, to) : bilinearStart16(from, to);
  for (int i = 0; i < to; ++i) {
    int64_t p = std::max<int64_t>(start + i * step, 0);
    int64_t index = p >> bits, f = p & (one - 1);
    if (from == 1) {
      taps[i] = {0, 0, 0};
      continue;
    }
    if (index > from - 2) index = from - 2, f = bits == 18 ? one : 65535;
    taps[i] = {int(index), int(index) + 1, int(f)};
  }
  return taps;
}

void bilinear18(const Image* src, Image* out) {
  std::vector<Tap> cols = bilinearTaps(src->width, out->width, 18), rows = bilinearTaps(src->height, out->height, 18);
  const int one = 1 << 18;
  for (int i = 0; i < out->height; ++i) {
    const Tap& ty = rows[i];
    const uint8_t* r0 = bytes(src) + size_t(ty.i0) * src->width * 4;
    const uint8_t* r1 = bytes(src) + size_t(ty.i1) * src->width * 4;
    uint8_t* o = bytes(out) + size_t(i) * out->width * 4;
    for (int j = 0; j < out->width; ++j, o += 4) {
      const Tap& tx = cols[j];
      for (int c = 0; c < 4; ++c) {
        int64_t top = (int64_t(r0[tx.i0 * 4 + c]) * (one - tx.f) + int64_t(r0[tx.i1 * 4 + c]) * tx.f) >> 18;
        int64_t bottom = (int64_t(r1[tx.i0 * 4 + c]) * (one - tx.f) + int64_t(r1[tx.i1 * 4 + c]) * tx.f) >> 18;
        o[c] = uint8_t((top * (one - ty.f) + bottom * ty.f) >> 18);
      }
    }
  }
}

void bilinear16(const Image* src, Image* out) {
  std::vector<Tap> cols = bilinearTaps(src->width, out->width, 16), rows = bilinearTaps(src->height, out->height, 16);
  auto kernel = avx2Paths() ? bilinear16RowsAvx2 : bilinear16Rows;
  runBands(out->height, [&](int first, int end) { kernel(src, out, cols, rows, first, end); });
}

void nearest(const Image* src, Image* out) {
  std::vector<int> cols(size_t(out->width));
  for (int j = 0; j < out->width; ++j)
    cols[j] = std::min(int(double(src->width) / out->width * j + 0.5), src->width - 1);
  for (int i = 0; i < out->height; ++i) {
    int sy = std::min(int(double(src->height) / out->height * i + 0.5), src->height - 1);
    const uint32_t* r = src->pixels + size_t(sy) * src->width;
    uint32_t* o = out->pixels + size_t(i) * out->width;
    for (int j = 0; j < out->width; ++j) o[j] = r[cols[j]];
  }
}

// One line of `from` pixels (element stride `stride`) averaged down to `to`.
void areaLine(const uint32_t* in, size_t inStride, int from, uint32_t* out, size_t outStride, int to) {
  int g = std::gcd(from, to), a = from / g, b = to / g;
  const uint8_t* table = divisionTable(a);
  int shift = (a & (a - 1)) == 0 ? __builtin_ctz(unsigned(a)) : -1;
  for (int k = 0; k < to; ++k) {
    int64_t pos = int64_t(k) * a, end = pos + a;
    int64_t i = pos / b;
    uint32_t sums[4] = {0, 0, 0, 0};
    while (pos < end) {
      int64_t take = std::min<int64_t>(end, (i + 1) * b) - pos;
      uint32_t p = in[size_t(i) * inStride];
      for (int c = 0; c < 4; ++c) sums[c] += ((p >> (8 * c)) & 255) * uint32_t(take);
      pos += take, ++i;
    }
    uint32_t v = 0;
    for (int c = 0; c < 4; ++c) {
      uint32_t m = shift >= 0 ? sums[c] >> shift : table ? table[sums[c]] : sums[c] / uint32_t(a);
      v |= m << (8 * c);
    }
    out[size_t(k) * outStride] = v;
  }
}

bool areaAverage(const Image* src, Image* out) {
  Image* mid = createImage(out->width, src->height, src->depth);
  if (!mid) return false;
  for (int y = 0; y < src->height; ++y)
    areaLine(src->pixels + size_t(y) * src->width, 1, src->width, mid->pixels + size_t(y) * mid->width, 1, out->width);
  for (int x = 0; x < out->width; ++x)
    areaLine(mid->pixels + x, size_t(mid->width), src->height, out->pixels + x, size_t(out->width), out->height);
  freeImage(mid);
  return true;
}

// A target side from a floating value: truncated, at least 1, kept in range.
int side(double v) {
  if (!(v >= 1)) return 1;
  return v > 1 << 30 ? 1 << 30 : int(v);
}

}  // namespace

void bilinear16Rows(const Image* src, Image* out, const std::vector<Tap>& cols, const std::vector<Tap>& rows,
                    int first, int end) {
  const int sw = src->width, ow = out->width;
  for (int i = first; i < end; ++i) {
    const Tap& ty = rows[i];
    const uint32_t* r0 = src->pixels + size_t(ty.i0) * sw;
    const uint32_t* r1 = src->pixels + size_t(ty.i1) * sw;
    __m128i wy1 = _mm_set1_epi16(short(ty.f)), wy0 = _mm_set1_epi16(short(65535 - ty.f));
    uint32_t* o = out->pixels + size_t(i) * ow;
    for (int j = 0; j < ow; j += 2) {
      __m128i v = bilinearPair16(r0, r1, cols[j], cols[j + 1 < ow ? j + 1 : j], wy0, wy1);
      o[j] = uint32_t(_mm_cvtsi128_si32(v));
      if (j + 1 < ow) o[j + 1] = uint32_t(_mm_cvtsi128_si32(_mm_srli_si128(v, 4)));
    }
  }
}

int64_t bilinearStart18(int from, int to) {
  return to < from ? (int64_t(from - to) << 18) / from : (int64_t(from - to) << 18) / to / 2;
}

int64_t bilinearStart16(int from, int to) {
  return to < from ? int64_t(from - to) * 65535 / from : int64_t(from - to) * 65535 / to / 2;
}

void runBands(int rows, const std::function<void(int, int)>& band) {
  int n = std::max(1, workerThreads());
  int per = rows / n;
  std::vector<std::thread> workers;
  int first = 0;
  for (int k = 0; k < n - 1; ++k, first += per) {
    try {
      workers.emplace_back(band, first, first + per);
    } catch (...) {
      band(first, first + per);  // no thread to be had: the caller does it
    }
  }
  band(first, rows);
  for (auto& t : workers) t.join();
}

int resizeImage(Image*& dst, Image* src, double width, double height, int unit, int downFilter, int upFilter) {
  if (!src || !src->pixels) {
    say("-RES: 画像データを読み込めませんでした\n");
    return 0;
  }
  if (width < 1 && height < 1) {
    say("-RES: 幅値の設定が無効です\n");
    return 0;
  }
  const double W = src->width, H = src->height;
  int w, h;
  if (unit == 0 || unit == 2) {
    if (width == 0) width = height;
    if (height == 0) height = width;
    w = side(unit == 0 ? width * W / 100 + 0.5 : width * W + 0.5);
    h = side(unit == 0 ? height * H / 100 + 0.5 : height * H + 0.5);
  } else {
    w = side(width == 0 ? height * W / H + 0.5 : width);
    h = side(height == 0 ? width * H / W + 0.5 : height);
  }
  Image* out = createImage(w, h, src->depth);
  if (!out) return 0;
  if (w == src->width && h == src->height) {
    std::memcpy(out->pixels, src->pixels, size_t(src->count) * 4);
  } else if (w > src->width || h > src->height) {
    if (upFilter == 1) threadedBilinear() ? bilinear16(src, out) : bilinear18(src, out);
    else nearest(src, out);
  } else if (downFilter == 1) {
    threadedBilinear() ? bilinear16(src, out) : bilinear18(src, out);
  } else if (downFilter == 2) {
    if (!areaAverage(src, out)) {
      freeImage(out);
      return 0;
    }
  } else {
    nearest(src, out);
  }
  dst = out;
  return 1;
}

int resizeImage2(Image*& image, double width, double height, int unit, int downFilter, int upFilter) {
  Image* out = nullptr;
  if (!resizeImage(out, image, width, height, unit, downFilter, upFilter)) return 0;
  freeImage(image);
  image = out;
  return 1;
}

}  // namespace velmora::image
