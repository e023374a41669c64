#include "audio/sound_files.h"

#include <cstdlib>
#include <fstream>

namespace velmora::test {
namespace {

void put32(std::string& s, uint32_t v) {
  for (int i = 0; i < 4; ++i) s += char(v >> (8 * i));
}
void put16(std::string& s, uint16_t v) { s += char(v), s += char(v >> 8); }

std::string fmtChunk(int channels, int rate) {
  std::string s = "fmt ";
  put32(s, 16);
  put16(s, 1), put16(s, uint16_t(channels)), put32(s, uint32_t(rate)), put32(s, uint32_t(rate * channels * 2));
  put16(s, uint16_t(channels * 2)), put16(s, 16);
  return s;
}
std::string dataChunk(const std::vector<int16_t>& samples) {
  std::string s = "data";
  put32(s, uint32_t(samples.size() * 2));
  for (int16_t v : samples) put16(s, uint16_t(v));
  return s;
}

}  // namespace

std::string waveBytes(const std::vector<int16_t>& samples, int channels, int rate) {
  std::string body = "WAVE" + fmtChunk(channels, rate) + dataChunk(samples);
  std::string s = "RIFF";
  put32(s, uint32_t(body.size()));
  return s + body;
}

std::string chunkedWaveBytes(const std::vector<int16_t>& samples, int channels, int rate) {
  std::string list = "LIST";
  put32(list, 4);
  list += "INFO";
  std::string odd = "junk";
  put32(odd, 3);
  odd += "abc";
  odd += '\0';  // the pad byte of an odd-sized chunk
  std::string body = "WAVE" + list + odd + fmtChunk(channels, rate) + dataChunk(samples);
  std::string s = "RIFF";
  put32(s, uint32_t(body.size()));
  return s + body;
}

}  // namespace velmora::test
