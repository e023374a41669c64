#pragma once
// Runs own-language scripts (UTF-8 in the test, Shift_JIS at run time)
// through the real loader and loop, recording what `show` evaluates and
// what the error boxes wrote to the log.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "base/report.h"
#include "base/state.h"
#include "base/textconv.h"
#include "resource/packer.h"
#include "script/control.h"
#include "script/expression.h"
#include "script/interp.h"
#include "script/loader.h"
#include "support/tempdir.h"

namespace velmora::script::lang_test {

inline std::vector<std::string>& shown() {
  static std::vector<std::string> v;
  return v;
}

// Numbers as integers when they are, texts converted back to UTF-8.
inline std::string describe(const ScriptValue& v) {
  if (v.kind == kKindInvalid) return "<invalid>";
  if (v.kind == kKindString) return gameToUtf8(v.text);
  char buf[64];
  if (std::trunc(v.number) == v.number && std::fabs(v.number) < 1e15) std::snprintf(buf, sizeof buf, "%lld", static_cast<long long>(v.number));
  else std::snprintf(buf, sizeof buf, "%g", v.number);
  return buf;
}

inline void cmdShow(const char* args) { shown().push_back(describe(evaluate(args))); }

class LangTest : public ::testing::Test {
 protected:
  void SetUp() override {
    runOptions().headless = true;
    setSaveRoot("");
    quitRequest = 0;
    shown().clear();
    registerOwnCommands();
    installReportHooks({.ownTrace = script::ownLanguageTrace});
    registerCommand("show", cmdShow);
  }
  void TearDown() override {
    clearControlState();
    resetInterpreter();
    resetVariables();
    releaseScriptTables();
    userSubTable().clear();
    quitRequest = 0;
  }
  // Packs the start script (and others, by path) and runs the start script.
  void run(const std::string& utf8, std::vector<resource::PackedMember> others = {}) {
    std::vector<resource::PackedMember> all{{"script/0.txt", utf8_to_sjis(utf8)}};
    for (auto& m : others) all.push_back({m.path, utf8_to_sjis(m.bytes)});
    test::writeFile("script.dat", resource::buildScriptFile(all));
    ASSERT_TRUE(loadScriptIndex());
    ASSERT_TRUE(loadScript(crc64_hash("script/0.txt"), slotLines(0)));
    slotChanged(0);
    runScript();
  }
  // The error boxes so far, in UTF-8; the log starts afresh.
  std::string takeLog() {
    std::string s = gameToUtf8(test::readFile("Information.txt"));
    std::remove("Information.txt");
    return s;
  }
  ScriptValue eval(const std::string& utf8) { return evaluate(utf8_to_sjis(utf8)); }
  std::string evalText(const std::string& utf8) { return describe(eval(utf8)); }
  void exec(CommandHandler cmd, const std::string& utf8) { cmd(utf8_to_sjis(utf8).c_str()); }
  int32_t num(const char* ref) { return *numericReference(ref); }
  std::string str(const char* ref) { return sjis_to_utf8(*stringReference(ref)); }

  test::TempDir dir;
};

}  // namespace velmora::script::lang_test
