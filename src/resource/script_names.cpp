#include "resource/script_names.h"

#include <cstring>

namespace velmora::resource {
namespace {

constexpr char kTag[] = "VLMNAMES";
constexpr size_t kTagSize = sizeof kTag - 1;
constexpr size_t kFooterSize = 4 + kTagSize;
// The smallest script file holds its member count before any block.
constexpr uint64_t kCountSize = 4;
// A path longer than this, or a block larger, is damage (or not a block).
constexpr size_t kMaxPathSize = 0xFFFF;
constexpr uint32_t kMaxBlockSize = 16u << 20;

uint32_t le32(const unsigned char* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// The block's length from the footer; false when the file carries none that
// fits in front of the footer.
bool blockLength(const unsigned char* footer, uint64_t fileLength, uint32_t& length) {
  if (std::memcmp(footer + 4, kTag, kTagSize) != 0) return false;
  length = le32(footer);
  return length <= kMaxBlockSize && uint64_t(length) + kFooterSize + kCountSize <= fileLength;
}

std::vector<std::string> parseBlock(std::string_view block) {
  std::vector<std::string> paths;
  for (size_t at = 0; at < block.size();) {
    if (block.size() - at < 2) return {};
    const size_t n = size_t(static_cast<unsigned char>(block[at])) | size_t(static_cast<unsigned char>(block[at + 1])) << 8;
    at += 2;
    if (n == 0 || n > block.size() - at) return {};
    paths.emplace_back(block.substr(at, n));
    at += n;
  }
  return paths;
}

}  // namespace

void appendScriptNames(std::string& file, const std::vector<std::string>& paths) {
  std::string block;
  for (const std::string& p : paths) {
    if (p.empty() || p.size() > kMaxPathSize) continue;  // a name is a convenience: one that cannot be kept is left out
    block.push_back(static_cast<char>(p.size() & 0xFF));
    block.push_back(static_cast<char>(p.size() >> 8));
    block += p;
  }
  if (block.size() > kMaxBlockSize) return;
  const uint32_t n = static_cast<uint32_t>(block.size());
  file += block;
  for (int i = 0; i < 4; ++i) file.push_back(static_cast<char>((n >> (8 * i)) & 0xFF));
  file.append(kTag, kTagSize);
}

std::vector<std::string> readScriptNames(std::string_view file) {
  uint32_t length = 0;
  if (file.size() < kFooterSize) return {};
  const size_t footer = file.size() - kFooterSize;
  if (!blockLength(reinterpret_cast<const unsigned char*>(file.data()) + footer, file.size(), length)) return {};
  return parseBlock(file.substr(footer - length, length));
}

std::vector<std::string> readScriptNames(std::FILE* f, uint64_t fileLength) {
  unsigned char footer[kFooterSize];
  uint32_t length = 0;
  if (fileLength < kFooterSize) return {};
  const uint64_t footerAt = fileLength - kFooterSize;
  if (std::fseek(f, static_cast<long>(footerAt), SEEK_SET) != 0 || std::fread(footer, 1, kFooterSize, f) != kFooterSize)
    return {};
  if (!blockLength(footer, fileLength, length)) return {};
  std::string block(length, '\0');
  if (std::fseek(f, static_cast<long>(footerAt - length), SEEK_SET) != 0 ||
      std::fread(block.data(), 1, block.size(), f) != block.size())
    return {};
  return parseBlock(block);
}

uint64_t scriptNamesStart(std::string_view file) {
  uint32_t length = 0;
  if (file.size() < kFooterSize) return file.size();
  const size_t footer = file.size() - kFooterSize;
  if (!blockLength(reinterpret_cast<const unsigned char*>(file.data()) + footer, file.size(), length)) return file.size();
  return footer - length;
}

uint64_t scriptNamesStart(std::FILE* f, uint64_t fileLength) {
  unsigned char footer[kFooterSize];
  uint32_t length = 0;
  if (fileLength < kFooterSize) return fileLength;
  const uint64_t footerAt = fileLength - kFooterSize;
  if (std::fseek(f, static_cast<long>(footerAt), SEEK_SET) != 0 || std::fread(footer, 1, kFooterSize, f) != kFooterSize)
    return fileLength;
  if (!blockLength(footer, fileLength, length)) return fileLength;
  return footerAt - length;
}

}  // namespace velmora::resource
