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
void closeAudioDevice();
bool audioDeviceOpen();

}  // namespace velmora::platform
