// TLG files: the bare TLG5/TLG6 streams and the TLG0.0 container whose
// "tags" chunk carries the difference-image header.
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "base/replace_file.h"
#include "image/internal.h"

namespace velmora::image::detail {
namespace {

constexpr char kContainerMark[] = "TLG0.0\0sds\x1A";
constexpr char kTlg5Mark[] = "TLG5.0\0raw\x1A";
constexpr char kTlg6Mark[] = "TLG6.0\0raw\x1A";

inline uint32_t le32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24); }

Image* decodeRaw(const uint8_t* data, size_t size) {
  if (size < 11) return nullptr;
  if (std::memcmp(data, kTlg5Mark, 11) == 0) return decodeTlg5(data, size);
  if (std::memcmp(data, kTlg6Mark, 11) == 0) return decodeTlg6(data, size);
  return nullptr;
}

// A decimal length followed by `end`; false when malformed or past the body.
bool readLength(const uint8_t* p, size_t n, size_t& i, char end, size_t& value) {
  size_t start = i;
  value = 0;
  while (i < n && p[i] >= '0' && p[i] <= '9') {
    value = value * 10 + (p[i++] - '0');
    if (value > n) return false;
  }
  if (i == start || i >= n || p[i] != end) return false;
  ++i;
  return true;
}

// Entries "len:key=len:value," one after the other; the last comma may be
// missing. A malformed entry ends the scan, keeping what was read.
void readTags(Image* image, const uint8_t* p, size_t n) {
  size_t i = 0;
  while (i < n) {
    size_t keyLen, valueLen;
    if (!readLength(p, n, i, ':', keyLen) || keyLen > n - i) return;
    const uint8_t* key = p + i;
    i += keyLen;
    if (i >= n || p[i] != '=') return;
    ++i;
    if (!readLength(p, n, i, ':', valueLen) || valueLen > n - i) return;
    const uint8_t* value = p + i;
    i += valueLen;
    if (i < n && p[i++] != ',') return;
    if (keyLen != 1) continue;
    if (key[0] == 1) {
      setName(image, reinterpret_cast<const char*>(value), valueLen);
    } else if (key[0] >= 2 && key[0] <= 4 && valueLen == 4) {
      uint32_t v = le32(value);
      if (key[0] == 2) image->left = static_cast<int32_t>(v);
      else if (key[0] == 3) image->top = static_cast<int32_t>(v);
      else image->mode = v;
    }
  }
}

Image* decodeContainer(const uint8_t* data, size_t size) {
  if (size < 15) return nullptr;
  uint32_t rawLen = le32(data + 11);
  if (rawLen > size - 15) return nullptr;
  Image* image = decodeRaw(data + 15, rawLen);
  if (!image) return nullptr;
  size_t pos = 15 + size_t(rawLen);
  while (size - pos >= 8) {
    const uint8_t* chunk = data + pos;
    uint32_t len = le32(chunk + 4);
    pos += 8;
    if (len > size - pos) break;
    if (std::memcmp(chunk, "tags", 4) == 0) readTags(image, data + pos, len);
    pos += len;
  }
  return image;
}

void put32(std::string& out, uint32_t v) {
  char b[4] = {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
  out.append(b, 4);
}

void tagEntry(std::string& out, char key, const char* value, size_t n) {
  out += "1:";
  out.push_back(key);
  out += '=' + std::to_string(n) + ':';
  out.append(value, n);
  out.push_back(',');
}

}  // namespace

Image* decodeTlg(const uint8_t* data, size_t size) {
  if (size >= 11 && std::memcmp(data, kContainerMark, 11) == 0) return decodeContainer(data, size);
  return decodeRaw(data, size);
}

namespace {

// The stream, wrapped in the container when the picture has a name.
bool encodeFile(Image* image, int channels, int value, std::string& file) {
  std::string raw;
  bool ok = value == 0 ? encodeTlg5(*image, channels, raw) : encodeTlg6(*image, channels, raw);
  if (!ok) return false;
  if (image->name[0] == '\0') {
    file.swap(raw);
    return true;
  }
  replaceExtension(image->name, "tlg");
  file.append(kContainerMark, 11);
  put32(file, uint32_t(raw.size()));
  file += raw;
  std::string tags;
  char v[4];
  std::memcpy(v, &image->left, 4);
  tagEntry(tags, '\x02', v, 4);
  std::memcpy(v, &image->top, 4);
  tagEntry(tags, '\x03', v, 4);
  std::memcpy(v, &image->mode, 4);
  tagEntry(tags, '\x04', v, 4);
  tagEntry(tags, '\x01', image->name, std::strlen(image->name));
  file += "tags";
  put32(file, uint32_t(tags.size()));
  file += tags;
  return true;
}

}  // namespace

int saveTlg(const char* path, Image* image, int depth, int value) {
  int channels = depth == 8 ? 1 : depth == 24 ? 3 : depth == 32 ? 4 : depth / 8;
  try {
    std::string file;
    if (!encodeFile(image, channels, value, file)) return 0;
    ReplaceFile out(path);
    return out.write(file.data(), file.size()) && out.commit() ? 1 : 0;
  } catch (const std::bad_alloc&) {
    // The encoders hold the whole picture several times over; a large one can
    // run out of memory. Nothing was written yet, or the temporary is removed.
    try {
      say(value == 0 ? "SaveTLG5: Insufficient memory\n" : "SaveTLG6: Insufficient memory\n");
    } catch (const std::bad_alloc&) {
      // Not even the message could be made; the failed save still reports 0.
    }
    return 0;
  }
}

}  // namespace velmora::image::detail
