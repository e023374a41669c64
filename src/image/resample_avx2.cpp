// AVX2 forms of the 16-bit bilinear row kernels: four output pixels per step
// with gathered sources and the same multiplies as the SSE2 forms, so the
// results are identical. Only the functions here ask for AVX2.
#include <immintrin.h>

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

// Four pixels (channels widened to words) mixed horizontally, then vertically.
VELMORA_AVX2 inline __m128i mix4(__m128i p00, __m128i p10, __m128i p01, __m128i p11, __m256i wx1, __m256i wy0,
                                 __m256i wy1) {
  __m256i wx0 = complement(wx1);
  __m256i top = _mm256_add_epi16(_mm256_mulhi_epu16(_mm256_cvtepu8_epi16(p00), wx0),
                                 _mm256_mulhi_epu16(_mm256_cvtepu8_epi16(p10), wx1));
  __m256i bot = _mm256_add_epi16(_mm256_mulhi_epu16(_mm256_cvtepu8_epi16(p01), wx0),
                                 _mm256_mulhi_epu16(_mm256_cvtepu8_epi16(p11), wx1));
  __m256i v = _mm256_add_epi16(_mm256_mulhi_epu16(top, wy0), _mm256_mulhi_epu16(bot, wy1));
  // Packing works per 128-bit half: pixels 0-1 land in quadword 0, 2-3 in 2.
  v = _mm256_permute4x64_epi64(_mm256_packus_epi16(v, v), _MM_SHUFFLE(3, 1, 2, 0));
  return _mm256_castsi256_si128(v);
}

}  // namespace

VELMORA_AVX2 void bilinear16RowsAvx2(const Image* src, Image* out, const std::vector<Tap>& cols,
                                     const std::vector<Tap>& rows, int first, int end) {
  const int sw = src->width, ow = out->width;
  const __m128i stride = _mm_setr_epi32(0, 3, 6, 9);  // Tap fields of four taps
  for (int i = first; i < end; ++i) {
    const Tap& ty = rows[i];
    const auto* r0 = reinterpret_cast<const int*>(src->pixels + size_t(ty.i0) * sw);
    const auto* r1 = reinterpret_cast<const int*>(src->pixels + size_t(ty.i1) * sw);
    __m256i wy1 = _mm256_set1_epi16(short(ty.f)), wy0 = complement(wy1);
    uint32_t* o = out->pixels + size_t(i) * ow;
    int j = 0;
    for (; j + 4 <= ow; j += 4) {
      const int* tap = &cols[j].i0;
      __m128i i0 = _mm_i32gather_epi32(tap, stride, 4), i1 = _mm_i32gather_epi32(tap + 1, stride, 4);
      __m256i wx1 = weightsOf(_mm256_cvtepu32_epi64(_mm_i32gather_epi32(tap + 2, stride, 4)));
      __m128i v = mix4(_mm_i32gather_epi32(r0, i0, 4), _mm_i32gather_epi32(r0, i1, 4), _mm_i32gather_epi32(r1, i0, 4),
                       _mm_i32gather_epi32(r1, i1, 4), wx1, wy0, wy1);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(o + j), v);
    }
    __m128i wy0s = _mm_set1_epi16(short(65535 - ty.f)), wy1s = _mm_set1_epi16(short(ty.f));
    const auto* p0 = src->pixels + size_t(ty.i0) * sw;
    const auto* p1 = src->pixels + size_t(ty.i1) * sw;
    for (; j < ow; j += 2) {
      __m128i v = bilinearPair16(p0, p1, cols[j], cols[j + 1 < ow ? j + 1 : j], wy0s, wy1s);
      o[j] = uint32_t(_mm_cvtsi128_si32(v));
      if (j + 1 < ow) o[j + 1] = uint32_t(_mm_cvtsi128_si32(_mm_srli_si128(v, 4)));
    }
  }
}

VELMORA_AVX2 void bilinearRows16Avx2(const Image* src, Image* out, const Frame& f, int first, int end) {
  // A run of four whose first and last samples have all four neighbours
  // inside the picture has them for the two between as well (the positions
  // are linear); such runs take the gathered path, the rest the single one.
  const int64_t xEnd = int64_t(f.w - 1) << 16, yEnd = int64_t(f.h - 1) << 16;
  auto inside = [&](int64_t x, int64_t y) { return x >= 0 && y >= 0 && x < xEnd && y < yEnd; };
  const auto* px = reinterpret_cast<const int*>(src->pixels);
  const __m256i cSteps = _mm256_setr_epi64x(0, f.c, 2 * f.c, 3 * f.c);
  const __m256i sSteps = _mm256_setr_epi64x(0, f.s, 2 * f.s, 3 * f.s);
  const __m256i width = _mm256_set1_epi64x(f.w), low16 = _mm256_set1_epi64x(0xFFFF);
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
      __m256i xv = _mm256_add_epi64(_mm256_set1_epi64x(x), cSteps);
      __m256i yv = _mm256_add_epi64(_mm256_set1_epi64x(y), sSteps);
      __m256i index = _mm256_add_epi64(_mm256_mul_epu32(_mm256_srli_epi64(yv, 16), width), _mm256_srli_epi64(xv, 16));
      __m256i wx1 = weightsOf(_mm256_and_si256(xv, low16)), wy1 = weightsOf(_mm256_and_si256(yv, low16));
      __m128i v = mix4(_mm256_i64gather_epi32(px, index, 4), _mm256_i64gather_epi32(px + 1, index, 4),
                       _mm256_i64gather_epi32(px + f.w, index, 4), _mm256_i64gather_epi32(px + f.w + 1, index, 4),
                       wx1, complement(wy1), wy1);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(o + j), v);
    }
    for (; j < f.ow; ++j, x += f.c, y += f.s) o[j] = rotatedSample16(src, f, x, y);
  }
}

}  // namespace velmora::image
