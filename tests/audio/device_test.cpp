// Real worker threads, and the device on SDL's dummy driver recording what it played.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

#include "audio/internal.h"
#include "audio/sound_files.h"
#include "base/settings.h"
#include "base/textconv.h"
#include "platform/platform.h"
#include "platform/threads.h"
#include "support/tempdir.h"

namespace velmora::audio {
namespace {

std::vector<std::string> g_reports;
void captureReport(const std::string& m) { g_reports.push_back(m); }

std::string writeRamp(const char* name, int frames) {
  std::vector<int16_t> s;
  for (int f = 0; f < frames; ++f) s.push_back(int16_t(f & 0x7FFF)), s.push_back(int16_t(-(f & 0x7FFF)));
  test::writeFile(name, test::waveBytes(s, 2, 44100));
  return name;
}

// Index of the first frame whose left sample is 1 followed by 2, 3: the ramp's start.
long findRamp(const std::vector<int16_t>& out) {
  for (size_t i = 0; i + 6 < out.size(); i += 2)
    if (out[i] == 0 && out[i + 2] == 1 && out[i + 4] == 2 && out[i + 5] == -2) return long(i / 2);
  return -1;
}

class Threads : public ::testing::Test {
 protected:
  void SetUp() override {
    resetSettings();
    setManualWorkers(false);
    setReportHook(captureReport);
    g_reports.clear();
  }
  void TearDown() override { releaseSound(); }
  test::TempDir dir;
};

TEST_F(Threads, WorkersKeepTheRingFilledAndStopInTime) {
  createChannels();
  openSound(5, writeRamp("a.wav", 441000));
  playSound(5, 0, 0, 0);
  std::vector<int16_t> out;
  for (int i = 0; i < 40; ++i) {  // the device's pace: 10 ms per 441 frames
    std::vector<int16_t> block(882);
    mix(block.data(), 441);
    out.insert(out.end(), block.begin(), block.end());
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  long start = findRamp(out);
  ASSERT_GE(start, 0);
  for (size_t f = size_t(start); f < out.size() / 2; ++f) ASSERT_EQ(out[2 * f], int16_t(f - size_t(start))) << f;
  auto t0 = std::chrono::steady_clock::now();
  stopSound(5, 0);
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(500));
  EXPECT_TRUE(g_reports.empty());
  EXPECT_EQ(channelSnapshot(5).state, kStopped);
  EXPECT_FALSE(channel(5).thread.joinable());
}

TEST_F(Threads, AWorkerThatDoesNotEndWithinASecondIsReported) {
  createChannels();
  openSound(5, writeRamp("c.wav", 441000));
  playSound(5, 0, 0, 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  std::unique_lock hold(state().duckLock);  // the worker's next tick waits here
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  auto t0 = std::chrono::steady_clock::now();
  stopSound(5, 0);
  EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(1000));
  ASSERT_EQ(g_reports.size(), 1u);
  EXPECT_EQ(g_reports[0], sj("音スレッドが正常に終了出来ませんでした"));
  EXPECT_EQ(channelSnapshot(5).name, "");
  hold.unlock();
  for (int i = 0; i < 1000 && !channel(5).finished; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_TRUE(channel(5).finished);
}

TEST_F(Threads, DummyDeviceRecordsWhatItPlayed) {
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  setAudioOutput("out.wav");
  createSoundDevice();
  openSound(6, writeRamp("b.wav", 44100));
  playSound(6, 1, 0, 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  runPendingSounds();
  releaseSound();
  setAudioOutput("");
  ASSERT_TRUE(g_reports.empty()) << g_reports[0];
  std::string wav = test::readFile("out.wav");
  ASSERT_GT(wav.size(), 44u);
  EXPECT_EQ(wav.compare(0, 4, "RIFF"), 0);
  uint32_t dataSize = uint8_t(wav[40]) | uint8_t(wav[41]) << 8 | uint8_t(wav[42]) << 16 | uint32_t(uint8_t(wav[43])) << 24;
  EXPECT_EQ(dataSize, wav.size() - 44);
  std::vector<int16_t> out((wav.size() - 44) / 2);
  for (size_t i = 0; i < out.size(); ++i) out[i] = int16_t(uint8_t(wav[44 + 2 * i]) | uint8_t(wav[45 + 2 * i]) << 8);
  long start = findRamp(out);
  ASSERT_GE(start, 0) << out.size();
  EXPECT_EQ(out[2 * size_t(start + 1000)], 1000);
}

// No device at all: the report, the host's reason in the log, and a game that
// goes on silently, its sounds still ending in their own time.
TEST_F(Threads, WithoutADeviceSoundsStillPlayOutSilently) {
  const char* before = std::getenv("SDL_AUDIODRIVER");
  const std::string kept = before ? before : "";
  setenv("SDL_AUDIODRIVER", "velmora-no-such-driver", 1);
  createSoundDevice();
  ASSERT_EQ(g_reports.size(), 1u);
  EXPECT_EQ(g_reports[0], "DirectSoundCreate8 DSERR_NODRIVER");
  const std::string log = test::readFile("Information.txt");
  EXPECT_NE(log.find(sj("サウンドデバイスを開けません")), std::string::npos) << log;
  EXPECT_NE(log.find("velmora-no-such-driver"), std::string::npos) << log;  // SDL's own words
  openSound(6, writeRamp("short.wav", 4410));  // 0.1 s, played once
  playSound(6, 1, 0, 0);
  EXPECT_EQ(channelSnapshot(6).state, kPlaying);
  for (int i = 0; i < 300 && channelSnapshot(6).state == kPlaying; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(channelSnapshot(6).state, kStopped);
  releaseSound();
  if (before) setenv("SDL_AUDIODRIVER", kept.c_str(), 1);
  else unsetenv("SDL_AUDIODRIVER");
}

// Without threads the engine's waits step the channels and the silent
// output: the ring stays filled at the device's pace, and a sound with no
// device still plays out in its own time; no thread is started.
TEST_F(Threads, WithoutThreadsTheWaitsStepTheChannelsAndTheSilentOutput) {
  platform::setSingleThread(true);
  platform::installWorkerStepHooks({.step = stepWorkersWithoutThreads});
  const uint64_t threadsBefore = platform::threadsStarted();
  createChannels();
  openSound(5, writeRamp("a.wav", 441000));
  playSound(5, 0, 0, 0);
  std::vector<int16_t> out;
  for (int i = 0; i < 300; ++i) {  // three seconds: past both halves of the ring
    std::vector<int16_t> block(882);
    mix(block.data(), 441);
    out.insert(out.end(), block.begin(), block.end());
    platform::sleepMs(1);
  }
  long start = findRamp(out);
  ASSERT_GE(start, 0);
  for (size_t f = size_t(start); f < out.size() / 2; ++f) ASSERT_EQ(out[2 * f], int16_t((f - size_t(start)) & 0x7FFF)) << f;
  releaseSound();

  const char* before = std::getenv("SDL_AUDIODRIVER");
  const std::string kept = before ? before : "";
  setenv("SDL_AUDIODRIVER", "velmora-no-such-driver", 1);
  createSoundDevice();
  openSound(6, writeRamp("short.wav", 4410));  // 0.1 s, played once
  playSound(6, 1, 0, 0);
  for (int i = 0; i < 300 && channelSnapshot(6).state == kPlaying; ++i) platform::sleepMs(10);
  EXPECT_EQ(channelSnapshot(6).state, kStopped);
  releaseSound();
  if (before) setenv("SDL_AUDIODRIVER", kept.c_str(), 1);
  else unsetenv("SDL_AUDIODRIVER");
  EXPECT_EQ(platform::threadsStarted(), threadsBefore);
  platform::installWorkerStepHooks({});
  platform::setSingleThread(false);
}

}  // namespace
}  // namespace velmora::audio
