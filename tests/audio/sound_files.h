#pragma once
// Sound files made by the tests themselves: WAVE bytes and Vorbis encoded
// with the library's own encoder.
#include <cstdint>
#include <string>
#include <vector>

#include "vorbis_encode.h"

namespace velmora::test {

// Interleaved 16-bit samples as a canonical 44-byte WAVE file.
std::string waveBytes(const std::vector<int16_t>& samples, int channels, int rate);
// Chunks before the data, as editors write them: LIST, an odd-sized chunk, fmt, data.
std::string chunkedWaveBytes(const std::vector<int16_t>& samples, int channels, int rate);
// frames of stereo audio from sample(frame, channel), with the given comments.
inline std::string vorbisBytes(int64_t frames, int rate, const std::vector<std::string>& comments,
                               const tools::SampleSource& sample) {
  return tools::encodeVorbis(frames, rate, comments, sample, 0.1f);
}

}  // namespace velmora::test
