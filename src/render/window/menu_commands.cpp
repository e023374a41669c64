// The window menu's commands and the two system-menu commands.
#include "base/language.h"
#include "base/settings.h"
#include "platform/window.h"
#include "render/display.h"
#include "render/internal.h"
#include "render/render.h"
#include "render/window/menu.h"
#include "render/window/window_events.h"
#include "render/display_settings.h"
#include "base/setting_words.h"

namespace velmora::render {
namespace {

using K = SettingKey;


void windowChangeToggled() {
  Geometry& g = geometry();
  const int oldX = g.frameX, oldTop = g.captionTop;
  toggleWindowSizeFixed();
  platform::setWindowSizing(!windowSizeFixed());
  recomputeFrameSizes();
  // The client area stays where it is when the frame thickness changes.
  setClientPosition(clientLeft() + oldX - g.frameX, clientTop() + oldTop - g.captionTop);
  refreshMonitor();
  if (!fullScreen()) applyDisplayMode(true, false, true);
}

void presetChosen(int index) {
  const SizePreset& p = geometry().presets[static_cast<size_t>(index)];
  setWindowWidth(p.width);
  setWindowHeight(p.height);
  refreshMonitor();
  if (!fullScreen()) applyDisplayMode(true, true, false);
}

void fullModeChosen(int kind) {
  if (fullModeIndex() == kind) return;
  setFullMode(kind);
  if (fullScreen()) {
    applyDisplayMode(true, true, false);
    if (wallPaperMode()) rebuildWallPaper();
  }
}

void filterChosen(int value) {
  if (scalingFilterIndex() == value) return;
  setScalingFilter(static_cast<ScalingFilter>(value));
  if (!deviceCreated()) return;
  updatePresentGeometry();
  screenChange(true);
  present(0, 0, 0, 0);
}

void vsyncChosen(VSyncWait value) {
  if (vsyncWait() == value) return;
  setVsyncWait(value);
  if (deviceCreated()) screenChange(true);
}

void aspectChosen(int value) {
  if (screenAspectValue() == value) return;
  setScreenAspect(value);
  switchAspect(value);
  ++geometry().aspectCounter;
}

void menuAttachment(bool attachedBefore) {
  Geometry& g = geometry();
  const bool attached = menuOffered() && menuPinned();
  if (attached == attachedBefore) return;
  g.menuAttached = attached;
  recomputeFrameSizes();
  // The picture stays put: a normal window grows or shrinks at its top by the
  // bar; a maximised one keeps its outer size and gives the bar picture rows.
  const int bar = attached ? g.menuHeight : -g.menuHeight;
  if (!fullScreen() && platform::windowMaximised()) {
    setWindowHeight(windowHeight() - bar);
    setWindowWidth(static_cast<int>(static_cast<float>(windowHeight()) * g.aspect + 0.5f));
  } else if (!fullScreen()) {
    setClientTop(clientTop() - bar);
  }
  refreshMonitor();
  if (!fullScreen()) applyDisplayMode(true, false, false);
}

// Self-voicing belongs to the text side: the setting's effect starts or
// stops it. A game that voices itself (2) keeps it off.
void switchSelfVoicing() {
  if (!toggleSelfVoicing()) return;
  settingChanged(K::SelfVoicing, SettingSource::Command);
}

}  // namespace

void runMenuCommand(int command) {
  if (command == 1 || command == 2) switchFullScreen(command == 2, true);
  else if (command == 3 || command == 4) aspectChosen(command - 3);
  else if (command == 10) windowChangeToggled();
  else if (command >= 11 && command <= 20) presetChosen(command - 11);
  else if (command == 30 || command == 31) setStartPosition(static_cast<StartPosition>(command - 30));
  else if (command == 32) toggleAlwaysOnTop(), platform::setTopmost(alwaysOnTop());
  else if (command >= 40 && command <= 44) fullModeChosen(command - 40);
  else if (command >= 50 && command <= 57) filterChosen(command - 50);
  else if (command >= 60 && command <= 62) vsyncChosen(static_cast<VSyncWait>(command - 60));
  else if (command == kLanguageCommand || command == kLanguageCommand + 1)
    choosePlayerUiLanguage(static_cast<UiLanguage>(command - kLanguageCommand));
  else if (command == 99) runSystemCommand(2);
  else return;
  const bool shown = (command >= 3 && command <= 4) || (command >= 30 && command <= 62) || command == kLanguageCommand || command == kLanguageCommand + 1;
  if (shown && !fullScreen() && geometry().menuAttached) rebuildMenu();
  if (command >= 50 && command <= 62 && wallPaperMode()) rebuildWallPaper();
}

void runSystemCommand(int command) {
  const bool attachedBefore = menuOffered() && menuPinned();
  if (command == 1) toggleMenuOffered();
  else if (command == 2) toggleMenuPinned();
  else if (command == 3) return switchSelfVoicing();
  else return;
  menuAttachment(attachedBefore);
  if (!menuBarAllowed()) hideMenuBar();
  rebuildMenu();
}

}  // namespace velmora::render
