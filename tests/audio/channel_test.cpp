// Channels end to end without a device: the tests step the workers every
// 10 ms of mixed output on a virtual clock.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "audio/internal.h"
#include "audio/sound_files.h"
#include "bindings/bridge.h"
#include "bindings/catalogue.h"
#include "script/modes.h"
#include "base/settings.h"
#include "base/textconv.h"
#include "platform/platform.h"
#include "platform/vclock.h"
#include "support/tempdir.h"

namespace velmora::audio {
namespace {

std::vector<std::string> g_reports;
void captureReport(const std::string& m) { g_reports.push_back(m); }

// A call's arguments for the cores, read through a bridge of our own.
struct Call {
  std::vector<std::string> args;
  std::vector<std::string> results = std::vector<std::string>(10);
};
int32_t argInt(void* c, int i) { return int32_t(std::atol(static_cast<Call*>(c)->args[size_t(i - 1)].c_str())); }
double argDouble(void* c, int i) { return std::atof(static_cast<Call*>(c)->args[size_t(i - 1)].c_str()); }
const char* argText(void* c, int i, size_t* n) {
  const std::string& s = static_cast<Call*>(c)->args[size_t(i - 1)];
  *n = s.size();
  return s.c_str();
}
void resultInt(void* c, int i, int32_t v) { static_cast<Call*>(c)->results[size_t(i)] = std::to_string(v); }
void resultText(void* c, int i, const char* t, size_t n) { static_cast<Call*>(c)->results[size_t(i)].assign(t, n); }

std::string run(const char* name, std::vector<std::string> args) {
  Call call{std::move(args)};
  bindings::boundCore(size_t(bindings::catalogueIndex(name)))(&call);
  return call.results[call.args.size() + 1];
}

class Channels : public ::testing::Test {
 protected:
  void SetUp() override {
    static bool bound = false;
    if (!bound) {
      bindings::ScriptBridge b{};
      b.integerArgument = argInt;
      b.doubleArgument = argDouble;
      b.stringArgumentLength = argText;
      b.integerResult = resultInt;
      b.stringResultLength = resultText;
      bindings::installBridge(b);
      bindSoundCores();
      bound = true;
    }
    resetSettings();
    platform::setVirtualClock(true);
    setManualWorkers(true);
    setReportHook(captureReport);
    g_reports.clear();
    createChannels();
    applyVolumeSettings();  // categories back to the settings' defaults
    for (int n = 1; n <= 4; ++n) channel(n).volume2 = 100;
  }
  void TearDown() override {
    releaseSound();
    setJumpMode(false);
    platform::setVirtualClock(false);
  }
  // Left channel = frame number (mod 32768), right = its negation.
  std::string rampWave(const char* name, int frames) {
    std::vector<int16_t> s;
    for (int f = 0; f < frames; ++f) s.push_back(int16_t(f & 0x7FFF)), s.push_back(int16_t(-(f & 0x7FFF)));
    test::writeFile(name, test::waveBytes(s, 2, 44100));
    return name;
  }
  // Steps 10 ms at a time: worker, then 441 frames of output.
  std::vector<int16_t> play(int steps) {
    std::vector<int16_t> out;
    for (int i = 0; i < steps; ++i) {
      stepWorkers();
      std::vector<int16_t> block(882);
      mix(block.data(), 441);
      out.insert(out.end(), block.begin(), block.end());
      platform::advanceVirtualClock(10);
    }
    return out;
  }
  int32_t voiceVolume(int n) {
    std::lock_guard g(channel(n).voice.lock);
    return channel(n).voice.volume;
  }
  test::TempDir dir;
};

TEST_F(Channels, EverySoundAndVolumeCommandIsBound) {
  for (const bindings::CatalogueEntry& e : bindings::catalogue())
    if (e.family == bindings::Family::Sound || e.family == bindings::Family::Volume) {
      int i = bindings::catalogueIndex(e.name);
      EXPECT_NE(bindings::boundCore(size_t(i)), nullptr) << e.name;
    }
}

TEST_F(Channels, WaveLoopIsSeamlessOnTheOutput) {
  run("sd", {"1", rampWave("a.wav", 40000), "0", "0", "100", "0", "0", "0"});
  run("sd_loopSample", {"1", "0", "1000", "5000"});
  auto out = play(80);
  // 0..4999, then 1000..4999 again and again: the frame after C is B.
  for (size_t f = 0; f < 35000; ++f) {
    int16_t want = int16_t(f < 5000 ? f : 1000 + (f - 5000) % 4000);
    ASSERT_EQ(out[2 * f], want) << f;
    ASSERT_EQ(out[2 * f + 1], -want) << f;
  }
  run("sd_loopTime", {"1", "10", "1000", "-3"});
  EXPECT_EQ(channel(1).loopA, 441);
  EXPECT_EQ(channel(1).loopB, 44100);
  EXPECT_EQ(channel(1).loopC, -132);
  EXPECT_EQ(run("sd_status", {"1"}), "0");
}

TEST_F(Channels, PlaysOnceThenSilenceAndStops) {
  run("sd", {"3", rampWave("b.wav", 20000), "0", "0", "100", "0", "1", "0"});
  EXPECT_EQ(run("sd_totalSample", {"3"}), "20000");
  EXPECT_EQ(run("sd_totalTime", {"3"}), "453");
  auto out = play(200);
  EXPECT_EQ(out[2 * 19999], int16_t(19999));
  EXPECT_EQ(out[2 * 20000], 0);
  EXPECT_EQ(run("sd_status", {"3"}), "2");
  EXPECT_EQ(run("sd_getFile", {"3"}), "");
}

TEST_F(Channels, VolumeSettingsAndMasterMute) {
  run("sd", {"1", rampWave("c.wav", 60000), "0", "0", "50", "0", "0", "0"});
  EXPECT_EQ(voiceVolume(1), -602);
  run("setBgmVolume", {"50"});
  EXPECT_EQ(run("getBgmVolume", {}), "50");
  EXPECT_EQ(voiceVolume(1), -1204);
  run("setMasterMute", {"7"});
  EXPECT_EQ(run("getMasterMute", {}), "1");
  run("setMasterMute", {"0"});
  EXPECT_EQ(voiceVolume(1), kSilence);
  auto out = play(20);
  for (int16_t v : out) ASSERT_EQ(v, 0);
  run("setVoiceWait", {"0.5"});
  EXPECT_EQ(run("getVoiceWait", {}), "1");
}

// Out-of-range levels are bounded where they come in; the gain products of
// settings written past the setters stay defined.
TEST_F(Channels, HostileLevelsAreBounded) {
  run("sd", {"1", rampWave("h.wav", 60000), "0", "0", "2147483647", "-2147483648", "0", "0"});
  EXPECT_EQ(channel(1).volume, 100);
  EXPECT_EQ(channel(1).pan, -100);
  run("sd_volume2", {"1", "-2147483648", "0"});
  EXPECT_EQ(channel(1).volume2, 0);
  run("sd_volume2", {"1", "100", "0"});
  run("setMasterVolume", {"2147483647"});
  EXPECT_EQ(run("getMasterVolume", {}), "100");
  EXPECT_EQ(voiceVolume(1), 0);
  setting(SettingKey::MasterVolume) = -2147483647 - 1;
  setting(SettingKey::MasterMute) = 2147483647;
  recomputeGains();
  EXPECT_EQ(channel(1).gain, 0);
  EXPECT_EQ(voiceVolume(1), kSilence);
}

TEST_F(Channels, FadeMidpointAndPanFade) {
  run("sd", {"2", rampWave("d.wav", 100000), "0", "0", "100", "0", "0", "0"});
  play(2);
  run("sd_volume", {"2", "0", "1000"});
  run("sd_panpot", {"2", "100", "1000"});
  platform::advanceVirtualClock(490);
  play(2);  // 500 ms in when the workers look
  EXPECT_EQ(voiceVolume(2), volumeLevel(50, 100, 100));
  {
    std::lock_guard g(channel(2).voice.lock);
    EXPECT_EQ(channel(2).voice.pan, panLevel(50));
  }
  platform::advanceVirtualClock(600);
  play(1);
  EXPECT_EQ(voiceVolume(2), kSilence);
  EXPECT_EQ(channel(2).volume, 0);
}

TEST_F(Channels, VoiceOnFifteenDucksMusicAndEffects) {
  setting(SettingKey::FadeVolDown) = 200;
  applyVolumeSettings();
  run("sd", {"1", rampWave("m.wav", 200000), "0", "0", "100", "0", "0", "0"});
  run("sd", {"3", "m.wav", "0", "0", "100", "0", "0", "0"});
  EXPECT_EQ(voiceVolume(1), volumeLevel(100, 30, 100));  // BgmMax
  run("sd", {"15", rampWave("v.wav", 22050), "0", "0", "100", "0", "1", "0"});
  play(11);  // 100 ms into the 200 ms fade
  EXPECT_EQ(voiceVolume(1), volumeLevel(100, 22.5, 100));
  EXPECT_EQ(voiceVolume(3), volumeLevel(100, 75, 100));
  play(15);
  EXPECT_EQ(channel(1).volume2, 15);  // BgmMin
  EXPECT_EQ(channel(3).volume2, 50);  // SeMin
  play(100);  // the voice ends; the others come back
  EXPECT_EQ(run("sd_status", {"15"}), "2");
  EXPECT_EQ(channel(1).volume2, 30);
  EXPECT_EQ(channel(3).volume2, 100);
}

TEST_F(Channels, SeekOnAStoppedChannelIsWhereResumeStarts) {
  run("sd_load", {"4", rampWave("e.wav", 50000)});
  run("sd_seekSample", {"4", "12345"});
  EXPECT_EQ(run("sd_status", {"4"}), "2");
  run("sd_pause", {"4", "0"});
  auto out = play(3);
  EXPECT_EQ(out[0], int16_t(12345));
  run("sd_pause", {"4", "1"});
  EXPECT_EQ(run("sd_status", {"4"}), "1");
  // Three steps of 441 frames were heard; the reader is two halves ahead.
  EXPECT_EQ(channel(4).held, 12345 + 3 * 441);
  EXPECT_EQ(run("sd_nowSample", {"4"}), std::to_string(12345 + 3 * 441));
  EXPECT_EQ(run("sd_nowTime", {"4"}), std::to_string((12345 + 3 * 441) * 1000 / 44100));
  out = play(3);
  EXPECT_EQ(out[0], 0);
  run("sd_pause", {"4", "0"});
  out = play(2);
  for (size_t f = 0; f < 882; ++f) ASSERT_EQ(out[2 * f], int16_t(12345 + 3 * 441 + f)) << f;
  EXPECT_EQ(channelSnapshot(4).frame, 12345 + 5 * 441);
}

TEST_F(Channels, PauseInsideALoopKeepsTheLoopCount) {
  run("sd", {"6", rampWave("l.wav", 20000), "0", "0", "100", "0", "3", "0"});
  run("sd_loopSample", {"6", "0", "100", "2000"});
  play(8);  // 3528 frames heard: once through C; the reader has looped more
  run("sd_pause", {"6", "1"});
  EXPECT_EQ(channel(6).held, 100 + (3528 - 2000));
  EXPECT_EQ(channel(6).loopCounter, 1);
  run("sd_pause", {"6", "0"});
  auto out = play(20);
  // The rest of this pass, then the last one from B straight on past C.
  size_t f = 0;
  for (int v = 100 + 1528; v < 2000; ++v, ++f) ASSERT_EQ(out[2 * f], v) << f;
  for (int v = 100; v < 20000 && 2 * f < out.size(); ++v, ++f) ASSERT_EQ(out[2 * f], v) << f;
  EXPECT_GT(f, 8000u);
}

TEST_F(Channels, DelayedStopFadesOutLater) {
  run("sd", {"1", rampWave("f.wav", 200000), "0", "0", "100", "0", "0", "0"});
  run("sd_stop", {"1", "500", "1000"});
  platform::advanceVirtualClock(990);
  runPendingSounds();
  EXPECT_EQ(run("sd_status", {"1"}), "0");
  platform::advanceVirtualClock(10);
  runPendingSounds();
  EXPECT_EQ(run("sd_getFile", {"1"}), "");
  play(26);
  EXPECT_EQ(run("sd_status", {"1"}), "0");  // still fading
  EXPECT_NEAR(voiceVolume(1), volumeLevel(50, 100, 100), 50);
  play(26);
  EXPECT_EQ(run("sd_status", {"1"}), "2");
}

TEST_F(Channels, DelayedPlayAndReplacedPending) {
  rampWave("g.wav", 30000);
  run("sd", {"5", "g.wav", "0", "200", "100", "0", "1", "0"});
  EXPECT_TRUE(channelSnapshot(5).pending);
  run("sd_load", {"5", "g.wav"});  // drops the pending one
  EXPECT_FALSE(channelSnapshot(5).pending);
  run("sd", {"6", "g.wav", "0", "200", "100", "0", "1", "0"});
  platform::advanceVirtualClock(200);
  runPendingSounds();
  EXPECT_EQ(run("sd_status", {"6"}), "0");
  EXPECT_EQ(run("sd_getFile", {"6"}), "g.wav");
}

TEST_F(Channels, JumpModeRemembersOnlyEndlessSounds) {
  rampWave("h.wav", 30000);
  setJumpMode(true);
  run("sd", {"1", "h.wav", "0", "0", "80", "10", "1", "0"});
  EXPECT_EQ(run("sd_getFile", {"1"}), "");
  run("sd", {"1", "h.wav", "0", "0", "80", "10", "0", "0"});
  EXPECT_EQ(run("sd_getFile", {"1"}), "h.wav");
  EXPECT_EQ(run("sd_status", {"1"}), "2");
  ChannelSnapshot s = channelSnapshot(1);
  EXPECT_EQ(s.volume, 80); EXPECT_EQ(s.pan, 10); EXPECT_EQ(s.loopCounter, -1);
  run("sd_play", {"1", "0", "100", "0", "0", "0"});
  EXPECT_EQ(run("sd_status", {"1"}), "2");
  setJumpMode(false);

  // The reading modes' flag works the same; their end brings the loop back.
  run("sd", {"3", "h.wav", "0", "0", "100", "0", "1", "0"});
  script::readingModes().jump = 1;
  run("sd", {"2", "h.wav", "0", "0", "70", "-20", "0", "0"});
  EXPECT_EQ(run("sd_status", {"2"}), "2");
  script::readingModes().jump = 0;
  restartLoopingSounds();
  EXPECT_EQ(run("sd_status", {"1"}), "0");
  EXPECT_EQ(run("sd_status", {"2"}), "0");
  EXPECT_EQ(run("sd_status", {"3"}), "2");  // played once: not brought back
  s = channelSnapshot(2);
  EXPECT_EQ(s.volume, 70); EXPECT_EQ(s.pan, -20); EXPECT_EQ(s.loopCounter, -1);
}

TEST_F(Channels, BadFilesReportAndLeaveTheChannelEmpty) {
  test::writeFile("x.bin", "ID3 not a sound");
  run("sd", {"7", "x.bin", "0", "0", "100", "0", "1", "0"});
  run("sd", {"7", "missing.wav", "0", "0", "100", "0", "1", "0"});
  ASSERT_EQ(g_reports.size(), 2u);
  EXPECT_EQ(g_reports[0], "x.bin" + sj(" 未対応の形式です"));
  EXPECT_EQ(g_reports[1].rfind("missing.wav ", 0), 0u);
  EXPECT_EQ(run("sd_getFile", {"7"}), "");
  EXPECT_EQ(run("sd_nowSample", {"7"}), "0");
}

TEST_F(Channels, VorbisLoopCommentLoopsWithoutEnd) {
  auto tone = [](int64_t f, int) { return float(std::sin(double(f) * 0.01) * 0.3); };
  test::writeFile("loop.ogg",
                  test::vorbisBytes(460000, 44100, {"COMMENT=setSample 0,44100,441000"}, tone));
  test::writeFile("two.ogg", test::vorbisBytes(8000, 44100, {"COMMENT=setSample 0,44100"}, tone));
  run("sd_load", {"8", "two.ogg"});
  ASSERT_EQ(g_reports.size(), 1u);
  EXPECT_EQ(g_reports[0], "two.ogg" + sj(": 再生情報の引数の数が不正です"));
  EXPECT_EQ(channel(8).loopC, 8000);

  // The reference: the whole file decoded straight through, no seeks.
  std::string error;
  auto reference = openStream(std::make_shared<const std::string>(test::readFile("loop.ogg")), kTypeVorbis, "r", error);
  ASSERT_TRUE(reference);
  std::vector<int16_t> ref(2 * 460000);
  auto* bytes = reinterpret_cast<uint8_t*>(ref.data());
  for (long got = 0, n; got < long(ref.size() * 2) && (n = reference->read(bytes + got, long(ref.size() * 2) - got)) > 0;)
    got += n;

  run("sd", {"1", "loop.ogg", "0", "0", "100", "0", "0", "0"});
  std::vector<int16_t> out;
  int64_t highest = 0;
  for (int step = 0; step < 1960; ++step) {
    auto block = play(1);
    out.insert(out.end(), block.begin(), block.end());
    highest = std::max<int64_t>(highest, std::atoi(run("sd_nowSample", {"1"}).c_str()));
  }
  // 0 .. 440999, then 44100 .. 440999 again and again, sample for sample.
  for (size_t f = 0; f < out.size() / 2; ++f) {
    size_t from = f < 441000 ? f : 44100 + (f - 441000) % (441000 - 44100);
    ASSERT_EQ(out[2 * f], ref[2 * from]) << f;
    ASSERT_EQ(out[2 * f + 1], ref[2 * from + 1]) << f;
  }
  EXPECT_GT(out.size() / 2, size_t(441000 + 396900 + 10000));  // twice round the loop
  EXPECT_LT(highest, 441000);
  EXPECT_EQ(run("sd_status", {"1"}), "0");
}

// Files made by Debian's vorbis-tools, checked against oggdec's own decode.
int shell(const std::string& command) { return std::system(("{ " + command + "; } >/dev/null 2>&1").c_str()); }

bool haveVorbisTools() {
  return shell("command -v oggenc && command -v oggdec && command -v vorbiscomment") == 0;
}

// The samples of a 16-bit WAVE file, its chunks walked to "data".
std::vector<int16_t> waveSamples(const std::string& bytes) {
  auto u32 = [&](size_t at) {
    uint32_t v;
    std::memcpy(&v, bytes.data() + at, 4);
    return v;
  };
  for (size_t at = 12; at + 8 <= bytes.size(); at += 8 + ((u32(at + 4) + 1) & ~1u)) {
    if (bytes.compare(at, 4, "data") != 0) continue;
    const size_t n = std::min<size_t>(u32(at + 4), bytes.size() - at - 8) / 2;
    std::vector<int16_t> out(n);
    std::memcpy(out.data(), bytes.data() + at + 8, n * 2);
    return out;
  }
  return {};
}

// oggenc's input: two tones and a slow ramp, so no stretch repeats itself.
void writeToneWave(const char* name, int frames) {
  std::vector<int16_t> s;
  for (int f = 0; f < frames; ++f) {
    const double t = f / 44100.0;
    s.push_back(int16_t(9000 * std::sin(2 * M_PI * 440 * t) + 3000 * std::sin(2 * M_PI * 0.7 * t)));
    s.push_back(int16_t(7000 * std::sin(2 * M_PI * 660 * t + 1) + 0.05 * (f % 40000)));
  }
  test::writeFile(name, test::waveBytes(s, 2, 44100));
}

class VorbisTools : public Channels {
 protected:
  void SetUp() override {
    if (!haveVorbisTools())
      GTEST_SKIP() << "vorbis-tools (oggenc, oggdec, vorbiscomment) not installed; scripts/setup-deps.sh installs it";
    Channels::SetUp();
  }
  // oggdec's decode of an Ogg file, as 16-bit little-endian samples.
  static std::vector<int16_t> oggdec(const std::string& ogg) {
    EXPECT_EQ(shell("oggdec -Q -b 16 -e 0 -s 1 -o ref.wav " + ogg), 0);
    return waveSamples(test::readFile("ref.wav"));
  }
};

TEST_F(VorbisTools, AnOggencFilePlaysExactlyAsOggdecDecodesIt) {
  writeToneWave("tone.wav", 100000);
  ASSERT_EQ(shell("oggenc -Q -q 3 -o tone.ogg tone.wav"), 0);
  const std::vector<int16_t> ref = oggdec("tone.ogg");
  ASSERT_EQ(ref.size(), 2u * 100000);
  run("sd", {"1", "tone.ogg", "0", "0", "100", "0", "1", "0"});
  EXPECT_EQ(run("sd_totalSample", {"1"}), "100000");
  const std::vector<int16_t> out = play(240);
  // Both decode through libvorbisfile's 16-bit conversion: not one step apart.
  for (size_t i = 0; i < ref.size(); ++i) ASSERT_EQ(out[i], ref[i]) << "sample " << i;
  for (size_t i = ref.size(); i < out.size(); ++i) ASSERT_EQ(out[i], 0) << "after the end, sample " << i;
}

TEST_F(VorbisTools, AVorbiscommentLoopRepeatsOggdecsSamplesOnTheMixerOutput) {
  writeToneWave("loop.wav", 460000);
  ASSERT_EQ(shell("oggenc -Q -q 1 -o loop.ogg loop.wav"), 0);
  ASSERT_EQ(shell("vorbiscomment -w -t 'COMMENT=setSample 0,44100,441000' loop.ogg"), 0);
  const std::vector<int16_t> ref = oggdec("loop.ogg");
  ASSERT_EQ(ref.size(), 2u * 460000);
  run("sd", {"1", "loop.ogg", "0", "0", "100", "0", "0", "0"});
  EXPECT_EQ(channel(1).loopA, 0);
  EXPECT_EQ(channel(1).loopB, 44100);
  EXPECT_EQ(channel(1).loopC, 441000);
  const std::vector<int16_t> out = play(2850);
  // Frame 441000 is never played: after 440999 comes 44100 again.
  for (size_t f = 0; f < out.size() / 2; ++f) {
    const size_t from = f < 441000 ? f : 44100 + (f - 441000) % (441000 - 44100);
    ASSERT_EQ(out[2 * f], ref[2 * from]) << f;
    ASSERT_EQ(out[2 * f + 1], ref[2 * from + 1]) << f;
  }
  EXPECT_GT(out.size() / 2, size_t(441000 + 2 * 396900));  // twice round the loop
  EXPECT_EQ(run("sd_status", {"1"}), "0");
}

}  // namespace
}  // namespace velmora::audio
