// The sound device, the recording of what it played, and release.
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "audio/internal.h"
#include "audio/messages.h"
#include "core/report.h"
#include "core/settings.h"
#include "core/textconv.h"
#include "platform/audio.h"
#include "platform/platform.h"
#include "platform/vclock.h"

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
Recorder R;
SoundState S;

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
  if (!R.recording.load(std::memory_order_acquire)) return;
  std::lock_guard g(R.lock);
  R.pending.insert(R.pending.end(), out, out + 2 * frames);
}

void flushRecording() {
  if (!R.file) return;
  std::vector<int16_t> block;
  {
    std::lock_guard g(R.lock);
    block.swap(R.pending);
  }
  if (block.empty()) return;
  // Samples are written little-endian whatever the host order.
  std::vector<uint8_t> bytes(block.size() * 2);
  for (size_t i = 0; i < block.size(); ++i) bytes[2 * i] = uint8_t(block[i]), bytes[2 * i + 1] = uint8_t(uint16_t(block[i]) >> 8);
  std::fwrite(bytes.data(), 1, bytes.size(), R.file);
  R.dataBytes += uint32_t(bytes.size());
}

void startGameClockRecording() {
  S.manual = true;  // the workers are stepped here, in step with the mixing
  R.gameClock = true;
  R.startMs = R.mixTimeMs = platform::nowMs();
  R.frames = 0;
}

}  // namespace

SoundState& state() { return S; }

uint32_t soundClockMs() { return R.mixing ? R.mixTimeMs : platform::nowMs(); }

void keepRecordingUp() {
  if (!R.gameClock || R.mixing) return;
  R.mixing = true;
  const uint64_t target = uint64_t(platform::nowMs() - R.startMs) * kDeviceRate / 1000;
  std::vector<int16_t> block;
  stepWorkers();  // what started since the last call starts here
  while (R.frames < target) {
    const size_t n = size_t(std::min(target - R.frames, kWorkerTickFrames - R.frames % kWorkerTickFrames));
    block.resize(2 * n);
    devicePull(block.data(), n);
    R.frames += n;
    if (R.frames % kWorkerTickFrames == 0) {
      R.mixTimeMs = R.startMs + uint32_t(R.frames * 1000 / kDeviceRate);
      stepWorkers();
    }
  }
  R.mixTimeMs = platform::nowMs();
  R.mixing = false;
  flushRecording();
}

void report(const std::string& message) {
  if (S.reportHook) return S.reportHook(message);
  reportError(message);
}

void setReportHook(ReportHook hook) { S.reportHook = hook; }
void setManualWorkers(bool on) { S.manual = on; }
void setJumpMode(bool on) { S.jump = on; }
void setAudioOutput(std::string path) { R.path = std::move(path); }

void refreshDuckSettings() {
  using K = core::SettingKey;
  DuckSettings& d = S.duck;
  d.bgmVolDown = core::setting(K::BgmVolDown), d.bgmMax = core::setting(K::BgmMax);
  d.bgmMin = core::setting(K::BgmMin), d.seVolDown = core::setting(K::SeVolDown);
  d.seMax = core::setting(K::SeMax), d.seMin = core::setting(K::SeMin);
  d.fadeVolDown = core::setting(K::FadeVolDown);
}

void createChannels() {
  for (int n = 0; n < kChannelCount; ++n) {
    SoundChannel& ch = channel(n);
    std::lock_guard lk(ch.m);
    ch.number = n;
    ch.name.clear();
  }
  S.created = true;
  refreshDuckSettings();
  recomputeGains();
}

void createSoundDevice() {
  createChannels();
  if (S.manual) return;
  if (!R.path.empty() && !R.file) {
    R.file = std::fopen(hostPath(R.path).c_str(), "wb");
    if (!R.file) report(R.path + " " + std::strerror(errno));
    else writeWaveHeader(R.file, 0), R.dataBytes = 0, R.recording = true;
  }
  if (R.recording && platform::virtualClock()) return startGameClockRecording();
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
  S.pending.clear();
  S.created = false;
  platform::closeAudioDevice();
  R.recording = false;
  if (R.gameClock) S.manual = R.gameClock = false;
  if (R.file) {
    flushRecording();
    writeWaveHeader(R.file, R.dataBytes);
    std::fclose(R.file);
    R.file = nullptr;
  }
  std::lock_guard g(S.cacheLock);
  S.cache.clear();
}

void frameFlush() {
  keepRecordingUp();
  flushRecording();
}

}  // namespace velmora::audio
