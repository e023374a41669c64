#pragma once
// Movie playback records and what their workers share with the main thread.
// The main thread owns the list and the sprites; a worker touches only its
// record's hand-off (under handoff.lock), the atomics (state, start, progress,
// plays), the source and decoder, which the main thread leaves alone until the
// worker has finished, and in mode 0 the frame images it publishes one by one
// through ready[].
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "movie/movie.h"

namespace velmora::image {
struct Image;
}

namespace velmora::movie {

class TheoraVideo;
constexpr size_t kHeaderSize = 44;

enum ModeBit : int { kDecodeWhilePlaying = 1, kStreamed = 2, kTheora = 4 };

struct MovieHeader {
  bool theora = false;
  uint32_t streamSize = 0;  // Theora: the stream's bytes after the sound; 0 = to the end
  int32_t duration = 0, frameCount = 0, width = 0, height = 0;
  uint32_t soundSize = 0;
};

// The file's bytes, held whole or read from an open file (streamed mode).
class MovieSource {
 public:
  ~MovieSource();
  std::shared_ptr<const std::string> bytes;
  std::FILE* file = nullptr;
  uint64_t base = 0, size = 0;  // the resource inside the file
  // Exactly n bytes at offset, or false.
  bool read(uint64_t offset, void* out, size_t n);
};

// What the worker hands to the frame step: the newest picture, messages to
// report on the main thread.
struct Handoff {
  std::mutex lock;
  std::vector<uint32_t> pixels;  // width x height, 0 = none yet
  uint64_t sequence = 0;
  std::vector<std::string> messages;
};

// What one step of a worker did: nothing yet due (a thread pauses a
// moment), some work (it goes on at once), or the end of the worker.
enum class StepResult { kIdle, kWorked, kDone };

struct Movie;

// Where a worker's loop stands between two steps; only the worker's step
// touches it.
struct WorkerCursor {
  bool begun = false, started = false;
  bool playEnding = false;  // MJPG: the chunks are through, the play's time runs out
  uint64_t at = 0;          // MJPG: the next chunk
  int64_t awaiting = -1;    // MJPG playing: the time of the chunk at `at`, not due yet
  size_t index = 0;         // mode 0: the next frame slot
  int64_t lastFrame = -1;   // Theora: the frame handed over last
  image::Image* previous = nullptr;  // mode 0: the frame a repeat copies
  std::vector<uint8_t> buffer;
  std::vector<uint32_t> work;
};
using WorkerStep = StepResult (*)(Movie& m);

struct Movie {
  int sprite = 0;
  int mode = 0;
  std::string name;
  MovieHeader header;
  std::atomic<MovieState> state{kStartRequested};
  std::atomic<uint32_t> start{0};
  // The engine time up to which the worker has handled everything due
  // (the virtual clock waits for it, so runs repeat exactly).
  std::atomic<uint32_t> progress{0};
  std::atomic<int> plays{0};
  int nextFrame = 0;
  int shownFrame = -1;
  uint64_t shownSequence = 0;
  std::unique_ptr<MovieSource> source;
  std::string theoraStream;
  std::unique_ptr<TheoraVideo> video;  // loaded on the main thread, used by the worker
  Handoff handoff;
  // Mode 0: every frame decoded in advance.
  std::vector<image::Image*> frames;
  std::unique_ptr<std::atomic<bool>[]> ready;
  // The worker: a thread that repeats `step`, or (single-thread mode)
  // steps run by the frame step and the engine's waits.
  WorkerStep step = nullptr;
  WorkerCursor cursor;
  std::thread worker;
  bool threadless = false;  // single-thread mode
  ~Movie();
};
using MoviePtr = std::shared_ptr<Movie>;

// ---- files ---------------------------------------------------------------
// Reads and checks the 44-byte header; on failure the message (after the
// sprite number) is in error.
bool readHeader(MovieSource& source, MovieHeader& header, std::string& error);
// The file of a movie: whole through the resource layer, or (streamed) an
// open file where the resource allows it. error: the system's text.
std::unique_ptr<MovieSource> openSource(const std::string& path, bool streamed, std::string& error);

// MJPG: after the header and the sound, 12-byte chunk headers ("00dc" frame,
// "EOF " end; time in ms, size of the data that follows).
constexpr size_t kChunkHeader = 12;
struct Chunk {
  char tag[4];
  uint32_t time, size;
};
bool readChunk(MovieSource& s, uint64_t at, Chunk& c);
bool isFrame(const Chunk& c);
bool isEnd(const Chunk& c);
// Reads a frame chunk's data into buffer (grown as needed); false when the
// file does not hold it.
bool chunkData(MovieSource& s, uint64_t at, const Chunk& c, std::vector<uint8_t>& buffer);
image::Image* decodeChunk(const std::vector<uint8_t>& data, uint32_t size);
// Opens m.name and reads its header (frame slots prepared for mode 0); on
// failure the message (after the sprite number) is in error.
bool openMovieFile(Movie& m, std::string& error);
// Decoder, embedded sound, start time (now + delay) and worker.
bool startMovie(const MoviePtr& m, int delay);

// ---- the movie list (main thread) ------------------------------------------
std::map<int, MoviePtr>& movies();
// Stops the worker (1000 ms limit), frees what it leaves, stops the movie's
// sound; the caller removes the entry.
void stopMovie(Movie& m);
void reportOnMainThread(const std::string& message);

// ---- workers ---------------------------------------------------------------
// One iteration of each worker's loop, never sleeping; kDone once it has
// finished (state kFinished, what it held let go).
StepResult theoraStep(Movie& m);
StepResult mjpgPlayingStep(Movie& m);
StepResult mjpgAdvanceStep(Movie& m);
// A worker thread: the steps, with a pause of a millisecond while idle.
void runWorker(MoviePtr m);
// Single-thread mode: steps until the worker has done what is due now (and
// in mode 0 decodes ahead for a little while); false once it has ended.
bool stepWithoutThread(Movie& m);
// Copies a decoded picture into a width x height frame, clipped, black outside.
void fitPicture(const image::Image* picture, int width, int height, std::vector<uint32_t>& out);
// Publishes the worker's frame (swapped out of work).
void publish(Movie& m, std::vector<uint32_t>& work);
void queueMessage(Movie& m, std::string message);

}  // namespace velmora::movie
