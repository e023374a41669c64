// The block-copying dictionary decoder against a plain byte-by-byte ring, and
// TLG5 files whose stored records sit between compressed ones.
#include <array>

#include "helpers.h"
#include "image/internal.h"
#include "image/tlg_lzss.h"

namespace velmora::image::test {
namespace {

// Writes items the way the format describes them and expands them at once
// on a ring kept the slow, obvious way.
struct StreamBuilder {
  std::array<uint8_t, 4096> ring{};
  unsigned r = 0;
  std::string bytes;
  std::vector<uint8_t> expanded;
  size_t flagAt = 0;
  int bit = 8;

  void item(bool match) {
    if (bit == 8) {
      flagAt = bytes.size();
      bytes.push_back(0);
      bit = 0;
    }
    if (match) bytes[flagAt] = char(bytes[flagAt] | (1 << bit));
    ++bit;
  }
  void put(uint8_t c) {
    expanded.push_back(c);
    ring[r] = c;
    r = (r + 1) & 4095;
  }
  void literal(uint8_t c) {
    item(false);
    bytes.push_back(char(c));
    put(c);
  }
  void match(unsigned pos, unsigned len) {
    item(true);
    bytes.push_back(char(pos & 0xFF));
    unsigned code = len >= 18 ? 15 : len - 3;
    bytes.push_back(char((pos >> 8) | (code << 4)));
    if (code == 15) bytes.push_back(char(len - 18));
    for (unsigned i = 0; i < len; ++i, pos = (pos + 1) & 4095) put(ring[pos]);
  }
  // A new record: fresh flag byte and output, same dictionary.
  void next() {
    bytes.clear();
    expanded.clear();
    bit = 8;
  }
};

// Random records exercise every distance class: overlapping short periods,
// the 16-byte boundary, wrapping positions and pos == r (4096 back).
TEST(TlgLzss, BlockCopiesExpandLikeTheByteByByteRing) {
  StreamBuilder ref;
  detail::LzssRing ring;
  detail::lzssZeroRing(ring);
  uint32_t seed = 7;
  auto rnd = [&](uint32_t n) { return ((seed = seed * 1664525u + 1013904223u) >> 8) % n; };
  for (int record = 0; record < 60; ++record) {
    ref.next();
    int items = 1 + int(rnd(400));
    for (int i = 0; i < items; ++i) {
      if (rnd(3) == 0) {
        ref.literal(uint8_t(rnd(256)));
        continue;
      }
      static const unsigned kDistances[] = {1, 2, 3, 5, 15, 16, 17, 31, 4095, 4096};
      unsigned d = rnd(2) ? kDistances[rnd(10)] : 1 + rnd(4096);
      unsigned len = rnd(4) == 0 ? 18 + rnd(256) : 3 + rnd(15);
      ref.match((ref.r - d) & 4095, len);
    }
    std::vector<uint8_t> out(ref.expanded.size());
    ASSERT_TRUE(detail::lzssDecode(ring, reinterpret_cast<const uint8_t*>(ref.bytes.data()), ref.bytes.size(),
                                   out.data(), out.size()))
        << "record " << record;
    ASSERT_EQ(out, ref.expanded) << "record " << record;
    ASSERT_EQ(ring.r, ref.r);
    ASSERT_EQ(0, std::memcmp(ring.ring, ref.ring.data(), 4096)) << "record " << record;
  }
}

// Plane bytes of a colour TLG5 picture back to pixels, as the format states.
std::vector<uint32_t> rebuild(const std::vector<std::vector<uint8_t>>& planes, int w, int h) {
  std::vector<uint32_t> px(size_t(w) * h);
  for (int y = 0; y < h; ++y) {
    uint8_t s[4] = {};
    for (int x = 0; x < w; ++x) {
      size_t i = size_t(y) * w + x;
      uint8_t g = planes[1][i];
      uint8_t d[4] = {uint8_t(planes[0][i] + g), g, uint8_t(planes[2][i] + g), planes.size() > 3 ? planes[3][i] : uint8_t(0)};
      uint32_t p = 0;
      for (int c = 0; c < 4; ++c) {
        s[c] = uint8_t(s[c] + d[c]);
        uint8_t up = y ? uint8_t(px[i - w] >> (8 * c)) : 0;
        p |= uint32_t(uint8_t(s[c] + up)) << (8 * c);
      }
      px[i] = planes.size() > 3 ? p : p | 0xFF000000u;
    }
  }
  return px;
}

void put32(std::string& s, uint32_t v) {
  for (int i = 0; i < 4; ++i) s.push_back(char(v >> (8 * i)));
}

// Stored records do not enter the dictionary: the compressed records after
// them refer back across them, in the same block and in the next one.
TEST(TlgLzss, StoredRecordsStayOutOfTheDictionary) {
  for (int channels : {3, 4}) {
    const int w = 37, h = 6, bh = 4;
    std::vector<std::vector<uint8_t>> planes(channels);
    std::string file("TLG5.0\0raw\x1A", 11);
    file.push_back(char(channels));
    put32(file, w);
    put32(file, h);
    put32(file, bh);
    file.append(8, '\0');  // block sizes, which readers ignore
    StreamBuilder ref;
    for (int y0 = 0; y0 < h; y0 += bh) {
      size_t need = size_t(w) * std::min(bh, h - y0);
      for (int c = 0; c < channels; ++c) {
        std::vector<uint8_t> plane;
        if (c == 1) {
          for (size_t i = 0; i < need; ++i) plane.push_back(uint8_t(noise(uint32_t(y0 * 100 + i))));
          file.push_back(1);
          put32(file, uint32_t(need));
          file.append(plane.begin(), plane.end());
        } else {
          ref.next();
          for (int i = 0; i < 5; ++i) ref.literal(uint8_t(noise(uint32_t(c * 1000 + y0 + i))));
          while (ref.expanded.size() + 40 <= need) ref.match((ref.r - 23 - c) & 4095, 20 + c);
          while (ref.expanded.size() < need) ref.literal(uint8_t(ref.expanded.size()));
          plane = ref.expanded;
          file.push_back(0);
          put32(file, uint32_t(ref.bytes.size()));
          file += ref.bytes;
        }
        planes[c].insert(planes[c].end(), plane.begin(), plane.end());
      }
    }
    Image* im = detail::decodeTlg(reinterpret_cast<const uint8_t*>(file.data()), file.size());
    ASSERT_NE(im, nullptr) << channels;
    std::vector<uint32_t> want = rebuild(planes, w, h);
    for (size_t i = 0; i < want.size(); ++i) ASSERT_EQ(im->pixels[i], want[i]) << "pixel " << i << " c" << channels;
    freeImage(im);
  }
}

}  // namespace
}  // namespace velmora::image::test
