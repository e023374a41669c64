#pragma once
// A small Vorbis encoder for the demo's music and the tests' sound files.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace velmora::tools {

// frames of stereo audio, sample(frame, channel) in -1..1, as an Ogg Vorbis
// file carrying the given comments ("KEY=value").
using SampleSource = std::function<float(int64_t frame, int channel)>;
std::string encodeVorbis(int64_t frames, int rate, const std::vector<std::string>& comments,
                         const SampleSource& sample, float quality = 0.4f);

}  // namespace velmora::tools
