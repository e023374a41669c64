// Colour modes against the CPU reference: sp_c's texture operation on the
// sprite colour with ColorBlend on (and nothing with it off), and the
// picture cross-fade shaders of colour modes 0, 4 and 7.
#include "platform/vclock.h"
#include "scene.h"
#include "sprite/motion.h"

namespace velmora::render::test {
namespace {

using K = SettingKey;

constexpr int kW = 64, kH = 48;
constexpr uint32_t kColour = 0xFFC04080;

Picture backdrop() {
  return makePicture(kW, kH, [](int x, int y) {
    return 0xFF000000u | static_cast<uint32_t>(x * 4) << 16 | static_cast<uint32_t>(y * 5) << 8 | 0x40u;
  });
}

// Half-transparent edges and every channel in motion.
Picture overlay(int w, int h) {
  return makePicture(w, h, [](int x, int y) {
    const uint32_t a = static_cast<uint32_t>(96 + (x * 159) / 15);
    return a << 24 | static_cast<uint32_t>(255 - y * 20) << 16 | static_cast<uint32_t>(40 + x * 12) << 8 |
           static_cast<uint32_t>(x * 16);
  });
}

float unit(uint32_t p, int shift) { return static_cast<float>(channelOf(p, shift)) / 255.0f; }

// The texture operations with the texel as the first argument and the
// sprite colour (texture factor) as the second.
float textureOperation(int op, float c, float f) {
  switch (op) {
    case 4: return c * f;
    case 5: return 2 * c * f;
    case 7: return c + f;
    case 10: return c - f;
    case 11: return c + f - c * f;
    default: return c;
  }
}

Picture coloured(const Picture& p, int op, uint32_t colour) {
  Picture out = p;
  for (uint32_t& px : out.pixels) {
    uint32_t v = px & 0xFF000000u;
    for (int sh = 0; sh <= 16; sh += 8) {
      const float r = std::clamp(textureOperation(op, unit(px, sh), unit(colour, sh)), 0.0f, 1.0f);
      v |= static_cast<uint32_t>(std::lround(r * 255.0f)) << sh;
    }
    px = v;
  }
  return out;
}

class ColourModes : public Scene {
 protected:
  void start() {
    savePicture("bg.png", backdrop());
    savePicture("ov.png", overlay(16, 12));
    screen(kW, kH);
    run("sp", "900,\"bg.png\",0,1");
    run("sp", "5,\"ov.png\",0,1");
    run("sp_xy", "5,32,24");  // centred: top-left at (24, 18)
  }
  // The frame against the backdrop with p laid over by row at alpha.
  Difference against(const Picture& p, int row, int alpha) {
    image::Image* img = frame();
    Picture want = backdrop();
    compose(want, p, 24, 18, row, alpha);
    Difference d = compare(want, img);
    image::freeImage(img);
    return d;
  }
};

TEST_F(ColourModes, TextureOperationsOnTheSpriteColour) {
  start();
  ASSERT_EQ(setting(K::ColorBlend), 1);  // the device can blend by a factor
  run("sp_a", "5,200");
  for (int row : {1, 2})
    for (int op : {4, 7, 10, 5, 11}) {
      run("sp_b", "5," + std::to_string(row));
      run("sp_c", "5," + std::to_string(op) + "," + std::to_string(static_cast<int32_t>(kColour)));
      const Difference d = against(coloured(overlay(16, 12), op, kColour), row, 200);
      EXPECT_LE(d.worst, 2) << "row " << row << " operation " << op << " at " << d.x << "," << d.y;
    }
}

TEST_F(ColourModes, WithoutColorBlendTheColourIsIgnored) {
  setting(K::ColorBlend) = 0;
  start();
  run("sp_c", "5,4," + std::to_string(static_cast<int32_t>(kColour)));
  const Difference d = against(overlay(16, 12), 1, 255);
  EXPECT_LE(d.worst, 2) << "at " << d.x << "," << d.y;
}

// The cross-fade of a new picture n over the old one o at progress t.
uint32_t crossFade(uint32_t n, uint32_t o, float t) {
  if (n == o) return o;
  const float na = unit(n, 24), oa = unit(o, 24), tn = t * na;
  float a = 0;
  float rgb[3];
  for (int i = 0; i < 3; ++i) {
    const float nc = unit(n, 16 - 8 * i), oc = unit(o, 16 - 8 * i);
    if (na == 0) rgb[i] = oc, a = (1 - t) * oa;
    else if (oa == 0) rgb[i] = nc, a = tn;
    else if (na > 0.996f && oa > 0.996f) rgb[i] = oc + (nc - oc) * tn, a = 1;
    else a = tn + (1 - t) * oa * (1 - tn), rgb[i] = oc + (nc - oc) * tn / a;
  }
  uint32_t out = static_cast<uint32_t>(std::lround(std::clamp(a, 0.0f, 1.0f) * 255.0f)) << 24;
  for (int i = 0; i < 3; ++i) out |= static_cast<uint32_t>(std::lround(std::clamp(rgb[i], 0.0f, 1.0f) * 255.0f)) << (16 - 8 * i);
  return out;
}

class StandShaders : public ColourModes {
 protected:
  void SetUp() override {
    ColourModes::SetUp();
    platform::setVirtualClock(true);
  }
  void drawOnce() {
    image::Image* img = frame();
    image::freeImage(img);
  }
  void TearDown() override {
    sprite::clearMotion();
    platform::setVirtualClock(false);
    ColourModes::TearDown();
  }
};

TEST_F(StandShaders, CrossFadeThenTheColourStepOfModesZeroFourAndSeven) {
  // Opaque old picture under a half-transparent new one, and both halves
  // transparent: the general and the special cases of the fade.
  const Picture old = makePicture(16, 12, [](int x, int) { return x < 8 ? 0xFFF02010u : 0x80F02010u; });
  const Picture fresh = makePicture(16, 12, [](int x, int y) {
    return (y < 6 ? 0xFF000000u : 0x60000000u) | static_cast<uint32_t>(x * 16) << 8 | 0xE0u;
  });
  savePicture("old.png", old);
  savePicture("new.png", fresh);
  start();
  for (int mode : {0, 4, 7}) {
    run("sp_st", "5,\"old.png\",0,16,12,0,0");
    run("sp_c", "5," + std::to_string(mode) + "," + std::to_string(static_cast<int32_t>(kColour)));
    drawOnce();
    run("sp_st", "5,\"new.png\",0,16,12,100,0");
    const uint32_t start = platform::nowMs();
    platform::advanceVirtualClock(start + 40 - platform::nowMs());
    image::Image* img = frame();
    const int progress = sprite::record(5).linked;
    ASSERT_GT(progress, 1) << "mode " << mode;
    Picture faded = makePicture(16, 12, [&](int x, int y) {
      return crossFade(fresh.at(x, y), old.at(x, y), static_cast<float>(progress) / 256.0f);
    });
    if (mode != 0) faded = coloured(faded, mode, kColour);
    Picture want = backdrop();
    compose(want, faded, 24, 18, 1);
    const Difference d = compare(want, img);
    EXPECT_LE(d.worst, 3) << "mode " << mode << " at " << d.x << "," << d.y;
    image::freeImage(img);
    platform::advanceVirtualClock(200);
    drawOnce();  // the switch lands
  }
}

}  // namespace
}  // namespace velmora::render::test
