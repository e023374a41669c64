#pragma once
// The sliding-dictionary coder of the TLG formats: a 4096-byte ring with
// absolute match positions, lengths 3..273.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace velmora::image::detail {

struct LzssRing {
  uint8_t ring[4096];
  unsigned r = 0;
};

void lzssZeroRing(LzssRing& s);
void lzssPatternRing(LzssRing& s);  // the TLG6 filter-table dictionary

// Expands one stream into exactly outLen bytes; false when the stream is
// malformed or yields another length. The ring carries over to the caller.
bool lzssDecode(LzssRing& s, const uint8_t* in, size_t inLen, uint8_t* out, size_t outLen);

// The same expansion over a linear history: the 4096 bytes before out hold
// the dictionary oldest first, and r is the ring index the next byte would
// take. Writes may run up to kLzssSlack bytes past out + outLen.
constexpr size_t kLzssSlack = 16;
bool lzssExpand(const uint8_t* in, size_t inLen, uint8_t* out, size_t outLen, unsigned& r);

// Encoder whose history mirrors what the decoder's ring will hold.
class LzssEncoder {
 public:
  explicit LzssEncoder(const LzssRing& initial);
  // Appends the compressed form of data to out and adds data to the history.
  void compress(const uint8_t* data, size_t n, std::string& out);
  // Forgets the last compress call (its record was stored instead).
  void rollback(size_t historyLength) { hist_.resize(historyLength); }
  size_t historyLength() const { return hist_.size(); }

 private:
  static constexpr int kHashBits = 15;
  std::vector<uint8_t> hist_;
  std::vector<int32_t> head_;
  std::vector<int32_t> prev_;  // indexed by position mod 4096
  void insert(size_t pos);
  size_t longestMatch(size_t cur, size_t end, size_t& bestPos);
};

}  // namespace velmora::image::detail
