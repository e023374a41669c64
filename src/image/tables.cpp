// The start-up tables: blend functions and alpha arithmetic as byte look-ups.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>

#include "image/internal.h"

namespace velmora::image::detail {
namespace {

int vividLight(int j, int k) {
  if (k > 127) return k == 255 ? 255 : std::min(255 * j / (2 * (255 - k)), 255);
  return k == 0 ? 0 : std::max((j - 255) * 255 / (2 * k) + 255, 0);
}

int overlay(int j, int k, bool high) {
  return high ? 2 * (j + k) - (2 * j * k) / 255 - 255 : (2 * j * k) / 255;
}

// f(j, k) of blend mode 1..21; j is the destination value, k the source.
int blendFunction(int mode, int j, int k) {
  switch (mode) {
    case 1: return k;
    case 2: case 11: return std::min(j + k, 255);
    case 3: return std::max(j - k, 0);
    case 4: return j * k / 255;
    case 5: return k == 0 ? j : std::min(255 * j / k, 255);
    case 6: return j + k - j * k / 255;
    case 7: return std::max(j, k);
    case 8: return std::min(j, k);
    case 9: return std::abs(j - k);
    case 10: return j + k - (2 * j * k) / 255;
    case 12: return (k == 255 || 255 * j / (255 - k) > 255) ? 255 : 255 * j / (255 - k);
    case 13: return std::max(j + k - 255, 0);
    case 14: return k == 0 ? 0 : std::max((j - 255) * 255 / k + 255, 0);
    case 15: return overlay(j, k, j > 127);
    case 16: return overlay(j, k, k > 127);
    case 17: {
      double e = k > 127 ? 127.5 / k : 2.0 - k / 127.5;
      return static_cast<int>(255.0 * std::pow(j / 255.0, e));
    }
    case 18: return vividLight(j, k);
    case 19: return std::clamp(j + 2 * k - 255, 0, 255);
    case 20: return k > 127 ? std::max(j, 2 * k - 255) : std::min(j, 2 * k);
    case 21: return vividLight(j, k) >= 128 ? 255 : 0;
  }
  return j;
}

template <size_t N>
void fillDivision(uint8_t (&t)[N], int k) {
  for (size_t n = 0; n < N; ++n) t[n] = static_cast<uint8_t>(n / k);
}

std::unique_ptr<Tables> build() {
  auto t = std::make_unique<Tables>();
  for (int i = 0; i < 256; ++i) {
    t->lumR[i] = i * 0.298912;
    t->lumG[i] = i * 0.586611;
    t->lumB[i] = i * 0.114477;
    t->reciprocal[i] = i == 0 ? 0 : static_cast<int>(65535.0 / i + 0.5);
  }
  for (int mode = 1; mode <= 21; ++mode)
    for (int j = 0; j < 256; ++j)
      for (int k = 0; k < 256; ++k) t->blend[mode - 1][j * 256 + k] = static_cast<uint8_t>(blendFunction(mode, j, k));
  for (int a = 0; a < 256; ++a) {
    for (int b = 0; b < 256; ++b) {
      t->product[a * 256 + b] = static_cast<uint8_t>(a * b / 255);
      t->unionAlpha[a * 256 + b] = static_cast<uint8_t>(a + (255 - a) * b / 255);
      t->remainder[a * 256 + b] = static_cast<uint8_t>((255 - a) * b / 255);
      t->weight[a * 256 + b] = a == 0 ? 0 : static_cast<int>(b * 256.0 / a + 0.5);
    }
  }
  fillDivision(t->div3, 3);
  fillDivision(t->div5, 5);
  fillDivision(t->div6, 6);
  fillDivision(t->div7, 7);
  fillDivision(t->div9, 9);
  fillDivision(t->div10, 10);
  return t;
}

}  // namespace

const Tables& tables() {
  static const std::unique_ptr<Tables> t = build();
  return *t;
}

const uint8_t* divisionTable(int k) {
  const Tables& t = tables();
  switch (k) {
    case 3: return t.div3;
    case 5: return t.div5;
    case 6: return t.div6;
    case 7: return t.div7;
    case 9: return t.div9;
    case 10: return t.div10;
  }
  return nullptr;
}

}  // namespace velmora::image::detail
