// The sound device, the recording of what it played, and release.
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "audio/internal.h"
#include "audio/messages.h"
#include "base/report.h"
#include "base/settings.h"
#include "base/textconv.h"
#include "platform/audio.h"
#include "platform/platform.h"
#include "platform/threads.h"
#include "platform/vclock.h"
#include "audio/audio_settings.h"

namespace velmora::audio {
namespace {

// The device thread appends here; the script thread writes it out, so the
// callback never touches the file.
struct Recorder {
  std::string path;
  std::FILE* file = nullptr;
  std::atomic<bool> recording{false};
  uint32_t dataBytes = 0;
  std::mutex lock;
  std::vector<int16_t> pending;
  // On the virtual clock no device runs: the recording follows the game's
  // time, mixed on the script thread for every millisecond the clock moved.
  bool gameClock = false, mixing = false;
  uint32_t startMs = 0, mixTimeMs = 0;
  uint64_t frames = 0;
};
// The workers' period: their threads refill the rings every 10 ms of real
// time, the game-clock recording every 10 ms of mixed sound.
constexpr uint64_t kWorkerTickFrames = kDeviceRate / 100;
Recorder recorder;
SoundState soundState;

void putLe32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}

void writeWaveHeader(std::FILE* f, uint32_t dataBytes) {
  uint8_t h[44] = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 16, 0, 0, 0, 1, 0, 2, 0};
  putLe32(h + 4, 36 + dataBytes);
  putLe32(h + 24, kDeviceRate);
  putLe32(h + 28, kDeviceRate * 4);
  h[32] = 4, h[34] = 16;
  std::memcpy(h + 36, "data", 4);
  putLe32(h + 40, dataBytes);
  std::fseek(f, 0, SEEK_SET);
  std::fwrite(h, 1, sizeof h, f);
  std::fseek(f, 0, SEEK_END);
}

void devicePull(int16_t* out, size_t frames) {
  mix(out, frames);
  if (!recorder.recording.load(std::memory_order_acquire)) return;
  std::lock_guard g(recorder.lock);
  recorder.pending.insert(recorder.pending.end(), out, out + 2 * frames);
}

void flushRecording() {
  if (!recorder.file) return;
  std::vector<int16_t> block;
  {
    std::lock_guard g(recorder.lock);
    block.swap(recorder.pending);
  }
  if (block.empty()) return;
  // Samples are written little-endian whatever the host order.
  std::vector<uint8_t> bytes(block.size() * 2);
  for (size_t i = 0; i < block.size(); ++i) bytes[2 * i] = uint8_t(block[i]), bytes[2 * i + 1] = uint8_t(uint16_t(block[i]) >> 8);
  std::fwrite(bytes.data(), 1, bytes.size(), recorder.file);
  recorder.dataBytes += uint32_t(bytes.size());
}

void startGameClockRecording() {
  soundState.manual = true;  // the workers are stepped here, in step with the mixing
  recorder.gameClock = true;
  recorder.startMs = recorder.mixTimeMs = platform::nowMs();
  recorder.frames = 0;
}

}  // namespace

SoundState& state() { return soundState; }

uint32_t soundClockMs() { return recorder.mixing ? recorder.mixTimeMs : platform::nowMs(); }

void keepRecordingUp() {
  if (!recorder.gameClock || recorder.mixing) return;
  recorder.mixing = true;
  const uint64_t target = uint64_t(platform::nowMs() - recorder.startMs) * kDeviceRate / 1000;
  std::vector<int16_t> block;
  stepWorkers();  // what started since the last call starts here
  while (recorder.frames < target) {
    const size_t n = size_t(std::min(target - recorder.frames, kWorkerTickFrames - recorder.frames % kWorkerTickFrames));
    block.resize(2 * n);
    devicePull(block.data(), n);
    recorder.frames += n;
    if (recorder.frames % kWorkerTickFrames == 0) {
      recorder.mixTimeMs = recorder.startMs + uint32_t(recorder.frames * 1000 / kDeviceRate);
      stepWorkers();
    }
  }
  recorder.mixTimeMs = platform::nowMs();
  recorder.mixing = false;
  flushRecording();
}

uint32_t stepWorkersWithoutThreads() {
  // A game-clock recording steps them itself, in step with its mixing.
  if (recorder.gameClock) return platform::kNoStepDue;
  stepWorkers();
  return nextWorkerStepMs();
}

void report(const std::string& message) {
  if (soundState.reportHook) return soundState.reportHook(message);
  reportError(message);
}

void setReportHook(ReportHook hook) { soundState.reportHook = hook; }
void setManualWorkers(bool on) { soundState.manual = on; }
void setJumpMode(bool on) { soundState.jump = on; }
void setAudioOutput(std::string path) { recorder.path = std::move(path); }

void refreshDuckSettings() {
  const DuckLevels levels = duckLevels();
  DuckSettings& d = soundState.duck;
  d.bgmVolDown = levels.musicOn, d.bgmMax = levels.musicMax, d.bgmMin = levels.musicMin;
  d.seVolDown = levels.effectsOn, d.seMax = levels.effectsMax, d.seMin = levels.effectsMin;
  d.fadeVolDown = levels.fadeMs;
}

void createChannels() {
  for (int n = 0; n < kChannelCount; ++n) {
    SoundChannel& ch = channel(n);
    std::lock_guard lk(ch.m);
    ch.number = n;
    ch.name.clear();
  }
  soundState.created = true;
  refreshDuckSettings();
  recomputeGains();
}

void createSoundDevice() {
  createChannels();
  if (soundState.manual) return;
  if (!recorder.path.empty() && !recorder.file) {
    recorder.file = std::fopen(hostPath(recorder.path).c_str(), "wb");
    if (!recorder.file) report(recorder.path + " " + std::strerror(errno));
    else writeWaveHeader(recorder.file, 0), recorder.dataBytes = 0, recorder.recording = true;
  }
  if (recorder.recording && platform::virtualClock()) return startGameClockRecording();
  std::string error;
  if (!platform::openAudioDevice(kDeviceRate, devicePull, error)) {
    // The host's own reason goes to the log beside the report; the game goes
    // on silently with its volumes and channels as they would be.
    logInformation(messageText(Message::NoSoundDevice) + error);
    report("DirectSoundCreate8 DSERR_NODRIVER");
    platform::openNullAudioOutput(kDeviceRate, devicePull);
  }
}

void releaseSound() {
  keepRecordingUp();
  for (int n = 0; n < kChannelCount; ++n) closeChannel(n);
  soundState.pending.clear();
  soundState.created = false;
  platform::closeAudioDevice();
  recorder.recording = false;
  if (recorder.gameClock) soundState.manual = recorder.gameClock = false;
  if (recorder.file) {
    flushRecording();
    writeWaveHeader(recorder.file, recorder.dataBytes);
    std::fclose(recorder.file);
    recorder.file = nullptr;
  }
  std::lock_guard g(soundState.cacheLock);
  soundState.cache.clear();
}

void frameFlush() {
  keepRecordingUp();
  flushRecording();
}

}  // namespace velmora::audio
