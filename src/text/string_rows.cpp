// Rows of backlog text into a picture: row separators, ruby over its base,
// indentation spaces. Unicode games lay out in pixels: CJK on the full-width
// grid, everything else by its font's advance.
#include <cmath>
#include <cstring>

#include "base/encoding.h"
#include "base/sjis.h"
#include "text/cstring.h"
#include "text/fonts.h"
#include "text/linebreak.h"
#include "text/ruby.h"

namespace velmora::text {

int CString::UnicodeAdvance(char32_t u, int charGap) {
  if (isGridCharacter(u)) return pixelSize_ + charGap;
  return int(advance(u) + 0.5f) + charGap / 2;
}

int CString::StringWidth(std::string_view utf8, int charGap) {
  int width = 0;
  for (size_t i = 0; i < utf8.size();) {
    size_t n = 1;
    width += UnicodeAdvance(utf8CharAt(utf8, i, &n), charGap);
    i += n;
  }
  return width;
}

void CString::renderUnicodeString(uint32_t* buffer, int pitch, int height, std::string_view utf8) {
  int x = 0;
  char32_t previous = 0;
  for (size_t i = 0; i < utf8.size();) {
    size_t n = 1;
    const char32_t u = utf8CharAt(utf8, i, &n);
    if (previous && !isGridCharacter(previous) && !isGridCharacter(u)) x += int(std::lround(kerning(previous, u)));
    if (u != U' ' && u != U'\u3000') WriteGlyph(buffer, pitch, pitch, height, x, 0, unicodeGlyph(u));
    x += UnicodeAdvance(u);
    previous = u;
    i += n;
  }
}

void CString::renderUnicodeRows(uint32_t* buffer, int pitch, int height, std::string_view text, int charGap,
                                int rowGap, CString* ruby) {
  const int half = (pixelSize_ + charGap) / 2;
  int x = 0, y = rowGap > 0 ? rowGap : 0, rubyX = 0;
  bool inRuby = false;
  for (size_t i = 0; i < text.size();) {
    size_t n = 1;
    const char32_t u = utf8CharAt(text, i, &n);
    if (u == 0x0C) {
      x = 0;
      y += rowGap + pixelSize_;
    } else if (u == U'{') {
      rubyX = x;
      inRuby = true;
    } else if (u == U'/' && inRuby) {
      inRuby = false;
      size_t end = i + 1;
      while (end < text.size() && text[end] != '}') end += utf8CharLength(text, end);
      const std::string_view reading = text.substr(i + 1, end - i - 1);
      if (ruby && x >= rubyX) {
        const int width = ruby->StringWidth(reading), base = x - rubyX;
        int count = 0;
        for (size_t k = 0; k < reading.size(); k += utf8CharLength(reading, k)) ++count;
        const int gap = base > width ? (base - width) / (count + 1) : 0;
        int rx = rubyX + (base > width ? gap : -(width - base) / 2);
        for (size_t k = 0; k < reading.size();) {
          size_t m = 1;
          const char32_t r = utf8CharAt(reading, k, &m);
          ruby->WriteGlyph(buffer, pitch, pitch, height, rx, y - pixelSize_ / 2, unicodeGlyph(r));
          rx += ruby->UnicodeAdvance(r) + gap;
          k += m;
        }
      }
      i = end < text.size() ? end + 1 : end;
      continue;
    } else if (u == U'}') {
      inRuby = false;
    } else if (u == 0x01) {
      x += half;
    } else if (u == U' ' || u == U'\u3000') {
      x += UnicodeAdvance(u, charGap);
    } else {
      WriteGlyph(buffer, pitch, pitch, height, x, y, unicodeGlyph(u));
      x += UnicodeAdvance(u, charGap);
    }
    i += n;
  }
}

void CString::RenderStringRows(uint32_t* buffer, int pitch, std::string_view text, size_t clearBytes, int charGap,
                               int rowGap, CString* ruby) {
  if (!buffer || pitch <= 0) return;
  std::memset(buffer, 0, clearBytes);
  const int height = int(clearBytes / 4 / size_t(pitch));
  if (unicodeGame()) return renderUnicodeRows(buffer, pitch, height, text, charGap, rowGap, ruby);
  const int p = pixelSize_ + charGap;
  int column = 0, y = rowGap > 0 ? rowGap : 0, rubyColumn = 0;
  bool inRuby = false;
  for (size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    const bool two = isLeadByte(c) && i + 1 < text.size();
    const unsigned code = two ? unsigned(c) << 8 | static_cast<unsigned char>(text[i + 1]) : c;
    if (code == 0x0C) {
      column = 0;
      y += rowGap + pixelSize_;
    } else if (code == '{') {
      rubyColumn = column;
      inRuby = true;
    } else if (code == '/' && inRuby) {
      inRuby = false;
      size_t end = i + 1;
      while (end < text.size() && text[end] != '}') end += isLeadByte(text[end]) ? 2 : 1;
      const std::string_view reading = text.substr(i + 1, end - i - 1);
      if (ruby && column >= rubyColumn) {
        const RubyPlan plan = planRuby(reading, column, rubyColumn, p);
        int u = plan.start;
        for (size_t k = 0; k < reading.size();) {
          const bool rt = isLeadByte(reading[k]) && k + 1 < reading.size();
          const unsigned rc = rt ? unsigned(uint8_t(reading[k])) << 8 | uint8_t(reading[k + 1]) : uint8_t(reading[k]);
          ruby->WriteGlyph(buffer, pitch, pitch, height, u, y - pixelSize_ / 2, rc);
          u += rubyAdvance(rt, p, plan.gap);
          k += rt ? 2 : 1;
        }
      }
      i = end < text.size() ? end + 1 : end;
      continue;
    } else if (code == '}') {
      inRuby = false;
    } else if (code == 0x01 || code == ' ') {
      column += 1;
    } else if (code == 0x8140) {
      column += 2;
    } else {
      WriteGlyph(buffer, pitch, pitch, height, (p * column) / 2, y, code);
      column += two ? 2 : 1;
    }
    i += two ? 2 : 1;
  }
}

}  // namespace velmora::text
