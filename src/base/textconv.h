#pragma once
// Conversions between code page 932 and Unicode (Basic Multilingual Plane only;
// codes without a mapping become U+0000). UTF-16 is little-endian, no BOM.
#include <string>
#include <string_view>

namespace velmora {

std::u16string sjis_to_utf16(std::string_view sjis);
std::string sjis_to_utf8(std::string_view sjis);
std::string utf16_to_utf8(std::u16string_view utf16);
std::string utf16_to_sjis(std::u16string_view utf16);  // skips a leading U+FEFF
std::string utf8_to_sjis(std::string_view utf8);
std::u16string utf8_to_utf16(std::string_view utf8);

// Strict UTF-8 -> CP932 for authoring tools: false on the first character that
// has no CP932 code (its byte offset in badOffset) or on malformed UTF-8.
bool utf8_to_sjis_strict(std::string_view utf8, std::string& out, size_t& badOffset);

// One CP932 code (single byte, or lead << 8 | trail) to its BMP code point, 0 if none.
char16_t cp932ToUnicode(unsigned code);
// A BMP code point to its CP932 code, 0 if none (0 maps from U+0000 only).
unsigned unicodeToCp932(char16_t u);

// Game text (in the game's encoding, base/encoding.h) to and from the host's
// UTF-8 and UTF-16: Shift_JIS games convert, Unicode games pass UTF-8 through.
std::string gameToUtf8(std::string_view game);
std::string utf8ToGame(std::string_view utf8);
std::u16string gameToUtf16(std::string_view game);
std::string utf16ToGame(std::u16string_view utf16);

// A game path (as scripts write it) as the host file system names it: a
// backslash separates folders as '/' does, and non-ASCII text becomes UTF-8.
std::string hostPath(std::string_view gamePath);

// A message written in UTF-8 in the source, as the engine's text in the game's
// encoding (CP932 unless the game is Unicode). Converted once per distinct
// literal and kept for the life of the process.
const std::string& sj(const char* utf8Literal);

}  // namespace velmora
