// Decode, resample and blend speed on a full-HD picture.
#include <benchmark/benchmark.h>
#include <jpeglib.h>
#include <png.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "image/image.h"
#include "image/internal.h"

namespace vi = velmora::image;

namespace {

constexpr int kW = 1920, kH = 1080;

// A picture with smooth areas, edges and some grain, like a scene background.
vi::Image* scene() {
  vi::Image* im = vi::createImage(kW, kH, 32);
  uint32_t seed = 1;
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      seed = seed * 1664525u + 1013904223u;
      int grain = int(seed >> 29);
      int r = (x * 255 / kW + grain) & 255, g = (y * 255 / kH) & 255;
      int b = ((x / 64 + y / 64) & 1) ? 200 : 40 + grain;
      int a = (x > 300 && x < 1600) ? 255 : (x * 2) & 255;
      im->pixels[size_t(y) * kW + x] = uint32_t(a) << 24 | uint32_t(r) << 16 | uint32_t(g) << 8 | uint32_t(b);
    }
  return im;
}

struct Files {
  vi::Image* picture = scene();
  std::string png, jpeg, tlg5, tlg6;
  Files() {
    png = saved(vi::kSavePng, 32, 6, 0, "/tmp/velmora_bench.png");
    jpeg = saved(vi::kSaveJpeg, 24, 90, 0, "/tmp/velmora_bench.jpg");
    tlg5 = saved(vi::kSaveTlg, 32, 0, 0, "/tmp/velmora_bench5.tlg");
    tlg6 = saved(vi::kSaveTlg, 32, 1, 0, "/tmp/velmora_bench6.tlg");
  }
  std::string saved(int format, int depth, int value, int option, const char* path) {
    vi::saveImage(path, picture, format, depth, value, option);
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
};

Files& files() {
  static Files f;
  return f;
}

void decodeLoop(benchmark::State& state, const std::string& file) {
  for (auto _ : state) {
    vi::Image* im = vi::loadImage(reinterpret_cast<const unsigned char*>(file.data()), int(file.size()));
    benchmark::DoNotOptimize(im);
    vi::freeImage(im);
  }
  state.counters["bytes"] = double(file.size());
}

void BM_LoadPng(benchmark::State& s) { decodeLoop(s, files().png); }
void BM_LoadJpeg(benchmark::State& s) { decodeLoop(s, files().jpeg); }
void BM_LoadTlg5(benchmark::State& s) { decodeLoop(s, files().tlg5); }
void BM_LoadTlg6(benchmark::State& s) { decodeLoop(s, files().tlg6); }

// libpng alone, through its simplified API, into RGBA.
void BM_BarePng(benchmark::State& state) {
  const std::string& f = files().png;
  std::vector<uint8_t> out(size_t(kW) * kH * 4);
  for (auto _ : state) {
    png_image img;
    std::memset(&img, 0, sizeof img);
    img.version = PNG_IMAGE_VERSION;
    png_image_begin_read_from_memory(&img, f.data(), f.size());
    img.format = PNG_FORMAT_RGBA;
    png_image_finish_read(&img, nullptr, out.data(), 0, nullptr);
    benchmark::DoNotOptimize(out.data());
  }
}

// libjpeg-turbo alone into 4-byte pixels; arg 0 = its default DCT, 1 = float.
void BM_BareJpeg(benchmark::State& state) {
  const std::string& f = files().jpeg;
  std::vector<uint8_t> out(size_t(kW) * kH * 4);
  for (auto _ : state) {
    jpeg_decompress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_decompress(&c);
    jpeg_mem_src(&c, reinterpret_cast<const unsigned char*>(f.data()), f.size());
    jpeg_read_header(&c, TRUE);
    c.out_color_space = JCS_EXT_BGRX;
    if (state.range(0)) c.dct_method = JDCT_FLOAT;
    jpeg_start_decompress(&c);
    while (c.output_scanline < c.output_height) {
      JSAMPROW row = out.data() + size_t(c.output_scanline) * kW * 4;
      jpeg_read_scanlines(&c, &row, 1);
    }
    jpeg_finish_decompress(&c);
    jpeg_destroy_decompress(&c);
    benchmark::DoNotOptimize(out.data());
  }
}

// range(0): 0 = scalar 18-bit, otherwise the banded path with that many
// threads; range(1): 0 = its SSE2 rows, 1 = its AVX2 rows.
void configure(int threads, bool avx2) {
  vi::selectRoutines({true, true, threads > 0, avx2});
  vi::setWorkerThreads(threads > 0 ? threads : 1);
}

void BM_ResizeBilinear(benchmark::State& state) {
  configure(int(state.range(0)), state.range(1) != 0);
  for (auto _ : state) {
    vi::Image* out = nullptr;
    vi::resizeImage(out, files().picture, 1280, 720, 1, 1, 1);
    vi::freeImage(out);
  }
}

void BM_Rotate30(benchmark::State& state) {
  configure(int(state.range(0)), state.range(1) != 0);
  for (auto _ : state) {
    vi::Image* out = nullptr;
    vi::rotateImage(out, files().picture, 30, 0, 1);
    vi::freeImage(out);
  }
}

void BM_AreaDownscale(benchmark::State& state) {
  for (auto _ : state) {
    vi::Image* out = nullptr;
    vi::resizeImage(out, files().picture, 1280, 720, 1, 2, 2);
    vi::freeImage(out);
  }
}

// range(1) for the normal blend and the cross-fade: 0 = scalar, 1 = SSE2,
// 2 = AVX2.
void selectBlend(int64_t kind) { vi::selectRoutines({false, kind != 0, false, kind == 2}); }

void BM_Blend(benchmark::State& state) {
  selectBlend(state.range(1));
  vi::Image* dst = vi::copyImage(files().picture);
  vi::Image* src = vi::createImage(kW, kH, 32);
  for (int i = 0; i < src->count; ++i) src->pixels[i] = files().picture->pixels[src->count - 1 - i];
  for (auto _ : state) vi::blendImage(dst, src, int(state.range(0)), 0, 0, 200, 0);
  vi::freeImage(dst);
  vi::freeImage(src);
}

// Two full-HD pictures half way: the opaque middle takes the wide path.
void BM_CrossFade(benchmark::State& state) {
  selectBlend(state.range(0));
  const vi::Image* p = files().picture;
  std::vector<uint32_t> q(p->pixels, p->pixels + p->count);
  for (uint32_t& v : q) v ^= 0x00FFFFFFu;
  vi::Image* out = vi::createImage(kW, kH, 32);
  for (auto _ : state) vi::blendTwoImages(out, p->pixels, q.data(), 128);
  vi::freeImage(out);
}

}  // namespace

BENCHMARK(BM_LoadPng)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BarePng)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadJpeg)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareJpeg)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadTlg5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadTlg6)->Unit(benchmark::kMillisecond);
// Wall time for the speed-up, and the CPU time of every thread together, which
// a busy machine inflates far less than the wall time.
BENCHMARK(BM_ResizeBilinear)->Args({0, 0})->Args({1, 0})->Args({2, 0})->Args({1, 1})->Args({2, 1})->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();
BENCHMARK(BM_Rotate30)->Args({0, 0})->Args({1, 0})->Args({2, 0})->Args({1, 1})->Args({2, 1})->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();
BENCHMARK(BM_AreaDownscale)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Blend)->ArgsProduct({benchmark::CreateDenseRange(1, 21, 1), {0}})->Args({1, 1})->Args({1, 2})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CrossFade)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
