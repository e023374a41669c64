#pragma once
// The start-up settings dialog that `screen` shows before the display
// starts: window or full screen, 4:3 or 16:9, the resolution, then start,
// end, or open the advanced page. The model below is the whole
// algorithm; the window draws it and feeds it the player's choices.
#include <array>
#include <cstdint>
#include <string>

#include "render/geometry.h"

namespace velmora::setup {

// What the machine says, gathered once when the dialog opens.
struct MachineFacts {
  int primaryWidth = 1920, primaryHeight = 1080;
  long freeMb = -1;   // -1: unknown, taken as enough
  long videoMb = -1;  // from the GL driver; -1: unknown, taken as enough
  bool firstStart = false;  // no settings file yet
};
MachineFacts readMachineFacts();

enum DialogFlags { kRefresh = 1, kClose = 2, kSettingsTool = 4 };

struct StartupDialog {
  int designWidth = 0, designHeight = 0, pictureWidth = 0;
  bool pictureFlag = false;
  bool aspectApplies = false;
  std::array<render::SizePreset, render::kPresetCount> presets{};
  int fitWidth = 0, fitHeight = 0;
  int flags = 0;
  // FullScreen, ScreenAspect, Resolution, Interpolation, StartingSetUp as
  // they were at opening.
  std::array<int32_t, 5> saved{};
};

void openDialog(StartupDialog& d, int w, int h, int k, bool f, const MachineFacts& facts);
void refreshDialog(StartupDialog& d, const MachineFacts& facts);
bool presetEnabled(const StartupDialog& d, int index);

// The controls' actions.
void chooseFullScreen(StartupDialog& d, int value);
void chooseAspect(StartupDialog& d, int value);
void chooseResolution(StartupDialog& d, int index);
void toggleResolutionWindow(StartupDialog& d);
void toggleStartingSetUp(StartupDialog& d);
void pressSettingsTool(StartupDialog& d);
void pressStart(StartupDialog& d);
void pressEnd(StartupDialog& d);  // also the close box
// Closing steps: the saved values back on quit, and the window size.
// ("詳細設定" closes the dialog only to show the advanced page; the dialog
// then opens again.)
void closeDialog(StartupDialog& d);

// A Resolution carried over to the preset table now in use.
int carryResolution(int resolution, bool fourThreeTable, int fitWidth);

// Shows the dialog and runs its loop (headless: --answer and --setup-choice).
void runStartupDialog(int w, int h, int k, bool f);

}  // namespace velmora::setup
