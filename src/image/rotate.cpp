// General rotation about the centre, nearest or bilinear, in 18-bit fixed
// point; the worker-thread form samples with 16-bit fractions in bands.
#include <algorithm>
#include <cmath>

#include "image/internal.h"
#include "image/resample.h"

namespace velmora::image {
namespace {

using namespace detail;

inline int64_t fixedStep(double v, double unit) { return int64_t(v * unit + 0.5); }

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
      uint32_t p00 = pixelOrZero(src, ix, iy), p10 = pixelOrZero(src, ix + 1, iy);
      uint32_t p01 = pixelOrZero(src, ix, iy + 1), p11 = pixelOrZero(src, ix + 1, iy + 1);
      for (int c = 0; c < 4; ++c) {
        int sh = 8 * c;
        int64_t top = ((p00 >> sh & 255) * (one - fx) + (p10 >> sh & 255) * fx) >> 18;
        int64_t bottom = ((p01 >> sh & 255) * (one - fx) + (p11 >> sh & 255) * fx) >> 18;
        o[c] = uint8_t((top * (one - fy) + bottom * fy) >> 18);
      }
    }
  }
}

int outSide(double v) { return !(v >= 1) ? 1 : v > 1 << 30 ? 1 << 30 : int(v); }

}  // namespace

void bilinearRows16(const Image* src, Image* out, const Frame& f, int first, int end) {
  for (int i = first; i < end; ++i) {
    int64_t x, y;
    rowStart(f, i, x, y);
    uint32_t* o = out->pixels + size_t(i) * f.ow;
    for (int j = 0; j < f.ow; ++j, x += f.c, y += f.s) o[j] = rotatedSample16(src, f, x, y);
  }
}

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
    auto rows = avx2Paths() ? bilinearRows16Avx2 : bilinearRows16;
    runBands(oh, [&](int first, int end) { rows(src, out, f, first, end); });
  } else {
    f.x0 = bilinearStart18(w, ow), f.y0 = bilinearStart18(h, oh);
    bilinearRows18(src, out, f);
  }
  freeImage(dst);  // src may be the same image: it is no longer read
  dst = out;
  return 1;
}

}  // namespace velmora::image
