// The window menu's commands and the two system-menu commands.
#include "base/language.h"
#include "base/settings.h"
#include "platform/window.h"
#include "render/display.h"
#include "render/internal.h"
#include "render/render.h"
#include "render/window/menu.h"
#include "render/window/window_events.h"

namespace velmora::render {
namespace {

using K = SettingKey;

bool windowMode() { return setting(K::FullScreen) == 0; }
bool wallPaperKind() { return setting(K::FullMode) == 2 || setting(K::FullMode) == 3; }

void windowChangeToggled() {
  Geometry& g = geometry();
  const int oldX = g.frameX, oldTop = g.captionTop;
  setting(K::WindowChange) ^= 1;
  platform::setWindowSizing(setting(K::WindowChange) == 0);
  recomputeFrameSizes();
  // The client area stays where it is when the frame thickness changes.
  setting(K::ClientLeft) += oldX - g.frameX;
  setting(K::ClientTop) += oldTop - g.captionTop;
  refreshMonitor();
  if (windowMode()) applyDisplayMode(true, false, true);
}

void presetChosen(int index) {
  const SizePreset& p = geometry().presets[static_cast<size_t>(index)];
  setting(K::WindowWidth) = p.width;
  setting(K::WindowHeight) = p.height;
  refreshMonitor();
  if (windowMode()) applyDisplayMode(true, true, false);
}

void fullModeChosen(int kind) {
  if (setting(K::FullMode) == kind) return;
  setting(K::FullMode) = kind;
  if (!windowMode()) {
    applyDisplayMode(true, true, false);
    if (wallPaperKind()) rebuildWallPaper();
  }
}

void filterChosen(int value) {
  if (setting(K::Interpolation) == value) return;
  setting(K::Interpolation) = value;
  if (!deviceCreated()) return;
  updatePresentGeometry();
  screenChange(true);
  present(0, 0, 0, 0);
}

void vsyncChosen(int value) {
  if (vsyncWait() == value) return;
  setVsyncWait(value);
  if (deviceCreated()) screenChange(true);
}

void aspectChosen(int value) {
  if (setting(K::ScreenAspect) == value) return;
  setting(K::ScreenAspect) = value;
  switchAspect(value);
  ++geometry().aspectCounter;
}

void menuAttachment(bool attachedBefore) {
  Geometry& g = geometry();
  const bool attached = setting(K::WindowMenu) && setting(K::MenuLock1);
  if (attached == attachedBefore) return;
  g.menuAttached = attached;
  recomputeFrameSizes();
  // The picture stays put: a normal window grows or shrinks at its top by the
  // bar; a maximised one keeps its outer size and gives the bar picture rows.
  const int bar = attached ? g.menuHeight : -g.menuHeight;
  if (windowMode() && platform::windowMaximised()) {
    setting(K::WindowHeight) -= bar;
    setting(K::WindowWidth) = static_cast<int>(static_cast<float>(setting(K::WindowHeight)) * g.aspect + 0.5f);
  } else if (windowMode()) {
    setting(K::ClientTop) -= bar;
  }
  refreshMonitor();
  if (windowMode()) applyDisplayMode(true, false, false);
}

// Self-voicing belongs to the text side: the setting's effect starts or
// stops it. A game that voices itself (2) keeps it off.
void toggleSelfVoicing() {
  if (setting(K::SelfVoicing) > 1) return;
  setting(K::SelfVoicing) ^= 1;
  settingChanged(K::SelfVoicing, SettingSource::Command);
}

}  // namespace

void runMenuCommand(int command) {
  if (command == 1 || command == 2) switchFullScreen(command == 2, true);
  else if (command == 3 || command == 4) aspectChosen(command - 3);
  else if (command == 10) windowChangeToggled();
  else if (command >= 11 && command <= 20) presetChosen(command - 11);
  else if (command == 30 || command == 31) setting(K::WindowPos) = command - 30;
  else if (command == 32) setting(K::WindowMost) ^= 1, platform::setTopmost(setting(K::WindowMost) != 0);
  else if (command >= 40 && command <= 44) fullModeChosen(command - 40);
  else if (command >= 50 && command <= 57) filterChosen(command - 50);
  else if (command >= 60 && command <= 62) vsyncChosen(command - 60);
  else if (command == kLanguageCommand || command == kLanguageCommand + 1)
    choosePlayerUiLanguage(static_cast<UiLanguage>(command - kLanguageCommand));
  else if (command == 99) runSystemCommand(2);
  else return;
  const bool shown = (command >= 3 && command <= 4) || (command >= 30 && command <= 62) || command == kLanguageCommand || command == kLanguageCommand + 1;
  if (shown && windowMode() && geometry().menuAttached) rebuildMenu();
  if (command >= 50 && command <= 62 && wallPaperKind()) rebuildWallPaper();
}

void runSystemCommand(int command) {
  const bool attachedBefore = setting(K::WindowMenu) && setting(K::MenuLock1);
  if (command == 1) setting(K::WindowMenu) ^= 1;
  else if (command == 2) setting(K::MenuLock1) ^= 1;
  else if (command == 3) return toggleSelfVoicing();
  else return;
  menuAttachment(attachedBefore);
  if (!menuBarAllowed()) hideMenuBar();
  rebuildMenu();
}

}  // namespace velmora::render
