// The names plug-in libraries call, exported by the executable with C linkage.
#include <cstdlib>
#include <cstring>

#include "core/hash.h"
#include "core/report.h"
#include "core/state.h"
#include "core/textconv.h"
#include "resource/resource.h"

#define VELMORA_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

// Copies a conversion's output into a malloc'ed block with zero bytes after it.
template <class String>
char* handOut(const String& s, size_t* length, size_t zeros) {
  size_t bytes = s.size() * sizeof(typename String::value_type);
  char* out = static_cast<char*>(std::malloc(bytes + zeros));
  if (!out) return nullptr;
  std::memcpy(out, s.data(), bytes);
  std::memset(out + bytes, 0, zeros);
  if (length) *length = bytes;
  return out;
}

std::u16string_view utf16(const char* text, size_t length) {
  return {reinterpret_cast<const char16_t*>(text), length / 2};
}

}  // namespace

VELMORA_EXPORT uint32_t crc32_hash(const char* text) { return velmora::crc32_hash(text); }
VELMORA_EXPORT uint32_t crc32_hash2(const void* data, size_t length) { return velmora::crc32_hash2(data, length); }
VELMORA_EXPORT uint64_t crc64_hash(const char* text) { return velmora::crc64_hash(text); }
VELMORA_EXPORT uint64_t crc64_hash2(const void* data, size_t length) { return velmora::crc64_hash2(data, length); }

VELMORA_EXPORT char* sjis_to_utf16(const char* text, size_t* length) {
  return handOut(velmora::sjis_to_utf16({text, *length}), length, 2);
}
VELMORA_EXPORT char* sjis_to_utf8(const char* text, size_t* length) {
  return handOut(velmora::sjis_to_utf8({text, *length}), length, 3);
}
VELMORA_EXPORT char* utf16_to_utf8(const char* text, size_t* length) {
  return handOut(velmora::utf16_to_utf8(utf16(text, *length)), length, 3);
}
VELMORA_EXPORT char* utf16_to_sjis(const char* text, size_t* length) {
  return handOut(velmora::utf16_to_sjis(utf16(text, *length)), length, 2);
}
VELMORA_EXPORT char* utf8_to_sjis(const char* text, size_t* length) {
  return handOut(velmora::utf8_to_sjis({text, *length}), length, 2);
}
VELMORA_EXPORT char* utf8_to_utf16(const char* text, size_t* length) {
  return handOut(velmora::utf8_to_utf16({text, *length}), length, 2);
}

VELMORA_EXPORT int loadFile(const char* path, char** buffer, uint32_t* size, uint32_t* capacity) {
  return velmora::resource::loadFile(path, *buffer, *size, *capacity) ? 1 : 0;
}
VELMORA_EXPORT char* fileMemory(void) { return velmora::fileMemory(); }
VELMORA_EXPORT size_t fileSize(void) { return velmora::fileSize(); }

VELMORA_EXPORT void errorc(const char* message, int mode) { velmora::reporterForMode(mode)(message); }
VELMORA_EXPORT const char* errcmd(void) { return velmora::errcmd(); }
