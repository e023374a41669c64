// TLG5/TLG6 against the reference vectors, round trips and hostile inputs.
#include <regex>

#include "helpers.h"
#include "image/internal.h"

namespace velmora::image::test {
namespace {

namespace fs = std::filesystem;
const fs::path kVectors = fs::path(VELMORA_SOURCE_DIR) / ".." / "shared" / "testdata" / "tlg";

Image* decode(const std::string& b) {
  return detail::decodeTlg(reinterpret_cast<const uint8_t*>(b.data()), b.size());
}

TEST(TlgVectors, EveryGoodVectorDecodesToItsPixels) {
  if (!fs::exists(kVectors)) GTEST_SKIP() << "no vectors at " << kVectors;
  int checked = 0;
  for (const auto& entry : fs::directory_iterator(kVectors)) {
    fs::path p = entry.path();
    if (p.extension() != ".tlg" || p.stem().string().rfind("bad_", 0) == 0) continue;
    std::string expected = readFile(fs::path(p).replace_extension(".bgra"));
    Image* im = decode(readFile(p));
    ASSERT_NE(im, nullptr) << p;
    std::smatch m;
    std::string stem = p.stem().string();
    ASSERT_TRUE(std::regex_search(stem, m, std::regex("_(\\d+)x(\\d+)_c(\\d)")));
    EXPECT_EQ(im->width, std::stoi(m[1])) << p;
    EXPECT_EQ(im->height, std::stoi(m[2])) << p;
    EXPECT_EQ(im->depth, std::stoi(m[3]) * 8) << p;
    ASSERT_EQ(expected.size(), size_t(im->count) * 4) << p;
    EXPECT_EQ(0, std::memcmp(expected.data(), im->pixels, expected.size())) << p;
    freeImage(im);
    ++checked;
  }
  EXPECT_EQ(checked, 27);
}

TEST(TlgVectors, BadVectorsAreRejected) {
  if (!fs::exists(kVectors)) GTEST_SKIP();
  for (const char* name : {"bad_tlg6_colour_count_2.tlg", "bad_tlg6_truncated.tlg", "bad_tlg6_entropy_method_1.tlg"}) {
    std::string b = readFile(kVectors / name);
    ASSERT_FALSE(b.empty()) << name;
    EXPECT_EQ(decode(b), nullptr) << name;
  }
}

TEST(TlgVectors, ContainerTagsWithAndWithoutFinalComma) {
  if (!fs::exists(kVectors)) GTEST_SKIP();
  for (const char* name : {"tlg0_bg01_tlg6_33x17_c4.tlg", "tlg0_bg01_tlg5_9x9_c3_comma.tlg"}) {
    Image* im = load(readFile(kVectors / name));
    ASSERT_NE(im, nullptr) << name;
    EXPECT_STREQ(im->name, "bg01.tlg");
    EXPECT_EQ(im->left, 10);
    EXPECT_EQ(im->top, -5);
    EXPECT_EQ(im->mode, 3u);
    freeImage(im);
  }
}

TEST(TlgVectors, LoadImageKeepsItsMinimumLength) {
  if (!fs::exists(kVectors)) GTEST_SKIP();
  std::string small = readFile(kVectors / "tlg5_1x1_c3_gradient.tlg");
  ASSERT_EQ(small.size(), 46u);
  EXPECT_EQ(load(small), nullptr);
  Image* im = decode(small);
  EXPECT_NE(im, nullptr);
  freeImage(im);
}

// Every encoder choice must read back exactly, across depth and shape.
TEST(TlgRoundTrip, BothCodecsAllChannelCountsOddSizes) {
  const int sizes[][2] = {{1, 1}, {7, 5}, {9, 17}, {64, 3}, {33, 40}};
  for (auto [w, h] : sizes)
    for (int channels : {1, 3, 4})
      for (int codec : {5, 6}) {
        Image* src = makeImage(w, h, channels * 8, [&](int x, int y) {
          uint32_t smooth = uint32_t(x * 3 + y) | uint32_t(x * y) << 8 | uint32_t(255 - x) << 16 | uint32_t(y * 9) << 24;
          return (x + y) % 5 == 0 ? noise(x * 131 + y) : smooth;
        });
        std::string raw;
        bool ok = codec == 5 ? detail::encodeTlg5(*src, channels, raw) : detail::encodeTlg6(*src, channels, raw);
        ASSERT_TRUE(ok);
        Image* back = decode(raw);
        ASSERT_NE(back, nullptr) << w << "x" << h << " c" << channels << " tlg" << codec;
        EXPECT_EQ(back->depth, channels * 8);
        for (int i = 0; i < src->count; ++i) {
          uint32_t p = src->pixels[i], want = channels == 4 ? p : channels == 3 ? p | 0xFF000000u
                                                            : 0xFF000000u | (p & 0xFF) * 0x010101u;
          ASSERT_EQ(back->pixels[i], want) << "pixel " << i << " of " << w << "x" << h << " c" << channels
                                           << " tlg" << codec;
        }
        freeImage(src);
        freeImage(back);
      }
}

TEST(TlgRoundTrip, LongRunsAndLargeResidualsUseMatchesAndEscapes) {
  Image* src = makeImage(300, 20, 32, [](int x, int y) { return y < 10 ? 0x80402010u : noise(x + y * 300); });
  for (int codec : {5, 6}) {
    std::string raw;
    ASSERT_TRUE(codec == 5 ? detail::encodeTlg5(*src, 4, raw) : detail::encodeTlg6(*src, 4, raw));
    Image* back = decode(raw);
    EXPECT_TRUE(samePixels(src, back)) << codec;
    freeImage(back);
  }
  freeImage(src);
}

// Every prefix of a valid file is refused without reading past its end (the
// sanitizer build turns an overrun into a failure).
TEST(TlgHostile, TruncatedAndCorruptedStreamsNeverCrash) {
  Image* src = makeImage(20, 19, 32, [](int x, int y) { return noise(x * 7 + y); });
  for (int codec : {5, 6}) {
    std::string raw;
    ASSERT_TRUE(codec == 5 ? detail::encodeTlg5(*src, 4, raw) : detail::encodeTlg6(*src, 4, raw));
    for (size_t n = 0; n < raw.size(); ++n) {
      std::string cut = raw.substr(0, n);
      Image* im = detail::decodeTlg(reinterpret_cast<const uint8_t*>(cut.data()), cut.size());
      EXPECT_EQ(im, nullptr) << "tlg" << codec << " prefix " << n;
      freeImage(im);
    }
    for (size_t i = 11; i < raw.size(); ++i) {
      std::string bad = raw;
      bad[i] = char(bad[i] ^ (0x5A + i));
      Image* im = decode(bad);
      freeImage(im);
    }
  }
  freeImage(src);
}

TEST(TlgHostile, HugeDimensionsAreRefusedBeforeAllocating) {
  std::string t5("TLG5.0\0raw\x1A\x03", 12);
  t5 += std::string("\xff\xff\x00\x00\xff\xff\x00\x00\x04\x00\x00\x00", 12) + std::string(64, '\0');
  EXPECT_EQ(decode(t5), nullptr);
  std::string t6("TLG6.0\0raw\x1A\x04\0\0\0", 15);
  t6 += std::string("\x00\x00\x01\x00\x00\x00\x01\x00", 8) + std::string(64, '\0');
  EXPECT_EQ(decode(t6), nullptr);
  std::string box("TLG0.0\0sds\x1A\xff\xff\xff\x7f", 15);
  EXPECT_EQ(decode(box + std::string(40, '\0')), nullptr);
}

// A match one byte back at the very start of a plane repeats the zeroed
// history; found by the fuzzer as pointer arithmetic running below the plane.
TEST(TlgHostile, ShortMatchAtPlaneStartReadsTheHistory) {
  static const unsigned char kFile[] = {
      0x54, 0x4c, 0x47, 0x35, 0x2e, 0x30, 0x00, 0x72, 0x61, 0x77, 0x1a, 0x01, 0x09, 0x00, 0x00, 0x00,
      0x09, 0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x0e, 0x00, 0x00, 0x00, 0x09, 0x00, 0x00, 0x00,
      0x08, 0x00, 0x00, 0x00, 0x00, 0x09, 0x00, 0x00, 0x00, 0x18, 0x00, 0x1f, 0x20, 0x02, 0x30, 0xe6,
      0xff, 0x09, 0x00, 0x04, 0x00, 0x00, 0x00, 0x01, 0x23, 0xf0, 0x12, 0x00, 0x03, 0x00, 0x00, 0x00,
      0x01, 0x47, 0x60};
  Image* im = detail::decodeTlg(kFile, sizeof(kFile));
  freeImage(im);
}

TEST(TlgSave, ContainerCarriesHeaderWithFinalCommaAndRewritesName) {
  Image* src = makeImage(9, 9, 24, [](int x, int y) { return 0xFF000000u | uint32_t(x * 20 + y); });
  std::strcpy(src->name, "bg01.png");
  src->left = 10, src->top = -5, src->mode = 3;
  fs::path path = tempDir() / "diff.tlg";
  ASSERT_EQ(saveImage(path.c_str(), src, kSaveTlg, 0, 1, 0), 1);
  EXPECT_STREQ(src->name, "bg01.tlg");
  std::string file = readFile(path);
  const std::string tags = std::string("1:\x02=4:\x0a\0\0\0,1:\x03=4:\xfb\xff\xff\xff,1:\x04=4:\x03\0\0\0,", 33) +
                           "1:\x01=8:bg01.tlg,";
  ASSERT_GT(file.size(), tags.size());
  EXPECT_EQ(file.substr(file.size() - tags.size()), tags);
  EXPECT_EQ(file.substr(0, 11), std::string("TLG0.0\0sds\x1A", 11));
  uint32_t rawLen;
  std::memcpy(&rawLen, file.data() + 11, 4);
  EXPECT_EQ(rawLen, file.size() - 15 - 8 - tags.size());
  Image* back = load(file);
  ASSERT_NE(back, nullptr);
  EXPECT_STREQ(back->name, "bg01.tlg");
  EXPECT_EQ(back->left, 10);
  EXPECT_EQ(back->top, -5);
  EXPECT_EQ(back->mode, 3u);
  EXPECT_TRUE(samePixels(src, back));
  freeImage(src);
  freeImage(back);
}

TEST(TlgSave, DepthEightKeepsTheBlueByte) {
  Image* src = makeImage(16, 4, 32, [](int x, int y) { return 0x80FF0000u | (noise(x * 16 + y) & 0xFFFF); });
  fs::path path = tempDir() / "grey.tlg";
  ASSERT_EQ(saveImage(path.c_str(), src, kSaveTlg, 8, 0, 0), 1);
  Image* back = load(readFile(path));
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->depth, 8);
  for (int i = 0; i < src->count; ++i) EXPECT_EQ(back->pixels[i], 0xFF000000u | (src->pixels[i] & 0xFF) * 0x010101u);
  freeImage(src);
  freeImage(back);
}

}  // namespace
}  // namespace velmora::image::test
