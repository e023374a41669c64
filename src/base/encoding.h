#pragma once
// The game's text encoding. Shift_JIS (code page 932) unless the game was
// packed for Unicode; every walk over game text steps by these helpers so the
// two encodings never mix.
#include <cstddef>
#include <string_view>

namespace velmora {

enum class GameEncoding { ShiftJis, Utf8 };

GameEncoding gameEncoding();
void setGameEncoding(GameEncoding encoding);
inline bool unicodeGame() { return gameEncoding() == GameEncoding::Utf8; }

// Bytes of the character starting at s[pos] in the game's encoding, at least 1
// and never past the end (a cut or malformed sequence counts one byte).
size_t charLength(std::string_view s, size_t pos);

// The code point of the character at s[pos]; its byte length goes to *length.
// Codes with no Unicode mapping, and malformed UTF-8, give U+FFFD.
char32_t charAt(std::string_view s, size_t pos, size_t* length = nullptr);

// The same in one encoding regardless of the game's.
size_t utf8CharLength(std::string_view s, size_t pos);
char32_t utf8CharAt(std::string_view s, size_t pos, size_t* length = nullptr);

}  // namespace velmora
