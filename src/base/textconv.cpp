#include "base/textconv.h"

#include <iconv.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "base/encoding.h"
#include "base/sjis.h"

namespace velmora {
namespace {

// Both directions come from glibc's "CP932" table, read once into arrays.
struct Cp932Tables {
  std::vector<char16_t> toUnicode;   // index: code (0..0xFFFF)
  std::vector<uint16_t> fromUnicode;  // index: code point
};

char16_t iconvOne(iconv_t cd, const unsigned char* in, size_t inLen) {
  char16_t out[4] = {0, 0, 0, 0};
  char* ip = reinterpret_cast<char*>(const_cast<unsigned char*>(in));
  char* op = reinterpret_cast<char*>(out);
  size_t il = inLen, ol = sizeof(out);
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  if (iconv(cd, &ip, &il, &op, &ol) == static_cast<size_t>(-1) || il != 0) return 0;
  if (sizeof(out) - ol != 2) return 0;  // outside the BMP or a sequence
  return out[0];
}

unsigned iconvBack(iconv_t cd, char16_t u) {
  unsigned char out[4] = {0, 0, 0, 0};
  char* ip = reinterpret_cast<char*>(&u);
  char* op = reinterpret_cast<char*>(out);
  size_t il = 2, ol = sizeof(out);
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  if (iconv(cd, &ip, &il, &op, &ol) == static_cast<size_t>(-1)) return 0;
  size_t n = sizeof(out) - ol;
  if (n == 1) return out[0];
  if (n == 2) return (unsigned(out[0]) << 8) | out[1];
  return 0;
}

// Where the C library has no CP932 (the browser's), the same two tables as
// a file that velmora-pack writes from glibc's: both directions, 16-bit
// little-endian, one entry per code.
const char kCp932TableFile[] = "/velmora/cp932.bin";
constexpr size_t kTableEntries = 0x10000;

bool readTableFile(Cp932Tables& t) {
  FILE* f = std::fopen(kCp932TableFile, "rb");
  if (!f) return false;
  std::vector<unsigned char> bytes(kTableEntries * 4 + 1);
  const size_t n = std::fread(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
  if (n != kTableEntries * 4) return false;
  for (size_t i = 0; i < kTableEntries; ++i) {
    t.toUnicode[i] = static_cast<char16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    const size_t j = 2 * (kTableEntries + i);
    t.fromUnicode[i] = static_cast<uint16_t>(bytes[j] | (bytes[j + 1] << 8));
  }
  return true;
}

const Cp932Tables& tables() {
  static const std::unique_ptr<Cp932Tables> t = [] {
    auto t = std::make_unique<Cp932Tables>();
    t->toUnicode.assign(0x10000, 0);
    t->fromUnicode.assign(0x10000, 0);
    iconv_t to = iconv_open("UTF-16LE", "CP932");
    iconv_t from = iconv_open("CP932", "UTF-16LE");
    if (to == reinterpret_cast<iconv_t>(-1) || from == reinterpret_cast<iconv_t>(-1)) {
      if (readTableFile(*t)) return t;
      for (unsigned c = 0; c < 0x80; ++c) t->toUnicode[c] = t->fromUnicode[c] = static_cast<char16_t>(c);
      return t;
    }
    for (unsigned c = 0; c < 0x100; ++c) {
      if (isLeadByte(static_cast<unsigned char>(c))) continue;
      unsigned char b = static_cast<unsigned char>(c);
      t->toUnicode[c] = c == 0 ? 0 : iconvOne(to, &b, 1);
    }
    for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
      if (!isLeadByte(static_cast<unsigned char>(lead))) continue;
      for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
        unsigned char b[2] = {static_cast<unsigned char>(lead), static_cast<unsigned char>(trail)};
        t->toUnicode[(lead << 8) | trail] = iconvOne(to, b, 2);
      }
    }
    // Several codes share a code point; the table's own reverse direction
    // decides which one a conversion back produces.
    for (unsigned code = 1; code < 0x10000; ++code) {
      char16_t u = t->toUnicode[code];
      if (u != 0 && t->fromUnicode[u] == 0) t->fromUnicode[u] = static_cast<uint16_t>(iconvBack(from, u));
    }
    iconv_close(to);
    iconv_close(from);
    return t;
  }();
  return *t;
}

void appendUtf8(std::string& out, char16_t u) {
  if (u < 0x80) {
    out.push_back(static_cast<char>(u));
  } else if (u < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (u >> 6)));
    out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xE0 | (u >> 12)));
    out.push_back(static_cast<char>(0x80 | ((u >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
  }
}

void appendSjis(std::string& out, unsigned code) {
  if (code > 0xFF) out.push_back(static_cast<char>(code >> 8));
  out.push_back(static_cast<char>(code & 0xFF));
}

// Decodes one UTF-8 character at s[i]; returns its length, 0 when malformed.
// Characters outside the BMP decode as their length with *u = 0.
size_t decodeUtf8(std::string_view s, size_t i, char32_t* u) {
  unsigned char c = static_cast<unsigned char>(s[i]);
  size_t n;
  char32_t v;
  if (c < 0x80) { *u = c; return 1; }
  if ((c & 0xE0) == 0xC0) { n = 2; v = c & 0x1F; }
  else if ((c & 0xF0) == 0xE0) { n = 3; v = c & 0x0F; }
  else if ((c & 0xF8) == 0xF0) { n = 4; v = c & 0x07; }
  else return 0;
  if (i + n > s.size()) return 0;
  for (size_t k = 1; k < n; ++k) {
    unsigned char cc = static_cast<unsigned char>(s[i + k]);
    if ((cc & 0xC0) != 0x80) return 0;
    v = (v << 6) | (cc & 0x3F);
  }
  *u = v;
  return n;
}

template <class Sink>
void walkSjis(std::string_view s, Sink sink) {
  const auto& t = tables();
  for (size_t i = 0; i < s.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (isLeadByte(c)) {
      unsigned code = i + 1 < s.size() ? (unsigned(c) << 8) | static_cast<unsigned char>(s[i + 1]) : 0;
      sink(code ? t.toUnicode[code] : char16_t(0));
      ++i;
    } else {
      sink(t.toUnicode[c]);
    }
  }
}

}  // namespace

char16_t cp932ToUnicode(unsigned code) { return code < 0x10000 ? tables().toUnicode[code] : 0; }
unsigned unicodeToCp932(char16_t u) { return tables().fromUnicode[u]; }

std::u16string sjis_to_utf16(std::string_view sjis) {
  std::u16string out;
  out.reserve(sjis.size());
  walkSjis(sjis, [&](char16_t u) { out.push_back(u); });
  return out;
}

std::string sjis_to_utf8(std::string_view sjis) {
  std::string out;
  out.reserve(sjis.size() * 3 / 2);
  walkSjis(sjis, [&](char16_t u) { appendUtf8(out, u); });
  return out;
}

std::string utf16_to_utf8(std::u16string_view utf16) {
  std::string out;
  out.reserve(utf16.size() * 3);
  for (char16_t u : utf16) appendUtf8(out, u);
  return out;
}

std::string utf16_to_sjis(std::u16string_view utf16) {
  if (!utf16.empty() && utf16[0] == 0xFEFF) utf16.remove_prefix(1);
  std::string out;
  out.reserve(utf16.size() * 2);
  for (char16_t u : utf16) appendSjis(out, unicodeToCp932(u));
  return out;
}

std::u16string utf8_to_utf16(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) {
    char32_t u = 0;
    size_t n = decodeUtf8(utf8, i, &u);
    out.push_back(n == 0 || u > 0xFFFF ? char16_t(0) : static_cast<char16_t>(u));
    i += n == 0 ? 1 : n;
  }
  return out;
}

std::string utf8_to_sjis(std::string_view utf8) { return utf16_to_sjis(utf8_to_utf16(utf8)); }

bool utf8_to_sjis_strict(std::string_view utf8, std::string& out, size_t& badOffset) {
  out.clear();
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) {
    char32_t u = 0;
    size_t n = decodeUtf8(utf8, i, &u);
    if (i == 0 && n == 3 && u == 0xFEFF) { i += 3; continue; }
    unsigned code = (n == 0 || u > 0xFFFF) ? 0 : unicodeToCp932(static_cast<char16_t>(u));
    if (n == 0 || (code == 0 && u != 0)) {
      badOffset = i;
      return false;
    }
    appendSjis(out, code);
    i += n;
  }
  return true;
}

std::string gameToUtf8(std::string_view game) { return unicodeGame() ? std::string(game) : sjis_to_utf8(game); }
std::string utf8ToGame(std::string_view utf8) { return unicodeGame() ? std::string(utf8) : utf8_to_sjis(utf8); }
std::u16string gameToUtf16(std::string_view game) {
  return unicodeGame() ? utf8_to_utf16(game) : sjis_to_utf16(game);
}
std::string utf16ToGame(std::u16string_view utf16) {
  return unicodeGame() ? utf16_to_utf8(utf16) : utf16_to_sjis(utf16);
}

std::string hostPath(std::string_view gamePath) {
  std::string path(gamePath);
  const bool unicode = unicodeGame();
  bool ascii = true;
  for (size_t i = 0; i < path.size(); ++i) {
    if (!unicode && isLeadByte(path[i])) ascii = false, ++i;
    else if (path[i] == '\\') path[i] = '/';
    else if (static_cast<unsigned char>(path[i]) >= 0x80) ascii = false;
  }
  return ascii || unicode ? path : sjis_to_utf8(path);
}

const std::string& sj(const char* utf8Literal) {
  static std::mutex lock;
  static std::map<const char*, std::string> cache[2];  // per encoding, keyed by the literal's address
  std::lock_guard<std::mutex> g(lock);
  const bool unicode = unicodeGame();
  auto& table = cache[unicode ? 1 : 0];
  auto it = table.find(utf8Literal);
  if (it == table.end()) it = table.emplace(utf8Literal, unicode ? std::string(utf8Literal) : utf8_to_sjis(utf8Literal)).first;
  return it->second;
}

}  // namespace velmora
