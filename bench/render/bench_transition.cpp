// One frame of each transition pass at 1280 x 720 on the offscreen driver:
// the plain frame for comparison, Fade, named effects of each kind, and the
// mask transition as a shader and on the CPU. Every frame is read back (one
// pixel) so that the GPU has finished it.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "bindings/bridge.h"
#include "bindings/catalogue.h"
#include "core/settings.h"
#include "core/state.h"
#include "image/image.h"
#include "platform/platform.h"
#include "render/render.h"
#include "render/transition.h"
#include "script/interp.h"
#include "sprite/sprite.h"

namespace {

using namespace velmora;

void run(const char* name, const std::string& args) {
  bindings::installOwnBridge();
  script::findCommand(name)(args.c_str());
}

void savePicture(const char* path, int w, int h, uint32_t seed) {
  image::Image* img = image::createImage(w, h, 32);
  for (int i = 0; i < w * h; ++i) img->pixels[i] = 0xFF000000u | (seed ^ static_cast<uint32_t>(i * 2654435761u)) >> 8;
  image::saveImage(path, img, image::kSavePng, 32, 0, 0);
  image::freeImage(img);
}

// A before and an after screen of a background and ten 256 x 256 sprites.
void openScene() {
  static bool open = false;
  if (open) return;
  open = true;
  setenv("SDL_VIDEODRIVER", "offscreen", 0);
  char tmpl[] = "/tmp/velmora-bench-XXXXXX";
  if (chdir(mkdtemp(tmpl)) != 0) std::abort();
  runOptions().headless = true;
  core::resetSettings();
  core::setting(core::SettingKey::VSyncWait) = 0;
  platform::init();
  script::registerOwnCommands();
  bindings::registerCatalogue();
  sprite::bindSpriteCores();
  render::bindRenderCores();
  render::bindTransitionCores();
  savePicture("before.png", 1280, 720, 0x123456);
  savePicture("after.png", 1280, 720, 0x654321);
  savePicture("c.png", 256, 256, 0xABCDEF);
  image::Image* mask = image::createImage(1280, 720, 24);
  for (int i = 0; i < mask->count; ++i) mask->pixels[i] = 0xFF000000u | ((i % 1280) / 5) * 0x010101u;
  image::saveImage("mask.png", mask, image::kSavePng, 24, 0, 0);
  image::freeImage(mask);
  run("screen", "1280,720,1280,2");
  run("sp", "999,\"before.png\",0,1");
  for (int i = 0; i < 10; ++i) run("sp", std::to_string(100 + i) + ",\"c.png\",0,1");
  run("draw", "");
  run("sp", "999,\"after.png\",0,1");
}

void frames(benchmark::State& state, int index) {
  for (auto _ : state) {
    render::present(index, 500, 1000, 0);
    image::Image* img = render::getRenderImage(1, 1);
    image::freeImage(img);
  }
}

void BM_PassPlain(benchmark::State& state) {
  openScene();
  frames(state, render::kPassPlain);
}
BENCHMARK(BM_PassPlain)->Unit(benchmark::kMillisecond);

void BM_PassFade(benchmark::State& state) {
  openScene();
  render::prepareTransition(render::kPassFade, "", 0);
  frames(state, render::kPassFade);
}
BENCHMARK(BM_PassFade)->Unit(benchmark::kMillisecond);

// A band wipe (20 copies), a diagonal wipe (a run of rows per copy) and a
// fading scroll (three full-screen quads).
void BM_PassNamed(benchmark::State& state) {
  static const char* kNames[] = {"CurtainDown", "DirectionLeftUp", "FadeScrollLeft"};
  const char* name = kNames[state.range(0)];
  state.SetLabel(name);
  openScene();
  render::prepareTransition(render::kPassNamed, name, 0);
  frames(state, render::kPassNamed);
}
BENCHMARK(BM_PassNamed)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

void BM_PassMask(benchmark::State& state) {
  const bool shader = state.range(0) != 0;
  state.SetLabel(shader ? "shader" : "CPU stage");
  openScene();
  render::prepareTransition(render::kPassMask, "mask.png", 64);
  render::setScenePass(render::kPassMask, shader ? render::shaderMaskPass : render::stageMaskPass);
  frames(state, render::kPassMask);
}
BENCHMARK(BM_PassMask)->DenseRange(0, 1)->Unit(benchmark::kMillisecond);

}  // namespace
