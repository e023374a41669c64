// Motion and quakes as the frame shows them: the frame step runs inside the
// frame, and quake offsets move the drawn quad.
#include "platform/vclock.h"
#include "scene.h"
#include "sprite/motion.h"

namespace velmora::render::test {
namespace {

using K = SettingKey;

constexpr int kW = 64, kH = 48;

class Motion : public Scene {
 protected:
  void SetUp() override {
    Scene::SetUp();
    start();
  }
  void start() {
    platform::setVirtualClock(true);
    screen(kW, kH);
    // Frames are not cleared: a black backdrop that no quake reaches.
    savePicture("bg.png", makePicture(kW, kH, [](int, int) { return 0xFF000000u; }));
    run("sp", "900,\"bg.png\",3,1");
    savePicture("w.png", makePicture(8, 8, [](int, int) { return 0xFFFFFFFFu; }));
    run("sp", "5,\"w.png\",0,1");
    run("sp_xy", "5,20,20");  // covers 16-23
    start_ = platform::nowMs();
  }
  void TearDown() override {
    sprite::clearMotion();
    platform::setVirtualClock(false);
    Scene::TearDown();
  }
  // The frame at ms after the start; true where pixel x of row 20 is lit.
  std::vector<bool> rowAt(uint32_t ms) {
    platform::advanceVirtualClock(start_ + ms - platform::nowMs());
    image::Image* img = frame();
    std::vector<bool> lit(kW);
    for (int x = 0; x < kW; ++x) lit[size_t(x)] = (img->pixels[20 * kW + x] & 0xFF) > 128;
    image::freeImage(img);
    return lit;
  }
  uint32_t pixelAt(uint32_t ms, int x, int y) {
    platform::advanceVirtualClock(start_ + ms - platform::nowMs());
    image::Image* img = frame();
    const uint32_t p = img->pixels[y * kW + x];
    image::freeImage(img);
    return p;
  }
  static int firstLit(const std::vector<bool>& row) {
    for (int x = 0; x < kW; ++x)
      if (row[size_t(x)]) return x;
    return -1;
  }
  uint32_t start_ = 0;
};

TEST_F(Motion, AGlideIsDrawnWhereTheClockSaysItIs) {
  run("sp_ax", "5,40,98,0,0x100");
  EXPECT_EQ(firstLit(rowAt(49)), 16 + 10);
  EXPECT_EQ(firstLit(rowAt(98)), 16 + 20);
  EXPECT_EQ(firstLit(rowAt(200)), 16 + 20);
}

TEST_F(Motion, QuakesMoveOnlyTheSpritesTheyReach) {
  run("sp_qx", "5,10,100,0,0,0,0");
  EXPECT_EQ(firstLit(rowAt(25)), 16 + 5);
  run("sp_qx", "5,0,100,0,0,0,0");
  EXPECT_EQ(firstLit(rowAt(50)), 16);
  run("sc_qx", "2,6,100,0,0,0,0");  // window-layer sprites only
  EXPECT_EQ(firstLit(rowAt(100)), 16);
  run("sc_qx", "1,6,100,0,0,0,0");  // started at 100: the peak at 150
  EXPECT_EQ(firstLit(rowAt(150)), 16 + 6);
}

// sp_st's timed switch halfway: the stand shader blends the two slots, and
// without pixel shaders the motion step blends the pixels the sprite shows.
TEST_F(Motion, APictureSwitchCrossFadesWithAndWithoutShaders) {
  for (int shaders : {1, 0}) {
    if (!shaders) {
      TearDown();
      Scene::SetUp();
      setting(K::PixelShader) = 0;
      start();
    }
    savePicture("a.png", makePicture(16, 16, [](int, int) { return 0xFFF02010u; }));
    savePicture("b.png", makePicture(16, 16, [](int, int) { return 0xFF1030E0u; }));
    run("sp_st", "7,\"a.png\",0,16,16,0,0");
    run("sp_xy", "7,40,32");
    image::Image* first = frame();
    image::freeImage(first);
    run("sp_st", "7,\"b.png\",0,16,16,100,0");
    start_ = platform::nowMs();
    const uint32_t half = pixelAt(50, 40, 32);
    const int progress = sprite::record(7).linked;  // odd, of 256
    EXPECT_NEAR(progress, 128, 16);
    const uint32_t done = pixelAt(120, 40, 32);
    const uint32_t want = blendPixel(1, 0xFF1030E0u, 0xFFF02010u, progress);
    for (int shift = 0; shift <= 16; shift += 8)
      EXPECT_NEAR(channelOf(half, shift), channelOf(want, shift), 2) << "shaders " << shaders << " channel " << shift;
    EXPECT_EQ(done & 0xFFFFFF, 0x1030E0u) << "shaders " << shaders;
  }
}

}  // namespace
}  // namespace velmora::render::test
