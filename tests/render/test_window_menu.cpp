// The window menu model, its commands, the window events and cursor files.
#include <gtest/gtest.h>

#include <SDL.h>

#include <algorithm>
#include <cstring>

#include "script/modes.h"
#include "base/language.h"
#include "base/pump.h"
#include "base/settings.h"
#include "base/state.h"
#include "base/textconv.h"
#include "image/image.h"
#include "platform/events.h"
#include "platform/platform.h"
#include "platform/window.h"
#include "render/display.h"
#include "render/geometry.h"
#include "render/input/buttons.h"
#include "render/window/cursor_file.h"
#include "render/window/menu.h"
#include "render/window/menu_bar.h"
#include "render/window/window_events.h"
#include "support/tempdir.h"

namespace velmora::render {
namespace {

using K = SettingKey;

class WindowMenuTest : public ::testing::Test {
 protected:
  void SetUp() override {
    resetSettings();
    script::resetModes();
    resetMenuBar();
    resetCloseRepeat();
    setCloseRequest(0);
    releaseDisplay();  // forgets the modes a previous test applied
    geometry() = Geometry{};
    // Window events and seen counters an earlier suite left behind.
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    render::resetButtons();
  }
  void TearDown() override {
    resetSettings();
    script::resetModes();
    geometry() = Geometry{};
  }
  // A 16:9 design of 1280 x 720 on a monitor of mw x mh with decorations.
  Geometry& start(int mw, int mh) {
    Geometry& g = geometry();
    setting(K::Resolution) = 1280;
    g.monitorWidth = mw, g.monitorHeight = mh, g.monitorRefresh = 60;
    setDisplayRates(g, 1280, 720, 1280);
    screenSizeSetup(g, 1280, 720, true);
    g.frameX = 8, g.frameY = 8, g.captionHeight = 23;
    recomputeFrame(g);
    return g;
  }
  velmora::test::TempDir dir;  // the log of a monitor that cannot be asked goes here
  static std::vector<int> commands(const Submenu& s) {
    std::vector<int> out;
    for (const MenuItem& i : s.items) out.push_back(i.command);
    return out;
  }
};

TEST_F(WindowMenuTest, MenuHoldsSevenSubmenusWithTheirLabelsAndMarks) {
  Geometry& g = start(1920, 1080);
  setting(K::Interpolation) = 2;
  setting(K::WindowMost) = 1;
  setting(K::MenuLock1) = 0;
  const MenuModel m = buildMenu(g, {3, false});
  EXPECT_EQ(m.title, sj("画面"));
  ASSERT_EQ(m.submenus.size(), 7u);
  EXPECT_EQ(m.submenus[0].label, sj("スクリーンモード"));
  EXPECT_EQ(commands(m.submenus[0]), (std::vector<int>{1, 2, 0, 3, 4}));
  EXPECT_EQ(m.submenus[0].items[4].label, sj("アスペクト比  4:3"));
  EXPECT_TRUE(m.submenus[0].items[0].checked);  // window mode
  EXPECT_TRUE(m.submenus[0].items[3].checked);  // 16:9
  EXPECT_EQ(m.submenus[1].items[0].label, sj("サイズ固定(1280x720)"));
  EXPECT_FALSE(m.submenus[1].items[0].radio);
  EXPECT_EQ(m.submenus[2].label, sj("ウィンドウ位置"));
  EXPECT_TRUE(m.submenus[2].items[3].checked);  // 32 topmost
  EXPECT_EQ(commands(m.submenus[3]), (std::vector<int>{40, 41, 42, 43, 44}));
  EXPECT_EQ(commands(m.submenus[4]), (std::vector<int>{50, 51, 52, 53, 54, 55, 56, 57}));
  EXPECT_TRUE(m.submenus[4].items[2].checked);
  EXPECT_EQ(m.submenus[5].items[0].label, sj("同期無効"));
  EXPECT_TRUE(m.submenus[5].items[2].greyed);  // the raster position cannot be read
  EXPECT_TRUE(m.lockItem);
  EXPECT_EQ(m.lockLabel, sj("＋"));
  setting(K::MenuLock1) = 1;
  EXPECT_EQ(buildMenu(g, {3, false}).lockLabel, sj("×"));
}

// The language item switches the menu itself and is kept as a setting; a
// game that chose English is overridden by the player's Japanese.
TEST_F(WindowMenuTest, LanguageItemSwitchesTheMenuAndIsKept) {
  Geometry& g = start(1920, 1080);
  const Submenu japanese = buildMenu(g, {3, false}).submenus.back();
  EXPECT_EQ(japanese.label, sj("Language / 言語"));
  EXPECT_EQ(commands(japanese), (std::vector<int>{kLanguageCommand, kLanguageCommand + 1}));
  EXPECT_TRUE(japanese.items[0].checked);
  runMenuCommand(kLanguageCommand + 1);
  EXPECT_EQ(settingText(K::Language), "en");
  MenuModel m = buildMenu(g, {3, false});
  EXPECT_EQ(m.title, "Screen");
  EXPECT_EQ(m.submenus[0].label, "Screen mode");
  EXPECT_EQ(m.submenus[1].items[0].label, "Fixed size (1280x720)");
  EXPECT_TRUE(m.submenus.back().items[1].checked);
  setGameUiLanguage(UiLanguage::English);
  runMenuCommand(kLanguageCommand);
  EXPECT_EQ(buildMenu(g, {3, false}).submenus[0].label, sj("スクリーンモード"));
  settingText(K::Language).clear();
  EXPECT_EQ(buildMenu(g, {3, false}).submenus[0].label, "Screen mode");
  setGameUiLanguage(UiLanguage::Japanese);
}

TEST_F(WindowMenuTest, SmallMonitorDropsThePresetsThatDoNotFit) {
  Geometry& g = start(1366, 768);
  const std::vector<int> sizes = commands(buildMenu(g, {3, false}).submenus[1]);
  for (int missing : {11 + 6, 11 + 7, 11 + 8, 11 + 9})  // 1366, 1440, 1600, 1920 wide
    EXPECT_EQ(std::count(sizes.begin(), sizes.end(), missing), 0) << missing;
  EXPECT_EQ(sizes[2], 11);
  EXPECT_EQ(sizes[3], 12);
  // The current client size is checked.
  const MenuModel m = buildMenu(g, {3, false});
  for (const MenuItem& i : m.submenus[1].items) {
    if (i.command >= 11) {
      EXPECT_EQ(i.checked, g.presets[static_cast<size_t>(i.command - 11)].width == 1280);
    }
  }
}

TEST_F(WindowMenuTest, ShaderVersionDecidesTheFilterItems) {
  Geometry& g = start(1920, 1080);
  EXPECT_EQ(commands(buildMenu(g, {1, false}).submenus[4]), (std::vector<int>{50, 51, 52}));
  EXPECT_EQ(commands(buildMenu(g, {2, false}).submenus[4]), (std::vector<int>{50, 51, 52, 53, 54, 55, 56}));
  // Without an aspect choice the screen-mode menu has two items.
  Geometry square;
  EXPECT_EQ(commands(buildMenu(square, {3, true}).submenus[0]), (std::vector<int>{1, 2}));
  EXPECT_FALSE(buildMenu(square, {3, true}).submenus[5].items[2].greyed);
}

TEST_F(WindowMenuTest, CommandsChangeSettingsAndRaiseTheCounters) {
  Geometry& g = start(1920, 1080);
  runMenuCommand(4);
  EXPECT_EQ(setting(K::ScreenAspect), 1);
  EXPECT_EQ(g.aspectCounter, 1);
  runMenuCommand(4);
  EXPECT_EQ(g.aspectCounter, 1);  // already in force
  runMenuCommand(31);
  EXPECT_EQ(setting(K::WindowPos), 1);
  runMenuCommand(43);
  EXPECT_EQ(setting(K::FullMode), 3);
  runMenuCommand(51);
  EXPECT_EQ(setting(K::Interpolation), 1);
  runMenuCommand(62);
  EXPECT_EQ(setting(K::VSyncWait), 2);
  runMenuCommand(13);
  EXPECT_EQ(setting(K::WindowWidth), g.presets[2].width);
  EXPECT_EQ(setting(K::WindowHeight), g.presets[2].height);
  runMenuCommand(2);
  EXPECT_EQ(setting(K::FullScreen), 1);
  EXPECT_EQ(g.fullScreenCounter, 1);
  // The event wait reports the two toggles.
  EXPECT_EQ(render::pollEvent(render::WaitMode::Plain), (render::InputEvent{262, 262, 1, {}}));
  EXPECT_EQ(render::pollEvent(render::WaitMode::Plain), (render::InputEvent{258, 258, 1, {}}));
  runMenuCommand(2);
  EXPECT_EQ(g.fullScreenCounter, 1);
}

TEST_F(WindowMenuTest, SystemMenuTogglesTheMenuBarAndItsLock) {
  start(1920, 1080);
  setting(K::WindowMenu) = 1;
  setting(K::MenuLock1) = 0;
  SystemMenuState s = systemMenuState();
  EXPECT_TRUE(s.showChecked);
  EXPECT_FALSE(s.lockChecked);
  runSystemCommand(2);
  EXPECT_EQ(setting(K::MenuLock1), 1);
  EXPECT_TRUE(geometry().menuAttached);
  runMenuCommand(99);
  EXPECT_EQ(setting(K::MenuLock1), 0);
  EXPECT_FALSE(geometry().menuAttached);
  runSystemCommand(1);
  s = systemMenuState();
  EXPECT_FALSE(s.showChecked);
  EXPECT_TRUE(s.lockGreyed);
}

TEST_F(WindowMenuTest, MenuBarDropsInAtTheTopEdgeAndWithAlt) {
  start(1920, 1080);
  setting(K::WindowMenu) = 1;
  setting(K::MenuLock1) = 0;
  menuBarPointer(100);
  EXPECT_FALSE(menuBar().shown);
  menuBarPointer(5);
  EXPECT_TRUE(menuBar().shown);
  EXPECT_EQ(menuBar().state, 1);
  EXPECT_EQ(currentMenu().submenus.size(), 7u);
  menuBarPointer(40);
  EXPECT_FALSE(menuBar().shown);
  menuBarAlt();
  EXPECT_EQ(menuBar().state, 2);
  menuBarAlt();
  EXPECT_FALSE(menuBar().shown);
  EXPECT_EQ(menuBar().state, 0);
  // Locked in window mode the menu is attached, never a pop-up.
  setting(K::MenuLock1) = 1;
  menuBarPointer(5);
  EXPECT_FALSE(menuBar().shown);
  setting(K::FullScreen) = 1;
  menuBarPointer(5);
  EXPECT_TRUE(menuBar().shown);
}

TEST_F(WindowMenuTest, DrawnMenuPicksCommandsAndAltSpaceReachesTheSystemItems) {
  start(1920, 1080);
  setting(K::WindowMenu) = 1;
  setting(K::MenuLock1) = 1;  // attached: always on screen in window mode
  rebuildMenu();
  auto pointer = [](uint32_t type, const Rect& r) {
    WindowMessage m;
    m.message = type;
    m.x = (r.left + r.right) / 2, m.y = (r.top + r.bottom) / 2;
    return menuBarInput(m, 800);
  };
  MenuBarLayout l = menuBarLayout(800);
  EXPECT_TRUE(pointer(kMsgLeftUp, l.title));
  l = menuBarLayout(800);
  ASSERT_EQ(l.submenuRows.size(), 7u);
  EXPECT_TRUE(pointer(kMsgMouseMove, l.submenuRows[2]));  // window position
  l = menuBarLayout(800);
  ASSERT_EQ(l.itemRows.size(), 4u);
  EXPECT_TRUE(pointer(kMsgLeftUp, l.itemRows[1]));  // 31 keep coordinates
  EXPECT_EQ(setting(K::WindowPos), 1);
  EXPECT_FALSE(menuBarInteraction().dropdown);
  // With the menu bar switched off, Alt+Space still opens the system items.
  setting(K::WindowMenu) = 0;
  EXPECT_FALSE(menuBarVisible());
  WindowMessage m;
  m.message = kMsgSystemKeyDown;
  m.code = 32;
  handleWindowEvent(m);
  EXPECT_TRUE(menuBarVisible());
  l = menuBarLayout(800);
  ASSERT_EQ(l.systemRows.size(), 3u);
  EXPECT_TRUE(systemMenuItems()[1].greyed);
  EXPECT_TRUE(pointer(kMsgLeftUp, l.systemRows[0]));
  EXPECT_EQ(setting(K::WindowMenu), 1);
  EXPECT_TRUE(menuBarVisible());  // attached again
}

TEST_F(WindowMenuTest, TabAndShiftReleasesToggleSkipAndAuto) {
  script::readingModes().currentBlockRead = 1;
  WindowMessage m;
  m.message = kMsgKeyUp;
  m.code = 16;
  handleWindowEvent(m);
  EXPECT_EQ(script::readingModes().autoMode, 1);
  m.code = 9;
  handleWindowEvent(m);
  EXPECT_EQ(script::readingModes().skip, 1);
  EXPECT_EQ(script::readingModes().autoMode, 0);
}

TEST_F(WindowMenuTest, PopUpBarGoesWhenThePointerLeavesOrTheWindowLosesFocus) {
  start(1920, 1080);
  setting(K::WindowMenu) = 1;
  setting(K::MenuLock1) = 0;
  ASSERT_TRUE(platform::init());
  SDL_Event e{};
  e.type = SDL_WINDOWEVENT;
  e.window.event = SDL_WINDOWEVENT_LEAVE;
  SDL_PushEvent(&e);
  WindowMessage left;
  ASSERT_TRUE(platform::pollMessage(left));
  EXPECT_EQ(left.message, static_cast<uint32_t>(kMsgCursorRequest));
  EXPECT_EQ(left.packed & 0xFFFF, kHitBorder);
  menuBarPointer(5);
  ASSERT_TRUE(menuBar().shown);
  handleWindowEvent(left);
  EXPECT_FALSE(menuBar().shown);
  EXPECT_EQ(menuBar().state, 0);
  menuBarAlt();
  ASSERT_TRUE(menuBar().shown);
  WindowMessage blur;
  blur.message = kMsgFocusLost;
  handleWindowEvent(blur);
  EXPECT_FALSE(menuBar().shown);
  EXPECT_FALSE(menuBarVisible());
  // Locked in window mode the menu is attached and stays where it is.
  setting(K::MenuLock1) = 1;
  handleWindowEvent(left);
  EXPECT_TRUE(menuBarVisible());
  platform::shutdown();
}

TEST_F(WindowMenuTest, OpeningTheDrawnMenuShowsTheMarksInForce) {
  start(1920, 1080);
  setting(K::WindowMenu) = 1;
  setting(K::MenuLock1) = 1;
  rebuildMenu();
  setting(K::WindowPos) = 1;  // changed behind the menu's back
  WindowMessage m;
  m.message = kMsgLeftUp;
  const Rect title = menuBarLayout(800).title;
  m.x = (title.left + title.right) / 2, m.y = (title.top + title.bottom) / 2;
  ASSERT_TRUE(menuBarInput(m, 800));
  ASSERT_TRUE(menuBarInteraction().dropdown);
  EXPECT_TRUE(currentMenu().submenus[2].items[1].checked);
  EXPECT_FALSE(currentMenu().submenus[2].items[0].checked);
  closeMenuDropdown();
}

TEST_F(WindowMenuTest, SizeCommandsRebuildTheAttachedMenu) {
  Geometry& g = start(1920, 1080);
  setting(K::WindowMenu) = 1;
  setting(K::MenuLock1) = 1;
  g.menuAttached = true;
  rebuildMenu();
  auto checkedSize = [] {
    for (const MenuItem& i : currentMenu().submenus[1].items)
      if (i.command >= 11 && i.checked) return i.command;
    return 0;
  };
  runMenuCommand(13);
  EXPECT_EQ(checkedSize(), 13);
  runMenuCommand(11);
  EXPECT_EQ(checkedSize(), 11);
  runMenuCommand(10);
  EXPECT_TRUE(currentMenu().submenus[1].items[0].checked);
}

bool busy = true;

TEST_F(WindowMenuTest, AltEnterWaitsForASoftMaskTransition) {
  start(1920, 1080);
  setTransitionBusy([] { return busy; });
  WindowMessage m;
  m.message = kMsgSystemKeyDown;
  m.code = 13;
  handleWindowEvent(m);
  EXPECT_EQ(setting(K::FullScreen), 0);
  EXPECT_EQ(m.message, static_cast<uint32_t>(kMsgNone));
  busy = false;
  m.message = kMsgSystemKeyDown;
  handleWindowEvent(m);
  EXPECT_EQ(setting(K::FullScreen), 1);
  EXPECT_EQ(geometry().fullScreenCounter, 1);
  setTransitionBusy(nullptr);
}

TEST_F(WindowMenuTest, CloseWhileMinimisedReportsOneAndKeepsTheWindow) {
  ASSERT_TRUE(platform::init());
  std::string error;
  ASSERT_TRUE(platform::createMainWindow("close test", true, error)) << error;
  platform::showMainWindow();
  WindowMessage m;
  m.message = kMsgClose;
  handleWindowEvent(m);
  EXPECT_EQ(render::pollEvent(render::WaitMode::Plain), (render::InputEvent{261, 261, 0, {}}));
  platform::minimiseMainWindow();
  if (platform::windowMinimised()) {
    resetCloseRepeat();  // not a repeat: the engine would step in
    handleWindowEvent(m);
    EXPECT_EQ(render::pollEvent(render::WaitMode::Plain), (render::InputEvent{261, 261, 1, {}}));
  }
  EXPECT_TRUE(platform::mainWindowExists());
  platform::destroyMainWindow();
  platform::shutdown();
}

// Esc closes an open menu, and the game sees neither its press nor its
// release; with no menu open it is the game's key.
TEST_F(WindowMenuTest, EscClosesAnOpenMenuAndKeepsTheKeyFromTheGame) {
  start(1920, 1080);
  openSystemMenu();
  ASSERT_TRUE(menuBarInteraction().dropdown);
  WindowMessage m;
  m.message = kMsgKeyDown;
  m.code = 27;
  handleWindowEvent(m);
  EXPECT_EQ(m.message, static_cast<uint32_t>(kMsgNone));
  EXPECT_FALSE(menuBarInteraction().dropdown);
  m.message = kMsgKeyUp;
  handleWindowEvent(m);
  EXPECT_EQ(m.message, static_cast<uint32_t>(kMsgNone));
  m.message = kMsgKeyDown;
  handleWindowEvent(m);
  EXPECT_EQ(m.message, static_cast<uint32_t>(kMsgKeyDown));
}

// The script answers a close request; a second one within seconds is the
// engine's: it asks, and yes ends the game (no leaves it running).
TEST_F(WindowMenuTest, ASecondCloseSoonAfterAsksAndEndsTheGame) {
  RunOptions& o = runOptions();
  const RunOptions kept = o;
  o.headless = true;
  WindowMessage m;
  for (int answer : {platform::kAnswerNo, platform::kAnswerYes}) {
    o.answer = answer;
    resetCloseRepeat();
    m.message = kMsgClose;
    handleWindowEvent(m);
    EXPECT_EQ(closeRequest(), 1);
    setCloseRequest(0);  // taken by the script, which did nothing
    m.message = kMsgClose;
    handleWindowEvent(m);
    EXPECT_EQ(closeRequest(), 0);
    EXPECT_EQ(quitRequest.load(), answer == platform::kAnswerYes ? 1 : 0);
  }
  quitRequest = 0;
  o = kept;
}

// A 2 x 2 32-bit .cur: hot spot (1, 0); the mask clears the bottom-right pixel.
std::string tinyCursor(uint8_t hotX, uint8_t hotY, uint32_t colour) {
  std::string dib(40, '\0');
  auto put32 = [](std::string& s, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>(v >> (8 * i));
  };
  put32(dib, 0, 40), put32(dib, 4, 2), put32(dib, 8, 4);
  dib[12] = 1, dib[14] = 32;
  for (int i = 0; i < 4; ++i) dib += std::string(reinterpret_cast<const char*>(&colour), 4);
  dib += std::string("\x40\0\0\0\0\0\0\0", 8);  // bottom row first: its right pixel masked
  std::string file("\0\0\2\0\1\0", 6);
  std::string entry(16, '\0');
  entry[0] = 2, entry[1] = 2, entry[4] = static_cast<char>(hotX), entry[6] = static_cast<char>(hotY);
  put32(entry, 8, static_cast<uint32_t>(dib.size()));
  put32(entry, 12, 22);
  return file + entry + dib;
}

TEST(CursorFiles, CurFileGivesPixelsMaskAndHotSpot) {
  const std::string cur = tinyCursor(1, 0, 0x00336699);
  CursorFrame f;
  ASSERT_TRUE(parseCursor(reinterpret_cast<const uint8_t*>(cur.data()), cur.size(), f));
  EXPECT_EQ(f.width, 2);
  EXPECT_EQ(f.height, 2);
  EXPECT_EQ(f.hotX, 1);
  EXPECT_EQ(f.pixels[0], 0xFF336699u);
  EXPECT_EQ(f.pixels[3], 0x00336699u);  // masked: see-through
  for (size_t cut = 0; cut < cur.size(); ++cut)
    EXPECT_FALSE(parseCursor(reinterpret_cast<const uint8_t*>(cur.data()), cut, f)) << cut;
}

TEST(CursorFiles, AnimatedCursorPlaysItsSequenceAtItsRates) {
  auto chunk = [](const char* id, const std::string& body) {
    std::string s(id, 4);
    uint32_t n = static_cast<uint32_t>(body.size());
    s += std::string(reinterpret_cast<const char*>(&n), 4) + body;
    if (n & 1) s += '\0';
    return s;
  };
  std::string anih(36, '\0');
  anih[28] = 6;  // default rate: 6 jiffies
  std::string frames = "fram" + chunk("icon", tinyCursor(0, 0, 0x111111)) + chunk("icon", tinyCursor(0, 0, 0x222222));
  std::string seq("\1\0\0\0\0\0\0\0\1\0\0\0", 12);
  std::string rate("\3\0\0\0", 4);
  std::string body = "ACON" + chunk("anih", anih) + chunk("seq ", seq) + chunk("rate", rate) + chunk("LIST", frames);
  std::string file = chunk("RIFF", body);
  std::vector<CursorFrame> out;
  ASSERT_TRUE(parseAnimatedCursor(reinterpret_cast<const uint8_t*>(file.data()), file.size(), out));
  ASSERT_EQ(out.size(), 3u);
  EXPECT_EQ(out[0].pixels[0] & 0xFFFFFF, 0x222222u);
  EXPECT_EQ(out[1].pixels[0] & 0xFFFFFF, 0x111111u);
  EXPECT_EQ(out[0].durationMs, 50u);   // 3 jiffies
  EXPECT_EQ(out[1].durationMs, 100u);  // the default 6
  file[file.size() - 3] ^= 0x7F;       // a damaged last frame is dropped, not read past
  EXPECT_TRUE(parseAnimatedCursor(reinterpret_cast<const uint8_t*>(file.data()), file.size() - 20, out) || out.size() <= 3);
}

TEST(CursorFiles, PictureCursorIsSeeThroughBelowAlpha128) {
  image::Image* im = image::createImage(2, 1, 32);
  im->pixels[0] = 0x7F112233;
  im->pixels[1] = 0x80445566;
  const CursorFrame f = cursorFromPicture(*im);
  image::freeImage(im);
  EXPECT_EQ(f.pixels[0], 0x00112233u);
  EXPECT_EQ(f.pixels[1], 0xFF445566u);
  EXPECT_EQ(f.hotX, 0);
  EXPECT_EQ(f.hotY, 0);
}

}  // namespace
}  // namespace velmora::render
