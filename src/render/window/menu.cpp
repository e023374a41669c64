#include "render/window/menu.h"

#include <string>

#include "base/language.h"
#include "base/settings.h"
#include "base/textconv.h"
#include "render/internal.h"
#include "render/messages.h"
#include "render/window/menu_bar.h"
#include "render/display_settings.h"
#include "base/setting_words.h"

namespace velmora::render {
namespace {

struct MenuState {
  MenuModel model;
  MenuBarState bar;
};
MenuState menuState;

// Radio items of one setting: (command, label) pairs, checked where the
// setting has the item's index.
Submenu radios(const std::string& title, int firstCommand, const std::vector<std::string>& labels, int value) {
  Submenu s{title, {}};
  for (size_t i = 0; i < labels.size(); ++i) {
    const int index = static_cast<int>(i);
    s.items.push_back({firstCommand + index, labels[i], value == index, true, false});
  }
  return s;
}

Submenu screenModeMenu(const Geometry& g) {
  Submenu s = radios(uiText(UiText::ScreenMode), 1, {uiText(UiText::WindowMode), uiText(UiText::FullScreenMode)},
                     fullScreen());
  if (g.aspectChoice == 1) {
    const int aspect = screenAspectValue();
    s.items.push_back({});
    s.items.push_back({3, uiText(UiText::Aspect169), aspect == 0, true, false});
    s.items.push_back({4, uiText(UiText::Aspect43), aspect == 1, true, false});
  }
  return s;
}

Submenu windowSizeMenu(const Geometry& g) {
  Submenu s{uiText(UiText::WindowSize), {}};
  const int w = windowWidth(), h = windowHeight();
  s.items.push_back({10, uiText(UiText::FixedSize) + std::to_string(w) + "x" + std::to_string(h) + ")",
                     windowSizeFixed(), false, false});
  s.items.push_back({});
  for (int i = 0; i < kPresetCount; ++i) {
    const SizePreset& p = g.presets[static_cast<size_t>(i)];
    const bool fits = p.width + g.extraW < g.monitorWidth && p.height + g.extraH < g.monitorHeight;
    if (i >= 2 && !fits) continue;
    s.items.push_back({11 + i, p.label, p.width == w && p.height == h, true, false});
  }
  return s;
}

Submenu windowPositionMenu() {
  Submenu s = radios(uiText(UiText::WindowPosition), 30, {uiText(UiText::CentreOfScreen), uiText(UiText::KeepPosition)},
                     startPositionIndex());
  s.items.push_back({});
  s.items.push_back({32, uiText(UiText::AlwaysOnTop), alwaysOnTop(), false, false});
  return s;
}

Submenu filterMenu(int shaderMajor) {
  std::vector<std::string> labels = {"Driver", "NearestNeighbor", "BiLinear"};
  if (shaderMajor >= 2) labels.insert(labels.end(), {"BiLinearSharp", "Lanczos1", "BiQuad", "BiCubic"});
  if (shaderMajor >= 3) labels.push_back("Lanczos2");
  return radios(uiText(UiText::ScalingFilter), 50, labels, scalingFilterIndex());
}

// The player's language for the engine's own windows; the settings file keeps it.
Submenu languageMenu() {
  return radios(uiText(UiText::LanguageMenu), kLanguageCommand, {sj("日本語"), "English"},
                static_cast<int>(uiLanguage()));
}

MenuFacts deviceFacts() {
  MenuFacts f;
  const DeviceState& d = device();
  if (d.created) f.pixelShaderMajor = d.caps.pixelShaderMajor, f.rasterReadable = d.caps.softwarePacing;
  return f;
}

}  // namespace

MenuModel buildMenu(const Geometry& g, const MenuFacts& facts) {
  MenuModel m;
  m.title = uiText(UiText::ScreenMenu);
  m.submenus.push_back(screenModeMenu(g));
  m.submenus.push_back(windowSizeMenu(g));
  m.submenus.push_back(windowPositionMenu());
  m.submenus.push_back(radios(uiText(UiText::FullScreenKind), 40, {"Full1", "Full2", "Original", "Normal", "Zoom"},
                              fullModeIndex()));
  m.submenus.push_back(filterMenu(facts.pixelShaderMajor));
  Submenu vsync = radios(uiText(UiText::VSyncWait), 60, {uiText(UiText::VSyncOff), "Hardware", "Software"}, static_cast<int>(vsyncWait()));
  vsync.items[2].greyed = !facts.rasterReadable;
  m.submenus.push_back(std::move(vsync));
  m.submenus.push_back(languageMenu());
  m.lockItem = !fullScreen();
  m.lockLabel = sj(menuPinned() ? "×" : "＋");
  return m;
}

const MenuModel& currentMenu() { return menuState.model; }
void rebuildMenu() { menuState.model = buildMenu(geometry(), deviceFacts()); }

SystemMenuState systemMenuState() {
  SystemMenuState s;
  s.showChecked = menuOffered();
  s.lockChecked = menuPinned();
  s.lockGreyed = !menuOffered();
  s.voicingChecked = selfVoicing() == kVoicingOn;
  s.voicingGreyed = selfVoicing() == kVoicingWithheld;
  return s;
}

const MenuBarState& menuBar() { return menuState.bar; }

bool menuBarAllowed() {
  return menuOffered() && (fullScreen() || !menuPinned());
}

void hideMenuBar() {
  menuState.bar.shown = false;
  menuState.bar.state = kBarHidden;
}

void resetMenuBar() { menuState.bar = MenuBarState{}; }

void menuBarPointer(int y) {
  if (!menuBarAllowed()) return hideMenuBar();
  // The pointer opens the bar over the strip it takes; leaving the strip
  // closes it (one Alt opened keeps its opener until hidden).
  if (menuState.bar.shown && y > kMenuBarHeight) {
    if (menuState.bar.state == kBarByPointer) menuState.bar.state = kBarHidden;
    menuState.bar.shown = false;
  } else if (!menuState.bar.shown && menuState.bar.state == kBarHidden && y < kMenuBarHeight) {
    menuState.bar.state = kBarByPointer;
    rebuildMenu();
    menuState.bar.shown = true;
  }
}

void menuBarAlt() {
  if (menuState.bar.shown) return hideMenuBar();
  if (!menuBarAllowed()) return;
  menuState.bar.state = kBarByAlt;
  rebuildMenu();
  menuState.bar.shown = true;
}

}  // namespace velmora::render
