// What setWallPaper, setCursor and the settings file do beyond storing.
#include "core/settings.h"
#include "render/render.h"
#include "render/window/window_events.h"

namespace velmora::render {
namespace {

using core::setting;
using K = core::SettingKey;

void wallPaperChanged(K, core::SettingSource) {
  if (setting(K::FullScreen) != 0 && (setting(K::FullMode) == 2 || setting(K::FullMode) == 3)) {
    rebuildWallPaper();
    if (deviceCreated()) present(0, 0, 0, 0);
  }
}

// Before the window exists the cursor waits for the display start.
void cursorChanged(K, core::SettingSource) {
  if (deviceCreated()) applyCursorFile();
}

}  // namespace

void bindWindowEffects() {
  core::setSettingEffect(K::WallPaper, wallPaperChanged);
  core::setSettingEffect(K::CursorFile, cursorChanged);
}

}  // namespace velmora::render
