// Cut, trim, flips, rotation and resizing, the banded path against the scalar one.
#include <cmath>

#include "helpers.h"
#include "image/routines.h"

namespace velmora::image::test {
namespace {

Image* numbered(int w, int h) {
  return makeImage(w, h, 32, [w](int x, int y) { return 0xFF000000u | uint32_t(y * w + x + 1); });
}

TEST(Cut, OutsideIsZeroAndHeaderTellsWhere) {
  Image* src = numbered(8, 8);
  Image* dst = nullptr;
  ASSERT_EQ(clippingImage(dst, src, -5, -5, 10, 10), 1);
  EXPECT_EQ(dst->left, -5);
  EXPECT_EQ(dst->top, -5);
  EXPECT_EQ(dst->pixels[4 * 10 + 4], 0u);
  EXPECT_EQ(dst->pixels[5 * 10 + 5], src->pixels[0]);
  EXPECT_EQ(dst->pixels[9 * 10 + 9], src->pixels[4 * 8 + 4]);
  ASSERT_EQ(clippingImage(dst, src, 100, 100, 3, 3), 1);  // releases the previous result
  for (int i = 0; i < 9; ++i) EXPECT_EQ(dst->pixels[i], 0u);
  src->mode = 6;
  ASSERT_EQ(clippingImage2(src, 2, 3, 2, 2), 1);
  EXPECT_EQ(src->pixels[0], 0xFF000000u | (3 * 8 + 2 + 1));
  EXPECT_EQ(src->mode, 6u);
  Image* im = numbered(4, 4);
  ASSERT_EQ(eraseImage(im, 3, -1, 5, 2), 1);
  EXPECT_EQ(im->pixels[3], 0u);
  EXPECT_EQ(im->pixels[4 + 3], 0xFF000000u | 8);
  freeImage(im), freeImage(dst), freeImage(src);
}

TEST(Trim, SidesSymmetryAndEmpty) {
  // Visible box x 2..5, y 1..2 in a 10 x 6 picture.
  Image* src = makeImage(10, 6, 32, [](int x, int y) { return (x >= 2 && x <= 5 && y >= 1 && y <= 2) ? 0xFF000000u : 0x10000000u; });
  Image* dst = nullptr;
  ASSERT_EQ(trimmingImage(dst, src, 15, 0, 0x10), 1);
  EXPECT_EQ(dst->width, 4);
  EXPECT_EQ(dst->height, 2);
  EXPECT_EQ(dst->left, 2);
  EXPECT_EQ(dst->top, 1);
  ASSERT_EQ(trimmingImage(dst, src, 15, 3, 0x10), 1);
  EXPECT_EQ(dst->left, 2);   // min(2, 10 - 6)
  EXPECT_EQ(dst->width, 6);
  EXPECT_EQ(dst->top, 1);    // min(1, 6 - 3)
  EXPECT_EQ(dst->height, 4);
  ASSERT_EQ(trimmingImage(dst, src, 4, 0, 0x10), 1);
  EXPECT_EQ(dst->width, 8);
  EXPECT_EQ(dst->height, 6);
  ASSERT_EQ(trimmingImage(dst, src, 15, 0, 0xFF), 1);
  EXPECT_EQ(dst->width, 1);
  EXPECT_EQ(dst->height, 1);
  freeImage(dst), freeImage(src);
}

TEST(Flip, NamesFollowTheEngine) {
  Image* src = numbered(3, 2);
  Image* dst = nullptr;
  ASSERT_EQ(flipHorizontalImage(dst, src), 1);  // upside down
  EXPECT_EQ(dst->pixels[0], src->pixels[3]);
  ASSERT_EQ(flipVerticalImage(dst, src), 1);    // mirrored
  EXPECT_EQ(dst->pixels[0], src->pixels[2]);
  ASSERT_EQ(flipVerticalImage2(dst), 1);
  EXPECT_TRUE(samePixels(dst, src));
  freeImage(dst), freeImage(src);
}

TEST(Rotate, QuarterTurnsCopyAndScale) {
  Image* src = numbered(3, 2);  // 1 2 3 / 4 5 6
  Image* dst = nullptr;
  ASSERT_EQ(rotateImage(dst, src, 90, 0, 0), 1);
  ASSERT_EQ(dst->width, 2);
  EXPECT_EQ(dst->pixels[0] & 0xFF, 4u);  // clockwise: 4 1 / 5 2 / 6 3
  EXPECT_EQ(dst->pixels[1] & 0xFF, 1u);
  EXPECT_EQ(dst->pixels[5] & 0xFF, 3u);
  Image* ccw = nullptr;
  ASSERT_EQ(rotateImage(ccw, src, -90, 0, 0), 1);  // 3 6 / 2 5 / 1 4
  EXPECT_EQ(ccw->pixels[0] & 0xFF, 3u);
  EXPECT_EQ(ccw->pixels[5] & 0xFF, 4u);
  Image* half = nullptr;
  ASSERT_EQ(rotateImage(half, src, 180, 0, 0), 1);
  EXPECT_EQ(half->pixels[0] & 0xFF, 6u);
  Image* same = nullptr;
  ASSERT_EQ(rotateImage(same, src, 360, 2, 0), 1);
  EXPECT_TRUE(samePixels(same, src));
  Image* big = numbered(40, 20);
  Image* scaled = nullptr;
  ASSERT_EQ(rotateImage(scaled, big, 90, 0.5, 0), 1);
  EXPECT_EQ(scaled->width, 10);
  EXPECT_EQ(scaled->height, 20);
  Image* general = nullptr;
  ASSERT_EQ(rotateImage(general, big, 90.5, 0, 0), 1);
  EXPECT_EQ(general->width, int(std::fabs(20 * std::sin(-90.5 * 3.1415927 / 180)) + std::fabs(40 * std::cos(-90.5 * 3.1415927 / 180)) + 0.5));
  for (Image* p : {dst, ccw, half, same, big, scaled, general, src}) freeImage(p);
}

TEST(Rotate, GeneralNearestHandWorked) {
  // 45 degrees of a 2 x 2: output 3 x 3 ((2 + 2) x 0.7071 + 0.5), centre at (1, 1) samples source (1, 1).
  Image* src = numbered(2, 2);
  Image* dst = nullptr;
  ASSERT_EQ(rotateImage(dst, src, 45, 0, 0), 1);
  ASSERT_EQ(dst->width, 3);
  ASSERT_EQ(dst->height, 3);
  EXPECT_EQ(dst->pixels[4], src->pixels[3]);
  EXPECT_EQ(dst->pixels[0], 0u);  // a corner falls outside
  freeImage(dst), freeImage(src);
}

TEST(Rotate, BandedBilinearStaysCloseToScalar) {
  Image* src = makeImage(61, 47, 32, [](int x, int y) { return uint32_t(x * 4) | uint32_t(y * 5) << 8 | uint32_t(x + y) << 16 | 0xFF000000u; });
  Image* a = nullptr;
  Image* b = nullptr;
  selectRoutines({true, false, false, false});
  ASSERT_EQ(rotateImage(a, src, 30, 0, 1), 1);
  selectRoutines({true, false, true, false});
  setWorkerThreads(3);
  ASSERT_EQ(rotateImage(b, src, 30, 0, 1), 1);
  ASSERT_EQ(a->width, b->width);
  int worst = 0, inner = 0;
  for (int i = 0; i < a->count; ++i)
    for (int c = 0; c < 4; ++c) {
      int d = std::abs(int(a->pixels[i] >> (8 * c) & 255) - int(b->pixels[i] >> (8 * c) & 255));
      worst = std::max(worst, d);
      inner += (a->pixels[i] >> 24) == 255 && (b->pixels[i] >> 24) == 255 && d > 3;
    }
  EXPECT_EQ(inner, 0);
  Image* c = nullptr;
  setWorkerThreads(1);
  ASSERT_EQ(rotateImage(c, src, 30, 0, 1), 1);
  EXPECT_TRUE(samePixels(b, c));  // the bands do not change the result
  selectRoutines({true, false, false, false});
  for (Image* p : {a, b, c, src}) freeImage(p);
}

TEST(Resize, UnitsAndSizes) {
  Image* src = numbered(100, 50);
  Image* dst = nullptr;
  ASSERT_EQ(resizeImage(dst, src, 50, 0, 0, 0, 0), 1);
  EXPECT_EQ(dst->width, 50);
  EXPECT_EQ(dst->height, 25);
  freeImage(dst);
  ASSERT_EQ(resizeImage(dst, src, 320, 0, 1, 1, 1), 1);
  EXPECT_EQ(dst->width, 320);
  EXPECT_EQ(dst->height, 160);
  freeImage(dst);
  ASSERT_EQ(resizeImage(dst, src, 0.4, 2, 0, 0, 0), 1);
  EXPECT_EQ(dst->width, 1);
  EXPECT_EQ(dst->height, 1);
  freeImage(dst);
  ASSERT_EQ(resizeImage(dst, src, 1.5, 0, 2, 0, 0), 1);
  EXPECT_EQ(dst->width, 150);
  EXPECT_EQ(dst->height, 75);
  freeImage(dst);
  std::string out = printed([&] { EXPECT_EQ(resizeImage(dst, src, 0.5, 0.5, 2, 0, 0), 0); });
  EXPECT_EQ(out, sjis("-RES: 幅値の設定が無効です\n"));
  out = printed([&] { EXPECT_EQ(resizeImage(dst, nullptr, 5, 5, 1, 0, 0), 0); });
  EXPECT_EQ(out, sjis("-RES: 画像データを読み込めませんでした\n"));
  freeImage(src);
}

TEST(Resize, HandWorkedFilters) {
  Image* src = makeImage(4, 1, 24, [](int x, int) { return 0xFF000000u | uint32_t(x * 60); });  // 0 60 120 180
  Image* dst = nullptr;
  ASSERT_EQ(resizeImage(dst, src, 2, 1, 1, 2, 0), 1);  // area: pairs
  EXPECT_EQ(dst->pixels[0] & 255, 30u);
  EXPECT_EQ(dst->pixels[1] & 255, 150u);
  freeImage(dst);
  ASSERT_EQ(resizeImage(dst, src, 3, 1, 1, 2, 0), 1);  // a = 4, b = 3
  EXPECT_EQ(dst->pixels[0] & 255, uint32_t((0 * 3 + 60 * 1) / 4));
  EXPECT_EQ(dst->pixels[1] & 255, uint32_t((60 * 2 + 120 * 2) / 4));
  freeImage(dst);
  ASSERT_EQ(resizeImage(dst, src, 2, 1, 1, 0, 0), 1);  // nearest: columns 0 and 2
  EXPECT_EQ(dst->pixels[1] & 255, 120u);
  freeImage(dst);
  selectRoutines({true, false, false, false});
  ASSERT_EQ(resizeImage(dst, src, 8, 1, 1, 1, 1), 1);  // start = -4/8/2 of a pixel, step 0.5
  EXPECT_EQ(dst->pixels[0] & 255, 0u);
  EXPECT_EQ(dst->pixels[1] & 255, 15u);
  EXPECT_EQ(dst->pixels[7] & 255, 180u);  // past the last pair: the last column whole
  freeImage(dst);
  Image* column = makeImage(1, 3, 32, [](int, int y) { return 0x80000000u | uint32_t(y * 90); });
  ASSERT_EQ(resizeImage(dst, column, 4, 3, 1, 1, 1), 1);
  for (int y = 0; y < 3; ++y)
    for (int x = 1; x < 4; ++x) EXPECT_EQ(dst->pixels[y * 4 + x], dst->pixels[y * 4]);
  freeImage(dst), freeImage(column), freeImage(src);
}

TEST(Resize, BandedBilinearMatchesAcrossThreadCounts) {
  Image* src = makeImage(97, 61, 32, [](int x, int y) { return noise(x + y * 97); });
  Image* ref = nullptr;
  selectRoutines({true, false, false, false});
  ASSERT_EQ(resizeImage(ref, src, 41, 37, 1, 1, 1), 1);
  selectRoutines({true, false, true, false});
  Image* prev = nullptr;
  for (int n : {1, 2, 5, 16}) {
    setWorkerThreads(n);
    Image* out = nullptr;
    ASSERT_EQ(resizeImage(out, src, 41, 37, 1, 1, 1), 1);
    for (int i = 0; i < out->count; ++i)
      for (int c = 0; c < 4; ++c)
        ASSERT_LE(std::abs(int(out->pixels[i] >> (8 * c) & 255) - int(ref->pixels[i] >> (8 * c) & 255)), 3) << i;
    if (prev) {
      EXPECT_TRUE(samePixels(prev, out));
    }
    freeImage(prev);
    prev = out;
  }
  selectRoutines({true, false, false, false});
  freeImage(prev), freeImage(ref), freeImage(src);
}

TEST(GeometryMessages, NullAndBadSizes) {
  Image* none = nullptr;
  Image* one = createImage(2, 2, 32);
  struct Case {
    std::function<int()> call;
    const char* message;
  } cases[] = {
      {[&] { return clippingImage(none, nullptr, 0, 0, 1, 1); }, "-CUT: 画像データを読み込めませんでした\n"},
      {[&] { return clippingImage(none, one, 0, 0, 0, 7); }, "-CUT: サイズの指定が不正です 0,7\n"},
      {[&] { return eraseImage(nullptr, 0, 0, 1, 1); }, "-ERS: 画像データを読み込めませんでした\n"},
      {[&] { return eraseImage(one, 0, 0, 3, -1); }, "-ERS: サイズの指定が不正です 3,-1\n"},
      {[&] { return trimmingImage(none, nullptr, 15, 0, 0); }, "-TRM: 画像データを読み込めませんでした\n"},
      {[&] { return flipVerticalImage(none, nullptr); }, "-ROT: 画像データを読み込めませんでした\n"},
      {[&] { return rotateImage(none, nullptr, 90, 0, 0); }, "-ROT: 画像データを読み込めませんでした\n"},
  };
  for (const Case& c : cases) {
    int result = 1;
    std::string out = printed([&] { result = c.call(); });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(out, sjis(c.message));
  }
  freeImage(one);
}

TEST(Routines, VectorMathsAgreeWithTheLibrary) {
  selectRoutines({true, true, true, true});
  for (float x : {-7.0f, -1.0f, 0.0f, 0.3f, 1.5707964f, 2.5f, 100.0f}) {
    float s = 0, c = 0, v = x;
    sincos_simd(v, s, c);
    EXPECT_NEAR(s, std::sin(x), 1e-5f);
    EXPECT_NEAR(c, std::cos(x), 1e-5f);
    EXPECT_NEAR(sin_simd(v), std::sin(x), 1e-5f);
    float a = std::fabs(x) + 0.5f;
    EXPECT_NEAR(sqrt_simd(a), std::sqrt(a), 1e-5f * std::sqrt(a));
    EXPECT_NEAR(rsqrt_simd(a), 1 / std::sqrt(a), 1e-5f);
  }
  for (int y = -3; y <= 3; ++y)
    for (int x = -3; x <= 3; ++x)
      if (x || y) {
        EXPECT_NEAR(atan2_fast(y, x), std::atan2(float(y), float(x)), 0.005f);
      }
  char from[200], to[200] = {};
  for (int i = 0; i < 200; ++i) from[i] = char(i);
  memcpy_simd(to, from, 199);
  EXPECT_EQ(std::memcmp(to, from, 199), 0);
  EXPECT_EQ(to[199], 0);
  selectRoutines({true, false, false, false});
}

}  // namespace
}  // namespace velmora::image::test
