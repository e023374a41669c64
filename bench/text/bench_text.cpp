// Text costs: glyph rasterization per character (a fresh face and a warm
// one), a full three-row page laid out and drawn, the text layer's share
// of a frame at 1280 x 720 on the offscreen driver, and a frame at a 1080p
// output with the text sharp or scaled.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "../render/headless.h"
#include "base/encoding.h"
#include "base/textconv.h"
#include "render/internal.h"
#include "text/message.h"

namespace {

using namespace velmora;

// 70 different two-byte characters of ordinary story text.
const std::string& pageText() {
  static const std::string t = utf8_to_sjis(
      "夜空を見上げると、無数の星が静かに瞬いていた。丘の上の風は冷たく、遠くで虫の声が響く。"
      "ミナは小さく息を吸って、願い事を三回唱えた。");
  return t;
}

// The same story in English: three rows at the same width.
const std::string& englishPageText() {
  static const std::string t =
      "Looking up at the night sky, countless stars were quietly twinkling. The wind on the hill was cold, "
      "and insects sang far away. Mina drew a small breath and said her wish three times.";
  return t;
}

std::vector<unsigned> codes() {
  std::vector<unsigned> out;
  const std::string& t = pageText();
  for (size_t i = 0; i + 1 < t.size(); i += 2) out.push_back(uint8_t(t[i]) << 8 | uint8_t(t[i + 1]));
  return out;
}

void BM_GlyphCold(benchmark::State& state) {
  const std::vector<unsigned> cs = codes();
  std::vector<uint32_t> cell(64 * 64);
  for (auto _ : state) {
    state.PauseTiming();
    text::CString s;
    s.Create(sj("ＭＳ ゴシック"), 28, 30, 1, 0);
    state.ResumeTiming();
    for (unsigned c : cs) {
      std::fill(cell.begin(), cell.end(), 0u);
      s.WriteGlyph(cell.data(), 64, 64, 64, 0, 0, c);
    }
    benchmark::DoNotOptimize(cell.data());
  }
  state.SetItemsProcessed(state.iterations() * int64_t(cs.size()));
}
BENCHMARK(BM_GlyphCold)->Unit(benchmark::kMicrosecond);

void BM_GlyphWarm(benchmark::State& state) {
  const std::vector<unsigned> cs = codes();
  std::vector<uint32_t> cell(64 * 64);
  text::CString s;
  s.Create(sj("ＭＳ ゴシック"), 28, 30, 1, 0);
  for (auto _ : state)
    for (unsigned c : cs) {
      std::fill(cell.begin(), cell.end(), 0u);
      s.WriteGlyph(cell.data(), 64, 64, 64, 0, 0, c);
    }
  state.SetItemsProcessed(state.iterations() * int64_t(cs.size()));
}
BENCHMARK(BM_GlyphWarm)->Unit(benchmark::kMicrosecond);

using bench::run;

void openTextDisplay() {
  static bool open = false;
  if (open) return;
  open = true;
  bench::startHeadless();
  text::bindTextCores();
  run("screen", "1280,720,1280,2");
  run("setMessXY", "110,552,0");
  run("setMessWH", "34,3,28,28,2,14");
  run("setMessCreate", "400,200");
}

// Three full rows laid out (rasterized and uploaded) and one frame drawn with
// them: 105 Japanese characters (0), or the same story in English in a
// Unicode game, proportional and wrapped at words (1).
void BM_PageLayoutAndDraw(benchmark::State& state) {
  openTextDisplay();
  const bool english = state.range(0) != 0;
  setGameEncoding(english ? GameEncoding::Utf8 : GameEncoding::ShiftJis);
  const std::string line = english ? englishPageText() : pageText() + pageText().substr(0, 70);
  for (auto _ : state) {
    run("clearMess", "");
    text::showTextLine(line, 0, 0, 0);
    text::endMessDraw();
    render::drawFrame();
  }
  state.counters["rows"] = double(text::window().flow.row);
  setGameEncoding(GameEncoding::ShiftJis);
  state.SetItemsProcessed(state.iterations() * int64_t(text::window().main.laidOut));
}
BENCHMARK(BM_PageLayoutAndDraw)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// A frame with and without the text layer's page.
void BM_FrameWithText(benchmark::State& state) {
  openTextDisplay();
  run("clearMess", "");
  text::showTextLine(pageText() + pageText().substr(0, 70), 0, 0, 0);
  text::endMessDraw();
  render::setWindowVisibleFlags(state.range(0) ? 3 : 1);
  for (auto _ : state) render::drawFrame();
  render::setWindowVisibleFlags(3);
}
BENCHMARK(BM_FrameWithText)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// A frame of the page over a background, presented at 1920 x 1080 from the
// 1280 x 720 screen (no filter: the present scales the screen linearly):
// the glyphs drawn at the output's pixels (1) or scaled with the picture
// (0). The offscreen display is smaller than 1080p, so a picture of that
// size stands in for the window. Every frame is composed (none is held as
// unchanged) and waited for; the CPU time is the process's, the software
// rasterizer's threads included.
void BM_FrameAt1080p(benchmark::State& state) {
  openTextDisplay();
  bench::savePicture("bg.png", 1280, 720, 0xFF204060);
  run("sp", "999,\"bg.png\",0,1");
  run("clearMess", "");
  text::showTextLine(pageText() + pageText().substr(0, 70), 0, 0, 0);
  text::endMessDraw();
  setting(SettingKey::SharpText) = int(state.range(0));
  const int interpolation = setting(SettingKey::Interpolation);
  setting(SettingKey::Interpolation) = 0;
  render::screenChange(true);
  render::presentOffscreen(1920, 1080);
  render::drawFrame();  // the glyphs at the output's size rasterized once
  for (auto _ : state) {
    render::noteTextureChange();
    render::drawFrame();
    image::Image* img = render::getRenderImage(1, 1);  // waits for the GPU
    image::freeImage(img);
  }
  render::presentOffscreen(0, 0);
  setting(SettingKey::Interpolation) = interpolation;
  render::screenChange(true);
  sprite::clearTable();
}
BENCHMARK(BM_FrameAt1080p)->Arg(0)->Arg(1)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

}  // namespace
