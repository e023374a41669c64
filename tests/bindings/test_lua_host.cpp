#include <gtest/gtest.h>
#include <lua.hpp>

#include <filesystem>
#include <string>

#include "bindings/bridge.h"
#include "bindings/catalogue.h"
#include "bindings/host_commands.h"
#include "bindings/host_exports.h"
#include "bindings/host_utility.h"
#include "bindings/lua_host.h"
#include "base/report.h"
#include "base/state.h"
#include "base/textconv.h"
#include "resource/packer.h"
#include "resource/resource.h"
#include "script/expression.h"
#include "script/interp.h"
#include "support/tempdir.h"

namespace velmora::bindings {
namespace {

// What the probe cores bound in place of catalogue commands saw.
struct Probe {
  int32_t integer = -1;
  double real = -1;
  int count = -1;
  std::string text;
};
Probe P;

void probeArguments(CommandContext c) {
  P.count = argumentCountPlus(c, 0);
  P.integer = intArg(c, 1);
  P.real = doubleArg(c, 2);
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

class LuaHost : public ::testing::Test {
 protected:
  void SetUp() override {
    runOptions().headless = true;
    setSaveRoot("");
    quitRequest = 0;
    script::registerOwnCommands();
    registerCatalogue();
    registerScriptHosts();
    installReportHooks({.ownTrace = script::ownLanguageTrace, .luaTrace = luaTrace});
    script::installInterpreterHooks({.callLua = callLuaFunction});
    bindCores(kProbes);
    script::cmd_int("r");
    script::cmd_string("s");
  }
  void TearDown() override {
    bindCores(kUnbound);
    releaseScriptHosts();
    installOwnBridge();
    script::luaFunctionTable().clear();
    script::resetVariables();
    quitRequest = 0;
  }
  void load(const std::string& file, const std::string& text) {
    test::writeFile(file, text);
    loadLuaFile(file, nullptr);
  }
  std::string global(const char* name) {
    if (!g_L) return "<closed>";
    lua_getglobal(g_L, name);
    const char* s = lua_tostring(g_L, -1);
    std::string out = s ? s : "<nil>";
    lua_pop(g_L, 1);
    return out;
  }
  std::string takeLog() {
    std::string s = sjis_to_utf8(test::readFile("Information.txt"));
    std::filesystem::remove("Information.txt");
    return s;
  }
  int32_t r() { return *script::numericReference("%r"); }
  std::string s() { return *script::stringReference("$s"); }
  test::TempDir dir;
};

TEST(LuaMultibyte, CharactersFollowTheTwoByteRule) {
  const std::string s = "a\x82\xa0" "b";  // a, a double-byte character, b
  EXPECT_EQ(mbLength(s), 3u);
  EXPECT_EQ(mbSubstring(s, 2, 2), "\x82\xa0");
  EXPECT_EQ(mbSubstring(s, 2, -1), "\x82\xa0" "b");
  EXPECT_EQ(mbSubstring(s, 0, 1), "a");  // 0 counts as 1
  EXPECT_EQ(mbSubstring(s, 3, 2), "");
  // Negative positions count bytes from the end, then select characters.
  EXPECT_EQ(mbSubstring(s, -2, -1), "b");
  EXPECT_EQ(mbSubstring(s, -1, -1), "");
  // Past the last character the result ends at byte j.
  EXPECT_EQ(mbSubstring("\x82\xa0\x82\xa2", 2, 3), "\x82");
  EXPECT_EQ(mbSubstring("ab", 1, 99), "ab");
  // 0xF0 leads nothing, a bad trail byte splits, a lone lead at the end is one.
  EXPECT_EQ(mbLength("\xF0\x40"), 2u);
  EXPECT_EQ(mbLength("\xE0\x7F"), 2u);
  EXPECT_EQ(mbLength("\xEF\xFC"), 1u);
  EXPECT_EQ(mbLength("a\x82"), 2u);
  EXPECT_EQ(mbLength(""), 0u);
}

TEST(ScriptText, LinesAreRebuiltWithLineFeeds) {
  EXPECT_EQ(rebuildScriptText(std::string("a\r\nb\0junk\nend", 14)), "a\r\nb\nend\n");
  EXPECT_EQ(rebuildScriptText("x = 1\n}"), "x = 1\n}\n");
  EXPECT_EQ(rebuildScriptText("x = 1\n\x1A"), "x = 1\n");
  EXPECT_EQ(rebuildScriptText(""), "");
  EXPECT_EQ(rebuildScriptText("\n\n"), "\n\n");
  const std::string longLine(2000, 'x');
  EXPECT_EQ(rebuildScriptText(longLine), longLine + "\n");  // long lines pass whole
}

TEST_F(LuaHost, ArgumentsConvertAsLuaValuesDo) {
  load("a.lua", "sp_x(3.9, '12.5')");
  EXPECT_EQ(P.integer, 3);
  EXPECT_DOUBLE_EQ(P.real, 12.5);
  EXPECT_EQ(P.count, 2);
  load("b.lua", "sp_x('-2', true)");
  EXPECT_EQ(P.integer, -2);
  EXPECT_DOUBLE_EQ(P.real, 0);
  EXPECT_EQ(P.text, "");  // neither string nor number: empty text
  load("c.lua", "sp_x()");
  EXPECT_EQ(P.integer, 0);
  EXPECT_EQ(P.count, 0);
  load("d.lua", "sp_x(1, 2.25)");
  EXPECT_EQ(P.text, "2.25");  // numbers read as text
  EXPECT_EQ(takeLog(), "");
}

TEST_F(LuaHost, ResultsAreReturnValuesAndMissingOnesNil) {
  load("a.lua",
       "local x, y = getCursorPos() xy = x .. ',' .. y\n"
       "local a, b = sp_gsz(1) gsz = tostring(a) .. ',' .. tostring(b)\n"
       "tag = type(getTag) .. ',' .. type(sp_gsz) .. ',' .. type(loadSqu)\n");
  EXPECT_EQ(global("xy"), "7,9");
  EXPECT_EQ(global("gsz"), "nil,nil");  // a command not built pushes nothing
  EXPECT_EQ(global("tag"), "nil,function,function");
  EXPECT_NE(takeLog().find("sp_gsz"), std::string::npos);
}

TEST_F(LuaHost, OwnLanguageCallsDeclaredFunctions) {
  load("f.lua",
       "calls = 0\n"
       "function add(a, b) calls = calls + 1 return a + b end\n"
       "function num() return 2.5 end\n"
       "function cat(a, b) return a .. b end\n");
  callLuaFunction("add", " 3, 4, %r", 1);
  EXPECT_EQ(r(), 7);
  callLuaFunction("add", " 2.9, 1, %r", 1);
  EXPECT_EQ(r(), 3);  // truncated toward zero
  callLuaFunction("num", " $s", 2);
  EXPECT_EQ(s(), "2.5");
  callLuaFunction("cat", " \"x\", 1, $s", 2);
  EXPECT_EQ(s(), "x1");
  callLuaFunction("add", " 1, 2", 0);
  EXPECT_EQ(global("calls"), "3");
  EXPECT_EQ(takeLog(), "");
}

TEST_F(LuaHost, CallsWithBadResultVariablesOrArgumentsCallNothing) {
  load("f.lua", "calls = 0 function f(...) calls = calls + 1 return 1 end\n");
  const std::pair<const char*, int> cases[] = {{" 1, $s", 1}, {" 1, %r", 2}, {"", 1}, {" 1, %nope", 1}};
  for (auto [args, kind] : cases) callLuaFunction("f", args, kind);
  callLuaFunction("f", " 1, , %r", 1);
  EXPECT_EQ(global("calls"), "0");
  EXPECT_EQ(takeLog(),
            " 数値変数が不正です\r\nscript/0.txt[1] f\n"
            " 文字列変数が不正です\r\nscript/0.txt[1] f\n"
            " 数値変数が不正です\r\nscript/0.txt[1] f\n"
            " 数値変数が不正です\r\nscript/0.txt[1] f\n"
            " 引数の型が不正です\r\nscript/0.txt[1] f\n");
}

TEST_F(LuaHost, ErrorsReportAndCloseTheInterpreter) {
  load("keep.lua", "kept = 'yes'");
  load("bad.lua", "x = 1\nx = = 2\n");
  EXPECT_FALSE(luaInterpreterOpen());
  EXPECT_EQ(takeLog(), " [string \"bad.lua\"]:2: unexpected symbol near '='\r\nscript/0.txt[1] loadLua\n");
  // A later loadLua starts afresh: earlier globals are gone.
  load("run.lua", "seen = tostring(kept)\nfunction boom() local t = nil return t.x end\n");
  EXPECT_EQ(global("seen"), "nil");
  callLuaFunction("boom", " %r", 1);
  EXPECT_FALSE(luaInterpreterOpen());
  EXPECT_EQ(takeLog(), " [string \"run.lua\"]:2: attempt to index local 't' (a nil value)\r\nscript/0.txt[1] boom\n");
  // Run errors carry the traceback of the message handler.
  load("deep.lua", "local function inner() local t = nil return t.x end\ninner()\n");
  std::string log = takeLog();
  EXPECT_NE(log.find("(a nil value)\nstack traceback:\n"), std::string::npos) << log;
  EXPECT_NE(log.find("stack traceback:\n\t[string \"deep.lua\"]:1: in function 'inner'"), std::string::npos) << log;
  load("missing.lua.txt", "");  // an empty file runs and keeps the interpreter
  EXPECT_TRUE(luaInterpreterOpen());
  loadLuaFile("nowhere.lua", nullptr);  // the resource layer reports
  EXPECT_TRUE(luaInterpreterOpen());
  takeLog();
}

TEST_F(LuaHost, LookupsThroughAStrictGlobalTableReport) {
  load("strict.lua",
       "setmetatable(_G, {__index = function(t, n) assert(false, 'undeclared ' .. n) end})\n"
       "function f() return 1 end\n");
  callLuaFunction("f", " %r", 1);
  EXPECT_EQ(r(), 1);
  callLuaFunction("g", "", 0);
  EXPECT_NE(takeLog().find("undeclared g"), std::string::npos);
  EXPECT_FALSE(luaInterpreterOpen());
}

TEST_F(LuaHost, ErrorsInsideLuaTraceTheLuaStack) {
  testing::internal::CaptureStdout();
  load("t.lua",
       "local function inner()\n"
       "  error('boom', 0)\n"
       "end\n"
       "inner()\n"
       "error('box')\n");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "error boom\n\tt.lua:2: inner\n\tt.lua:4: main\n");
  EXPECT_EQ(sjis_to_utf8(test::readFile("Information.txt")), "error box\n\tt.lua:5: main\n");
  EXPECT_EQ(activeLanguage(), kLanguageOwn);
  EXPECT_TRUE(luaInterpreterOpen());
  takeLog();
}

TEST_F(LuaHost, EndStopsTheCodeAndClosesTheInterpreter) {
  // end is a keyword of Lua: scripts reach the global through _G.
  load("e.lua", "sp_x(1)\n_G['end']()\nsp_x(2)\n");
  EXPECT_EQ(P.integer, 1);
  EXPECT_EQ(quitRequest.load(), 1);
  EXPECT_FALSE(luaInterpreterOpen());
  EXPECT_EQ(takeLog(), "");
  quitRequest = 0;
  // Nested: the inner file ends the program, the outer stops as well.
  test::writeFile("inner.lua", "_G['end']()\n");
  load("outer.lua", "loadLua('inner.lua')\nafter = 1\n");
  EXPECT_FALSE(luaInterpreterOpen());
  EXPECT_EQ(takeLog(), "");
}

TEST_F(LuaHost, NestedLoadsShareGlobalsAndKeepTheBridge) {
  test::writeFile("inner.lua", "inner = 'in'\nlocal x, y = getCursorPos()\ninnerPos = x\n");
  load("outer.lua", "loadLua('inner.lua')\nouter = inner .. tostring(innerPos)\n");
  EXPECT_EQ(global("outer"), "in7");
  EXPECT_EQ(activeLanguage(), kLanguageOwn);
  // A failing inner file closes the interpreter once the outer run is over.
  test::writeFile("broken.lua", "x = = 1\n");
  load("outer2.lua", "loadLua('broken.lua')\nafter = 1\n");
  EXPECT_FALSE(luaInterpreterOpen());
  EXPECT_EQ(takeLog(), "loadLua [string \"broken.lua\"]:1: unexpected symbol near '='\n\touter2.lua:1: main\n");
}

TEST_F(LuaHost, FilesLoadFromArchives) {
  test::writeFile("arc0.dat", resource::buildArchive({{"lua/a.lua", "fromArchive = 'yes'\n"}}, true));
  resource::openArchives();
  loadLuaFile("lua/a.lua", nullptr);
  resource::closeArchives();
  EXPECT_EQ(global("fromArchive"), "yes");
}

}  // namespace
}  // namespace velmora::bindings
