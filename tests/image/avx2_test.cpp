// The AVX2 kernels against the SSE2 ones: the same bytes for every width,
// every start alignment and the alpha and channel values at the edges.
#include <cstdlib>
#include <vector>

#include "helpers.h"
#include "image/blend_kernels.h"

namespace velmora::image::test {
namespace {

bool haveAvx2() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2");
}

#define REQUIRE_AVX2() \
  if (!haveAvx2()) GTEST_SKIP() << "the processor has no AVX2"

// Values where the arithmetic changes: zero, one, the opaque limits, halves.
constexpr uint8_t kEdges[] = {0, 1, 2, 127, 128, 129, 253, 254, 255};

// Pixels whose alphas and channels are mostly edge values, with runs of equal
// and of opaque pixels so that every branch of the wide paths is taken.
std::vector<uint32_t> pixels(size_t n, uint32_t seed) {
  std::vector<uint32_t> v(n);
  for (size_t i = 0; i < n; ++i) {
    uint32_t r = noise(uint32_t(i) * 2654435761u + seed);
    auto pick = [&](int shift) { return (r >> shift & 3) ? kEdges[(r >> (shift + 2)) % 9] : uint8_t(r >> (shift + 4)); };
    // Two blocks of eight in three are all nearly opaque: the wide cases.
    bool opaque = (i / 8 + seed) % 3 != 0;
    uint32_t a = !opaque ? pick(24) : (r & 0x100) ? 255 : 254;
    v[i] = a << 24 | uint32_t(pick(0)) << 16 | uint32_t(pick(8)) << 8 | pick(16);
  }
  return v;
}

// Runs a kernel on a copy of the input placed `offset` pixels past a 32-byte
// boundary, so every alignment of the wide loads and stores is met.
struct Placed {
  uint32_t* base;
  uint32_t* at;
  Placed(const std::vector<uint32_t>& v, int offset) {
    size_t bytes = ((v.size() + 8) * 4 + 31) & ~size_t(31);
    base = static_cast<uint32_t*>(std::aligned_alloc(32, bytes));
    at = base + offset;
    std::copy(v.begin(), v.end(), at);
  }
  ~Placed() { std::free(base); }
};

constexpr int kWidths[] = {0, 1, 3, 7, 8, 9, 15, 16, 17, 31, 33, 67};

TEST(Avx2Kernels, NormalRowMatchesSse2) {
  REQUIRE_AVX2();
  for (int opacity : {256, 255, 200, 128, 2, 1, 0})
    for (int n : kWidths)
      for (int offset = 0; offset < 8; ++offset) {
        std::vector<uint32_t> d = pixels(size_t(n), uint32_t(n * 8 + offset)), s = pixels(size_t(n), 77u + opacity);
        Placed dv(d, offset), dw(d, (offset + 3) & 7), sv(s, (offset + 5) & 7);
        kernels::normalRowSimd(dv.at, sv.at, n, opacity);
        kernels::normalRowAvx2(dw.at, sv.at, n, opacity);
        ASSERT_TRUE(std::equal(dv.at, dv.at + n, dw.at)) << "opacity " << opacity << " n " << n << " at " << offset;
      }
}

TEST(Avx2Kernels, EveryAlphaPair) {
  REQUIRE_AVX2();
  // Every pair of alphas with channels at 0 and 255 both ways round and at
  // random values, through the normal blend and the cross-fade.
  std::vector<uint32_t> d(65536), s(65536);
  for (uint32_t channels : {0x00FF00FFu, 0x0000FF00u, 0u}) {
    for (uint32_t i = 0; i < 65536; ++i) {
      uint32_t mix = channels ? channels : noise(i) & 0xFFFFFF;
      s[i] = (i >> 8) << 24 | mix;
      d[i] = (i & 255) << 24 | (~mix & 0xFFFFFF);
    }
    auto where = [](int i) { return ::testing::Message() << "alphas " << (i >> 8) << ", " << (i & 255); };
    for (int opacity : {256, 255, 100}) {
      std::vector<uint32_t> a = d, b = d;
      kernels::normalRowSimd(a.data(), s.data(), 65536, opacity);
      kernels::normalRowAvx2(b.data(), s.data(), 65536, opacity);
      for (int i = 0; i < 65536; ++i) ASSERT_EQ(a[i], b[i]) << where(i) << " opacity " << opacity;
    }
    for (int f : {0, 1, 128, 255, 256}) {
      std::vector<uint32_t> a(65536), b(65536);
      kernels::crossFadeSimd(a.data(), s.data(), d.data(), 65536, f);
      kernels::crossFadeAvx2(b.data(), s.data(), d.data(), 65536, f);
      for (int i = 0; i < 65536; ++i) ASSERT_EQ(a[i], b[i]) << where(i) << " fade " << f;
    }
  }
}

TEST(Avx2Kernels, CrossFadeMatchesSse2) {
  REQUIRE_AVX2();
  for (int a : {0, 1, 127, 128, 255, 256})
    for (int n : kWidths)
      for (int offset = 0; offset < 8; ++offset) {
        std::vector<uint32_t> p = pixels(size_t(n), uint32_t(a + n)), q = pixels(size_t(n), uint32_t(offset * 31 + n));
        // Some equal pairs, which both paths pass through unchanged.
        for (int i = 0; i < n; i += 5) q[size_t(i)] = p[size_t(i)];
        Placed pv(p, offset), qv(q, (offset + 1) & 7), o1(p, (offset + 2) & 7), o2(p, (offset + 6) & 7);
        kernels::crossFadeSimd(o1.at, pv.at, qv.at, n, a);
        kernels::crossFadeAvx2(o2.at, pv.at, qv.at, n, a);
        ASSERT_TRUE(std::equal(o1.at, o1.at + n, o2.at)) << "a " << a << " n " << n << " at " << offset;
      }
}

// The vector paths of the image functions with SSE2 on (AVX2 forms) and off
// (SSE2 forms) on the same input.
template <typename Run>
void bothPaths(Run run, Image*& sse2, Image*& avx2) {
  selectRoutines({true, true, true, false});
  ASSERT_FALSE(avx2Paths());
  run(sse2);
  selectRoutines({true, true, true, true});
  ASSERT_TRUE(avx2Paths());
  run(avx2);
  selectRoutines({true, false, false, false});
}

Image* edgePicture(int w, int h, uint32_t seed) {
  std::vector<uint32_t> v = pixels(size_t(w) * h, seed);
  return makeImage(w, h, 32, [&](int x, int y) { return v[size_t(y) * w + x]; });
}

TEST(Avx2Kernels, BilinearResizeMatchesSse2) {
  REQUIRE_AVX2();
  const int sizes[][2] = {{1, 1}, {1, 9}, {2, 2}, {5, 3}, {37, 23}, {64, 17}};
  for (auto [w, h] : sizes) {
    Image* src = edgePicture(w, h, uint32_t(w * 100 + h));
    for (int ow : {1, 2, 3, 4, 5, 7, 9, 13, 36, 38, 75, 129})
      for (int oh : {1, 4, 29}) {
        Image* a = nullptr;
        Image* b = nullptr;
        bothPaths([&](Image*& out) { ASSERT_EQ(resizeImage(out, src, ow, oh, 1, 1, 1), 1); }, a, b);
        EXPECT_TRUE(samePixels(a, b)) << w << "x" << h << " -> " << ow << "x" << oh;
        freeImage(a), freeImage(b);
      }
    freeImage(src);
  }
}

TEST(Avx2Kernels, BilinearRotationMatchesSse2) {
  REQUIRE_AVX2();
  const int sizes[][2] = {{1, 1}, {3, 2}, {17, 9}, {61, 47}};
  for (auto [w, h] : sizes) {
    Image* src = edgePicture(w, h, uint32_t(w + h * 7));
    for (double angle : {0.0, 0.5, 30.0, 45.0, 90.0, 133.0, 180.0, 271.0, -13.0})
      for (double scale : {0.0, 0.37, 1.0, 2.5}) {
        Image* a = nullptr;
        Image* b = nullptr;
        bothPaths([&](Image*& out) { ASSERT_EQ(rotateImage(out, src, angle, scale, 1), 1); }, a, b);
        EXPECT_TRUE(samePixels(a, b)) << w << "x" << h << " angle " << angle << " scale " << scale;
        freeImage(a), freeImage(b);
      }
    freeImage(src);
  }
}

TEST(Avx2Kernels, BlendFunctionsTakeTheWidePathOnlyWithSse2On) {
  REQUIRE_AVX2();
  Image* under = edgePicture(45, 13, 3);
  Image* over = edgePicture(45, 13, 4);
  Image* a = nullptr;
  Image* b = nullptr;
  bothPaths([&](Image*& out) {
    out = copyImage(under);
    ASSERT_EQ(blendImage(out, over, 1, 3, -2, 180, 0), 1);
    ASSERT_EQ(blendTwoImages(out, under->pixels, out->pixels, 77), 1);
  }, a, b);
  EXPECT_TRUE(samePixels(a, b));
  selectRoutines({true, true, false, true});
  EXPECT_TRUE(avx2Paths());  // the wide blends need only SSE2 on
  selectRoutines({true, true, true, true});
  EXPECT_TRUE(avx2Paths());
  selectRoutines({true, false, false, false});
  EXPECT_FALSE(avx2Paths());
  for (Image* p : {a, b, under, over}) freeImage(p);
}

}  // namespace
}  // namespace velmora::image::test
