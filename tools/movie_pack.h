#pragma once
// Movie files for the engine: "THOR" from an Ogg Theora video, "MJPG" from
// still frames and their display times, each with an optional sound.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace velmora::tools {

struct MjpgFrame {
  uint32_t time;      // ms from the movie's start
  std::string bytes;  // one image file; empty repeats the previous frame
};

// false with a message in error when the input is not usable.
bool buildTheoraMovie(const std::string& video, const std::string& sound, std::string& out, std::string& error);
bool buildMjpgMovie(const std::vector<MjpgFrame>& frames, uint32_t duration, const std::string& sound,
                    std::string& out, std::string& error);

// velmora-pack movie: OUT (--theora VIDEO | --mjpg DIR (--fps N | --times FILE)
// [--duration MS]) [--sound FILE]; empty strings for options not given.
struct MovieOptions {
  std::string out, theora, mjpg, sound, fps, times, duration;
};
using FileReader = bool (*)(const std::filesystem::path&, std::string&);
using FileWriter = bool (*)(const std::filesystem::path&, const std::string&);
// Returns the exit code; 2 when the options do not make a movie.
int packMovie(const MovieOptions& options, FileReader read, FileWriter write);

}  // namespace velmora::tools
