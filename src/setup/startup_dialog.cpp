#include "setup/startup_dialog.h"

#include <filesystem>
#include <fstream>
#include <numeric>

#include "base/settings.h"
#include "base/state.h"
#include "base/textconv.h"
#include "platform/platform.h"
#include "platform/window.h"
#include "render/messages.h"
#include "save/settings_file.h"
#include "render/display_settings.h"

namespace velmora::setup {
namespace {

using K = SettingKey;

constexpr K kSavedKeys[5] = {K::FullScreen, K::ScreenAspect, K::Resolution, K::Interpolation, K::StartingSetUp};

void ratioOf(int w, int h, int& rw, int& rh) {
  int g = std::gcd(w, h);
  if (g == 0) g = 1;
  rw = w / g, rh = h / g;
}

void computePresets(StartupDialog& d) {
  int rw = 0, rh = 0;
  ratioOf(d.designWidth, d.designHeight, rw, rh);
  d.aspectApplies = rw == 16 && rh == 9;
  d.presets = render::presetsFor(d.designWidth, d.designHeight, d.aspectApplies && render::screenAspect() == render::Aspect::FourThree);
  render::formatPresetLabels(d.presets, -1);
  for (render::SizePreset& p : d.presets)
    if (p.width == d.designWidth || (d.pictureFlag && p.width == d.pictureWidth)) p.label += render::uiText(render::UiText::ActualSize);
}

void computeFit(StartupDialog& d, const MachineFacts& m) {
  const int pw = d.presets[0].width, ph = d.presets[0].height;
  if (pw <= 0 || ph <= 0) return;
  int fitH = m.primaryHeight;
  if (static_cast<int64_t>(m.primaryHeight) * pw > static_cast<int64_t>(m.primaryWidth) * ph)
    fitH = m.primaryWidth * ph / pw;
  d.fitHeight = fitH;
  d.fitWidth = pw * fitH / ph;
}

bool isPresetWidth(const StartupDialog& d, int width) {
  for (const render::SizePreset& p : d.presets)
    if (p.width == width) return true;
  return false;
}

void initialResolution(StartupDialog& d, const MachineFacts& m) {
  if (m.firstStart) {
    const bool modest = (m.freeMb >= 0 && m.freeMb < 2000) || (m.videoMb >= 0 && m.videoMb < 256);
    if (d.designWidth == d.pictureWidth || modest) {
      render::setWindowWidth(d.designWidth);
    } else {
      int widest = render::resolution();
      for (const render::SizePreset& p : d.presets)
        if (p.width < d.fitWidth) widest = p.width;
      const int saved = d.saved[2];
      if (saved < widest && widest < 1280) widest = saved;
      render::setResolution(widest);
      render::setWindowWidth(widest);
    }
  }
  if (!isPresetWidth(d, render::resolution())) render::setResolution(d.designWidth);
}

// The picture ratio the window height follows.
int windowHeightFor(const StartupDialog& d, int width) {
  int rw = 0, rh = 0;
  ratioOf(d.designWidth, d.designHeight, rw, rh);
  const bool aspect = render::screenAspect() != render::Aspect::SixteenNine;
  if (rw == 16 && rh == 9) return aspect ? width * 3 / 4 : width * 9 / 16;
  if (rw == 9 && rh == 16) return aspect ? width * 4 / 3 : width * 16 / 9;
  // A 4:3 or 3:4 design has no other picture than its own.
  if (rw == 4 && rh == 3) return width * 3 / 4;
  if (rw == 3 && rh == 4) return width * 4 / 3;
  return d.designWidth ? width * d.designHeight / d.designWidth : width;
}

}  // namespace

MachineFacts readMachineFacts() {
  MachineFacts m;
  platform::primaryDisplaySize(m.primaryWidth, m.primaryHeight);
  std::ifstream in("/proc/meminfo");
  std::string key, unit;
  long value = 0;
  while (in >> key >> value >> unit)
    if (key == "MemAvailable:") m.freeMb = value / 1024;
  m.videoMb = platform::videoMemoryMb();
  m.firstStart = !std::filesystem::exists(save::settingsPath());
  return m;
}

void openDialog(StartupDialog& d, int w, int h, int k, bool f, const MachineFacts& facts) {
  d = StartupDialog{};
  d.designWidth = w, d.designHeight = h, d.pictureWidth = k, d.pictureFlag = f;
  // The keys put back when the player ends here are a table: read by key.
  for (size_t i = 0; i < 5; ++i) d.saved[i] = setting(kSavedKeys[i]);
  computePresets(d);
  computeFit(d, facts);
  initialResolution(d, facts);
}

void refreshDialog(StartupDialog& d, const MachineFacts& facts) {
  computePresets(d);
  computeFit(d, facts);
  const bool fourThree = !d.aspectApplies || render::screenAspect() != render::Aspect::SixteenNine;
  render::setResolution(carryResolution(render::resolution(), fourThree, d.fitWidth));
}

int carryResolution(int r, bool fourThreeTable, int fit) {
  if (fourThreeTable) {
    switch (r) {
      case 480: return 400;
      case 1024: return fit < 1024 ? 640 : 1024;
      case 1280: return fit < 1280 ? 960 : 1280;
      case 1366: return fit < 1280 ? 1024 : 1280;
      case 1600: return fit < 1440 ? 1200 : 1440;
      case 1920: return fit < 1600 ? 1440 : 1600;
      default: return r;
    }
  }
  switch (r) {
    case 400: return 480;
    case 1200: return 1280;
    case 1400: return 1440;
    default: return r;
  }
}

bool presetEnabled(const StartupDialog& d, int i) {
  const render::SizePreset& p = d.presets[static_cast<size_t>(i)];
  return p.width <= d.fitWidth && p.height <= d.fitHeight;
}

void chooseFullScreen(StartupDialog&, int value) { render::setFullScreen(value != 0); }

void chooseAspect(StartupDialog& d, int value) {
  if (!d.aspectApplies) return;
  render::setScreenAspect(value ? 1 : 0);
  d.flags |= kRefresh;
}

void chooseResolution(StartupDialog& d, int index) {
  if (index < 0 || index >= render::kPresetCount || !presetEnabled(d, index)) return;
  render::setResolution(d.presets[static_cast<size_t>(index)].width);
}

void toggleResolutionWindow(StartupDialog&) { render::toggleWindowFitsResolution(); }
void toggleStartingSetUp(StartupDialog&) { render::setStartupDialogWanted(!render::startupDialogWanted()); }
void pressSettingsTool(StartupDialog& d) { d.flags = kClose | kSettingsTool; }
void pressStart(StartupDialog& d) { d.flags = kClose; }

void pressEnd(StartupDialog& d) {
  d.flags = kClose;
  quitRequest = 1;
}

void closeDialog(StartupDialog& d) {
  if (quitRequest) {
    for (size_t i = 0; i < 5; ++i) setting(kSavedKeys[i]) = d.saved[i];
  } else if (render::windowFitsResolution()) {
    render::setWindowWidth(render::resolution());
  }
  render::setWindowHeight(windowHeightFor(d, render::windowWidth()));
}

}  // namespace velmora::setup
