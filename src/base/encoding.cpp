#include "base/encoding.h"

#include "base/sjis.h"
#include "base/textconv.h"

namespace velmora {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Lead byte -> sequence length and the payload bits it carries; 0 = not a lead.
size_t utf8SequenceLength(unsigned char c) {
  if (c < 0x80) return 1;
  if (c >= 0xC2 && c <= 0xDF) return 2;
  if (c >= 0xE0 && c <= 0xEF) return 3;
  if (c >= 0xF0 && c <= 0xF4) return 4;
  return 0;
}

}  // namespace

namespace detail {
GameEncoding currentGameEncoding = GameEncoding::ShiftJis;
}
void setGameEncoding(GameEncoding encoding) { detail::currentGameEncoding = encoding; }

char32_t utf8CharAt(std::string_view s, size_t pos, size_t* length) {
  size_t one = 1;
  size_t& n = length ? *length : one;
  n = 1;
  if (pos >= s.size()) return kReplacement;
  unsigned char lead = static_cast<unsigned char>(s[pos]);
  size_t want = utf8SequenceLength(lead);
  if (want == 1) return lead;
  if (want == 0 || pos + want > s.size()) return kReplacement;
  static const unsigned char kLeadMask[5] = {0, 0, 0x1F, 0x0F, 0x07};
  char32_t code = lead & kLeadMask[want];
  for (size_t i = 1; i < want; ++i) {
    unsigned char c = static_cast<unsigned char>(s[pos + i]);
    if ((c & 0xC0) != 0x80) return kReplacement;
    code = (code << 6) | (c & 0x3F);
  }
  // Overlong three/four-byte forms, surrogates and codes past U+10FFFF.
  if ((want == 3 && code < 0x800) || (want == 4 && (code < 0x10000 || code > 0x10FFFF)) ||
      (code >= 0xD800 && code <= 0xDFFF))
    return kReplacement;
  n = want;
  return code;
}

size_t utf8CharLength(std::string_view s, size_t pos) {
  size_t n = 1;
  utf8CharAt(s, pos, &n);
  return n;
}

char32_t charAt(std::string_view s, size_t pos, size_t* length) {
  if (unicodeGame()) return utf8CharAt(s, pos, length);
  size_t n = charLength(s, pos);
  if (length) *length = n;
  if (pos >= s.size()) return kReplacement;
  unsigned code = static_cast<unsigned char>(s[pos]);
  if (n == 2) code = code << 8 | static_cast<unsigned char>(s[pos + 1]);
  char16_t u = cp932ToUnicode(code);
  return u == 0 && code != 0 ? kReplacement : char32_t(u);
}

}  // namespace velmora
