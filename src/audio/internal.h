#pragma once
// The sound channels' shared state. Each channel has one mutex for the fields
// the script thread and its worker both touch (m), and the ring buffer has a
// second, short-held one (Voice::lock) that the mixer callback takes: the
// worker decodes into scratch under m and copies into the ring under lock, so
// the callback never waits for a decoder.
#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "audio/audio.h"
#include "audio/mixer.h"
#include "audio/stream.h"

namespace velmora::audio {

enum FadeKind { kFadeVolume, kFadeVolume2, kFadePan, kFadeCount };

struct Fade {
  int32_t duration = 0;  // ms; 0 = no fade
  double target = 0, start = 0, current = 0;
  uint32_t startTime = 0;
  bool stopWhenDone = false;
};

// Where a stretch of one half came from, so the position that was heard can
// be told apart from the reader's, which runs up to two halves ahead: the
// stretch starts at frame `at` of the half, with source frame `source` (-1:
// silence after the data) and the loop counter as it was then.
struct Segment {
  uint32_t at;
  int64_t source;
  int counter;
};

// What the device reads: the ring of two halves and the levels in force.
struct Voice {
  std::mutex lock;
  std::vector<uint8_t> ring;
  uint32_t halfBytes = 0;
  PcmFormat format;
  bool playing = false;
  uint64_t position = 0;  // 32.32 frames
  int32_t volume = kSilence, pan = 0;
  std::array<std::vector<Segment>, 2> segments;
};

struct SoundChannel {
  std::mutex m;
  int number = 0;
  std::string name;
  uint64_t hash = 0;
  std::shared_ptr<const std::string> bytes;
  DataType type = kTypeWave;
  std::unique_ptr<Stream> stream;
  int64_t loopA = 0, loopB = 0, loopC = 0;
  int loopCounter = 0;
  ChannelState state = kStopped;
  int endCountdown = 0;
  int64_t held = 0;
  int volume = 100, volume2 = 100, categoryVolume = 100, categorySwitch = 1, gain = 100;
  std::array<Fade, kFadeCount> fades{};
  int pan = 0;
  bool hasBuffer = false;
  bool lastFilledFirst = true;
  bool primed = false;  // play filled the first half already
  Voice voice;
  std::vector<uint8_t> scratch;
  std::vector<Segment> scratchSegments;
  // Worker: the run flag it polls and the flag it raises when it has ended.
  std::thread thread;
  std::atomic<bool> run{false}, finished{true};
  // Wakes a sleeping worker at once when its run flag is cleared or a fade
  // starts (stepNow, guarded by sleepLock).
  std::mutex sleepLock;
  std::condition_variable wake;
  bool stepNow = false;
  bool started = false;  // the worker's first step (fill, start the buffer) is done
  bool manualWorker = false;
};

constexpr int kChannelCount = 25;

struct PendingCommand {
  std::string name;  // empty: a delayed stop
  uint32_t due = 0;
  int fade = 0, volume = 100, pan = 0, count = 1, start = 0;
};

struct PreloadEntry {
  std::shared_ptr<const std::string> bytes;
  DataType type = kTypeWave;
};

// The settings the workers read, copied by the script thread whenever they may
// have changed, so a worker never reads the settings table itself.
struct DuckSettings {
  std::atomic<int> bgmVolDown{1}, bgmMax{30}, bgmMin{15}, seVolDown{1}, seMax{100}, seMin{50}, fadeVolDown{250};
};

struct SoundState {
  std::array<SoundChannel, kChannelCount> channels;
  std::map<int, PendingCommand> pending;
  std::mutex cacheLock;
  std::map<uint64_t, PreloadEntry> cache;
  std::mutex duckLock;
  bool ducked = false;
  std::atomic<uint32_t> duckTick{0};
  DuckSettings duck;
  bool speechDucked = false;  // script thread only
  bool created = false;
  bool manual = false;  // tests step the workers themselves
  bool jump = false;
  ReportHook reportHook = nullptr;
};
SoundState& state();
inline SoundChannel& channel(int n) { return state().channels[size_t(n)]; }
inline bool validChannel(int n) { return n >= 0 && n < kChannelCount; }

// Reports on the script thread (reportError) or through the test hook.
void report(const std::string& message);

// Channel operations; the caller holds no channel lock.
void openChannel(int n, const std::string& name, uint32_t offset = 0, uint32_t size = 0);
void playChannel(int n, int count, int fade, int start);
void stopChannel(int n, int fade);
void pauseChannel(int n, bool pause);
void closeChannel(int n);
// Volumes are bounded to 0-100 and pans to -100-100 on the way in.
void setChannelLevel(int n, FadeKind kind, int value, int fade);
int boundedLevel(FadeKind kind, int value);
void seekChannel(int n, int64_t value, bool milliseconds);
// The source frame the listener is hearing (the reader's position before the
// first fill); counter receives the loop counter that goes with it. Caller
// holds ch.m and ch.stream is set.
int64_t heardFrame(SoundChannel& ch, int* counter = nullptr);
void refreshDuckSettings();
void recomputeGains();
// The worker's ducking check, made once per 10 ms tick by whichever worker
// gets there first.
void duckingTick();
// sd_create: the channels, then the device (none in manual mode).
void createSoundDevice();
// Writes what the device played since the last frame to the recording.
void frameFlush();
// A recording on the virtual clock: mixes up to the game's time now. Called
// before anything changes what the channels sound like, so that a change
// takes effect at the sample of its moment.
void keepRecordingUp();
// The time fades run on: the moment being mixed while a game-clock recording
// catches up, the clock otherwise.
uint32_t soundClockMs();
// Category volume and switch of channels first..last, with the gains.
void setCategory(int first, int last, int volume, int on);
// One worker step; returns false when the worker has ended.
bool workerStep(SoundChannel& ch);
// Stepped workers: how long until one of them is due again, in ms (none:
// platform::kNoStepDue).
uint32_t nextWorkerStepMs();

}  // namespace velmora::audio
