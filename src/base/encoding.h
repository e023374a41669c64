#pragma once
// The game's text encoding. Shift_JIS (code page 932) unless the game was
// packed for Unicode; every walk over game text steps by these helpers so the
// two encodings never mix.
#include <cstddef>
#include <string_view>

#include "base/sjis.h"

namespace velmora {

enum class GameEncoding { ShiftJis, Utf8 };

namespace detail {
extern GameEncoding currentGameEncoding;  // set once the game's script.dat is read
}
inline GameEncoding gameEncoding() { return detail::currentGameEncoding; }
void setGameEncoding(GameEncoding encoding);
inline bool unicodeGame() { return gameEncoding() == GameEncoding::Utf8; }

// Whether the byte begins a character of more than one byte (a Shift_JIS lead
// byte; any non-ASCII byte in a Unicode game). Text lines are told from
// command lines by it.
inline bool isMultiByteLead(char c) { return unicodeGame() ? static_cast<unsigned char>(c) >= 0x80 : isLeadByte(c); }

// First byte of a narration line as packed: the rest of the line is text even
// when it begins with a Latin letter. Neither encoding can start a character
// with it (no code page 932 character is 0x80; in UTF-8 it only continues one).
constexpr char kNarrationMark = '\x80';

size_t utf8CharLength(std::string_view s, size_t pos);

// Bytes of the character starting at s[pos] in the game's encoding, at least 1
// and never past the end (a cut or malformed sequence counts one byte).
inline size_t charLength(std::string_view s, size_t pos) {
  if (unicodeGame()) return utf8CharLength(s, pos);
  return pos + 1 < s.size() && isLeadByte(s[pos]) ? 2 : 1;
}

// The code point of the character at s[pos]; its byte length goes to *length.
// Codes with no Unicode mapping, and malformed UTF-8, give U+FFFD.
char32_t charAt(std::string_view s, size_t pos, size_t* length = nullptr);

// The same in UTF-8 regardless of the game's encoding.
char32_t utf8CharAt(std::string_view s, size_t pos, size_t* length = nullptr);

}  // namespace velmora
