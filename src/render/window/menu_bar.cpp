#include "render/window/menu_bar.h"

#include <algorithm>

#include "base/language.h"
#include "base/settings.h"
#include "base/textconv.h"
#include "platform/window.h"
#include "render/messages.h"
#include "render/display_settings.h"

namespace velmora::render {
namespace {

MenuBarInteraction barInteraction;

bool inside(const Rect& r, int x, int y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }

int widestLabel(const std::vector<std::string>& labels) {
  int w = 0;
  for (const std::string& l : labels) w = std::max(w, menuTextWidth(l));
  return w;
}

void pick(const MenuItem& item) {
  closeMenuDropdown();
  // A pop-up bar goes away once a command is chosen.
  if (menuBar().shown) hideMenuBar();
  runMenuCommand(item.command);
}

}  // namespace

const MenuBarInteraction& menuBarInteraction() { return barInteraction; }

bool menuBarVisible() {
  const bool attached = !platform::kWindowIsCanvas && !fullScreen() && menuOffered() &&
                        menuPinned();
  return barInteraction.forced || menuBar().shown || attached;
}

void closeMenuDropdown() { barInteraction = MenuBarInteraction{}; }

void openSystemMenu() {
  rebuildMenu();
  barInteraction = MenuBarInteraction{};
  barInteraction.dropdown = barInteraction.forced = true;
}

std::vector<MenuItem> systemMenuItems() {
  const SystemMenuState s = systemMenuState();
  return {{1001, uiText(UiText::ShowMenuBar), s.showChecked, false, false},
          {1002, uiText(UiText::LockMenuBar), s.lockChecked, false, s.lockGreyed},
          {1003, uiText(UiText::ReadAloud), s.voicingChecked, false, s.voicingGreyed}};
}

MenuBarLayout menuBarLayout(int windowWidth) {
  const MenuModel& m = currentMenu();
  MenuBarLayout l;
  l.bar = {0, 0, windowWidth, kMenuBarHeight};
  int right = windowWidth;
  if (m.lockItem) {
    l.lock = {right - menuTextWidth(m.lockLabel) - 16, 0, right, kMenuBarHeight};
    right = l.lock.left;
  }
  l.title = {right - menuTextWidth(m.title) - 16, 0, right, kMenuBarHeight};
  if (!barInteraction.dropdown) return l;
  std::vector<std::string> labels;
  for (const Submenu& s : m.submenus) labels.push_back(s.label);
  const int w = widestLabel(labels) + 40;
  l.dropdown = {std::max(0, l.title.right - w), kMenuBarHeight, 0, 0};
  l.dropdown.right = l.dropdown.left + w;
  for (size_t i = 0; i < m.submenus.size(); ++i) {
    const int top = kMenuBarHeight + static_cast<int>(i) * kMenuItemHeight;
    l.submenuRows.push_back({l.dropdown.left, top, l.dropdown.right, top + kMenuItemHeight});
  }
  l.dropdown.bottom = kMenuBarHeight + static_cast<int>(m.submenus.size()) * kMenuItemHeight + 7;
  for (size_t i = 0; i < systemMenuItems().size(); ++i) {
    l.systemRows.push_back({l.dropdown.left, l.dropdown.bottom, l.dropdown.right, l.dropdown.bottom + kMenuItemHeight});
    l.dropdown.bottom += kMenuItemHeight;
  }
  if (barInteraction.submenu < 0 || barInteraction.submenu >= static_cast<int>(m.submenus.size())) return l;
  const Submenu& s = m.submenus[static_cast<size_t>(barInteraction.submenu)];
  labels.clear();
  for (const MenuItem& item : s.items) labels.push_back(item.label);
  const int iw = widestLabel(labels) + 40;
  // The drop-down hangs at the right edge, so its submenus open to the left.
  const int top = l.submenuRows[static_cast<size_t>(barInteraction.submenu)].top;
  l.items = {std::max(0, l.dropdown.left - iw), top, 0, top};
  l.items.right = l.items.left + iw;
  for (const MenuItem& item : s.items) {
    const int h = item.command ? kMenuItemHeight : 7;
    l.itemRows.push_back({l.items.left, l.items.bottom, l.items.right, l.items.bottom + h});
    l.items.bottom += h;
  }
  return l;
}

bool menuBarInput(const WindowMessage& m, int windowWidth) {
  if (!menuBarVisible()) return false;
  const bool move = m.message == kMsgMouseMove, up = m.message == kMsgLeftUp;
  if (!move && !up && m.message != kMsgLeftDown) return false;
  const MenuBarLayout l = menuBarLayout(windowWidth);
  const int x = m.x, y = m.y;
  for (size_t i = 0; i < l.itemRows.size(); ++i) {
    if (!inside(l.itemRows[i], x, y)) continue;
    const MenuItem& item = currentMenu().submenus[static_cast<size_t>(barInteraction.submenu)].items[i];
    barInteraction.hotItem = static_cast<int>(i);
    if (up && item.command && !item.greyed) pick(item);
    return true;
  }
  for (size_t i = 0; i < l.systemRows.size(); ++i) {
    if (!inside(l.systemRows[i], x, y)) continue;
    barInteraction.submenu = -1;
    const MenuItem item = systemMenuItems()[i];
    if (up && !item.greyed) closeMenuDropdown(), runSystemCommand(item.command - 1000);
    return true;
  }
  for (size_t i = 0; i < l.submenuRows.size(); ++i) {
    if (!inside(l.submenuRows[i], x, y)) continue;
    if (barInteraction.submenu != static_cast<int>(i)) barInteraction.hotItem = -1;
    barInteraction.submenu = static_cast<int>(i);
    return true;
  }
  if (inside(l.bar, x, y)) {
    if (up && inside(l.title, x, y)) {
      // The marks follow whatever changed the settings since the bar was built.
      if (!barInteraction.dropdown) rebuildMenu();
      barInteraction.dropdown = !barInteraction.dropdown, barInteraction.submenu = -1, barInteraction.forced = barInteraction.forced && barInteraction.dropdown;
    } else if (up && inside(l.lock, x, y)) closeMenuDropdown(), runMenuCommand(99);
    return true;
  }
  // A click elsewhere closes an open drop-down and goes no further.
  if (barInteraction.dropdown && !move) {
    if (up) closeMenuDropdown();
    return true;
  }
  return false;
}

}  // namespace velmora::render
