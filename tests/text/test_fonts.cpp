// Fonts: the code mapping, the alias table, a font read from an archive, and
// each style bit against a CPU reference of the compositing rule.
#include <gtest/gtest.h>

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "base/textconv.h"
#include "resource/packer.h"
#include "resource/resource.h"
#include "support/tempdir.h"
#include "text/cstring.h"
#include "text/fonts.h"

namespace velmora::text {
namespace {

TEST(GlyphCodes, CodePage932WithItsFourExceptions) {
  EXPECT_EQ(glyphUnicode(0x41), U'A');
  EXPECT_EQ(glyphUnicode(0xA1), char32_t(0xFF61));
  EXPECT_EQ(glyphUnicode(0xDF), char32_t(0xFF9F));
  EXPECT_EQ(glyphUnicode(0x80), char32_t(0));
  EXPECT_EQ(glyphUnicode(0xA0), char32_t(0));
  EXPECT_EQ(glyphUnicode(0x82A0), char32_t(0x3042));
  EXPECT_EQ(glyphUnicode(0x81CA), char32_t(0x00AC));
  EXPECT_EQ(glyphUnicode(0xFAA0), char32_t(0x5FB7));
  EXPECT_EQ(glyphUnicode(0xFAA1), char32_t(0x5FDE));
  EXPECT_EQ(glyphUnicode(0xF040), char32_t(0));
  EXPECT_EQ(glyphUnicode(0xF9FC), char32_t(0));
  EXPECT_EQ(glyphUnicode(0x8160), char32_t(0xFF5E));  // code page 932, not plain Shift_JIS
}

TEST(GlyphCodes, CellEdgeIsThePowerOfTwoAboveSizeBoldAndFour) {
  EXPECT_EQ(cellEdgeFor(28, true), 64);
  EXPECT_EQ(cellEdgeFor(27, false), 32);
  EXPECT_EQ(cellEdgeFor(28, false), 32);
}

std::string fileOf(const char* utf8Name) {
  FontSource s;
  EXPECT_TRUE(resolveFont(utf8_to_sjis(utf8Name), s));
  return std::filesystem::canonical(s.hostFile).filename().string();
}

TEST(FontAliases, WindowsFaceNamesFindTheInstalledJapaneseFonts) {
  EXPECT_EQ(fileOf("ＭＳ ゴシック"), "ipag.ttf");
  EXPECT_EQ(fileOf("MS Gothic"), "ipag.ttf");
  EXPECT_EQ(fileOf("@ＭＳ ゴシック"), "ipag.ttf");
  EXPECT_EQ(fileOf("ＭＳ Ｐゴシック"), "ipagp.ttf");
  EXPECT_EQ(fileOf("ＭＳ 明朝"), "ipam.ttf");
  EXPECT_EQ(fileOf("ＭＳ Ｐ明朝"), "ipamp.ttf");
  EXPECT_EQ(fileOf("メイリオ"), "VL-PGothic-Regular.ttf");
}

TEST(FontAliases, AnUnknownFaceStillGetsASubstitute) {
  FontSource s;
  EXPECT_TRUE(resolveFont("NoSuchFace", s));
  EXPECT_FALSE(s.hostFile.empty());
}

TEST(FontList, InstalledJapaneseFamiliesInShiftJis) {
  const std::vector<std::string> all = installedFontList(0);
  EXPECT_NE(std::find(all.begin(), all.end(), utf8_to_sjis("IPAゴシック")), all.end());
  EXPECT_NE(std::find(all.begin(), all.end(), utf8_to_sjis("IPA明朝")), all.end());
  const std::vector<std::string> fixed = installedFontList(2);
  EXPECT_LT(fixed.size(), all.size());
}

TEST(FontFiles, AFontInsideAnArchiveOpensFromMemory) {
  test::TempDir dir;
  const std::string font = test::readFile("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf");
  ASSERT_FALSE(font.empty());
  test::writeFile("arc0.dat", resource::buildArchive({{"font/sans.ttf", font}}, true));
  resource::openArchives();
  CString s;
  ASSERT_TRUE(s.Create("font/sans.ttf", 20, 16, 4, 0));
  EXPECT_GT(s.baseline(), 10);
  std::vector<uint32_t> cell(32 * 32, 0);
  s.WriteGlyph(cell.data(), 32, 32, 32, 0, 0, 'A');
  EXPECT_GT(std::count_if(cell.begin(), cell.end(), [](uint32_t p) { return p >> 24 == 255; }), 20);
  s.Release();
  resource::closeArchives();
}

TEST(FontFiles, RegisteredFontsAreFoundByTheirFamilyName) {
  ASSERT_TRUE(registerPrivateFont("/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf"));
  FontSource s;
  ASSERT_TRUE(resolveFont("DejaVu Sans Mono", s));
  EXPECT_EQ(s.hostFile, "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf");
  unregisterPrivateFont("/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf");
  EXPECT_FALSE(registerPrivateFont("/etc/hostname"));
}

// ---- style bits against a reference ------------------------------------------

struct Coverage {
  int left = 0, top = 0, width = 0, rows = 0;
  std::vector<int> c;
  int at(int x, int y) const { return c[size_t(y * width + x)]; }
};

// The glyph as FreeType gives it, placed as the cell wants it.
Coverage referenceCoverage(const std::string& file, int size, char32_t u, bool aa, bool bold, int outline) {
  FT_Library lib;
  FT_Face face;
  FT_Init_FreeType(&lib);
  FT_New_Face(lib, file.c_str(), 0, &face);
  FT_Set_Pixel_Sizes(face, 0, FT_UInt(size));
  const int baseline = int(std::lround(face->ascender * double(face->size->metrics.y_ppem) / face->units_per_EM));
  FT_Load_Glyph(face, FT_Get_Char_Index(face, u), aa ? FT_LOAD_NO_BITMAP : FT_LOAD_TARGET_MONO);
  if (bold) FT_Outline_Embolden(&face->glyph->outline, 37);
  FT_Render_Glyph(face->glyph, aa ? FT_RENDER_MODE_NORMAL : FT_RENDER_MODE_MONO);
  const FT_Bitmap& b = face->glyph->bitmap;
  Coverage g;
  g.width = int(b.width);
  g.rows = int(b.rows);
  g.left = int(bold) + face->glyph->bitmap_left + outline;
  g.top = baseline + int(bold) + outline - face->glyph->bitmap_top;
  for (int y = 0; y < g.rows; ++y)
    for (int x = 0; x < g.width; ++x) {
      const unsigned char* row = b.buffer + y * b.pitch;
      g.c.push_back(b.pixel_mode == FT_PIXEL_MODE_MONO ? ((row[x >> 3] >> (7 - (x & 7))) & 1) * 255 : row[x]);
    }
  FT_Done_Face(face);
  FT_Done_FreeType(lib);
  return g;
}

int over(int a, int b) { return a + b - a * b / 255; }
int mix(int base, int top, int w) { return base + (top - base) * w / 256; }
uint32_t mixColour(uint32_t base, uint32_t top, int w) {
  uint32_t out = 0;
  for (int sh = 0; sh <= 16; sh += 8) out |= uint32_t(mix(int(base >> sh & 255), int(top >> sh & 255), w)) << sh;
  return out;
}

// Shadow and outline offsets of a style.
std::vector<std::pair<int, int>> edgeOffsets(int style) {
  std::vector<std::pair<int, int>> offs;
  const bool aa = style & kAntiAlias;
  const int mode = ((style & kOutline) ? 2 : 0) + ((style & kShadow) ? 1 : 0);
  for (int dy = -1; dy <= 2; ++dy)
    for (int dx = -1; dx <= 2; ++dx) {
      const bool neighbour = std::abs(dx) <= 1 && std::abs(dy) <= 1 && (dx || dy);
      const bool block = dx >= 0 && dy >= 0 && (dx || dy);
      const bool border = (dx == -1 || dx == 2 || dy == -1 || dy == 2) && !(dx == 2 && dy == -1) &&
                          !(dx == -1 && dy == 2);
      bool use = false;
      if (mode == 1) use = aa ? (dx >= 1 && dy >= 1 && (dx == 2 || dy == 2)) : block;
      if (mode == 2) use = neighbour;
      if (mode == 3) use = aa ? border : (neighbour || block);
      if (use) offs.push_back({dx, dy});
    }
  return offs;
}

// The compositing rule: shadow and outline in colour 3 first, then the glyph
// mixed over them.
std::vector<uint32_t> referenceCell(const Coverage& g, int edge, int style, uint32_t c1, uint32_t c2, uint32_t c3,
                                    int size) {
  std::vector<uint32_t> cell(size_t(edge * edge), 0);
  const std::vector<std::pair<int, int>> offs = edgeOffsets(style);
  auto px = [&](int x, int y) -> uint32_t* {
    return x < 0 || y < 0 || x >= edge || y >= edge ? nullptr : &cell[size_t(y * edge + x)];
  };
  for (auto [dx, dy] : offs)
    for (int y = 0; y < g.rows; ++y)
      for (int x = 0; x < g.width; ++x)
        if (int c = g.at(x, y))
          if (uint32_t* p = px(g.left + x + dx, g.top + y + dy)) *p = uint32_t(c == 255 ? 255 : over(int(*p >> 24), c)) << 24 | c3;
  for (int y = 0; y < g.rows; ++y)
    for (int x = 0; x < g.width; ++x) {
      const int c = g.at(x, y);
      uint32_t* p = px(g.left + x, g.top + y);
      if (!c || !p) continue;
      uint32_t colour = c1;
      const int row = g.top + y;
      if ((style & kGradient) && c1 != c2) {
        colour = 0;
        for (int sh = 0; sh <= 16; sh += 8) {
          const int a = int(c1 >> sh & 255), b = int(c2 >> sh & 255);
          colour |= uint32_t(row < size ? a - row * (a - b) / size : b) << sh;
        }
      }
      const int e = int(*p >> 24);
      if (c == 255 || e == 0) *p = uint32_t(c) << 24 | colour;
      else if (e == 255) *p = 0xFF000000u | mixColour(c3, colour, c);
      else *p = uint32_t(over(e, c)) << 24 | mixColour(c3, colour, std::min(255, 255 * c / over(e, c)));
    }
  return cell;
}

// あ as FreeType gives it in a style, from the face the alias table picks.
Coverage referenceA(int style, int size) {
  FontSource src;
  EXPECT_TRUE(resolveFont(utf8_to_sjis("ＭＳ ゴシック"), src));
  return referenceCoverage(src.hostFile, size, 0x3042, style & kAntiAlias, style & kBold, (style & kOutline) ? 1 : 0);
}

class StyleBits : public ::testing::TestWithParam<int> {};

TEST_P(StyleBits, EachStyleMatchesTheCompositingRule) {
  const int style = GetParam(), size = 24;
  CString s;
  ASSERT_TRUE(s.Create(utf8_to_sjis("ＭＳ ゴシック"), size, style, 1, 0));
  s.SetColor(0xFF2000, 0x2000FF, 0x00C000);
  const int edge = s.cellEdge();
  std::vector<uint32_t> got(size_t(edge * edge), 0);
  s.WriteGlyph(got.data(), edge, edge, edge, 0, 0, 0x82A0);  // あ
  const Coverage g = referenceA(style, size);
  const std::vector<uint32_t> want = referenceCell(g, edge, style, 0xFF2000, 0x2000FF, 0x00C000, size);
  int differ = 0;
  for (size_t i = 0; i < got.size(); ++i) differ += got[i] != want[i];
  EXPECT_EQ(differ, 0) << "style " << style;
  EXPECT_GT(std::count_if(got.begin(), got.end(), [](uint32_t p) { return p != 0; }), 50);
}

INSTANTIATE_TEST_SUITE_P(Text, StyleBits,
                         ::testing::Values(0, kBold, kShadow, kOutline, kShadow | kOutline, kAntiAlias,
                                           kAntiAlias | kBold, kAntiAlias | kShadow, kAntiAlias | kOutline,
                                           kAntiAlias | kShadow | kOutline, kAntiAlias | kGradient, 30));

TEST(StyleBitsMeaning, ShadowFallsBelowRightAndOutlineSurroundsInColourThree) {
  CString s;
  ASSERT_TRUE(s.Create(utf8_to_sjis("ＭＳ ゴシック"), 24, kShadow, 1, 0));
  s.SetColor(0xFFFFFF, 0xFFFFFF, 0x000080);
  std::vector<uint32_t> cell(32 * 32, 0);
  s.WriteGlyph(cell.data(), 32, 32, 32, 0, 0, '|');
  int shadow = 0;
  for (uint32_t p : cell) shadow += (p & 0xFFFFFF) == 0x000080;
  EXPECT_GT(shadow, 10);
  // The rightmost and lowest covered pixels are shadow, never text.
  int maxX = 0;
  for (int i = 0; i < 32 * 32; ++i)
    if (cell[size_t(i)]) maxX = std::max(maxX, i % 32);
  bool rightIsShadow = true;
  for (int y = 0; y < 32; ++y)
    if (cell[size_t(y * 32 + maxX)]) rightIsShadow &= (cell[size_t(y * 32 + maxX)] & 0xFFFFFF) == 0x000080;
  EXPECT_TRUE(rightIsShadow);
}

// ---- 16-bit colour ---------------------------------------------------------

TEST(SixteenBitColour, FourBitTablesAndGradientByHand) {
  EXPECT_EQ(overAlpha4(8, 8), 12);  // 8 + 8 - 64 / 15
  EXPECT_EQ(overAlpha4(15, 3), 15);
  EXPECT_EQ(overAlpha4(0, 7), 7);
  EXPECT_EQ(colourShare4(8, 12), 10);  // 15 * 8 / 12
  EXPECT_EQ(colourShare4(15, 15), 15);
  CString s;
  ASSERT_TRUE(s.Create(utf8_to_sjis("ＭＳ ゴシック"), 24, kGradient, 1, 1));
  s.SetColor(0xFF2000, 0x2000FF, 0);
  EXPECT_EQ(s.gradient4()[0], 0xF20u);
  EXPECT_EQ(s.gradient4()[12], 0x917u);  // R 15 - 12*13/24, G 2 - 12*2/24, B 0 + 12*15/24
  EXPECT_EQ(s.gradient4()[23], 0x31Eu);  // 15 - 299/24, 2 - 46/24, 0 + 345/24
  EXPECT_EQ(s.gradient4()[24], 0x20Fu);
}

// The compositing rule in 4-bit form, as the 8-bit reference above.
std::vector<uint16_t> referenceCell4(const Coverage& g, int edge, int style, uint32_t c1, uint32_t c3) {
  std::vector<uint16_t> cell(size_t(edge * edge), 0);
  auto cov = [&](int x, int y) { return g.at(x, y) >> 4; };
  auto px = [&](int x, int y) -> uint16_t* {
    return x < 0 || y < 0 || x >= edge || y >= edge ? nullptr : &cell[size_t(y * edge + x)];
  };
  auto mix4 = [](uint32_t base, uint32_t top, int w) {
    uint32_t out = 0;
    for (int sh = 0; sh <= 8; sh += 4) out |= uint32_t(int(base >> sh & 15) + (int(top >> sh & 15) - int(base >> sh & 15)) * w / 16) << sh;
    return out;
  };
  for (auto [dx, dy] : edgeOffsets(style))
    for (int y = 0; y < g.rows; ++y)
      for (int x = 0; x < g.width; ++x)
        if (int c = cov(x, y))
          if (uint16_t* p = px(g.left + x + dx, g.top + y + dy); p && (*p >> 12) != 15) {
            const int e = *p >> 12;
            *p = uint16_t((c == 15 ? 15 : e + c - e * c / 15) << 12 | c3);
          }
  for (int y = 0; y < g.rows; ++y)
    for (int x = 0; x < g.width; ++x) {
      const int c = cov(x, y);
      uint16_t* p = px(g.left + x, g.top + y);
      if (!c || !p) continue;
      const int e = *p >> 12;
      if (c == 15 || e == 0) *p = uint16_t(c << 12 | c1);
      else if (e == 15) *p = uint16_t(0xF000 | mix4(c3, c1, c));
      else {
        const int a = e + c - e * c / 15;
        *p = uint16_t(a << 12 | mix4(c3, c1, std::min(15, 15 * c / a)));
      }
    }
  return cell;
}

class SixteenBitStyles : public ::testing::TestWithParam<int> {};

TEST_P(SixteenBitStyles, EachStyleMatchesTheFourBitRule) {
  const int style = GetParam(), size = 24;
  CString s;
  ASSERT_TRUE(s.Create(utf8_to_sjis("ＭＳ ゴシック"), size, style, 1, 1));
  s.SetColor(0xFF2000, 0xFF2000, 0x00C000);
  const int edge = s.cellEdge();
  std::vector<uint16_t> got(size_t(edge * edge), 0);
  s.WriteGlyph16(got.data(), edge, edge, edge, 0, 0, 0x82A0);  // あ
  const Coverage g = referenceA(style, size);
  const std::vector<uint16_t> want = referenceCell4(g, edge, style, 0xF20, 0x0C0);
  int differ = 0;
  for (size_t i = 0; i < got.size(); ++i) differ += got[i] != want[i];
  EXPECT_EQ(differ, 0) << "style " << style;
  EXPECT_GT(std::count_if(got.begin(), got.end(), [](uint16_t p) { return p != 0; }), 50);
}

INSTANTIATE_TEST_SUITE_P(Text, SixteenBitStyles,
                         ::testing::Values(0, kShadow | kOutline, kAntiAlias, kAntiAlias | kShadow,
                                           kAntiAlias | kOutline, kAntiAlias | kShadow | kOutline | kBold));

TEST(SixteenBitColour, AnOpaqueTexelTakesNoShadowInSixteenBitsOnly) {
  CString s;
  ASSERT_TRUE(s.Create(utf8_to_sjis("ＭＳ ゴシック"), 24, kShadow, 1, 1));
  s.SetColor(0xFFFFFF, 0xFFFFFF, 0x000080);
  std::vector<uint16_t> cell16(32 * 32, 0xF123);
  s.WriteGlyph16(cell16.data(), 32, 32, 32, 0, 0, '|');
  int glyph = 0, other = 0;
  for (uint16_t p : cell16) {
    glyph += p == 0xFFFF;
    other += p != 0xFFFF && p != 0xF123;
  }
  EXPECT_GT(glyph, 10);
  EXPECT_EQ(other, 0);  // the shadow left every opaque texel alone
  std::vector<uint32_t> cell32(32 * 32, 0xFF112233);
  s.WriteGlyph(cell32.data(), 32, 32, 32, 0, 0, '|');
  EXPECT_GT(std::count(cell32.begin(), cell32.end(), 0xFF000080u), 10);
}

}  // namespace
}  // namespace velmora::text
