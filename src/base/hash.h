#pragma once
// Name hashes: labels and user subroutines use CRC-32, scripts and resources
// CRC-64 (ECMA-182, the CRC-64/WE parameters).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace velmora {

using ScriptKey = uint64_t;

uint32_t crc32_hash(const char* text);
uint32_t crc32_hash2(const void* data, size_t length);
uint64_t crc64_hash(const char* text);
uint64_t crc64_hash2(const void* data, size_t length);

inline uint32_t crc32_hash(std::string_view s) { return crc32_hash2(s.data(), s.size()); }
inline uint64_t crc64_hash(std::string_view s) { return crc64_hash2(s.data(), s.size()); }

// The game's built-in title, and the low 32 bits of its CRC-64, which masks
// the packed script texts.
constexpr const char* kGameTitle = "Velmora";
uint32_t titleKey();

// Base 32 with the digits 0-9, A-V, most significant first, no leading zeros.
std::string scriptName(ScriptKey key);
// The inverse of scriptName; false for a text that is no such name.
bool parseScriptName(std::string_view text, ScriptKey& key);

}  // namespace velmora
