// The interpreter's hot path: a counted loop of one assignment, and cal with
// a five-operator expression on its own.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "base/state.h"
#include "resource/packer.h"
#include "script/control.h"
#include "script/expression.h"
#include "script/interp.h"
#include "script/loader.h"

namespace {

using namespace velmora;
using namespace velmora::script;

// Packs one start script into a fresh folder and loads it into slot 0.
bool loadStartScript(const std::string& text) {
  static std::filesystem::path dir = [] {
    char tmpl[] = "/tmp/velmora-bench-XXXXXX";
    return std::filesystem::path(mkdtemp(tmpl));
  }();
  std::string path = (dir / "script.dat").string();
  {
    std::ofstream out(path, std::ios::binary);
    std::string bytes = resource::buildScriptFile({{"script/0.txt", text}});
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  clearControlState();
  resetInterpreter();
  resetVariables();
  releaseScriptTables();
  runOptions().headless = true;
  registerOwnCommands();
  if (!loadScriptIndex(path.c_str())) return false;
  if (!loadScript(crc64_hash("script/0.txt"), slotLines(0))) return false;
  slotChanged(0);
  return true;
}

void runFromTop() {
  Registers& r = registers();
  r.currentLine = 0;
  r.currentPart = 0;
  r.jumpRequest = 0;
  clearControlState();
  runScript();
}

void BM_ForCalNext(benchmark::State& state) {
  const int64_t n = state.range(0);
  if (!loadStartScript("int i, a\nfor %i, 1, " + std::to_string(n) + "\ncal %a += %i\nnext\n")) {
    state.SkipWithError("script did not load");
    return;
  }
  for (auto _ : state) runFromTop();
  state.SetItemsProcessed(state.iterations() * n);
  int32_t* a = numericReference("%a");
  state.counters["a"] = a ? *a : -1;
}
BENCHMARK(BM_ForCalNext)->Arg(10000000)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_CalFiveOperators(benchmark::State& state) {
  resetVariables();
  registers().currentLine = 0;
  setNamedInteger("a", 0);
  setNamedInteger("b", 7);
  setNamedInteger("c", 5);
  setNamedInteger("d", 12);
  const char* args = " %a = %b + %c * 3 - %d / 2 & 255";
  for (auto _ : state) cmd_cal(args);
  state.SetItemsProcessed(state.iterations());
  benchmark::DoNotOptimize(*numericReference("%a"));
}
BENCHMARK(BM_CalFiveOperators);

void BM_EvaluateFiveOperators(benchmark::State& state) {
  setNamedInteger("b", 7);
  setNamedInteger("c", 5);
  setNamedInteger("d", 12);
  const char* text = " %b + %c * 3 - %d / 2 & 255";
  for (auto _ : state) benchmark::DoNotOptimize(evaluate(text));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_EvaluateFiveOperators);

}  // namespace
