// Makes the demo game's sounds and the opening movie's video at build time,
// so that the repository holds no recordings: title music with a loop
// comment, the menu's hover and click effects, the movie's chime and frames.
//   demo_media ART_DIR WORK_DIR
// writes ART_DIR/bgm/title.ogg, ART_DIR/se/hover.wav, ART_DIR/se/click.wav,
// ART_DIR/vo/welcome.wav (a hummed stand-in that the build replaces with a
// spoken line when espeak-ng is there), WORK_DIR/opening.ogv and
// WORK_DIR/chime.wav.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "theora_encode.h"
#include "vorbis_encode.h"
#include "wave_file.h"

namespace {

namespace fs = std::filesystem;
constexpr int kRate = 44100;
constexpr double kPi = 3.14159265358979323846;

using Stereo = std::vector<float>;  // interleaved left, right

bool save(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (out.write(bytes.data(), std::streamsize(bytes.size()))) return true;
  std::fprintf(stderr, "demo_media: cannot write %s\n", path.c_str());
  return false;
}

double noteHz(int semitonesFromA4) { return 440.0 * std::pow(2.0, semitonesFromA4 / 12.0); }

// A soft plucked note that has died away completely by its end, so that
// bars can be cut and joined anywhere between notes.
void addNote(Stereo& s, int64_t at, int64_t length, double hz, double gain, double pan) {
  for (int64_t i = 0; i < length && at + i < int64_t(s.size() / 2); ++i) {
    double t = double(i) / kRate, left = double(length - i) / double(length);
    double env = std::min(1.0, t * 200.0) * std::exp(-t * 3.0) * left;
    double v = gain * env * (std::sin(2 * kPi * hz * t) + 0.3 * std::sin(4 * kPi * hz * t));
    s[size_t(2 * (at + i))] += float(v * (1.0 - pan));
    s[size_t(2 * (at + i) + 1)] += float(v * (1.0 + pan));
  }
}

// Two bars of introduction, then eight bars that loop: 90 beats a minute.
Stereo titleMusic(int64_t& loopStart, int64_t& loopEnd) {
  const int64_t beat = kRate * 60 / 90;
  const int melody[] = {3, 7, 10, 7, 5, 8, 12, 8, 3, 7, 10, 15, 14, 10, 7, 5,
                        0, 3, 7, 3, 2, 5, 8, 5, 3, 7, 10, 7, 5, 3, 2, -2};
  const int bass[] = {-21, -16, -18, -14, -21, -16, -14, -19};
  loopStart = 8 * beat;
  loopEnd = loopStart + 32 * beat;
  Stereo s(size_t(2 * (loopEnd + beat)), 0.0f);
  for (int b = 0; b < 8; ++b) addNote(s, b * beat, beat, noteHz(bass[b % 2] + 12), 0.12, 0.0);
  for (int b = 0; b < 32; ++b) {
    const int64_t at = loopStart + b * beat;
    addNote(s, at, beat, noteHz(melody[b]), 0.16, 0.3);
    if (b % 4 == 0) addNote(s, at, 4 * beat, noteHz(bass[b / 4]), 0.2, -0.3);
  }
  s.resize(size_t(2 * loopEnd));
  return s;
}

std::string wave(const Stereo& s) { return velmora::tools::waveFile(s, 2, kRate); }

// A short rising blip for pointing at a button; a brighter two-tone click.
Stereo blip(double from, double to, double seconds, double gain) {
  Stereo s(size_t(2 * seconds * kRate));
  double phase = 0;
  for (size_t i = 0; i < s.size() / 2; ++i) {
    double t = double(i) / kRate, k = t / seconds;
    phase += 2 * kPi * (from + (to - from) * k) / kRate;
    float v = float(gain * std::sin(phase) * std::min(1.0, t * 400.0) * (1.0 - k) * (1.0 - k));
    s[2 * i] = s[2 * i + 1] = v;
  }
  return s;
}

Stereo chime(double seconds) {
  Stereo s(size_t(2 * seconds * kRate), 0.0f);
  const int notes[] = {3, 10, 15, 22};
  for (int i = 0; i < 4; ++i) addNote(s, int64_t(i * 0.35 * kRate), int64_t((seconds - i * 0.35) * kRate), noteHz(notes[i]), 0.2, (i - 1.5) / 3);
  return s;
}

// The opening: rings widening from the centre over a slow colour sweep,
// fading in and out.
void openingFrame(int f, int frames, int w, int h, std::vector<uint32_t>& px) {
  const double t = double(f) / frames, fade = std::min({1.0, t * 6.0, (1.0 - t) * 6.0});
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      double dx = x - w / 2.0, dy = y - h / 2.0, d = std::sqrt(dx * dx + dy * dy) / h;
      double ring = 0.5 + 0.5 * std::cos((d - t * 1.5) * 18.0);
      ring *= std::exp(-std::abs(d - t * 0.9) * 4.0);
      auto c = [&](double base) { return uint32_t(std::clamp(fade * (base * 60 + ring * 190), 0.0, 255.0)); };
      px[size_t(y * w + x)] = 0xFF000000u | c(0.3 + 0.3 * t) << 16 | c(0.2 + 0.5 * d) << 8 | c(0.8 - 0.3 * t);
    }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: demo_media ART_DIR WORK_DIR\n");
    return 2;
  }
  const fs::path art = argv[1], work = argv[2];
  int64_t a, b;
  Stereo music = titleMusic(a, b);
  const std::string loop = "COMMENT=setSample 0," + std::to_string(a) + "," + std::to_string(b);
  bool ok = save(art / "bgm/title.ogg", velmora::tools::encodeVorbis(b, kRate, {loop}, [&](int64_t f, int c) {
    return music[size_t(2 * f + c)];
  }));
  ok &= save(art / "se/hover.wav", wave(blip(880, 1320, 0.06, 0.25)));
  Stereo click = blip(660, 440, 0.04, 0.35), high = blip(1320, 1760, 0.07, 0.3);
  click.insert(click.end(), high.begin(), high.end());
  ok &= save(art / "se/click.wav", wave(click));
  Stereo hum(size_t(2 * 2.5 * kRate), 0.0f);
  for (int i = 0; i < 5; ++i) addNote(hum, int64_t(i * 0.45 * kRate), int64_t(0.45 * kRate), noteHz(-12 + (i % 3) * 2), 0.3, 0.0);
  ok &= save(art / "vo/welcome.wav", wave(hum));
  constexpr int kW = 640, kH = 360, kFps = 24, kFrames = 72;
  ok &= save(work / "chime.wav", wave(chime(3.0)));
  ok &= save(work / "opening.ogv", velmora::tools::encodeTheora(kW, kH, kFps, 1, kFrames, [](int f, std::vector<uint32_t>& px) {
    openingFrame(f, kFrames, kW, kH, px);
  }));
  return ok ? 0 : 1;
}
