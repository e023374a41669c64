#pragma once
// Movies in sprites: "THOR" (Theora) and "MJPG" (a chain of still images)
// files decoded on one worker thread per movie sprite, shown by the frame
// step, with their embedded sound on sound channel 0.
#include <cstdint>

namespace velmora::image {
struct Image;
}

namespace velmora::movie {

// Binds theora_create and sp_ani; call once after the catalogue is
// registered.
void bindMovieCores();
// Frame step (render::addFrameUpdate): shows due frames, ends finished movies.
void movieFrameStep();
// Single-thread mode: the movie workers' steps, from the engine's waits;
// returns how long they can go without the next one, in ms.
uint32_t stepMoviesWithoutThreads();
// Stops every movie worker (before the sprite table and the sound go).
void releaseMovies();

// Adds the ImageF lines to saved games (base/snapshot.h).
void registerMovieSection();
// A movie sprite's placeholder picture: the movie opens again and starts
// from its first frame with the plays it had left (null when it cannot).
image::Image* rebuildMovie(int n);

// Where a movie's worker is; the main thread asks for start and stop, the
// worker reports running and finished.
enum MovieState : int { kStopRequested = 0, kStartRequested = 1, kRunning = 2, kFinished = -1 };

// The playback record of a movie sprite, for saves and tests.
struct MovieInfo {
  int mode = 0;  // bit 0 decode while playing, bit 1 streamed, bit 2 Theora
  int plays = 0;
  MovieState state = kStopRequested;
  int frameCount = 0, duration = 0;
  uint32_t soundSize = 0;
  int nextFrame = 0;
};
bool movieInfo(int sprite, MovieInfo& out);
// Whether the movie in a sprite still moves (sp_alv's bit 0): false once a
// Theora movie's duration has passed; it then holds its last picture.
bool moviePlaying(int sprite);
// Stops the movie of a sprite and forgets it (its picture is replaced or the
// sprite deleted).
void stopAndRemove(int sprite);

}  // namespace velmora::movie
