// Movie files: where the bytes come from and the 44-byte header.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "core/hash.h"
#include "core/textconv.h"
#include "movie/internal.h"
#include "movie/messages.h"
#include "resource/resource.h"

namespace velmora::movie {
namespace {

uint32_t le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }

std::string hexMagic(const uint8_t* p) {
  char text[16];
  std::snprintf(text, sizeof text, "%08X", le32(p));
  return text;
}

}  // namespace

MovieSource::~MovieSource() {
  if (file) std::fclose(file);
}

bool MovieSource::read(uint64_t offset, void* out, size_t n) {
  if (offset > size || n > size - offset) return false;
  if (bytes) {
    std::memcpy(out, bytes->data() + offset, n);
    return true;
  }
  return file && std::fseek(file, long(base + offset), SEEK_SET) == 0 && std::fread(out, 1, n, file) == n;
}

std::unique_ptr<MovieSource> openSource(const std::string& path, bool streamed, std::string& error) {
  auto source = std::make_unique<MovieSource>();
  const resource::ArchiveEntry* member =
      resource::archivesPresent() ? resource::findArchiveEntry(crc64_hash(path)) : nullptr;
  if (member) {
    // Masked members are only readable whole.
    if (streamed && !member->flag) {
      uint32_t size = 0;
      uint64_t key = 0;
      source->file = resource::openResource(path.c_str(), size, key);
      if (!source->file) return error = std::strerror(ENOENT), nullptr;
      source->base = uint64_t(std::ftell(source->file));
      source->size = size;
      return source;
    }
    auto bytes = std::make_shared<std::string>();
    if (!resource::loadFileS(path.c_str(), *bytes)) return error = std::strerror(ENOENT), nullptr;
    source->size = bytes->size();
    source->bytes = std::move(bytes);
    return source;
  }
  std::FILE* f = std::fopen(hostPath(path).c_str(), "rb");
  if (!f) return error = std::strerror(errno), nullptr;
  std::fseek(f, 0, SEEK_END);
  long size = std::ftell(f);
  std::fseek(f, 0, SEEK_SET);
  source->size = uint64_t(size < 0 ? 0 : size);
  if (streamed) {
    source->file = f;
    return source;
  }
  auto bytes = std::make_shared<std::string>(size_t(source->size), '\0');
  size_t got = std::fread(bytes->data(), 1, bytes->size(), f);
  std::fclose(f);
  bytes->resize(got);
  source->size = got;
  source->bytes = std::move(bytes);
  return source;
}

bool readHeader(MovieSource& source, MovieHeader& h, std::string& error) {
  uint8_t p[kHeaderSize];
  if (!source.read(0, p, sizeof p)) return error = messageText(Message::FileNotRead), false;
  h.theora = std::memcmp(p, "THOR", 4) == 0;
  if (!h.theora && std::memcmp(p, "MJPG", 4) != 0) return error = messageText(Message::BadFormat) + hexMagic(p), false;
  h.streamSize = le32(p + 4);
  h.duration = int32_t(le32(p + 20));
  h.frameCount = int32_t(le32(p + 24));
  h.width = int32_t(le32(p + 28));
  h.height = int32_t(le32(p + 32));
  h.soundSize = le32(p + 40);
  // Timing divides by both; a sound running past the file is cut to it.
  if (h.duration < 1) h.duration = 1;
  if (h.frameCount < 1) h.frameCount = 1;
  if (h.soundSize > source.size - kHeaderSize) h.soundSize = uint32_t(source.size - kHeaderSize);
  return true;
}

}  // namespace velmora::movie
