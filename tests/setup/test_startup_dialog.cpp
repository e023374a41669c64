// The start-up settings dialog's rules, without its window.
#include <gtest/gtest.h>

#include <SDL.h>

#include "core/settings.h"
#include "core/state.h"
#include "core/textconv.h"
#include "image/image.h"
#include "platform/platform.h"
#include "platform/window.h"
#include "setup/font.h"
#include "setup/startup_dialog.h"
#include "setup/toolkit.h"

namespace velmora::setup {
namespace {

using core::setting;
using K = core::SettingKey;

class StartupDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    core::resetSettings();
    quitRequest = 0;
  }
  void TearDown() override {
    core::resetSettings();
    quitRequest = 0;
  }
  static MachineFacts machine(int w, int h, long freeMb = 8000, bool first = true) {
    MachineFacts m;
    m.primaryWidth = w, m.primaryHeight = h, m.freeMb = freeMb, m.firstStart = first;
    return m;
  }
  StartupDialog d;
};

TEST_F(StartupDialogTest, NarrowMonitorDisablesPresetsAndFirstStartTakesTheWidestThatFits) {
  setting(K::Resolution) = 1280;
  openDialog(d, 1280, 720, 1920, false, machine(1366, 768));
  EXPECT_TRUE(d.aspectApplies);
  EXPECT_EQ(d.fitWidth, 1365);
  EXPECT_EQ(d.fitHeight, 768);
  for (int i = 0; i < 6; ++i) EXPECT_TRUE(presetEnabled(d, i)) << i;
  for (int i = 6; i < 10; ++i) EXPECT_FALSE(presetEnabled(d, i)) << i;
  EXPECT_EQ(setting(K::Resolution), 1280);
  EXPECT_EQ(setting(K::WindowWidth), 1280);
  // Small presets stay with the player's saved choice.
  setting(K::Resolution) = 640;
  openDialog(d, 800, 450, 1920, false, machine(1024, 600));
  EXPECT_EQ(setting(K::Resolution), 640);
}

TEST_F(StartupDialogTest, LowMemoryKeepsTheResolutionAndTheDesignWidth) {
  setting(K::Resolution) = 960;
  setting(K::WindowWidth) = 1600;
  openDialog(d, 1280, 720, 1920, false, machine(2560, 1440, 1500));
  EXPECT_EQ(setting(K::Resolution), 960);
  EXPECT_EQ(setting(K::WindowWidth), 1280);
  // A resolution that is no preset becomes the design width.
  setting(K::Resolution) = 1000;
  openDialog(d, 1280, 720, 1920, false, machine(2560, 1440, 8000, false));
  EXPECT_EQ(setting(K::Resolution), 1280);
}

TEST_F(StartupDialogTest, LittleVideoMemoryKeepsTheDesignWidthUnknownCountsAsEnough) {
  MachineFacts m = machine(2560, 1440);
  m.videoMb = 128;
  setting(K::Resolution) = 960;
  openDialog(d, 1280, 720, 1920, false, m);
  EXPECT_EQ(setting(K::Resolution), 960);
  EXPECT_EQ(setting(K::WindowWidth), 1280);
  for (long enough : {256L, -1L}) {
    m.videoMb = enough;
    setting(K::Resolution) = 960;
    openDialog(d, 1280, 720, 1920, false, m);
    EXPECT_GT(setting(K::Resolution), 1280) << enough;
    EXPECT_EQ(setting(K::WindowWidth), setting(K::Resolution)) << enough;
  }
}

TEST(MachineFactsTest, VideoMemoryIsAskedWithoutDisturbingTheCurrentContext) {
  ASSERT_TRUE(platform::init());
  const long mib = platform::videoMemoryMb();
  EXPECT_TRUE(mib == -1 || mib > 0) << mib;
  EXPECT_EQ(SDL_GL_GetCurrentContext(), nullptr);
  platform::shutdown();
}

TEST_F(StartupDialogTest, FourThreeCarriesTheResolutionOver) {
  setting(K::Resolution) = 1920;
  openDialog(d, 1280, 720, 1280, false, machine(2560, 1440, 8000, false));
  chooseAspect(d, 1);
  EXPECT_TRUE(d.flags & kRefresh);
  refreshDialog(d, machine(2560, 1440));
  EXPECT_EQ(d.presets[0].width, 400);
  EXPECT_EQ(setting(K::Resolution), 1600);
  setting(K::ScreenAspect) = 0;
  setting(K::Resolution) = 1920;
  openDialog(d, 1280, 720, 1280, false, machine(1920, 1080, 8000, false));
  chooseAspect(d, 1);
  refreshDialog(d, machine(1920, 1080));
  EXPECT_EQ(d.fitWidth, 1440);
  EXPECT_EQ(setting(K::Resolution), 1440);
  // And back: 4:3 widths find their 16:9 neighbours.
  chooseAspect(d, 0);
  setting(K::Resolution) = 1200;
  refreshDialog(d, machine(1920, 1080));
  EXPECT_EQ(setting(K::Resolution), 1280);
  EXPECT_EQ(carryResolution(1366, true, 1200), 1024);
  EXPECT_EQ(carryResolution(480, true, 0), 400);
  EXPECT_EQ(carryResolution(1400, false, 0), 1440);
}

TEST_F(StartupDialogTest, EndAndCloseBoxPutTheOpeningValuesBackAndStartKeepsTheChoices) {
  setting(K::Resolution) = 1280;
  setting(K::Interpolation) = 3;
  openDialog(d, 1280, 720, 1280, false, machine(1920, 1080, 8000, false));
  chooseFullScreen(d, 1);
  chooseResolution(d, 3);
  toggleStartingSetUp(d);
  setting(K::Interpolation) = 5;
  pressEnd(d);
  closeDialog(d);
  EXPECT_NE(quitRequest.load(), 0);
  EXPECT_EQ(setting(K::FullScreen), 0);
  EXPECT_EQ(setting(K::Resolution), 1280);
  EXPECT_EQ(setting(K::StartingSetUp), 1);
  EXPECT_EQ(setting(K::Interpolation), 3);
  quitRequest = 0;
  openDialog(d, 1280, 720, 1280, false, machine(1920, 1080, 8000, false));
  chooseFullScreen(d, 1);
  chooseResolution(d, 3);
  pressStart(d);
  closeDialog(d);
  EXPECT_EQ(quitRequest.load(), 0);
  EXPECT_EQ(setting(K::FullScreen), 1);
  EXPECT_EQ(setting(K::Resolution), 960);
}

TEST_F(StartupDialogTest, FitWindowTurnsTheWindowIntoTheResolution) {
  setting(K::ResolutionWindow) = 1;
  setting(K::Resolution) = 1280;
  openDialog(d, 1280, 720, 1280, false, machine(1920, 1080, 8000, false));
  chooseResolution(d, 8);
  pressStart(d);
  closeDialog(d);
  EXPECT_EQ(setting(K::WindowWidth), 1600);
  EXPECT_EQ(setting(K::WindowHeight), 900);
  // 4:3 mode of the same design.
  setting(K::ScreenAspect) = 1;
  openDialog(d, 1280, 720, 1280, false, machine(1920, 1080, 8000, false));
  pressStart(d);
  closeDialog(d);
  EXPECT_EQ(setting(K::WindowHeight), setting(K::WindowWidth) * 3 / 4);
}

TEST_F(StartupDialogTest, LabelsMarkTheDesignWidthAndDisabledPresetsCannotBeChosen) {
  openDialog(d, 1280, 720, 1920, true, machine(1366, 768, 8000, false));
  EXPECT_EQ(d.presets[5].label, "1280x 720" + sj("(等倍)"));
  EXPECT_EQ(d.presets[9].label, "1920x1080" + sj("(等倍)"));  // the picture width, flag set
  EXPECT_EQ(d.presets[8].label, "1600x 900");
  setting(K::Resolution) = 1280;
  chooseResolution(d, 9);
  EXPECT_EQ(setting(K::Resolution), 1280);
  pressSettingsTool(d);
  EXPECT_EQ(d.flags, kClose | kSettingsTool);
}

TEST(DialogToolkit, MouseAndKeysDriveTheControls) {
  Dialog d;
  d.width = 200, d.height = 100;
  Control a, b, check, button, list;
  a.kind = b.kind = ControlKind::Radio;
  a.id = 100, b.id = 101;
  a.rect = {0, 0, 50, 16}, b.rect = {60, 0, 110, 16};
  check.kind = ControlKind::Check, check.id = 200, check.rect = {0, 20, 50, 36};
  button.kind = ControlKind::Button, button.id = 300, button.rect = {0, 40, 50, 60};
  list.kind = ControlKind::ListBox, list.id = 400, list.rect = {100, 40, 190, 98};
  list.items = {"one", "two", "three"};
  d.controls = {a, b, check, button, list};
  auto click = [&](int x, int y, bool down) {
    WindowMessage m;
    m.message = down ? WM_LBUTTONDOWN : WM_LBUTTONUP;
    m.x = x, m.y = y;
    return dialogInput(d, m);
  };
  EXPECT_EQ(click(70, 5, true), 101);
  EXPECT_TRUE(d.controls[1].checked);
  EXPECT_EQ(click(10, 5, true), 100);
  EXPECT_FALSE(d.controls[1].checked);  // one radio of the group at a time
  EXPECT_EQ(click(10, 25, true), 200);
  EXPECT_TRUE(d.controls[2].checked);
  EXPECT_EQ(click(10, 45, true), -1);  // a button acts on release over it
  EXPECT_EQ(click(150, 45, false), -1);
  click(10, 45, true);
  EXPECT_EQ(click(10, 45, false), 300);
  EXPECT_EQ(click(150, 60, true), 400);
  EXPECT_EQ(d.controls[4].selected, 1);
  WindowMessage key;
  key.message = WM_KEYDOWN;
  key.wParam = 40;
  EXPECT_EQ(dialogInput(d, key), 400);
  EXPECT_EQ(d.controls[4].selected, 2);
  key.wParam = 9;  // Tab wraps to the first radio
  dialogInput(d, key);
  EXPECT_EQ(d.focus, 0);
  key.wParam = 32;
  EXPECT_EQ(dialogInput(d, key), 100);
}

}  // namespace
}  // namespace velmora::setup

namespace velmora::setup {
namespace {

TEST(DialogFont, JapaneseFaceNamesDrawWithAnInstalledFont) {
  ASSERT_TRUE(openFace("ＭＳ ゴシック"));
  EXPECT_EQ(textWidth(sj("起動"), 12), 24);  // two full-width characters
  EXPECT_EQ(textWidth("OK", 12), 12);
  image::Image* im = image::createImage(40, 16, 32);
  for (int i = 0; i < im->count; ++i) im->pixels[i] = 0xFFFFFFFF;
  drawText(*im, 2, 2, sj("終了"), 12, 0xFF000000, {0, 0, 20, 16});
  int inked = 0, outside = 0;
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 40; ++x)
      if (im->pixels[y * 40 + x] != 0xFFFFFFFFu) (x < 20 ? inked : outside)++;
  image::freeImage(im);
  EXPECT_GT(inked, 20);
  EXPECT_EQ(outside, 0);  // clipped to the rectangle
}

}  // namespace
}  // namespace velmora::setup
