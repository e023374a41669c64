// Movies in saved games: one ImageF line per playing movie, and movie sprites
// started again when a restore (or a jump) rebuilds its placeholders.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "base/report.h"
#include "base/snapshot.h"
#include "image/image.h"
#include "movie/internal.h"
#include "movie/theora.h"
#include "sprite/saved.h"
#include "sprite/sprite.h"

namespace velmora::movie {
namespace {

struct SavedMovie {
  int sprite = 0, plays = 0, mode = 0, frameCount = 0, duration = 0;
  uint32_t soundSize = 0;
};
std::vector<SavedMovie> g_pending;

// The playback records have no chunk list of text to add: the line ends with
// its separator.
void writeMovies(std::string& out, const SnapshotMoment&) {
  for (const auto& [n, m] : movies())
    out += "ImageF" + std::to_string(n) + "=" + std::to_string(n) + "," + std::to_string(m->plays.load()) + "," +
           std::to_string(m->mode) + "," + std::to_string(m->header.frameCount) + "," +
           std::to_string(m->header.duration) + "," + std::to_string(m->header.soundSize) + ",\n";
}

bool prepareMovies(const SnapshotEntries& entries, std::string& problem) {
  g_pending.clear();
  for (int n = 0; n < sprite::kSpriteCount; ++n) {
    const std::string key = "ImageF" + std::to_string(n);
    const std::string* value = entries.find(key);
    if (!value) continue;
    SnapshotFieldReader f(*value);
    SavedMovie s;
    s.sprite = n;
    f.dec();  // the sprite number again
    s.plays = f.dec(), s.mode = f.dec(), s.frameCount = f.dec(), s.duration = f.dec();
    s.soundSize = uint32_t(f.dec());
    if (!f.ok()) return problem = key, false;
    g_pending.push_back(s);
  }
  return true;
}

void resetMovies() { releaseMovies(); }

// The records wait, as a jump's do, until the placeholders are rebuilt.
void applyMovies(const SnapshotMoment&) {
  for (const SavedMovie& s : g_pending) {
    const sprite::Sprite& r = sprite::record(s.sprite);
    if (!sprite::frontSlot(s.sprite) || r.fontFace[0] != sprite::kKindMovie || r.fontFace[1] != 0) continue;
    auto m = std::make_shared<Movie>();
    m->sprite = s.sprite, m->plays = s.plays, m->mode = s.mode & ~kTheora;
    m->name.assign(r.name, strnlen(r.name, sizeof r.name));
    m->header.frameCount = s.frameCount, m->header.duration = s.duration, m->header.soundSize = s.soundSize;
    movies()[s.sprite] = m;
  }
  g_pending.clear();
}

void discardMovies() { g_pending.clear(); }

}  // namespace

// A movie sprite's placeholder: the movie opens again and starts from its
// first frame with the plays it had left.
image::Image* rebuildMovie(int n) {
  auto it = movies().find(n);
  if (it == movies().end()) return nullptr;
  MoviePtr m = it->second;
  std::string error;
  image::Image* canvas = nullptr;
  if (openMovieFile(*m, error)) canvas = image::createImage(m->header.width, m->header.height, 32);
  else reportError(std::to_string(n) + error);
  if (!canvas || !startMovie(m, 0)) {
    movies().erase(n);
    image::freeImage(canvas);
    return nullptr;
  }
  std::fill(canvas->pixels, canvas->pixels + canvas->count, 0xFF000000u);
  return canvas;
}

void registerMovieSection() {
  addSnapshotSection({.name = "movies", .order = kSnapshotMovies, .write = writeMovies,
                        .prepare = prepareMovies, .reset = resetMovies, .apply = applyMovies,
                        .discard = discardMovies});
}

}  // namespace velmora::movie
