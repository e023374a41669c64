#pragma once
// The one picture loader: high-resolution choice, the byte-budget image cache
// with least-recently-used eviction, difference-image composition, and the
// look-ahead that preloads the pictures coming script lines will ask for.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::image {
struct Image;
}

namespace velmora::sprite {

// Backslashes to slashes, stepping over double-byte characters.
std::string normalisePath(std::string_view path);

// "z/" + path when the display rate is above 1 and that picture exists in
// the archives or on disk (resolution 2); otherwise path (resolution 1).
std::string highResolutionChoice(std::string_view path, int& resolution);

// A picture several owners read: a cached one is never written again, so a
// cache hit hands out the cached record itself. Whoever needs to change the
// pixels works on a copy.
using PictureRef = std::shared_ptr<const image::Image>;
// Takes an owned picture (freed with the last reference).
PictureRef adoptPicture(image::Image* picture);

// The caller owns the result; null after a reported failure. resolution may
// be null; it is written only when choose is set.
image::Image* loadPicture(const char* path, int* resolution, bool useCache, bool choose);
// The same picture shared: a hit costs no copy.
PictureRef loadSharedPicture(const char* path, int* resolution, bool useCache, bool choose);
// Replaces a difference image by the whole picture (no-op for others);
// false when the base failed, the difference image is then freed.
bool composeDifference(const char* path, image::Image*& picture, int* resolution, bool useCache);
// loadPicture + composeDifference, as sprites, masks and transitions load.
image::Image* loadWholePicture(const char* path, int* resolution, bool useCache);
// The same shared: a difference image yields a new whole picture of its own.
PictureRef loadWholeSharedPicture(const char* path, int* resolution, bool useCache);
void preloadPicture(const char* path);

// ---- the cache ------------------------------------------------------------
// Budget is CacheMaxSize (bytes); 0 switches the cache off.
uint64_t cacheBytesUsed();
size_t cacheCount();
// Keys (crc64 of the path after the high-resolution choice), oldest first.
std::vector<uint64_t> cacheAgeOrder();
bool cacheHolds(std::string_view pathAfterChoice);
void clearCache();  // release, tests
// CacheAutoSize: when set, replaces CacheMaxSize from the available memory.
// The display calls it once the main window exists.
void applyCacheAutoSize();
uint64_t cacheSizeForMemory(uint64_t availableBytes);

// ---- look-ahead -----------------------------------------------------------
void setLookaheadPattern(std::string_view command, std::string_view pattern);
void addLookaheadStop(std::string_view path);
// The pictures the coming lines of the sub-script slot will load.
std::vector<std::string> collectLookaheadPaths();
void runLookahead();
// Around a transition: the worker preloads while the main thread draws.
void startLookahead();
void finishLookahead();
bool lookaheadWorkerRunning();
// Voice names of the next voiced text line, handed to the voice preloader.
void runVoiceLookahead();
// A save being restored stops the look-ahead.
void setRestoreRunning(bool on);
// Lookahead tables emptied (tests).
void clearLookaheadTables();

}  // namespace velmora::sprite
