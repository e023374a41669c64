#include "resource/packer.h"

#include <zlib.h>

#include <cstring>

#include "base/encoding.h"
#include "base/hash.h"
#include "resource/resource.h"
#include "resource/script_names.h"

namespace velmora::resource {
namespace {

constexpr uint32_t kCountMask = 0x5B3D91C4u;
constexpr size_t kEntry = 25;
// zlib never expands more than 1032-fold (plus its header).
constexpr uint64_t kMaxInflation = 1032;
constexpr uint64_t kInflationSlack = 64;

void put32(std::string& s, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}
uint32_t get32(const std::string& s, size_t at) {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= uint32_t(static_cast<unsigned char>(s[at + i])) << (8 * i);
  return v;
}

void putEntry(std::string& out, size_t i, uint64_t key, uint8_t flag, uint32_t a, uint32_t b, uint32_t c) {
  size_t at = 4 + i * kEntry;
  uint32_t mask = static_cast<uint32_t>(key);
  for (int k = 0; k < 8; ++k) out[at + k] = static_cast<char>((key >> (8 * k)) & 0xFF);
  out[at + 8] = static_cast<char>(flag ^ static_cast<uint8_t>(key));
  put32(out, at + 9, a ^ mask);
  put32(out, at + 13, b ^ mask);
  put32(out, at + 17, c ^ mask);
}

uint8_t pathByte(const std::string& p, size_t i) { return i < p.size() ? static_cast<uint8_t>(p[i]) : 0; }

}  // namespace

std::string buildScriptFile(const std::vector<PackedMember>& scripts, bool keepNames, const GameOptions& options) {
  std::string out(4 + scripts.size() * kEntry, '\0');
  put32(out, 0, static_cast<uint32_t>(scripts.size()) ^ kCountMask);
  for (size_t i = 0; i < scripts.size(); ++i) {
    const std::string& text = scripts[i].bytes;
    uint64_t key = crc64_hash(scripts[i].path);
    uLongf room = compressBound(text.size());
    std::string packed(room, '\0');
    compress(reinterpret_cast<Bytef*>(packed.data()), &room, reinterpret_cast<const Bytef*>(text.data()), text.size());
    packed.resize(room);
    const uint32_t mask = static_cast<uint32_t>(key) ^ titleKey();
    for (size_t w = 0; w + 4 <= packed.size(); w += 4) put32(packed, w, get32(packed, w) ^ mask);
    putEntry(out, i, key, 0, static_cast<uint32_t>(out.size()), static_cast<uint32_t>(packed.size()),
             static_cast<uint32_t>(text.size()));
    out += packed;
  }
  appendGameOptions(out, options);
  if (keepNames) {
    std::vector<std::string> paths;
    for (const PackedMember& m : scripts) paths.push_back(m.path);
    appendScriptNames(out, paths);
  }
  return out;
}

std::string markNarrationLines(std::string_view source) {
  std::string out(source);
  for (size_t at = 0; at < out.size(); ++at) {
    if (out[at] == kNarrationSourceMark) out[at] = kNarrationMark;
    at = out.find('\n', at);
    if (at == std::string::npos) break;
  }
  return out;
}

std::string buildArchive(const std::vector<PackedMember>& members, bool mask) {
  std::string out(4 + members.size() * kEntry, '\0');
  put32(out, 0, static_cast<uint32_t>(members.size()) ^ kCountMask);
  for (size_t i = 0; i < members.size(); ++i) {
    const std::string& path = members[i].path;
    std::string bytes = members[i].bytes;
    if (mask) unmaskMember(bytes.data(), static_cast<uint32_t>(bytes.size()), path);
    uint32_t offset = static_cast<uint32_t>(out.size()) ^ pathByte(path, path.size() / 2);
    uint32_t size = static_cast<uint32_t>(bytes.size()) ^ pathByte(path, path.size() / 4);
    putEntry(out, i, crc64_hash(path), mask ? 1 : 0, offset, size, 0);
    out += bytes;
  }
  return out;
}

namespace {
void parseEntries(const std::string& table, size_t at, uint32_t count, std::vector<IndexRecord>& out) {
  for (uint32_t i = 0; i < count; ++i, at += kEntry) {
    IndexRecord r;
    for (int k = 0; k < 8; ++k) r.key |= uint64_t(static_cast<unsigned char>(table[at + k])) << (8 * k);
    uint32_t mask = static_cast<uint32_t>(r.key);
    r.flag = static_cast<uint8_t>(table[at + 8]) ^ static_cast<uint8_t>(r.key);
    r.offset = get32(table, at + 9) ^ mask;
    r.size = get32(table, at + 13) ^ mask;
    r.fourth = get32(table, at + 17) ^ mask;
    out.push_back(r);
  }
}
}  // namespace

bool readIndex(const std::string& file, std::vector<IndexRecord>& out) {
  out.clear();
  if (file.size() < 4) return false;
  uint32_t count = get32(file, 0) ^ kCountMask;
  if (uint64_t(count) * kEntry > file.size() - 4) return false;
  parseEntries(file, 4, count, out);
  return true;
}

bool readIndex(std::FILE* f, std::vector<IndexRecord>& out, uint64_t& fileLength) {
  out.clear();
  if (std::fseek(f, 0, SEEK_END) != 0) return false;
  long length = std::ftell(f);
  std::fseek(f, 0, SEEK_SET);
  fileLength = length < 0 ? 0 : static_cast<uint64_t>(length);
  std::string head(4, '\0');
  if (fileLength < 4 || std::fread(head.data(), 1, 4, f) != 4) return false;
  uint32_t count = get32(head, 0) ^ kCountMask;
  if (uint64_t(count) * kEntry > fileLength - 4) return false;
  std::string table(size_t(count) * kEntry, '\0');
  if (!table.empty() && std::fread(table.data(), 1, table.size(), f) != table.size()) return false;
  out.reserve(count);
  parseEntries(table, 0, count, out);
  return true;
}

bool plausibleScriptEntry(const IndexRecord& r, uint64_t fileLength) {
  return uint64_t(r.offset) + r.size <= fileLength && r.fourth <= uint64_t(r.size) * kMaxInflation + kInflationSlack;
}

bool unpackScript(const std::string& file, const IndexRecord& r, std::string& text) {
  if (!plausibleScriptEntry(r, file.size())) return false;
  std::string packed = file.substr(r.offset, r.size);
  const uint32_t mask = static_cast<uint32_t>(r.key) ^ titleKey();
  for (size_t w = 0; w + 4 <= packed.size(); w += 4) put32(packed, w, get32(packed, w) ^ mask);
  text.assign(r.fourth, '\0');
  uLongf length = r.fourth;
  if (uncompress(reinterpret_cast<Bytef*>(text.data()), &length, reinterpret_cast<const Bytef*>(packed.data()),
                 packed.size()) != Z_OK)
    return false;
  text.resize(length);
  return true;
}

bool extractMember(const std::string& file, const IndexRecord& r, const std::string& path, std::string& bytes) {
  uint32_t offset = r.offset ^ pathByte(path, path.size() / 2);
  uint32_t size = r.size ^ pathByte(path, path.size() / 4);
  if (uint64_t(offset) + size > file.size()) return false;
  bytes = file.substr(offset, size);
  if (r.flag) unmaskMember(bytes.data(), size, path);
  return true;
}

}  // namespace velmora::resource
