#pragma once
// Processor-specific routine pointers exported to plug-ins, set once when the
// display starts (selectRoutines in image.h).
#include <cstddef>

namespace velmora::image {
using UnaryFloatFn = float (*)(float&);
using SinCosFn = void (*)(float& angle, float& sine, float& cosine);
using MemcpyFn = void* (*)(void* destination, const void* source, size_t bytes);
}  // namespace velmora::image

extern "C" {
extern velmora::image::UnaryFloatFn sin_simd;
extern velmora::image::UnaryFloatFn cos_simd;
extern velmora::image::SinCosFn sincos_simd;
extern velmora::image::UnaryFloatFn sqrt_simd;
extern velmora::image::UnaryFloatFn rsqrt_simd;
extern velmora::image::MemcpyFn memcpy_simd;
// Angle of (x, y) in radians, -pi..pi, to about 0.005.
float atan2_fast(int y, int x);
}
