// The scaling filters: their kernels as CPU functions that follow the
// shaders' arithmetic, each filter's picture at 2x against them, the plain
// quad at 1x and the notice when a filter cannot run.
#include <epoxy/gl.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <string>

#include "base/textconv.h"
#include "render/internal.h"
#include "render/transition.h"
#include "scene.h"
#include "support/pictures.h"

namespace velmora::render::test {
namespace {

using K = SettingKey;

constexpr int kW = 32, kH = 24;
constexpr float kPi = 3.14159265f;

// Weights of the taps left of, at and right of the sample along one axis,
// with f the fraction past the texel centre on the left.
struct Kernel {
  int first;                     // offset of the first tap from the left texel
  std::array<float, 4> weights;  // unused taps are 0
  bool normalise;
};

float sinc(float d) {
  const float x = std::max(kPi * d, 0.00392f);
  return std::sin(x) / x;
}

Kernel sharp(float f, float s) {
  const float g = std::clamp((f - 0.5f) * s + 0.5f, 0.0f, 1.0f);
  return {0, {1 - g, g, 0, 0}, false};
}
Kernel lanczos1(float f) {
  const float a = sinc(f), b = sinc(1 - f);
  return {0, {a * a, b * b, 0, 0}, true};
}
// c2 f^2 + c3 f + c4 with c2 = (1, -1, 0), c3 = (-1, 0, 1), c4 = (0, 1, 0).
Kernel quad(float f) { return {-1, {f * f - f, 1 - f * f, f, 0}, false}; }
// c2 f^3 + c3 f^2 + c4 f + c5, the cubic convolution with a = -1.
Kernel cubic(float f) {
  const float f2 = f * f, f3 = f2 * f;
  return {-1, {-f3 + 2 * f2 - f, f3 - 2 * f2 + 1, -f3 + f2 + f, f3 - f2}, false};
}
Kernel lanczos2(float f) {
  auto w = [](float d) { return sinc(d) * sinc(d * 0.5f); };
  return {-1, {w(1 + f), w(f), w(1 - f), w(2 - f)}, true};
}

TEST(FilterWeights, TheQuotedValues) {
  const Kernel c0 = cubic(0), c5 = cubic(0.5f), q5 = quad(0.5f);
  EXPECT_EQ(c0.weights, (std::array<float, 4>{0, 1, 0, 0}));
  EXPECT_EQ(c5.weights, (std::array<float, 4>{-0.125f, 0.625f, 0.625f, -0.125f}));
  EXPECT_EQ(q5.weights, (std::array<float, 4>{-0.25f, 0.75f, 0.5f, 0}));
  // s = max(1, (destination / W - 1) * 0.5 + 1) at 2x, and plain bilinear at s = 1.
  const float s = std::max(1.0f, (64.0f / 32.0f - 1.0f) * 0.5f + 1.0f);
  EXPECT_EQ(s, 1.5f);
  EXPECT_FLOAT_EQ(sharp(0.25f, s).weights[1], 0.125f);
  EXPECT_FLOAT_EQ(sharp(0.25f, 1).weights[1], 0.25f);
  EXPECT_NEAR(lanczos1(0).weights[0] / (lanczos1(0).weights[0] + lanczos1(0).weights[1]), 1.0f, 1e-4f);
}

Picture source() {
  return makePicture(kW, kH, [](int x, int y) {
    const bool check = ((x / 3) + (y / 2)) % 2 == 0;
    const uint32_t r = check ? 230u : static_cast<uint32_t>(x * 7), g = static_cast<uint32_t>(y * 10);
    const uint32_t b = (x * y) % 3 == 0 ? 20u : 200u;
    return 0xFF000000u | r << 16 | g << 8 | b;
  });
}

// The picture at 2x: the sample position of each output pixel centre in
// texels, taps clamped at the edges, rounded to bytes.
Picture reference(int value) {
  const Picture src = source();
  const int ow = kW * 2, oh = kH * 2;
  auto kernel = [&](float f) {
    switch (value) {
      case 3: return sharp(f, 1.5f);
      case 4: return lanczos1(f);
      case 5: return quad(f);
      case 6: return cubic(f);
      default: return lanczos2(f);
    }
  };
  return makePicture(ow, oh, [&](int ox, int oy) {
    const float px = (static_cast<float>(ox) + 0.5f) * kW / ow - 0.5f, py = (static_cast<float>(oy) + 0.5f) * kH / oh - 0.5f;
    const int bx = static_cast<int>(std::floor(px)), by = static_cast<int>(std::floor(py));
    const Kernel kx = kernel(px - static_cast<float>(bx)), ky = kernel(py - static_cast<float>(by));
    float sum[3] = {0, 0, 0}, wsum = 0;
    for (int j = 0; j < 4; ++j)
      for (int i = 0; i < 4; ++i) {
        const float w = kx.weights[static_cast<size_t>(i)] * ky.weights[static_cast<size_t>(j)];
        if (w == 0) continue;
        const int sx = std::clamp(bx + kx.first + i, 0, kW - 1), sy = std::clamp(by + ky.first + j, 0, kH - 1);
        const uint32_t p = src.at(sx, sy);
        for (int c = 0; c < 3; ++c) sum[c] += w * static_cast<float>(channelOf(p, 16 - 8 * c));
        wsum += w;
      }
    if (!kx.normalise) wsum = 1;
    uint32_t out = 0xFF000000u;
    for (int c = 0; c < 3; ++c)
      out |= static_cast<uint32_t>(std::clamp(std::lround(sum[c] / wsum), 0L, 255L)) << (16 - 8 * c);
    return out;
  });
}

// What the present step drew into the back buffer over the present quad.
image::Image* presented() {
  const DeviceState& d = device();
  const Rect& q = d.present.quad;
  image::Image* out = image::createImage(q.width(), q.height(), 24);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, d.backBuffer);
  glReadPixels(q.left, q.top, q.width(), q.height(), GL_BGRA, GL_UNSIGNED_BYTE, out->pixels);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
  return out;
}

class Filter : public Scene, public ::testing::WithParamInterface<int> {
 protected:
  void showSource(int windowWidth) {
    savePicture("src.png", source());
    setting(K::Interpolation) = GetParam();
    setting(K::WindowWidth) = windowWidth;
    setting(K::WindowHeight) = windowWidth * kH / kW;
    screen(kW, kH);
    run("sp", "900,\"src.png\",0,1");
    image::Image* shown = frame();
    image::freeImage(shown);
  }
};

TEST_P(Filter, TwiceTheSizeMatchesTheKernel) {
  showSource(kW * 2);
  ASSERT_TRUE(device().present.filtered);
  ASSERT_EQ(device().present.quad.width(), kW * 2);
  image::Image* img = presented();
  const Difference d = compare(reference(GetParam()), img);
  EXPECT_LE(d.worst, 2) << "Interpolation " << GetParam() << " at " << d.x << "," << d.y;
  image::freeImage(img);
}

TEST_P(Filter, TheSameWidthTakesThePlainQuad) {
  showSource(kW);
  EXPECT_FALSE(device().present.filtered);
  image::Image* img = presented();
  EXPECT_EQ(compare(source(), img).worst, 0);
  image::freeImage(img);
}

INSTANTIATE_TEST_SUITE_P(EveryShaderFilter, Filter, ::testing::Range(3, 8));

// Stored pictures of every sampling filter at 2x, so that a change in any
// shader, its constants or the present geometry shows up even where the CPU
// kernels above would change with it. VELMORA_UPDATE_GOLDEN=1 rewrites them.
class FilterGolden : public Filter {};

TEST_P(FilterGolden, TwiceTheSizeMatchesItsGoldenPicture) {
  static const char* const kNames[] = {"Driver",        "NearestNeighbor", "BiLinear", "BiLinearSharp",
                                       "Lanczos1",      "BiQuad",          "BiCubic",  "Lanczos2"};
  static_assert(std::size(kNames) == 8, "one name per Interpolation value");
  const std::string name = kNames[GetParam()];
  showSource(kW * 2);
  ASSERT_EQ(device().present.quad.width(), kW * 2);
  image::Image* img = presented();
  const std::string shot = (dir_.path() / (name + ".png")).string();
  ASSERT_EQ(image::saveImage(shot.c_str(), img, image::kSavePng, 24, 6, 0), 1);
  image::freeImage(img);
  const std::string golden = std::string(VELMORA_SOURCE_DIR) + "/tests/render/golden/filter-" + name + ".png";
  if (std::getenv("VELMORA_UPDATE_GOLDEN")) std::filesystem::copy_file(shot, golden, std::filesystem::copy_options::overwrite_existing);
  const std::string diff = std::string(VELMORA_BINARY_DIR) + "/filter-" + name + "-diff.png";
  EXPECT_EQ(velmora::test::comparePictures(golden, shot, 2, 0, diff), "") << name;
}

INSTANTIATE_TEST_SUITE_P(EverySamplingFilter, FilterGolden, ::testing::Range(1, 8));

TEST_F(Scene, AFilterWithoutPixelShadersFallsBackWithANotice) {
  setting(K::PixelShader) = 0;
  setting(K::Interpolation) = 5;
  screen(kW, kH);
  EXPECT_EQ(setting(K::Interpolation), 2);
  EXPECT_NE(velmora::test::readFile(logFilePath())
                .find(sj("画面拡大縮小補間の BiQuad は未対応の環境です、他の設定で起動します。\n"
                         "(このエラーはゲームの動作には影響ありません)")),
            std::string::npos);
}

}  // namespace
}  // namespace velmora::render::test
