#include "platform/audio.h"

#include <SDL.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace velmora::platform {
namespace {

// A device's usual period: short enough that a sound's end is heard late by
// no more than a frame or three.
constexpr size_t kNullBlockFrames = 2048;

struct AudioDevice {
  SDL_AudioDeviceID id = 0;
  AudioPull pull = nullptr;
  std::thread nullOutput;
  std::atomic<bool> nullRunning{false};
};
AudioDevice audioDevice;

void nullOutputLoop(int rate, AudioPull pull) {
  using Clock = std::chrono::steady_clock;
  std::vector<int16_t> block(2 * kNullBlockFrames);
  const auto period = std::chrono::microseconds(kNullBlockFrames * 1000000 / static_cast<size_t>(rate));
  auto next = Clock::now();
  while (audioDevice.nullRunning.load(std::memory_order_acquire)) {
    pull(block.data(), kNullBlockFrames);
    next += period;
    // A stall (a loaded machine) is not made up in a burst.
    if (Clock::now() - next > std::chrono::seconds(1)) next = Clock::now();
    std::this_thread::sleep_until(next);
  }
}

void callback(void*, Uint8* stream, int length) {
  audioDevice.pull(reinterpret_cast<int16_t*>(stream), size_t(length) / 4);
}

}  // namespace

bool openAudioDevice(int rate, AudioPull pull, std::string& error) {
  if (audioDevice.id) return true;
  if (!SDL_WasInit(SDL_INIT_AUDIO) && SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    error = SDL_GetError();
    return false;
  }
  SDL_AudioSpec want{}, have{};
  want.freq = rate;
  want.format = AUDIO_S16LSB;
  want.channels = 2;
  want.samples = 1024;
  want.callback = callback;
  audioDevice.pull = pull;
  audioDevice.id = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (!audioDevice.id) {
    error = SDL_GetError();
    return false;
  }
  SDL_PauseAudioDevice(audioDevice.id, 0);
  return true;
}

void openNullAudioOutput(int rate, AudioPull pull) {
  if (audioDevice.id || audioDevice.nullOutput.joinable() || rate <= 0 || !pull) return;
  audioDevice.nullRunning = true;
  audioDevice.nullOutput = std::thread(nullOutputLoop, rate, pull);
}

void closeAudioDevice() {
  if (audioDevice.nullOutput.joinable()) {
    audioDevice.nullRunning = false;
    audioDevice.nullOutput.join();
  }
  if (!audioDevice.id) return;
  SDL_CloseAudioDevice(audioDevice.id);
  audioDevice.id = 0;
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

}  // namespace velmora::platform
