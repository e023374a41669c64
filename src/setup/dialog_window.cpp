// The start-up settings dialog's window: controls bound to the model.
#include <cstdio>
#include <sstream>

#include "bindings/browser_limits.h"
#include "base/report.h"
#include "base/settings.h"
#include "base/state.h"
#include "base/textconv.h"
#include "platform/platform.h"
#include "render/messages.h"
#include "setup/advanced_page.h"
#include "setup/messages.h"
#include "setup/startup_dialog.h"
#include "setup/toolkit.h"
#include "render/display_settings.h"

namespace velmora::setup {
namespace {

enum ControlId {
  kGroupMode = 10, kGroupResolution = 11, kWindowRadio = 100, kFullRadio = 101, kFourThree = 200, kSixteenNine = 201,
  kPreset0 = 300, kFitWindow = 400, kNote = 500, kToolButton = 600, kStartButton = 601, kEndButton = 602, kAgain = 700,
};

Control make(ControlKind kind, int id, render::Rect r, const std::string& text = {}) {
  Control c;
  c.kind = kind, c.id = id, c.rect = r, c.text = text;
  return c;
}

render::Rect at(int x, int y, int w, int h) { return {x, y, x + w, y + h}; }

// The labels the dialog shares with the window menu.
const std::string& menuText(render::UiText text) { return render::uiText(text); }

Dialog buildWindow(const StartupDialog& m) {
  Dialog d;
  d.title = uiText(UiText::StartupTitle);
  d.width = 530, d.height = 200;
  // Controls inside a group box are placed relative to it.
  const int gx = 10, gy = 10, rx = 10, ry = 60;
  d.controls.push_back(make(ControlKind::GroupBox, kGroupMode, at(gx, gy, 510, 40), menuText(render::UiText::ScreenMode)));
  d.controls.push_back(make(ControlKind::Radio, kWindowRadio, at(gx + 10, gy + 20, 95, 16), menuText(render::UiText::WindowMode)));
  d.controls.push_back(make(ControlKind::Radio, kFullRadio, at(gx + 110, gy + 20, 120, 16), menuText(render::UiText::FullScreenMode)));
  if (m.aspectApplies) {
    d.controls.push_back(make(ControlKind::Radio, kFourThree, at(gx + 310, gy + 20, 95, 16), uiText(UiText::FourThree)));
    d.controls.push_back(make(ControlKind::Radio, kSixteenNine, at(gx + 410, gy + 20, 95, 16), uiText(UiText::SixteenNine)));
  }
  d.controls.push_back(make(ControlKind::GroupBox, kGroupResolution, at(rx, ry, 510, 110), uiText(UiText::ScreenResolution)));
  for (int i = 0; i < render::kPresetCount; ++i)
    d.controls.push_back(make(ControlKind::Radio, kPreset0 + i, at(rx + (i % 5) * 100 + 10, ry + (i / 5) * 20 + 20, 98, 16)));
  d.controls.push_back(make(ControlKind::Check, kFitWindow, at(rx + 10, ry + 60, 400, 16), uiText(UiText::FitWindow)));
  d.controls.push_back(make(ControlKind::Static, kNote, at(rx + 10, ry + 80, 490, 24), uiText(UiText::HighResolutionNote)));
  d.controls.push_back(make(ControlKind::Button, kToolButton, at(240, 175, 80, 20), uiText(UiText::AdvancedButton)));
  d.controls.push_back(make(ControlKind::Button, kStartButton, at(350, 175, 80, 20), uiText(UiText::StartButton)));
  d.controls.push_back(make(ControlKind::Button, kEndButton, at(440, 175, 80, 20), uiText(UiText::EndButton)));
  d.controls.push_back(make(ControlKind::Check, kAgain, at(10, 180, 225, 16), uiText(UiText::ShowAgain)));
  return d;
}

// The controls show what the settings hold now.
void syncControls(Dialog& d, const StartupDialog& m) {
  for (Control& c : d.controls) {
    if (c.id == kWindowRadio || c.id == kFullRadio) c.checked = render::fullScreenValue() == c.id - kWindowRadio;
    else if (c.id == kFourThree || c.id == kSixteenNine) c.checked = render::screenAspectValue() == (c.id == kFourThree ? 1 : 0);
    else if (c.id >= kPreset0 && c.id < kPreset0 + render::kPresetCount) {
      const int i = c.id - kPreset0;
      c.text = m.presets[static_cast<size_t>(i)].label;
      c.checked = m.presets[static_cast<size_t>(i)].width == render::resolution();
      c.enabled = presetEnabled(m, i);
    } else if (c.id == kFitWindow) c.checked = render::windowFitsResolution();
    else if (c.id == kAgain) c.checked = render::startupDialogWanted();
  }
}

void act(StartupDialog& m, int id) {
  switch (id) {
    case kWindowRadio: chooseFullScreen(m, 0); break;
    case kFullRadio: chooseFullScreen(m, 1); break;
    case kFourThree: chooseAspect(m, 1); break;
    case kSixteenNine: chooseAspect(m, 0); break;
    case kFitWindow: toggleResolutionWindow(m); break;
    case kAgain: toggleStartingSetUp(m); break;
    case kToolButton: pressSettingsTool(m); break;
    case kStartButton: pressStart(m); break;
    case kEndButton: pressEnd(m); break;
    default:
      if (id >= kPreset0 && id < kPreset0 + render::kPresetCount) chooseResolution(m, id - kPreset0);
      break;
  }
}

// --setup-choice full=1,aspect=0,res=1280,fit=1,again=0
void applyChoices(StartupDialog& m, const MachineFacts& facts, const std::string& list) {
  std::istringstream in(list);
  std::string item;
  while (std::getline(in, item, ',')) {
    const size_t eq = item.find('=');
    if (eq == std::string::npos) continue;
    const std::string key = item.substr(0, eq);
    const int value = std::atoi(item.c_str() + eq + 1);
    if (key == "full") chooseFullScreen(m, value);
    else if (key == "aspect") chooseAspect(m, value), refreshDialog(m, facts), m.flags &= ~kRefresh;
    else if (key == "fit" && render::windowFitsResolution() != (value != 0)) toggleResolutionWindow(m);
    else if (key == "again" && render::startupDialogWanted() != (value != 0)) toggleStartingSetUp(m);
    else if (key == "res")
      for (int i = 0; i < render::kPresetCount; ++i)
        if (m.presets[static_cast<size_t>(i)].width == value) chooseResolution(m, i);
  }
}

}  // namespace

void runStartupDialog(int w, int h, int k, bool f) {
  const MachineFacts facts = readMachineFacts();
  StartupDialog m;
  openDialog(m, w, h, k, f, facts);
  Dialog d = buildWindow(m);
  syncControls(d, m);
  DialogLoop loop;
  loop.act = [&](int id) {
    act(m, id);
    syncControls(d, m);
  };
  loop.close = [&] { pressEnd(m); };
  MachineFacts current = facts;
  loop.displayChanged = [&] {
    platform::primaryDisplaySize(current.primaryWidth, current.primaryHeight);
    m.flags |= kRefresh;
  };
  loop.idle = [&] {
    if (!(m.flags & kRefresh)) return;
    refreshDialog(m, current);
    m.flags &= ~kRefresh;
    syncControls(d, m);
  };
  loop.done = [&] { return (m.flags & kClose) != 0 || quitRequest != 0; };
  bool shown = runDialogWindow(d, render::alwaysOnTop(), loop);
  // "詳細設定" opens the engine's own page in place of the dialog, which
  // comes back when the page closes.
  while (shown && (m.flags & kSettingsTool) && !quitRequest) {
    m.flags = 0;
    if (!runAdvancedPage()) showErrorBox("CreateWindow");
    syncControls(d, m);
    shown = runDialogWindow(d, render::alwaysOnTop(), loop);
  }
  // The browser's page has one canvas: the dialog's choices stay as saved.
  if (!shown && bindings::kInBrowser) {
    bindings::reportBrowserLimit("startup", "the start-up dialog");
    applyChoices(m, facts, runOptions().setupChoice);
    pressStart(m);
    closeDialog(m);
    return;
  }
  if (!shown && !runOptions().headless) {
    showErrorBox("CreateWindow");  // the game starts without the dialog
    return;
  }
  if (!shown) {
    // No window to show: the choices and the answer come from the command
    // line; without --answer a headless run starts, as unattended runs expect.
    applyChoices(m, facts, runOptions().setupChoice);
    const bool start = !runOptions().answerGiven || runOptions().answer == platform::kAnswerYes;
    std::fprintf(stderr, "[%s] FullScreen %d, ScreenAspect %d, Resolution %d, ResolutionWindow %d, StartingSetUp %d -> %s\n",
                 gameToUtf8(d.title).c_str(), render::fullScreenValue(), render::screenAspectValue(), render::resolution(),
                 render::windowFitsResolutionValue(), render::startupDialogValue(),
                 gameToUtf8(uiText(start ? UiText::StartButton : UiText::EndButton)).c_str());
    if (start) {
      pressStart(m);
    } else {
      pressEnd(m);
      runOptions().answersEndedGame = true;
    }
  }
  closeDialog(m);
}

}  // namespace velmora::setup
