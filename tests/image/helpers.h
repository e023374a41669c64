#pragma once
// Shared fixtures of the image tests: files, patterned pictures, stdout capture.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <unistd.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "base/textconv.h"
#include "image/image.h"

namespace velmora::image::test {

inline std::string readFile(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline Image* load(const std::string& bytes) {
  return loadImage(reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int>(bytes.size()));
}

inline std::filesystem::path tempDir() {
  auto d = std::filesystem::temp_directory_path() / ("velmora-image-" + std::to_string(::getpid()));
  std::filesystem::create_directories(d);
  return d;
}

// A picture filled by f(x, y) -> 0xAARRGGBB.
inline Image* makeImage(int w, int h, int depth, const std::function<uint32_t(int, int)>& f) {
  Image* im = createImage(w, h, depth);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) im->pixels[y * w + x] = f(x, y);
  return im;
}

inline uint32_t noise(uint32_t x) {
  x ^= x >> 16;
  x *= 0x7feb352dU;
  x ^= x >> 15;
  x *= 0x846ca68bU;
  return x ^ (x >> 16);
}

// Pixel-wise equality with a readable first difference.
inline ::testing::AssertionResult samePixels(const Image* a, const Image* b, uint32_t mask = 0xFFFFFFFF) {
  if (!a || !b) return ::testing::AssertionFailure() << "null image";
  if (a->width != b->width || a->height != b->height)
    return ::testing::AssertionFailure() << "size " << a->width << "x" << a->height << " vs " << b->width << "x"
                                         << b->height;
  for (int i = 0; i < a->count; ++i)
    if ((a->pixels[i] & mask) != (b->pixels[i] & mask))
      return ::testing::AssertionFailure() << "pixel " << i << ": " << std::hex << a->pixels[i] << " vs "
                                           << b->pixels[i];
  return ::testing::AssertionSuccess();
}

// Runs f and returns what it printed on standard output.
inline std::string printed(const std::function<void()>& f) {
  ::testing::internal::CaptureStdout();
  f();
  // The console shows UTF-8; the library's messages are compared as the
  // code-page bytes they were made in.
  return utf8_to_sjis(::testing::internal::GetCapturedStdout());
}

inline std::string sjis(const char* utf8) { return utf8_to_sjis(utf8); }

}  // namespace velmora::image::test
