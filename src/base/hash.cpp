#include "base/hash.h"

#include <array>

namespace velmora {
namespace {

constexpr std::array<uint32_t, 256> makeCrc32Table() {
  std::array<uint32_t, 256> t{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
    t[i] = c;
  }
  return t;
}

constexpr std::array<uint64_t, 256> makeCrc64Table() {
  constexpr uint64_t poly = 0x42F0E1EBA9EA3693ull;
  std::array<uint64_t, 256> t{};
  for (uint64_t i = 0; i < 256; ++i) {
    uint64_t c = i << 56;
    for (int k = 0; k < 8; ++k) c = (c & (1ull << 63)) ? (c << 1) ^ poly : c << 1;
    t[i] = c;
  }
  return t;
}

constexpr auto kCrc32 = makeCrc32Table();
constexpr auto kCrc64 = makeCrc64Table();
constexpr char kBase32Digits[] = "0123456789ABCDEFGHIJKLMNOPQRSTUV";

}  // namespace

uint32_t crc32_hash2(const void* data, size_t length) {
  const auto* p = static_cast<const unsigned char*>(data);
  uint32_t c = 0xFFFFFFFFu;
  for (size_t i = 0; i < length; ++i) c = kCrc32[(c ^ p[i]) & 0xFF] ^ (c >> 8);
  return ~c;
}

uint64_t crc64_hash2(const void* data, size_t length) {
  const auto* p = static_cast<const unsigned char*>(data);
  uint64_t c = ~0ull;
  for (size_t i = 0; i < length; ++i) c = kCrc64[((c >> 56) ^ p[i]) & 0xFF] ^ (c << 8);
  return ~c;
}

uint32_t crc32_hash(const char* text) { return crc32_hash(std::string_view(text)); }
uint64_t crc64_hash(const char* text) { return crc64_hash(std::string_view(text)); }

uint32_t titleKey() {
  static const uint32_t key = static_cast<uint32_t>(crc64_hash(kGameTitle));
  return key;
}

std::string scriptName(ScriptKey key) {
  if (key == 0) return "0";
  char buf[16];
  int n = 0;
  while (key != 0) {
    buf[n++] = kBase32Digits[key & 31];
    key >>= 5;
  }
  std::string out;
  out.reserve(n);
  while (n > 0) out.push_back(buf[--n]);
  return out;
}

bool parseScriptName(std::string_view text, ScriptKey& key) {
  if (text.empty() || text.size() > 13) return false;
  uint64_t v = 0;
  for (char ch : text) {
    int d;
    if (ch >= '0' && ch <= '9') d = ch - '0';
    else if (ch >= 'A' && ch <= 'V') d = ch - 'A' + 10;
    else return false;
    if (v >> 59) return false;
    v = (v << 5) | static_cast<uint64_t>(d);
  }
  key = v;
  return true;
}

}  // namespace velmora
