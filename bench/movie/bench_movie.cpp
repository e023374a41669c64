// The Theora decode rate of a movie worker at 1280 x 720: decoding one frame
// and converting it to the sprite's 32-bit pixels.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "movie/theora.h"
#include "theora_encode.h"

namespace {

const std::string& video720() {
  static const std::string bytes = velmora::tools::encodeTheora(
      1280, 720, 24, 1, 48, [](int f, std::vector<uint32_t>& px) {
        for (int y = 0; y < 720; ++y)
          for (int x = 0; x < 1280; ++x) {
            double v = std::sin((x + f * 9) * 0.02) * std::cos((y - f * 5) * 0.015);
            uint32_t c = uint32_t(128 + 100 * v);
            px[size_t(y) * 1280 + size_t(x)] = 0xFF000000u | c << 16 | (255 - c) << 8 | uint32_t((x ^ y) & 255);
          }
      });
  return bytes;
}

void TheoraDecode720p(benchmark::State& state) {
  velmora::movie::TheoraVideo video;
  if (!video.load(video720())) return state.SkipWithError("no stream");
  std::vector<uint32_t> pixels(1280 * 720);
  int frame = 0;
  for (auto _ : state) {
    video.decodeFrame(frame, pixels.data(), 1280);
    frame = (frame + 1) % video.frameCount();
    benchmark::DoNotOptimize(pixels.data());
  }
  state.SetItemsProcessed(state.iterations());
  state.SetLabel("items/s = frames per second");
}
BENCHMARK(TheoraDecode720p)->Unit(benchmark::kMillisecond);

}  // namespace
