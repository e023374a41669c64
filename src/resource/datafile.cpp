// The engine's own data files: raw, or a 4-byte length and a zlib stream.
#include <zlib.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "core/replace_file.h"
#include "core/report.h"
#include "core/state.h"
#include "core/textconv.h"
#include "resource/messages.h"
#include "resource/resource.h"

namespace velmora::resource {
namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// Reads the file into a block; false after reporting.
bool readWhole(const char* path, std::vector<char>& bytes) {
  File f(std::fopen(hostPath(path).c_str(), "rb"));
  if (!f) {
    showErrorBox(std::string(path) + " " + std::strerror(errno));
    return false;
  }
  std::fseek(f.get(), 0, SEEK_END);
  long length = std::ftell(f.get());
  std::fseek(f.get(), 0, SEEK_SET);
  if (length <= 0 || static_cast<unsigned long>(length) > kMaxDataFile) {
    showErrorBox(std::string(path) + messageText(Message::BadFile));
    return false;
  }
  bytes.resize(static_cast<size_t>(length));
  if (std::fread(bytes.data(), 1, bytes.size(), f.get()) != bytes.size()) {
    showErrorBox(std::string(path) + messageText(Message::ReadFailed));
    return false;
  }
  return true;
}

// Unpacks into a target that provides room for n bytes plus the zero byte.
template <class Reserve>
bool unpack(const char* path, const std::vector<char>& bytes, Reserve reserve, size_t& size) {
  if (bytes.size() < 4) {
    showErrorBox(std::string(path) + messageText(Message::ReadFailed));
    return false;
  }
  uint32_t length;
  std::memcpy(&length, bytes.data(), 4);
  // zlib never packs better than about 1032:1; a header claiming more is
  // damaged, and is refused before anything that large is allocated.
  if (length > (bytes.size() - 4) * 1032 + 64) {
    showErrorBox(std::string(path) + messageText(Message::ReadFailed));
    return false;
  }
  size_t room = size_t(length) + length / 8 + 12;
  char* out = nullptr;
  try {
    out = reserve(room);
  } catch (const std::bad_alloc&) {
  }
  if (!out) {
    showErrorBox(std::string(path) + messageText(Message::NoMemoryFor));
    return false;
  }
  uLongf outLength = length;
  int rc = uncompress(reinterpret_cast<Bytef*>(out), &outLength, reinterpret_cast<const Bytef*>(bytes.data() + 4),
                      bytes.size() - 4);
  // A stream shorter than its header claims is as broken as a corrupt one.
  if (rc != Z_OK || outLength != length) {
    showErrorBox(std::string(path) + messageText(Message::ReadFailed));
    return false;
  }
  size = length;
  out[size] = '\0';
  return true;
}

}  // namespace

bool readDataFile(const char* path, bool packed, std::string& out) {
  std::vector<char> bytes;
  if (!readWhole(path, bytes)) return false;
  if (!packed) {
    out.assign(bytes.begin(), bytes.end());
    return true;
  }
  size_t size = 0;
  std::string buffer;
  if (!unpack(path, bytes, [&](size_t n) { buffer.resize(n + 1); return buffer.data(); }, size)) return false;
  buffer.resize(size);
  out = std::move(buffer);
  return true;
}

bool readDataFileShared(const char* path, bool packed, size_t& size) {
  std::vector<char> bytes;
  if (!readWhole(path, bytes)) return false;
  auto reserve = [&](size_t n) -> char* { return growFileMemory(n + 1) ? fileMemory() : nullptr; };
  if (packed) return unpack(path, bytes, reserve, size);
  char* out = reserve(bytes.size());
  if (!out) {
    showErrorBox(std::string(path) + messageText(Message::NoMemoryFor));
    return false;
  }
  std::memcpy(out, bytes.data(), bytes.size());
  size = bytes.size();
  out[size] = '\0';
  return true;
}

bool writeDataFile(const char* path, bool packed, std::string_view bytes) {
  std::vector<Bytef> packedBytes;
  if (packed) {
    uLongf room = compressBound(bytes.size());
    try {
      packedBytes.resize(room + 4);
    } catch (const std::bad_alloc&) {
      showErrorBox(std::string(path) + messageText(Message::NoMemoryFor));
      return false;
    }
    uint32_t length = static_cast<uint32_t>(bytes.size());
    std::memcpy(packedBytes.data(), &length, 4);
    if (compress2(packedBytes.data() + 4, &room, reinterpret_cast<const Bytef*>(bytes.data()), bytes.size(), 9) != Z_OK) {
      showErrorBox(std::string(path) + messageText(Message::SaveFailed));
      return false;
    }
    packedBytes.resize(room + 4);
    bytes = std::string_view(reinterpret_cast<const char*>(packedBytes.data()), packedBytes.size());
  }
  // Written beside the target and renamed over it: a failed write keeps the old file.
  ReplaceFile out(path);
  if (!out.file()) {
    showErrorBox(std::string(path) + " " + std::strerror(errno));
    return false;
  }
  if (!out.write(bytes.data(), bytes.size()) || !out.commit()) {
    showErrorBox(std::string(path) + " " + std::strerror(errno));
    return false;
  }
  return true;
}

}  // namespace velmora::resource
