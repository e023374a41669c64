#include "image/tlg_lzss.h"

#include <cstring>

namespace velmora::image::detail {

void lzssZeroRing(LzssRing& s) {
  std::memset(s.ring, 0, sizeof(s.ring));
  s.r = 0;
}

void lzssPatternRing(LzssRing& s) {
  uint8_t* p = s.ring;
  for (int i = 0; i < 32; ++i)
    for (int j = 0; j < 16; ++j) {
      p[0] = p[1] = p[2] = p[3] = static_cast<uint8_t>(i);
      p[4] = p[5] = p[6] = p[7] = static_cast<uint8_t>(j);
      p += 8;
    }
  s.r = 0;
}

namespace {

// Copies a match from d bytes behind dst. A source at least 16 bytes back
// never reads what the same copy writes, so it moves in 16-byte pieces; a
// shorter distance repeats with period d, so after a whole number of periods
// of at least 16 bytes the copy can read that far back instead.
inline void copyMatch(uint8_t* dst, size_t d, size_t len) {
  size_t step = d;
  if (d < 16) {
    step = d * ((15 + d) / d);
    size_t head = len < step ? len : step;
    const uint8_t* from = dst - d;  // not dst[i - d]: the unsigned index would wrap
    for (size_t i = 0; i < head; ++i) dst[i] = from[i];
    if (len <= step) return;
    dst += step;
    len -= step;
  }
  for (size_t i = 0; i < len; i += 16) std::memcpy(dst + i, dst + i - step, 16);
}

}  // namespace

bool lzssExpand(const uint8_t* in, size_t inLen, uint8_t* out, size_t outLen, unsigned& r) {
  const unsigned r0 = r;
  size_t ip = 0, op = 0;
  while (ip < inLen) {
    unsigned flags = in[ip++];
    if (ip == inLen) return false;  // a flag byte with no item
    if (flags == 0 && inLen - ip >= 8 && outLen - op >= 8) {
      std::memcpy(out + op, in + ip, 8);
      ip += 8;
      op += 8;
      continue;
    }
    for (int item = 0; item < 8 && ip < inLen; ++item, flags >>= 1) {
      if (!(flags & 1)) {
        if (op == outLen) return false;
        out[op++] = in[ip++];
        continue;
      }
      if (inLen - ip < 2) return false;
      unsigned pos = in[ip] | ((in[ip + 1] & 0x0F) << 8);
      size_t len = (in[ip + 1] >> 4) + 3;
      ip += 2;
      if (len == 18) {
        if (ip == inLen) return false;
        len += in[ip++];
      }
      if (outLen - op < len) return false;
      // The write index sits on the oldest byte, so pos == r means 4096 back.
      size_t d = (r0 + op - pos) & 4095;
      copyMatch(out + op, d ? d : 4096, len);
      op += len;
    }
  }
  r = unsigned(r0 + op) & 4095;
  return op == outLen;
}

bool lzssDecode(LzssRing& s, const uint8_t* in, size_t inLen, uint8_t* out, size_t outLen) {
  std::vector<uint8_t> line(4096 + outLen + kLzssSlack);
  for (unsigned i = 0; i < 4096; ++i) line[i] = s.ring[(s.r + i) & 4095];
  unsigned r = s.r;
  if (!lzssExpand(in, inLen, line.data() + 4096, outLen, r)) return false;
  std::memcpy(out, line.data() + 4096, outLen);
  const uint8_t* newest = line.data() + outLen;  // the last 4096 bytes, oldest first
  for (unsigned i = 0; i < 4096; ++i) s.ring[(r + i) & 4095] = newest[i];
  s.r = r;
  return true;
}

LzssEncoder::LzssEncoder(const LzssRing& initial)
    : hist_(initial.ring, initial.ring + 4096), head_(size_t(1) << kHashBits, -1), prev_(4096, -1) {
  for (size_t i = 0; i + 3 <= 4096; ++i) insert(i);
}

namespace {
inline unsigned hash3(const uint8_t* p) {
  return ((unsigned(p[0]) << 10) ^ (unsigned(p[1]) << 5) ^ p[2]) & ((1u << 15) - 1);
}
}  // namespace

void LzssEncoder::insert(size_t pos) {
  unsigned h = hash3(&hist_[pos]);
  prev_[pos & 4095] = head_[h];
  head_[h] = static_cast<int32_t>(pos);
}

// Candidates must lie within the 4096-byte window and run strictly backwards;
// a rollback can leave stale links, which the byte comparison then rejects.
size_t LzssEncoder::longestMatch(size_t cur, size_t end, size_t& bestPos) {
  size_t maxLen = end - cur < 273 ? end - cur : 273;
  if (maxLen < 3) return 0;
  size_t best = 0;
  int32_t cand = head_[hash3(&hist_[cur])];
  size_t last = cur;
  for (int chain = 0; chain < 128 && cand >= 0; ++chain) {
    size_t p = static_cast<size_t>(cand);
    if (p >= last || cur - p > 4096) break;
    last = p;
    const uint8_t* a = &hist_[p];
    const uint8_t* b = &hist_[cur];
    size_t n = 0;
    while (n < maxLen && a[n] == b[n]) ++n;
    if (n > best) {
      best = n;
      bestPos = p;
      if (n == maxLen) break;
    }
    cand = prev_[p & 4095];
  }
  return best >= 3 ? best : 0;
}

void LzssEncoder::compress(const uint8_t* data, size_t n, std::string& out) {
  size_t cur = hist_.size();
  hist_.insert(hist_.end(), data, data + n);
  size_t end = hist_.size();
  size_t flagAt = 0;
  unsigned bit = 8;
  while (cur < end) {
    if (bit == 8) {
      flagAt = out.size();
      out.push_back(0);
      bit = 0;
    }
    size_t pos = 0;
    size_t len = longestMatch(cur, end, pos);
    if (len == 0) {
      out.push_back(static_cast<char>(hist_[cur]));
      if (cur + 3 <= end) insert(cur);
      ++cur;
    } else {
      out[flagAt] = static_cast<char>(out[flagAt] | (1 << bit));
      unsigned ring = static_cast<unsigned>(pos & 4095);
      unsigned code = len >= 18 ? 15 : static_cast<unsigned>(len - 3);
      out.push_back(static_cast<char>(ring & 0xFF));
      out.push_back(static_cast<char>((ring >> 8) | (code << 4)));
      if (code == 15) out.push_back(static_cast<char>(len - 18));
      for (size_t i = 0; i < len; ++i, ++cur)
        if (cur + 3 <= end) insert(cur);
    }
    ++bit;
  }
}

}  // namespace velmora::image::detail
