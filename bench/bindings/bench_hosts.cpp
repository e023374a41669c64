// The own language calling a script function by name with two numbers and
// an integer result (kind 1), for Lua and for Squirrel.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "bindings/catalogue.h"
#include "bindings/host_commands.h"
#include "bindings/lua_host.h"
#include "bindings/squirrel_host.h"
#include "bindings/squirrel_host_runtime.h"
#include "base/report.h"
#include "base/state.h"
#include "script/expression.h"
#include "script/interp.h"

namespace {

using namespace velmora;
using namespace velmora::bindings;

// One folder for the run, made the working folder as the game folder is.
void prepare() {
  static bool done = [] {
    char tmpl[] = "/tmp/velmora-bench-XXXXXX";
    std::filesystem::current_path(mkdtemp(tmpl));
    runOptions().headless = true;
    script::registerOwnCommands();
    registerCatalogue();
    registerScriptHosts();
    script::cmd_int("r");
    std::ofstream("add.lua") << "function add(a, b) return a + b end\n";
    std::ofstream("add.nut") << "function add(a, b) { return a + b; }\n";
    return true;
  }();
  (void)done;
}

void BM_FuncLuaTwoNumbers(benchmark::State& state) {
  prepare();
  loadLuaFile("add.lua", nullptr);
  for (auto _ : state) callLuaFunction("add", " 3, 4, %r", 1);
  if (*script::numericReference("%r") != 7) state.SkipWithError("wrong result");
}
BENCHMARK(BM_FuncLuaTwoNumbers);

void BM_FuncSquTwoNumbers(benchmark::State& state) {
  prepare();
  if (!squirrelApi()) {
    state.SkipWithError("the Squirrel runtime is not installed");
    return;
  }
  loadSquirrelFile("add.nut", nullptr);
  for (auto _ : state) callSquirrelFunction("add", " 3, 4, %r", 1);
  if (*script::numericReference("%r") != 7) state.SkipWithError("wrong result");
}
BENCHMARK(BM_FuncSquTwoNumbers);

}  // namespace
