// Colour adjustments and alpha clean-up, each a table or a per-pixel formula.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "image/internal.h"

namespace velmora::image {
namespace {

using namespace detail;

// Runs the three colour bytes through per-channel tables (index 0 = byte 0).
void applyTables(Image* image, const uint8_t* t0, const uint8_t* t1, const uint8_t* t2) {
  uint8_t* p = bytes(image);
  for (int32_t i = 0; i < image->count; ++i, p += 4) p[0] = t0[p[0]], p[1] = t1[p[1]], p[2] = t2[p[2]];
}

bool present(const Image* image, const char* message) {
  if (image && image->pixels) return true;
  say(message);
  return false;
}

// Square neighbourhood test for DurtyTransparency's positive radius, by a
// summed-area table of visible pixels.
void clearFarTransparent(Image* image, int radius) {
  const int w = image->width, h = image->height;
  std::vector<int32_t> sat(size_t(w + 1) * (h + 1), 0);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      sat[size_t(y + 1) * (w + 1) + x + 1] = int32_t((image->pixels[size_t(y) * w + x] >> 24) != 0) +
                                            sat[size_t(y) * (w + 1) + x + 1] + sat[size_t(y + 1) * (w + 1) + x] -
                                            sat[size_t(y) * (w + 1) + x];
  for (int y = 0; y < h; ++y) {
    int y0 = std::max(0, y - radius), y1 = std::min(h, y + radius + 1);
    for (int x = 0; x < w; ++x) {
      uint32_t& p = image->pixels[size_t(y) * w + x];
      if (p >> 24) continue;
      int x0 = std::max(0, x - radius), x1 = std::min(w, x + radius + 1);
      int32_t n = sat[size_t(y1) * (w + 1) + x1] - sat[size_t(y0) * (w + 1) + x1] - sat[size_t(y1) * (w + 1) + x0] +
                  sat[size_t(y0) * (w + 1) + x0];
      if (n == 0) p = 0;
    }
  }
}

// One bleed round: empty pixels of `out` take the colour of a neighbour in `in`.
void bleedRound(const uint32_t* in, uint32_t* out, int w, int h) {
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint32_t& o = out[size_t(y) * w + x];
      if (o) continue;
      const uint32_t* c = in + size_t(y) * w + x;
      uint32_t v = 0;
      if (y + 1 < h && (c[w] & 0xFFFFFF)) v = c[w];
      else if (x + 1 < w && (c[1] & 0xFFFFFF)) v = c[1];
      else if (x > 0 && (c[-1] & 0xFFFFFF)) v = c[-1];
      else if (y > 0 && (c[-w] & 0xFFFFFF)) v = c[-w];
      o = v & 0xFFFFFF;
    }
}

}  // namespace

int DurtyTransparency(Image* image, int radius) {
  if (!present(image, "-DTP: 画像データを読み込めませんでした\n")) return 0;
  if (image->depth != 32) return 1;
  uint32_t* px = image->pixels;
  if (std::all_of(px, px + image->count, [](uint32_t p) { return (p >> 24) == 255; })) {
    image->depth = 24;
    return 1;
  }
  if (radius > 0) {
    clearFarTransparent(image, radius);
    return 1;
  }
  for (int32_t i = 0; i < image->count; ++i)
    if ((px[i] >> 24) == 0) px[i] = 0;
  if (radius == 0) return 1;
  Image* other = copyImage(image);
  if (!other) return 1;  // the clean-up above already holds; bleeding needs the second buffer
  uint32_t* buffers[2] = {image->pixels, other->pixels};
  int latest = 0;
  for (int round = 0; round < -radius; ++round) {
    bleedRound(buffers[latest], buffers[1 - latest], image->width, image->height);
    latest = 1 - latest;
  }
  if (latest == 1) {
    uint32_t* p = image->pixels;  // packed members: no references into the record
    image->pixels = other->pixels;
    other->pixels = p;
  }
  freeImage(other);
  return 1;
}

int color2colorImage(Image* image, unsigned long from, unsigned long to, int kind) {
  if (!present(image, "-C2C: 画像データを読み込めませんでした\n")) return 0;
  uint32_t f = uint32_t(from), t = uint32_t(to);
  if (kind == 1) f = image->pixels[0];
  else if (kind == 2) f = image->pixels[image->width - 1];
  if (to > 0xFFFFFF) image->depth = 32;
  for (int32_t i = 0; i < image->count; ++i)
    if (image->pixels[i] == f) image->pixels[i] = t;
  return 1;
}

int negaposiImage(Image* image) {
  if (!present(image, "-REV: 画像データを読み込めませんでした\n")) return 0;
  for (int32_t i = 0; i < image->count; ++i) image->pixels[i] ^= 0x00FFFFFFu;
  return 1;
}

int grayscalImage(Image* image) {
  if (!present(image, "-GRY: 画像データを読み込めませんでした\n")) return 0;
  const Tables& t = tables();
  for (int32_t i = 0; i < image->count; ++i) {
    uint32_t p = image->pixels[i];
    uint32_t g = uint32_t(int(t.lumR[(p >> 16) & 255] + t.lumG[(p >> 8) & 255] + t.lumB[p & 255] + 0.5));
    image->pixels[i] = (p & 0xFF000000u) | g * 0x010101u;
  }
  return 1;
}

int bcImage(Image* image, int brightness, int contrast) {
  if (!present(image, "-BC: 画像データを読み込めませんでした\n")) return 0;
  uint8_t t[256];
  double gain = (contrast + 100) / 100.0;
  for (int v = 0; v < 256; ++v) t[v] = uint8_t(std::clamp(int(gain * (v - 128)) + brightness + 128, 0, 255));
  applyTables(image, t, t, t);
  return 1;
}

int colorImage(Image* image, int red, int green, int blue) {
  if (!present(image, "-RGB: 画像データを読み込めませんでした\n")) return 0;
  uint8_t t[3][256];
  const int amount[3] = {blue, green, red};
  for (int c = 0; c < 3; ++c) {
    double e = std::pow(0.5, amount[c] / 100.0);
    for (int v = 0; v < 256; ++v) t[c][v] = uint8_t(std::clamp(int(255.0 * std::pow(v / 255.0, e)), 0, 255));
  }
  applyTables(image, t[0], t[1], t[2]);
  return 1;
}

namespace {

struct Lightness {
  int t, u, v;
  uint8_t operator()(int x) const { return uint8_t(t <= 0 ? (x * u) >> 8 : t + ((v * x) >> 8)); }
};

// Hue sector table: the three components of byte 0, 1, 2.
void hslComponents(int n, int q, int a, int bd, int out[3]) {
  switch (n / 60) {
    case 0: out[0] = q, out[1] = a + bd * n / 60, out[2] = a; break;
    case 1: out[0] = q - bd * (n - 60) / 60, out[1] = q, out[2] = a; break;
    case 2: out[0] = a, out[1] = q, out[2] = a + bd * (n - 120) / 60; break;
    case 3: out[0] = a, out[1] = q - bd * (n - 180) / 60, out[2] = q; break;
    case 4: out[0] = a + bd * (n - 240) / 60, out[1] = a, out[2] = q; break;
    default: out[0] = q, out[1] = a, out[2] = q - bd * (n - 300) / 60; break;
  }
}

uint32_t hslPixel(uint32_t p, int hue, int r, const Lightness& step) {
  int b0 = int(p & 255), b1 = int(p >> 8 & 255), b2 = int(p >> 16 & 255);
  int mx = std::max({b0, b1, b2}), mn = std::min({b0, b1, b2});
  int l = (mx + mn) >> 1, s = 0, h = 0;
  if (mx != mn) {
    int m = mx + mn, diff = mx - mn;
    if (m >= 256) m = 510 - m;
    s = diff * 256 / m;
    if (b0 == mx) h = (b1 - b2) * 60 / diff;
    else if (b1 == mx) h = (b2 - b0) * 60 / diff + 120;
    else h = (b0 - b1) * 60 / diff + 240;
  }
  s += ((r < 1 ? s : 256 - s) * r) >> 8;
  uint32_t alpha = p & 0xFF000000u;
  if (s == 0) return alpha | uint32_t(step(l)) * 0x010101u;
  h = ((h - hue) % 360 + 360) % 360;
  int q = l >= 128 ? s + ((256 - s) * l >> 8) : (l * (s + 256)) >> 8;
  int a = 2 * l - q, out[3];
  hslComponents(h, q, a, q - a, out);
  return alpha | uint32_t(step(out[2])) << 16 | uint32_t(step(out[1])) << 8 | step(out[0]);
}

}  // namespace

int hslImage(Image* image, int hue, int saturation, int lightness) {
  if (!present(image, "-HLB: 画像データを読み込めませんでした\n")) return 0;
  int r = saturation * 256 / 100;
  int t = lightness * 255 / 100;
  Lightness step{t, t + 255, 255 - t};
  for (int32_t i = 0; i < image->count; ++i) image->pixels[i] = hslPixel(image->pixels[i], hue, r, step);
  return 1;
}

int colImage(Image* image, int kind, unsigned long colour) {
  if (!image || !image->pixels) return 0;
  int a = int(colour >> 24 & 255);
  if (a == 0 || kind < 1 || kind > 21) return 1;
  const uint8_t* f = tables().blend[kind - 1];
  const int k[3] = {int(colour & 255), int(colour >> 8 & 255), int(colour >> 16 & 255)};
  uint8_t t[3][256];
  for (int c = 0; c < 3; ++c)
    for (int j = 0; j < 256; ++j) {
      int v = f[j * 256 + k[c]];
      t[c][j] = uint8_t(a == 255 ? v : ((v * a + j * (255 - a) + 1) * 257) >> 16);
    }
  applyTables(image, t[0], t[1], t[2]);
  return 1;
}

}  // namespace velmora::image
