// Every picture of the standard PNG test suite against libpng's own decode
// into four bytes a pixel. The suite ships with Debian's Go sources.
#include <png.h>

#include <vector>

#include "helpers.h"

namespace velmora::image::test {
namespace {

namespace fs = std::filesystem;
const fs::path kSuite = "/usr/share/go-1.19/src/image/png/testdata/pngsuite";

uint32_t be32(const std::string& s, size_t at) {
  return uint32_t(uint8_t(s[at])) << 24 | uint32_t(uint8_t(s[at + 1])) << 16 | uint32_t(uint8_t(s[at + 2])) << 8 |
         uint8_t(s[at + 3]);
}

// The loader takes samples as stored, while libpng's whole-picture reader
// converts by the file's colour-space chunks: drop them, so that it sees
// plain sRGB samples too.
std::string withoutColourSpace(const std::string& file) {
  std::string out = file.substr(0, 8);
  for (size_t at = 8; at + 12 <= file.size();) {
    size_t total = 12 + size_t(be32(file, at));
    std::string type = file.substr(at + 4, 4);
    if (type != "gAMA" && type != "cHRM" && type != "sRGB" && type != "iCCP") out += file.substr(at, total);
    at += total;
  }
  return out;
}

struct Reference {
  int width = 0, height = 0;
  bool sixteenBit = false;
  std::vector<uint32_t> pixels;  // 0xAARRGGBB
};

bool referenceDecode(const std::string& file, Reference& ref) {
  std::string plain = withoutColourSpace(file);
  png_image img{};
  img.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&img, plain.data(), plain.size())) return false;
  ref.sixteenBit = (img.format & PNG_FORMAT_FLAG_LINEAR) != 0;
  img.flags |= PNG_IMAGE_FLAG_16BIT_sRGB;  // 16-bit samples are not linear light either
  img.format = PNG_FORMAT_BGRA;
  ref.width = int(img.width);
  ref.height = int(img.height);
  ref.pixels.resize(size_t(img.width) * img.height);
  return png_image_finish_read(&img, nullptr, ref.pixels.data(), 0, nullptr) != 0;
}

TEST(PngSuite, EveryPictureDecodesAsLibpngDecodesIt) {
  if (!fs::exists(kSuite))
    GTEST_SKIP() << "the PNG test suite is absent: install Debian's golang-1.19-src (scripts/setup-deps.sh does)";
  int checked = 0;
  for (const auto& entry : fs::directory_iterator(kSuite)) {
    if (entry.path().extension() != ".png") continue;
    const std::string name = entry.path().filename().string();
    const std::string file = readFile(entry.path());
    Reference ref;
    ASSERT_TRUE(referenceDecode(file, ref)) << name;
    Image* im = load(file);
    ASSERT_NE(im, nullptr) << name;
    ASSERT_EQ(im->width, ref.width) << name;
    ASSERT_EQ(im->height, ref.height) << name;
    // The loader keeps the high byte of a 16-bit sample, libpng rounds.
    const int tolerance = ref.sixteenBit ? 1 : 0;
    int worst = 0;
    size_t worstAt = 0;
    for (size_t i = 0; i < ref.pixels.size(); ++i)
      for (int shift = 0; shift < 32; shift += 8) {
        int d = std::abs(int(im->pixels[i] >> shift & 255) - int(ref.pixels[i] >> shift & 255));
        if (d > worst) worst = d, worstAt = i;
      }
    EXPECT_LE(worst, tolerance) << name << " pixel " << worstAt << ": " << std::hex << im->pixels[worstAt]
                                << " vs libpng " << ref.pixels[worstAt];
    freeImage(im);
    ++checked;
  }
  EXPECT_GE(checked, 35);
}

}  // namespace
}  // namespace velmora::image::test
