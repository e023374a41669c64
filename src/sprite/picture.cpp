// The picture loader and the image cache. The cache is shared with the
// look-ahead worker, so every table operation happens under one lock; the
// decoding itself runs outside it.
#include "sprite/picture.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <unordered_map>

#include "base/hash.h"
#include "base/report.h"
#include "base/settings.h"
#include "base/encoding.h"
#include "base/sjis.h"
#include "base/textconv.h"
#include "image/image.h"
#include "resource/resource.h"
#include "sprite/messages.h"
#include "sprite/picture_internal.h"
#include "sprite/sprite.h"
#include "sprite/sprite_settings.h"

namespace velmora::sprite {

namespace {

struct CacheState {
  std::mutex lock;
  std::unordered_map<uint64_t, PictureRef> pictures;  // never written once stored
  std::unordered_map<uint64_t, uint32_t> stamps;
  std::map<uint32_t, uint64_t> age;  // first entry = least recently used
  uint32_t counter = 0;
  uint64_t bytes = 0;
  FileBuffer mainBuffer;  // the main thread's read buffer
};
CacheState cacheState;

uint64_t pictureBytes(const image::Image* p) { return uint64_t(p->width) * uint64_t(p->height) * 4; }

// Callers hold cacheState.lock.
void freshStamp(uint64_t key) {
  auto s = cacheState.stamps.find(key);
  if (s != cacheState.stamps.end()) cacheState.age.erase(s->second);
  uint32_t stamp = cacheState.counter++;
  cacheState.stamps[key] = stamp;
  cacheState.age[stamp] = key;
}

void evictKey(uint64_t key) {
  auto p = cacheState.pictures.find(key);
  if (p == cacheState.pictures.end()) return;
  cacheState.bytes -= pictureBytes(p->second.get());
  cacheState.pictures.erase(p);  // a sprite still showing it keeps it alive
  auto s = cacheState.stamps.find(key);
  if (s != cacheState.stamps.end()) {
    cacheState.age.erase(s->second);
    cacheState.stamps.erase(s);
  }
}

bool onlyInCache(uint64_t key) {
  auto p = cacheState.pictures.find(key);
  return p != cacheState.pictures.end() && p->second.use_count() == 1;
}

// Room for bytes more: first the oldest pictures only the cache holds, whose
// eviction frees memory, then the oldest of those sprites still show.
void makeRoom(uint64_t bytes, uint64_t budget) {
  for (auto it = cacheState.age.begin(); it != cacheState.age.end() && cacheState.bytes + bytes > budget;) {
    const uint64_t key = it->second;
    ++it;  // evicting erases the entry behind it
    if (onlyInCache(key)) evictKey(key);
  }
  while (cacheState.bytes + bytes > budget && !cacheState.age.empty()) evictKey(cacheState.age.begin()->second);
}

// Stores a picture under key after making room. One larger than the whole
// budget is not kept: the cap holds.
void storeLocked(uint64_t key, PictureRef picture, uint64_t budget) {
  if (cacheState.pictures.count(key)) {  // the other thread stored it meanwhile
    freshStamp(key);
    return;
  }
  const uint64_t bytes = pictureBytes(picture.get());
  if (bytes > budget) return;
  makeRoom(bytes, budget);
  cacheState.bytes += bytes;
  cacheState.pictures[key] = std::move(picture);
  freshStamp(key);
}

// A 32-bit copy carrying the difference-image header.
image::Image* headerCopy(const image::Image* source) {
  image::Image* copy = image::createImage(source->width, source->height, 32);
  if (!copy) return nullptr;
  std::memcpy(copy->pixels, source->pixels, size_t(source->count) * 4);
  std::memcpy(copy->name, source->name, sizeof copy->name);
  copy->left = source->left;
  copy->top = source->top;
  copy->mode = source->mode;
  return copy;
}

size_t directoryLength(std::string_view path) {
  // Up to and including the last separator that is neither the first nor
  // the last character.
  size_t cut = 0;
  for (size_t i = 0; i < path.size(); ++i) {
    if (const size_t n = charLength(path, i); n > 1) {
      i += n - 1;
      continue;
    }
    if ((path[i] == '/' || path[i] == '\\') && i != 0 && i + 1 != path.size()) cut = i + 1;
  }
  return cut;
}

}  // namespace

uint64_t cacheBudget() { return static_cast<uint32_t>(sprite::cacheMaxBytes()); }

std::string normalisePath(std::string_view path) {
  std::string out(path);
  for (size_t i = 0; i < out.size(); ++i) {
    if (const size_t n = charLength(out, i); n > 1) {
      i += n - 1;
      continue;
    }
    if (out[i] == '\\') out[i] = '/';
  }
  return out;
}

std::string highResolutionChoice(std::string_view path, int& resolution) {
  resolution = 1;
  if (screenFacts().displayRate <= 1.0f) return std::string(path);
  std::string candidate = "z/" + std::string(path);
  if (!resource::resourceExists(candidate.c_str())) return std::string(path);
  resolution = 2;
  return candidate;
}

std::string baseOfDifference(std::string_view path, const char* name) {
  return normalisePath(std::string(path.substr(0, directoryLength(path))) + name);
}

namespace {

void reportLoad(const std::string& message, std::vector<std::string>* deferred) {
  if (deferred) deferred->push_back(message);
  else reportError(message);
}

// A header may declare far more pixels than its file holds. Pictures whose
// pixels would take more than the cache may hold (never less than the 256 MiB
// the default cache gets) or more than kMaxTiles of the largest textures are
// refused before their pixels are reserved.
constexpr uint64_t kPictureBytesFloor = uint64_t(256) << 20;

bool pictureAllowed(const char* path, const char* data, uint32_t size, std::vector<std::string>* deferred) {
  image::PictureSize d;
  if (!image::readPictureSize(reinterpret_cast<const unsigned char*>(data), size, d)) return true;
  if (d.width <= 0 || d.height <= 0) return true;  // the decoder refuses those
  const uint64_t pixels = uint64_t(d.width) * uint64_t(d.height);  // 64 bits hold 32 x 32
  const TextureLimits& lim = textureLimits();
  const uint64_t textured = uint64_t(kMaxTiles) * uint64_t(lim.maxWidth) * uint64_t(lim.maxHeight);
  const bool fitsTextures = lim.maxWidth <= 0 || lim.maxHeight <= 0 || pixels <= textured;
  if (fitsTextures && pixels <= std::max(cacheBudget(), kPictureBytesFloor) / 4) return true;
  reportLoad(std::string(path) + messageText(Message::PictureTooLarge) + std::to_string(d.width) + "x" +
                 std::to_string(d.height),
             deferred);
  return false;
}

}  // namespace

image::Image* readAndDecode(const char* path, FileBuffer& buffer, std::vector<std::string>* deferred) {
  uint32_t size = 0;
  if (deferred && !resource::resourceExists(path)) {
    deferred->push_back(std::string("\x01") + path);  // let the main thread's read report it
    return nullptr;
  }
  if (!resource::loadFile(path, buffer.data, size, buffer.capacity)) return nullptr;
  if (!pictureAllowed(path, buffer.data, size, deferred)) return nullptr;
  image::Image* picture = image::loadImage(reinterpret_cast<const unsigned char*>(buffer.data), int(size));
  if (!picture) reportLoad(std::string(path) + messageText(Message::PictureNotLoaded), deferred);
  return picture;
}

namespace {

// Where a load looks in the cache.
struct CacheLookup {
  std::string chosen;
  uint64_t key = 0, budget = 0;
  bool cached = false;
};

CacheLookup lookupFor(const char* path, int* resolution, bool useCache, bool choose) {
  CacheLookup l;
  l.chosen = path;
  if (choose) {
    int r = 1;
    l.chosen = highResolutionChoice(path, r);
    if (resolution) *resolution = r;
  }
  l.budget = cacheBudget();
  l.cached = useCache && l.budget != 0;
  l.key = crc64_hash(l.chosen.c_str());
  return l;
}

PictureRef cacheHit(const CacheLookup& l) {
  if (!l.cached) return {};
  std::lock_guard<std::mutex> hold(cacheState.lock);
  auto hit = cacheState.pictures.find(l.key);
  if (hit == cacheState.pictures.end()) return {};
  freshStamp(l.key);
  return hit->second;
}

void storeLookedUp(const CacheLookup& l, PictureRef picture) {
  std::lock_guard<std::mutex> hold(cacheState.lock);
  storeLocked(l.key, std::move(picture), l.budget);
}

// Whether a decoded picture goes into the cache at all (copies are made only then).
bool cacheTakes(const CacheLookup& l, const image::Image* picture) {
  return l.cached && pictureBytes(picture) <= l.budget;
}

// A miss: the caller gets the decoded picture, the cache a 32-bit copy.
image::Image* decodeAndStore(const CacheLookup& l) {
  image::Image* picture = readAndDecode(l.chosen.c_str(), cacheState.mainBuffer, nullptr);
  if (picture && cacheTakes(l, picture))
    if (image::Image* copy = headerCopy(picture)) storeLookedUp(l, adoptPicture(copy));
  return picture;
}

// The whole picture a difference image is laid on, owned; null after a report.
image::Image* wholeFromDifference(const char* path, const image::Image& difference, int* resolution, bool useCache) {
  std::string base = baseOfDifference(path, difference.name);
  image::Image* whole = loadPicture(base.c_str(), resolution, useCache, true);
  if (!whole) return nullptr;
  // Only read from: the difference image may be a cached one.
  image::compositeImage(whole, const_cast<image::Image*>(&difference), int(difference.mode), difference.left,
                        difference.top, 0);
  return whole;
}

}  // namespace

PictureRef adoptPicture(image::Image* picture) {
  if (!picture) return {};
  return PictureRef(picture, [](const image::Image* p) {
    image::Image* owned = const_cast<image::Image*>(p);
    image::freeImage(owned);
  });
}

image::Image* loadPicture(const char* path, int* resolution, bool useCache, bool choose) {
  const CacheLookup l = lookupFor(path, resolution, useCache, choose);
  if (PictureRef hit = cacheHit(l)) {
    image::Image* copy = headerCopy(hit.get());
    if (!copy) reportError(l.chosen + messageText(Message::NotLoadedFromCache));
    return copy;
  }
  return decodeAndStore(l);
}

PictureRef loadSharedPicture(const char* path, int* resolution, bool useCache, bool choose) {
  const CacheLookup l = lookupFor(path, resolution, useCache, choose);
  if (PictureRef hit = cacheHit(l)) return hit;
  PictureRef decoded = adoptPicture(readAndDecode(l.chosen.c_str(), cacheState.mainBuffer, nullptr));
  if (!decoded || !cacheTakes(l, decoded.get())) return decoded;
  // A 32-bit picture is what the cache would copy it into: it is shared instead.
  PictureRef stored = decoded->depth == 32 ? decoded : adoptPicture(headerCopy(decoded.get()));
  if (stored) storeLookedUp(l, std::move(stored));
  return decoded;
}

bool composeDifference(const char* path, image::Image*& picture, int* resolution, bool useCache) {
  if (!picture || picture->name[0] == 0) return picture != nullptr;
  image::Image* whole = wholeFromDifference(path, *picture, resolution, useCache);
  image::freeImage(picture);
  picture = whole;
  return whole != nullptr;
}

image::Image* loadWholePicture(const char* path, int* resolution, bool useCache) {
  image::Image* picture = loadPicture(path, resolution, useCache, true);
  if (picture && !composeDifference(path, picture, resolution, useCache)) return nullptr;
  return picture;
}

PictureRef loadWholeSharedPicture(const char* path, int* resolution, bool useCache) {
  PictureRef picture = loadSharedPicture(path, resolution, useCache, true);
  if (!picture || picture->name[0] == 0) return picture;
  return adoptPicture(wholeFromDifference(path, *picture, resolution, useCache));
}

void preloadInto(const std::string& path, uint64_t budget, FileBuffer& buffer, std::vector<std::string>* deferred,
                 int depth) {
  int r = 1;
  std::string chosen = highResolutionChoice(path, r);
  if (budget == 0) return;
  const uint64_t key = crc64_hash(chosen.c_str());
  {
    std::lock_guard<std::mutex> hold(cacheState.lock);
    if (cacheState.pictures.count(key)) {
      freshStamp(key);
      return;
    }
  }
  image::Image* picture = readAndDecode(chosen.c_str(), buffer, deferred);
  if (!picture) return;
  std::string base = picture->name[0] ? baseOfDifference(path, picture->name) : std::string();
  picture->depth = 32;  // what a hit hands out, as for pictures the loader stores
  PictureRef stored = adoptPicture(picture);
  {
    std::lock_guard<std::mutex> hold(cacheState.lock);
    storeLocked(key, std::move(stored), budget);
  }
  // A difference image names its base; a chain of them is bounded so that
  // two pictures naming each other cannot recurse for ever.
  if (!base.empty() && depth < 8) preloadInto(base, budget, buffer, deferred, depth + 1);
}

FileBuffer& mainFileBuffer() { return cacheState.mainBuffer; }

void preloadPicture(const char* path) { preloadInto(path, cacheBudget(), cacheState.mainBuffer, nullptr, 0); }

void keepOnly(const std::vector<uint64_t>& keys) {
  std::lock_guard<std::mutex> hold(cacheState.lock);
  std::vector<uint64_t> drop;
  for (const auto& [key, picture] : cacheState.pictures) {
    bool keep = false;
    for (uint64_t k : keys) keep = keep || k == key;
    if (!keep) drop.push_back(key);
  }
  for (uint64_t key : drop) evictKey(key);
}

uint64_t cacheBytesUsed() {
  std::lock_guard<std::mutex> hold(cacheState.lock);
  return cacheState.bytes;
}

size_t cacheCount() {
  std::lock_guard<std::mutex> hold(cacheState.lock);
  return cacheState.pictures.size();
}

std::vector<uint64_t> cacheAgeOrder() {
  std::lock_guard<std::mutex> hold(cacheState.lock);
  std::vector<uint64_t> keys;
  for (const auto& [stamp, key] : cacheState.age) keys.push_back(key);
  return keys;
}

bool cacheHolds(std::string_view pathAfterChoice) {
  std::lock_guard<std::mutex> hold(cacheState.lock);
  return cacheState.pictures.count(crc64_hash(pathAfterChoice)) != 0;
}

void clearCache() {
  waitForLookaheadWorker();
  std::lock_guard<std::mutex> hold(cacheState.lock);
  cacheState.pictures.clear();
  cacheState.stamps.clear();
  cacheState.age.clear();
  cacheState.bytes = 0;
  cacheState.counter = 0;
  std::free(cacheState.mainBuffer.data);
  cacheState.mainBuffer = {};
}

uint64_t cacheSizeForMemory(uint64_t available) {
  constexpr uint64_t MiB = 1u << 20;
  if (available > 512 * MiB) return 256 * MiB;
  if (available >= 256 * MiB) return available - 256 * MiB;
  return 0;
}

void applyCacheAutoSize() {
  if (!sprite::cacheSizedForMemory()) return;
  uint64_t available = 0;
  if (std::FILE* f = std::fopen("/proc/meminfo", "r")) {
    char line[256];
    unsigned long long kb = 0;
    while (std::fgets(line, sizeof line, f))
      if (std::sscanf(line, "MemAvailable: %llu kB", &kb) == 1) available = uint64_t(kb) * 1024;
    std::fclose(f);
  }
  sprite::setCacheMaxBytes(static_cast<int32_t>(cacheSizeForMemory(available)));
}

}  // namespace velmora::sprite
