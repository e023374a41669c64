#pragma once
// One pixel of the normal blend and of the cross-fade, shared by the row
// kernels of every instruction set so that their leftovers agree exactly.
#include <emmintrin.h>

#include <cstdint>

#include "image/internal.h"

namespace velmora::image::kernels {

inline int div255(int n) { return ((n + 1) * 257) >> 16; }
inline int ch(uint32_t p, int c) { return int(p >> (8 * c)) & 255; }

// Source alpha after the opacity; 0 means the pixel is skipped.
inline int effectiveAlpha(int sa, int opacity) {
  if (opacity >= 256) return sa;
  int prod = opacity * sa;
  return prod <= 255 ? 0 : prod >> 8;
}

// Cd + ((Cs - Cd) * w >> 8) on the four bytes at once (alpha set afterwards).
inline uint32_t stepSimd(uint32_t dp, uint32_t sp, int w) {
  const __m128i zero = _mm_setzero_si128();
  __m128i d16 = _mm_unpacklo_epi8(_mm_cvtsi32_si128(int(dp)), zero);
  __m128i s16 = _mm_unpacklo_epi8(_mm_cvtsi32_si128(int(sp)), zero);
  __m128i diff = _mm_sub_epi16(s16, d16);
  __m128i wv = _mm_set1_epi16(short(w));
  __m128i lo = _mm_mullo_epi16(diff, wv), hi = _mm_mulhi_epi16(diff, wv);
  __m128i prod = _mm_srai_epi32(_mm_unpacklo_epi16(lo, hi), 8);
  __m128i r = _mm_add_epi16(_mm_packs_epi32(prod, prod), d16);
  return uint32_t(_mm_cvtsi128_si32(_mm_packus_epi16(r, r)));
}

// The normal blend of one source pixel over one destination pixel.
template <bool kSimd>
inline uint32_t normalPixel(uint32_t dp, uint32_t sp, int opacity, const detail::Tables& t) {
  int sa = effectiveAlpha(int(sp >> 24), opacity);
  if (sa == 0) return dp;
  int da = int(dp >> 24);
  if (da == 0 || sa == 255) return (sp & 0xFFFFFF) | uint32_t(sa) << 24;
  int r = da == 255 ? 255 : t.unionAlpha[sa * 256 + da];
  if constexpr (kSimd) {
    int w = da == 255 ? sa : t.weight[r * 256 + sa];
    return (stepSimd(dp, sp, w) & 0xFFFFFF) | uint32_t(r) << 24;
  }
  uint32_t out = uint32_t(r) << 24;
  if (da == 255) {
    for (int c = 0; c < 3; ++c) out |= uint32_t(div255(ch(sp, c) * sa + ch(dp, c) * (255 - sa))) << (8 * c);
  } else {
    int w = t.weight[r * 256 + sa];
    for (int c = 0; c < 3; ++c) out |= uint32_t(ch(dp, c) + (ch(sp, c) - ch(dp, c)) * w / 256) << (8 * c);
  }
  return out;
}

// One pixel of the cross-fade from p to q at a (0-256).
inline uint32_t fadePixel(uint32_t pp, uint32_t qp, int a, const detail::Tables& t) {
  if (pp == qp) return pp;
  int pa = int(pp >> 24), qa = int(qp >> 24);
  if (qa && pa) {
    int ns = (a * qa) >> 8, no = (pa * (256 - a)) >> 8;
    int w = ns, r = 255;
    if (qa < 254 || pa < 254) {
      r = t.unionAlpha[ns * 256 + no];
      w = t.weight[r * 256 + ns];
    }
    uint32_t out = uint32_t(r) << 24;
    for (int c = 0; c < 3; ++c) out |= uint32_t(ch(pp, c) + (ch(qp, c) - ch(pp, c)) * w / 256) << (8 * c);
    return out;
  }
  if (qa) return (qp & 0xFFFFFF) | uint32_t((a * qa) >> 8) << 24;
  if (pa) return (pp & 0xFFFFFF) | uint32_t(((256 - a) * pa) >> 8) << 24;
  return 0;
}

}  // namespace velmora::image::kernels
