// Blend modes, compositing, masks and the colour operations.
#include <cmath>

#include "helpers.h"
#include "image/internal.h"

namespace velmora::image::test {
namespace {

// The blend functions written out once more, straight from their definitions.
int formula(int mode, int j, int k) {
  auto vivid = [](int j, int k) {
    if (k > 127) return k == 255 ? 255 : std::min(255 * j / (2 * (255 - k)), 255);
    return k == 0 ? 0 : std::max((j - 255) * 255 / (2 * k) + 255, 0);
  };
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
    case 10: return j + k - 2 * j * k / 255;
    case 12: return k == 255 || 255 * j / (255 - k) > 255 ? 255 : 255 * j / (255 - k);
    case 13: return std::max(j + k - 255, 0);
    case 14: return k == 0 ? 0 : std::max((j - 255) * 255 / k + 255, 0);
    case 15: return j > 127 ? 2 * (j + k) - 2 * j * k / 255 - 255 : 2 * j * k / 255;
    case 16: return k > 127 ? 2 * (j + k) - 2 * j * k / 255 - 255 : 2 * j * k / 255;
    case 17: return int(255 * std::pow(j / 255.0, k > 127 ? 127.5 / k : 2 - k / 127.5));
    case 18: return vivid(j, k);
    case 19: return std::clamp(j + 2 * k - 255, 0, 255);
    case 20: return k > 127 ? std::max(j, 2 * k - 255) : std::min(j, 2 * k);
    case 21: return vivid(j, k) >= 128 ? 255 : 0;
  }
  return -1;
}

const int kGrid[] = {0, 1, 2, 63, 64, 127, 128, 129, 191, 200, 253, 254, 255};
int div255(int n) { return ((n + 1) * 257) >> 16; }

uint32_t px(int a, int r, int g, int b) { return uint32_t(a) << 24 | uint32_t(r) << 16 | uint32_t(g) << 8 | uint32_t(b); }

// One destination pixel blended with one source pixel.
uint32_t blendOne(uint32_t d, uint32_t s, int mode, int opacity = 256) {
  Image* dst = makeImage(1, 1, 32, [&](int, int) { return d; });
  Image* src = makeImage(1, 1, 32, [&](int, int) { return s; });
  EXPECT_EQ(blendImage(dst, src, mode, 0, 0, opacity, 0), 1);
  uint32_t out = dst->pixels[0];
  freeImage(dst);
  freeImage(src);
  return out;
}

TEST(BlendModes, OpaqueGridMatchesEveryFormula) {
  for (int mode = 1; mode <= 21; ++mode)
    for (int j : kGrid)
      for (int k : kGrid) {
        uint32_t out = blendOne(px(255, j, j, j), px(255, k, k, 255 - k), mode);
        ASSERT_EQ(out, px(255, formula(mode, j, k), formula(mode, j, k), formula(mode, j, 255 - k)))
            << "mode " << mode << " j " << j << " k " << k;
      }
}

TEST(BlendModes, PartialAlphaCasesOfTheSeparableRule) {
  const detail::Tables& t = detail::tables();
  for (int mode = 2; mode <= 21; ++mode)
    for (int j : {0, 90, 255})
      for (int k : {0, 77, 255}) {
        int b = formula(mode, j, k);
        EXPECT_EQ(blendOne(px(255, j, 0, 0), px(100, k, 0, 0), mode) >> 16, uint32_t(0xFF00 | div255(j * 155 + b * 100)));
        EXPECT_EQ(blendOne(px(60, j, 0, 0), px(255, k, 0, 0), mode) >> 16, uint32_t(0xFF00 | div255(k * 195 + b * 60)));
        int p = t.product[100 * 256 + 60], q = t.remainder[100 * 256 + 60], r = 100 + q;
        int c = ((q * j + (100 - p) * k + p * b + 1) * t.reciprocal[r]) >> 16;
        EXPECT_EQ(blendOne(px(60, j, 0, 0), px(100, k, 0, 0), mode) >> 16, uint32_t(r << 8 | c));
        EXPECT_EQ(blendOne(px(0, j, 9, 9), px(100, k, 0, 0), mode), px(100, k, 0, 0));
        EXPECT_EQ(blendOne(px(60, j, 9, 9), px(0, k, 0, 0), mode), px(60, j, 9, 9));
      }
}

TEST(BlendModes, NormalSourceOverScalarAndVectorPaths) {
  const detail::Tables& t = detail::tables();
  for (bool vector : {false, true}) {
    selectRoutines({true, vector, true, true});
    for (int cd : {0, 100, 255})
      for (int cs : {0, 50, 255}) {
        int r = t.unionAlpha[90 * 256 + 140], w = t.weight[r * 256 + 90];
        int opaque = vector ? cd + ((cs - cd) * 90 >> 8) : div255(cs * 90 + cd * 165);
        int partial = vector ? cd + ((cs - cd) * w >> 8) : cd + (cs - cd) * w / 256;
        EXPECT_EQ(blendOne(px(255, cd, 0, 0), px(90, cs, 0, 0), 1), px(255, opaque, 0, 0)) << vector;
        EXPECT_EQ(blendOne(px(140, cd, 0, 0), px(90, cs, 0, 0), 1), px(r, partial, 0, 0)) << vector;
        EXPECT_EQ(blendOne(px(140, cd, 1, 2), px(255, cs, 3, 4), 1), px(255, cs, 3, 4));
      }
  }
  selectRoutines({true, false, false, false});
}

TEST(BlendModes, OpacityRules) {
  uint32_t d = px(255, 10, 20, 30), s = px(200, 200, 100, 50);
  EXPECT_EQ(blendOne(d, s, 1, 0), d);
  EXPECT_EQ(blendOne(d, s, 1, 256), blendOne(d, s, 1, 1000));
  EXPECT_EQ(blendOne(d, s, 1, -1), blendOne(d, s, 1, 256));
  EXPECT_EQ(blendOne(d, px(1, 255, 255, 255), 1, 255), d);  // 255 x 1 <= 255: skipped
  EXPECT_EQ(blendOne(d, s, 1, 128), blendOne(d, px(100, 200, 100, 50), 1, 256));
  EXPECT_EQ(blendOne(d, s, 0, 128), px(100, 200, 100, 50));
}

TEST(Composite, XorTwiceRestoresAndVisibleCopy) {
  Image* dst = makeImage(8, 8, 32, [](int x, int y) { return noise(x + 8 * y); });
  Image* src = makeImage(5, 5, 32, [](int x, int y) { return (x == y ? 0u : 0xFF000000u) | (noise(x * y + 99) & 0xFFFFFF); });
  Image* orig = copyImage(dst);
  EXPECT_EQ(compositeImage(dst, src, 2, 2, 3, 0), 1);
  EXPECT_FALSE(samePixels(dst, orig));
  EXPECT_EQ(compositeImage(dst, src, 2, 2, 3, 0), 1);
  EXPECT_TRUE(samePixels(dst, orig));
  EXPECT_EQ(compositeImage(dst, src, 1, -1, -1, 0), 1);
  EXPECT_EQ(dst->pixels[0], orig->pixels[0]);             // source (1,1) is transparent
  EXPECT_EQ(dst->pixels[1], src->pixels[1 * 5 + 2]);
  freeImage(dst);
  freeImage(src);
  freeImage(orig);
}

TEST(Composite, ExpandGrowsTheCanvas) {
  Image* dst = makeImage(20, 20, 24, [](int, int) { return 0xFF112233u; });
  Image* src = makeImage(15, 15, 32, [](int, int) { return 0xFF445566u; });
  Image* keep = dst;
  EXPECT_EQ(compositeImage(dst, src, 0, -10, -10, 1), 1);
  EXPECT_NE(dst, keep);
  EXPECT_EQ(dst->width, 30);
  EXPECT_EQ(dst->height, 30);
  EXPECT_EQ(dst->depth, 32);
  EXPECT_EQ(dst->pixels[0], 0xFF445566u);
  EXPECT_EQ(dst->pixels[14 * 30 + 14], 0xFF445566u);
  EXPECT_EQ(dst->pixels[5 * 30 + 25], 0u);
  EXPECT_EQ(dst->pixels[15 * 30 + 15], 0xFF112233u);
  EXPECT_EQ(dst->pixels[29 * 30 + 29], 0xFF112233u);
  Image* b = makeImage(4, 4, 24, [](int, int) { return 0xFF000000u; });
  EXPECT_EQ(blendImage(b, src, 2, 2, 2, 256, 1), 1);  // blendImage keeps the destination's depth
  EXPECT_EQ(b->width, 17);
  EXPECT_EQ(b->depth, 24);
  freeImage(dst);
  freeImage(src);
  freeImage(b);
}

TEST(Masks, SameSizeKindsAndSideBySide) {
  Image* dst = makeImage(2, 1, 24, [](int, int) { return 0x80102030u; });
  Image* mask = makeImage(2, 1, 32, [](int, int) { return 0x40000090u; });
  const uint32_t want[8] = {0x90, 0x6F, 0x40, 0xBF, 0x80 * 0x90 / 255, 0x80 * 0x6F / 255, 0x80 * 0x40 / 255, 0x80 * 0xBF / 255};
  for (int kind = 0; kind < 8; ++kind) {
    for (int i = 0; i < 2; ++i) dst->pixels[i] = 0x80102030u;
    EXPECT_EQ(maskToAlpha(dst, mask, kind, 1, 0), 1);
    EXPECT_EQ(dst->pixels[0], 0x80102030u);
    EXPECT_EQ(dst->pixels[1], want[kind] << 24 | 0x102030u) << kind;
    EXPECT_EQ(dst->depth, 32);
  }
  Image* pair = makeImage(4, 2, 24, [](int x, int y) { return x < 2 ? 0xFF0000AAu : uint32_t(x * 10 + y); });
  EXPECT_EQ(maskToAlphaSideBySide(pair, 0, 1, 0), 1);
  EXPECT_EQ(pair->width, 2);
  EXPECT_EQ(pair->depth, 32);
  EXPECT_EQ(pair->pixels[0], 0xFF0000AAu);
  EXPECT_EQ(pair->pixels[1], uint32_t(20) << 24 | 0xAA);
  EXPECT_EQ(pair->pixels[3], uint32_t(21) << 24 | 0xAA);
  std::string out = printed([&] { EXPECT_EQ(maskToAlphaSideBySide(pair, 0, 1, 0), 0); });
  EXPECT_EQ(out, sjis("-M2A: 座標の指定が不正です\n"));
  freeImage(dst);
  freeImage(mask);
  freeImage(pair);
}

TEST(CrossFade, VectorPathEqualsScalarAndFormula) {
  const int n = 4099;
  Image* p = makeImage(n, 1, 32, [](int x, int) { return x % 3 ? noise(x) | 0xFE000000u : noise(x); });
  Image* q = makeImage(n, 1, 32, [](int x, int) { return x % 5 ? noise(x * 7) | 0xFF000000u : noise(x * 7); });
  q->pixels[10] = p->pixels[10];
  Image* a = createImage(n, 1, 32);
  Image* b = createImage(n, 1, 32);
  for (int f : {0, 1, 77, 128, 255, 256}) {
    selectRoutines({true, false, false, false});
    blendTwoImages(a, p->pixels, q->pixels, f);
    selectRoutines({true, true, false, false});
    blendTwoImages(b, p->pixels, q->pixels, f);
    ASSERT_TRUE(samePixels(a, b)) << f;
  }
  selectRoutines({true, false, false, false});
  blendTwoImages(a, p->pixels, q->pixels, 100);
  uint32_t P = 0xFF204060u, Q = 0xFF604020u;
  p->pixels[0] = P, q->pixels[0] = Q;
  blendTwoImages(a, p->pixels, q->pixels, 100);
  int ns = 100 * 255 >> 8;
  EXPECT_EQ(a->pixels[0], px(255, 0x20 + (0x60 - 0x20) * ns / 256, 0x40, 0x60 + (0x20 - 0x60) * ns / 256));
  EXPECT_EQ(a->pixels[10], p->pixels[10]);
  freeImage(p), freeImage(q), freeImage(a), freeImage(b);
}

TEST(ColourOps, DurtyTransparency) {
  Image* im = makeImage(3, 3, 32, [](int, int) { return 0xFF123456u; });
  EXPECT_EQ(DurtyTransparency(im, 5), 1);
  EXPECT_EQ(im->depth, 24);
  freeImage(im);
  // Centre hidden; its right neighbour red, the one below blue.
  im = makeImage(3, 3, 32, [](int x, int y) {
    if (x == 1 && y == 2) return 0xFF0000FFu;
    if (x == 2 && y == 1) return 0xFFFF0000u;
    return 0x00ABCDEFu;
  });
  Image* far = copyImage(im);
  EXPECT_EQ(DurtyTransparency(im, -1), 1);
  EXPECT_EQ(im->pixels[4], 0x000000FFu);  // below wins, alpha stays 0
  EXPECT_EQ(im->pixels[0], 0u);           // no coloured neighbour
  EXPECT_EQ(im->pixels[2], 0x00FF0000u);
  EXPECT_EQ(DurtyTransparency(far, 1), 1);
  EXPECT_EQ(far->pixels[4], 0x00ABCDEFu);  // near a visible pixel: kept
  EXPECT_EQ(far->pixels[0], 0u);
  freeImage(im);
  freeImage(far);
}

TEST(ColourOps, TablesAndPixelFormulas) {
  Image* im = makeImage(4, 1, 32, [](int x, int) { return x == 3 ? 0x80FFFFFFu : 0x7F102030u; });
  EXPECT_EQ(color2colorImage(im, 0, 0x01000001u, 1), 1);
  EXPECT_EQ(im->pixels[1], 0x01000001u);
  EXPECT_EQ(im->pixels[3], 0x80FFFFFFu);
  EXPECT_EQ(im->depth, 32);
  EXPECT_EQ(negaposiImage(im), 1);
  EXPECT_EQ(im->pixels[3], 0x80000000u);
  freeImage(im);
  im = makeImage(2, 1, 24, [](int x, int) { return x ? 0x11FFFFFFu : 0xFF804020u; });
  EXPECT_EQ(hslImage(im, 0, 0, 0), 1);
  EXPECT_EQ(im->pixels[1], 0x11FEFEFEu);
  EXPECT_EQ(hslImage(im, 30, -100, 0), 1);
  uint32_t g = im->pixels[0];
  EXPECT_EQ(g & 0xFF, (g >> 8) & 0xFF);
  EXPECT_EQ(g & 0xFF, (g >> 16) & 0xFF);
  uint32_t before = im->pixels[0];
  EXPECT_EQ(colImage(im, 2, 0x00FFFFFFu), 1);
  EXPECT_EQ(im->pixels[0], before);
  EXPECT_EQ(colImage(im, 2, 0x80102030u), 1);
  int j = int(before & 255);
  EXPECT_EQ(im->pixels[0] & 255, uint32_t(((std::min(j + 0x30, 255) * 128 + j * 127 + 1) * 257) >> 16));
  freeImage(im);
  im = makeImage(1, 1, 24, [](int, int) { return 0xFF0080FFu; });
  EXPECT_EQ(bcImage(im, 10, 50), 1);
  EXPECT_EQ(im->pixels[0], 0xFF008AFFu);  // 1.5 x (v - 128) + 138, clamped
  EXPECT_EQ(grayscalImage(im), 1);
  EXPECT_EQ(im->pixels[0], 0xFF000000u | uint32_t(int(0x8A * 0.586611 + 0xFF * 0.114477 + 0.5)) * 0x010101u);
  freeImage(im);
}

TEST(Filters, BlurAndMosaic) {
  Image* im = makeImage(9, 7, 24, [](int x, int y) { return noise(x + 9 * y); });
  Image* orig = copyImage(im);
  EXPECT_EQ(blurImage(im, 0, 0), 1);
  EXPECT_TRUE(samePixels(im, orig));
  EXPECT_EQ(mosaicImage(im, 0, 4), 1);
  EXPECT_EQ(mosaicImage(im, 4, -1), 1);
  EXPECT_TRUE(samePixels(im, orig));
  EXPECT_EQ(blurImage(im, 1, 1), 1);
  int sum = 0;  // corner: 2 x 2 window
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 2; ++x) sum += int(orig->pixels[y * 9 + x] & 255);
  EXPECT_EQ(im->pixels[0] & 255, uint32_t(((sum + 2) * (65536 / 4)) >> 16));
  freeImage(im);
  im = copyImage(orig);
  EXPECT_EQ(mosaicImage(im, 4, 4), 1);
  EXPECT_EQ(im->pixels[4 * 9 + 8], im->pixels[6 * 9 + 8]);  // last clipped block is 1 x 3
  EXPECT_NE(im->pixels[8], im->pixels[7]);
  freeImage(im);
  freeImage(orig);
}

TEST(OpsMessages, NullImagesAndBadPlacement) {
  struct Case {
    std::function<int()> call;
    const char* message;
  };
  Image* none = nullptr;
  Image* one = createImage(2, 2, 32);
  const Case cases[] = {
      {[] { return DurtyTransparency(nullptr, 0); }, "-DTP: 画像データを読み込めませんでした\n"},
      {[] { return color2colorImage(nullptr, 0, 0, 0); }, "-C2C: 画像データを読み込めませんでした\n"},
      {[] { return negaposiImage(nullptr); }, "-REV: 画像データを読み込めませんでした\n"},
      {[] { return grayscalImage(nullptr); }, "-GRY: 画像データを読み込めませんでした\n"},
      {[] { return bcImage(nullptr, 0, 0); }, "-BC: 画像データを読み込めませんでした\n"},
      {[] { return colorImage(nullptr, 0, 0, 0); }, "-RGB: 画像データを読み込めませんでした\n"},
      {[] { return hslImage(nullptr, 0, 0, 0); }, "-HLB: 画像データを読み込めませんでした\n"},
      {[] { return blurImage(nullptr, 1, 1); }, "-BLR: 画像データを読み込めませんでした\n"},
      {[] { return mosaicImage(nullptr, 1, 1); }, "-BLR: 画像データを読み込めませんでした\n"},
      {[&] { return compositeImage(none, one, 0, 0, 0, 0); }, "-CMP: 画像データが読み込まれてません\n"},
      {[&] { return compositeImage(one, one, 1, 2, 0, 0); }, "-CMP: 座標の指定が不正です\n"},
      {[&] { return compositeImage(none, one, 4, 0, 0, 0); }, "-BLD: 画像データが読み込まれてません\n"},
      {[&] { return blendImage(one, none, 3, 0, 0, 256, 0); }, "-BLD: 画像データが読み込まれてません\n"},
      {[&] { return blendImage(one, one, 3, 0, -2, 256, 1); }, "-BLD: 座標の指定が不正です\n"},
      {[&] { return blendTwoImages(one, nullptr, one->pixels, 9); }, "-BLD: 画像データが読み込まれてません\n"},
      {[&] { return maskToAlpha(one, nullptr, 0, 0, 0); }, "-M2A: 画像データが読み込まれてません\n"},
      {[&] { return maskToAlpha(one, one, 0, -2, 0); }, "-M2A: 座標の指定が不正です\n"},
      {[&] { return maskToAlphaSideBySide(none, 0, 0, 0); }, "-M2A: 画像データを読み込めませんでした\n"},
  };
  for (const Case& c : cases) {
    int result = 1;
    std::string out = printed([&] { result = c.call(); });
    EXPECT_EQ(result, 0) << c.message;
    EXPECT_EQ(out, sjis(c.message));
  }
  freeImage(one);
}

}  // namespace
}  // namespace velmora::image::test
