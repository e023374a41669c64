#pragma once
// Per-row pixel kernels of the blends. The *Simd forms are the vector paths
// chosen by the MMX setting; they give exactly the results assigned to them.
// The *Avx2 forms give the same bytes as the *Simd ones and may only run on a
// processor with AVX2 (avx2Paths()).
#include <cstdint>

namespace velmora::image::kernels {

// opacity: 256 = full, 1..255 = scaled source alpha with the skip rule.
void normalRow(uint32_t* d, const uint32_t* s, int n, int opacity);
// Channel step Cd + ((Cs - Cd) * w >> 8), w = s over an opaque destination.
void normalRowSimd(uint32_t* d, const uint32_t* s, int n, int opacity);
void separableRow(uint32_t* d, const uint32_t* s, int n, int opacity, const uint8_t* f);
void crossFade(uint32_t* out, const uint32_t* p, const uint32_t* q, int n, int a);
void crossFadeSimd(uint32_t* out, const uint32_t* p, const uint32_t* q, int n, int a);
void normalRowAvx2(uint32_t* d, const uint32_t* s, int n, int opacity);
void crossFadeAvx2(uint32_t* out, const uint32_t* p, const uint32_t* q, int n, int a);

}  // namespace velmora::image::kernels
