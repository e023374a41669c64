// General rotation about the centre, nearest or bilinear, in 18-bit fixed
// point; the worker-thread form samples with 16-bit fractions in bands.
#include <emmintrin.h>

#include <algorithm>
#include <cmath>

#include "image/internal.h"
#include "image/resample.h"

namespace velmora::image {
namespace {

using namespace detail;

struct Frame {
  int w, h, ow, oh;       // source and output sizes
  int64_t c, s;           // cos and sin steps
  int64_t x0, y0;         // extra start offset (bilinear)
  int bits;
};

inline int64_t fixedStep(double v, double unit) { return int64_t(v * unit + 0.5); }

// Source position of output (0, i), in the frame's fixed point.
inline void rowStart(const Frame& f, int i, int64_t& x, int64_t& y) {
  int64_t dx = -(f.ow >> 1), dy = i - (f.oh >> 1);
  x = (int64_t(f.w >> 1) << f.bits) + dx * f.c - dy * f.s + f.x0;
  y = (int64_t(f.h >> 1) << f.bits) + dx * f.s + dy * f.c + f.y0;
}

void nearestRows(const Image* src, Image* out, const Frame& f) {
  for (int i = 0; i < f.oh; ++i) {
    int64_t x, y;
    rowStart(f, i, x, y);
    uint32_t* o = out->pixels + size_t(i) * f.ow;
    for (int j = 0; j < f.ow; ++j, x += f.c, y += f.s) {
      int64_t ix = x >> 18, iy = y >> 18;
      o[j] = (x < 0 || y < 0 || ix >= f.w || iy >= f.h) ? 0 : src->pixels[size_t(iy) * f.w + size_t(ix)];
    }
  }
}

inline uint32_t at(const Image* src, int64_t x, int64_t y) {
  return (x < 0 || y < 0 || x >= src->width || y >= src->height) ? 0 : src->pixels[size_t(y) * src->width + size_t(x)];
}

void bilinearRows18(const Image* src, Image* out, const Frame& f) {
  const int64_t one = 1 << 18;
  for (int i = 0; i < f.oh; ++i) {
    int64_t x, y;
    rowStart(f, i, x, y);
    uint8_t* o = bytes(out) + size_t(i) * f.ow * 4;
    for (int j = 0; j < f.ow; ++j, x += f.c, y += f.s, o += 4) {
      if (x < -one || y < -one || x >= (int64_t(f.w) << 18) || y >= (int64_t(f.h) << 18)) {
        o[0] = o[1] = o[2] = o[3] = 0;
        continue;
      }
      int64_t ix = x >> 18, iy = y >> 18, fx = x & (one - 1), fy = y & (one - 1);
      uint32_t p00 = at(src, ix, iy), p10 = at(src, ix + 1, iy), p01 = at(src, ix, iy + 1), p11 = at(src, ix + 1, iy + 1);
      for (int c = 0; c < 4; ++c) {
        int sh = 8 * c;
        int64_t top = ((p00 >> sh & 255) * (one - fx) + (p10 >> sh & 255) * fx) >> 18;
        int64_t bottom = ((p01 >> sh & 255) * (one - fx) + (p11 >> sh & 255) * fx) >> 18;
        o[c] = uint8_t((top * (one - fy) + bottom * fy) >> 18);
      }
    }
  }
}

inline __m128i widen(uint32_t p) { return _mm_unpacklo_epi8(_mm_cvtsi32_si128(int(p)), _mm_setzero_si128()); }

void bilinearRows16(const Image* src, Image* out, const Frame& f, int first, int end) {
  const int64_t one = 1 << 16;
  for (int i = first; i < end; ++i) {
    int64_t x, y;
    rowStart(f, i, x, y);
    uint32_t* o = out->pixels + size_t(i) * f.ow;
    for (int j = 0; j < f.ow; ++j, x += f.c, y += f.s) {
      if (x < -one || y < -one || x >= (int64_t(f.w) << 16) || y >= (int64_t(f.h) << 16)) {
        o[j] = 0;
        continue;
      }
      int64_t ix = x >> 16, iy = y >> 16;
      short fx = short(x & 0xFFFF), fy = short(y & 0xFFFF);
      __m128i wx1 = _mm_set1_epi16(fx), wx0 = _mm_set1_epi16(short(65535 - (x & 0xFFFF)));
      __m128i wy1 = _mm_set1_epi16(fy), wy0 = _mm_set1_epi16(short(65535 - (y & 0xFFFF)));
      __m128i top = _mm_add_epi16(_mm_mulhi_epu16(widen(at(src, ix, iy)), wx0), _mm_mulhi_epu16(widen(at(src, ix + 1, iy)), wx1));
      __m128i bot = _mm_add_epi16(_mm_mulhi_epu16(widen(at(src, ix, iy + 1)), wx0), _mm_mulhi_epu16(widen(at(src, ix + 1, iy + 1)), wx1));
      __m128i v = _mm_add_epi16(_mm_mulhi_epu16(top, wy0), _mm_mulhi_epu16(bot, wy1));
      o[j] = uint32_t(_mm_cvtsi128_si32(_mm_packus_epi16(v, v)));
    }
  }
}

int outSide(double v) { return !(v >= 1) ? 1 : v > 1 << 30 ? 1 << 30 : int(v); }

}  // namespace

int rotateGeneral(Image*& dst, Image* src, double angle, double scale, int filter) {
  double theta = -angle * 3.1415927 / 180;
  double s = std::sin(theta), c = std::cos(theta);
  const int w = src->width, h = src->height;
  int ow = int(std::fabs(h * s) + std::fabs(w * c) + 0.5), oh = int(std::fabs(h * c) + std::fabs(w * s) + 0.5);
  if (scale != 0) {
    ow = outSide(scale * ow), oh = outSide(scale * oh);
    s /= scale, c /= scale;
  }
  ow = std::max(ow, 1), oh = std::max(oh, 1);
  Image* out = createImage(ow, oh, src->depth);
  if (!out) {
    say("-ROT: メモリを確保出来ませんでした\n");
    return 0;
  }
  bool banded = filter != 0 && threadedBilinear();
  Frame f{w, h, ow, oh, 0, 0, 0, 0, banded ? 16 : 18};
  double unit = banded ? 65535.0 : 262144.0;
  f.c = fixedStep(c, unit), f.s = fixedStep(s, unit);
  if (filter == 0) {
    nearestRows(src, out, f);
  } else if (banded) {
    f.x0 = bilinearStart16(w, ow), f.y0 = bilinearStart16(h, oh);
    runBands(oh, [&](int first, int end) { bilinearRows16(src, out, f, first, end); });
  } else {
    f.x0 = bilinearStart18(w, ow), f.y0 = bilinearStart18(h, oh);
    bilinearRows18(src, out, f);
  }
  freeImage(dst);  // src may be the same image: it is no longer read
  dst = out;
  return 1;
}

}  // namespace velmora::image
