// The message text follows an aspect change made while the game runs: in
// 4:3 mode of a 16:9 design it moves down by the aspect offset when its
// aspect-shift flag is set, and back again in 16:9 mode.
#include "base/textconv.h"
#include "render/scene.h"
#include "text/message.h"

namespace velmora::text::test {
namespace {

class AspectShift : public render::test::Scene {
 protected:
  void SetUp() override {
    Scene::SetUp();
    bindTextCores();
    screen(64, 36);  // aspect offset (64 * 3 / 4 - 36) = 12
  }
  void TearDown() override {
    releaseMessageWindow();
    Scene::TearDown();
  }
  void open(int shiftFlag) {
    run("setMessXY", "2,4," + std::to_string(shiftFlag));
    run("setMessWH", "10,2,8,8,2,2");
    run("setMessCreate", "20,10");
    line_ = utf8_to_sjis("あい");
    showTextLine(line_, 0, 0, 0);
  }
  static int glyphY(int k) { return window().main.slots()[size_t(k)].y; }
  std::string line_;
};

TEST_F(AspectShift, ShiftedTextMovesWithEveryChange) {
  open(1);
  ASSERT_GE(window().main.laidOut, 2);
  const int y = glyphY(0);
  run("setScreenAspect", "1");
  ASSERT_EQ(render::geometry().aspectOffset, 12);
  EXPECT_EQ(glyphY(0), y + 12);
  EXPECT_EQ(glyphY(1), y + 12);
  // Text laid out from now on (on the next row) lands shifted too.
  showTextLine(line_, 0, 0, 0);
  const int last = window().main.laidOut - 1;
  EXPECT_EQ(glyphY(last), y + 12 + rowPitch());
  run("setScreenAspect", "0");
  EXPECT_EQ(glyphY(0), y);
  EXPECT_EQ(glyphY(last), y + rowPitch());
}

TEST_F(AspectShift, TextWithoutTheFlagStays) {
  open(0);
  const int y = glyphY(0);
  run("setScreenAspect", "1");
  EXPECT_EQ(render::geometry().screenHeight, 48);
  EXPECT_EQ(glyphY(0), y);
}

}  // namespace
}  // namespace velmora::text::test
