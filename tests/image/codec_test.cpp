// The Image record and the PNG, JPEG and BMP codecs.
#include <png.h>

#include "helpers.h"
#include "base/report.h"
#include "image/internal.h"

namespace velmora::image::test {
namespace {

namespace fs = std::filesystem;

Image* gradient(int w, int h, int depth) {
  return makeImage(w, h, depth, [](int x, int y) {
    return uint32_t((x * 37 + y * 11) & 255) << 24 | uint32_t(x * 8 & 255) << 16 | uint32_t(y * 8 & 255) << 8 |
           uint32_t((x + y) * 4 & 255);
  });
}

Image* saveAndLoad(Image* im, int format, int depth, int value, int option, const char* file) {
  fs::path p = tempDir() / file;
  EXPECT_EQ(saveImage(p.c_str(), im, format, depth, value, option), 1);
  return load(readFile(p));
}

TEST(ImageRecord, CreateCopyFree) {
  EXPECT_EQ(createImage(0, 10, 32), nullptr);
  EXPECT_EQ(createImage(10, -1, 32), nullptr);
  EXPECT_EQ(createImage(65536, 65536, 32), nullptr);  // count would not fit
  Image* im = createImage(7, 3, 24);
  ASSERT_NE(im, nullptr);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(im->pixels) % 16, 0u);
  EXPECT_EQ(im->count, 21);
  EXPECT_EQ(im->name[0], '\0');
  for (int i = 0; i < 7; ++i) EXPECT_EQ(im->pixels[21 + i], 0u) << "guard row";
  for (int i = 0; i < 21; ++i) im->pixels[i] = 0x01020304u * i;
  std::strcpy(im->name, "base.png");
  im->left = 4;
  Image* copy = copyImage(im);
  ASSERT_NE(copy, nullptr);
  EXPECT_TRUE(samePixels(im, copy));
  EXPECT_EQ(copy->depth, 24);
  EXPECT_EQ(copy->name[0], '\0');
  EXPECT_EQ(copy->left, 0);
  EXPECT_EQ(copyImage(nullptr), nullptr);
  freeImage(im);
  EXPECT_EQ(im, nullptr);
  freeImage(im);  // a null pointer is ignored
  freeImage(copy);
}

TEST(ImageRecord, DetectionRefusesUnknownAndShortData) {
  EXPECT_EQ(load(""), nullptr);
  EXPECT_EQ(load("GIF89a"), nullptr);
  EXPECT_EQ(load("BM"), nullptr);
  EXPECT_EQ(load("\x89P"), nullptr);
  EXPECT_EQ(load("\xff\xd8"), nullptr);
  EXPECT_EQ(load(std::string("TLG5.0\0raw\x1A", 11) + std::string(40, '\0')), nullptr);
}

// Every format's header gives its size without decoding; the TLG container
// and the JPEG markers before the frame are stepped over.
TEST(ImageRecord, HeadersDeclareTheirSize) {
  Image* im = gradient(37, 21, 32);
  const struct {
    int format, depth, value;
    const char* file;
  } files[] = {{kSaveBmp, 24, 0, "s.bmp"}, {kSavePng, 32, 1, "s.png"}, {kSaveJpeg, 32, 90, "s.jpg"},
               {kSaveTlg, 32, 0, "s5.tlg"}, {kSaveTlg, 24, 1, "s6.tlg"}};
  std::strcpy(im->name, "base.png");  // TLG then writes its container, JPEG a segment before the frame
  for (const auto& f : files) {
    const fs::path p = tempDir() / f.file;
    ASSERT_EQ(saveImage(p.c_str(), im, f.format, f.depth, f.value, 1), 1) << f.file;
    const std::string bytes = readFile(p);
    PictureSize size;
    ASSERT_TRUE(readPictureSize(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), size)) << f.file;
    EXPECT_EQ(size.width, 37) << f.file;
    EXPECT_EQ(size.height, 21) << f.file;
    PictureSize none;
    EXPECT_FALSE(readPictureSize(reinterpret_cast<const unsigned char*>(bytes.data()), 12, none)) << f.file;
  }
  freeImage(im);
}

// format x depth: what comes back, and how exactly.
TEST(CodecRoundTrip, BmpAndPngAtEveryDepth) {
  Image* src = gradient(33, 7, 32);
  for (int format : {kSaveBmp, kSavePng}) {
    for (int depth : {8, 24, 32}) {
      Image* back = saveAndLoad(src, format, depth, 6, 0, "rt.img");
      ASSERT_NE(back, nullptr) << format << "/" << depth;
      EXPECT_EQ(back->depth, depth == 32 ? 32 : 24) << format << "/" << depth;
      for (int i = 0; i < src->count; ++i) {
        uint32_t p = src->pixels[i], want = depth == 32 ? p : 0xFF000000u | (p & 0xFFFFFF);
        if (depth == 8) want = 0xFF000000u | uint32_t(luminance(p)) * 0x010101u;
        ASSERT_EQ(back->pixels[i], want) << format << "/" << depth << " pixel " << i;
      }
      freeImage(back);
    }
  }
  freeImage(src);
}

TEST(CodecRoundTrip, PngInterlacedAndHeaderText) {
  Image* src = gradient(20, 13, 32);
  std::strcpy(src->name, "parts/base01.bmp");
  src->left = -12, src->top = 34, src->mode = 7;
  Image* back = saveAndLoad(src, kSavePng, 0, 9, 1, "hdr.png");
  EXPECT_STREQ(src->name, "parts/base01.png");
  ASSERT_NE(back, nullptr);
  EXPECT_TRUE(samePixels(src, back));
  EXPECT_STREQ(back->name, "parts/base01.png");
  EXPECT_EQ(back->left, -12);
  EXPECT_EQ(back->top, 34);
  EXPECT_EQ(back->mode, 7u);
  freeImage(back);
  std::strcpy(src->name, "noext");
  back = saveAndLoad(src, kSavePng, 0, 1, 0, "noext.png");
  EXPECT_STREQ(back->name, "noext");
  freeImage(back);
  freeImage(src);
}

int maxChannelError(const Image* a, const Image* b, int channels) {
  int worst = 0;
  for (int i = 0; i < a->count; ++i)
    for (int c = 0; c < channels; ++c)
      worst = std::max(worst, std::abs(int(a->pixels[i] >> (8 * c) & 255) - int(b->pixels[i] >> (8 * c) & 255)));
  return worst;
}

// The ALP marker's type byte, or -1 without one.
int alphaType(const std::string& jpeg) {
  for (size_t i = 2; i + 8 < jpeg.size(); ++i)
    if (uint8_t(jpeg[i]) == 0xFF && uint8_t(jpeg[i + 1]) == 0xE2 && jpeg.compare(i + 4, 3, "ALP") == 0)
      return jpeg[i + 7];
  return -1;
}

int countMarkers(const std::string& jpeg, uint8_t marker) {
  int n = 0;
  for (size_t i = 2; i + 1 < jpeg.size(); ++i) n += uint8_t(jpeg[i]) == 0xFF && uint8_t(jpeg[i + 1]) == marker;
  return n;
}

TEST(CodecRoundTrip, JpegColourGreyAndHeader) {
  Image* src = makeImage(48, 32, 24, [](int x, int y) { return 0xFF000000u | uint32_t(x * 5) << 16 | uint32_t(y * 7) << 8 | 90; });
  std::strcpy(src->name, "ev/cg01.png");
  src->left = 3, src->top = -4, src->mode = 2;
  for (int option : {0, 1, 2, 3, 4, 8, 12}) {
    Image* back = saveAndLoad(src, kSaveJpeg, 0, 95, option, "c.jpg");
    ASSERT_NE(back, nullptr) << option;
    EXPECT_EQ(back->depth, 24);
    EXPECT_LE(maxChannelError(src, back, 3), 12) << option;
    EXPECT_STREQ(back->name, "ev/cg01.jpg");
    EXPECT_EQ(back->left, 3);
    EXPECT_EQ(back->top, -4);
    EXPECT_EQ(back->mode, 2u);
    for (int i = 0; i < back->count; ++i) ASSERT_EQ(back->pixels[i] >> 24, 255u);
    freeImage(back);
  }
  EXPECT_STREQ(src->name, "ev/cg01.jpg");
  Image* grey = saveAndLoad(src, kSaveJpeg, 8, 100, 0, "g.jpg");
  ASSERT_NE(grey, nullptr);
  EXPECT_EQ(grey->depth, 24);
  for (int i = 0; i < grey->count; ++i) {
    uint32_t p = grey->pixels[i];
    ASSERT_EQ(p, 0xFF000000u | (p & 255) * 0x010101u);
    ASSERT_LE(std::abs(int(p & 255) - luminance(src->pixels[i])), 3);
  }
  freeImage(grey);
  freeImage(src);
}

TEST(CodecRoundTrip, JpegAlphaPlaneBothTypes) {
  Image* hard = makeImage(40, 30, 32, [](int x, int y) { return (x < 20 ? 0xFF000000u : 0) | uint32_t(x * 6 + y); });
  Image* soft = makeImage(40, 30, 32, [](int x, int y) { return uint32_t(40 + x * 4) << 24 | uint32_t(y * 8) << 8; });
  fs::path p = tempDir() / "a.jpg";
  for (Image* src : {hard, soft}) {
    ASSERT_EQ(saveImage(p.c_str(), src, kSaveJpeg, 0, 90, 0), 1);
    std::string file = readFile(p);
    EXPECT_EQ(alphaType(file), src == hard ? 2 : 1);
    Image* back = load(file);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->depth, 32);
    for (int i = 0; i < src->count; ++i) {
      int a = int(src->pixels[i] >> 24), b = int(back->pixels[i] >> 24);
      ASSERT_LE(std::abs(a - b), src == hard ? 0 : 4) << i;
    }
    freeImage(back);
  }
  freeImage(hard);
  freeImage(soft);
}

TEST(CodecRoundTrip, JpegAlphaBeyondOneSegmentSpreadsOverMarkers) {
  // Noise alpha at depth 32 becomes a one-channel JPEG far above 0xFFF5 bytes.
  Image* src = makeImage(400, 400, 32, [](int x, int y) { return (noise(x + y * 400) | 0x01000000u) & 0xFEFFFFFFu; });
  fs::path p = tempDir() / "big.jpg";
  ASSERT_EQ(saveImage(p.c_str(), src, kSaveJpeg, 32, 100, 0), 1);
  std::string file = readFile(p);
  EXPECT_EQ(alphaType(file), 1);
  EXPECT_GE(countMarkers(file, 0xE3), 1);
  Image* back = load(file);
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->depth, 32);
  int worst = 0;
  for (int i = 0; i < src->count; ++i) worst = std::max(worst, std::abs(int(src->pixels[i] >> 24) - int(back->pixels[i] >> 24)));
  EXPECT_LE(worst, 8);
  freeImage(back);
  // Dropping the continuation marker leaves the plane incomplete: ignored.
  size_t at = file.find("\xFF\xE3");
  ASSERT_NE(at, std::string::npos);
  size_t len = (uint8_t(file[at + 2]) << 8) | uint8_t(file[at + 3]);
  file.erase(at, 2 + len);
  back = load(file);
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->depth, 24);
  freeImage(back);
  freeImage(src);
}

// Writes a PNG by libpng itself, for the decoder's edge cases.
std::string pngFile(int w, int h, int bitDepth, int colour, const std::vector<uint8_t>& rows,
                    const std::vector<png_color>& palette = {}, const std::vector<uint8_t>& trns = {}) {
  std::string out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_write_fn(png, &out, [](png_structp p, png_bytep d, png_size_t n) {
    static_cast<std::string*>(png_get_io_ptr(p))->append(reinterpret_cast<char*>(d), n);
  }, nullptr);
  png_set_IHDR(png, info, w, h, bitDepth, colour, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (!palette.empty()) png_set_PLTE(png, info, palette.data(), int(palette.size()));
  if (!trns.empty()) png_set_tRNS(png, info, trns.data(), int(trns.size()), nullptr);
  png_write_info(png, info);
  size_t stride = rows.size() / h;
  for (int y = 0; y < h; ++y) png_write_row(png, const_cast<uint8_t*>(rows.data() + y * stride));
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return out;
}

TEST(PngDecode, PaletteWithTransparencyAndGrey16) {
  Image* im = load(pngFile(1, 1, 8, PNG_COLOR_TYPE_PALETTE, {0}, {{0x11, 0x22, 0x33}}, {0x80}));
  ASSERT_NE(im, nullptr);
  EXPECT_EQ(im->depth, 32);
  EXPECT_EQ(im->pixels[0], 0x80112233u);
  freeImage(im);
  im = load(pngFile(2, 1, 16, PNG_COLOR_TYPE_GRAY, {0x12, 0x34, 0xAB, 0xCD}));
  ASSERT_NE(im, nullptr);
  EXPECT_EQ(im->depth, 24);
  EXPECT_EQ(im->pixels[0], 0xFF121212u);
  EXPECT_EQ(im->pixels[1], 0xFFABABABu);
  freeImage(im);
  im = load(pngFile(9, 1, 1, PNG_COLOR_TYPE_GRAY, {0xA5, 0x80}));
  ASSERT_NE(im, nullptr);
  EXPECT_EQ(im->pixels[0], 0xFFFFFFFFu);
  EXPECT_EQ(im->pixels[1], 0xFF000000u);
  EXPECT_EQ(im->pixels[8], 0xFFFFFFFFu);
  freeImage(im);
}

TEST(PngDecode, TruncatedFilesFailQuietly) {
  std::string file = pngFile(16, 16, 8, PNG_COLOR_TYPE_RGB, std::vector<uint8_t>(16 * 16 * 3, 7));
  std::string out = printed([&] {
    for (size_t n = 2; n < file.size(); n += 3) {
      Image* im = load(file.substr(0, n));
      EXPECT_EQ(im, nullptr) << n;
      freeImage(im);
    }
  });
  EXPECT_EQ(out, "");
}

// A BMP with a 40-byte info header; rows as stored (bottom-up).
std::string bmpFile(int w, int h, int bits, uint32_t compression, const std::string& palette, const std::string& rows) {
  std::string f(54, '\0');
  auto put = [&](size_t at, uint32_t v, int n) {
    for (int i = 0; i < n; ++i) f[at + i] = char(v >> (8 * i));
  };
  f[0] = 'B', f[1] = 'M';
  put(2, uint32_t(54 + palette.size() + rows.size()), 4);
  put(10, uint32_t(54 + palette.size()), 4);
  put(14, 40, 4), put(18, uint32_t(w), 4), put(22, uint32_t(h), 4), put(26, 1, 2), put(28, uint32_t(bits), 2);
  put(30, compression, 4);
  return f + palette + rows;
}

TEST(BmpDecode, OneBitThirtyThreeWideAndRejectedLayouts) {
  std::string palette = std::string("\x10\x20\x30\x00\xF0\xE0\xD0\x00", 8);
  // Row size 8 bytes; stored first (bottom) row has only pixel 32 set.
  std::string rows = std::string("\x00\x00\x00\x00\x80\x00\x00\x00", 8) + std::string("\xAA\xAA\xAA\xAA\x00\x00\x00\x00", 8);
  Image* im = load(bmpFile(33, 2, 1, 0, palette, rows));
  ASSERT_NE(im, nullptr);
  EXPECT_EQ(im->width, 33);
  EXPECT_EQ(im->depth, 24);
  EXPECT_EQ(im->pixels[0], 0xFFD0E0F0u);  // top row (1010...), from the last stored row
  EXPECT_EQ(im->pixels[1], 0xFF302010u);
  EXPECT_EQ(im->pixels[32], 0xFF302010u);
  EXPECT_EQ(im->pixels[33], 0xFF302010u);  // bottom row: only its last pixel set
  EXPECT_EQ(im->pixels[33 + 32], 0xFFD0E0F0u);
  freeImage(im);
  EXPECT_EQ(load(bmpFile(33, 2, 1, 1, palette, rows)), nullptr);
  EXPECT_EQ(load(bmpFile(4, 2, 16, 0, "", std::string(16, '\0'))), nullptr);
  EXPECT_EQ(load(bmpFile(33, 2, 1, 0, palette, rows.substr(0, 15))), nullptr);
  EXPECT_EQ(load(bmpFile(33, 2, 8, 0, palette, rows)), nullptr);  // palette too short
  EXPECT_EQ(load(bmpFile(0x7FFFFFFF, 0x7FFFFFFF, 24, 0, "", rows)), nullptr);
}

TEST(SaveMessages, EmptyImageAndUnwritablePath) {
  const char* formats[] = {"BMP", "PNG", "JPEG", "TLG"};
  for (int f = 0; f < 4; ++f) {
    std::string out = printed([&] { EXPECT_EQ(saveImage("x.img", nullptr, f, 0, 0, 0), 0); });
    EXPECT_EQ(out, sjis((std::string(formats[f]) + ": \"x.img\" 画像データが空です\n").c_str()));
  }
  Image* im = gradient(4, 4, 24);
  const char* bad = "/nonexistent-dir/a.img";
  for (int f = 0; f < 3; ++f) {
    std::string out = printed([&] { EXPECT_EQ(saveImage(bad, im, f, 0, 75, 0), 0); });
    EXPECT_EQ(out, sjis((std::string(formats[f]) + ": \"" + bad + "\" 画像を保存出来ませんでした\n").c_str()));
  }
  std::string out = printed([&] { EXPECT_EQ(saveImage(bad, im, kSaveTlg, 0, 0, 0), 0); });
  EXPECT_EQ(out, "");
  freeImage(im);
}

// The checks report through the reporter given; a trace builder sees each message's bytes.
std::string g_reported;
std::string captureReport(std::string_view message) {
  g_reported.append(message.data(), message.size()).push_back('|');
  return std::string(message);
}

std::string reported(int format, int& depth, int& value, int& option) {
  installReportHooks({.ownTrace = captureReport});
  setActiveLanguage(kLanguageOwn);
  g_reported.clear();
  printed([&] { checkScreenShotArgs(format, depth, value, option, printError); });
  installReportHooks({});
  return g_reported;
}

TEST(SaveMessages, ScreenShotArgumentChecks) {
  int depth = 16, value = 10, option = 2;
  EXPECT_EQ(reported(kSavePng, depth, value, option),
            sjis("対応していない深度です") + "|" + sjis("対応していない圧縮値です") + "|" + sjis("対応していないPNG-OPです") + "|");
  EXPECT_EQ(depth, 0);
  EXPECT_EQ(value, 9);
  EXPECT_EQ(option, 0);
  depth = 24, value = 101, option = 3;
  EXPECT_EQ(reported(kSaveJpeg, depth, value, option),
            sjis("対応していない品質値です") + "|" + sjis("-FMT: 対応していないJPEG-OPです") + "|");
  EXPECT_EQ(depth, 24);
  EXPECT_EQ(value, 100);
  EXPECT_EQ(option, 1);
  value = -1;
  EXPECT_EQ(reported(kSaveBmp, depth, value, option), "");
}

}  // namespace
}  // namespace velmora::image::test
