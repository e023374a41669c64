// The movie list, stopping a movie, and the frame step that shows frames.
#include <chrono>
#include <cstring>

#include "audio/audio.h"
#include "base/report.h"
#include "base/settings.h"
#include "base/textconv.h"
#include "image/image.h"
#include "movie/internal.h"
#include "movie/messages.h"
#include "movie/theora.h"
#include "platform/platform.h"
#include "platform/threads.h"
#include "platform/vclock.h"
#include "sprite/sprite.h"
#include "script/reading_settings.h"

namespace velmora::movie {
namespace {

std::map<int, MoviePtr> g_movies;

void realSleep1ms() { std::this_thread::sleep_for(std::chrono::milliseconds(1)); }
bool hasWorker(const Movie& m) { return m.worker.joinable() || m.threadless; }
int32_t sinceStart(const Movie& m, uint32_t now) { return int32_t(now - m.start.load()); }
int64_t dueFrame(const Movie& m, uint32_t now) {
  return int64_t(sinceStart(m, now)) * m.header.frameCount / m.header.duration;
}

void markForDeletion(int n) {
  if (sprite::slot(n, 0) || sprite::slot(n, 1)) sprite::record(n).pending |= sprite::kPendingDelete;
}

// The canvas that sp_ani made, wherever it is in the slot swap.
image::Image* canvas(const Movie& m) {
  sprite::Slot* s = sprite::afterSlot(m.sprite);
  if (!s || !s->picture || s->picture->width != m.header.width || s->picture->height != m.header.height) return nullptr;
  return s->picture;
}
void canvasChanged(const Movie& m) {
  if (sprite::Slot* s = sprite::afterSlot(m.sprite)) s->upload |= sprite::kUploadPixels;
}

// Under the virtual clock the frame waits for the worker to reach the same
// time, so that a run shows the same frames every time.
bool caughtUp(const Movie& m, uint32_t now) {
  const MovieState state = m.state.load();
  if (state == kFinished || state == kStopRequested) return true;
  if (m.mode != 0) return state == kRunning && m.progress.load() == now;
  if (sinceStart(m, now) < 0 || size_t(m.nextFrame) >= m.frames.size()) return true;
  return dueFrame(m, now) < m.nextFrame || m.ready[size_t(m.nextFrame)].load(std::memory_order_acquire);
}
// Without a thread the frame step runs the worker's steps itself.
void catchUp(Movie& m) {
  if (m.threadless) stepWithoutThread(m);
  if (!platform::virtualClock() || !m.worker.joinable()) return;
  const uint32_t now = platform::nowMs();
  for (int waited = 0; waited < 1000 && !caughtUp(m, now); ++waited) realSleep1ms();
}

void takeMessages(Movie& m) {
  std::vector<std::string> messages;
  {
    std::lock_guard g(m.handoff.lock);
    messages.swap(m.handoff.messages);
  }
  for (const std::string& text : messages) reportOnMainThread(text);
}

void showLatest(Movie& m) {
  std::lock_guard g(m.handoff.lock);
  if (m.handoff.sequence == m.shownSequence || m.handoff.pixels.empty()) return;
  m.shownSequence = m.handoff.sequence;
  image::Image* c = canvas(m);
  if (!c || m.handoff.pixels.size() != size_t(c->count)) return;
  std::memcpy(c->pixels, m.handoff.pixels.data(), m.handoff.pixels.size() * sizeof(uint32_t));
  canvasChanged(m);
}

void showFrame(Movie& m, const image::Image* frame) {
  image::Image* c = canvas(m);
  if (!c || !frame || !frame->pixels) return;
  std::vector<uint32_t> fitted;
  if (frame->width == c->width && frame->height == c->height) {
    std::memcpy(c->pixels, frame->pixels, size_t(c->count) * sizeof(uint32_t));
  } else {
    fitPicture(frame, c->width, c->height, fitted);
    std::memcpy(c->pixels, fitted.data(), fitted.size() * sizeof(uint32_t));
  }
  canvasChanged(m);
}

// Frames skip while effects are skipped, per the sprite's layer.
bool effectSkipped(int n) {
  const sprite::Slot* s = sprite::frontSlot(n);
  const uint32_t flags = s ? s->loadFlags : 0;
  const bool windowLayer = flags & (sprite::kLoadWindowLayer | sprite::kLoadWindowLayerQuake);
  return windowLayer ? script::windowLayerEffectsSkipped() : script::effectsSkipped();
}

// Mode 0: frames decoded in advance, shown here by time. Returns true when
// the movie has ended.
bool stepAdvance(Movie& m, uint32_t now) {
  if (!hasWorker(m) || effectSkipped(m.sprite) || sinceStart(m, now) < 0) return false;
  const size_t next = size_t(m.nextFrame);
  if (next < m.frames.size() && m.ready[next].load(std::memory_order_acquire) && dueFrame(m, now) >= m.nextFrame &&
      m.shownFrame != m.nextFrame) {
    showFrame(m, m.frames[next]);
    m.shownFrame = m.nextFrame;
    // On the last play a shown frame is not needed again, once the worker
    // has moved past it (a repeated frame is copied from its predecessor).
    const bool workerDone = next + 1 >= m.frames.size() || m.ready[next + 1].load() || m.state == kFinished;
    if (m.plays == 1 && workerDone) image::freeImage(m.frames[next]);
    if (next + 1 < m.frames.size()) ++m.nextFrame;
  }
  // The end is checked whatever the frames did, so a movie whose last frame
  // was freed (or never decoded) still ends.
  if (sinceStart(m, now) < m.header.duration) return false;
  if (--m.plays != 0) {
    m.nextFrame = 0;
    m.shownFrame = -1;
    m.start = now;
    return false;
  }
  return true;
}

}  // namespace

std::map<int, MoviePtr>& movies() { return g_movies; }

void reportOnMainThread(const std::string& message) { reportError(message); }

Movie::~Movie() {
  for (image::Image*& f : frames) image::freeImage(f);
  if (worker.joinable()) worker.detach();
}

void stopMovie(Movie& m) {
  bool ended = true;
  if (m.threadless && m.state.load() != kFinished) {
    // The step sees the request and ends the worker as the thread would.
    m.state = kStopRequested;
    stepWithoutThread(m);
  }
  if (m.worker.joinable()) {
    MovieState state = m.state.load();
    while (state != kFinished && !m.state.compare_exchange_weak(state, kStopRequested)) {
    }
    for (int waited = 0; waited < 1000 && m.state.load() != kFinished; ++waited) realSleep1ms();
    ended = m.state.load() == kFinished;
    if (ended) {
      m.worker.join();
    } else {
      // It still holds its record and lets it go when it returns.
      reportOnMainThread(messageText(Message::ThreadDidNotEnd));
      m.worker.detach();
    }
  }
  if (ended) {
    for (image::Image*& f : m.frames) image::freeImage(f);
    m.source.reset();
    m.theoraStream.clear();
    m.video.reset();
  }
  // The movie's own sound goes with its picture.
  if (m.header.soundSize && audio::channelSnapshot(0).name == m.name) audio::stopSound(0, 0);
}

void stopAndRemove(int n) {
  auto it = g_movies.find(n);
  if (it == g_movies.end()) return;
  MoviePtr m = it->second;
  g_movies.erase(it);
  stopMovie(*m);
}

void movieFrameStep() {
  const uint32_t now = platform::nowMs();
  for (auto it = g_movies.begin(); it != g_movies.end();) {
    const int n = it->first;
    MoviePtr m = it->second;
    ++it;  // the entry may go below
    takeMessages(*m);
    if (!sprite::slot(n, 0) || !sprite::record(n).name[0]) {
      reportError(std::to_string(n) + messageText(Message::NoPictureForList));
      stopAndRemove(n);
      continue;
    }
    catchUp(*m);
    if (m->mode != 0) {
      showLatest(*m);
      if (m->state.load() != kFinished) continue;
    } else if (!stepAdvance(*m, now)) {
      continue;
    }
    markForDeletion(n);
    stopAndRemove(n);
  }
}

uint32_t stepMoviesWithoutThreads() {
  uint32_t due = platform::kNoStepDue;
  for (auto& [n, m] : g_movies)
    if (stepWithoutThread(*m)) due = platform::kWorkerStepSliceMs;
  return due;
}

void releaseMovies() {
  while (!g_movies.empty()) stopAndRemove(g_movies.begin()->first);
}

bool moviePlaying(int sprite) {
  auto it = g_movies.find(sprite);
  if (it == g_movies.end()) return false;
  const Movie& m = *it->second;
  if (m.state.load() == kFinished) return false;
  // A Theora movie is never finished by its worker: past its duration it
  // shows its last picture until the sprite changes.
  return !(m.mode & kTheora) || sinceStart(m, platform::nowMs()) < m.header.duration;
}

bool movieInfo(int sprite, MovieInfo& out) {
  auto it = g_movies.find(sprite);
  if (it == g_movies.end()) return false;
  const Movie& m = *it->second;
  out = {m.mode, m.plays.load(), m.state.load(), m.header.frameCount, m.header.duration, m.header.soundSize,
         m.nextFrame};
  return true;
}

}  // namespace velmora::movie
