#include <gtest/gtest.h>

#include "base/settings.h"
#include "base/textconv.h"
#include "render/geometry.h"

namespace velmora::render {
namespace {

using K = SettingKey;

class GeometryTest : public ::testing::Test {
 protected:
  void SetUp() override { resetSettings(); }
  void TearDown() override { resetSettings(); }

  // The display start's arithmetic for a design, on a monitor, no frame.
  Geometry start(int w, int h, int resolution, int mw = 1920, int mh = 1080) {
    Geometry g;
    setting(K::Resolution) = resolution;
    g.monitorWidth = mw, g.monitorHeight = mh, g.monitorRefresh = 60;
    setDisplayRates(g, w, h, w);
    screenSizeSetup(g, w, h, true);
    return g;
  }
};

TEST_F(GeometryTest, WideDesignHasTheWidePresetsAndSwitchesToFourThree) {
  Geometry g = start(1280, 720, 1280);
  EXPECT_FLOAT_EQ(g.displayRate, 1.0f);
  EXPECT_EQ(g.aspectChoice, 1);
  EXPECT_EQ(g.aspectOffset, 240);
  EXPECT_EQ(setting(K::ScreenAspect), 0);
  EXPECT_EQ(g.presets[0].width, 480);
  EXPECT_EQ(g.presets[9].height, 1080);
  EXPECT_EQ(g.presets[5].label, "1280x 720" + sj("(等倍)"));
  EXPECT_EQ(g.presets[0].label, " 480x 270");
  EXPECT_EQ(setting(K::WindowWidth), 1280);

  changeAspect(g, 1, false);
  EXPECT_EQ(g.screenWidth, 1280);
  EXPECT_EQ(g.screenHeight, 960);
  EXPECT_EQ(g.presets[0].width, 400);
  EXPECT_EQ(g.presets[9].width, 1600);
  EXPECT_EQ(setting(K::WindowHeight), 960);
  EXPECT_EQ(g.aspectCounter, 1);
  EXPECT_EQ(g.aspectOffset, 240);  // the text layer moves down by this

  changeAspect(g, 0, false);
  EXPECT_EQ(g.screenHeight, 720);
  EXPECT_EQ(g.presets[0].width, 480);
}

TEST_F(GeometryTest, FourThreeDesignForcesTheAspectModeAndMarksTheOneToOnePreset) {
  Geometry g = start(800, 600, 800);
  EXPECT_EQ(g.aspectChoice, 0);
  EXPECT_EQ(setting(K::ScreenAspect), 1);
  EXPECT_EQ(g.presets[2].label, " 800x 600" + sj("(等倍)"));
  EXPECT_EQ(g.presets[1].label, " 640x 480");
}

TEST_F(GeometryTest, OtherRatiosRepeatTheDesignSizeAndTallKeepsTheAspectSetting) {
  Geometry g = start(1000, 700, 1000);
  for (const SizePreset& p : g.presets) {
    EXPECT_EQ(p.width, 1000);
    EXPECT_EQ(p.height, 700);
  }
  EXPECT_EQ(setting(K::ScreenAspect), 1);
  resetSettings();
  Geometry tall = start(720, 1280, 720);
  EXPECT_EQ(setting(K::ScreenAspect), 0);
  EXPECT_EQ(tall.presets[0].width, 270);
}

TEST_F(GeometryTest, DisplayRateScalesTheLogicalScreen) {
  Geometry g = start(800, 600, 1200);
  EXPECT_FLOAT_EQ(g.displayRate, 1.5f);
  EXPECT_EQ(g.screenWidth, 1200);
  EXPECT_EQ(g.screenHeight, 900);
  EXPECT_EQ(g.screenWidth2, 800);
  EXPECT_EQ(g.pixelCount, 1200 * 900);
}

TEST_F(GeometryTest, FullScreenKindsOnAWideMonitor) {
  Geometry g = start(800, 600, 800);
  EXPECT_EQ(g.destination[1], (Rect{0, 0, 1920, 1080}));
  EXPECT_EQ(g.destination[2], (Rect{560, 240, 1360, 840}));
  EXPECT_EQ(g.fitWidth, 1440);
  EXPECT_EQ(g.fitHeight, 1080);
  EXPECT_EQ(g.destination[3], (Rect{240, 0, 1680, 1080}));
  EXPECT_EQ(g.fillWidth, 1920);
  EXPECT_EQ(g.fillHeight, 1440);
  EXPECT_EQ(g.destination[4], (Rect{0, -180, 1920, 1260}));
  EXPECT_EQ(g.overflowX, 0);
  EXPECT_EQ(g.overflowY, -360);
  EXPECT_EQ(g.source[3], (Rect{0, 0, 800, 600}));
  EXPECT_EQ(g.refreshP, 50);
  EXPECT_EQ(g.refreshQ, 3);
}

TEST_F(GeometryTest, ZoomPanningStepsFourThenOneAndStopsAtTheEdge) {
  Geometry g = start(800, 600, 800);
  int polls = 0;
  while (zoomPanStep(g, 960, 10)) ++polls;
  EXPECT_EQ(polls, 45);
  EXPECT_EQ(g.destination[4].top, 0);
  EXPECT_EQ(g.panSteps, 45);
  // Towards the bottom it stops at the overflow; near the middle nothing moves.
  EXPECT_FALSE(zoomPanStep(g, 960, 540));
  g.destination[4].top = -358, g.destination[4].bottom = -358 + 1440;
  EXPECT_TRUE(zoomPanStep(g, 960, 1070));
  EXPECT_EQ(g.destination[4].top, -359);
  EXPECT_TRUE(zoomPanStep(g, 960, 1070));
  EXPECT_FALSE(zoomPanStep(g, 960, 1070));
  EXPECT_EQ(g.destination[4].top, -360);
  // No horizontal overflow: the side zones do nothing.
  EXPECT_FALSE(zoomPanStep(g, 5, 540));
}

TEST_F(GeometryTest, ClientPointsMapToLogicalPointsInEveryMode) {
  Geometry g = start(800, 600, 800);
  int x = 0, y = 0;
  windowToLogical(g, 400, 300, x, y);  // window at the design size: unchanged
  EXPECT_EQ(x, 400);
  setting(K::WindowWidth) = 1600, setting(K::WindowHeight) = 1200;
  windowToLogical(g, 800, 601, x, y);
  EXPECT_EQ(x, 400);
  EXPECT_EQ(y, 300);
  logicalToWindow(g, 400, 300, x, y);
  EXPECT_EQ(x, 800);
  EXPECT_EQ(y, 600);

  setting(K::FullScreen) = 1;
  setting(K::FullMode) = 0;
  windowToLogical(g, 400, 300, x, y);
  EXPECT_EQ(x, 400);
  EXPECT_EQ(y, 300);
  setting(K::FullMode) = 1;
  windowToLogical(g, 960, 540, x, y);
  EXPECT_EQ(x, 400);
  EXPECT_EQ(y, 300);
  setting(K::FullMode) = 2;
  windowToLogical(g, 560, 240, x, y);
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 0);
  setting(K::FullMode) = 3;
  windowToLogical(g, 240 + 720, 540, x, y);
  EXPECT_EQ(x, 400);
  EXPECT_EQ(y, 300);
  logicalToWindow(g, 400, 300, x, y);
  EXPECT_EQ(x, 960);
  EXPECT_EQ(y, 540);
  setting(K::FullMode) = 4;
  windowToLogical(g, 960, 540, x, y);  // destination top -180: 720 / 2.4
  EXPECT_EQ(x, 400);
  EXPECT_EQ(y, 300);
}

// An attached menu bar takes client rows above the picture in window mode:
// points below it map onto the picture, the picture's top row onto the row
// under the bar, and the frame grows by the bar. Full screen has no strip.
TEST_F(GeometryTest, AttachedMenuBarTakesAStripAboveThePicture) {
  Geometry g = start(800, 600, 800);
  g.menuHeight = 20, g.menuAttached = true;
  recomputeFrame(g);
  EXPECT_EQ(g.extraH, 20);
  EXPECT_EQ(menuStrip(g), 20);
  int x = 0, y = 0;
  windowToLogical(g, 400, 20, x, y);
  EXPECT_EQ(x, 400);
  EXPECT_EQ(y, 0);
  logicalToWindow(g, 0, 599, x, y);
  EXPECT_EQ(y, 619);
  setting(K::WindowWidth) = 1600, setting(K::WindowHeight) = 1200;
  windowToLogical(g, 800, 621, x, y);
  EXPECT_EQ(y, 300);
  logicalToWindow(g, 400, 300, x, y);
  EXPECT_EQ(y, 620);
  g.menuAttached = false;  // the pop-up bar lies over the picture
  windowToLogical(g, 800, 600, x, y);
  EXPECT_EQ(y, 300);
  g.menuAttached = true;
  setting(K::FullScreen) = 1, setting(K::FullMode) = 1;
  EXPECT_EQ(menuStrip(g), 0);
  windowToLogical(g, 960, 540, x, y);
  EXPECT_EQ(y, 300);
}

TEST_F(GeometryTest, KindZeroWithoutTheModeMapsThroughTheMonitor) {
  Geometry g = start(800, 600, 800);
  setting(K::FullScreen) = 1, setting(K::FullMode) = 0;
  g.kind0Width = 1920, g.kind0Height = 1080;
  int x = 0, y = 0;
  windowToLogical(g, 960, 540, x, y);
  EXPECT_EQ(x, 400);
  EXPECT_EQ(y, 300);
}

TEST_F(GeometryTest, HighDisplayRateDividesTheLogicalPoint) {
  Geometry g = start(800, 600, 1600);  // rate 2, logical 1600 x 1200
  setting(K::WindowWidth) = 1000, setting(K::WindowHeight) = 750;
  int x = 0, y = 0;
  windowToLogical(g, 500, 375, x, y);  // (1600 * 500 / 1000) / 2
  EXPECT_EQ(x, 400);
  EXPECT_EQ(y, 300);
  logicalToWindow(g, 400, 300, x, y);  // 2 * (1000 * 400 / 1600)
  EXPECT_EQ(x, 500);
  EXPECT_EQ(y, 374);  // 2 * (300 * 750 / 1200) = 2 * 187
}

TEST_F(GeometryTest, DraggingKeepsTheAspectAndSnapsToThePresets) {
  Geometry g = start(800, 600, 800);
  // A frame around the client: 8 each side, 30 on top.
  g.frameX = 8, g.frameY = 8, g.captionHeight = 22;
  recomputeFrame(g);
  EXPECT_EQ(g.extraW, 16);
  EXPECT_EQ(g.extraH, 38);
  monitorGeometry(g, 0, 0, 1920, 1080, 60);

  // Top-left corner of a too-narrow window: it widens to the left.
  Rect r{100, 100, 100 + 600 + 16, 100 + 600 + 38};
  dragBorder(g, 4, r);
  EXPECT_EQ(r.right, 716);
  EXPECT_EQ(r.left, 716 - 800 - 16);
  EXPECT_EQ(setting(K::WindowWidth), 800);
  EXPECT_EQ(setting(K::WindowHeight), 600);
  EXPECT_EQ(setting(K::ClientLeft), r.left);

  // Below the first preset: exactly the first preset, the bottom-right moving.
  r = {0, 0, 200 + 16, 150 + 38};
  dragBorder(g, 8, r);
  EXPECT_EQ(r, (Rect{0, 0, 400 + 16, 300 + 38}));
  // The right side: the bottom follows.
  r = {0, 0, 1000 + 16, 300 + 38};
  dragBorder(g, 2, r);
  EXPECT_EQ(r.bottom, 750 + 38);
  // Larger than the largest client size: the largest.
  r = {0, 0, 4000, 3000};
  dragBorder(g, 8, r);
  EXPECT_EQ(setting(K::WindowWidth), g.largestWidth);
  EXPECT_EQ(setting(K::WindowHeight), g.largestHeight);
}

TEST_F(GeometryTest, LargestClientFitsTheMonitorWithTheFrame) {
  Geometry g = start(1280, 720, 1280, 1280, 720);
  g.frameX = 8, g.frameY = 8, g.captionHeight = 22;
  recomputeFrame(g);
  monitorGeometry(g, 0, 0, 1280, 720, 60);
  EXPECT_LE(g.largestWidth + g.extraW, 1280);
  EXPECT_LE(g.largestHeight + g.extraH, 720);
  // A window as large as the monitor shrinks to the largest client.
  EXPECT_EQ(setting(K::WindowWidth), g.largestWidth);
}

TEST_F(GeometryTest, OtherSizeChangesCorrectToTheAspect) {
  Geometry g = start(800, 600, 800);
  int w = 1000, h = 600;
  EXPECT_TRUE(correctClientSize(g, w, h));
  EXPECT_EQ(w, 800);
  w = 800, h = 700;
  EXPECT_TRUE(correctClientSize(g, w, h));
  EXPECT_EQ(h, 600);
  w = 800, h = 600;
  EXPECT_FALSE(correctClientSize(g, w, h));
}

TEST_F(GeometryTest, LimitFpsReplacesTheMonitorRate) {
  setting(K::LimitFPS) = 60;
  settingChanged(K::LimitFPS, SettingSource::File);
  Geometry g = start(800, 600, 800);
  EXPECT_EQ(g.refreshP, 50);
  EXPECT_EQ(g.refreshQ, 3);
  setting(K::LimitFPS) = 0;
  monitorGeometry(g, 0, 0, 1920, 1080, 144);
  EXPECT_EQ(g.refreshP, 125);
  EXPECT_EQ(g.refreshQ, 18);
}

}  // namespace
}  // namespace velmora::render
