#pragma once
// Shared pieces of the resamplers: the general rotation, the row bands that
// the worker-thread paths split their output into, and the 16-bit bilinear
// row kernels in their SSE2 and AVX2 forms (the AVX2 ones give the same bytes
// and may only run where avx2Paths() is true).
#include <emmintrin.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "image/image.h"

namespace velmora::image {

int rotateGeneral(Image*& dst, Image* src, double angle, double scale, int filter);

// Splits rows 0..rows-1 into workerThreads() bands of rows / N (the last takes
// the remainder); N - 1 threads run the first bands, the caller the last.
void runBands(int rows, const std::function<void(int first, int end)>& band);

// The resize start rule, 18-bit and 16-bit forms.
int64_t bilinearStart18(int from, int to);
int64_t bilinearStart16(int from, int to);

// The two source columns (or rows) of one output pixel and the fixed-point
// weight of the second: neighbours (i1 = i0 + 1), or both 0 on a side of one.
struct Tap {
  int i0, i1, f;
};

// Rotation: where output (0, i) samples the source, and the steps along a row.
struct Frame {
  int w, h, ow, oh;       // source and output sizes
  int64_t c, s;           // cos and sin steps
  int64_t x0, y0;         // extra start offset (bilinear)
  int bits;
};

// Source position of output (0, i), in the frame's fixed point.
inline void rowStart(const Frame& f, int i, int64_t& x, int64_t& y) {
  int64_t dx = -(f.ow >> 1), dy = i - (f.oh >> 1);
  x = (int64_t(f.w >> 1) << f.bits) + dx * f.c - dy * f.s + f.x0;
  y = (int64_t(f.h >> 1) << f.bits) + dx * f.s + dy * f.c + f.y0;
}

inline uint32_t pixelOrZero(const Image* src, int64_t x, int64_t y) {
  return (x < 0 || y < 0 || x >= src->width || y >= src->height) ? 0 : src->pixels[size_t(y) * src->width + size_t(x)];
}

inline __m128i widen(uint32_t p) { return _mm_unpacklo_epi8(_mm_cvtsi32_si128(int(p)), _mm_setzero_si128()); }

// One rotated sample with 16-bit fractions; 0 beyond the picture's edge.
inline uint32_t rotatedSample16(const Image* src, const Frame& f, int64_t x, int64_t y) {
  const int64_t one = 1 << 16;
  if (x < -one || y < -one || x >= (int64_t(f.w) << 16) || y >= (int64_t(f.h) << 16)) return 0;
  int64_t ix = x >> 16, iy = y >> 16;
  __m128i wx1 = _mm_set1_epi16(short(x & 0xFFFF)), wx0 = _mm_set1_epi16(short(65535 - (x & 0xFFFF)));
  __m128i wy1 = _mm_set1_epi16(short(y & 0xFFFF)), wy0 = _mm_set1_epi16(short(65535 - (y & 0xFFFF)));
  __m128i top = _mm_add_epi16(_mm_mulhi_epu16(widen(pixelOrZero(src, ix, iy)), wx0),
                              _mm_mulhi_epu16(widen(pixelOrZero(src, ix + 1, iy)), wx1));
  __m128i bot = _mm_add_epi16(_mm_mulhi_epu16(widen(pixelOrZero(src, ix, iy + 1)), wx0),
                              _mm_mulhi_epu16(widen(pixelOrZero(src, ix + 1, iy + 1)), wx1));
  __m128i v = _mm_add_epi16(_mm_mulhi_epu16(top, wy0), _mm_mulhi_epu16(bot, wy1));
  return uint32_t(_mm_cvtsi128_si32(_mm_packus_epi16(v, v)));
}

inline __m128i widenPair(uint32_t a, uint32_t b) {
  return _mm_unpacklo_epi8(_mm_unpacklo_epi32(_mm_cvtsi32_si128(int(a)), _mm_cvtsi32_si128(int(b))),
                           _mm_setzero_si128());
}

// Resized output pixels a and b of one row, packed into the low 8 bytes:
// (c0 * (65535 - f) >> 16) + (c1 * f >> 16) per channel, vertically likewise.
inline __m128i bilinearPair16(const uint32_t* r0, const uint32_t* r1, const Tap& a, const Tap& b, __m128i wy0,
                              __m128i wy1) {
  __m128i wx1 = _mm_unpacklo_epi64(_mm_set1_epi16(short(a.f)), _mm_set1_epi16(short(b.f)));
  __m128i wx0 = _mm_unpacklo_epi64(_mm_set1_epi16(short(65535 - a.f)), _mm_set1_epi16(short(65535 - b.f)));
  __m128i top = _mm_add_epi16(_mm_mulhi_epu16(widenPair(r0[a.i0], r0[b.i0]), wx0),
                              _mm_mulhi_epu16(widenPair(r0[a.i1], r0[b.i1]), wx1));
  __m128i bot = _mm_add_epi16(_mm_mulhi_epu16(widenPair(r1[a.i0], r1[b.i0]), wx0),
                              _mm_mulhi_epu16(widenPair(r1[a.i1], r1[b.i1]), wx1));
  __m128i v = _mm_add_epi16(_mm_mulhi_epu16(top, wy0), _mm_mulhi_epu16(bot, wy1));
  return _mm_packus_epi16(v, v);
}

// Resize rows first..end-1 of out from the column and row taps.
void bilinear16Rows(const Image* src, Image* out, const std::vector<Tap>& cols, const std::vector<Tap>& rows,
                    int first, int end);
void bilinear16RowsAvx2(const Image* src, Image* out, const std::vector<Tap>& cols, const std::vector<Tap>& rows,
                        int first, int end);
// Rotated rows first..end-1 of out.
void bilinearRows16(const Image* src, Image* out, const Frame& f, int first, int end);
void bilinearRows16Avx2(const Image* src, Image* out, const Frame& f, int first, int end);

}  // namespace velmora::image
