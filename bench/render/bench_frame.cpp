// Frame costs headless: engine-side submission for 1000 sprites, and whole
// frames of a typical scene (background, 10 sprites, a page of text) and of
// 1000 small sprites at 1280 x 720.
#include <benchmark/benchmark.h>

#include <string>

#include "headless.h"
#include "bindings/bridge.h"
#include "bindings/catalogue.h"
#include "base/report.h"
#include "base/settings.h"
#include "base/state.h"
#include "base/textconv.h"
#include "image/image.h"
#include "platform/platform.h"
#include "render/display.h"
#include "render/render.h"
#include "script/interp.h"
#include "sprite/sprite.h"
#include "text/message.h"

namespace {

using namespace velmora;
using namespace velmora::bench;

// A background, `large` big sprites and `small` small rotated ones; 1000
// small sprites take the whole table, background included.
void scene(int small, int large) {
  sprite::clearTable();
  if (small < sprite::kSpriteCount) run("sp", "999,\"bg.png\",0,1");
  for (int i = 0; i < large; ++i) {
    const std::string n = std::to_string(100 + i);
    run("sp", n + ",\"c.png\",0,1");
    run("sp_xy", n + "," + std::to_string(100 + i * 100) + ",360");
  }
  for (int i = 0; i < small; ++i) {
    const std::string n = std::to_string(i);
    run("sp", n + ",\"s.png\",0,1");
    run("sp_xy", n + "," + std::to_string((i * 37) % 1280) + "," + std::to_string((i * 53) % 720));
    run("sp_rxyz", n + ",0,0," + std::to_string(i % 360));
  }
  run("draw", "");
}

// Three full rows of message text over the scene.
void showPage() {
  static bool created = false;
  if (!created) {
    created = true;
    text::bindTextCores();
    run("setMessXY", "110,552,0");
    run("setMessWH", "34,3,28,28,2,14");
    run("setMessCreate", "400,200");
  }
  const std::string page = utf8_to_sjis(
      "夜空を見上げると、無数の星が静かに瞬いていた。丘の上の風は冷たく、遠くで虫の声が響く。"
      "ミナは小さく息を吸って、願い事を三回唱えた。夜空を見上げると、無数の星が静かに瞬いていた。");
  run("clearMess", "");
  text::showTextLine(page, 0, 0, 0);
  text::endMessDraw();
}

void BM_SubmitThousandSprites(benchmark::State& state) {
  openDisplay();
  scene(sprite::kSpriteCount, 0);
  for (auto _ : state) {
    // Placement is redone every frame, as for moving sprites.
    for (int n = 0; n < sprite::kSpriteCount; ++n) sprite::frontSlot(n)->dirty = true;
    render::drawScene(false);
  }
  render::present(0, 0, 0, 0);
}
BENCHMARK(BM_SubmitThousandSprites)->Unit(benchmark::kMillisecond);

void BM_FrameTypicalScene(benchmark::State& state) {
  openDisplay();
  scene(0, 10);
  showPage();
  for (auto _ : state) {
    render::present(0, 0, 0, 0);
    image::Image* img = render::getRenderImage(1, 1);  // waits for the GPU
    image::freeImage(img);
  }
  run("clearMess", "");
}
BENCHMARK(BM_FrameTypicalScene)->Unit(benchmark::kMillisecond);

void BM_FrameThousandSmallSprites(benchmark::State& state) {
  openDisplay();
  scene(sprite::kSpriteCount, 0);
  for (auto _ : state) {
    render::present(0, 0, 0, 0);
    image::Image* img = render::getRenderImage(1, 1);
    image::freeImage(img);
  }
}
BENCHMARK(BM_FrameThousandSmallSprites)->Unit(benchmark::kMillisecond);

void BM_LoadFullHdPictureAndUpload(benchmark::State& state) {
  openDisplay();
  savePicture("hd.png", 1920, 1080, 0xFF336699);
  for (auto _ : state) {
    run("sp", "500,\"hd.png\",4,1");  // flag 4: past the cache
    run("draw3", "");
    render::present(0, 0, 0, 0);
    image::Image* img = render::getRenderImage(1, 1);
    image::freeImage(img);
  }
}
BENCHMARK(BM_LoadFullHdPictureAndUpload)->Unit(benchmark::kMillisecond);

}  // namespace
