// What setWallPaper, setCursor and the settings file do beyond storing.
#include "base/settings.h"
#include "render/display.h"
#include "render/render.h"
#include "render/window/window_events.h"
#include "render/display_settings.h"

namespace velmora::render {

using K = SettingKey;

void wallPaperSettingChanged(K, SettingSource) {
  if (fullScreen() && wallPaperMode()) {
    rebuildWallPaper();
    if (deviceCreated()) present(0, 0, 0, 0);
  }
}

// Before the window exists the cursor waits for the display start.
void cursorFileSettingChanged(K, SettingSource) {
  if (deviceCreated()) applyCursorFile();
}

}  // namespace velmora::render
