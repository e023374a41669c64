#include "text/fonts.h"

#ifndef __EMSCRIPTEN__
#include <fontconfig/fontconfig.h>
#endif
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H
#include FT_TRUETYPE_TAGS_H

#include <algorithm>
#include <bitset>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <unordered_map>

#include "base/report.h"
#include "base/sjis.h"
#include "base/textconv.h"
#include "platform/platform.h"
#include "resource/resource.h"
#include "text/messages.h"

namespace velmora::text {
namespace {

struct Alias {
  const char* windowsName;  // UTF-8
  const char* family;
};

// Windows face names games write, and the installed families that stand in.
const Alias kAliases[] = {
    {"ＭＳ ゴシック", "IPAGothic"},   {"MS Gothic", "IPAGothic"},     {"ＭＳゴシック", "IPAGothic"},
    {"ＭＳ Ｐゴシック", "IPAPGothic"}, {"MS PGothic", "IPAPGothic"},   {"MS UI Gothic", "IPAPGothic"},
    {"ＭＳ 明朝", "IPAMincho"},       {"MS Mincho", "IPAMincho"},     {"ＭＳ明朝", "IPAMincho"},
    {"ＭＳ Ｐ明朝", "IPAPMincho"},     {"MS PMincho", "IPAPMincho"},   {"メイリオ", "VL PGothic"},
    {"Meiryo", "VL PGothic"},         {"Meiryo UI", "VL PGothic"},    {"ＭＳ ＵＩ ゴシック", "IPAPGothic"},
};

struct PrivateFont {
  std::string path;  // as registered (Shift_JIS)
  std::vector<std::string> names;
};

struct FontsState {
  std::mutex m;
  std::vector<PrivateFont> privateFonts;
};
FontsState& fontsState() {
  static FontsState s;
  return s;
}

bool loadBytes(std::string_view sjisPath, FontSource& out) {
  const std::string path(sjisPath);
  const std::string host = hostPath(path);
  std::error_code ec;
  if (std::filesystem::is_regular_file(host, ec)) {
    out.hostFile = host;
    out.bytes.clear();
    return true;
  }
  if (!resource::archivesPresent() || !resource::findArchiveEntry(crc64_hash(path))) return false;
  std::string data;
  if (!resource::loadFileS(path.c_str(), data)) return false;
  out.hostFile.clear();
  out.bytes.assign(data.begin(), data.end());
  return true;
}

uint16_t be16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }

// Name records in UTF-16BE (platform 3, or platform 0) to Shift_JIS.
std::string nameText(const uint8_t* p, size_t n, uint16_t platform) {
  if (platform == 1) return std::string(reinterpret_cast<const char*>(p), n);  // Macintosh Roman: ASCII part
  std::u16string u;
  for (size_t i = 0; i + 1 < n; i += 2) u.push_back(static_cast<char16_t>(be16(p + i)));
  for (char16_t c : u)
    if (c && !unicodeToCp932(c)) return {};
  return utf16_to_sjis(u);
}

std::vector<std::string> faceNames(FT_Face face) {
  FT_ULong length = 0;
  if (FT_Load_Sfnt_Table(face, TTAG_name, 0, nullptr, &length) != 0 || length == 0) {
    return face->family_name ? std::vector<std::string>{face->family_name} : std::vector<std::string>{};
  }
  std::vector<uint8_t> table(length);
  if (FT_Load_Sfnt_Table(face, TTAG_name, 0, table.data(), &length) != 0) return {};
  return sfntFamilyNames(table);
}

bool openFace(FT_Library lib, const FontSource& src, int index, FT_Face& face) {
  if (!src.hostFile.empty()) return FT_New_Face(lib, src.hostFile.c_str(), index, &face) == 0;
  return FT_New_Memory_Face(lib, src.bytes.data(), static_cast<FT_Long>(src.bytes.size()), index, &face) == 0;
}

// Every face of a file (collections hold several) with its names.
bool privateFontFaces(const std::string& path, std::vector<std::string>& names) {
  FontSource src;
  if (!loadBytes(path, src)) return false;
  FT_Library lib = nullptr;
  if (FT_Init_FreeType(&lib) != 0) return false;
  bool any = false;
  for (int i = 0; i < 64; ++i) {
    FT_Face face = nullptr;
    if (!openFace(lib, src, i, face)) break;
    any = true;
    for (std::string& n : faceNames(face)) names.push_back(std::move(n));
    const long count = face->num_faces;
    FT_Done_Face(face);
    if (i + 1 >= count) break;
  }
  FT_Done_FreeType(lib);
  return any;
}

bool findPrivate(std::string_view name, FontSource& out) {
  std::lock_guard lk(fontsState().m);
  for (const PrivateFont& f : fontsState().privateFonts) {
    if (std::find(f.names.begin(), f.names.end(), name) == f.names.end()) continue;
    FontSource src;
    if (!loadBytes(f.path, src)) continue;
    // A collection: the face whose names hold it.
    FT_Library lib = nullptr;
    if (FT_Init_FreeType(&lib) != 0) return false;
    int chosen = 0;
    for (int i = 0; i < 64; ++i) {
      FT_Face face = nullptr;
      if (!openFace(lib, src, i, face)) break;
      std::vector<std::string> names = faceNames(face);
      const long count = face->num_faces;
      FT_Done_Face(face);
      if (std::find(names.begin(), names.end(), name) != names.end()) {
        chosen = i;
        break;
      }
      if (i + 1 >= count) break;
    }
    FT_Done_FreeType(lib);
    out = std::move(src);
    out.faceIndex = chosen;
    return true;
  }
  return false;
}

#ifdef __EMSCRIPTEN__
// The browser has no installed fonts: the page carries these faces in /fonts.
struct BundledFace {
  const char* family;
  const char* file;
  bool fixedPitch;
};
const BundledFace kBundledFaces[] = {
    {"VL Gothic", "/fonts/VL-Gothic-Regular.ttf", true}, {"VL PGothic", "/fonts/VL-PGothic-Regular.ttf", false},
    {"IPAGothic", "/fonts/ipag.ttf", true},              {"IPAPGothic", "/fonts/ipagp.ttf", false},
    {"IPAMincho", "/fonts/ipam.ttf", true},              {"IPAPMincho", "/fonts/ipamp.ttf", false},
};

// The first face stands in for unknown names, as the desktop's Japanese default.
bool matchInstalled(const std::string& familyUtf8, FontSource& out) {
  const BundledFace* chosen = &kBundledFaces[0];
  for (const BundledFace& f : kBundledFaces)
    if (familyUtf8 == f.family) chosen = &f;
  platform::awaitPageFile(chosen->file);  // fetched while the game starts
  out.hostFile = chosen->file;
  out.bytes.clear();
  out.faceIndex = 0;
  return true;
}

bool findFallback(char32_t, FontSource&, std::bitset<128>&) { return false; }
#else
void initFontconfig() {
  static std::once_flag once;
  std::call_once(once, [] { FcInit(); });
}

// fontconfig's best match for a family (always something: its substitute).
bool matchInstalled(const std::string& familyUtf8, FontSource& out) {
  initFontconfig();
  FcPattern* pat = FcPatternCreate();
  FcPatternAddString(pat, FC_FAMILY, reinterpret_cast<const FcChar8*>(familyUtf8.c_str()));
  FcPatternAddString(pat, FC_LANG, reinterpret_cast<const FcChar8*>("ja"));
  FcConfigSubstitute(nullptr, pat, FcMatchPattern);
  FcDefaultSubstitute(pat);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(nullptr, pat, &result);
  FcPatternDestroy(pat);
  if (!match) return false;
  FcChar8* file = nullptr;
  int index = 0;
  bool ok = FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file;
  if (ok) {
    FcPatternGetInteger(match, FC_INDEX, 0, &index);
    out.hostFile = reinterpret_cast<const char*>(file);
    out.bytes.clear();
    out.faceIndex = index;
  }
  FcPatternDestroy(match);
  return ok;
}

// The first face in fontconfig's order for the default sans whose charset
// holds u, and which codes of u's block of 128 it holds.
bool findFallback(char32_t u, FontSource& out, std::bitset<128>& block) {
  initFontconfig();
  FcPattern* pat = FcPatternCreate();
  FcCharSet* wanted = FcCharSetCreate();
  FcCharSetAddChar(wanted, FcChar32(u));
  FcPatternAddCharSet(pat, FC_CHARSET, wanted);
  FcPatternAddString(pat, FC_FAMILY, reinterpret_cast<const FcChar8*>("sans-serif"));
  FcConfigSubstitute(nullptr, pat, FcMatchPattern);
  FcDefaultSubstitute(pat);
  FcResult result = FcResultNoMatch;
  FcFontSet* set = FcFontSort(nullptr, pat, FcFalse, nullptr, &result);
  FcPatternDestroy(pat);
  FcCharSetDestroy(wanted);
  bool found = false;
  for (int i = 0; set && i < set->nfont && !found; ++i) {
    FcCharSet* has = nullptr;
    FcChar8* file = nullptr;
    if (FcPatternGetCharSet(set->fonts[i], FC_CHARSET, 0, &has) != FcResultMatch || !FcCharSetHasChar(has, u)) continue;
    if (FcPatternGetString(set->fonts[i], FC_FILE, 0, &file) != FcResultMatch || !file) continue;
    int index = 0;
    FcPatternGetInteger(set->fonts[i], FC_INDEX, 0, &index);
    out.hostFile = reinterpret_cast<const char*>(file);
    out.faceIndex = index;
    for (char32_t k = 0; k < 128; ++k) block[k] = FcCharSetHasChar(has, (u & ~char32_t(127)) + k);
    found = true;
  }
  if (set) FcFontSetDestroy(set);
  return found;
}

#endif

// Scripts keep to a few blocks, so one lookup per block of 128 code points
// serves nearly every character; a code its block's face lacks is looked up
// alone.
struct FallbackBlock {
  FontSource source;
  std::bitset<128> covers;
};
struct FallbackCache {
  std::unordered_map<char32_t, FallbackBlock> blocks;
  std::unordered_map<char32_t, FallbackBlock> singles;  // codes their block's face lacks
};
FallbackCache& fallbackCache() {
  static FallbackCache c;
  return c;
}

// Once per character (the cache remembers it): the author learns which
// font to install before a player meets an empty box.
void reportMissingGlyph(char32_t u) {
  char code[16];
  std::snprintf(code, sizeof code, "U+%04X", unsigned(u));
  printError(messageText(Message::NoGlyph) + code);
}

}  // namespace

bool fallbackFont(char32_t u, FontSource& out) {
  FallbackCache& c = fallbackCache();
  const char32_t block = u >> 7, slot = u & 127;
  auto it = c.blocks.find(block);
  if (it == c.blocks.end()) {
    FallbackBlock b;
    if (!findFallback(u, b.source, b.covers)) b.covers.reset();
    it = c.blocks.emplace(block, std::move(b)).first;
  }
  if (it->second.covers[slot]) return out = it->second.source, true;
  auto single = c.singles.find(u);
  if (single == c.singles.end()) {
    FallbackBlock b;
    if (!findFallback(u, b.source, b.covers) || !b.covers[slot]) b.covers.reset(), reportMissingGlyph(u);
    single = c.singles.emplace(u, std::move(b)).first;
  }
  if (!single->second.covers[slot]) return false;
  out = single->second.source;
  return true;
}

char32_t glyphUnicode(unsigned code) {
  if (code & kUnicodeGlyph) return char32_t(code & ~kUnicodeGlyph);
  if (code < 0x100) {
    if (code <= 0x7E) return code;
    if (code >= 0xA1 && code <= 0xDF) return 0xFF61 + (code - 0xA1);
    return 0;
  }
  if (code >= 0xF040 && code <= 0xF9FC) return 0;  // user-defined area
  if (code == 0x81CA) return 0x00AC;
  if (code == 0xFAA0) return 0x5FB7;
  if (code == 0xFAA1) return 0x5FDE;
  return cp932ToUnicode(code);
}

std::string aliasFamily(std::string_view sjisName) {
  std::string_view name = sjisName;
  if (!name.empty() && name[0] == '@') name.remove_prefix(1);  // vertical variants share the face
  for (const Alias& a : kAliases)
    if (name == sj(a.windowsName)) return a.family;
  return std::string(name);
}

bool resolveFont(std::string_view sjisName, FontSource& out) {
  out = FontSource{};
  std::error_code ec;
  const std::string host = hostPath(sjisName);
  if (!sjisName.empty() && std::filesystem::is_directory(host, ec)) {
    // A folder is never a font file; fall through to the installed names.
  } else if (!sjisName.empty() && loadBytes(sjisName, out)) {
    out.isFile = true;
    return true;
  }
  if (findPrivate(sjisName, out)) return true;
  return matchInstalled(sjis_to_utf8(aliasFamily(sjisName)), out);
}

bool registerPrivateFont(std::string_view sjisPath) {
  PrivateFont f;
  f.path = std::string(sjisPath);
  if (!privateFontFaces(f.path, f.names)) return false;
  std::lock_guard lk(fontsState().m);
  fontsState().privateFonts.push_back(std::move(f));
  return true;
}

void unregisterPrivateFont(std::string_view sjisPath) {
  std::lock_guard lk(fontsState().m);
  auto& v = fontsState().privateFonts;
  v.erase(std::remove_if(v.begin(), v.end(), [&](const PrivateFont& f) { return f.path == sjisPath; }), v.end());
}

std::vector<std::string> sfntFamilyNames(const std::vector<uint8_t>& t) {
  std::vector<std::string> names;
  if (t.size() < 6) return names;
  const size_t count = be16(&t[2]), strings = be16(&t[4]);
  for (size_t i = 0; i < count; ++i) {
    const size_t r = 6 + i * 12;
    if (r + 12 > t.size()) break;
    const uint16_t platform = be16(&t[r]), nameId = be16(&t[r + 6]);
    const size_t length = be16(&t[r + 8]), offset = be16(&t[r + 10]);
    if (nameId != 1 && nameId != 4) continue;
    if (strings + offset + length > t.size()) continue;
    std::string s = nameText(&t[strings + offset], length, platform);
    if (!s.empty() && std::find(names.begin(), names.end(), s) == names.end()) names.push_back(std::move(s));
  }
  return names;
}

#ifdef __EMSCRIPTEN__
std::vector<std::string> installedFontList(int flags) {
  std::vector<std::string> out;
  for (const BundledFace& f : kBundledFaces)
    if (!(flags & 2) || f.fixedPitch) out.push_back(f.family);
  return out;
}
#else
std::vector<std::string> installedFontList(int flags) {
  initFontconfig();
  FcPattern* pat = FcPatternCreate();
  FcLangSet* ja = FcLangSetCreate();
  FcLangSetAdd(ja, reinterpret_cast<const FcChar8*>("ja"));
  FcPatternAddLangSet(pat, FC_LANG, ja);
  FcObjectSet* os = FcObjectSetBuild(FC_FAMILY, FC_FAMILYLANG, FC_FONTFORMAT, FC_SPACING, nullptr);
  FcFontSet* set = FcFontList(nullptr, pat, os);
  std::vector<std::string> out;
  for (int i = 0; set && i < set->nfont; ++i) {
    FcPattern* p = set->fonts[i];
    FcChar8* format = nullptr;
    if (FcPatternGetString(p, FC_FONTFORMAT, 0, &format) != FcResultMatch) continue;
    const std::string fmt = reinterpret_cast<const char*>(format);
    if (fmt != "TrueType" && fmt != "CFF") continue;
    int spacing = FC_PROPORTIONAL;
    FcPatternGetInteger(p, FC_SPACING, 0, &spacing);
    if ((flags & 2) && spacing < FC_MONO) continue;
    // The Japanese family name where the font has one, else the first.
    std::string chosen;
    FcChar8* fam = nullptr;
    for (int k = 0; FcPatternGetString(p, FC_FAMILY, k, &fam) == FcResultMatch; ++k) {
      FcChar8* lang = nullptr;
      const bool japanese = FcPatternGetString(p, FC_FAMILYLANG, k, &lang) == FcResultMatch &&
                            std::string(reinterpret_cast<const char*>(lang)) == "ja";
      std::string name = utf8_to_sjis(reinterpret_cast<const char*>(fam));
      if (k == 0 || japanese) chosen = name;
      if (japanese) break;
    }
    if (chosen.empty()) continue;
    const unsigned char c = static_cast<unsigned char>(chosen[0]);
    if (!isAsciiLetter(chosen[0]) && !isLeadByte(c)) continue;
    if (std::find(out.begin(), out.end(), chosen) == out.end()) out.push_back(chosen);
  }
  std::sort(out.begin(), out.end());
  if (set) FcFontSetDestroy(set);
  FcObjectSetDestroy(os);
  FcLangSetDestroy(ja);
  FcPatternDestroy(pat);
  return out;
}

#endif

}  // namespace velmora::text
