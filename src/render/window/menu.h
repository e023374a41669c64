#pragma once
// The window menu: its model, rebuilt from the settings whenever a value it
// shows changes, the menu commands 1-99 and the two system-menu commands.
// The engine draws it itself (menu bar overlay); everything here runs
// without drawing.
#include <string>
#include <vector>

#include "render/geometry.h"

namespace velmora::render {

struct MenuItem {
  int command = 0;     // 0 for a separator
  std::string label;   // engine text
  bool checked = false;
  bool radio = false;  // a radio mark rather than a check mark
  bool greyed = false;
};

struct Submenu {
  std::string label;
  std::vector<MenuItem> items;
};

struct MenuModel {
  std::string title;              // "画面"
  std::vector<Submenu> submenus;  // seven, in order; the last the language
  bool lockItem = false;          // window mode: the right-hand item 99
  std::string lockLabel;          // "＋" unlocked, "×" locked
};

// The language items 70 (Japanese) and 71 (English).
constexpr int kLanguageCommand = 70;

// What the menu shows depends on the device too.
struct MenuFacts {
  int pixelShaderMajor = 3;
  bool rasterReadable = false;
};
MenuModel buildMenu(const Geometry& g, const MenuFacts& facts);

// The menu as last rebuilt, and the rebuild (also from the device's facts).
const MenuModel& currentMenu();
void rebuildMenu();

// System-menu items 1 "メニューバー表示", 2 "メニューバー固定" and the
// engine's 3, self-voicing (greyed while the game voices itself).
struct SystemMenuState {
  bool showChecked = false, lockChecked = false, lockGreyed = false;
  bool voicingChecked = false, voicingGreyed = false;
};
SystemMenuState systemMenuState();

void runMenuCommand(int command);
void runSystemCommand(int command);

// The pop-up menu bar: shown only while WindowMenu is set and the menu is not
// attached (full screen, or MenuLock1 0), by the pointer at the top edge or
// by Alt.
enum MenuBarOpener : int { kBarHidden = 0, kBarByPointer = 1, kBarByAlt = 2 };
struct MenuBarState {
  MenuBarOpener state = kBarHidden;
  bool shown = false;
};
const MenuBarState& menuBar();
bool menuBarAllowed();
// A pointer move (client y) over the main window.
void menuBarPointer(int y);
// Alt released.
void menuBarAlt();
void hideMenuBar();
void resetMenuBar();

}  // namespace velmora::render
