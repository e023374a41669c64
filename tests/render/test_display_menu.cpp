// The window menu and the cursor on a running display: the marks follow every
// change of mode, and a picture becomes the cursor.
#include <SDL.h>

#include "platform/message.h"
#include "render/window/cursor_file.h"
#include "render/window/menu.h"
#include "render/window/window_events.h"
#include "scene.h"

namespace velmora::render::test {
namespace {

using K = SettingKey;

class DisplayMenu : public Scene {
 protected:
  void SetUp() override {
    Scene::SetUp();
    setting(K::WindowMenu) = 1;
    setting(K::MenuLock1) = 1;  // attached in window mode
    screen(640, 360);
  }
  static bool checked(size_t submenu, int command) {
    for (const MenuItem& i : currentMenu().submenus[submenu].items)
      if (i.command == command) return i.checked;
    ADD_FAILURE() << "no item " << command;
    return false;
  }
  // The pop-up bar in full screen builds the menu with full-screen marks.
  static void showBarInFullScreen() {
    setting(K::SystemActive) = 3;
    menuBarPointer(5);
    ASSERT_TRUE(menuBar().shown);
    ASSERT_FALSE(currentMenu().lockItem);
    hideMenuBar();
  }
};

TEST_F(DisplayMenu, FullScreenAndBackRebuildsTheAttachedMenu) {
  ASSERT_TRUE(currentMenu().lockItem);
  run("setFullScreen", "1");
  ASSERT_EQ(setting(K::FullScreen), 1);
  showBarInFullScreen();
  EXPECT_TRUE(checked(0, 2));
  run("setFullScreen", "0");
  EXPECT_TRUE(currentMenu().lockItem);
  EXPECT_TRUE(checked(0, 1));
  EXPECT_FALSE(checked(0, 2));
  // Alt+Enter, there and back.
  WindowMessage altEnter;
  altEnter.message = kMsgSystemKeyDown;
  altEnter.code = 13;
  handleWindowEvent(altEnter);
  ASSERT_EQ(setting(K::FullScreen), 1);
  showBarInFullScreen();
  altEnter.message = kMsgSystemKeyDown;
  handleWindowEvent(altEnter);
  ASSERT_EQ(setting(K::FullScreen), 0);
  EXPECT_TRUE(currentMenu().lockItem);
  EXPECT_TRUE(checked(0, 1));
}

TEST_F(DisplayMenu, AspectChangeMovesTheMark) {
  ASSERT_EQ(geometry().aspectChoice, 1);
  EXPECT_TRUE(checked(0, 3));
  run("setScreenAspect", "1");
  EXPECT_TRUE(checked(0, 4));
  EXPECT_FALSE(checked(0, 3));
  runMenuCommand(3);
  EXPECT_TRUE(checked(0, 3));
}

TEST_F(DisplayMenu, APictureBecomesTheCursorAndAnEmptyNameBringsTheArrowBack) {
  savePicture("hand.png", makePicture(8, 6, [](int x, int) { return x < 4 ? 0xFF102030u : 0x40FFFFFFu; }));
  run("setCursor", "\"hand.png\"");
  const CursorFrame* f = customCursor();
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->width, 8);
  EXPECT_EQ(f->height, 6);
  EXPECT_EQ(f->pixels[0], 0xFF102030u);
  EXPECT_EQ(f->pixels[7] >> 24, 0u);  // alpha below 128: see-through
  // A name that cannot be read brings the arrow back too.
  run("setCursor", "\"missing.png\"");
  EXPECT_EQ(customCursor(), nullptr);
  run("setCursor", "\"hand.png\"");
  ASSERT_NE(customCursor(), nullptr);
  run("setCursor", "\"\"");
  EXPECT_EQ(customCursor(), nullptr);
  EXPECT_EQ(SDL_GetCursor(), SDL_GetDefaultCursor());
}

}  // namespace
}  // namespace velmora::render::test
