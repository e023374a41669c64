// velmora-pack new: the templates built into the tool, and the game's sounds
// played from notes: a looping theme and two button sounds.
#include "starter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <vector>

#include "vorbis_encode.h"
#include "wave_file.h"

namespace velmora::tools {

// Made at build time from tools/starter/ (embed_starter.cmake).
struct StarterFile {
  const char* path;
  const unsigned char* bytes;
  size_t size;
};
extern const StarterFile kStarterFiles[];
extern const size_t kStarterFileCount;

namespace {

namespace fs = std::filesystem;

constexpr int kRate = 22050;
constexpr double kPi = 3.14159265358979323846;
constexpr double kBeatsPerMinute = 84;
constexpr float kMusicQuality = 0.1f;  // plenty for soft plucks and pads, and small

bool writeBytes(const fs::path& path, const void* bytes, size_t size) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (out.write(static_cast<const char*>(bytes), static_cast<std::streamsize>(size))) return true;
  std::fprintf(stderr, "velmora-pack: cannot write %s\n", path.c_str());
  return false;
}

double hz(int semitonesFromA4) { return 440.0 * std::pow(2.0, semitonesFromA4 / 12.0); }

// A plucked note that has died away by its end, so that the loop joins
// without a click.
void pluck(std::vector<float>& s, double start, double seconds, int note, double gain) {
  const size_t from = static_cast<size_t>(start * kRate), n = static_cast<size_t>(seconds * kRate);
  for (size_t i = 0; i < n && from + i < s.size(); ++i) {
    const double t = double(i) / kRate, fade = 1.0 - double(i) / n;
    const double env = std::min(1.0, t * 300) * std::exp(-t * 4.0) * fade;
    s[from + i] += float(gain * env * (std::sin(2 * kPi * hz(note) * t) + 0.25 * std::sin(4 * kPi * hz(note) * t)));
  }
}

// A soft held chord tone that swells and fades within its span.
void pad(std::vector<float>& s, double start, double seconds, int note, double gain) {
  const size_t from = static_cast<size_t>(start * kRate), n = static_cast<size_t>(seconds * kRate);
  for (size_t i = 0; i < n && from + i < s.size(); ++i) {
    const double t = double(i) / kRate, k = double(i) / n;
    const double env = std::sin(kPi * k) * std::sin(kPi * k);
    s[from + i] += float(gain * env * std::sin(2 * kPi * hz(note) * t + 0.3 * std::sin(2 * kPi * 0.5 * t)));
  }
}

// Eight bars of F, Dm, B flat and C, twice: pads under a rising arpeggio.
std::vector<float> theme() {
  const double beat = 60.0 / kBeatsPerMinute, bar = 4 * beat;
  const int chords[4][3] = {{-16, -12, -9}, {-19, -16, -12}, {-23, -19, -16}, {-21, -17, -14}};
  const int pattern[8] = {0, 1, 2, 4, 2, 1, 3, 5};  // chord tones; 3.. are an octave up
  std::vector<float> s(static_cast<size_t>(8 * bar * kRate), 0.0f);
  for (int b = 0; b < 8; ++b) {
    const int* c = chords[b % 4];
    for (int k = 0; k < 3; ++k) pad(s, b * bar, bar, c[k], 0.06);
    pad(s, b * bar, bar, c[0] - 12, 0.08);
    for (int e = 0; e < 8; ++e) {
      const int tone = pattern[e];
      pluck(s, b * bar + e * beat / 2, beat * 1.5, c[tone % 3] + 12 * (1 + tone / 3), 0.09);
    }
    if (b >= 4) pluck(s, b * bar, bar, c[(b + 1) % 3] + 24, 0.07);  // a high answer in the second half
  }
  return s;
}

std::string wave(const std::vector<float>& s) { return velmora::tools::waveFile(s, 1, kRate); }

// A sine that glides from one pitch to another and dies away.
std::vector<float> blip(double from, double to, double seconds, double gain) {
  std::vector<float> s(static_cast<size_t>(seconds * kRate));
  double phase = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    const double t = double(i) / kRate, k = t / seconds;
    phase += 2 * kPi * (from + (to - from) * k) / kRate;
    s[i] = float(gain * std::sin(phase) * std::min(1.0, t * 800) * (1 - k) * (1 - k));
  }
  return s;
}

}  // namespace

bool makeStarterSounds(const fs::path& res) {
  const std::vector<float> music = theme();
  const std::string ogg = encodeVorbis(static_cast<int64_t>(music.size()), kRate, {"TITLE=Starter theme"},
                                       [&](int64_t frame, int) { return music[static_cast<size_t>(frame)]; }, kMusicQuality);
  const std::string click = wave(blip(1400, 700, 0.06, 0.5)), cursor = wave(blip(900, 1300, 0.05, 0.25));
  bool ok = writeBytes(res / "bgm/theme.ogg", ogg.data(), ogg.size());
  ok = writeBytes(res / "se/click.wav", click.data(), click.size()) && ok;
  return writeBytes(res / "se/cursor.wav", cursor.data(), cursor.size()) && ok;
}

bool writeStarterGame(const fs::path& dir, std::string& error) {
  std::error_code ec;
  if (fs::exists(dir, ec) && !(fs::is_directory(dir, ec) && fs::is_empty(dir, ec))) {
    error = dir.string() + " exists and is not an empty folder";
    return false;
  }
  bool ok = true;
  for (size_t i = 0; i < kStarterFileCount; ++i)
    ok = writeBytes(dir / kStarterFiles[i].path, kStarterFiles[i].bytes, kStarterFiles[i].size) && ok;
  ok = drawStarterPictures(dir / "res") && ok;
  ok = makeStarterSounds(dir / "res") && ok;
  if (!ok) error = "some files of the game could not be written";
  return ok;
}

}  // namespace velmora::tools
