#include "setup/font.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <string>

#include "core/textconv.h"
#include "image/image.h"

namespace velmora::setup {
namespace {

struct FontState {
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  bool failed = false;  // no font to be had: not asked again every frame
};
FontState F;

struct Alias {
  const char* windows;
  const char* family;
};
// Windows Japanese faces and the installed families that stand in for them.
const Alias kAliases[] = {
    {"ＭＳ ゴシック", "IPAGothic"}, {"MS Gothic", "IPAGothic"},   {"ＭＳ Ｐゴシック", "IPAPGothic"},
    {"MS PGothic", "IPAPGothic"},   {"ＭＳ 明朝", "IPAMincho"},   {"MS Mincho", "IPAMincho"},
};

std::string fontFileFor(const char* family) {
  std::string path;
  FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(family));
  if (!pattern) return path;
  FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8*>("ja"));
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result;
  if (FcPattern* match = FcFontMatch(nullptr, pattern, &result)) {
    FcChar8* file = nullptr;
    if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) path = reinterpret_cast<const char*>(file);
    FcPatternDestroy(match);
  }
  FcPatternDestroy(pattern);
  return path;
}

// Code points of CP932 text, one per character.
std::u32string codePoints(std::string_view sjis) {
  const std::string utf8 = sjis_to_utf8(sjis);
  std::u32string out;
  for (size_t i = 0; i < utf8.size();) {
    const unsigned char c = static_cast<unsigned char>(utf8[i]);
    const int n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    char32_t cp = n == 1 ? c : c & (0x3F >> (n - 1));
    for (int k = 1; k < n && i + k < utf8.size(); ++k) cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    out.push_back(cp);
    i += static_cast<size_t>(n);
  }
  return out;
}

void blendPixel(uint32_t& dst, uint32_t colour, int coverage) {
  const uint32_t a = static_cast<uint32_t>(coverage);
  uint32_t out = 0xFF000000;
  for (int shift = 0; shift <= 16; shift += 8) {
    const uint32_t s = (colour >> shift) & 255, d = (dst >> shift) & 255;
    out |= ((s * a + d * (255 - a)) / 255) << shift;
  }
  dst = out;
}

}  // namespace

bool openFace(std::string_view windowsFace) {
  if (F.face) return true;
  if (F.failed) return false;
  F.failed = true;
  if (!F.library && FT_Init_FreeType(&F.library) != 0) return false;
  const char* family = "IPAGothic";
  for (const Alias& a : kAliases)
    if (windowsFace == a.windows) family = a.family;
  const std::string file = fontFileFor(family);
  if (file.empty() || FT_New_Face(F.library, file.c_str(), 0, &F.face) != 0) return false;
  F.failed = false;
  return true;
}

int drawText(image::Image& target, int x, int y, std::string_view sjis, int pixelHeight, uint32_t colour,
             const render::Rect& clip) {
  if (!F.face || FT_Set_Pixel_Sizes(F.face, 0, static_cast<FT_UInt>(pixelHeight)) != 0) return 0;
  const int ascender = static_cast<int>(F.face->size->metrics.ascender >> 6);
  int pen = x;
  for (char32_t cp : codePoints(sjis)) {
    if (FT_Load_Char(F.face, cp, FT_LOAD_RENDER) != 0) continue;
    const FT_GlyphSlot g = F.face->glyph;
    const int left = pen + g->bitmap_left, top = y + ascender - g->bitmap_top;
    for (int row = 0; row < static_cast<int>(g->bitmap.rows); ++row) {
      const int py = top + row;
      if (py < clip.top || py >= clip.bottom || py < 0 || py >= target.height) continue;
      for (int col = 0; col < static_cast<int>(g->bitmap.width); ++col) {
        const int px = left + col;
        if (px < clip.left || px >= clip.right || px < 0 || px >= target.width) continue;
        const int coverage = g->bitmap.buffer[row * g->bitmap.pitch + col];
        if (coverage) blendPixel(target.pixels[py * target.width + px], colour, coverage);
      }
    }
    pen += static_cast<int>(g->advance.x >> 6);
  }
  return pen - x;
}

int textWidth(std::string_view sjis, int pixelHeight) {
  if (!F.face || FT_Set_Pixel_Sizes(F.face, 0, static_cast<FT_UInt>(pixelHeight)) != 0) return 0;
  int width = 0;
  for (char32_t cp : codePoints(sjis))
    if (FT_Load_Char(F.face, cp, FT_LOAD_DEFAULT) == 0) width += static_cast<int>(F.face->glyph->advance.x >> 6);
  return width;
}

void closeFace() {
  if (F.face) FT_Done_Face(F.face);
  if (F.library) FT_Done_FreeType(F.library);
  F = FontState{};
}

}  // namespace velmora::setup
