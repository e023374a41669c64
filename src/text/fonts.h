#pragma once
// Where a font name leads: a font file (loose or in an archive), a file
// registered with addFontFile, or an installed family found through
// fontconfig after the alias table turned a Windows face name into one.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::text {

// A face ready to open: a file on disk, or bytes read from an archive.
struct FontSource {
  std::string hostFile;        // host path, empty when the bytes are in memory
  std::vector<uint8_t> bytes;  // archive member
  int faceIndex = 0;
  bool isFile = false;  // the name itself named a font file
};

// Glyph codes of Unicode games carry this bit over the code point, so they
// never meet a Shift_JIS code (one byte, or lead << 8 | trail).
constexpr unsigned kUnicodeGlyph = 0x1000000;
inline unsigned unicodeGlyph(char32_t u) { return kUnicodeGlyph | unsigned(u); }

// Glyph code to Unicode, 0 for codes that have no glyph.
char32_t glyphUnicode(unsigned code);

// A face that has a glyph for u when the chosen one lacks it; false when no
// installed face has one. Found once per block of code points.
bool fallbackFont(char32_t u, FontSource& out);

// The installed family a Windows face name stands for, or the name itself.
std::string aliasFamily(std::string_view sjisName);

// Resolves a font name. False only for a name that is a file FreeType cannot
// be given (an unreadable member); installed names always find a substitute.
bool resolveFont(std::string_view sjisName, FontSource& out);

// Private registrations (addFontFile): the file must be a font FreeType opens.
bool registerPrivateFont(std::string_view sjisPath);
void unregisterPrivateFont(std::string_view sjisPath);

// The family names (Shift_JIS) stored in a face's SFNT "name" table: ids 1
// and 4 in every language whose text converts to code page 932.
std::vector<std::string> sfntFamilyNames(const std::vector<uint8_t>& nameTable);

// getFontListNum: installed Japanese TrueType/OpenType families; flags bit 1
// keeps only fixed-pitch ones. Names in Shift_JIS where they convert.
std::vector<std::string> installedFontList(int flags);

}  // namespace velmora::text
