// One frame of each transition pass at 1280 x 720 on the offscreen driver:
// the plain frame for comparison, Fade, named effects of each kind, and the
// mask transition as a shader and on the CPU. Every frame is read back (one
// pixel) so that the GPU has finished it.
#include <benchmark/benchmark.h>

#include <string>

#include "headless.h"

namespace {

using namespace velmora;
using namespace velmora::bench;

// A before and an after screen of a background and ten 256 x 256 sprites.
void openScene() {
  openDisplay();
  static bool made = false;
  if (!made) {
    savePicture("after.png", 1280, 720, 0xFF654321);
    image::Image* mask = image::createImage(1280, 720, 24);
    for (int i = 0; i < mask->count; ++i) mask->pixels[i] = 0xFF000000u | ((i % 1280) / 5) * 0x010101u;
    image::saveImage("mask.png", mask, image::kSavePng, 24, 0, 0);
    image::freeImage(mask);
    made = true;
  }
  sprite::clearTable();
  run("sp", "999,\"bg.png\",0,1");
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
