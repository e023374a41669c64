#pragma once
// Picture comparison for scenario tests: a per-channel tolerance and a number
// of pixels allowed to exceed it; a difference picture is written on failure.
#include <cstdlib>
#include <string>

#include "image/image.h"
#include "support/tempdir.h"

namespace velmora::test {

inline image::Image* readPicture(const std::string& path) {
  std::string bytes = readFile(path);
  if (bytes.empty()) return nullptr;
  return image::loadImage(reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int>(bytes.size()));
}

// Empty when the pictures agree; otherwise what differs.
inline std::string comparePictures(const std::string& expected, const std::string& actual, int tolerance,
                                   int maxPixels, const std::string& diffPath) {
  image::Image* want = readPicture(expected);
  image::Image* got = readPicture(actual);
  std::string verdict;
  if (!want || !got) {
    verdict = std::string("cannot read ") + (!want ? expected : actual);
  } else if (want->width != got->width || want->height != got->height) {
    verdict = "size " + std::to_string(got->width) + "x" + std::to_string(got->height) + ", expected " +
              std::to_string(want->width) + "x" + std::to_string(want->height);
  } else {
    image::Image* diff = image::createImage(want->width, want->height, 24);
    int over = 0, worst = 0;
    for (int i = 0; i < want->count; ++i) {
      int d = 0;
      for (int sh = 0; sh <= 16; sh += 8)
        d = std::max(d, std::abs(int((want->pixels[i] >> sh) & 255) - int((got->pixels[i] >> sh) & 255)));
      worst = std::max(worst, d);
      over += d > tolerance;
      diff->pixels[i] = 0xFF000000u | (d > tolerance ? 0xFF0000u : 0) | uint32_t(std::min(255, d * 8)) << 8;
    }
    if (over > maxPixels) {
      verdict = std::to_string(over) + " pixels differ by more than " + std::to_string(tolerance) + " (worst " +
                std::to_string(worst) + "); difference picture: " + diffPath;
      image::saveImage(diffPath.c_str(), diff, image::kSavePng, 24, 6, 0);
    }
    image::freeImage(diff);
  }
  if (want) image::freeImage(want);
  if (got) image::freeImage(got);
  return verdict;
}

}  // namespace velmora::test
