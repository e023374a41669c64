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

void pause1ms() { std::this_thread::sleep_for(std::chrono::milliseconds(1)); }
bool stopping(const Movie& m) { return m.state.load() == kStopRequested; }
int32_t sinceStart(const Movie& m, uint32_t now) { return int32_t(now - m.start.load()); }

// Marks the worker running (unless a stop came first) and waits for the start time.
bool waitForStart(Movie& m) {
  MovieState expected = kStartRequested;
  m.state.compare_exchange_strong(expected, kRunning);
  for (;;) {
    uint32_t now = platform::nowMs();
    if (stopping(m)) return false;
    if (sinceStart(m, now) >= 0) return true;
    m.progress = now;
    pause1ms();
  }
}

// Waits until `when` ms after the start, or a stop; false on a stop.
bool waitUntil(Movie& m, int64_t when) {
  for (;;) {
    uint32_t now = platform::nowMs();
    if (stopping(m)) return false;
    if (sinceStart(m, now) >= when) return true;
    m.progress = now;
    pause1ms();
  }
}

void finish(Movie& m) {
  m.progress = platform::nowMs();
  m.state = kFinished;
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

void theoraWorker(MoviePtr mp) {
  Movie& m = *mp;
  TheoraVideo& video = *m.video;
  std::vector<uint32_t> work;
  if (waitForStart(m)) {
    const int w = m.header.width, h = m.header.height;
    int64_t last = -1;
    while (!stopping(m)) {
      uint32_t now = platform::nowMs();
      // Past the end the last frame stays: it is neither decoded nor handed
      // over again.
      const int64_t frame = std::min<int64_t>(int64_t(sinceStart(m, now)) * m.header.frameCount / m.header.duration,
                                              m.header.frameCount - 1);
      if (frame != last) {
        work.assign(size_t(w) * size_t(h), 0xFF000000u);
        // A damaged frame keeps the previous picture.
        if (video.decodeFrame(int(frame), work.data(), w)) publish(m, work);
        last = frame;
      } else {
        pause1ms();
      }
      m.progress = now;
    }
  }
  finish(m);
}

void mjpgPlayingWorker(MoviePtr mp) {
  Movie& m = *mp;
  MovieSource& s = *m.source;
  const int w = m.header.width, h = m.header.height;
  const uint64_t first = kHeaderSize + m.header.soundSize;
  const int64_t tolerance = (int64_t(m.header.frameCount) * 1000 + m.header.duration - 1) / m.header.duration;
  std::vector<uint8_t> buffer;
  std::vector<uint32_t> work;
  bool go = waitForStart(m);
  while (go) {
    uint64_t at = first;
    Chunk c;
    while (go && readChunk(s, at, c) && isFrame(c)) {
      uint32_t now = platform::nowMs();
      if (int64_t(c.time) + tolerance >= sinceStart(m, now)) {
        go = waitUntil(m, c.time);
        if (go && c.size) {
          image::Image* picture = chunkData(s, at, c, buffer) ? decodeChunk(buffer, c.size) : nullptr;
          fitPicture(picture, w, h, work);
          image::freeImage(picture);
          publish(m, work);
        }
      }
      at += kChunkHeader + uint64_t(c.size);
    }
    if (!go) break;
    if (!isEnd(c) || !readChunk(s, at, c)) queueMessage(m, "CHUNK READ ERROR");
    // Every play lasts the whole duration, so the last frame is shown for
    // its time before a repeat starts over.
    if (!waitUntil(m, m.header.duration) || --m.plays == 0) break;
    m.start = platform::nowMs();
  }
  // The file goes with the record; a streamed one is closed at once.
  if (s.file) std::fclose(s.file), s.file = nullptr;
  s.bytes.reset();
  finish(m);
}

void mjpgAdvanceWorker(MoviePtr mp) {
  Movie& m = *mp;
  MovieSource& s = *m.source;
  const int w = m.header.width, h = m.header.height;
  std::vector<uint8_t> buffer;
  std::vector<uint32_t> work;
  if (waitForStart(m)) {
    uint64_t at = kHeaderSize + m.header.soundSize;
    Chunk c;
    image::Image* previous = nullptr;
    for (size_t i = 0; i < m.frames.size() && !stopping(m); ++i) {
      if (!readChunk(s, at, c) || !isFrame(c)) {
        if (!readChunk(s, at, c) || !isEnd(c)) queueMessage(m, "CHUNK READ ERROR");
        break;
      }
      image::Image* frame = nullptr;
      if (c.size == 0) {
        frame = previous ? image::copyImage(previous) : nullptr;
      } else {
        image::Image* picture = chunkData(s, at, c, buffer) ? decodeChunk(buffer, c.size) : nullptr;
        fitPicture(picture, w, h, work);
        image::freeImage(picture);
        frame = image::createImage(w, h, 32);
        if (frame) std::copy(work.begin(), work.end(), frame->pixels);
      }
      if (!frame) frame = image::createImage(1, 1, 32);  // keeps the count; shown as nothing new
      m.frames[i] = frame;
      m.ready[i].store(true, std::memory_order_release);
      previous = frame;
      at += kChunkHeader + uint64_t(c.size);
    }
  }
  s.bytes.reset();
  finish(m);
}

}  // namespace velmora::movie
