// The movie workers: Theora frames by time, MJPG chunks while playing, and
// MJPG decoded completely in advance. They never touch the sprite table or
// the device; the frame step picks up what they publish.
#include <algorithm>
#include <chrono>
#include <cstring>

#include "image/image.h"
#include "movie/internal.h"
#include "movie/theora.h"
#include "platform/platform.h"

namespace velmora::movie {
namespace {

// The streamed worker's chunk buffer grows past this only for a chunk that
// the file really holds.
constexpr size_t kChunkBuffer = 1 << 20;

// How long one call in single-thread mode may decode mode 0's frames ahead
// of their time, in ms of real time.
constexpr int64_t kAheadBudgetMs = 4;

void pause1ms() { std::this_thread::sleep_for(std::chrono::milliseconds(1)); }
bool stopping(const Movie& m) { return m.state.load() == kStopRequested; }
int32_t sinceStart(const Movie& m, uint32_t now) { return int32_t(now - m.start.load()); }

// The start: marks the worker running (unless a stop came first) and, until
// the start time, only keeps the progress. kWorked once the movie has started.
StepResult awaitStart(Movie& m, uint32_t now) {
  WorkerCursor& k = m.cursor;
  if (!k.begun) {
    MovieState expected = kStartRequested;
    m.state.compare_exchange_strong(expected, kRunning);
    k.begun = true;
  }
  if (stopping(m)) return StepResult::kDone;
  if (!k.started && sinceStart(m, now) < 0) {
    m.progress = now;
    return StepResult::kIdle;
  }
  k.started = true;
  return StepResult::kWorked;
}

// Waits (idle steps) until `when` ms after the start: kWorked once it is.
StepResult awaitTime(Movie& m, uint32_t now, int64_t when) {
  if (stopping(m)) return StepResult::kDone;
  if (sinceStart(m, now) >= when) return StepResult::kWorked;
  m.progress = now;
  return StepResult::kIdle;
}

bool dueFrameReady(const Movie& m, uint32_t now) {
  return int64_t(m.cursor.index) > int64_t(sinceStart(m, now)) * m.header.frameCount / m.header.duration;
}

StepResult finish(Movie& m) {
  m.progress = platform::nowMs();
  m.state = kFinished;
  return StepResult::kDone;
}

StepResult endPlaying(Movie& m) {
  // The file goes with the record; a streamed one is closed at once.
  MovieSource& s = *m.source;
  if (s.file) std::fclose(s.file), s.file = nullptr;
  s.bytes.reset();
  return finish(m);
}

StepResult endAdvance(Movie& m) {
  m.source->bytes.reset();
  return finish(m);
}

// Every play lasts the whole duration, so the last frame is shown for its
// time before a repeat starts over.
StepResult endOfPlay(Movie& m, uint32_t now) {
  const StepResult r = awaitTime(m, now, m.header.duration);
  if (r == StepResult::kIdle) return r;
  if (r == StepResult::kDone || --m.plays == 0) return endPlaying(m);
  m.start = platform::nowMs();
  m.cursor.playEnding = false;
  m.cursor.at = kHeaderSize + m.header.soundSize;
  return StepResult::kWorked;
}

}  // namespace

bool readChunk(MovieSource& s, uint64_t at, Chunk& c) {
  uint8_t h[kChunkHeader];
  if (!s.read(at, h, sizeof h)) return false;
  std::memcpy(c.tag, h, 4);
  c.time = h[4] | h[5] << 8 | h[6] << 16 | uint32_t(h[7]) << 24;
  c.size = h[8] | h[9] << 8 | h[10] << 16 | uint32_t(h[11]) << 24;
  return true;
}
bool isFrame(const Chunk& c) { return std::memcmp(c.tag, "00dc", 4) == 0; }
bool isEnd(const Chunk& c) { return std::memcmp(c.tag, "EOF ", 4) == 0; }

// Reads a frame chunk's data; false when the file does not hold it.
bool chunkData(MovieSource& s, uint64_t at, const Chunk& c, std::vector<uint8_t>& buffer) {
  if (buffer.size() < c.size) {
    if (at + kChunkHeader > s.size || c.size > s.size - at - kChunkHeader) return false;
    buffer.resize(std::max<size_t>(c.size, kChunkBuffer));
  }
  return s.read(at + kChunkHeader, buffer.data(), c.size);
}

image::Image* decodeChunk(const std::vector<uint8_t>& data, uint32_t size) {
  return size > 0x7FFFFFFF ? nullptr : image::loadImage(data.data(), int(size));
}

void queueMessage(Movie& m, std::string message) {
  std::lock_guard g(m.handoff.lock);
  m.handoff.messages.push_back(std::move(message));
}

void publish(Movie& m, std::vector<uint32_t>& work) {
  std::lock_guard g(m.handoff.lock);
  m.handoff.pixels.swap(work);
  ++m.handoff.sequence;
}

void fitPicture(const image::Image* p, int width, int height, std::vector<uint32_t>& out) {
  out.assign(size_t(width) * size_t(height), 0xFF000000u);
  if (!p || !p->pixels) return;
  const int w = std::min(width, p->width), h = std::min(height, p->height);
  const bool opaque = p->depth != 32;
  for (int y = 0; y < h; ++y) {
    const uint32_t* from = p->pixels + size_t(y) * size_t(p->width);
    uint32_t* to = out.data() + size_t(y) * size_t(width);
    for (int x = 0; x < w; ++x) to[x] = opaque ? from[x] | 0xFF000000u : from[x];
  }
}

StepResult theoraStep(Movie& m) {
  const uint32_t now = platform::nowMs();
  StepResult r = awaitStart(m, now);
  if (r == StepResult::kDone) return finish(m);
  if (r == StepResult::kIdle) return r;
  WorkerCursor& k = m.cursor;
  const int w = m.header.width, h = m.header.height;
  // Past the end the last frame stays: it is neither decoded nor handed over again.
  const int64_t frame = std::min<int64_t>(int64_t(sinceStart(m, now)) * m.header.frameCount / m.header.duration,
                                          m.header.frameCount - 1);
  r = StepResult::kIdle;
  if (frame != k.lastFrame) {
    k.work.assign(size_t(w) * size_t(h), 0xFF000000u);
    // A damaged frame keeps the previous picture.
    if (m.video->decodeFrame(int(frame), k.work.data(), w)) publish(m, k.work);
    k.lastFrame = frame;
    r = StepResult::kWorked;
  }
  m.progress = now;
  return r;
}

StepResult mjpgPlayingStep(Movie& m) {
  const uint32_t now = platform::nowMs();
  WorkerCursor& k = m.cursor;
  if (!k.started) k.at = kHeaderSize + m.header.soundSize;
  StepResult r = awaitStart(m, now);
  if (r != StepResult::kWorked) return r == StepResult::kDone ? endPlaying(m) : r;
  if (k.playEnding) return endOfPlay(m, now);
  // A chunk that is not due yet is waited for without reading it again.
  const bool awaited = k.awaiting >= 0;
  if (awaited) {
    r = awaitTime(m, now, k.awaiting);
    if (r != StepResult::kWorked) return r == StepResult::kDone ? endPlaying(m) : r;
    k.awaiting = -1;
  }
  MovieSource& s = *m.source;
  Chunk c;
  const bool read = readChunk(s, k.at, c);
  if (!read || !isFrame(c)) {
    if (!read || !isEnd(c)) queueMessage(m, "CHUNK READ ERROR");
    k.playEnding = true;
    return StepResult::kWorked;
  }
  const int64_t tolerance = (int64_t(m.header.frameCount) * 1000 + m.header.duration - 1) / m.header.duration;
  // A chunk already too late is passed over.
  const bool shown = awaited || int64_t(c.time) + tolerance >= sinceStart(m, now);
  if (shown && awaitTime(m, now, c.time) == StepResult::kIdle) {
    k.awaiting = c.time;
    return StepResult::kIdle;
  }
  if (shown && c.size) {
    image::Image* picture = chunkData(s, k.at, c, k.buffer) ? decodeChunk(k.buffer, c.size) : nullptr;
    fitPicture(picture, m.header.width, m.header.height, k.work);
    image::freeImage(picture);
    publish(m, k.work);
  }
  k.at += kChunkHeader + uint64_t(c.size);
  return StepResult::kWorked;
}

StepResult mjpgAdvanceStep(Movie& m) {
  const uint32_t now = platform::nowMs();
  WorkerCursor& k = m.cursor;
  if (!k.started) k.at = kHeaderSize + m.header.soundSize;
  StepResult r = awaitStart(m, now);
  if (r != StepResult::kWorked) return r == StepResult::kDone ? endAdvance(m) : r;
  if (k.index >= m.frames.size()) return endAdvance(m);
  MovieSource& s = *m.source;
  const int w = m.header.width, h = m.header.height;
  Chunk c;
  const bool read = readChunk(s, k.at, c);
  if (!read || !isFrame(c)) {
    if (!read || !isEnd(c)) queueMessage(m, "CHUNK READ ERROR");
    return endAdvance(m);
  }
  image::Image* frame = nullptr;
  if (c.size == 0) {
    frame = k.previous ? image::copyImage(k.previous) : nullptr;
  } else {
    image::Image* picture = chunkData(s, k.at, c, k.buffer) ? decodeChunk(k.buffer, c.size) : nullptr;
    fitPicture(picture, w, h, k.work);
    image::freeImage(picture);
    frame = image::createImage(w, h, 32);
    if (frame) std::copy(k.work.begin(), k.work.end(), frame->pixels);
  }
  if (!frame) frame = image::createImage(1, 1, 32);  // keeps the count; shown as nothing new
  m.frames[k.index] = frame;
  m.ready[k.index].store(true, std::memory_order_release);
  k.previous = frame;
  ++k.index;
  k.at += kChunkHeader + uint64_t(c.size);
  return StepResult::kWorked;
}

void runWorker(MoviePtr mp) {
  for (StepResult r; (r = mp->step(*mp)) != StepResult::kDone;)
    if (r == StepResult::kIdle) pause1ms();
}

bool stepWithoutThread(Movie& m) {
  if (!m.threadless || m.state.load() == kFinished) return false;
  using Clock = std::chrono::steady_clock;
  const Clock::time_point until = Clock::now() + std::chrono::milliseconds(kAheadBudgetMs);
  for (;;) {
    const StepResult r = m.step(m);
    if (r == StepResult::kDone) return false;
    if (r == StepResult::kIdle) return true;
    // Mode 0 never idles: once the frame due now is ready it decodes ahead
    // only within the budget.
    if (m.mode == 0 && Clock::now() >= until && dueFrameReady(m, platform::nowMs())) return true;
  }
}

}  // namespace velmora::movie
