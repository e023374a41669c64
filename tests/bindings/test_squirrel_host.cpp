#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "bindings/bridge.h"
#include "bindings/catalogue.h"
#include "bindings/host_commands.h"
#include "bindings/host_exports.h"
#include "bindings/squirrel_host.h"
#include "bindings/squirrel_host_runtime.h"
#include "base/report.h"
#include "base/state.h"
#include "base/textconv.h"
#include "script/expression.h"
#include "script/interp.h"
#include "support/tempdir.h"

namespace velmora::bindings {
namespace {

struct Probe {
  int32_t integer = -1;
  float real = -1;
  int count = -1;
  std::string text;
};
Probe P;

void probeArguments(CommandContext c) {
  P.count = argumentCountPlus(c, 0);
  P.integer = intArg(c, 1);
  P.real = floatArg(c, 2);
  P.text = std::string(stringArg(c, 2));
}

void probeTwoResults(CommandContext c) {
  beginList(c);
  intResult(c, 1, 7);
  appendListElement(c);
  intResult(c, 2, 9);
  appendListElement(c);
}

const CoreBinding kProbes[] = {{"sp_x", probeArguments}, {"getCursorPos", probeTwoResults}};
const CoreBinding kUnbound[] = {{"sp_x", nullptr}, {"getCursorPos", nullptr}};

class SquirrelHost : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!squirrelApi()) GTEST_SKIP() << "the Squirrel runtime (" << kSquirrelPackage << ") is not installed";
    runOptions().headless = true;
    setSaveRoot("");
    quitRequest = 0;
    script::registerOwnCommands();
    registerCatalogue();
    registerScriptHosts();
    installReportHooks({.ownTrace = script::ownLanguageTrace, .squirrelTrace = squirrelTrace});
    script::installInterpreterHooks({.callSquirrel = callSquirrelFunction});
    bindCores(kProbes);
    script::cmd_int("r");
    script::cmd_string("s");
    testing::internal::CaptureStdout();  // the VM's error output goes there
  }
  void TearDown() override {
    if (!squirrelApi()) return;
    stdoutText = testing::internal::GetCapturedStdout();
    bindCores(kUnbound);
    releaseScriptHosts();
    installOwnBridge();
    script::squirrelFunctionTable().clear();
    script::resetVariables();
    quitRequest = 0;
  }
  void load(const std::string& file, const std::string& text) {
    test::writeFile(file, text);
    loadSquirrelFile(file, nullptr);
  }
  // The text of a root slot, through a function the own language calls.
  std::string slot(const std::string& name) {
    load("get.nut", "function get_() { return (\"" + name + "\" in getroottable()) ? \"\" + ::" + name +
                        " : \"<none>\"; }");
    callSquirrelFunction("get_", " $s", 2);
    return *script::stringReference("$s");
  }
  std::string takeLog() {
    std::string s = sjis_to_utf8(test::readFile("Information.txt"));
    std::filesystem::remove("Information.txt");
    return s;
  }
  int32_t r() { return *script::numericReference("%r"); }
  test::TempDir dir;
  std::string stdoutText;
};

TEST_F(SquirrelHost, ArgumentsReadOnlyTheirOwnTypes) {
  load("a.nut", "sp_x(3.9, 2);");
  EXPECT_EQ(P.integer, 3);
  EXPECT_FLOAT_EQ(P.real, 2.0f);
  EXPECT_EQ(P.count, 2);
  EXPECT_EQ(P.text, "");  // an integer is no string
  load("b.nut", "sp_x(\"5\", \"12.5\");");
  EXPECT_EQ(P.integer, 0);  // strings do not convert
  EXPECT_FLOAT_EQ(P.real, 0.0f);
  EXPECT_EQ(P.text, "12.5");
  load("c.nut", "sp_x();");
  EXPECT_EQ(P.count, 0);
  EXPECT_EQ(P.integer, 0);
  EXPECT_EQ(takeLog(), "");
}

TEST_F(SquirrelHost, ListResultsAreArraysAndGetTagIsAbsent) {
  load("a.nut",
       "local p = getCursorPos();\n"
       "pos <- typeof p + p.len() + \":\" + p[0] + \",\" + p[1];\n"
       "tag <- (\"getTag\" in getroottable()) + \",\" + (\"sp_gsz\" in getroottable());\n");
  EXPECT_EQ(slot("pos"), "array2:7,9");
  EXPECT_EQ(slot("tag"), "false,true");
}

TEST_F(SquirrelHost, NumbersArriveAsSinglePrecisionReals) {
  load("f.nut",
       "function f(a, b) { seen <- typeof a + \":\" + a.tointeger() + \":\" + b; return a; }\n"
       "function half(a) { return a / 2; }\n");
  callSquirrelFunction("f", " 16777217, \"t\", %r", 1);
  EXPECT_EQ(slot("seen"), "float:16777216:t");
  EXPECT_EQ(r(), 16777216);
  callSquirrelFunction("half", " -7, %r", 1);
  EXPECT_EQ(r(), -3);  // reals truncate toward zero
  EXPECT_EQ(takeLog(), "");
}

TEST_F(SquirrelHost, FailedLookupsCallsAndResultsReport) {
  load("f.nut",
       "function num() { getGameName(); return 5; }\n"
       "function boom() { return 1 / 0; }\n");
  callSquirrelFunction("nothere", "", 0);
  EXPECT_EQ(takeLog(), " sq_get\nthe index 'nothere' does not exist\r\nscript/0.txt[1] nothere\n");
  callSquirrelFunction("num", " $s", 2);
  EXPECT_EQ(takeLog(), " 戻り値が文字列ではありません\r\nscript/0.txt[1] num\n");
  callSquirrelFunction("boom", "", 0);
  std::string log = takeLog();
  EXPECT_EQ(log.rfind(" sq_call\n\nAN ERROR HAS OCCURED [division by zero]\n", 0), 0u) << log;
  callSquirrelFunction("num", " 1, , %r", 1);
  EXPECT_EQ(takeLog(), " 引数の型が不正です\r\nscript/0.txt[1] num\n");
  // The VM stays usable after every failure.
  callSquirrelFunction("num", " %r", 1);
  EXPECT_EQ(r(), 5);
  EXPECT_TRUE(squirrelVMOpen());
}

TEST_F(SquirrelHost, CompileAndRunErrorsNameTheFile) {
  load("keep.nut", "kept <- 1;");
  load("bad.nut", "local a = 1;\nlocal b = ;\n");
  EXPECT_EQ(takeLog(),
            " bad.nut を読み込めませんでした\nbad.nut line = (2) column = (12) : error expression expected\n"
            "\r\nscript/0.txt[1] loadSqu\n");
  load("run.nut", "local t = null;\nt.x = 1;\n");
  std::string log = takeLog();
  EXPECT_EQ(log.rfind(" run.nut を実行出来ませんでした\n\nAN ERROR HAS OCCURED [", 0), 0u) << log;
  EXPECT_NE(log.find("*FUNCTION [main()] run.nut line [2]"), std::string::npos) << log;
  EXPECT_EQ(slot("kept"), "1");
}

TEST_F(SquirrelHost, ErrorsInsideSquirrelTraceTheStack) {
  load("t.nut",
       "function inner() {\n"
       "  error(\"box\");\n"
       "}\n"
       "inner();\n");
  EXPECT_EQ(takeLog(), "error box\n\tt.nut:2: inner\n\tt.nut:4: main\n");
  EXPECT_EQ(activeLanguage(), kLanguageOwn);
}

TEST_F(SquirrelHost, EndStopsTheCodeAndClosesTheVM) {
  load("e.nut", "sp_x(1);\n::end();\nsp_x(2);\n");
  EXPECT_EQ(P.integer, 1);
  EXPECT_EQ(quitRequest.load(), 1);
  EXPECT_FALSE(squirrelVMOpen());
  EXPECT_EQ(takeLog(), "");
}

TEST_F(SquirrelHost, MessagesKeepTheNewestText) {
  load("big.nut",
       "function big() { local s = \"\"; for (local i = 0; i < 3000; i++) s += \"0123456789\"; return s; }\n"
       "throw big() + \"END\";\n");
  const std::string& kept = squirrelMessages();
  EXPECT_LE(kept.size(), 16u * 1024);
  EXPECT_GT(kept.size(), 15u * 1024);
  EXPECT_NE(kept.find("9END]\n\nCALLSTACK\n*FUNCTION [main()] big.nut line [2]"), std::string::npos);
  EXPECT_EQ(kept.find("AN ERROR"), std::string::npos);  // the oldest text went first
  takeLog();
}

long long twice(SQVM* v) {
  const SquirrelApi& sq = *squirrelApi();
  SQInteger n = 0;
  sq.sq_getinteger(v, 2, &n);
  sq.sq_pushinteger(v, n * 2);
  return 1;
}

TEST_F(SquirrelHost, PluginsRegisterFunctionsClassesAndConstants) {
  load("open.nut", "");
  ASSERT_NE(g_V, nullptr);
  sq_register_func(g_V, "twice", twice);
  const VelmoraSquirrelMethod methods[] = {{"twice", twice}};
  sq_register_class(g_V, "Doubler", methods, 1);
  sq_const_int(g_V, "ANSWER", 21);
  load("use.nut", "got <- twice(ANSWER) + \",\" + Doubler().twice(4);");
  EXPECT_EQ(slot("got"), "42,8");
  EXPECT_EQ(takeLog(), "");
}

}  // namespace
}  // namespace velmora::bindings
