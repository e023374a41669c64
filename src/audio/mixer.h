#pragma once
// The mixer: a pure function from the channels' ring buffers and levels to
// interleaved 16-bit stereo frames at the device rate. It never blocks,
// decodes or touches files.
#include <cstddef>
#include <cstdint>
#include <span>

namespace velmora::audio {

constexpr int kDeviceRate = 44100;
constexpr int32_t kSilence = -10000;  // hundredths of a decibel

// One channel as the mixer sees it. position is the read position in the
// ring in frames, 32.32 fixed point; the mixer advances it and wraps it.
struct MixSource {
  const uint8_t* ring = nullptr;
  uint32_t ringFrames = 0;
  int channels = 2;
  int bits = 16;
  int rate = kDeviceRate;
  uint64_t position = 0;
  int32_t volume = 0;  // -10000 (silence) ... 0
  int32_t pan = 0;     // -10000 (left only) ... 10000 (right only)
};

// Linear factor of a level in hundredths of a decibel; -10000 and below is 0.
double levelFactor(int32_t hundredths);
// The channel's level from its volumes (0..100 each, as reals while fading)
// and gain (0..10000).
int32_t volumeLevel(double volume, double volume2, int gain);
int32_t panLevel(double pan);

// Adds frames of one source to an accumulator of 2 * frames floats.
void mixInto(MixSource& source, float* accumulator, size_t frames);
// Rounds and clamps the accumulator into interleaved stereo samples.
void finishMix(const float* accumulator, int16_t* out, size_t frames);
// Both steps over several sources; out receives 2 * frames samples.
void mixFrames(std::span<MixSource> sources, int16_t* out, size_t frames);

}  // namespace velmora::audio
