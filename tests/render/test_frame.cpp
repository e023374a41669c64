#include <epoxy/gl.h>

#include <cstring>

#include "scene.h"

namespace velmora::render::test {
namespace {

using K = SettingKey;

constexpr int kW = 64, kH = 48;

Picture background() {
  return makePicture(kW, kH, [](int x, int y) {
    return 0xFF000000u | static_cast<uint32_t>(x * 4) << 16 | static_cast<uint32_t>(y * 5) << 8 | 0x40u;
  });
}

// Colours and alphas that exercise every row: half-transparent edges.
Picture overlay(int w, int h) {
  return makePicture(w, h, [](int x, int y) {
    const uint32_t a = static_cast<uint32_t>(64 + (x * 191) / 15);
    return a << 24 | static_cast<uint32_t>(255 - y * 20) << 16 | 0x80u << 8 | static_cast<uint32_t>(x * 16);
  });
}

class Frame : public Scene {
 protected:
  void withBackground() {
    savePicture("bg.png", background());
    screen(kW, kH);
    run("sp", "900,\"bg.png\",0,1");
    expected_ = background();
  }
  Picture expected_;
};

TEST_F(Frame, BackgroundFillsTheScreenTexelForPixel) {
  withBackground();
  image::Image* img = frame();
  Difference d = compare(expected_, img);
  EXPECT_EQ(d.worst, 0) << "at " << d.x << "," << d.y;
  image::freeImage(img);
}

TEST_F(Frame, EveryBlendRowMatchesTheReference) {
  withBackground();
  savePicture("ov.png", overlay(16, 12));
  run("sp", "5,\"ov.png\",0,1");
  run("sp_a", "5,200");
  for (int row = 0; row <= 8; ++row) {
    run("sp_b", "5," + std::to_string(row));
    image::Image* img = frame();
    Picture want = background();
    compose(want, overlay(16, 12), 32 - 8, 24 - 6, row, 200);
    Difference d = compare(want, img);
    EXPECT_LE(d.worst, 2) << "row " << row << " at " << d.x << "," << d.y;
    image::freeImage(img);
  }
}


// The text layer is painted by a stand-in that fills one rectangle.
void paintTextLayer() {
  glEnable(GL_SCISSOR_TEST);
  glScissor(0, 0, 16, 16);  // rows 0-15 of a top-down target
  glClearColor(1, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  glDisable(GL_SCISSOR_TEST);
}

Picture solid(int w, int h, uint32_t colour) {
  return makePicture(w, h, [colour](int, int) { return colour; });
}

TEST_F(Frame, DrawKeysAroundTheTextLayerAndTheWindowVisibleFlags) {
  withBackground();
  fakeRenderHook(&RenderHooks::drawTextLayer, paintTextLayer);
  savePicture("g.png", solid(8, 8, 0xFF00FF00));
  savePicture("b.png", solid(8, 8, 0xFF0000FF));
  run("sp", "7,\"g.png\",0,1");
  run("sp_xy", "7,4,4");  // inside the text rectangle
  run("sp", "8,\"b.png\",1,1");  // message-window layer
  run("sp_xy", "8,12,12");
  run("sp_o", "7,-1");
  image::Image* img = frame();
  EXPECT_EQ(img->pixels[2 * kW + 2] & 0xFFFFFF, 0x00FF00u);    // key -1017 lies over the text
  EXPECT_EQ(img->pixels[14 * kW + 14] & 0xFFFFFF, 0xFF0000u);  // key 8 lies behind it
  EXPECT_EQ(img->pixels[20 * kW + 30] & 0xFFFFFF, background().at(30, 20) & 0xFFFFFF);
  image::freeImage(img);

  run("sp_o", "7,0");
  setWindowVisibleFlags(1);  // window sprites without text
  img = frame();
  EXPECT_EQ(img->pixels[14 * kW + 14] & 0xFFFFFF, 0x0000FFu);
  EXPECT_EQ(img->pixels[2 * kW + 2] & 0xFFFFFF, 0x00FF00u);
  image::freeImage(img);
  setWindowVisibleFlags(2);  // text without window sprites
  img = frame();
  EXPECT_EQ(img->pixels[14 * kW + 14] & 0xFFFFFF, 0xFF0000u);
  EXPECT_EQ(img->pixels[9 * kW + 9] & 0xFFFFFF, 0xFF0000u);
  image::freeImage(img);
  setWindowVisibleFlags(3);
  fakeRenderHook(&RenderHooks::drawTextLayer, nullptr);
}

TEST_F(Frame, RenderTargetGroupDrawsItsMembersAtTheGroupsPlace) {
  withBackground();
  savePicture("ov.png", overlay(16, 12));
  run("spg", "10,32,24,0");
  run("sp_xy", "10,20,16");  // group's top-left at (4, 4)
  run("sp", "11,\"ov.png\",0,1");
  run("sp_g", "11,10");
  run("sp_xy", "11,8,6");  // member's top-left at (0, 0) of the group
  image::Image* img = frame();
  // The group target starts transparent: the member lands there by its own
  // alpha, and the group then lies on the screen with alpha blending.
  Picture group = makePicture(32, 24, [](int, int) { return 0u; });
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 16; ++x) {
      const uint32_t s = overlay(16, 12).at(x, y);
      const float a = static_cast<float>(channelOf(s, 24)) / 255.0f;
      uint32_t out = static_cast<uint32_t>(std::lround(a * a * 255.0f)) << 24;
      for (int sh = 0; sh <= 16; sh += 8)
        out |= static_cast<uint32_t>(std::lround(static_cast<float>(channelOf(s, sh)) * a)) << sh;
      group.at(x, y) = out;
    }
  Picture want = background();
  compose(want, group, 4, 4, 1);
  Difference d = compare(want, img);
  EXPECT_LE(d.worst, 3) << "at " << d.x << "," << d.y;
  image::freeImage(img);
}

// A target the device refuses is reported once and left out, not once a frame.
TEST_F(Frame, ARefusedRenderTargetIsReportedOnceAndLeftOut) {
  withBackground();
  run("spg", "10,32,24,0");
  run("sp_xy", "10,20,16");
  image::Image* made = frame();
  image::freeImage(made);
  GLint largest = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
  sprite::frontSlot(10)->imageWidth = largest + 1;  // as a device that cannot hold it
  std::filesystem::remove("Information.txt");
  for (int i = 0; i < 3; ++i) {
    image::Image* img = frame();
    EXPECT_EQ(compare(expected_, img).worst, 0);
    image::freeImage(img);
  }
  const std::string log = velmora::test::readFile("Information.txt");
  const size_t first = log.find("CreateTexture RenderTarget");
  EXPECT_NE(first, std::string::npos);
  EXPECT_EQ(log.find("CreateTexture RenderTarget", first + 1), std::string::npos);
}

TEST_F(Frame, FramesOfAStackedPictureAndTilesOfAWidePicture) {
  setting(K::MaxTextureSize) = 16;
  withBackground();
  Picture stacked = makePicture(8, 16, [](int, int y) { return y < 8 ? 0xFFFF0000u : 0xFF00FF00u; });
  savePicture("st.png", stacked);
  run("sp", "5,\"st.png\",0,2");
  run("sp_l", "5,1");
  run("sp_xy", "5,8,8");
  Picture wide = makePicture(40, 8, [](int x, int) { return 0xFF000000u | static_cast<uint32_t>(x * 6) << 16 | 0x30u; });
  savePicture("w.png", wide);
  run("sp", "6,\"w.png\",0,1");
  run("sp_xy", "6,32,40");
  image::Image* img = frame();
  EXPECT_EQ(sprite::frontSlot(6)->tileColumns, 3);
  Picture want = background();
  compose(want, makePicture(8, 8, [](int, int) { return 0xFF00FF00u; }), 4, 4, 1);
  compose(want, wide, 12, 36, 1);
  Difference d = compare(want, img);
  EXPECT_LE(d.worst, 1) << "at " << d.x << "," << d.y;
  image::freeImage(img);
}

TEST_F(Frame, ScaleOriginAndRotationPlaceTheQuad) {
  withBackground();
  savePicture("g.png", solid(8, 4, 0xFF00FF00));
  run("sp", "5,\"g.png\",0,1");
  run("sp_cxy", "5,0,0");  // anchor at the top-left
  run("sp_xy", "5,10,10");
  run("sp_wh", "5,200,300");
  image::Image* img = frame();
  Picture want = background();
  compose(want, solid(16, 12, 0xFF00FF00), 10, 10, 1);
  EXPECT_LE(compare(want, img).worst, 1);
  image::freeImage(img);

  run("sp_wh", "5,100,100");
  run("sp_cxy", "5,1,1");
  run("sp_xy", "5,32,24");
  run("sp_rxyz", "5,0,0,90");  // a quarter turn: 4 wide, 8 tall around the centre
  img = frame();
  want = background();
  compose(want, solid(4, 8, 0xFF00FF00), 30, 20, 1);
  Difference d = compare(want, img);
  EXPECT_LE(d.worst, 1) << "at " << d.x << "," << d.y;
  image::freeImage(img);
}

TEST_F(Frame, MaskRevealsByProgress) {
  withBackground();
  savePicture("g.png", solid(16, 8, 0xFF00FF00));
  // Mask values rise from left to right.
  Picture mask = makePicture(16, 8, [](int x, int) {
    const uint32_t v = static_cast<uint32_t>(x * 17);
    return 0xFF000000u | v << 16 | v << 8 | v;
  });
  savePicture("m.png", mask);
  run("sp", "5,\"g.png\",0,1");
  for (int progress : {0, 256, 512}) {
    for (int reverse : {0, 1}) {
      run("sp_mask", "5,\"m.png\"," + std::to_string(reverse) + "," + std::to_string(progress) + ",1");
      image::Image* img = frame();
      Picture want = background();
      const float c1 = 255.0f * static_cast<float>(progress) / 130560.0f;  // vagueness 0
      for (int x = 0; x < 16; ++x) {
        const float k = std::clamp((c1 - static_cast<float>(x * 17) / 255.0f) * 255.0f, 0.0f, 1.0f);
        const int a = static_cast<int>(std::lround((reverse ? k : 1 - k) * 255.0f));
        compose(want, solid(1, 8, static_cast<uint32_t>(a) << 24 | 0x00FF00u), 24 + x, 20, 1);
      }
      Difference d = compare(want, img);
      EXPECT_LE(d.worst, 2) << "progress " << progress << " reverse " << reverse << " at " << d.x << "," << d.y;
      image::freeImage(img);
    }
  }
}

// A mask over two tiles: its blue byte rises in steps of 17 along x (no
// value lies on a hard edge's step), the other bytes are noise.
Picture stepMask() {
  return makePicture(24, 8, [](int x, int y) {
    const uint32_t m = static_cast<uint32_t>((x * 17 + y * 34) % 255);
    return 0xFF000000u | (m ^ 0x5Au) << 16 | 0x33u << 8 | m;
  });
}

// alpha x (1 - k) or alpha x k, k = saturate(((v + 255) p / 512 - m) / v);
// a hard edge (v = 0) switches once the progress passes m.
Picture maskedModel(int vague, int progress, int reverse) {
  const int v = (vague - 1) & 511;
  Picture want = background();
  const Picture mask = stepMask();
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 24; ++x) {
      const float d = static_cast<float>((v + 255) * progress) / 512.0f - static_cast<float>(mask.at(x, y) & 0xFF);
      const float k = v == 0 ? (d > 0 ? 1.0f : 0.0f) : std::clamp(d / static_cast<float>(v), 0.0f, 1.0f);
      const int a = static_cast<int>(std::lround((reverse ? k : 1 - k) * 255.0f));
      compose(want, solid(1, 1, static_cast<uint32_t>(a) << 24 | 0x00FF00u), 20 + x, 20 + y, 1);
    }
  return want;
}

struct MaskCase {
  int vague, progress, reverse;
};
constexpr MaskCase kMaskCases[] = {{1, 256, 0}, {1, 512, 1}, {40, 128, 0}, {40, 384, 1}, {300, 300, 0}, {0, 200, 1}};

// The same masked sprite through the mask shaders and, without pixel
// shaders, through the ramp tables rewriting the mask's alpha.
TEST_F(Frame, MaskWithoutShadersMatchesTheShaderPath) {
  savePicture("g.png", solid(24, 8, 0xFF00FF00));
  savePicture("m.png", stepMask());
  std::vector<image::Image*> frames[2];
  for (int shaders : {1, 0}) {
    setting(K::PixelShader) = shaders;
    setting(K::MaxTextureSize) = 16;  // two tiles, each with its part of the mask
    withBackground();
    run("sp", "5,\"g.png\",0,1");
    run("sp_xy", "5,32,24");
    ASSERT_EQ(sprite::frontSlot(5)->tileCount, 2);
    for (const MaskCase& c : kMaskCases) {
      run("sp_mask", "5,\"m.png\"," + std::to_string(c.reverse) + "," + std::to_string(c.progress) + "," +
                         std::to_string(c.vague));
      frames[shaders].push_back(frame());
    }
    if (shaders) Scene::TearDown(), Scene::SetUp();
  }
  for (size_t i = 0; i < std::size(kMaskCases); ++i) {
    const MaskCase& c = kMaskCases[i];
    const int v = (c.vague - 1) & 511;
    const int tolerance = (v ? 255 / v / 2 : 0) + 3;  // the integer ramp against the float shader
    const std::string what = "vague " + std::to_string(c.vague) + " progress " + std::to_string(c.progress) +
                             " reverse " + std::to_string(c.reverse);
    const Picture want = maskedModel(c.vague, c.progress, c.reverse);
    Difference cpu = compare(want, frames[0][i]), gpu = compare(want, frames[1][i]);
    EXPECT_LE(cpu.worst, tolerance) << what << " without shaders at " << cpu.x << "," << cpu.y;
    EXPECT_LE(gpu.worst, tolerance) << what << " with shaders at " << gpu.x << "," << gpu.y;
    Picture shaded{kW, kH, std::vector<uint32_t>(frames[1][i]->pixels, frames[1][i]->pixels + kW * kH)};
    Difference both = compare(shaded, frames[0][i]);
    EXPECT_LE(both.worst, tolerance) << what << " between the paths at " << both.x << "," << both.y;
    image::freeImage(frames[0][i]);
    image::freeImage(frames[1][i]);
  }
}

// 16-bit colour without shaders: the 64-wide four-bit rows. With a hard
// edge a texel shows once 15 p / 512 passes its mask nibble.
TEST_F(Frame, SixteenBitMasksTakeTheFourBitRamp) {
  setting(K::ColorMode) = 1;
  setting(K::PixelShader) = 0;
  savePicture("g.png", solid(24, 8, 0xFF00FF00));
  savePicture("m.png", stepMask());
  withBackground();
  ASSERT_EQ(setting(K::ColorMode), 1);
  run("sp", "5,\"g.png\",0,1");
  run("sp_xy", "5,32,24");
  for (int progress : {256, 512})
    for (int reverse : {0, 1}) {
      run("sp_mask", "5,\"m.png\"," + std::to_string(reverse) + "," + std::to_string(progress) + ",1");
      image::Image* img = frame();
      Picture want = background();
      for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 24; ++x) {
          const bool on = 15 * progress / 512 - static_cast<int>((stepMask().at(x, y) & 0xFF) >> 4) > 0;
          if (on == (reverse != 0)) want.at(20 + x, 20 + y) = 0xFF00FF00u;
        }
      // Four-bit textures into an R5G6B5 target.
      Difference d = compare(want, img);
      EXPECT_LE(d.worst, 24) << "progress " << progress << " reverse " << reverse << " at " << d.x << "," << d.y;
      image::freeImage(img);
    }
}

// A screen change makes the render targets anew; the pictures of sprites,
// masks and groups stay and the frame comes back unchanged.
TEST_F(Frame, ScreenChangeKeepsWhatSpritesShow) {
  withBackground();
  savePicture("ov.png", overlay(16, 12));
  savePicture("m.png", stepMask());
  run("sp", "5,\"ov.png\",0,1");
  run("sp_xy", "5,12,12");
  run("sp", "6,\"ov.png\",0,1");
  run("sp_xy", "6,40,12");
  run("sp_mask", "6,\"m.png\",0,256,40");
  run("spg", "10,24,20,0");
  run("sp_xy", "10,40,34");
  run("sp", "11,\"ov.png\",0,1");
  run("sp_g", "11,10");
  image::Image* before = frame();
  ASSERT_TRUE(screenChange(false));
  image::Image* after = frame();
  ASSERT_NE(before, nullptr);
  ASSERT_NE(after, nullptr);
  EXPECT_EQ(0, std::memcmp(before->pixels, after->pixels, static_cast<size_t>(kW) * kH * 4));
  image::freeImage(before);
  image::freeImage(after);
}

TEST_F(Frame, FourThreeModeOfAWideDesign) {
  savePicture("g.png", solid(8, 8, 0xFF00FF00));
  screen(64, 36);
  EXPECT_EQ(geometry().screenHeight, 36);
  run("setScreenAspect", "1");
  EXPECT_EQ(geometry().screenWidth, 64);
  EXPECT_EQ(geometry().screenHeight, 48);
  run("sp", "5,\"g.png\",0,1");
  run("sp_xy", "5,32,24");
  image::Image* img = frame();
  ASSERT_NE(img, nullptr);
  EXPECT_EQ(img->height, 48);
  EXPECT_EQ(img->pixels[24 * 64 + 32] & 0xFFFFFF, 0x00FF00u);
  EXPECT_EQ(img->pixels[24 * 64 + 27] & 0xFFFFFF, 0u);  // never drawn: black
  image::freeImage(img);
}

TEST_F(Frame, SixteenBitColourKeepsTheTopBitsOfEachChannel) {
  setting(K::ColorMode) = 1;
  withBackground();
  EXPECT_EQ(setting(K::ColorMode), 1);
  image::Image* img = frame();
  // R5 G6 B5 after A4 R4 G4 B4 textures: compare at four bits per channel.
  int worst = 0;
  for (int i = 0; i < kW * kH; ++i)
    for (int sh = 0; sh <= 16; sh += 8)
      worst = std::max(worst, std::abs((channelOf(img->pixels[i], sh) >> 4) - (channelOf(background().pixels[i], sh) >> 4)));
  EXPECT_LE(worst, 1);
  image::freeImage(img);
}

}  // namespace
}  // namespace velmora::render::test
