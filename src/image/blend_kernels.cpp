#include "image/blend_kernels.h"

#include <emmintrin.h>

#include <algorithm>

#include "image/blend_pixel.h"

namespace velmora::image::kernels {
namespace {

using detail::tables;

template <bool kSimd>
void normalRowT(uint32_t* d, const uint32_t* s, int n, int opacity) {
  const detail::Tables& t = tables();
  for (int i = 0; i < n; ++i) d[i] = normalPixel<kSimd>(d[i], s[i], opacity, t);
}

}  // namespace

void normalRow(uint32_t* d, const uint32_t* s, int n, int opacity) { normalRowT<false>(d, s, n, opacity); }
void normalRowSimd(uint32_t* d, const uint32_t* s, int n, int opacity) { normalRowT<true>(d, s, n, opacity); }

void separableRow(uint32_t* d, const uint32_t* s, int n, int opacity, const uint8_t* f) {
  const detail::Tables& t = tables();
  for (int i = 0; i < n; ++i) {
    uint32_t sp = s[i], dp = d[i];
    int sa = effectiveAlpha(int(sp >> 24), opacity);
    if (sa == 0) continue;
    int da = int(dp >> 24);
    if (da == 0) {
      d[i] = (sp & 0xFFFFFF) | uint32_t(sa) << 24;
      continue;
    }
    uint32_t out;
    if (sa == 255 && da == 255) {
      out = 0xFF000000u;
      for (int c = 0; c < 3; ++c) out |= uint32_t(f[ch(dp, c) * 256 + ch(sp, c)]) << (8 * c);
    } else if (da == 255) {
      out = 0xFF000000u;
      for (int c = 0; c < 3; ++c) {
        int cd = ch(dp, c), b = f[cd * 256 + ch(sp, c)];
        out |= uint32_t(div255(cd * (255 - sa) + b * sa)) << (8 * c);
      }
    } else if (sa == 255) {
      out = 0xFF000000u;
      for (int c = 0; c < 3; ++c) {
        int cs = ch(sp, c), b = f[ch(dp, c) * 256 + cs];
        out |= uint32_t(div255(cs * (255 - da) + b * da)) << (8 * c);
      }
    } else {
      int p = t.product[sa * 256 + da], q = t.remainder[sa * 256 + da], r = sa + q;
      int recip = t.reciprocal[r];
      out = uint32_t(r) << 24;
      for (int c = 0; c < 3; ++c) {
        int cd = ch(dp, c), cs = ch(sp, c), b = f[cd * 256 + cs];
        int v = ((q * cd + (sa - p) * cs + p * b + 1) * recip) >> 16;
        out |= uint32_t(std::min(v, 255)) << (8 * c);
      }
    }
    d[i] = out;
  }
}

namespace {

// Four opaque pairs at once: P + (Q - P) * ns / 256 truncated toward zero.
inline __m128i fadeOpaque4(__m128i p, __m128i q, int a) {
  const __m128i zero = _mm_setzero_si128(), bias = _mm_set1_epi32(255);
  __m128i ns = _mm_srli_epi32(_mm_mullo_epi16(_mm_srli_epi32(q, 24), _mm_set1_epi32(a)), 8);
  __m128i result = zero;
  for (int c = 0; c < 3; ++c) {
    __m128i pc = _mm_and_si128(_mm_srli_epi32(p, 8 * c), bias);
    __m128i qc = _mm_and_si128(_mm_srli_epi32(q, 8 * c), bias);
    __m128i diff = _mm_sub_epi32(qc, pc);
    // diff * ns fits 16x16 -> 32 bits: both are below 2^9.
    __m128i prod = _mm_madd_epi16(diff, ns);
    __m128i neg = _mm_srai_epi32(prod, 31);
    __m128i v = _mm_add_epi32(pc, _mm_srai_epi32(_mm_add_epi32(prod, _mm_and_si128(neg, bias)), 8));
    result = _mm_or_si128(result, _mm_slli_epi32(v, 8 * c));
  }
  __m128i same = _mm_cmpeq_epi32(p, q);
  __m128i alpha = _mm_set1_epi32(int(0xFF000000u));
  result = _mm_or_si128(result, alpha);
  return _mm_or_si128(_mm_and_si128(same, p), _mm_andnot_si128(same, result));
}

}  // namespace

void crossFade(uint32_t* out, const uint32_t* p, const uint32_t* q, int n, int a) {
  const detail::Tables& t = tables();
  for (int i = 0; i < n; ++i) out[i] = fadePixel(p[i], q[i], a, t);
}

void crossFadeSimd(uint32_t* out, const uint32_t* p, const uint32_t* q, int n, int a) {
  const detail::Tables& t = tables();
  const __m128i limit = _mm_set1_epi32(int(0xFDFFFFFFu));
  int i = 0;
  for (; i + 4 <= n; i += 4) {
    __m128i pv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    __m128i qv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q + i));
    // Both alphas 254 or more in all four lanes (unsigned compare via sign flip).
    const __m128i flip = _mm_set1_epi32(int(0x80000000u));
    __m128i lim = _mm_xor_si128(limit, flip);
    __m128i ok = _mm_and_si128(_mm_cmpgt_epi32(_mm_xor_si128(pv, flip), lim), _mm_cmpgt_epi32(_mm_xor_si128(qv, flip), lim));
    if (_mm_movemask_epi8(ok) == 0xFFFF) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), fadeOpaque4(pv, qv, a));
      continue;
    }
    for (int k = i; k < i + 4; ++k) out[k] = fadePixel(p[k], q[k], a, t);
  }
  for (; i < n; ++i) out[i] = fadePixel(p[i], q[i], a, t);
}

}  // namespace velmora::image::kernels
