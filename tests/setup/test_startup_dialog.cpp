// The start-up settings dialog's rules, without its window.
#include <gtest/gtest.h>

#include <SDL.h>

#include "base/encoding.h"
#include "base/language.h"
#include "base/settings.h"
#include "base/state.h"
#include "base/textconv.h"
#include "image/image.h"
#include "platform/platform.h"
#include "platform/window.h"
#include "setup/advanced_page.h"
#include "setup/font.h"
#include "setup/messages.h"
#include "setup/startup_dialog.h"
#include "setup/toolkit.h"

namespace velmora::setup {
namespace {

using K = SettingKey;

class StartupDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    resetSettings();
    quitRequest = 0;
  }
  void TearDown() override {
    resetSettings();
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

// An English game's dialog: the same model, English labels; the player's
// choice in the settings brings the Japanese back byte for byte.
TEST_F(StartupDialogTest, AnEnglishGameLabelsTheDialogInEnglish) {
  EXPECT_EQ(uiText(UiText::StartupTitle), sj("起動設定"));
  setGameUiLanguage(UiLanguage::English);
  openDialog(d, 1280, 720, 1920, true, machine(1366, 768, 8000, false));
  EXPECT_EQ(d.presets[5].label, "1280x 720(1:1)");
  EXPECT_EQ(uiText(UiText::StartupTitle), "Start-up settings");
  EXPECT_EQ(uiText(UiText::StartButton), "Start");
  EXPECT_EQ(uiText(UiText::Decide), "OK");
  settingText(K::Language) = "ja";
  EXPECT_EQ(uiText(UiText::HighResolutionNote).substr(0, 8), sj("高解像度"));
  setGameUiLanguage(UiLanguage::Japanese);
}

// The advanced page: every numeric key the dialog does not show, stepped in
// the file's unit within its range; cancelling puts the opening values back.
TEST_F(StartupDialogTest, AdvancedPageCoversTheOtherKeysAndStepsWithinTheirRanges) {
  const std::vector<K> elsewhere = {K::StartingSetUp, K::ResolutionWindow, K::Resolution, K::FullScreen, K::ScreenAspect,
                                    K::WindowWidth, K::WindowHeight, K::ClientLeft, K::ClientTop, K::FontFile,
                                    K::FontColor1, K::FontColor2, K::FontColor3, K::CursorFile, K::WallPaper,
                                    K::TextStream, K::Language};
  std::vector<int> seen(kSettingKeyCount, 0);
  for (const AdvancedRow& r : advancedRows()) ++seen[static_cast<size_t>(r.key)];
  for (K k : elsewhere) seen[static_cast<size_t>(k)] += 10;
  for (size_t i = 0; i < seen.size(); ++i) EXPECT_TRUE(seen[i] == 1 || seen[i] == 10) << settingInfo(K(i)).name;

  auto row = [](K key) {
    const auto& rows = advancedRows();
    for (size_t i = 0; i < rows.size(); ++i)
      if (rows[i].key == key) return i;
    return rows.size();
  };
  AdvancedPage page;
  setting(K::SystemActive) = 2;  // the window's activity bit is not the file's
  openAdvancedPage(page);
  stepAdvancedRow(row(K::SystemActive), 1);
  EXPECT_EQ(setting(K::SystemActive), 3);
  stepAdvancedRow(row(K::SystemActive), 1);  // at the top of its range
  EXPECT_EQ(advancedRowText(row(K::SystemActive)), "SystemActive = 1");
  stepAdvancedRow(row(K::CacheMaxSize), 1);
  EXPECT_EQ(setting(K::CacheMaxSize), 16 << 20);
  EXPECT_EQ(advancedRowText(row(K::CacheMaxSize)), "CacheMaxSize = 16");
  stepAdvancedRow(row(K::MaxTextureSize), 1);  // -1, then sizes that double
  stepAdvancedRow(row(K::MaxTextureSize), 1);
  EXPECT_EQ(setting(K::MaxTextureSize), 512);
  stepAdvancedRow(row(K::LimitFPS), -1);
  EXPECT_EQ(setting(K::LimitFPS), 0);
  stepAdvancedRow(row(K::LimitFPS), 1);
  EXPECT_EQ(frameInterval().numerator, 200);  // read as the file would be: 1000 / 5
  stepAdvancedRow(row(K::BgmVolume), -1);
  defaultAdvancedRow(row(K::LimitFPS));
  EXPECT_EQ(setting(K::LimitFPS), 0);
  cancelAdvancedPage(page);
  EXPECT_EQ(setting(K::SystemActive), 2);
  EXPECT_EQ(setting(K::CacheMaxSize), 0);
  EXPECT_EQ(setting(K::MaxTextureSize), -1);
  EXPECT_EQ(setting(K::BgmVolume), 100);
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
    m.message = down ? kMsgLeftDown : kMsgLeftUp;
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
  key.message = kMsgKeyDown;
  key.code = 40;
  EXPECT_EQ(dialogInput(d, key), 400);
  EXPECT_EQ(d.controls[4].selected, 2);
  key.code = 9;  // Tab wraps to the first radio
  dialogInput(d, key);
  EXPECT_EQ(d.focus, 0);
  key.code = 32;
  EXPECT_EQ(dialogInput(d, key), 100);
}

// A list longer than its box scrolls with the selection, the keys and the wheel.
TEST(DialogToolkit, ALongListKeepsTheSelectionInView) {
  Dialog d;
  Control list;
  list.kind = ControlKind::ListBox, list.id = 1, list.rect = {0, 0, 100, 4 + 3 * 14};  // three rows of 12 + 2
  for (int i = 0; i < 10; ++i) list.items.push_back(std::to_string(i));
  d.controls = {list};
  d.focus = 0;
  WindowMessage key;
  key.message = kMsgKeyDown;
  key.code = 40;
  for (int i = 0; i < 4; ++i) dialogInput(d, key);
  EXPECT_EQ(d.controls[0].selected, 3);
  EXPECT_EQ(d.controls[0].first, 1);
  key.code = 34;  // a page down stops at the last row
  dialogInput(d, key), dialogInput(d, key), dialogInput(d, key);
  EXPECT_EQ(d.controls[0].selected, 9);
  EXPECT_EQ(d.controls[0].first, 7);
  WindowMessage click;
  click.message = kMsgLeftDown;
  click.x = 10, click.y = 2 + 14 + 5;  // the second row in view
  dialogInput(d, click);
  EXPECT_EQ(d.controls[0].selected, 8);
  WindowMessage wheel;
  wheel.message = kMsgWheel;
  wheel.x = 10, wheel.y = 10;
  wheel.code = static_cast<uint64_t>(static_cast<uint16_t>(120)) << 16;
  dialogInput(d, wheel);
  EXPECT_EQ(d.controls[0].first, 4);
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

// A Unicode game's own text (menu titles, tooltips, the games to inherit
// from) may hold what code page 932 cannot: Hangul comes from a fallback
// face in full cells, a Latin letter with its accent in a half cell.
TEST(DialogFont, AUnicodeGameDrawsCharactersOutsideCodePage932) {
  setGameEncoding(GameEncoding::Utf8);
  ASSERT_TRUE(openFace("ＭＳ ゴシック"));
  EXPECT_EQ(textWidth("한국 ő", 12), 36);
  EXPECT_EQ(textWidth("起動", 12), 24);  // as in a Shift_JIS game
  image::Image* im = image::createImage(40, 16, 32);
  for (int i = 0; i < im->count; ++i) im->pixels[i] = 0xFFFFFFFF;
  testing::internal::CaptureStdout();
  drawText(*im, 2, 2, "한국", 12, 0xFF000000, {0, 0, 40, 16});
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");  // no character went without a glyph
  int inked = 0;
  for (int i = 0; i < im->count; ++i) inked += im->pixels[i] != 0xFFFFFFFFu;
  image::freeImage(im);
  EXPECT_GT(inked, 40);
  closeFace();
  setGameEncoding(GameEncoding::ShiftJis);
}

}  // namespace
}  // namespace velmora::setup
