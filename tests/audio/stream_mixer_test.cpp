// File readers, the loop comment and the mixer's exact output.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "audio/mixer.h"
#include "audio/sound_files.h"
#include "audio/stream.h"
#include "base/textconv.h"

namespace velmora::audio {
namespace {

std::shared_ptr<const std::string> shared(std::string s) { return std::make_shared<const std::string>(std::move(s)); }

std::vector<int16_t> ramp(int frames, int channels) {
  std::vector<int16_t> s;
  for (int f = 0; f < frames; ++f)
    for (int c = 0; c < channels; ++c) s.push_back(int16_t(f * 3 + c));
  return s;
}

TEST(SoundFiles, TypeFromSignatureAndFirstPacket) {
  EXPECT_EQ(detectType("RIFF...."), kTypeWave);
  std::string ogg(27, '\0');
  ogg.replace(0, 4, "OggS");
  ogg[26] = 1;  // one segment: the packet starts at 28
  std::string vorbis = ogg + "?" + std::string("\x01vorbis\0", 8);
  EXPECT_EQ(detectType(vorbis), kTypeVorbis);
  EXPECT_EQ(detectType(ogg + "?" + "OpusHead"), kTypeOpus);
  EXPECT_EQ(detectType(ogg + "?" + "\x01vorb"), kTypeUnknown);  // cut short
  EXPECT_EQ(detectType("ID3\x03"), kTypeUnknown);
  EXPECT_EQ(detectType(""), kTypeUnknown);
}

TEST(SoundFiles, CanonicalAndChunkedWaveReadAlike) {
  for (bool chunked : {false, true}) {
    auto samples = ramp(1000, 2);
    std::string bytes = chunked ? test::chunkedWaveBytes(samples, 2, 22050) : test::waveBytes(samples, 2, 22050);
    std::string error;
    auto s = openStream(shared(bytes), kTypeWave, "a.wav", error);
    ASSERT_TRUE(s) << error;
    EXPECT_EQ(s->format.rate, 22050);
    EXPECT_EQ(s->totalFrames(), 1000);
    EXPECT_EQ(s->loopC, 1000);
    EXPECT_EQ(s->totalMs(), 1000 * 1000 / 22050);
    ASSERT_TRUE(s->seekFrame(998));
    uint8_t out[64];
    EXPECT_EQ(s->read(out, 64), 8);  // clamped at the end of the data
    EXPECT_EQ(int16_t(out[0] | out[1] << 8), 998 * 3);
    EXPECT_EQ(s->read(out, 64), 0);
    s->seekFrame(-5);
    EXPECT_EQ(s->tellFrame(), 0);
  }
}

TEST(SoundFiles, DamagedOrUnsupportedWaveIsRefused) {
  std::string good = test::waveBytes(ramp(100, 1), 1, 44100);
  std::string error;
  // A data size beyond the file is cut to the bytes present.
  std::string truncated = good.substr(0, good.size() - 51);
  auto s = openStream(shared(truncated), kTypeWave, "t.wav", error);
  ASSERT_TRUE(s);
  EXPECT_EQ(s->totalFrames(), 74);
  std::string floatFormat = good;
  floatFormat[20] = 3;
  EXPECT_FALSE(openStream(shared(floatFormat), kTypeWave, "f.wav", error));
  EXPECT_EQ(error, "f.wav" + sj(" 未対応の形式です"));
  std::string badLength = good;
  badLength[16] = char(0xF0), badLength[19] = char(0x7F);  // fmt chunk claims 2 GB
  EXPECT_FALSE(openStream(shared(badLength.substr(0, 40)), kTypeWave, "b.wav", error));
  EXPECT_FALSE(openStream(shared("RIFF"), kTypeWave, "r.wav", error));
  EXPECT_FALSE(openStream(shared(good), kTypeOpus, "o.ogg", error));
  EXPECT_EQ(error, "o.ogg" + sj(" 未対応の形式です"));
}

TEST(SoundFiles, CorruptedHeadersNeverReadOutOfBounds) {
  std::string good = test::chunkedWaveBytes(ramp(64, 2), 2, 44100);
  uint32_t seed = 7;
  for (int round = 0; round < 3000; ++round) {
    std::string bad = good.substr(0, good.size() - size_t(round % 40));
    for (int k = 0; k < 3; ++k) {
      seed = seed * 1103515245u + 12345u;
      bad[(seed >> 8) % std::min<size_t>(bad.size(), 80)] = char(seed >> 24);
    }
    std::string error;
    auto s = openStream(shared(bad), detectType(bad) == kTypeWave ? kTypeWave : kTypeVorbis, "z", error);
    if (!s) continue;
    std::vector<uint8_t> out(1 << 16);
    while (s->read(out.data(), long(out.size())) > 0) {}
  }
}

TEST(LoopComment, DirectivesValuesAndCounts) {
  int64_t a = -1, b = -1, c = -1;
  bool bad = false;
  EXPECT_TRUE(parseLoopComment("COMMENT=setSample 0,44100,441000", 44100, a, b, c, bad));
  EXPECT_EQ(a, 0); EXPECT_EQ(b, 44100); EXPECT_EQ(c, 441000);
  EXPECT_TRUE(parseLoopComment("COMMENT= \tsetTime 500, 1000,-2000 \r\n", 48000, a, b, c, bad));
  EXPECT_EQ(a, 24000); EXPECT_EQ(b, 48000); EXPECT_EQ(c, -96000);
  // Only the text up to a second '=' counts; letters in numbers count 10 and up.
  EXPECT_TRUE(parseLoopComment("COMMENT=setSample 1,2,3=4,5", 44100, a, b, c, bad));
  EXPECT_EQ(c, 3);
  EXPECT_TRUE(parseLoopComment("COMMENT=setSample 1a,2,3", 44100, a, b, c, bad));
  EXPECT_EQ(a, 20);
  EXPECT_FALSE(parseLoopComment("COMMENT=setSample 0,44100", 44100, a, b, c, bad));
  EXPECT_TRUE(bad);
  EXPECT_FALSE(parseLoopComment("COMMENT=setLoop 0,1,2", 44100, a, b, c, bad));
  EXPECT_FALSE(bad);
  EXPECT_FALSE(parseLoopComment("COMMENT", 44100, a, b, c, bad));
}

TEST(SoundFiles, VorbisWithLoopCommentAndWrongCount) {
  auto tone = [](int64_t f, int ch) { return float(std::sin(double(f) * (ch ? 0.05 : 0.03)) * 0.5); };
  std::string error;
  auto s = openStream(shared(test::vorbisBytes(30000, 44100, {"TITLE=x", "COMMENT=setSample 10,100,20000"}, tone)),
                      kTypeVorbis, "m.ogg", error);
  ASSERT_TRUE(s) << error;
  EXPECT_TRUE(error.empty());
  EXPECT_EQ(s->totalFrames(), 30000);
  EXPECT_EQ(s->loopA, 10); EXPECT_EQ(s->loopB, 100); EXPECT_EQ(s->loopC, 20000);
  std::vector<uint8_t> pcm(8192);
  EXPECT_GT(s->read(pcm.data(), 8192), 0);
  ASSERT_TRUE(s->seekFrame(25000)) << s->totalFrames();
  EXPECT_EQ(s->tellFrame(), 25000);

  auto two = openStream(shared(test::vorbisBytes(5000, 22050, {"COMMENT=setSample 0,44100"}, tone)), kTypeVorbis,
                        "two.ogg", error);
  ASSERT_TRUE(two);
  EXPECT_EQ(error, "two.ogg" + sj(": 再生情報の引数の数が不正です"));
  EXPECT_EQ(two->loopC, 5000);  // the whole file
  EXPECT_FALSE(openStream(shared("OggS garbage"), kTypeVorbis, "g.ogg", error));
  EXPECT_EQ(error, "g.ogg" + sj(" コールバックが作成出来ませんでした"));
}

TEST(Levels, VolumeAndPanFormulas) {
  EXPECT_EQ(volumeLevel(100, 100, 100), 0);
  EXPECT_EQ(volumeLevel(50, 100, 100), -602);
  EXPECT_EQ(volumeLevel(0, 100, 100), kSilence);
  EXPECT_EQ(volumeLevel(100, 100, 0), kSilence);  // master mute: gain 0
  EXPECT_EQ(volumeLevel(5, 10, 100), -4602);  // exactly the threshold is still audible
  EXPECT_EQ(volumeLevel(4, 12, 100), kSilence);
  EXPECT_EQ(volumeLevel(10, 6, 100), -4443);
  EXPECT_EQ(panLevel(0), 0);
  EXPECT_EQ(panLevel(-100), -10000);
  EXPECT_EQ(panLevel(100), 10000);
  EXPECT_EQ(panLevel(-50), -602);
  EXPECT_EQ(panLevel(50), 602);
  EXPECT_EQ(levelFactor(kSilence), 0.0);
}

struct MixCase {
  std::vector<uint8_t> ring;
  MixSource source;
};
MixCase stereoRing(const std::vector<int16_t>& samples, int channels = 2, int rate = kDeviceRate) {
  MixCase m;
  for (int16_t v : samples) m.ring.push_back(uint8_t(v)), m.ring.push_back(uint8_t(uint16_t(v) >> 8));
  m.source.ring = m.ring.data();
  m.source.channels = channels;
  m.source.ringFrames = uint32_t(samples.size() / size_t(channels));
  m.source.rate = rate;
  return m;
}

TEST(Mixer, ExactOutputForVolumesAndPans) {
  MixCase m = stereoRing({10000, -10000, 20000, 4});
  int16_t out[8];
  mixFrames({&m.source, 1}, out, 4);  // wraps around the two-frame ring
  EXPECT_EQ(std::vector<int16_t>(out, out + 8), (std::vector<int16_t>{10000, -10000, 20000, 4, 10000, -10000, 20000, 4}));
  m.source.volume = volumeLevel(50, 100, 100);
  m.source.position = 0;
  mixFrames({&m.source, 1}, out, 1);
  EXPECT_EQ(out[0], 5000); EXPECT_EQ(out[1], -5000);
  m.source.volume = 0;
  m.source.pan = panLevel(-100);
  m.source.position = 0;
  mixFrames({&m.source, 1}, out, 1);
  EXPECT_EQ(out[0], 10000); EXPECT_EQ(out[1], 0);
  m.source.pan = panLevel(100);
  m.source.position = 0;
  mixFrames({&m.source, 1}, out, 1);
  EXPECT_EQ(out[0], 0); EXPECT_EQ(out[1], -10000);
  m.source.pan = 0;
  m.source.volume = kSilence;
  m.source.position = 0;
  mixFrames({&m.source, 1}, out, 3);
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(m.source.position >> 32, 1u);  // silent channels still advance
}

TEST(Mixer, SumsClampsAndConvertsFormats) {
  MixCase a = stereoRing({30000, -30000}), b = stereoRing({10000, -10000});
  MixSource both[] = {a.source, b.source};
  int16_t out[2];
  mixFrames(both, out, 1);
  EXPECT_EQ(out[0], 32767); EXPECT_EQ(out[1], -32768);
  MixCase mono = stereoRing({1234, -77}, 1);
  int16_t m[4];
  mixFrames({&mono.source, 1}, m, 2);
  EXPECT_EQ(std::vector<int16_t>(m, m + 4), (std::vector<int16_t>{1234, 1234, -77, -77}));
  std::vector<uint8_t> eight = {0x80, 0xFF, 0x00, 0x90};
  MixSource e{eight.data(), 2, 2, 8, kDeviceRate, 0, 0, 0};
  mixFrames({&e, 1}, m, 2);
  EXPECT_EQ(std::vector<int16_t>(m, m + 4), (std::vector<int16_t>{0, 127 * 256, -128 * 256, 16 * 256}));
}

TEST(Mixer, ResamplesByLinearInterpolation) {
  MixCase half = stereoRing({0, 0, 1000, -1000, 3000, 500, 0, 0}, 2, 22050);
  int16_t out[12];
  mixFrames({&half.source, 1}, out, 6);
  EXPECT_EQ(std::vector<int16_t>(out, out + 12),
            (std::vector<int16_t>{0, 0, 500, -500, 1000, -1000, 2000, -250, 3000, 500, 1500, 250}));
  EXPECT_EQ(half.source.position >> 32, 3u);
}

}  // namespace
}  // namespace velmora::audio
