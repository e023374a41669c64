// The sound path's cost: decoding 25 Vorbis channels at their real-time pace
// and mixing them, and one device period of mixing alone.
#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>
#include <cmath>
#include <vector>

#include "audio/internal.h"
#include "audio/mixer.h"
#include "audio/stream.h"
#include "../../tests/audio/sound_files.h"  // the tests' encoder

namespace {

using namespace velmora;

const std::shared_ptr<const std::string>& music() {
  static auto bytes = std::make_shared<const std::string>(test::vorbisBytes(
      44100 * 4, 44100, {}, [](int64_t f, int ch) { return float(std::sin(double(f) * (ch ? 0.031 : 0.017)) * 0.4); }));
  return bytes;
}

// One second of audio for 25 channels: each decodes 176400 bytes and the
// mixer produces 44100 frames from 25 rings.
void DecodeAndMix25Vorbis(benchmark::State& state) {
  std::string error;
  std::vector<std::unique_ptr<audio::Stream>> streams;
  for (int i = 0; i < 25; ++i) streams.push_back(audio::openStream(music(), audio::kTypeVorbis, "m.ogg", error));
  std::vector<std::vector<uint8_t>> rings(25, std::vector<uint8_t>(65536 * 2));
  std::vector<audio::MixSource> sources(25);
  for (int i = 0; i < 25; ++i)
    sources[size_t(i)] = {rings[size_t(i)].data(), 32768, 2, 16, 44100, 0, -602, 0};
  std::vector<int16_t> out(2 * 441);
  for (auto _ : state) {
    for (int i = 0; i < 25; ++i) {
      auto& s = streams[size_t(i)];
      for (long need = 176400; need > 0;) {
        long n = s->read(rings[size_t(i)].data(), std::min<long>(need, 65536));
        if (n <= 0) s->seekFrame(0);
        else need -= n;
      }
    }
    for (int block = 0; block < 100; ++block) audio::mixFrames(sources, out.data(), 441);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetLabel("per second of audio; / 1 s = share of one core");
}
BENCHMARK(DecodeAndMix25Vorbis)->Unit(benchmark::kMillisecond);

// One 1024-frame device period with 25 playing channels, the callback's work.
void MixOnePeriod25(benchmark::State& state) {
  std::vector<uint8_t> ring(65536 * 2, 7);
  std::vector<audio::MixSource> sources(25, audio::MixSource{ring.data(), 32768, 2, 16, int(state.range(0)), 0, -602, 300});
  std::vector<int16_t> out(2 * 1024);
  for (auto _ : state) {
    audio::mixFrames(sources, out.data(), 1024);
    benchmark::DoNotOptimize(out.data());
  }
}
BENCHMARK(MixOnePeriod25)->Arg(44100)->Arg(22050)->Unit(benchmark::kMicrosecond);

// The device callback as it runs: 25 playing channels through the channel
// table and its locks, one 1024-frame period at a time; the slowest period
// is what an underrun would come from.
void CallbackWorstCase(benchmark::State& state) {
  audio::setManualWorkers(true);
  audio::createChannels();
  for (int n = 0; n < 25; ++n) {
    audio::SoundChannel& ch = audio::channel(n);
    std::lock_guard g(ch.voice.lock);
    ch.voice.ring.assign(65536 * 2, 7);
    ch.voice.halfBytes = 65536;
    ch.voice.format = audio::PcmFormat{};
    ch.voice.playing = true;
    ch.voice.volume = -602;
    ch.voice.pan = 300;
  }
  std::vector<int16_t> out(2 * 1024);
  // Wall time counts the other developers' compilers too; the thread's own
  // processor time does not.
  auto cpuNow = [] {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e6 + double(t.tv_nsec) / 1e3;
  };
  double worst = 0, worstCpu = 0;
  for (auto _ : state) {
    auto t0 = std::chrono::steady_clock::now();
    double c0 = cpuNow();
    audio::mix(out.data(), 1024);
    worstCpu = std::max(worstCpu, cpuNow() - c0);
    worst = std::max(worst, std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count());
    benchmark::DoNotOptimize(out.data());
  }
  state.counters["worst_us"] = worst;
  state.counters["worst_cpu_us"] = worstCpu;
  state.counters["period_us"] = 1024.0 * 1e6 / 44100.0;
  audio::releaseSound();
}
BENCHMARK(CallbackWorstCase)->Unit(benchmark::kMicrosecond)->Iterations(20000);

}  // namespace
