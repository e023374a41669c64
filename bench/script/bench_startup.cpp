// Start-up and dispatch costs of the interpreter.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "base/encoding.h"
#include "base/hash.h"
#include "base/report.h"
#include "base/state.h"
#include "base/textconv.h"
#include "resource/packer.h"
#include "script/control.h"
#include "script/expression.h"
#include "script/interp.h"
#include "script/loader.h"

namespace {

using namespace velmora;

// A folder holding a script.dat, made once per benchmark process.
std::filesystem::path makeGame(const std::string& name, const std::vector<resource::PackedMember>& scripts,
                               const resource::GameOptions& options = {}) {
  auto dir = std::filesystem::temp_directory_path() / ("velmora-bench-" + name);
  std::filesystem::create_directories(dir);
  std::ofstream(dir / "script.dat", std::ios::binary) << resource::buildScriptFile(scripts, false, options);
  return dir;
}

// 1000 scripts of 1000 lines (about 12 MB of text), one label each; a
// Unicode game's text lines are UTF-8, half of them narration.
std::vector<resource::PackedMember> bigGame(bool unicode = false) {
  const std::string text = unicode ? "「今日はいい天気」" : utf8_to_sjis("「今日はいい天気」");
  const std::string narration = "\x80" "Morning came slowly ";
  std::vector<resource::PackedMember> scripts;
  for (int s = 0; s < 1000; ++s) {
    std::string body = "*label" + std::to_string(s) + "\n";
    for (int l = 1; l < 1000; ++l) {
      switch (l % 4) {
        case 0: body += "cal %a=%a+" + std::to_string(l * 7 + s) + "\n"; break;
        case 1: body += (unicode && l % 8 == 1 ? narration : text) + std::to_string(l ^ s) + "\n"; break;
        case 2: body += "\n"; break;
        default: body += "sp_a " + std::to_string(s % 1000) + "," + std::to_string(l) + ",1\n"; break;
      }
    }
    scripts.push_back({s == 0 ? std::string("script/0.txt") : "script/s" + std::to_string(s) + ".txt", body});
  }
  return scripts;
}

void startUp(benchmark::State& state, const std::filesystem::path& dir, bool unicode) {
  std::filesystem::current_path(dir);
  runOptions().headless = true;
  size_t bytes = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir)) bytes += e.file_size();
  for (auto _ : state) {
    if (!script::loadScriptIndex()) state.SkipWithError("index failed");
    state.PauseTiming();
    script::releaseScriptTables();
    state.ResumeTiming();
  }
  state.counters["script.dat bytes"] = static_cast<double>(bytes);
  size_t text = 0;
  for (const auto& m : bigGame(unicode)) text += m.bytes.size();
  state.counters["text bytes"] = static_cast<double>(text);
}

void BM_StartUpIndexUnpackScan(benchmark::State& state) {
  static const auto dir = makeGame("startup", bigGame());
  startUp(state, dir, false);
}
BENCHMARK(BM_StartUpIndexUnpackScan)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_StartUpUnicodeGame(benchmark::State& state) {
  static const auto dir = makeGame("startup-utf8", bigGame(true), resource::GameOptions{true, false});
  startUp(state, dir, true);
  setGameEncoding(GameEncoding::ShiftJis);
}
BENCHMARK(BM_StartUpUnicodeGame)->Unit(benchmark::kMillisecond)->Iterations(5);

void noop(const char*) {}

// Lines per second through the loop, with one command part per line.
void runLines(benchmark::State& state, const std::string& name, const std::string& line) {
  constexpr int kLines = 100000;
  std::string body;
  for (int i = 0; i < kLines; ++i) body += line + "\n";
  const auto dir = makeGame(name, {{"script/0.txt", body}});
  std::filesystem::current_path(dir);
  runOptions().headless = true;
  script::releaseScriptTables();
  if (!script::loadScriptIndex()) return state.SkipWithError("index failed");
  script::resetInterpreter();
  script::loadScript(crc64_hash("script/0.txt"), script::slotLines(0));
  script::slotChanged(0);
  script::registerOwnCommands();
  script::registerCommand("noop", noop);
  std::FILE* saved = stdout;
  stdout = std::fopen("/dev/null", "w");
  for (auto _ : state) {
    script::registers().currentLine = 0;
    script::runScript();
  }
  std::fclose(stdout);
  stdout = saved;
  state.SetItemsProcessed(state.iterations() * kLines);
  state.counters["lines/s"] = benchmark::Counter(static_cast<double>(state.iterations() * kLines), benchmark::Counter::kIsRate);
}

void BM_LoopNoopCommand(benchmark::State& state) { runLines(state, "noop", "noop"); }
void BM_LoopPrintEmpty(benchmark::State& state) { runLines(state, "print", "print \"\""); }
void BM_LoopTwoPartsWithComment(benchmark::State& state) { runLines(state, "parts", "noop 1:noop 2 // note"); }
BENCHMARK(BM_LoopNoopCommand)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoopPrintEmpty)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoopTwoPartsWithComment)->Unit(benchmark::kMillisecond);

}  // namespace
