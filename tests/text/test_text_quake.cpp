// The message text on a real frame while a screen quake runs: it shakes with
// the message layer, and only when the quake aims at that layer.
#include <climits>

#include "base/textconv.h"
#include "platform/vclock.h"
#include "render/scene.h"
#include "sprite/motion.h"
#include "text/message.h"

namespace velmora::text {
namespace {

using render::test::makePicture;
using render::test::savePicture;

constexpr int kW = 160, kH = 96;

struct Box {
  int left = INT_MAX, top = INT_MAX;
};

class TextQuake : public render::test::Scene {
 protected:
  void SetUp() override {
    Scene::SetUp();
    sprite::bindMotionCoresAndTracks();
    bindTextCores();
    platform::setVirtualClock(true);
    screen(kW, kH);
    savePicture("bg.png", makePicture(kW, kH, [](int, int) { return 0xFF000000u; }));
    run("sp", "900,\"bg.png\",3,1");
    run("setMessXY", "40,30,0");
    run("setMessWH", "6,2,16,16,2,8");
    run("setMessCreate", "300,100");
    run("setMessSpeed", "0,-1");
    const std::string line = utf8_to_sjis("ああ");
    showTextLine(line, 0, 0, 0);
    formatMessDraw();
    setMessDraw();
    endMessDraw();
    start_ = platform::nowMs();
  }
  void TearDown() override {
    sprite::clearMotion();
    releaseMessageWindow();
    platform::setVirtualClock(false);
    Scene::TearDown();
  }
  // Top-left corner of the lit text pixels in the frame at ms after the start.
  Box textAt(uint32_t ms) {
    platform::advanceVirtualClock(start_ + ms - platform::nowMs());
    image::Image* img = frame();
    Box b;
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x)
        if ((img->pixels[y * kW + x] & 0xFF) > 128) b.left = std::min(b.left, x), b.top = std::min(b.top, y);
    image::freeImage(img);
    return b;
  }
  uint32_t start_ = 0;
};

TEST_F(TextQuake, TheTextMovesByTheQuakeOffsetOnlyWhenTheMessageLayerIsTargeted) {
  const Box still = textAt(0);
  ASSERT_NE(still.left, INT_MAX) << "no text on the frame";
  // Linear half-period swing: 8 * 250 / 500 = 4 pixels a quarter period in.
  run("sc_qx", "2,8,1000,0,0,0,0");
  run("sc_qy", "1,8,1000,0,0,0,0");  // screen sprites only: the text stays
  const Box shaken = textAt(250);
  EXPECT_EQ(shaken.left, still.left + 4);
  EXPECT_EQ(shaken.top, still.top);
  // Both bits: the y quake reaches the text too; both are 6 pixels
  // out (x on its way back, y on its way out).
  run("sc_qy", "3,8,1000,0,0,0,0");
  const Box both = textAt(625);
  EXPECT_EQ(both.left, still.left + 6);
  EXPECT_EQ(both.top, still.top + 6);
  // Stopped quakes put the text back.
  run("sc_qx", "2,0,1000,0,0,0,0");
  run("sc_qy", "3,0,1000,0,0,0,0");
  const Box settled = textAt(700);
  EXPECT_EQ(settled.left, still.left);
  EXPECT_EQ(settled.top, still.top);
}

}  // namespace
}  // namespace velmora::text
