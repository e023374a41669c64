// The start-up choice of processor-specific routines and of the worker count,
// and the small vector maths routines exported to plug-ins.
#include "image/routines.h"

#include <immintrin.h>
#include <sched.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>

#include "image/image.h"

namespace velmora::image {
namespace {

struct RoutineState {
  std::atomic<int> threads{1};
  std::atomic<bool> simdBlend{false};
  std::atomic<bool> threadedBilinear{false};
  std::atomic<bool> avx2{false};
};
RoutineState routineState;

// Highest processor of the affinity mask plus one, even when above 1, at most 16.
int threadsFromAffinity() {
#ifdef __EMSCRIPTEN__
  return 1;  // the browser lends few workers; bands run on the calling thread
#else
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof(set), &set) != 0) return 1;
  int highest = -1;
  for (int i = 0; i < CPU_SETSIZE; ++i)
    if (CPU_ISSET(i, &set)) highest = i;
  int n = highest + 1;
  if (n > 1) n &= ~1;
  return n < 1 ? 1 : n > 16 ? 16 : n;
#endif
}

float sinScalar(float& x) { return std::sin(x); }
float cosScalar(float& x) { return std::cos(x); }
void sincosScalar(float& x, float& s, float& c) { s = std::sin(x), c = std::cos(x); }
float sqrtScalar(float& x) { return std::sqrt(x); }
float rsqrtScalar(float& x) { return 1.0f / std::sqrt(x); }
void* memcpyScalar(void* d, const void* s, size_t n) { return std::memcpy(d, s, n); }

// Vector forms: single-lane SSE for the roots; a reduced-range polynomial for
// sine and cosine evaluated in one register.
float sqrtSse(float& x) { return _mm_cvtss_f32(_mm_sqrt_ss(_mm_set_ss(x))); }
float rsqrtSse(float& x) {
  // One Newton step on the hardware estimate: within 2 ulp of 1/sqrt.
  __m128 v = _mm_set_ss(x), e = _mm_rsqrt_ss(v);
  __m128 half = _mm_set_ss(0.5f), three = _mm_set_ss(3.0f);
  e = _mm_mul_ss(_mm_mul_ss(half, e), _mm_sub_ss(three, _mm_mul_ss(_mm_mul_ss(v, e), e)));
  return _mm_cvtss_f32(e);
}

void sincosSse(float& x, float& s, float& c) {
  // Reduce to [-pi/4, pi/4] by quadrant, then both minimax polynomials at once.
  double q = std::nearbyint(double(x) * 0.63661977236758134);
  float r = float(double(x) - q * 1.5707963267948966);
  int quadrant = int(int64_t(q) & 3);
  __m128 r2 = _mm_set1_ps(r * r);
  __m128 sinp = _mm_set_ps(0, 0, -1.9515295891e-4f, 2.443315711809948e-5f);
  __m128 sinq = _mm_set_ps(0, 0, 8.3321608736e-3f, -1.388731625493765e-3f);
  __m128 sinr = _mm_set_ps(0, 0, -1.6666654611e-1f, 4.166664568298827e-2f);
  __m128 p = _mm_add_ps(_mm_mul_ps(sinp, r2), sinq);
  p = _mm_add_ps(_mm_mul_ps(p, r2), sinr);
  float lanes[4];
  _mm_storeu_ps(lanes, _mm_mul_ps(p, r2));
  float sr = r + r * lanes[1];
  float cr = 1.0f - 0.5f * r * r + r * r * lanes[0];
  float sv[4] = {sr, cr, -sr, -cr}, cv[4] = {cr, -sr, -cr, sr};
  s = sv[quadrant], c = cv[quadrant];
}
float sinSse(float& x) {
  float s, c;
  sincosSse(x, s, c);
  return s;
}
float cosSse(float& x) {
  float s, c;
  sincosSse(x, s, c);
  return c;
}

void* memcpySse(void* d, const void* s, size_t n) {
  auto* dp = static_cast<uint8_t*>(d);
  const auto* sp = static_cast<const uint8_t*>(s);
  size_t i = 0;
  for (; i + 64 <= n; i += 64)
    for (int k = 0; k < 4; ++k)
      _mm_storeu_si128(reinterpret_cast<__m128i*>(dp + i + 16 * k),
                       _mm_loadu_si128(reinterpret_cast<const __m128i*>(sp + i + 16 * k)));
  if (i < n) std::memcpy(dp + i, sp + i, n - i);
  return d;
}

}  // namespace

void selectRoutines(const CpuSettings& s) {
#ifdef __EMSCRIPTEN__
  // WebAssembly's 128-bit vectors carry the SSE and SSE2 forms; none wider.
  const bool mmx = s.mmx, sse = s.sse, sse2 = s.sse2, avx2 = false;
#else
  __builtin_cpu_init();
  bool mmx = s.mmx && __builtin_cpu_supports("mmx");
  bool sse = s.sse && __builtin_cpu_supports("sse");
  bool sse2 = s.sse2 && __builtin_cpu_supports("sse2");
  const bool avx2 = __builtin_cpu_supports("avx2");
#endif
  routineState.threads = s.thread ? threadsFromAffinity() : 1;
  routineState.simdBlend = mmx;
  routineState.threadedBilinear = sse;
  // The wider forms of the SSE2 kernels, where the processor has them.
  routineState.avx2 = sse2 && avx2;
  sin_simd = sse ? sinSse : sinScalar;
  cos_simd = sse ? cosSse : cosScalar;
  sincos_simd = sse ? sincosSse : sincosScalar;
  memcpy_simd = sse ? memcpySse : memcpyScalar;
  sqrt_simd = sse2 ? sqrtSse : sqrtScalar;
  rsqrt_simd = sse2 ? rsqrtSse : rsqrtScalar;
}

int workerThreads() { return routineState.threads; }
void setWorkerThreads(int n) { routineState.threads = n < 1 ? 1 : n > 16 ? 16 : n; }
bool simdBlend() { return routineState.simdBlend; }
bool threadedBilinear() { return routineState.threadedBilinear; }
bool avx2Paths() { return routineState.avx2; }

}  // namespace velmora::image

// Exported routine pointers; scalar until the display start chooses.
extern "C" {
velmora::image::UnaryFloatFn sin_simd = velmora::image::sinScalar;
velmora::image::UnaryFloatFn cos_simd = velmora::image::cosScalar;
velmora::image::SinCosFn sincos_simd = velmora::image::sincosScalar;
velmora::image::UnaryFloatFn sqrt_simd = velmora::image::sqrtScalar;
velmora::image::UnaryFloatFn rsqrt_simd = velmora::image::rsqrtScalar;
velmora::image::MemcpyFn memcpy_simd = velmora::image::memcpyScalar;

float atan2_fast(int y, int x) {
  if (x == 0 && y == 0) return 0.0f;
  // Octant reduction and a rational fit: error below 0.005 radians.
  float ax = float(std::abs(x)), ay = float(std::abs(y));
  float a = std::min(ax, ay) / std::max(ax, ay), s = a * a;
  float r = ((-0.0464964749f * s + 0.15931422f) * s - 0.327622764f) * s * a + a;
  if (ay > ax) r = 1.57079637f - r;
  if (x < 0) r = 3.14159274f - r;
  return y < 0 ? -r : r;
}
}
