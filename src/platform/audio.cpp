#include "platform/audio.h"

#include <SDL.h>
#ifdef __EMSCRIPTEN__
#include <emscripten.h>
#endif

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "platform/internal_steps.h"
#include "platform/threads.h"

namespace velmora::platform {
namespace {

// A device's usual period: short enough that a sound's end is heard late by
// no more than a frame or three.
constexpr size_t kNullBlockFrames = 2048;

// The device's period: a click's sound is heard within a frame or two. A
// page runs the device's callback on its main thread, between the script
// loop's turns: there fewer, longer periods cost a waiting page less.
#ifdef __EMSCRIPTEN__
constexpr int kDeviceFrames = 2048;
#else
constexpr int kDeviceFrames = 1024;
#endif

using Clock = std::chrono::steady_clock;

// The silent output's pace: the next block is due at `next`.
struct NullOutput {
  AudioPull pull = nullptr;
  Clock::duration period{};
  Clock::time_point next{};
  std::vector<int16_t> block;
};

struct AudioDevice {
  SDL_AudioDeviceID id = 0;
  AudioPull pull = nullptr;
  std::thread nullOutput;
  std::atomic<bool> nullRunning{false};
  NullOutput stepped;  // single-thread mode
};
AudioDevice audioDevice;

NullOutput nullOutputAt(int rate, AudioPull pull) {
  return {pull, std::chrono::microseconds(kNullBlockFrames * 1000000 / static_cast<size_t>(rate)), Clock::now(),
          std::vector<int16_t>(2 * kNullBlockFrames)};
}

// Pulls every block that is due; a stall (a loaded machine) is not made up
// in a burst.
void pullDueBlocks(NullOutput& o) {
  if (Clock::now() - o.next > std::chrono::seconds(1)) o.next = Clock::now();
  for (; o.next <= Clock::now(); o.next += o.period) o.pull(o.block.data(), kNullBlockFrames);
}

void nullOutputLoop(NullOutput o) {
  while (audioDevice.nullRunning.load(std::memory_order_acquire)) {
    pullDueBlocks(o);
    std::this_thread::sleep_until(o.next);
  }
}

void callback(void*, Uint8* stream, int length) {
  audioDevice.pull(reinterpret_cast<int16_t*>(stream), size_t(length) / 4);
}

// SDL would make the page's audio context with the browser's defaults: the
// shortest latency (the most wake-ups) and the output's own rate, which SDL
// then resamples to on the page's main thread. A context at the mixer's rate,
// made for playback, does neither. The page starts it on the player's first
// click or key, unless the player turned sound off there.
void preparePageAudio(int rate) {
#ifdef __EMSCRIPTEN__
  MAIN_THREAD_EM_ASM(
      {
        const sdl = Module.SDL2 = Module.SDL2 || {};
        if (sdl.audioContext || typeof AudioContext === "undefined") return;
        try {
          sdl.audioContext = new AudioContext({latencyHint: "playback", sampleRate: $0});
        } catch (e) {
          return;  // a rate the browser refuses: SDL makes its own context
        }
      },
      rate);
#else
  (void)rate;
#endif
}

}  // namespace

bool openAudioDevice(int rate, AudioPull pull, std::string& error) {
  if (audioDevice.id) return true;
  if (!SDL_WasInit(SDL_INIT_AUDIO) && SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    error = SDL_GetError();
    return false;
  }
  preparePageAudio(rate);
  SDL_AudioSpec want{}, have{};
  want.freq = rate;
  want.format = AUDIO_S16LSB;
  want.channels = 2;
  want.samples = kDeviceFrames;
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
  if (audioDevice.id || audioDevice.nullRunning.load() || rate <= 0 || !pull) return;
  audioDevice.nullRunning = true;
  if (singleThread()) audioDevice.stepped = nullOutputAt(rate, pull);
  else audioDevice.nullOutput = startThread(nullOutputLoop, nullOutputAt(rate, pull));
}

uint32_t stepNullAudioOutput() {
  NullOutput& o = audioDevice.stepped;
  if (!audioDevice.nullRunning.load(std::memory_order_acquire) || !o.pull) return kNoStepDue;
  pullDueBlocks(o);
  return uint32_t(std::chrono::duration_cast<std::chrono::milliseconds>(o.next - Clock::now()).count()) + 1;
}

void closeAudioDevice() {
  audioDevice.nullRunning = false;
  if (audioDevice.nullOutput.joinable()) audioDevice.nullOutput.join();
  audioDevice.stepped = {};
  if (!audioDevice.id) return;
  SDL_CloseAudioDevice(audioDevice.id);
  audioDevice.id = 0;
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

}  // namespace velmora::platform
