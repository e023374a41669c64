// TLG5: doubly differenced colour planes in blocks of rows, LZSS-compressed
// with one dictionary for the whole file.
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

// Rebuilds one row from its plane bytes and the row above.
void rebuildRow(uint8_t* row, const uint8_t* above, const uint8_t* const* planes, int width, int channels) {
  if (channels == 1) {
    uint8_t s = 0;
    for (int x = 0; x < width; ++x) {
      s = uint8_t(s + planes[0][x]);
      uint8_t v = above ? uint8_t(s + above[x * 4]) : s;
      row[x * 4] = row[x * 4 + 1] = row[x * 4 + 2] = v;
      row[x * 4 + 3] = 255;
    }
    return;
  }
  uint8_t sb = 0, sg = 0, sr = 0, sa = 0;
  for (int x = 0; x < width; ++x) {
    uint8_t g = planes[1][x];
    sb = uint8_t(sb + planes[0][x] + g);
    sg = uint8_t(sg + g);
    sr = uint8_t(sr + planes[2][x] + g);
    uint8_t* p = row + x * 4;
    if (above) {
      const uint8_t* q = above + x * 4;
      p[0] = uint8_t(sb + q[0]);
      p[1] = uint8_t(sg + q[1]);
      p[2] = uint8_t(sr + q[2]);
    } else {
      p[0] = sb, p[1] = sg, p[2] = sr;
    }
    if (channels == 4) {
      sa = uint8_t(sa + planes[3][x]);
      p[3] = above ? uint8_t(sa + above[x * 4 + 3]) : sa;
    } else {
      p[3] = 255;
    }
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
  std::unique_ptr<uint8_t[]> planeMemory(new (std::nothrow) uint8_t[size_t(w) * rowsPerBlock * channels]);
  if (!planeMemory) return nullptr;
  Image* image = createImage(int(w), int(h), channels * 8);
  if (!image) return nullptr;
  LzssRing ring;
  lzssZeroRing(ring);
  const uint8_t* planes[4] = {};
  uint8_t* out = bytes(image);
  for (uint32_t y0 = 0; y0 < h; y0 += bh) {
    size_t rows = h - y0 < bh ? h - y0 : bh;
    size_t need = size_t(w) * rows;
    for (int c = 0; c < channels; ++c) {
      uint8_t* plane = planeMemory.get() + size_t(c) * w * rowsPerBlock;
      planes[c] = plane;
      if (size - pos < 5) goto fail;
      uint8_t mark = data[pos];
      uint32_t len = le32(data + pos + 1);
      pos += 5;
      if (len > size - pos) goto fail;
      if (mark == 0) {
        if (!lzssDecode(ring, data + pos, len, plane, need)) goto fail;
      } else {
        if (len != need) goto fail;
        std::memcpy(plane, data + pos, need);
      }
      pos += len;
    }
    for (size_t r = 0; r < rows; ++r) {
      size_t y = y0 + r;
      const uint8_t* rowPlanes[4];
      for (int c = 0; c < channels; ++c) rowPlanes[c] = planes[c] + r * w;
      uint8_t* row = out + y * w * 4;
      rebuildRow(row, y ? row - size_t(w) * 4 : nullptr, rowPlanes, int(w), channels);
    }
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
