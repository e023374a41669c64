// 16-bit PCM WAVE files from float samples in -1..1, for the sounds the tools
// make themselves (the demo's and the starter game's).
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace velmora::tools {

// Samples are interleaved when channels is 2.
inline std::string waveFile(const std::vector<float>& samples, uint16_t channels, uint32_t rate) {
  auto put32 = [](std::string& o, uint32_t v) { for (int i = 0; i < 4; ++i) o += char(v >> (8 * i)); };
  auto put16 = [](std::string& o, uint16_t v) { o += char(v), o += char(v >> 8); };
  const uint16_t frameBytes = uint16_t(2 * channels);
  std::string o = "RIFF";
  put32(o, uint32_t(36 + samples.size() * 2));
  o += "WAVEfmt ";
  put32(o, 16), put16(o, 1), put16(o, channels), put32(o, rate), put32(o, rate * frameBytes), put16(o, frameBytes),
      put16(o, 16);
  o += "data";
  put32(o, uint32_t(samples.size() * 2));
  for (float v : samples) put16(o, uint16_t(int16_t(std::clamp(std::lround(v * 32767.0f), -32768l, 32767l))));
  return o;
}

}  // namespace velmora::tools
