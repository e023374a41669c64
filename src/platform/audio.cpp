#include "platform/audio.h"

#include <SDL.h>

namespace velmora::platform {
namespace {

struct AudioDevice {
  SDL_AudioDeviceID id = 0;
  AudioPull pull = nullptr;
};
AudioDevice D;

void callback(void*, Uint8* stream, int length) {
  D.pull(reinterpret_cast<int16_t*>(stream), size_t(length) / 4);
}

}  // namespace

bool openAudioDevice(int rate, AudioPull pull, std::string& error) {
  if (D.id) return true;
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
  D.pull = pull;
  D.id = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (!D.id) {
    error = SDL_GetError();
    return false;
  }
  SDL_PauseAudioDevice(D.id, 0);
  return true;
}

void closeAudioDevice() {
  if (!D.id) return;
  SDL_CloseAudioDevice(D.id);
  D.id = 0;
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

bool audioDeviceOpen() { return D.id != 0; }

}  // namespace velmora::platform
