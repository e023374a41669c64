// theora_create and sp_ani: opening a movie into a sprite and starting it.
#include <algorithm>

#include "audio/audio.h"
#include "bindings/bridge.h"
#include "bindings/catalogue.h"
#include "base/report.h"
#include "base/textconv.h"
#include "movie/internal.h"
#include "movie/messages.h"
#include "movie/theora.h"
#include "platform/platform.h"
#include "platform/threads.h"
#include "sprite/picture.h"
#include "sprite/sprite.h"

namespace velmora::movie {
namespace {

using bindings::CommandContext;
using bindings::intArg;

void report(int n, const std::string& text) { reportError(std::to_string(n) + text); }

void markForDeletion(int n) {
  if (sprite::slot(n, 0) || sprite::slot(n, 1)) sprite::record(n).pending |= sprite::kPendingDelete;
}

// The Theora stream after the header and the sound, ready to decode.
bool loadTheora(Movie& m) {
  const uint64_t from = kHeaderSize + m.header.soundSize;
  const uint64_t rest = m.source->size - std::min<uint64_t>(from, m.source->size);
  const uint64_t size = m.header.streamSize ? std::min<uint64_t>(m.header.streamSize, rest) : rest;
  m.theoraStream.resize(size_t(size));
  if (!m.source->read(from, m.theoraStream.data(), size_t(size))) {
    reportError(m.name + messageText(Message::NotOpenedJoined));
    return false;
  }
  m.video = std::make_unique<TheoraVideo>();
  if (!m.video->load(m.theoraStream)) {
    reportError("uTheoraLib::load");
    m.video.reset();
    return false;
  }
  m.source.reset();  // the worker decodes from the stream it was given
  return true;
}

}  // namespace

// Starting: decoder, embedded sound, start time, worker.
bool startMovie(const MoviePtr& m, int delay) {
  if (m->header.theora && !loadTheora(*m)) return false;
  if (m->header.soundSize && audio::soundCreated()) {
    audio::openSound(0, m->name, uint32_t(kHeaderSize), m->header.soundSize);
    if (audio::channelSnapshot(0).name != m->name) {
      reportError(m->name + messageText(Message::NotOpened));
      return false;
    }
    audio::playSound(0, 1, 0, 0);
  }
  const uint32_t now = platform::nowMs();
  m->start = now + uint32_t(std::max(delay, 0));
  m->step = m->mode & kTheora ? theoraStep : m->mode != 0 ? mjpgPlayingStep : mjpgAdvanceStep;
  if (platform::singleThread()) {
    m->threadless = true;
    return true;
  }
  try {
    m->worker = platform::startThread(runWorker, m);
  } catch (const std::exception&) {
    reportError(m->name + messageText(Message::ThreadNotCreated));
    return false;
  }
  return true;
}

bool openMovieFile(Movie& m, std::string& error) {
  m.source = openSource(m.name, m.mode & kStreamed, error);
  if (!m.source) error = " " + error;
  if (!m.source || !readHeader(*m.source, m.header, error)) return false;
  if (m.header.theora) m.mode |= kTheora;
  if (!(m.mode & kTheora) && m.mode == 0) {
    // One slot per frame; every frame takes at least its 12-byte chunk header.
    const size_t count = size_t(std::min<uint64_t>(uint64_t(m.header.frameCount), m.source->size / 12));
    m.frames.assign(count, nullptr);
    m.ready = std::make_unique<std::atomic<bool>[]>(count);
  }
  return true;
}

namespace {

void cmd_theora_create(CommandContext) {
  // The decoder is linked in: there is nothing to load, and a second call
  // is as harmless as the first.
}

void cmd_sp_ani(CommandContext c) {
  const int n = intArg(c, 1);
  const std::string name = sprite::normalisePath(bindings::stringArg(c, 2));
  const uint32_t flags = uint32_t(intArg(c, 3));
  const int plays = intArg(c, 4), mode = intArg(c, 5) & ~kTheora, delay = intArg(c, 6);
  if (!sprite::validNumber(n)) return;
  sprite::Sprite& r = sprite::record(n);
  if (r.endDelete) {
    r.pending = sprite::kPendingDelete;
    sprite::commitSprite(n);
  }
  stopAndRemove(n);
  auto m = std::make_shared<Movie>();
  m->sprite = n, m->plays = plays, m->mode = mode, m->name = name;
  if (sprite::jumpLoading()) {
    // A placeholder that the end of the jump rebuilds; nothing plays.
    if (sprite::loadMovieCanvas(n, 1, 1, flags, name.c_str())) movies()[n] = m;
    return;
  }
  std::string error;
  if (!openMovieFile(*m, error)) {
    report(n, error);
    markForDeletion(n);
    return;
  }
  if (!sprite::loadMovieCanvas(n, m->header.width, m->header.height, flags, name.c_str())) return;
  movies()[n] = m;
  if (!startMovie(m, delay)) {
    movies().erase(n);
    markForDeletion(n);
  }
}

const bindings::CoreBinding kMovieCores[] = {
    {"theora_create", cmd_theora_create},
    {"sp_ani", cmd_sp_ani},
};

}  // namespace

void bindMovieCores() {
  bindings::bindCores(kMovieCores);
}

}  // namespace velmora::movie
