#pragma once
// The render benchmarks' display: one per process, 1280 x 720 on the
// offscreen driver without pacing, with commands run as the script runs them.
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "app/wiring.h"
#include "render/hooks.h"
#include "bindings/bridge.h"
#include "bindings/catalogue.h"
#include "base/settings.h"
#include "base/state.h"
#include "image/image.h"
#include "platform/platform.h"
#include "render/render.h"
#include "render/transition.h"
#include "script/interp.h"
#include "sprite/sprite.h"

namespace velmora::bench {

inline void run(const char* name, const std::string& args) {
  bindings::installOwnBridge();
  script::findCommand(name)(args.c_str());
}

// A picture of noise around a colour (alpha kept).
inline void savePicture(const char* path, int w, int h, uint32_t colour) {
  image::Image* img = image::createImage(w, h, 32);
  for (int i = 0; i < w * h; ++i) img->pixels[i] = colour ^ static_cast<uint32_t>(i * 2654435761u & 0x00FFFFFF);
  image::saveImage(path, img, image::kSavePng, 32, 0, 0);
  image::freeImage(img);
}

// The engine up to its screen, in a folder of its own with its own runtime
// folder (another run may hold the usual instance lock); the sprite and
// render commands bound.
inline void startHeadless() {
  setenv("SDL_VIDEODRIVER", "offscreen", 0);
  char tmpl[] = "/tmp/velmora-bench-XXXXXX";
  const char* dir = mkdtemp(tmpl);
  if (!dir || chdir(dir) != 0) std::abort();
  setenv("XDG_RUNTIME_DIR", dir, 1);
  runOptions().headless = true;
  resetSettings();
  setting(SettingKey::VSyncWait) = 0;
  platform::init();
  app::wireEngine();
  // Only the frames themselves are measured: no run's frame count, nothing
  // drawn over the picture.
  render::RenderHooks hooks = render::renderHooks();
  hooks.frameCounted = nullptr;
  hooks.drawOverlays = nullptr;
  hooks.startupDialog = nullptr;
  render::installRenderHooks(hooks);
}

inline void openDisplay() {
  static bool open = false;
  if (open) return;
  open = true;
  startHeadless();
  render::bindTransitionCoresAndPasses();
  savePicture("bg.png", 1280, 720, 0xFF204060);
  savePicture("s.png", 32, 32, 0x80FFFFFF);
  savePicture("c.png", 256, 256, 0xC0FFFFFF);
  run("screen", "1280,720,1280,2");
}

}  // namespace velmora::bench
