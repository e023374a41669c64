// AVX2 forms of the vector blend kernels: eight pixels per step, the same
// arithmetic as the SSE2 forms lane for lane, so the results are identical.
// Only the functions here ask for AVX2; the callers check the processor first.
#ifdef __EMSCRIPTEN__
// WebAssembly has no 256-bit vectors: avx2Paths() is false there and these
// are the 128-bit forms.
#include "image/blend_kernels.h"

namespace velmora::image::kernels {
void normalRowAvx2(uint32_t* d, const uint32_t* s, int n, int opacity) { normalRowSimd(d, s, n, opacity); }
void crossFadeAvx2(uint32_t* out, const uint32_t* p, const uint32_t* q, int n, int a) { crossFadeSimd(out, p, q, n, a); }
}  // namespace velmora::image::kernels
#else
#include <immintrin.h>

#include "image/blend_kernels.h"
#include "image/blend_pixel.h"

#define VELMORA_AVX2 __attribute__((target("avx2")))

namespace velmora::image::kernels {
namespace {

VELMORA_AVX2 inline __m256i set1(int v) { return _mm256_set1_epi32(v); }

// Per channel clamp(Cd + ((Cs - Cd) * w >> 8), 0, 255), w in 0..256 per lane;
// madd gives the exact 32-bit product because w's high half is zero.
VELMORA_AVX2 inline __m256i stepRgb(__m256i dp, __m256i sp, __m256i w) {
  const __m256i byte = set1(255), zero = _mm256_setzero_si256();
  __m256i out = zero;
  for (int c = 0; c < 3; ++c) {
    __m256i dc = _mm256_and_si256(_mm256_srli_epi32(dp, 8 * c), byte);
    __m256i sc = _mm256_and_si256(_mm256_srli_epi32(sp, 8 * c), byte);
    __m256i prod = _mm256_madd_epi16(_mm256_sub_epi32(sc, dc), w);
    __m256i v = _mm256_add_epi32(dc, _mm256_srai_epi32(prod, 8));
    v = _mm256_min_epi32(_mm256_max_epi32(v, zero), byte);
    out = _mm256_or_si256(out, _mm256_slli_epi32(v, 8 * c));
  }
  return out;
}

// In the lanes of `lanes`: r = unionAlpha[a * 256 + b], w = weight[r * 256 + a].
// The byte table is read as 32-bit words; the callers' indexes stay below
// 65533, so the three extra bytes are still inside the table.
VELMORA_AVX2 inline void unionAndWeight(__m256i a, __m256i b, __m256i lanes, __m256i& r, __m256i& w) {
  const detail::Tables& t = detail::tables();
  const __m256i zero = _mm256_setzero_si256();
  __m256i ui = _mm256_add_epi32(_mm256_slli_epi32(a, 8), b);
  __m256i ru = _mm256_mask_i32gather_epi32(zero, reinterpret_cast<const int*>(t.unionAlpha), ui, lanes, 1);
  ru = _mm256_and_si256(ru, set1(255));
  __m256i wi = _mm256_add_epi32(_mm256_slli_epi32(ru, 8), a);
  __m256i wg = _mm256_mask_i32gather_epi32(zero, t.weight, wi, lanes, 4);
  r = _mm256_blendv_epi8(r, ru, lanes);
  w = _mm256_blendv_epi8(w, wg, lanes);
}

VELMORA_AVX2 inline __m256i normal8(__m256i dp, __m256i sp, int opacity) {
  const __m256i zero = _mm256_setzero_si256(), byte = set1(255);
  __m256i sa = _mm256_srli_epi32(sp, 24);
  if (opacity < 256) {
    __m256i prod = _mm256_mullo_epi32(sa, set1(opacity));
    sa = _mm256_and_si256(_mm256_cmpgt_epi32(prod, byte), _mm256_srai_epi32(prod, 8));
  }
  __m256i da = _mm256_srli_epi32(dp, 24);
  __m256i skip = _mm256_cmpeq_epi32(sa, zero);
  __m256i copy = _mm256_or_si256(_mm256_cmpeq_epi32(da, zero), _mm256_cmpeq_epi32(sa, byte));
  __m256i opaque = _mm256_cmpeq_epi32(da, byte);
  __m256i general = _mm256_andnot_si256(_mm256_or_si256(_mm256_or_si256(skip, copy), opaque), set1(-1));
  __m256i r = byte, w = sa;
  // Both alphas 1..254 here: the union index is at most 65278.
  if (!_mm256_testz_si256(general, general)) unionAndWeight(sa, da, general, r, w);
  __m256i out = _mm256_or_si256(stepRgb(dp, sp, w), _mm256_slli_epi32(r, 24));
  __m256i copied = _mm256_or_si256(_mm256_and_si256(sp, set1(0xFFFFFF)), _mm256_slli_epi32(sa, 24));
  out = _mm256_blendv_epi8(out, copied, copy);
  return _mm256_blendv_epi8(out, dp, skip);
}

// Per channel P + (Q - P) * w / 256 truncated toward zero, w in 0..256.
VELMORA_AVX2 inline __m256i towardRgb(__m256i p, __m256i q, __m256i w) {
  const __m256i byte = set1(255);
  __m256i out = _mm256_setzero_si256();
  for (int c = 0; c < 3; ++c) {
    __m256i pc = _mm256_and_si256(_mm256_srli_epi32(p, 8 * c), byte);
    __m256i qc = _mm256_and_si256(_mm256_srli_epi32(q, 8 * c), byte);
    __m256i prod = _mm256_madd_epi16(_mm256_sub_epi32(qc, pc), w);
    __m256i bias = _mm256_and_si256(_mm256_srai_epi32(prod, 31), byte);
    __m256i v = _mm256_add_epi32(pc, _mm256_srai_epi32(_mm256_add_epi32(prod, bias), 8));
    out = _mm256_or_si256(out, _mm256_slli_epi32(v, 8 * c));
  }
  return out;
}

// Eight pixels of the cross-fade at a, every case of fadePixel at once.
VELMORA_AVX2 inline __m256i fade8(__m256i p, __m256i q, int a) {
  const __m256i zero = _mm256_setzero_si256(), rgb = set1(0xFFFFFF), nearlyOpaque = set1(254);
  __m256i pa = _mm256_srli_epi32(p, 24), qa = _mm256_srli_epi32(q, 24);
  __m256i ns = _mm256_srli_epi32(_mm256_mullo_epi32(qa, set1(a)), 8);
  __m256i no = _mm256_srli_epi32(_mm256_mullo_epi32(pa, set1(256 - a)), 8);
  __m256i noP = _mm256_cmpeq_epi32(pa, zero), noQ = _mm256_cmpeq_epi32(qa, zero);
  __m256i both = _mm256_andnot_si256(_mm256_or_si256(noP, noQ), set1(-1));
  __m256i soft = _mm256_and_si256(
      both, _mm256_or_si256(_mm256_cmpgt_epi32(nearlyOpaque, qa), _mm256_cmpgt_epi32(nearlyOpaque, pa)));
  __m256i r = set1(255), w = ns;
  // ns + no stays below 256, so the union index is at most 65280.
  if (!_mm256_testz_si256(soft, soft)) unionAndWeight(ns, no, soft, r, w);
  __m256i out = _mm256_or_si256(towardRgb(p, q, w), _mm256_slli_epi32(r, 24));
  __m256i onlyQ = _mm256_or_si256(_mm256_and_si256(q, rgb), _mm256_slli_epi32(ns, 24));
  __m256i onlyP = _mm256_or_si256(_mm256_and_si256(p, rgb), _mm256_slli_epi32(no, 24));
  out = _mm256_blendv_epi8(out, onlyQ, _mm256_andnot_si256(noQ, noP));
  out = _mm256_blendv_epi8(out, onlyP, _mm256_andnot_si256(noP, noQ));
  out = _mm256_andnot_si256(_mm256_and_si256(noP, noQ), out);
  return _mm256_blendv_epi8(out, p, _mm256_cmpeq_epi32(p, q));
}

}  // namespace

VELMORA_AVX2 void normalRowAvx2(uint32_t* d, const uint32_t* s, int n, int opacity) {
  int i = 0;
  for (; i + 8 <= n; i += 8) {
    __m256i dp = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d + i));
    __m256i sp = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + i));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + i), normal8(dp, sp, opacity));
  }
  const detail::Tables& t = detail::tables();
  for (; i < n; ++i) d[i] = normalPixel<true>(d[i], s[i], opacity, t);
}

VELMORA_AVX2 void crossFadeAvx2(uint32_t* out, const uint32_t* p, const uint32_t* q, int n, int a) {
  int i = 0;
  for (; i + 8 <= n; i += 8) {
    __m256i pv = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i));
    __m256i qv = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(q + i));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), fade8(pv, qv, a));
  }
  const detail::Tables& t = detail::tables();
  for (; i < n; ++i) out[i] = fadePixel(p[i], q[i], a, t);
}

}  // namespace velmora::image::kernels
#endif
