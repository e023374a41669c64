// The size a picture file declares, read from its header alone, so that a
// caller can refuse a picture before the decoder reserves its pixels.
#include <cstring>

#include "image/internal.h"

namespace velmora::image {
namespace {

uint32_t be16(const uint8_t* p) { return uint32_t(p[0]) << 8 | p[1]; }
uint32_t be32(const uint8_t* p) { return be16(p) << 16 | be16(p + 2); }
uint32_t le16(const uint8_t* p) { return p[0] | uint32_t(p[1]) << 8; }
uint32_t le32(const uint8_t* p) { return le16(p) | le16(p + 2) << 16; }

bool pngSize(const uint8_t* d, size_t n, PictureSize& out) {
  if (n < 24 || std::memcmp(d, "\x89PNG\r\n\x1a\n", 8) != 0 || std::memcmp(d + 12, "IHDR", 4) != 0) return false;
  out = {be32(d + 16), be32(d + 20)};
  return true;
}

// The two header layouts the decoder reads; a negative height is top-down.
bool bmpSize(const uint8_t* d, size_t n, PictureSize& out) {
  if (n < 26) return false;
  if (le32(d + 14) < 13) {
    out = {le16(d + 18), le16(d + 20)};
    return true;
  }
  const int64_t h = int32_t(le32(d + 22));
  out = {int32_t(le32(d + 18)), h < 0 ? -h : h};
  return true;
}

// Walks the marker segments up to the first frame header.
bool jpegSize(const uint8_t* d, size_t n, PictureSize& out) {
  size_t i = 2;
  while (i + 4 <= n) {
    if (d[i] != 0xFF) return false;
    const uint8_t marker = d[i + 1];
    if (marker == 0xFF) {  // fill byte
      ++i;
      continue;
    }
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) {  // no length
      i += 2;
      continue;
    }
    if (marker == 0xD9 || marker == 0xDA) return false;  // no frame before the data
    const size_t length = be16(d + i + 2);
    const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    if (frame) {
      if (length < 7 || i + 9 > n) return false;
      out = {be16(d + i + 7), be16(d + i + 5)};
      return true;
    }
    if (length < 2) return false;
    i += 2 + length;
  }
  return false;
}

bool rawTlgSize(const uint8_t* d, size_t n, PictureSize& out) {
  if (n >= 20 && std::memcmp(d, "TLG5.0\0raw\x1a", 11) == 0) {
    out = {le32(d + 12), le32(d + 16)};
    return true;
  }
  if (n >= 23 && std::memcmp(d, "TLG6.0\0raw\x1a", 11) == 0) {
    out = {le32(d + 15), le32(d + 19)};
    return true;
  }
  return false;
}

bool tlgSize(const uint8_t* d, size_t n, PictureSize& out) {
  if (n >= 15 && std::memcmp(d, "TLG0.0\0sds\x1a", 11) == 0) return rawTlgSize(d + 15, n - 15, out);
  return rawTlgSize(d, n, out);
}

}  // namespace

bool readPictureSize(const unsigned char* data, size_t size, PictureSize& out) {
  if (!data || size < 2) return false;
  if (data[0] == 'T' && data[1] == 'L') return tlgSize(data, size, out);
  if (data[0] == 'B' && data[1] == 'M') return bmpSize(data, size, out);
  if (data[0] == 0x89 && data[1] == 'P') return pngSize(data, size, out);
  if (data[0] == 0xFF && data[1] == 0xD8) return jpegSize(data, size, out);
  return false;
}

}  // namespace velmora::image
