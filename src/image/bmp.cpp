// Uncompressed BMP files, read and written by hand.
#include <cstdio>
#include <cstring>
#include <vector>

#include "base/replace_file.h"
#include "image/internal.h"

namespace velmora::image::detail {
namespace {

inline uint32_t le16(const uint8_t* p) { return p[0] | (p[1] << 8); }
inline uint32_t le32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24); }

struct BmpHeader {
  int64_t width = 0, height = 0;
  int bits = 0;
  size_t paletteAt = 0;
};

bool readHeader(const uint8_t* d, size_t size, BmpHeader& h) {
  if (size < 18) return false;
  uint32_t infoSize = le32(d + 14);
  if (infoSize < 13) {
    if (size < 26) return false;
    h.width = le16(d + 18);
    h.height = le16(d + 20);
    h.bits = int(le16(d + 24));
  } else {
    if (size < 34) return false;
    h.width = int32_t(le32(d + 18));
    h.height = int32_t(le32(d + 22));
    h.bits = int(le16(d + 28));
    if (le32(d + 30) != 0) return false;  // RLE and bit-field layouts are not read
  }
  if (h.height < 0) h.height = -h.height;
  h.paletteAt = 14 + size_t(infoSize);
  return h.width > 0 && h.height > 0 && h.width * h.height <= kMaxDecodePixels;
}

}  // namespace

Image* decodeBmp(const uint8_t* d, size_t size) {
  BmpHeader h;
  if (!readHeader(d, size, h)) return nullptr;
  int bits = h.bits;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) return nullptr;
  const uint8_t* palette = nullptr;
  if (bits < 24) {
    size_t paletteSize = size_t(4) << bits;
    if (h.paletteAt > size || paletteSize > size - h.paletteAt) return nullptr;
    palette = d + h.paletteAt;
  }
  uint64_t rowBytes = ((uint64_t(h.width) * bits + 31) / 32) * 4;
  uint64_t offset = le32(d + 10);
  if (offset > size || rowBytes * uint64_t(h.height) > size - offset) return nullptr;
  int w = int(h.width), ht = int(h.height);
  Image* image = createImage(w, ht, bits == 32 ? 32 : 24);
  if (!image) return nullptr;
  for (int y = 0; y < ht; ++y) {
    const uint8_t* src = d + offset + rowBytes * uint64_t(ht - 1 - y);
    uint32_t* dst = image->pixels + size_t(y) * w;
    for (int x = 0; x < w; ++x) {
      uint32_t p;
      if (bits == 24) {
        const uint8_t* s = src + size_t(x) * 3;
        p = 0xFF000000u | s[2] << 16 | s[1] << 8 | s[0];
      } else if (bits == 32) {
        p = le32(src + size_t(x) * 4);
      } else {
        int perByte = 8 / bits, shift = 8 - bits * (x % perByte + 1);
        unsigned index = (src[x / perByte] >> shift) & ((1u << bits) - 1);
        p = 0xFF000000u | (le32(palette + index * 4) & 0xFFFFFF);
      }
      dst[x] = p;
    }
  }
  return image;
}

int saveBmp(const char* path, Image* image, int depth) {
  int bpp = depth <= 8 ? 1 : depth <= 24 ? 3 : 4;
  int w = image->width, h = image->height;
  size_t rowSize = (size_t(w) * bpp + 3) & ~size_t(3);
  uint32_t paletteSize = bpp == 1 ? 1024 : 0;
  uint32_t imageSize = uint32_t(rowSize * h);
  uint8_t head[54] = {'B', 'M'};
  auto put = [&](int at, uint32_t v, int n) {
    for (int i = 0; i < n; ++i) head[at + i] = uint8_t(v >> (8 * i));
  };
  put(2, 54 + paletteSize + imageSize, 4);
  put(10, 54 + paletteSize, 4);
  put(14, 40, 4);
  put(18, uint32_t(w), 4);
  put(22, uint32_t(h), 4);
  put(26, 1, 2);
  put(28, uint32_t(bpp * 8), 2);
  put(34, imageSize, 4);
  ReplaceFile out(path);
  std::FILE* f = out.file();
  if (!f) {
    sayf("BMP: \"%s\" 画像を保存出来ませんでした\n", path);
    return 0;
  }
  bool ok = std::fwrite(head, 1, 54, f) == 54;
  if (bpp == 1) {
    uint8_t pal[1024];
    for (int i = 0; i < 256; ++i) pal[i * 4] = pal[i * 4 + 1] = pal[i * 4 + 2] = uint8_t(i), pal[i * 4 + 3] = 0;
    ok = ok && std::fwrite(pal, 1, 1024, f) == 1024;
  }
  std::vector<uint8_t> row(rowSize, 0);
  for (int y = h - 1; y >= 0 && ok; --y) {
    const uint32_t* src = image->pixels + size_t(y) * w;
    for (int x = 0; x < w; ++x) {
      uint32_t p = src[x];
      if (bpp == 1) {
        row[x] = uint8_t(luminance(p));
        continue;
      }
      uint8_t* o = &row[size_t(x) * bpp];
      o[0] = uint8_t(p), o[1] = uint8_t(p >> 8), o[2] = uint8_t(p >> 16);
      if (bpp == 4) o[3] = uint8_t(p >> 24);
    }
    ok = std::fwrite(row.data(), 1, rowSize, f) == rowSize;
  }
  return ok && out.commit() ? 1 : 0;
}

}  // namespace velmora::image::detail
