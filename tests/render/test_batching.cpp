// Sprites drawn in runs of equal state, and tile textures shared by the
// sprites that show one cached picture.
#include <cstring>

#include "scene.h"

namespace velmora::render::test {
namespace {

constexpr int kW = 64, kH = 48;

Picture ground() {
  return makePicture(kW, kH, [](int x, int y) {
    return 0xFF000000u | static_cast<uint32_t>(x * 4) << 16 | static_cast<uint32_t>(y * 5) << 8 | 0x40u;
  });
}

Picture translucent() {
  return makePicture(12, 10, [](int x, int y) {
    return static_cast<uint32_t>(40 + x * 18) << 24 | static_cast<uint32_t>(255 - y * 20) << 16 | 0x8000u |
           static_cast<uint32_t>(x * 20);
  });
}

class Batching : public Scene {
 protected:
  void SetUp() override {
    Scene::SetUp();
    savePicture("bg.png", ground());
    savePicture("ov.png", translucent());
    savePicture("g.png", makePicture(6, 6, [](int, int) { return 0xC000FF00u; }));
    savePicture("m.png", makePicture(12, 10, [](int x, int) { return 0xFF000000u | static_cast<uint32_t>(x * 21) * 0x010101u; }));
    screen(kW, kH);
    run("sp", "900,\"bg.png\",0,1");
  }
  void TearDown() override {
    setSpriteBatching(true);
    Scene::TearDown();
  }
  static std::string at(int n, int x, int y) {
    return std::to_string(n) + "," + std::to_string(x) + "," + std::to_string(y);
  }
};

// Overlapping translucent sprites blend differently in another order, so
// any reordering inside a run shows; other pictures, blend rows, alphas,
// a mask and a group member break the runs in between.
TEST_F(Batching, ABatchedFrameEqualsTheUnbatchedOne) {
  for (int i = 0; i < 40; ++i) {
    const int n = 100 + i;
    run("sp", std::to_string(n) + (i % 9 == 4 ? ",\"g.png\",0,1" : ",\"ov.png\",0,1"));
    run("sp_xy", at(n, (i * 7) % 56 + 4, (i * 5) % 40 + 4));
    if (i % 7 == 3) run("sp_b", std::to_string(n) + ",2");
    if (i % 5 == 1) run("sp_a", std::to_string(n) + ",128");
    if (i % 11 == 6) run("sp_rxyz", std::to_string(n) + ",0,0,30");
  }
  run("sp_mask", "120,\"m.png\",0,256,1");
  run("spg", "10,24,20,0");
  run("sp_xy", "10,40,30");
  for (int n : {11, 12, 13}) {
    run("sp", std::to_string(n) + ",\"ov.png\",0,1");
    run("sp_g", std::to_string(n) + ",10");
    run("sp_xy", at(n, n * 2 - 10, n - 6));
  }
  setSpriteBatching(false);
  image::Image* single = frame();
  setSpriteBatching(true);
  image::Image* batched = frame();
  ASSERT_NE(single, nullptr);
  ASSERT_NE(batched, nullptr);
  EXPECT_EQ(0, std::memcmp(single->pixels, batched->pixels, static_cast<size_t>(kW) * kH * 4));
  EXPECT_EQ(sprite::frontSlot(100)->gpu.tile[0], sprite::frontSlot(101)->gpu.tile[0]);
  EXPECT_EQ(sprite::frontSlot(100)->gpu.tile[0], sprite::frontSlot(11)->gpu.tile[0]);
  EXPECT_NE(sprite::frontSlot(100)->gpu.tile[0], sprite::frontSlot(104)->gpu.tile[0]);
  image::freeImage(single);
  image::freeImage(batched);
}

// The textures stay while any sprite shows them, and follow a new picture.
TEST_F(Batching, SharedTilesLiveAsLongAsTheirLastSprite) {
  run("sp", "5,\"ov.png\",0,1");
  run("sp", "6,\"ov.png\",0,1");
  run("sp_xy", "5,10,10");
  run("sp_xy", "6,40,30");
  image::Image* img = frame();
  image::freeImage(img);
  run("sp_d", "5");
  img = frame();
  Picture want = ground();
  compose(want, translucent(), 40 - 6, 30 - 5, 1);
  Difference d = compare(want, img);
  EXPECT_LE(d.worst, 2) << "at " << d.x << "," << d.y;
  image::freeImage(img);

  run("sp", "6,\"g.png\",0,1");
  run("sp_xy", "6,40,30");
  run("sp", "7,\"ov.png\",0,1");
  run("sp_xy", "7,10,10");
  img = frame();
  want = ground();
  compose(want, translucent(), 10 - 6, 10 - 5, 1);
  compose(want, makePicture(6, 6, [](int, int) { return 0xC000FF00u; }), 37, 27, 1);
  d = compare(want, img);
  EXPECT_LE(d.worst, 2) << "at " << d.x << "," << d.y;
  image::freeImage(img);
}

}  // namespace
}  // namespace velmora::render::test
