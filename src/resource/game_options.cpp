#include "resource/game_options.h"

#include <cstring>

#include "resource/script_names.h"

namespace velmora::resource {
namespace {

constexpr char kTag[] = "VLMGAMEO";
constexpr size_t kTagSize = sizeof kTag - 1;
constexpr size_t kFooterSize = 4 + kTagSize;
constexpr uint64_t kCountSize = 4;
// Options are a few short lines; anything larger is not a block of ours.
constexpr uint32_t kMaxBlockSize = 4096;

constexpr std::string_view kEncodingKey = "encoding";
constexpr std::string_view kUiKey = "ui";

uint32_t le32(const unsigned char* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

bool blockLength(const unsigned char* footer, uint64_t end, uint32_t& length) {
  if (std::memcmp(footer + 4, kTag, kTagSize) != 0) return false;
  length = le32(footer);
  return length <= kMaxBlockSize && uint64_t(length) + kFooterSize + kCountSize <= end;
}

GameOptions parseBlock(std::string_view block) {
  GameOptions o;
  while (!block.empty()) {
    const size_t nl = block.find('\n');
    const std::string_view line = block.substr(0, nl);
    block = nl == std::string_view::npos ? std::string_view() : block.substr(nl + 1);
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    const std::string_view key = line.substr(0, eq), value = line.substr(eq + 1);
    if (key == kEncodingKey) o.utf8 = value == "utf-8";
    else if (key == kUiKey) o.englishUi = value == "en";
  }
  return o;
}

}  // namespace

void appendGameOptions(std::string& file, const GameOptions& options) {
  if (options == GameOptions{}) return;  // an older engine's file, byte for byte
  std::string block;
  if (options.utf8) block += std::string(kEncodingKey) + "=utf-8\n";
  if (options.englishUi) block += std::string(kUiKey) + "=en\n";
  const uint32_t n = static_cast<uint32_t>(block.size());
  file += block;
  for (int i = 0; i < 4; ++i) file.push_back(static_cast<char>((n >> (8 * i)) & 0xFF));
  file.append(kTag, kTagSize);
}

GameOptions readGameOptions(std::string_view file) {
  const uint64_t end = scriptNamesStart(file);
  uint32_t length = 0;
  if (end < kFooterSize) return {};
  const size_t footer = static_cast<size_t>(end - kFooterSize);
  if (!blockLength(reinterpret_cast<const unsigned char*>(file.data()) + footer, end, length)) return {};
  return parseBlock(file.substr(footer - length, length));
}

GameOptions readGameOptions(std::FILE* f, uint64_t fileLength) {
  const uint64_t end = scriptNamesStart(f, fileLength);
  unsigned char footer[kFooterSize];
  uint32_t length = 0;
  if (end < kFooterSize) return {};
  const uint64_t footerAt = end - kFooterSize;
  if (std::fseek(f, static_cast<long>(footerAt), SEEK_SET) != 0 || std::fread(footer, 1, kFooterSize, f) != kFooterSize)
    return {};
  if (!blockLength(footer, end, length)) return {};
  std::string block(length, '\0');
  if (std::fseek(f, static_cast<long>(footerAt - length), SEEK_SET) != 0 ||
      std::fread(block.data(), 1, block.size(), f) != block.size())
    return {};
  return parseBlock(block);
}

}  // namespace velmora::resource
