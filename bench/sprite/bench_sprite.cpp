// Picture loading: a cache hit, and decoding a full-screen PNG.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "base/settings.h"
#include "image/image.h"
#include "sprite/picture.h"

namespace {

using namespace velmora;

std::string writeNoise(int w, int h) {
  std::string path = (std::filesystem::temp_directory_path() / ("velmora-bench-" + std::to_string(w) + ".png")).string();
  image::Image* im = image::createImage(w, h, 32);
  uint32_t v = 12345;
  for (int i = 0; i < im->count; ++i) {
    v = v * 1103515245u + 12345u;  // mixed content: photographs compress poorly
    im->pixels[i] = 0xFF000000u | ((i % w) * 255 / w) << 16 | ((i / w) * 255 / h) << 8 | (v >> 24 & 31);
  }
  image::saveImage(path.c_str(), im, image::kSavePng, 0, 6, 0);
  image::freeImage(im);
  return path;
}

// arg 2: 1 = the shared picture sprites show, 0 = a copy of the caller's own.
void CachedHit(benchmark::State& state) {
  const int w = int(state.range(0)), h = int(state.range(1));
  const bool shared = state.range(2) != 0;
  std::string path = writeNoise(w, h);
  setting(SettingKey::CacheMaxSize) = 256 << 20;
  sprite::loadSharedPicture(path.c_str(), nullptr, true, true);
  for (auto _ : state) {
    if (shared) {
      sprite::PictureRef p = sprite::loadSharedPicture(path.c_str(), nullptr, true, true);
      benchmark::DoNotOptimize(p.get());
    } else {
      image::Image* p = sprite::loadPicture(path.c_str(), nullptr, true, true);
      benchmark::DoNotOptimize(p);
      image::freeImage(p);
    }
  }
  sprite::clearCache();
  std::filesystem::remove(path);
}
BENCHMARK(CachedHit)
    ->ArgsProduct({{256}, {256}, {0, 1}})
    ->ArgsProduct({{800}, {600}, {0, 1}})
    ->ArgsProduct({{1920}, {1080}, {0, 1}})
    ->Unit(benchmark::kMicrosecond);

void DecodeFullScreenPng(benchmark::State& state) {
  std::string path = writeNoise(1920, 1080);
  setting(SettingKey::CacheMaxSize) = 0;
  for (auto _ : state) {
    image::Image* p = sprite::loadPicture(path.c_str(), nullptr, false, true);
    benchmark::DoNotOptimize(p);
    image::freeImage(p);
  }
  std::filesystem::remove(path);
}
BENCHMARK(DecodeFullScreenPng)->Unit(benchmark::kMillisecond);

}  // namespace
