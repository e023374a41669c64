// TLG5: doubly differenced colour planes in blocks of rows, LZSS-compressed
// with one dictionary for the whole file.
#include <emmintrin.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "image/internal.h"
#include "image/tlg_lzss.h"

namespace velmora::image::detail {
namespace {

inline uint32_t le32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24); }

void put32(std::string& out, uint32_t v) {
  char b[4] = {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
  out.append(b, 4);
}

// Byte-wise addition of four packed samples, without carries between them.
inline uint32_t addBytes(uint32_t a, uint32_t b) {
  return ((a & 0x7F7F7F7Fu) + (b & 0x7F7F7F7Fu)) ^ ((a ^ b) & 0x80808080u);
}

void rebuildGreyRow(uint8_t* row, const uint8_t* above, const uint8_t* plane, int width) {
  uint8_t s = 0;
  for (int x = 0; x < width; ++x) {
    s = uint8_t(s + plane[x]);
    uint8_t v = above ? uint8_t(s + above[x * 4]) : s;
    row[x * 4] = row[x * 4 + 1] = row[x * 4 + 2] = v;
    row[x * 4 + 3] = 255;
  }
}

// Running sums across the row are prefix sums, done four pixels per vector:
// each pixel adds its left neighbours, then the sum carried from the
// previous four.
inline __m128i prefixPixels(__m128i v, __m128i& carry) {
  v = _mm_add_epi8(v, _mm_slli_si128(v, 4));
  v = _mm_add_epi8(v, _mm_slli_si128(v, 8));
  v = _mm_add_epi8(v, carry);
  carry = _mm_shuffle_epi32(v, 0xFF);
  return v;
}

// Rebuilds one colour row from its plane bytes and the row above (null for
// the first row). Without an alpha plane the alpha byte is 255.
void rebuildColourRow(uint8_t* row, const uint8_t* above, const uint8_t* const* planes, int width, bool alpha) {
  const uint8_t *p0 = planes[0], *p1 = planes[1], *p2 = planes[2], *p3 = alpha ? planes[3] : nullptr;
  const __m128i zero = _mm_setzero_si128();
  const __m128i opaque = _mm_set1_epi32(alpha ? 0 : int(0xFF000000u));
  __m128i carry = zero;
  int x = 0;
  for (; x + 16 <= width; x += 16) {
    __m128i g = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p1 + x));
    __m128i b = _mm_add_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p0 + x)), g);
    __m128i r = _mm_add_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p2 + x)), g);
    __m128i a = p3 ? _mm_loadu_si128(reinterpret_cast<const __m128i*>(p3 + x)) : zero;
    __m128i bgLo = _mm_unpacklo_epi8(b, g), bgHi = _mm_unpackhi_epi8(b, g);
    __m128i raLo = _mm_unpacklo_epi8(r, a), raHi = _mm_unpackhi_epi8(r, a);
    __m128i quads[4] = {_mm_unpacklo_epi16(bgLo, raLo), _mm_unpackhi_epi16(bgLo, raLo),
                        _mm_unpacklo_epi16(bgHi, raHi), _mm_unpackhi_epi16(bgHi, raHi)};
    for (int q = 0; q < 4; ++q) {
      __m128i v = prefixPixels(quads[q], carry);
      size_t at = size_t(x + q * 4) * 4;
      if (above) v = _mm_add_epi8(v, _mm_loadu_si128(reinterpret_cast<const __m128i*>(above + at)));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(row + at), _mm_or_si128(v, opaque));
    }
  }
  uint32_t sum = uint32_t(_mm_cvtsi128_si32(carry));
  for (; x < width; ++x) {
    uint8_t g = p1[x];
    uint32_t d = uint32_t(uint8_t(p0[x] + g)) | uint32_t(g) << 8 | uint32_t(uint8_t(p2[x] + g)) << 16;
    if (p3) d |= uint32_t(p3[x]) << 24;
    sum = addBytes(sum, d);
    uint32_t v = sum;
    if (above) {
      uint32_t up;
      std::memcpy(&up, above + size_t(x) * 4, 4);
      v = addBytes(v, up);
    }
    if (!p3) v |= 0xFF000000u;
    std::memcpy(row + size_t(x) * 4, &v, 4);
  }
}

}  // namespace

Image* decodeTlg5(const uint8_t* data, size_t size) {
  if (size < 24 || std::memcmp(data, "TLG5.0\0raw\x1A", 11) != 0) return nullptr;
  int channels = data[11];
  uint32_t w = le32(data + 12), h = le32(data + 16), bh = le32(data + 20);
  if (channels != 1 && channels != 3 && channels != 4) return nullptr;
  if (w == 0 || h == 0 || bh == 0 || w >= 0x80000000u || h >= 0x80000000u || bh >= 0x80000000u) return nullptr;
  if (int64_t(w) * h > kMaxDecodePixels) return nullptr;
  uint64_t blocks = (uint64_t(h) + bh - 1) / bh;
  uint64_t pos = 24 + blocks * 4;
  if (pos > size) return nullptr;
  size_t rowsPerBlock = bh < h ? bh : h;
  // Compressed planes expand one after another behind the last 4096 bytes
  // they expanded before, which is the dictionary they refer to; stored
  // planes are read where they lie and stay out of it.
  const size_t kHistory = 4096;
  size_t streamBytes = kHistory + size_t(w) * rowsPerBlock * channels + kLzssSlack;
  std::unique_ptr<uint8_t[]> stream(new (std::nothrow) uint8_t[streamBytes]);
  if (!stream) return nullptr;
  std::memset(stream.get(), 0, kHistory);
  Image* image = createImage(int(w), int(h), channels * 8);
  if (!image) return nullptr;
  unsigned ringIndex = 0;
  const uint8_t* planes[4] = {};
  uint8_t* out = bytes(image);
  for (uint32_t y0 = 0; y0 < h; y0 += bh) {
    size_t rows = h - y0 < bh ? h - y0 : bh;
    size_t need = size_t(w) * rows;
    size_t expanded = 0;
    for (int c = 0; c < channels; ++c) {
      if (size - pos < 5) goto fail;
      uint8_t mark = data[pos];
      uint32_t len = le32(data + pos + 1);
      pos += 5;
      if (len > size - pos) goto fail;
      if (mark == 0) {
        uint8_t* plane = stream.get() + kHistory + expanded;
        if (!lzssExpand(data + pos, len, plane, need, ringIndex)) goto fail;
        planes[c] = plane;
        expanded += need;
      } else {
        if (len != need) goto fail;
        planes[c] = data + pos;
      }
      pos += len;
    }
    for (size_t r = 0; r < rows; ++r) {
      size_t y = y0 + r;
      const uint8_t* rowPlanes[4] = {};
      for (int c = 0; c < channels; ++c) rowPlanes[c] = planes[c] + r * w;
      uint8_t* row = out + y * w * 4;
      const uint8_t* above = y ? row - size_t(w) * 4 : nullptr;
      if (channels == 1) rebuildGreyRow(row, above, rowPlanes[0], int(w));
      else rebuildColourRow(row, above, rowPlanes, int(w), channels == 4);
    }
    std::memmove(stream.get(), stream.get() + expanded, kHistory);
  }
  return image;
fail:
  freeImage(image);
  return nullptr;
}

bool encodeTlg5(const Image& image, int channels, std::string& out) {
  if (channels != 1 && channels != 3 && channels != 4) return false;
  const int w = image.width, h = image.height, bh = 4;
  const uint8_t* px = reinterpret_cast<const uint8_t*>(image.pixels);
  out.append("TLG5.0\0raw\x1A", 11);
  out.push_back(static_cast<char>(channels));
  put32(out, uint32_t(w));
  put32(out, uint32_t(h));
  put32(out, bh);
  int blocks = (h + bh - 1) / bh;
  size_t tableAt = out.size();
  out.append(size_t(blocks) * 4, '\0');
  LzssRing zero;
  lzssZeroRing(zero);
  LzssEncoder enc(zero);
  std::vector<uint8_t> planes[4];
  std::string packed;
  // Channel order of the samples inside a pixel: B, G, R, A.
  auto sample = [&](int x, int y, int c) -> int { return px[(size_t(y) * w + x) * 4 + c]; };
  auto e = [&](int x, int y, int c) -> uint8_t {
    int d = sample(x, y, c) - (y ? sample(x, y - 1, c) : 0);
    if (x) d -= sample(x - 1, y, c) - (y ? sample(x - 1, y - 1, c) : 0);
    return uint8_t(d);
  };
  for (int b = 0; b < blocks; ++b) {
    int y0 = b * bh, rows = std::min(bh, h - y0);
    for (auto& p : planes) p.clear();
    for (int y = y0; y < y0 + rows; ++y)
      for (int x = 0; x < w; ++x) {
        if (channels == 1) {
          planes[0].push_back(e(x, y, 0));
          continue;
        }
        uint8_t g = e(x, y, 1);
        planes[0].push_back(uint8_t(e(x, y, 0) - g));
        planes[1].push_back(g);
        planes[2].push_back(uint8_t(e(x, y, 2) - g));
        if (channels == 4) planes[3].push_back(e(x, y, 3));
      }
    size_t blockStart = out.size();
    for (int c = 0; c < channels; ++c) {
      const std::vector<uint8_t>& p = planes[c];
      size_t mark = enc.historyLength();
      packed.clear();
      enc.compress(p.data(), p.size(), packed);
      bool store = packed.size() >= p.size();
      if (store) enc.rollback(mark);
      out.push_back(store ? 1 : 0);
      put32(out, uint32_t(store ? p.size() : packed.size()));
      if (store) out.append(reinterpret_cast<const char*>(p.data()), p.size());
      else out += packed;
    }
    uint32_t blockLen = uint32_t(out.size() - blockStart);
    for (int i = 0; i < 4; ++i) out[tableAt + size_t(b) * 4 + i] = static_cast<char>(blockLen >> (8 * i));
  }
  return true;
}

}  // namespace velmora::image::detail
