// Easing curves, indexed by id -20 ... 20. Negative ids are the "in" and
// "out-in" forms, positive the "out" and "in-out" ones; the elastic curves
// keep their asymmetric phase for negative changes on purpose.
#include "sprite/easing.h"

#include <cmath>
#include <cstdint>

namespace velmora::sprite {
namespace {

constexpr float kPi = 3.14159265f;
constexpr float kHalfPi = kPi / 2;
constexpr float kPiSquared = 9.869605f;

float sq(float v) { return v * v; }
float pow2(float e) { return std::exp2(e); }

float linear(float t, float c) { return c * t; }

float sineIn(float t, float c) { return c - c * std::cos(t * kHalfPi); }
float sineOut(float t, float c) { return c * std::sin(t * kHalfPi); }
float sineInOut(float t, float c) { return -(c / 2) * (std::cos(kPi * t) - 1); }
float sineOutIn(float t, float c) {
  if (t < 0.5f) return (c / 2) * std::sin(2 * t * kHalfPi);
  return c / 2 + (c / 2 - (c / 2) * std::cos((2 * t - 1) * kHalfPi));
}

float quadIn(float t, float c) { return c * t * t; }
float quadOut(float t, float c) { return -c * t * (t - 2); }
float quadInOut(float t, float c) {
  float u = 2 * t;
  if (u < 1) return (c / 2) * u * u;
  return -(c / 2) * ((u - 1) * (u - 3) - 1);
}
float quadOutIn(float t, float c) {
  if (t < 0.5f) {
    float u = 2 * t;
    return -(c / 2) * u * (u - 2);
  }
  float u = 2 * t - 1;
  return (c / 2) * u * u + c / 2;
}

// Cubic and quintic share their shapes; only the power differs.
template <int P>
float powN(float v) {
  float r = 1;
  for (int i = 0; i < P; ++i) r *= v;
  return r;
}
template <int P>
float oddIn(float t, float c) { return c * powN<P>(t); }
template <int P>
float oddOut(float t, float c) { return c * (powN<P>(t - 1) + 1); }
template <int P>
float oddInOut(float t, float c) {
  float u = 2 * t;
  if (u < 1) return (c / 2) * powN<P>(u);
  u -= 2;
  return (c / 2) * (powN<P>(u) + 2);
}
template <int P>
float oddOutIn(float t, float c) {
  float u = 2 * t - 1;
  if (t < 0.5f) return (c / 2) * (powN<P>(u) + 1);
  return (c / 2) * powN<P>(u) + c / 2;
}

float quartIn(float t, float c) { return c * powN<4>(t); }
float quartOut(float t, float c) { return -c * (powN<4>(t - 1) - 1); }
float quartInOut(float t, float c) {
  float u = 2 * t;
  if (u < 1) return (c / 2) * powN<4>(u);
  u -= 2;
  return -(c / 2) * (powN<4>(u) - 2);
}
float quartOutIn(float t, float c) {
  float u = 2 * t - 1;
  if (t < 0.5f) return -(c / 2) * (powN<4>(u) - 1);
  return (c / 2) * powN<4>(u) + c / 2;
}

float expoIn(float t, float c) { return t == 0 ? 0 : c * pow2(10 * (t - 1)); }
float expoOut(float t, float c) { return t == 1 ? c : c * (1 - pow2(-10 * t)); }
float expoInOut(float t, float c) {
  if (t == 0) return 0;
  if (t == 1) return c;
  float u = 2 * t;
  if (u < 1) return (c / 2) * pow2(10 * (u - 1));
  return (c / 2) * (2 - pow2(-10 * (u - 1)));
}
float expoOutIn(float t, float c) {
  if (t < 0.5f) return expoOut(2 * t, c / 2);
  return c / 2 + expoIn(2 * t - 1, c / 2);
}

float circIn(float t, float c) { return -c * (std::sqrt(1 - t * t) - 1); }
float circOut(float t, float c) { return c * std::sqrt(1 - sq(t - 1)); }
float circInOut(float t, float c) {
  float u = 2 * t;
  if (u < 1) return -(c / 2) * (std::sqrt(1 - u * u) - 1);
  u -= 2;
  return (c / 2) * (std::sqrt(1 - u * u) + 1);
}
float circOutIn(float t, float c) {
  float u = 2 * t - 1;
  if (t < 0.5f) return (c / 2) * std::sqrt(1 - u * u);
  return c / 2 - (c / 2) * (std::sqrt(1 - u * u) - 1);
}

// Negative changes take a phase of period / 4, not period / pi^2.
float phase(float period, float c) { return c >= 0 ? period / kPiSquared : period / 4; }

float elasticIn(float t, float c) {
  if (t == 0) return 0;
  if (t == 1) return c;
  const float s = phase(0.3f, c);
  return -c * pow2(10 * (t - 1)) * std::sin((t - s) * 2 * kPi / 0.3f);
}
float elasticOut(float t, float c) {
  if (t == 0) return 0;
  if (t == 1) return c;
  const float s = phase(0.3f, c);
  return c + c * pow2(-10 * t) * std::sin((t - s) * 2 * kPi / 0.3f);
}
float elasticInOut(float t, float c) {
  if (t == 0) return 0;
  if (t == 1) return c;
  const float s = phase(0.45f, c);
  float u = 2 * t;
  if (u < 1) return -(c / 2) * pow2(10 * (u - 1)) * std::sin((u - s) * 2 * kPi / 0.45f);
  return c + (c / 2) * pow2(-10 * (u - 1)) * std::sin((u - s) * 2 * kPi / 0.45f);
}
float elasticOutIn(float t, float c) {
  if (t < 0.5f) return elasticOut(2 * t, c / 2);
  return c / 2 + elasticIn(2 * t - 1, c / 2);
}

constexpr float kBack = 1.70158f, kBack1 = 2.70158f;
constexpr float kBackInOut = 2.5949094f, kBackInOut1 = 3.5949094f;

float backIn(float t, float c) { return c * t * t * (kBack1 * t - kBack); }
float backOut(float t, float c) {
  float u = t - 1;
  return c * (u * u * (kBack1 * u + kBack) + 1);
}
float backInOut(float t, float c) {
  float u = 2 * t;
  if (u < 1) return (c / 2) * u * u * (kBackInOut1 * u - kBackInOut);
  u -= 2;
  return (c / 2) * (u * u * (kBackInOut1 * u + kBackInOut) + 2);
}
float backOutIn(float t, float c) {
  float u = 2 * t - 1;
  if (t < 0.5f) return (c / 2) * (u * u * (kBack1 * u + kBack) + 1);
  return (c / 2) * u * u * (kBack1 * u - kBack) + c / 2;
}

float bounceOut(float t, float c) {
  if (t < 0.36363637f) return c * 7.5625f * t * t;
  if (t < 0.72727275f) return c * (7.5625f * sq(t - 0.54545456f) + 0.75f);
  if (t < 0.90909094f) return c * (7.5625f * sq(t - 0.8181818f) + 0.9375f);
  return c * (7.5625f * sq(t - 0.95454544f) + 0.984375f);
}
float bounceIn(float t, float c) { return c - bounceOut(1 - t, c); }
float bounceInOut(float t, float c) {
  if (t < 0.5f) return c / 2 - bounceOut(1 - 2 * t, c / 2);
  return c / 2 + bounceOut(2 * t - 1, c / 2);
}
float bounceOutIn(float t, float c) {
  if (t < 0.5f) return bounceOut(2 * t, c / 2);
  return c / 2 + (c / 2 - bounceOut(1 - (2 * t - 1), c / 2));
}

struct Curve {
  int id;
  float (*ease)(float t, float c);
};

constexpr Curve kCurves[] = {
    {-20, bounceOutIn},   {-19, backOutIn},     {-18, elasticOutIn},  {-17, circOutIn},     {-16, expoOutIn},
    {-15, oddOutIn<5>},   {-14, quartOutIn},    {-13, oddOutIn<3>},   {-12, quadOutIn},     {-11, sineOutIn},
    {-10, bounceIn},      {-9, backIn},         {-8, elasticIn},      {-7, circIn},         {-6, expoIn},
    {-5, oddIn<5>},       {-4, quartIn},        {-3, oddIn<3>},       {-2, quadIn},         {-1, sineIn},
    {0, linear},          {1, sineOut},         {2, quadOut},         {3, oddOut<3>},       {4, quartOut},
    {5, oddOut<5>},       {6, expoOut},         {7, circOut},         {8, elasticOut},      {9, backOut},
    {10, bounceOut},      {11, sineInOut},      {12, quadInOut},      {13, oddInOut<3>},    {14, quartInOut},
    {15, oddInOut<5>},    {16, expoInOut},      {17, circInOut},      {18, elasticInOut},   {19, backInOut},
    {20, bounceInOut},
};
static_assert(sizeof(kCurves) / sizeof(kCurves[0]) == kEasingCount, "one curve per easing id");

constexpr bool idsInOrder() {
  for (int i = 0; i < kEasingCount; ++i)
    if (kCurves[i].id != kEasingFirst + i) return false;
  return true;
}
static_assert(idsInOrder(), "the table is indexed by id + 20");

}  // namespace

float easingCurve(int id, float t, float c) {
  // The formulas land near their ends, not always on them (cos(pi / 2) is not
  // 0 in floats): a finished motion must rest exactly where it was sent.
  if (t == 0) return 0;
  if (t == 1) return c;
  if (!validEasing(id)) return linear(t, c);
  return kCurves[id - kEasingFirst].ease(t, c);
}

float easeFloat(int id, float c, float elapsed, float duration) {
  if (duration <= 0 || elapsed == duration) return c;
  if (id == 0 || !validEasing(id)) return c * elapsed / duration;
  return easingCurve(id, elapsed / duration, c);
}

int64_t easeInt(int id, int64_t c, int elapsed, int duration) {
  // The end is exact even for changes a float cannot hold.
  if (duration <= 0 || elapsed == duration) return c;
  if (id == 0 || !validEasing(id)) return c * elapsed / duration;
  // Overshooting curves leave [0, c]; far from the int64 limits for 33-bit c.
  constexpr float kLimit = 9.2e18f;
  const float v = easingCurve(id, float(elapsed) / float(duration), float(c));
  return std::isfinite(v) && std::fabs(v) < kLimit ? static_cast<int64_t>(v) : 0;
}

}  // namespace velmora::sprite
