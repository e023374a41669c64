#pragma once
// Where the drawn menu bar and its drop-downs lie (window-client pixels) and
// how pointer input opens them and picks commands. Text is measured at 6
// pixels per byte of engine text: the menu's face is monospaced at 12 pixels.
#include <string>
#include <vector>

#include "platform/message.h"
#include "render/geometry.h"
#include "render/window/menu.h"

namespace velmora::render {

constexpr int kMenuBarHeight = 20;
constexpr int kMenuFontHeight = 12;
constexpr int kMenuItemHeight = 20;

inline int menuTextWidth(const std::string& sjis) { return static_cast<int>(sjis.size()) * (kMenuFontHeight / 2); }

struct MenuBarLayout {
  Rect bar, title, lock;        // lock is empty in full screen
  Rect dropdown;                // the six submenus, when open
  std::vector<Rect> submenuRows;
  std::vector<Rect> systemRows;  // "メニューバー表示", "メニューバー固定"
  Rect items;                   // the open submenu's items
  std::vector<Rect> itemRows;   // one per item (separators too)
};

struct MenuBarInteraction {
  bool dropdown = false;
  int submenu = -1;  // open submenu
  int hotItem = -1;  // item under the pointer in the open submenu
  bool forced = false;  // opened by Alt+Space: shown even where the bar is not
};
const MenuBarInteraction& menuBarInteraction();

// Whether the bar is on screen: the pop-up, or the attached menu in window mode.
bool menuBarVisible();
MenuBarLayout menuBarLayout(int windowWidth);

// Pointer messages over a visible bar; true when the bar took the message.
bool menuBarInput(const WindowMessage& m, int windowWidth);
void closeMenuDropdown();
// Alt+Space: the drop-down with the two system-menu items, also while
// WindowMenu is off (the only way back to the bar then).
void openSystemMenu();
// The two system-menu items as the drop-down shows them.
std::vector<MenuItem> systemMenuItems();

}  // namespace velmora::render
