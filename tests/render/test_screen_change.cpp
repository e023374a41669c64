// A screen change rebuilds the render targets; what sprites show must come
// back unchanged.
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

class ScreenChange : public Scene {
 protected:
  void SetUp() override {
    Scene::SetUp();
    savePicture("bg.png", ground());
    savePicture("ov.png", translucent());
    savePicture("m.png", makePicture(12, 10, [](int x, int) { return 0xFF000000u | static_cast<uint32_t>(x * 21) * 0x010101u; }));
  }
  void scene() {
    screen(kW, kH);
    run("sp", "900,\"bg.png\",0,1");
    run("sp", "5,\"ov.png\",0,1");
    run("sp_xy", "5,12,12");
    run("sp", "6,\"ov.png\",0,1");
    run("sp_xy", "6,40,12");
    run("sp_mask", "6,\"m.png\",0,256,40");
    run("spg", "10,24,20,0");
    run("sp_xy", "10,40,34");
    run("sp", "11,\"ov.png\",0,1");
    run("sp_g", "11,10");
    run("sp_xy", "11,8,8");
  }
};

TEST_F(ScreenChange, SpritesDrawTheSameAfterTheDeviceIsRebuilt) {
  scene();
  image::Image* before = frame();
  ASSERT_TRUE(screenChange(false));
  image::Image* after = frame();
  ASSERT_NE(before, nullptr);
  ASSERT_NE(after, nullptr);
  EXPECT_EQ(0, std::memcmp(before->pixels, after->pixels, static_cast<size_t>(kW) * kH * 4));
  image::freeImage(before);
  image::freeImage(after);
}

}  // namespace
}  // namespace velmora::render::test
