// TLG6: per-block MED/AVG prediction and colour transforms, residuals coded
// with zero runs and adaptive Golomb-Rice codes, one row of 8x8 blocks at a time.
#include <emmintrin.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "image/internal.h"
#include "image/tlg_lzss.h"

namespace velmora::image::detail {
namespace {

constexpr int kGolombCounts[4][9] = {{3, 7, 15, 27, 63, 108, 223, 448, 130},
                                     {3, 5, 13, 24, 51, 95, 192, 384, 257},
                                     {2, 5, 12, 21, 39, 86, 155, 320, 384},
                                     {2, 3, 9, 18, 33, 61, 129, 258, 511}};

struct GolombTable {
  uint8_t k[4][1024];  // [n][a]
};

const GolombTable& golomb() {
  static const GolombTable t = [] {
    GolombTable g{};
    for (int n = 0; n < 4; ++n)
      for (int k = 0, a = 0; k < 9; ++k)
        for (int i = 0; i < kGolombCounts[n][k]; ++i) g.k[n][a++] = static_cast<uint8_t>(k);
    return g;
  }();
  return t;
}

inline uint32_t le32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24); }
inline uint64_t peek(const uint8_t* buf, uint64_t pos) {
  uint64_t v;
  std::memcpy(&v, buf + (pos >> 3), 8);
  return v >> (pos & 7);
}

// One channel of one line group: exactly n values into out. buf has at
// least 32 readable bytes past bit `limit`.
bool decodeChannel(const uint8_t* buf, uint64_t limit, int8_t* out, size_t n) {
  const GolombTable& g = golomb();
  if (limit == 0) return false;
  bool nonzero = buf[0] & 1;
  uint64_t pos = 1;
  int a = 0, step = 3;
  size_t done = 0;
  while (done < n) {
    if (pos > limit) return false;
    uint64_t w = peek(buf, pos);
    if ((w & 0xFFFFFFFFFFull) == 0) return false;  // a run longer than any picture
    unsigned zeros = static_cast<unsigned>(__builtin_ctzll(w));
    pos += zeros + 1;
    size_t run = (size_t(1) << zeros) | size_t(peek(buf, pos) & ((uint64_t(1) << zeros) - 1));
    pos += zeros;
    if (run > n - done) return false;
    if (!nonzero) {
      std::memset(out + done, 0, run);
      done += run;
    } else {
      for (size_t i = 0; i < run; ++i) {
        if (pos > limit) return false;
        unsigned k = g.k[step][a];
        unsigned p = static_cast<unsigned>(pos & 7);
        uint32_t t = static_cast<uint32_t>(peek(buf, pos)) & (0xFFFFFFFFu >> p);
        unsigned q;
        if (t == 0) {
          q = buf[(pos >> 3) + 4];
          pos = ((pos >> 3) + 5) * 8;
        } else {
          q = static_cast<unsigned>(__builtin_ctz(t));
          pos += q + 1;
        }
        unsigned m = (q << k) + static_cast<unsigned>(peek(buf, pos) & ((1u << k) - 1));
        pos += k;
        if (m > 254) return false;
        out[done++] = static_cast<int8_t>((m & 1) ? int(m >> 1) + 1 : -int(m >> 1) - 1);
        a += int(m >> 1);
        if (--step < 0) {
          a >>= 1;
          step = 3;
        }
      }
    }
    nonzero = !nonzero;
  }
  return pos <= limit;
}

// Decoder side of the 16 colour transforms.
inline void untransform(int t, uint8_t& b, uint8_t& g, uint8_t& r) {
  switch (t) {
    case 1: b += g, r += g; break;
    case 2: g += b, r += g; break;
    case 3: g += r, b += g; break;
    case 4: b += r, g += b, r += g; break;
    case 5: b += r, g += b; break;
    case 6: b += g; break;
    case 7: g += b; break;
    case 8: r += g; break;
    case 9: r += b, g += r, b += g; break;
    case 10: b += r, g += r; break;
    case 11: g += b, r += b; break;
    case 12: r += b, g += r; break;
    case 13: b += g, r += b, g += r; break;
    case 14: g += r, b += g, r += b; break;
    case 15: g = uint8_t(g + 2 * b), r = uint8_t(r + 2 * b); break;
    default: break;
  }
}

// Encoder side: the inverse steps, applied to prediction residuals.
inline void transform(int t, uint8_t& b, uint8_t& g, uint8_t& r) {
  switch (t) {
    case 1: r -= g, b -= g; break;
    case 2: r -= g, g -= b; break;
    case 3: b -= g, g -= r; break;
    case 4: r -= g, g -= b, b -= r; break;
    case 5: g -= b, b -= r; break;
    case 6: b -= g; break;
    case 7: g -= b; break;
    case 8: r -= g; break;
    case 9: b -= g, g -= r, r -= b; break;
    case 10: g -= r, b -= r; break;
    case 11: r -= b, g -= b; break;
    case 12: g -= r, r -= b; break;
    case 13: g -= r, r -= b, b -= g; break;
    case 14: r -= b, b -= g, g -= r; break;
    case 15: g = uint8_t(g - 2 * b), r = uint8_t(r - 2 * b); break;
    default: break;
  }
}

// MED or AVG of the four channels at once.
inline uint32_t predict(uint32_t left, uint32_t up, uint32_t diag, bool avg) {
  __m128i l = _mm_cvtsi32_si128(int(left)), u = _mm_cvtsi32_si128(int(up));
  if (avg) return uint32_t(_mm_cvtsi128_si32(_mm_avg_epu8(l, u)));
  __m128i d = _mm_cvtsi32_si128(int(diag));
  __m128i mx = _mm_max_epu8(l, u), mn = _mm_min_epu8(l, u);
  __m128i geMax = _mm_cmpeq_epi8(_mm_max_epu8(d, mx), d);
  __m128i leMin = _mm_cmpeq_epi8(_mm_min_epu8(d, mn), d);
  __m128i lin = _mm_sub_epi8(_mm_add_epi8(l, u), d);
  __m128i r = _mm_or_si128(_mm_and_si128(leMin, mx), _mm_andnot_si128(leMin, lin));
  r = _mm_or_si128(_mm_and_si128(geMax, mn), _mm_andnot_si128(geMax, r));
  return uint32_t(_mm_cvtsi128_si32(r));
}

inline uint32_t subBytes(uint32_t a, uint32_t b) {
  return uint32_t(_mm_cvtsi128_si32(_mm_sub_epi8(_mm_cvtsi32_si128(int(a)), _mm_cvtsi32_si128(int(b)))));
}

struct Geometry {
  int w, h, channels, xb, yb;
  uint32_t virt;  // the pixel outside the picture
};

inline size_t codingIndex(int x, int ry, int h, int w) {
  int xb = x >> 3, c = x & 7, bw = std::min(8, w - 8 * xb);
  int row = (xb & 1) ? h - 1 - ry : ry;
  int col = (ry & 1) ? bw - 1 - c : c;
  return size_t(8) * h * xb + size_t(row) * bw + col;
}

// Applies each block's colour transform to its residual range and packs the
// four channels of every coding index into one word.
void packResiduals(const Geometry& g, int h, const uint8_t* filters, int8_t* const* res, uint32_t* packed) {
  for (int xb = 0; xb < g.xb; ++xb) {
    int t = filters[xb] >> 1, bw = std::min(8, g.w - 8 * xb);
    size_t base = size_t(8) * h * xb, n = size_t(h) * bw;
    for (size_t i = base; i < base + n; ++i) {
      uint8_t b = uint8_t(res[0][i]), gg = uint8_t(res[1][i]), r = uint8_t(res[2][i]);
      untransform(t, b, gg, r);
      packed[i] = b | (gg << 8) | (r << 16) | (uint32_t(uint8_t(res[3][i])) << 24);
    }
  }
}

template <bool kAvg>
inline void rebuildSegment(uint32_t* row, const uint32_t* above, const uint32_t* packed, int x0, int bw, bool reverse,
                           uint32_t virt) {
  // x0 > 0 or the caller has supplied the virtual neighbours in above[-1].
  __m128i left = _mm_cvtsi32_si128(int(x0 ? row[x0 - 1] : virt));
  for (int c = 0; c < bw; ++c) {
    int x = x0 + c;
    __m128i u = _mm_cvtsi32_si128(int(above[x]));
    __m128i p;
    if constexpr (kAvg) {
      p = _mm_avg_epu8(left, u);
    } else {
      __m128i d = _mm_cvtsi32_si128(int(x ? above[x - 1] : virt));
      __m128i mx = _mm_max_epu8(left, u), mn = _mm_min_epu8(left, u);
      __m128i geMax = _mm_cmpeq_epi8(_mm_max_epu8(d, mx), d);
      __m128i leMin = _mm_cmpeq_epi8(_mm_min_epu8(d, mn), d);
      __m128i lin = _mm_sub_epi8(_mm_add_epi8(left, u), d);
      p = _mm_or_si128(_mm_and_si128(leMin, mx), _mm_andnot_si128(leMin, lin));
      p = _mm_or_si128(_mm_and_si128(geMax, mn), _mm_andnot_si128(geMax, p));
    }
    left = _mm_add_epi8(p, _mm_cvtsi32_si128(int(packed[reverse ? bw - 1 - c : c])));
    row[x] = uint32_t(_mm_cvtsi128_si32(left));
  }
}

void rebuildGroup(const Geometry& g, int y0, int h, const uint8_t* filters, const uint32_t* packed,
                  const uint32_t* virtualRow, uint32_t* px) {
  for (int ry = 0; ry < h; ++ry) {
    int y = y0 + ry;
    uint32_t* row = px + size_t(y) * g.w;
    const uint32_t* above = y ? row - g.w : virtualRow;
    for (int xb = 0; xb < g.xb; ++xb) {
      int bw = std::min(8, g.w - 8 * xb);
      const uint32_t* seg = packed + size_t(8) * h * xb + size_t((xb & 1) ? h - 1 - ry : ry) * bw;
      if (filters[xb] & 1) rebuildSegment<true>(row, above, seg, xb * 8, bw, ry & 1, g.virt);
      else rebuildSegment<false>(row, above, seg, xb * 8, bw, ry & 1, g.virt);
    }
  }
}

}  // namespace

Image* decodeTlg6(const uint8_t* data, size_t size) {
  if (size < 31 || std::memcmp(data, "TLG6.0\0raw\x1A", 11) != 0) return nullptr;
  Geometry g{};
  g.channels = data[11];
  if ((g.channels != 1 && g.channels != 3 && g.channels != 4) || data[12] || data[13] || data[14]) return nullptr;
  uint32_t w = le32(data + 15), h = le32(data + 19), maxBits = le32(data + 23), fl = le32(data + 27);
  if (w == 0 || h == 0 || w >= 0x80000000u || h >= 0x80000000u || int64_t(w) * h > kMaxDecodePixels) return nullptr;
  g.w = int(w), g.h = int(h), g.xb = int((w + 7) / 8), g.yb = int((h + 7) / 8);
  g.virt = g.channels == 3 ? 0xFF000000u : 0;
  if (fl > size - 31) return nullptr;
  size_t nf = size_t(g.xb) * g.yb;
  std::vector<uint8_t> filters, bits;
  size_t groupValues = size_t(w) * std::min<uint32_t>(h, 8);
  std::unique_ptr<int8_t[]> resMem(new (std::nothrow) int8_t[groupValues * 4]);
  if (!resMem) return nullptr;
  try {
    filters.resize(nf);
  } catch (...) {
    return nullptr;
  }
  LzssRing ring;
  lzssPatternRing(ring);
  if (!lzssDecode(ring, data + 31, fl, filters.data(), nf)) return nullptr;
  for (uint8_t f : filters)
    if (f >= 32) return nullptr;
  std::vector<uint32_t> packed, virtualRow;
  try {
    packed.resize(groupValues);
    virtualRow.assign(w, g.virt);
  } catch (...) {
    return nullptr;
  }
  Image* image = createImage(g.w, g.h, g.channels * 8);
  if (!image) return nullptr;
  int8_t* res[4];
  for (int c = 0; c < 4; ++c) res[c] = resMem.get() + size_t(c) * groupValues;
  std::memset(resMem.get(), 0, groupValues * 4);
  size_t pos = 31 + size_t(fl);
  for (int gy = 0; gy < g.yb; ++gy) {
    int y0 = gy * 8, gh = std::min(8, g.h - y0);
    for (int c = 0; c < g.channels; ++c) {
      if (size - pos < 4) goto fail;
      uint32_t word = le32(data + pos);
      pos += 4;
      uint64_t len = word & 0x3FFFFFFF;
      size_t nbytes = size_t((len + 7) / 8);
      if ((word >> 30) != 0 || len > maxBits || nbytes > size - pos) goto fail;
      bits.assign(data + pos, data + pos + nbytes);
      bits.resize(nbytes + 32, 0);
      pos += nbytes;
      if (!decodeChannel(bits.data(), len, res[c], size_t(gh) * w)) goto fail;
    }
    packResiduals(g, gh, filters.data() + size_t(gy) * g.xb, res, packed.data());
    rebuildGroup(g, y0, gh, filters.data() + size_t(gy) * g.xb, packed.data(), virtualRow.data(), image->pixels);
  }
  if (g.channels == 1)
    for (int32_t i = 0; i < image->count; ++i) {
      uint32_t v = image->pixels[i] & 0xFF;
      image->pixels[i] = 0xFF000000u | v << 16 | v << 8 | v;
    }
  return image;
fail:
  freeImage(image);
  return nullptr;
}

namespace {

class BitWriter {
 public:
  std::vector<uint8_t> buf;
  uint64_t pos = 0;
  void put(uint32_t v, unsigned n) {
    for (unsigned i = 0; i < n; ++i, ++pos) {
      if ((pos >> 3) >= buf.size()) buf.push_back(0);
      if ((v >> i) & 1) buf[pos >> 3] = uint8_t(buf[pos >> 3] | (1 << (pos & 7)));
    }
  }
  void zeros(unsigned n) {
    pos += n;
    buf.resize(size_t((pos + 7) / 8), 0);
  }
  void gamma(size_t v) {
    unsigned l = 63 - unsigned(__builtin_clzll(v));
    zeros(l);
    put(1, 1);
    put(uint32_t(v), l);
  }
};

void encodeChannel(const int8_t* v, size_t n, BitWriter& bw) {
  const GolombTable& g = golomb();
  int a = 0, step = 3;
  bool nonzero = v[0] != 0;
  bw.put(nonzero, 1);
  for (size_t i = 0; i < n;) {
    size_t j = i;
    while (j < n && (v[j] != 0) == nonzero) ++j;
    bw.gamma(j - i);
    if (nonzero) {
      for (; i < j; ++i) {
        int e = v[i];
        unsigned m = e > 0 ? unsigned(2 * e - 1) : unsigned(-2 * e - 2);
        unsigned k = g.k[step][a], q = m >> k, p = unsigned(bw.pos & 7);
        if (q < 32 - p) {
          bw.zeros(q);
          bw.put(1, 1);
        } else {
          bw.zeros(32 - p);
          bw.put(q, 8);
        }
        bw.put(m & ((1u << k) - 1), k);
        a += int(m >> 1);
        if (--step < 0) a >>= 1, step = 3;
      }
    }
    i = j;
    nonzero = !nonzero;
  }
}

int magnitude(uint8_t v) { return v < 128 ? v : 256 - v; }

// Picks predictor and transform of one block by the sum of residual sizes.
uint8_t chooseFilter(const std::vector<uint32_t>& resid0, const std::vector<uint32_t>& resid1, int channels) {
  int best = -1, bestCost = 1 << 30;
  for (int avg = 0; avg < 2; ++avg) {
    const std::vector<uint32_t>& rs = avg ? resid1 : resid0;
    for (int t = 0; t < (channels == 1 ? 1 : 16); ++t) {
      int cost = 0;
      for (uint32_t d : rs) {
        uint8_t b = uint8_t(d), g = uint8_t(d >> 8), r = uint8_t(d >> 16);
        transform(t, b, g, r);
        cost += magnitude(b) + magnitude(g) + magnitude(r);
      }
      if (cost < bestCost) bestCost = cost, best = avg | (t << 1);
    }
  }
  return uint8_t(best);
}

}  // namespace

bool encodeTlg6(const Image& image, int channels, std::string& out) {
  if (channels != 1 && channels != 3 && channels != 4) {
    say("SaveTLG6: Unsupported Color Type\n");
    return false;
  }
  const int w = image.width, h = image.height, xbn = (w + 7) / 8, ybn = (h + 7) / 8;
  const uint32_t virt = channels == 3 ? 0xFF000000u : 0;
  // The picture as the decoder will rebuild it.
  std::vector<uint32_t> px(size_t(image.count));
  for (size_t i = 0; i < px.size(); ++i) {
    uint32_t p = image.pixels[i];
    px[i] = channels == 1 ? (p & 0xFF) : channels == 3 ? (p | 0xFF000000u) : p;
  }
  std::vector<uint8_t> filters(size_t(xbn) * ybn);
  std::vector<int8_t> seq[4];
  std::vector<std::vector<uint8_t>> coded;
  std::vector<uint64_t> lengths;
  uint64_t maxBits = 0;
  std::vector<uint32_t> r0, r1;
  for (int gy = 0; gy < ybn; ++gy) {
    int y0 = gy * 8, gh = std::min(8, h - y0);
    for (auto& s : seq) s.assign(size_t(gh) * w, 0);
    for (int xb = 0; xb < xbn; ++xb) {
      int bw = std::min(8, w - 8 * xb);
      r0.clear(), r1.clear();
      for (int y = y0; y < y0 + gh; ++y)
        for (int x = xb * 8; x < xb * 8 + bw; ++x) {
          uint32_t left = x ? px[size_t(y) * w + x - 1] : virt;
          uint32_t up = y ? px[size_t(y - 1) * w + x] : virt;
          uint32_t diag = (x && y) ? px[size_t(y - 1) * w + x - 1] : virt;
          uint32_t p = px[size_t(y) * w + x];
          r0.push_back(subBytes(p, predict(left, up, diag, false)));
          r1.push_back(subBytes(p, predict(left, up, diag, true)));
        }
      uint8_t f = chooseFilter(r0, r1, channels);
      filters[size_t(gy) * xbn + xb] = f;
      const std::vector<uint32_t>& rs = (f & 1) ? r1 : r0;
      size_t k = 0;
      for (int y = y0; y < y0 + gh; ++y)
        for (int x = xb * 8; x < xb * 8 + bw; ++x, ++k) {
          uint32_t d = rs[k];
          uint8_t b = uint8_t(d), g = uint8_t(d >> 8), r = uint8_t(d >> 16);
          transform(f >> 1, b, g, r);
          size_t i = codingIndex(x, y - y0, gh, w);
          seq[0][i] = int8_t(b), seq[1][i] = int8_t(g), seq[2][i] = int8_t(r), seq[3][i] = int8_t(d >> 24);
        }
    }
    for (int c = 0; c < channels; ++c) {
      BitWriter bw;
      encodeChannel(seq[c].data(), seq[c].size(), bw);
      if (bw.pos >= (uint64_t(1) << 30)) {
        say("SaveTLG6: Too large bit length (given image may be too large)\n");
        return false;
      }
      maxBits = std::max(maxBits, bw.pos);
      lengths.push_back(bw.pos);
      coded.push_back(std::move(bw.buf));
    }
  }
  LzssRing pattern;
  lzssPatternRing(pattern);
  LzssEncoder enc(pattern);
  std::string table;
  enc.compress(filters.data(), filters.size(), table);
  auto put32 = [&](uint64_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>(v >> (8 * i)));
  };
  out.append("TLG6.0\0raw\x1A", 11);
  out.push_back(static_cast<char>(channels));
  out.append(3, '\0');
  put32(uint32_t(w));
  put32(uint32_t(h));
  put32(maxBits);
  put32(table.size());
  out += table;
  for (size_t i = 0; i < coded.size(); ++i) {
    put32(lengths[i]);
    out.append(reinterpret_cast<const char*>(coded[i].data()), coded[i].size());
  }
  return true;
}

}  // namespace velmora::image::detail
