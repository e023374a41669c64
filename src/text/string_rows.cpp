// Rows of backlog text into a picture: row separators, ruby over its base,
// indentation spaces.
#include <cstring>

#include "base/sjis.h"
#include "text/cstring.h"
#include "text/ruby.h"

namespace velmora::text {

void CString::RenderStringRows(uint32_t* buffer, int pitch, std::string_view text, size_t clearBytes, int charGap,
                               int rowGap, CString* ruby) {
  if (!buffer || pitch <= 0) return;
  std::memset(buffer, 0, clearBytes);
  const int height = int(clearBytes / 4 / size_t(pitch));
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
