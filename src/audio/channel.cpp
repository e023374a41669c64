// SoundChannel operations and the per-channel worker that refills the ring half by half.
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <new>

#include "audio/internal.h"
#include "audio/messages.h"
#include "base/hash.h"
#include "base/report.h"
#include "base/settings.h"
#include "base/textconv.h"
#include "platform/platform.h"
#include "platform/threads.h"
#include "resource/resource.h"
#include "audio/audio_settings.h"

namespace velmora::audio {
namespace {

using Lock = std::unique_lock<std::mutex>;

// The fades' and the ducking's step; a worker with neither to step wakes
// when its next half is due, or seldom (stopping it or starting a fade
// wakes it at once).
constexpr std::chrono::milliseconds kWorkerPeriod{10}, kIdleWorkerPeriod{500};

void realSleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

uint8_t silenceByte(const SoundChannel& ch) { return ch.voice.format.bits == 8 ? 0x80 : 0x00; }

void silenceVoice(SoundChannel& ch) {
  std::lock_guard g(ch.voice.lock);
  ch.voice.volume = kSilence;
}

double fadeValue(const SoundChannel& ch, FadeKind k, double stored) {
  return ch.fades[k].duration ? ch.fades[k].current : stored;
}

// Caller holds ch.m.
void applyVolume(SoundChannel& ch) {
  int32_t level = volumeLevel(fadeValue(ch, kFadeVolume, ch.volume), fadeValue(ch, kFadeVolume2, ch.volume2), ch.gain);
  std::lock_guard g(ch.voice.lock);
  ch.voice.volume = level;
}
void applyPan(SoundChannel& ch) {
  int32_t level = panLevel(fadeValue(ch, kFadePan, ch.pan));
  std::lock_guard g(ch.voice.lock);
  ch.voice.pan = level;
}

int& levelField(SoundChannel& ch, FadeKind k) { return k == kFadeVolume ? ch.volume : k == kFadeVolume2 ? ch.volume2 : ch.pan; }

void applyLevel(SoundChannel& ch, FadeKind k) { k == kFadePan ? applyPan(ch) : applyVolume(ch); }

void startFade(SoundChannel& ch, FadeKind k, double from, int to, int ms) {
  Fade& f = ch.fades[k];
  f.start = f.current = from;
  f.target = to;
  f.duration = ms;
  f.startTime = soundClockMs();
  {
    std::lock_guard l(ch.sleepLock);
    ch.stepNow = true;
  }
  ch.wake.notify_all();
}

// Returns true when a stop-when-done fade has finished. Caller holds ch.m.
bool advanceFades(SoundChannel& ch, uint32_t now) {
  bool volume = false, pan = false, stop = false;
  for (int k = 0; k < kFadeCount; ++k) {
    Fade& f = ch.fades[size_t(k)];
    if (!f.duration) continue;
    uint32_t elapsed = now - f.startTime;
    if (elapsed >= uint32_t(f.duration)) {
      f.current = f.target;
      f.duration = 0;
      levelField(ch, FadeKind(k)) = int(f.target);
      if (k == kFadeVolume && f.stopWhenDone) stop = true;
      f.stopWhenDone = false;
    } else {
      f.current = f.start + (f.target - f.start) * double(elapsed) / double(f.duration);
    }
    (k == kFadePan ? pan : volume) = true;
  }
  if (volume) applyVolume(ch);
  if (pan) applyPan(ch);
  return stop;
}

// Notes where the next stretch of the half comes from; a stretch that got no
// frames before the next jump is replaced.
void markSegment(SoundChannel& ch, uint32_t filled, int64_t source) {
  auto& segs = ch.scratchSegments;
  uint32_t at = filled / uint32_t(ch.voice.format.blockAlign);
  if (!segs.empty() && segs.back().at == at) segs.pop_back();
  segs.push_back({at, source, ch.loopCounter});
}

// Caller holds ch.m. Reads stop at loop end C, so the frame after C is B's
// and the loop is seamless whatever the half size.
void readIntoScratch(SoundChannel& ch) {
  const uint32_t hb = ch.voice.halfBytes;
  const int ba = ch.voice.format.blockAlign;
  uint32_t filled = 0;
  int emptyReads = 0;
  markSegment(ch, 0, ch.stream->tellFrame());
  while (filled < hb) {
    long want = long(hb - filled);
    int64_t now = ch.stream->tellFrame();
    if (ch.loopCounter != 0 && now < ch.loopC) want = long(std::min<int64_t>(want, (ch.loopC - now) * ba));
    long n = ch.stream->read(ch.scratch.data() + filled, want);
    if (n < 0) {
      ch.state = kStopped;
      markSegment(ch, filled, -1);
      return;
    }
    if (n == 0) {
      // A loop start at or past the end would read nothing for ever.
      if (ch.loopCounter == 0 || ++emptyReads > 1) {
        ch.endCountdown = 2;
        markSegment(ch, filled, -1);
        return;
      }
      if (ch.loopCounter > 0) --ch.loopCounter;
      ch.stream->seekFrame(ch.loopA);
      markSegment(ch, filled, ch.stream->tellFrame());
      continue;
    }
    emptyReads = 0;
    filled += uint32_t(n);
    if (ch.loopCounter != 0 && ch.stream->tellFrame() >= ch.loopC) {
      if (ch.loopCounter > 0) --ch.loopCounter;
      ch.stream->seekFrame(ch.loopB);
      markSegment(ch, filled, ch.stream->tellFrame());
    }
  }
}

// Caller holds ch.m. Decodes into scratch, then copies into the ring under
// the voice lock so the device never waits for the decoder.
void fillHalf(SoundChannel& ch, int half) {
  const uint32_t hb = ch.voice.halfBytes;
  ch.scratch.assign(hb, silenceByte(ch));
  ch.scratchSegments.clear();
  if (ch.state != kPlaying || ch.endCountdown > 0) {
    ch.scratchSegments.push_back({0, -1, ch.loopCounter});
    if (ch.endCountdown > 0 && --ch.endCountdown == 0) {
      ch.state = kStopped;
      ch.name.clear();
    }
  } else {
    readIntoScratch(ch);
  }
  std::lock_guard g(ch.voice.lock);
  std::memcpy(ch.voice.ring.data() + size_t(half) * hb, ch.scratch.data(), hb);
  ch.voice.segments[size_t(half)].swap(ch.scratchSegments);
}

// The worker's first step: the first half filled, the device reading.
// Caller holds ch.m.
void startVoice(SoundChannel& ch) {
  if (!ch.primed) fillHalf(ch, 0);
  ch.primed = false;
  ch.lastFilledFirst = true;
  ch.started = true;
  std::lock_guard g(ch.voice.lock);
  ch.voice.playing = true;
}

void finishWorker(SoundChannel& ch) {
  std::lock_guard lk(ch.m);
  {
    std::lock_guard g(ch.voice.lock);
    ch.voice.playing = false;
  }
  ch.state = kStopped;
  ch.started = false;
}

// The time until the device reads into the half the worker filled last,
// when the other half is due again; a decoder woken every few milliseconds
// to find nothing to do keeps an idle game's music from being idle.
// Caller holds ch.m.
std::chrono::milliseconds refillDue(SoundChannel& ch) {
  std::lock_guard g(ch.voice.lock);
  const Voice& v = ch.voice;
  if (v.format.blockAlign <= 0 || v.format.rate <= 0) return kWorkerPeriod;
  const auto ringFrames = uint32_t(v.ring.size() / size_t(v.format.blockAlign));
  const uint32_t half = ringFrames / 2, frame = uint32_t(v.position >> 32);
  const bool inFirst = frame < half;
  if (half == 0 || inFirst == ch.lastFilledFirst) return kWorkerPeriod;
  const uint32_t left = (inFirst ? half : ringFrames) - std::min(frame, ringFrames);
  const auto ms = std::chrono::milliseconds(int64_t(left) * 1000 / v.format.rate + 1);
  return std::clamp(ms, kWorkerPeriod, kIdleWorkerPeriod);
}

// A channel that stopped or paused by itself starts no fade and plays
// again only through a new worker; with no fade left and no ducking to let
// go of, its worker has nothing to step until it is woken to end.
std::chrono::milliseconds workerPeriod(SoundChannel& ch) {
  bool playing;
  {
    std::lock_guard lk(ch.m);
    for (const Fade& f : ch.fades)
      if (f.duration) return kWorkerPeriod;
    playing = ch.state == kPlaying;
  }
  {
    std::lock_guard g(state().duckLock);
    if (state().ducked) return kWorkerPeriod;
  }
  std::lock_guard lk(ch.m);
  return playing && ch.state == kPlaying ? refillDue(ch) : kIdleWorkerPeriod;
}

void workerMain(SoundChannel* ch) {
  for (bool first = true;; first = false) {
    if (!first) {
      const std::chrono::milliseconds period = workerPeriod(*ch);
      std::unique_lock l(ch->sleepLock);
      ch->wake.wait_for(l, period, [ch] { return !ch->run || ch->stepNow; });
      ch->stepNow = false;
    }
    duckingTick();
    if (!workerStep(*ch)) break;
  }
  finishWorker(*ch);
  ch->finished.store(true);
}

// Caller holds ch.m.
void startWorker(SoundChannel& ch) {
  ch.run = true;
  ch.finished = false;
  ch.started = false;
  // Stepped by the tests, the game-clock recording or the single-thread mode,
  // which starts the sound at once as a thread would.
  if (state().manual || platform::singleThread()) {
    ch.manualWorker = true;
    if (!state().manual) startVoice(ch);
    return;
  }
  try {
    ch.thread = platform::startThread(workerMain, &ch);
  } catch (const std::exception&) {
    ch.run = false;
    ch.finished = true;
    ch.state = kStopped;
    report(ch.name + messageText(Message::ThreadNotCreated));
  }
}

// Caller holds ch.m through lk; it is released while waiting.
void stopThread(SoundChannel& ch, Lock& lk) {
  if (ch.finished) {
    if (ch.thread.joinable()) ch.thread.join();
    ch.manualWorker = false;
    return;
  }
  ch.run = false;
  ch.state = kPaused;
  if (ch.manualWorker) {
    ch.manualWorker = false;
    ch.finished = true;
    std::lock_guard g(ch.voice.lock);
    ch.voice.playing = false;
    ch.state = kStopped;
    ch.started = false;
    return;
  }
  lk.unlock();
  {
    std::lock_guard l(ch.sleepLock);  // so the wake cannot fall between its check and its wait
  }
  ch.wake.notify_all();
  for (int waited = 0; waited < 1000 && !ch.finished; ++waited) realSleepMs(1);
  bool ended = ch.finished;
  if (ended) ch.thread.join();
  else ch.thread.detach();  // it ends by itself once its decoder returns
  lk.lock();
  if (!ended) report(messageText(Message::ThreadDidNotEnd));
}

void rewindVoice(SoundChannel& ch) {
  std::lock_guard g(ch.voice.lock);
  ch.voice.playing = false;
  ch.voice.position = 0;
  for (auto& segs : ch.voice.segments) segs.clear();
}

// quiet: the look-ahead's guesses may name files that do not exist.
bool loadBytes(const std::string& name, uint32_t offset, uint32_t size, std::string& out, bool quiet = false) {
  if (resource::archivesPresent() && resource::findArchiveEntry(crc64_hash(name))) {
    if (!resource::loadFileS(name.c_str(), out)) return false;
  } else {
    std::FILE* f = std::fopen(hostPath(name).c_str(), "rb");
    if (!f) {
      if (!quiet) report(name + " " + std::strerror(errno));
      return false;
    }
    out.clear();
    char block[65536];
    for (size_t n; (n = std::fread(block, 1, sizeof block, f)) > 0;) out.append(block, n);
    std::fclose(f);
  }
  if (size) {
    size_t from = std::min<size_t>(offset, out.size());
    out = out.substr(from, std::min<size_t>(size, out.size() - from));
  }
  return true;
}

// The file's bytes: from the preload cache when the look-ahead brought them.
std::shared_ptr<const std::string> channelBytes(SoundChannel& ch, uint32_t offset, uint32_t size, DataType& type) {
  {
    std::lock_guard g(state().cacheLock);
    auto it = state().cache.find(ch.hash);
    if (it != state().cache.end() && !size) {
      type = it->second.type;
      return it->second.bytes;
    }
  }
  try {
    auto bytes = std::make_shared<std::string>();
    if (!loadBytes(ch.name, offset, size, *bytes)) return nullptr;
    type = detectType(*bytes);
    return bytes;
  } catch (const std::bad_alloc&) {
    report(ch.name + messageText(Message::NoMemory));
    return nullptr;
  }
}

void clearChannel(SoundChannel& ch) {
  ch.stream.reset();
  if (ch.bytes) {
    std::lock_guard g(state().cacheLock);
    state().cache.erase(ch.hash);
  }
  ch.bytes.reset();
  ch.hasBuffer = false;
  ch.name.clear();
  std::lock_guard g(ch.voice.lock);
  ch.voice.playing = false;
  ch.voice.ring.clear();
  ch.voice.ring.shrink_to_fit();
}

}  // namespace

bool workerStep(SoundChannel& ch) {
  std::lock_guard lk(ch.m);
  if (!ch.run) return false;
  if (!ch.started) {
    startVoice(ch);
    return true;
  }
  if (advanceFades(ch, soundClockMs())) return false;
  if (ch.state != kPlaying) return true;
  uint64_t frame;
  uint32_t ringFrames;
  {
    std::lock_guard g(ch.voice.lock);
    frame = ch.voice.position >> 32;
    ringFrames = uint32_t(ch.voice.ring.size() / size_t(ch.voice.format.blockAlign));
  }
  bool inFirst = frame < ringFrames / 2;
  if (inFirst && ch.lastFilledFirst) fillHalf(ch, 1), ch.lastFilledFirst = false;
  else if (!inFirst && !ch.lastFilledFirst) fillHalf(ch, 0), ch.lastFilledFirst = true;
  return true;
}

int64_t heardFrame(SoundChannel& ch, int* counter) {
  int64_t source;
  {
    std::lock_guard g(ch.voice.lock);
    const Voice& v = ch.voice;
    const uint32_t halfFrames = v.halfBytes / uint32_t(v.format.blockAlign);
    const uint32_t frame = uint32_t(v.position >> 32);
    const Segment* hit = nullptr;
    if (halfFrames) {
      for (const Segment& s : v.segments[frame >= halfFrames]) {
        if (s.at > frame % halfFrames) break;
        hit = &s;
      }
    }
    if (!hit) return ch.stream->tellFrame();
    if (counter) *counter = hit->counter;
    source = hit->source < 0 ? -1 : hit->source + (frame % halfFrames - hit->at);
  }
  return source < 0 ? ch.stream->totalFrames() : source;
}

void stepWorkers() {
  duckingTick();
  for (SoundChannel& ch : state().channels) {
    if (!ch.manualWorker || ch.finished) continue;
    if (!workerStep(ch)) {
      finishWorker(ch);
      ch.finished = true;
      ch.manualWorker = false;
    }
  }
}

uint32_t nextWorkerStepMs() {
  uint32_t due = platform::kNoStepDue;
  for (SoundChannel& ch : state().channels)
    if (ch.manualWorker && !ch.finished) due = std::min(due, uint32_t(workerPeriod(ch).count()));
  return due;
}

void closeChannel(int n) {
  keepRecordingUp();
  SoundChannel& ch = channel(n);
  Lock lk(ch.m);
  ch.held = 0;
  ch.fades = {};
  ch.state = kStopped;
  stopThread(ch, lk);
  ch.state = kStopped;
  ch.endCountdown = 0;
  clearChannel(ch);
}

void openChannel(int n, const std::string& name, uint32_t offset, uint32_t size) {
  keepRecordingUp();
  closeChannel(n);
  SoundChannel& ch = channel(n);
  Lock lk(ch.m);
  ch.name = name.substr(0, 255);
  ch.hash = crc64_hash(ch.name);
  DataType type = kTypeUnknown;
  ch.bytes = channelBytes(ch, offset, size, type);
  if (!ch.bytes) return clearChannel(ch);
  std::string error;
  ch.stream = openStream(ch.bytes, type, ch.name, error);
  if (!error.empty()) report(error);
  if (!ch.stream) return clearChannel(ch);
  ch.type = type;
  ch.loopA = ch.stream->loopA, ch.loopB = ch.stream->loopB, ch.loopC = ch.stream->loopC;
  ch.volume = 100;
  ch.held = 0;
  ch.pan = 0;
  const PcmFormat& f = ch.stream->format;
  int32_t kb = std::clamp(streamBufferKilobytes(), 1, 4096);
  uint32_t half = uint32_t(kb) * 1024 / uint32_t(f.blockAlign) * uint32_t(f.blockAlign);
  // Without threads the ring is refilled between the main thread's own work:
  // halves of a second ride out a slow frame or a large picture's load.
  if (platform::singleThread()) half = std::max(half, uint32_t(f.rate) * uint32_t(f.blockAlign));
  try {
    std::lock_guard g(ch.voice.lock);
    ch.voice.format = f;
    ch.voice.halfBytes = half;
    ch.voice.ring.assign(size_t(half) * 2, f.bits == 8 ? 0x80 : 0);
    ch.voice.position = 0;
    ch.voice.playing = false;
  } catch (const std::bad_alloc&) {
    report(ch.name + messageText(Message::NoMemory));
    return clearChannel(ch);
  }
  ch.hasBuffer = true;
  applyVolume(ch);
  applyPan(ch);
}

void playChannel(int n, int count, int fade, int start) {
  keepRecordingUp();
  SoundChannel& ch = channel(n);
  Lock lk(ch.m);
  if (!ch.stream) return;
  // A worker already running is restarted, so the ring starts from its first half.
  stopThread(ch, lk);
  rewindVoice(ch);
  ch.endCountdown = 0;
  ch.loopCounter = count - 1;
  if (fade >= 2) {
    int target = ch.volume;
    ch.volume = 0;
    startFade(ch, kFadeVolume, 0, target, fade);
    silenceVoice(ch);
  } else {
    ch.fades[kFadeVolume] = {};
    applyVolume(ch);
  }
  if (ch.held) {
    ch.stream->seekFrame(ch.held);
    ch.held = 0;
    ch.state = kPlaying;
  } else if (start != 0 || ch.loopA != 0) {
    ch.stream->seekFrame(start != 0 ? start : ch.loopA);
    ch.state = kPlaying;
    fillHalf(ch, 0);
    ch.primed = true;
  } else {
    ch.state = kPlaying;
  }
  startWorker(ch);
}

void stopChannel(int n, int fade) {
  keepRecordingUp();
  SoundChannel& ch = channel(n);
  {
    Lock lk(ch.m);
    if (!ch.hasBuffer) {
      ch.name.clear();
      return;
    }
    // Without a running worker nobody would advance the fade.
    if (fade >= 2 && ch.state == kPlaying && !ch.finished) {
      startFade(ch, kFadeVolume, fadeValue(ch, kFadeVolume, ch.volume), 0, fade);
      ch.fades[kFadeVolume].stopWhenDone = true;
      return;
    }
    silenceVoice(ch);
  }
  closeChannel(n);
}

void pauseChannel(int n, bool pause) {
  keepRecordingUp();
  SoundChannel& ch = channel(n);
  Lock lk(ch.m);
  if (!ch.stream) return;
  if (pause) {
    if (ch.held) return;
    // Resuming starts where the listener stopped hearing, with the loop
    // counter of that moment: the reader has run ahead of both.
    ch.held = std::max<int64_t>(heardFrame(ch, &ch.loopCounter), 1);
    ch.state = kPaused;
    std::lock_guard g(ch.voice.lock);
    ch.voice.playing = false;
    return;
  }
  if (!ch.held) return;
  stopThread(ch, lk);
  rewindVoice(ch);
  ch.stream->seekFrame(ch.held);
  ch.held = 0;
  ch.endCountdown = 0;
  ch.state = kPlaying;
  startWorker(ch);
}

void seekChannel(int n, int64_t value, bool milliseconds) {
  keepRecordingUp();
  SoundChannel& ch = channel(n);
  Lock lk(ch.m);
  if (!ch.stream) return;
  if (ch.state != kPlaying) {
    int64_t frame = milliseconds ? value * ch.stream->format.rate / 1000 : value;
    ch.held = std::max<int64_t>(frame, 1);
    return;
  }
  stopThread(ch, lk);
  rewindVoice(ch);
  value = std::max<int64_t>(value, 0);
  milliseconds ? ch.stream->seekMs(value) : ch.stream->seekFrame(value);
  ch.endCountdown = 0;
  ch.state = kPlaying;
  startWorker(ch);
}

int boundedLevel(FadeKind k, int value) { return std::clamp(value, k == kFadePan ? -100 : 0, 100); }

void setChannelLevel(int n, FadeKind k, int value, int fade) {
  keepRecordingUp();
  value = boundedLevel(k, value);
  SoundChannel& ch = channel(n);
  std::lock_guard lk(ch.m);
  int& field = levelField(ch, k);
  Fade& f = ch.fades[k];
  if (!ch.hasBuffer || (value == field && !f.duration)) {
    if (k == kFadeVolume2) field = value;
    return;
  }
  if (fade < 2 || ch.state != kPlaying) {
    field = value;
    f = {};
    applyLevel(ch, k);
    return;
  }
  startFade(ch, k, fadeValue(ch, k, field), value, fade);
}

namespace {
void setRangeLevel(ChannelRange range, int value, int fade) {
  for (int n = range.first; n <= range.last; ++n) setChannelLevel(n, kFadeVolume2, value, fade);
}
}  // namespace

void duckingTick() {
  SoundState& s = state();
  if (!s.manual) {
    // Claim this 10 ms tick; the other workers skip it.
    auto real = std::chrono::steady_clock::now().time_since_epoch();
    uint32_t tick = uint32_t(std::chrono::duration_cast<std::chrono::milliseconds>(real).count() / 10);
    uint32_t last = s.duckTick.load();
    if (last == tick || !s.duckTick.compare_exchange_strong(last, tick)) return;
  }
  bool voice;
  {
    SoundChannel& v = channel(kVoiceChannels.first);
    std::lock_guard g(v.m);
    voice = v.hasBuffer && v.state == kPlaying;
  }
  std::lock_guard g(s.duckLock);
  const DuckSettings& d = s.duck;
  if (!s.ducked && voice) {
    s.ducked = true;
    if (d.bgmVolDown) setRangeLevel(kMusicChannels, d.bgmMin, d.fadeVolDown);
    if (d.seVolDown) setRangeLevel(kEffectChannels, d.seMin, d.fadeVolDown);
  } else if (s.ducked && !voice) {
    s.ducked = false;
    setRangeLevel(kMusicChannels, d.bgmMax, d.fadeVolDown);
    setRangeLevel(kEffectChannels, d.seMax, d.fadeVolDown);
  }
}

namespace {

// Each factor is bounded again here: settings are writable from anywhere,
// and the product of four unbounded ints overflows.
int volumeFactor(int v) { return std::clamp(v, 0, 100); }
int switchFactor(int v) { return v != 0; }

// How loud the voices stay under self-voicing's speech, in percent.
constexpr int kSpeechDuckPercent = 30;

bool voiceChannel(int n) { return n >= kVoiceChannels.first && n <= kVoiceChannels.last; }

}  // namespace

void recomputeGains() {
  keepRecordingUp();
  const int master =
      switchFactor(masterSwitch()) * volumeFactor(masterVolume());
  const int speech = state().speechDucked ? kSpeechDuckPercent : 100;
  for (SoundChannel& ch : state().channels) {
    std::lock_guard lk(ch.m);
    ch.gain = switchFactor(ch.categorySwitch) * volumeFactor(ch.categoryVolume) * master / 100;
    if (voiceChannel(ch.number)) ch.gain = ch.gain * speech / 100;
    if (ch.hasBuffer) applyVolume(ch);
  }
}

void duckVoicesForSpeech(bool on) {
  if (state().speechDucked == on) return;
  state().speechDucked = on;
  recomputeGains();
}

void setCategory(int first, int last, int volume, int on) {
  for (int n = first; n <= last; ++n) {
    SoundChannel& ch = channel(n);
    std::lock_guard lk(ch.m);
    ch.categoryVolume = volume;
    ch.categorySwitch = on;
  }
  recomputeGains();
}

void preloadSound(const std::string& name) {
  uint64_t hash = crc64_hash(name);
  {
    std::lock_guard g(state().cacheLock);
    if (state().cache.count(hash)) return;
  }
  try {
    auto bytes = std::make_shared<std::string>();
    if (!loadBytes(name, 0, 0, *bytes, true)) return;
    DataType type = detectType(*bytes);
    std::lock_guard g(state().cacheLock);
    state().cache.emplace(hash, PreloadEntry{std::move(bytes), type});
  } catch (const std::bad_alloc&) {
    // A preload is only a head start; the open reports the shortage.
  }
}

void mix(int16_t* out, size_t frames) {
  // Grows once to the device's period; the callback then allocates nothing.
  thread_local std::vector<float> acc;
  acc.assign(2 * frames, 0.0f);
  for (SoundChannel& ch : state().channels) {
    std::lock_guard g(ch.voice.lock);
    Voice& v = ch.voice;
    if (!v.playing || v.ring.empty()) continue;
    MixSource src{v.ring.data(), uint32_t(v.ring.size() / size_t(v.format.blockAlign)), v.format.channels,
                  v.format.bits, v.format.rate, v.position, v.volume, v.pan};
    mixInto(src, acc.data(), frames);
    v.position = src.position;
  }
  finishMix(acc.data(), out, frames);
}

// Voices are channels 15-24.
void stopVoices() {
  for (int n = 15; n <= 24; ++n) stopSound(n, 0);
}

bool voicePlaying() {
  for (int n = 15; n <= 24; ++n)
    if (channelSnapshot(n).state == kPlaying) return true;
  return false;
}

}  // namespace velmora::audio
