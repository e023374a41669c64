// The frame of a restored game against the frame that was saved, drawn by
// the device on the offscreen driver.
#include "base/snapshot.h"
#include "platform/vclock.h"
#include "render/scene.h"
#include "save/screenshot.h"
#include "save/store.h"
#include "script/interp.h"
#include "sprite/motion.h"

namespace velmora::render::test {
namespace {

constexpr int kW = 64, kH = 48;

class RestoredFrame : public Scene {
 protected:
  void SetUp() override {
    Scene::SetUp();
    clearSnapshotSections();
    save::registerSaveSections();
    save::bindSaveSlotCommands();
    script::slotLines(0) = {"*start", "print 1", "print 2"};
    script::slotChanged(0);
    platform::setVirtualClock(true);
    screen(kW, kH);
    savePicture("bg.png", makePicture(kW, kH, [](int x, int y) { return 0xFF000000u | uint32_t(x * 4) << 16 | uint32_t(y * 5); }));
    savePicture("box.png", makePicture(12, 10, [](int x, int) { return x < 6 ? 0xFFFFFF00u : 0x80FF00FFu; }));
    savePicture("ramp.png", makePicture(12, 10, [](int x, int) { return 0xFF000000u | uint32_t(x * 20) * 0x010101u; }));
  }
  void TearDown() override {
    save::resetSaveSlots();
    save::releaseScreenShot();
    sprite::clearMotion();
    script::resetInterpreter();
    platform::setVirtualClock(false);
    Scene::TearDown();
  }
};

TEST_F(RestoredFrame, LooksAsTheSavedOneDid) {
  run("sp", "900, \"bg.png\", 0, 1");
  run("sp", "10, \"box.png\", 0, 1");
  run("sp_xy", "10, 10, 10");
  run("sp_ax", "10, 50, 1000, 3, 0x100");
  run("sp", "11, \"box.png\", 0, 1");
  run("sp_xy", "11, 40, 30");
  run("sp_b", "11, 2");
  run("sp_a", "11, 180");
  run("sp_wh", "11, 150, 120");
  run("sp_rxyz", "11, 0, 0, 20");
  run("sp_mask", "11, \"ramp.png\", 0, 500, 40");
  run("spg", "20, 24, 16, 0");
  run("sp", "21, \"box.png\", 0, 1");
  run("sp_g", "21, 20");
  run("sp_xy", "21, 6, 6");
  run("sp_xy", "20, 20, 36");
  run("sp_qy", "10, 4, 400, 0, 0, 1, 0");
  image::Image* saved = frame();
  platform::advanceVirtualClock(300);
  image::Image* before = frame();
  ASSERT_TRUE(save::saveSlot(1, true));
  for (int n : {900, 10, 11, 20}) run("sp_d", std::to_string(n));
  run("sp", "30, \"ramp.png\", 0, 1");
  image::Image* disturbed = frame();
  ASSERT_TRUE(save::loadSlot(1, true));
  image::Image* restored = frame();
  const Picture expected{kW, kH, std::vector<uint32_t>(before->pixels, before->pixels + kW * kH)};
  EXPECT_GT(compare(expected, disturbed).worst, 100);
  EXPECT_GT(compare(expected, saved).worst, 10);  // it moved in between
  const Difference d = compare(expected, restored);
  EXPECT_LE(d.worst, 1) << d.x << "," << d.y;
  for (image::Image* im : {saved, before, disturbed, restored}) image::freeImage(im);
}

TEST_F(RestoredFrame, TheScreenshotIsTheFrameAtTheAskedSize) {
  run("sp", "900, \"bg.png\", 0, 1");
  image::Image* shown = frame();
  run("setScreenShot", "32, 24");
  const image::Image* shot = save::screenShot();
  ASSERT_NE(shot, nullptr);
  ASSERT_EQ(shot->width, 32);
  ASSERT_EQ(shot->height, 24);
  // A 2 x 2 box of the frame becomes one pixel of the screenshot.
  const uint32_t p = shown->pixels[20 * kW + 40], q = shot->pixels[10 * 32 + 20];
  EXPECT_NEAR(int((p >> 16) & 255), int((q >> 16) & 255), 6);
  EXPECT_NEAR(int(p & 255), int(q & 255), 6);
  image::freeImage(shown);
}

}  // namespace
}  // namespace velmora::render::test
