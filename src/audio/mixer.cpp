#include "audio/mixer.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace velmora::audio {
namespace {

inline float sampleAt(const MixSource& s, uint32_t frame, int channel) {
  if (s.bits == 16) {
    const uint8_t* p = s.ring + (size_t(frame) * s.channels + channel) * 2;
    return float(int16_t(uint16_t(p[0] | p[1] << 8)));
  }
  return float((int(s.ring[size_t(frame) * s.channels + channel]) - 128) * 256);
}

}  // namespace

double levelFactor(int32_t hundredths) {
  if (hundredths <= kSilence) return 0.0;
  if (hundredths == 0) return 1.0;
  return std::pow(10.0, hundredths / 2000.0);
}

int32_t volumeLevel(double volume, double volume2, int gain) {
  float level = float((volume * volume2 / 100.0) * (gain / 10000.0));
  if (level < 0.005f) return kSilence;
  return int32_t(std::log10(level) * 2000.0);
}

int32_t panLevel(double p) {
  if (p < 0) return p < -99.995 ? -10000 : int32_t(std::log10((p + 100) / 100) * 2000.0);
  return p > 99.995 ? 10000 : int32_t(std::log10((100 - p) / 100) * -2000.0);
}

void mixInto(MixSource& s, float* acc, size_t frames) {
  if (!s.ring || s.ringFrames == 0 || s.volume <= kSilence) {
    // Silent channels still move through their ring so the worker sees time pass.
    uint64_t step = (uint64_t(uint32_t(s.rate)) << 32) / kDeviceRate;
    uint64_t span = uint64_t(s.ringFrames) << 32;
    if (span) s.position = (s.position + step * frames) % span;
    return;
  }
  double v = levelFactor(s.volume);
  float left = float(v * (s.pan > 0 ? levelFactor(-s.pan) : 1.0));
  float right = float(v * (s.pan < 0 ? levelFactor(s.pan) : 1.0));
  const uint64_t step = (uint64_t(uint32_t(s.rate)) << 32) / kDeviceRate;
  const uint64_t span = uint64_t(s.ringFrames) << 32;
  uint64_t pos = s.position % span;
  const int right_ch = s.channels == 2 ? 1 : 0;
  for (size_t i = 0; i < frames; ++i) {
    uint32_t f = uint32_t(pos >> 32);
    float l = sampleAt(s, f, 0), r = sampleAt(s, f, right_ch);
    if (uint32_t frac = uint32_t(pos); frac != 0) {
      uint32_t g = f + 1 == s.ringFrames ? 0 : f + 1;
      float t = float(frac) * (1.0f / 4294967296.0f);
      l += (sampleAt(s, g, 0) - l) * t;
      r += (sampleAt(s, g, right_ch) - r) * t;
    }
    acc[2 * i] += l * left;
    acc[2 * i + 1] += r * right;
    pos += step;
    if (pos >= span) pos -= span;
  }
  s.position = pos;
}

void finishMix(const float* acc, int16_t* out, size_t frames) {
  for (size_t i = 0; i < 2 * frames; ++i) out[i] = int16_t(std::clamp(std::lround(acc[i]), -32768l, 32767l));
}

void mixFrames(std::span<MixSource> sources, int16_t* out, size_t frames) {
  std::vector<float> acc(2 * frames, 0.0f);
  for (MixSource& s : sources) mixInto(s, acc.data(), frames);
  finishMix(acc.data(), out, frames);
}

}  // namespace velmora::audio
