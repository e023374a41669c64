// AVX2 forms of the 16-bit bilinear row kernels: four output pixels per step
// and the same multiplies as the SSE2 forms, so the results are identical.
// Only the functions here ask for AVX2.
#ifdef __EMSCRIPTEN__
// WebAssembly has no 256-bit vectors: avx2Paths() is false there and these
// are the 128-bit forms.
#include "image/resample.h"

namespace velmora::image {
void bilinear16RowsAvx2(const Image* src, Image* out, const std::vector<Tap>& cols, const std::vector<Tap>& rows,
                        int first, int end) {
  bilinear16Rows(src, out, cols, rows, first, end);
}
void bilinearRows16Avx2(const Image* src, Image* out, const Frame& f, int first, int end) {
  bilinearRows16(src, out, f, first, end);
}
}  // namespace velmora::image
#else
#include <immintrin.h>

#include <cstring>

#include "image/resample.h"

#define VELMORA_AVX2 __attribute__((target("avx2")))

namespace velmora::image {
namespace {

// Low 16 bits of each 64-bit lane copied into its four words: the weight of
// one pixel for its four channels.
VELMORA_AVX2 inline __m256i weightsOf(__m256i fraction64) {
  const __m256i spread = _mm256_setr_epi8(0, 1, 0, 1, 0, 1, 0, 1, 8, 9, 8, 9, 8, 9, 8, 9,  //
                                          0, 1, 0, 1, 0, 1, 0, 1, 8, 9, 8, 9, 8, 9, 8, 9);
  return _mm256_shuffle_epi8(fraction64, spread);
}

// 65535 - w in every word.
VELMORA_AVX2 inline __m256i complement(__m256i w) { return _mm256_xor_si256(w, _mm256_set1_epi32(-1)); }

// Two horizontal neighbours of each of four pixels, from 8-byte loads at
// their left pixels (plain loads beat gathers on the processors at hand).
VELMORA_AVX2 inline __m256i neighbours(const uint32_t* row, size_t a, size_t b, size_t c, size_t d) {
  auto pairAt = [row](size_t i) {
    long long v;
    std::memcpy(&v, row + i, 8);
    return v;
  };
  return _mm256_setr_epi64x(pairAt(a), pairAt(b), pairAt(c), pairAt(d));
}

VELMORA_AVX2 inline __m256i widenLow(__m256i v) { return _mm256_cvtepu8_epi16(_mm256_castsi256_si128(v)); }
VELMORA_AVX2 inline __m256i widenHigh(__m256i v) { return _mm256_cvtepu8_epi16(_mm256_extracti128_si256(v, 1)); }

// Four pixels mixed horizontally, then vertically: top and bottom hold each
// pixel's left and right neighbours side by side.
VELMORA_AVX2 inline __m128i mix4(__m256i top, __m256i bottom, __m256i wx1, __m256i wy0, __m256i wy1) {
  const __m256i lefts = _mm256_setr_epi32(0, 2, 4, 6, 1, 3, 5, 7);
  top = _mm256_permutevar8x32_epi32(top, lefts);
  bottom = _mm256_permutevar8x32_epi32(bottom, lefts);
  __m256i wx0 = complement(wx1);
  __m256i t = _mm256_add_epi16(_mm256_mulhi_epu16(widenLow(top), wx0), _mm256_mulhi_epu16(widenHigh(top), wx1));
  __m256i b = _mm256_add_epi16(_mm256_mulhi_epu16(widenLow(bottom), wx0), _mm256_mulhi_epu16(widenHigh(bottom), wx1));
  __m256i v = _mm256_add_epi16(_mm256_mulhi_epu16(t, wy0), _mm256_mulhi_epu16(b, wy1));
  // Packing works per 128-bit half: pixels 0-1 land in quadword 0, 2-3 in 2.
  v = _mm256_permute4x64_epi64(_mm256_packus_epi16(v, v), _MM_SHUFFLE(3, 1, 2, 0));
  return _mm256_castsi256_si128(v);
}

}  // namespace

VELMORA_AVX2 void bilinear16RowsAvx2(const Image* src, Image* out, const std::vector<Tap>& cols,
                                     const std::vector<Tap>& rows, int first, int end) {
  const int sw = src->width, ow = out->width;
  // The wide loop reads each tap pair as neighbours, which a picture one
  // column wide does not have.
  if (sw < 2) return bilinear16Rows(src, out, cols, rows, first, end);
  for (int i = first; i < end; ++i) {
    const Tap& ty = rows[i];
    const uint32_t* r0 = src->pixels + size_t(ty.i0) * sw;
    const uint32_t* r1 = src->pixels + size_t(ty.i1) * sw;
    __m256i wy1 = _mm256_set1_epi16(short(ty.f)), wy0 = complement(wy1);
    uint32_t* o = out->pixels + size_t(i) * ow;
    int j = 0;
    for (; j + 4 <= ow; j += 4) {
      const Tap* t = &cols[size_t(j)];
      size_t a = size_t(t[0].i0), b = size_t(t[1].i0), c = size_t(t[2].i0), d = size_t(t[3].i0);
      __m256i wx1 = weightsOf(_mm256_setr_epi64x(t[0].f, t[1].f, t[2].f, t[3].f));
      __m128i v = mix4(neighbours(r0, a, b, c, d), neighbours(r1, a, b, c, d), wx1, wy0, wy1);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(o + j), v);
    }
    __m128i wy0s = _mm_set1_epi16(short(65535 - ty.f)), wy1s = _mm_set1_epi16(short(ty.f));
    for (; j < ow; j += 2) {
      __m128i v = bilinearPair16(r0, r1, cols[j], cols[j + 1 < ow ? j + 1 : j], wy0s, wy1s);
      o[j] = uint32_t(_mm_cvtsi128_si32(v));
      if (j + 1 < ow) o[j + 1] = uint32_t(_mm_cvtsi128_si32(_mm_srli_si128(v, 4)));
    }
  }
}

VELMORA_AVX2 void bilinearRows16Avx2(const Image* src, Image* out, const Frame& f, int first, int end) {
  // A run of four whose first and last samples have all four neighbours
  // inside the picture has them for the two between as well (the positions
  // are linear); such runs take the wide path, the rest the single one.
  const int64_t xEnd = int64_t(f.w - 1) << 16, yEnd = int64_t(f.h - 1) << 16;
  auto inside = [&](int64_t x, int64_t y) { return x >= 0 && y >= 0 && x < xEnd && y < yEnd; };
  const __m256i cSteps = _mm256_setr_epi64x(0, f.c, 2 * f.c, 3 * f.c);
  const __m256i sSteps = _mm256_setr_epi64x(0, f.s, 2 * f.s, 3 * f.s);
  const __m256i low16 = _mm256_set1_epi64x(0xFFFF);
  const uint32_t* below = src->pixels + f.w;
  for (int i = first; i < end; ++i) {
    int64_t x, y;
    rowStart(f, i, x, y);
    uint32_t* o = out->pixels + size_t(i) * f.ow;
    int j = 0;
    for (; j + 4 <= f.ow; j += 4, x += 4 * f.c, y += 4 * f.s) {
      if (!inside(x, y) || !inside(x + 3 * f.c, y + 3 * f.s)) {
        for (int k = 0; k < 4; ++k) o[j + k] = rotatedSample16(src, f, x + k * f.c, y + k * f.s);
        continue;
      }
      size_t at[4];
      for (int k = 0; k < 4; ++k) at[k] = size_t((y + k * f.s) >> 16) * size_t(f.w) + size_t((x + k * f.c) >> 16);
      __m256i xv = _mm256_add_epi64(_mm256_set1_epi64x(x), cSteps);
      __m256i yv = _mm256_add_epi64(_mm256_set1_epi64x(y), sSteps);
      __m256i wx1 = weightsOf(_mm256_and_si256(xv, low16)), wy1 = weightsOf(_mm256_and_si256(yv, low16));
      __m128i v = mix4(neighbours(src->pixels, at[0], at[1], at[2], at[3]), neighbours(below, at[0], at[1], at[2], at[3]),
                       wx1, complement(wy1), wy1);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(o + j), v);
    }
    for (; j < f.ow; ++j, x += f.c, y += f.s) o[j] = rotatedSample16(src, f, x, y);
  }
}

}  // namespace velmora::image
#endif
