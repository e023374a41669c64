#include "movie_pack.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>

#include "image/image.h"
#include "movie/theora.h"

namespace velmora::tools {
namespace {

namespace fs = std::filesystem;

void put32(std::string& s, uint32_t v) {
  for (int i = 0; i < 4; ++i) s += char(v >> (8 * i));
}

std::string header(const char* magic, uint32_t streamSize, uint32_t duration, uint32_t frames, uint32_t width,
                   uint32_t height, uint32_t soundSize) {
  std::string h(magic, 4);
  put32(h, streamSize);
  h.append(12, '\0');
  put32(h, duration), put32(h, frames), put32(h, width), put32(h, height);
  put32(h, 0);
  put32(h, soundSize);
  return h;
}

bool soundUsable(const std::string& sound, std::string& error) {
  if (sound.empty() || sound.compare(0, 4, "RIFF") == 0 || sound.compare(0, 4, "OggS") == 0) return true;
  error = "the sound is neither a WAVE nor an Ogg file";
  return false;
}

bool imageSize(const std::string& bytes, int& width, int& height) {
  if (bytes.size() > 0x7FFFFFFF) return false;
  image::Image* im = image::loadImage(reinterpret_cast<const unsigned char*>(bytes.data()), int(bytes.size()));
  if (!im) return false;
  width = im->width, height = im->height;
  image::freeImage(im);
  return true;
}

// The frames of a folder in name order, with times from --fps or --times.
bool readFrames(const fs::path& dir, const std::string& fps, const std::string& timesFile, FileReader read,
                std::vector<MjpgFrame>& frames, uint32_t& step, std::string& error) {
  std::vector<fs::path> files;
  for (const auto& e : fs::directory_iterator(dir))
    if (e.is_regular_file()) files.push_back(e.path());
  std::sort(files.begin(), files.end());
  if (files.empty()) return error = "no frames in " + dir.string(), false;
  std::vector<uint32_t> times;
  if (!timesFile.empty()) {
    std::string text;
    if (!read(timesFile, text)) return error = "cannot read " + timesFile, false;
    std::istringstream in(text);
    for (long t; in >> t;) times.push_back(uint32_t(std::clamp<long>(t, 0, UINT32_MAX)));
    if (times.size() != files.size()) return error = "--times gives " + std::to_string(times.size()) +
                                                     " times for " + std::to_string(files.size()) + " frames", false;
    if (!std::is_sorted(times.begin(), times.end())) return error = "--times goes back in time", false;
  } else {
    double rate = std::atof(fps.c_str());
    if (!(rate > 0) || !std::isfinite(rate)) return error = "give --fps N or --times FILE", false;
    // Every time and the step must be whole milliseconds that fit 32 bits.
    if (!(double(files.size()) * 1000.0 / rate <= double(UINT32_MAX)))
      return error = "--fps " + fps + " puts the frames past 2^32 ms", false;
    for (size_t i = 0; i < files.size(); ++i) times.push_back(uint32_t(double(i) * 1000.0 / rate));
    step = uint32_t(1000.0 / rate);
  }
  std::string previous;
  for (size_t i = 0; i < files.size(); ++i) {
    MjpgFrame f{times[i], {}};
    if (!read(files[i], f.bytes)) return error = "cannot read " + files[i].string(), false;
    if (f.bytes == previous) f.bytes.clear();  // a repeated picture costs a chunk header only
    else previous = f.bytes;
    frames.push_back(std::move(f));
  }
  if (!step) step = frames.size() > 1 ? frames.back().time - frames[frames.size() - 2].time : 1000;
  return true;
}

}  // namespace

bool buildTheoraMovie(const std::string& video, const std::string& sound, std::string& out, std::string& error) {
  movie::TheoraVideo v;
  if (!v.load(video)) return error = "the video has no Theora stream", false;
  if (!soundUsable(sound, error)) return false;
  const double fps = v.framesPerSecond();
  if (fps <= 0) return error = "the video has no frame rate", false;
  const double ms = double(v.frameCount()) * 1000.0 / fps + 0.5;
  if (!(ms <= double(UINT32_MAX))) return error = "the video's frame rate makes it longer than 2^32 ms", false;
  const uint32_t duration = uint32_t(ms);
  out = header("THOR", uint32_t(video.size()), duration, uint32_t(v.frameCount()), uint32_t(v.width()),
               uint32_t(v.height()), uint32_t(sound.size()));
  out += sound;
  out += video;
  return true;
}

bool buildMjpgMovie(const std::vector<MjpgFrame>& frames, uint32_t duration, const std::string& sound,
                    std::string& out, std::string& error) {
  int width = 0, height = 0;
  auto first = std::find_if(frames.begin(), frames.end(), [](const MjpgFrame& f) { return !f.bytes.empty(); });
  if (first == frames.end() || !imageSize(first->bytes, width, height)) return error = "the first frame is not a picture", false;
  if (!soundUsable(sound, error)) return false;
  out = header("MJPG", 0, duration, uint32_t(frames.size()), uint32_t(width), uint32_t(height), uint32_t(sound.size()));
  out += sound;
  for (const MjpgFrame& f : frames) {
    out += "00dc";
    put32(out, f.time);
    put32(out, uint32_t(f.bytes.size()));
    out += f.bytes;
  }
  out += "EOF ";
  put32(out, 0), put32(out, 0);
  return true;
}

int packMovie(const MovieOptions& o, FileReader read, FileWriter write) {
  if (o.out.empty() || o.theora.empty() == o.mjpg.empty()) return 2;
  std::string sound, out, error;
  if (!o.sound.empty() && !read(o.sound, sound)) error = "cannot read " + o.sound;
  bool ok = error.empty();
  if (ok && !o.theora.empty()) {
    std::string video;
    ok = read(o.theora, video) ? buildTheoraMovie(video, sound, out, error) : (error = "cannot read " + o.theora, false);
  } else if (ok) {
    std::vector<MjpgFrame> frames;
    uint32_t step = 0;
    ok = readFrames(o.mjpg, o.fps, o.times, read, frames, step, error);
    uint32_t duration = o.duration.empty() ? (ok ? frames.back().time + step : 0) : uint32_t(std::atol(o.duration.c_str()));
    ok = ok && buildMjpgMovie(frames, duration, sound, out, error);
  }
  if (!ok) {
    std::fprintf(stderr, "velmora-pack movie: %s\n", error.c_str());
    return 1;
  }
  return write(o.out, out) ? 0 : 1;
}

}  // namespace velmora::tools
