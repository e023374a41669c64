#pragma once
// The one audio device: 44100 Hz, stereo, 16-bit. The engine's mixer fills
// it from the device's own thread through the callback.
#include <cstddef>
#include <cstdint>
#include <string>

namespace velmora::platform {

// Fills frames interleaved stereo frames; called on the device's thread.
using AudioPull = void (*)(int16_t* out, size_t frames);

// Opens and starts the device; false with the reason in error.
bool openAudioDevice(int rate, AudioPull pull, std::string& error);
// Without a device: a thread of its own pulls the same frames at the same
// rate and drops them, so sounds still advance and end. closeAudioDevice
// stops it too.
void openNullAudioOutput(int rate, AudioPull pull);
void closeAudioDevice();

}  // namespace velmora::platform
