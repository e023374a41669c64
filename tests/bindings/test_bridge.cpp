#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "bindings/bridge.h"
#include "bindings/catalogue.h"
#include "base/pump.h"
#include "base/report.h"
#include "base/settings.h"
#include "base/state.h"
#include "base/textconv.h"
#include "script/expression.h"
#include "script/interp.h"
#include "support/tempdir.h"

namespace velmora::bindings {
namespace {

class Bridge : public ::testing::Test {
 protected:
  void SetUp() override {
    runOptions().headless = true;
    setSaveRoot("");
    script::registerOwnCommands();
    installReportHooks({.ownTrace = script::ownLanguageTrace});
    registerCatalogue();
    resetSettings();
    script::cmd_int("r, i");
    script::cmd_string("s");
  }
  void TearDown() override {
    installOwnBridge();
    script::resetVariables();
    resetSettings();
  }
  void run(const char* name, const std::string& utf8Args = "") {
    script::findCommand(name)(utf8_to_sjis(utf8Args).c_str());
  }
  int32_t r() { return *script::numericReference("%r"); }
  std::string takeLog() {
    std::string s = sjis_to_utf8(test::readFile("Information.txt"));
    std::filesystem::remove("Information.txt");
    return s;
  }
  test::TempDir dir;
};

TEST_F(Bridge, OwnArgumentsConvertAsTheLanguageDoes) {
  script::ArgumentList a = script::parseArguments(" -2.7, \"txt\", %r, %nope, %r + 1, 2147483647 + 1, $s,");
  CommandContext c = &a;
  const ScriptBridge& b = ownBridge();
  for (int k = 0; k < 7; ++k) EXPECT_EQ(b.argumentCount[k](c), 8);
  EXPECT_EQ(b.integerArgument(c, 1), -2);
  EXPECT_FLOAT_EQ(b.floatArgument(c, 1), -2.7f);
  EXPECT_EQ(b.argumentKind(c, 2), b.stringKind);
  EXPECT_EQ(b.argumentKind(c, 1), script::kKindNumber);
  EXPECT_EQ(b.argumentKind(c, 8), script::kKindInvalid);  // the trailing comma's empty argument
  EXPECT_TRUE(b.namesNumericVariable(c, 3));
  EXPECT_FALSE(b.namesNumericVariable(c, 4));  // never declared
  EXPECT_FALSE(b.namesNumericVariable(c, 5));  // more than a reference
  EXPECT_FALSE(b.namesNumericVariable(c, 7));
  EXPECT_TRUE(b.namesStringVariable(c, 7));
  EXPECT_EQ(b.integerArgument(c, 6), INT32_MIN);  // wraps like the evaluator
  EXPECT_STREQ(b.stringArgument(c, 2), "txt");
  // Arguments that were not written read as 0 and empty text.
  EXPECT_EQ(b.integerArgument(c, 9), 0);
  EXPECT_EQ(b.integerArgument(c, 0), 0);
  EXPECT_STREQ(b.stringArgument(c, 12), "");
  b.integerResult(c, 3, 17);
  EXPECT_EQ(r(), 17);
  b.integerResult(c, 2, 5);  // not a variable: nothing happens
  b.integerResult(c, 40, 5);
  b.stringResultLength(c, 7, "abcdef", 3);
  EXPECT_EQ(*script::stringReference("$s"), "abc");
  b.endProgram(c);
  EXPECT_EQ(quitRequest.load(), 1);
  quitRequest = 0;
}

TEST_F(Bridge, SettingsCommandsStoreAsTheirRuleSays) {
  run("getConfirmDialog", " 4, %r");
  EXPECT_EQ(r(), 0);
  run("setConfirmDialog", " 0.5, 17");  // a real flag; the index is taken modulo 16
  run("getConfirmDialog", " 1, %r");
  EXPECT_EQ(r(), 1);
  run("setConfirmDialog", " 0, 1");
  run("getConfirmDialog", " 17, %r");
  EXPECT_EQ(r(), 0);
  run("setPointWait", " 300");
  run("getPointWait", " %r");
  EXPECT_EQ(r(), 44);
  run("setMessageClick", " 5");
  run("getMessageClick", " %r");
  EXPECT_EQ(r(), 1);
  run("setEffectCancel", " 0");
  EXPECT_FALSE(waitSettings().effectCancel);
  run("setWindowAlpha");  // a missing argument reads 0
  EXPECT_EQ(setting(SettingKey::WindowAlpha), 0);
  run("setWallPaper", " \"壁紙.png\"");
  run("getWallPaper", " $s");
  EXPECT_EQ(sjis_to_utf8(*script::stringReference("$s")), "壁紙.png");
  run("getGameName", " $s");
  EXPECT_EQ(*script::stringReference("$s"), "Velmora");
  run("getPointWait", " 5");  // a result argument that is no variable is skipped
}

TEST_F(Bridge, ShellExecuteChecksItsArgumentsInOrder) {
  const std::pair<const char*, const char*> cases[] = {
      {" \"a\", \"b\"", "引数の数が不正です"},
      {" 1, \"b\", %r", "第一引数が文字列ではありません"},
      {" \"a\", 2, %r", "第二引数が文字列ではありません"},
      {" \"a\", \"b\", 3", "第三引数の数値変数が不正です"},
  };
  for (auto [args, message] : cases) {
    script::cmd_cal(" %r = -1");
    run("shellExecute", args);
    EXPECT_EQ(takeLog(), std::string(" ") + message + "\r\nscript/0.txt[1] shellExecute\n") << args;
    EXPECT_EQ(r(), -1);
  }
  run("shellExecute", " \"no-such-file\", \"\", %r");
  EXPECT_EQ(r(), 2);
  test::writeFile("make.sh", "#!/bin/sh\ntouch \"$1\"\n");
  chmod("make.sh", 0755);
  run("shellExecute", " \"make.sh\", \"made\", %r");
  EXPECT_GT(r(), 32);
  for (int i = 0; i < 200 && !std::filesystem::exists("made"); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_TRUE(std::filesystem::exists("made"));
}

TEST_F(Bridge, ShellExecuteTakesWindowsPathsInShiftJis) {
  std::filesystem::create_directory("道具");
  test::writeFile("道具/記録.sh", "#!/bin/sh\nprintf %s \"$1\" > \"$2\"\n");
  chmod("道具/記録.sh", 0755);
  run("shellExecute", " \"道具\\記録.sh\", \"日本語 結果.txt\", %r");
  EXPECT_GT(r(), 32);
  for (int i = 0; i < 200 && !std::filesystem::exists("結果.txt"); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  for (int i = 0; i < 50 && test::readFile("結果.txt").empty(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(test::readFile("結果.txt"), "日本語");
  // A document is checked under its host name before it is handed on.
  run("shellExecute", " \"道具\\無い.txt\", \"\", %r");
  EXPECT_EQ(r(), 2);
}

// A foreign language passes two arguments for one result: count entry 1 is 3.
struct ForeignCall {
  int count = 2;
  int resultPosition = 0;
  int32_t result = 0;
};
ForeignCall& foreign(CommandContext c) { return *static_cast<ForeignCall*>(c); }
template <int K>
int foreignCount(CommandContext c) { return foreign(c).count + K; }
int foreignKind(CommandContext, int) { return 4; }
const char* foreignText(CommandContext, int i, size_t* n) {
  const char* t = i == 1 ? "no-such-file" : "";
  if (n) *n = std::char_traits<char>::length(t);
  return t;
}
bool always(CommandContext, int) { return true; }
void foreignResult(CommandContext c, int i, int32_t v) { foreign(c).resultPosition = i, foreign(c).result = v; }

TEST_F(Bridge, ForeignLanguagesCountArgumentsPlusResults) {
  ScriptBridge b = ownBridge();
  b.argumentCount = {foreignCount<0>, foreignCount<1>, foreignCount<2>, foreignCount<3>,
                     foreignCount<4>, foreignCount<5>, foreignCount<6>};
  b.argumentKind = foreignKind;
  b.stringKind = 4;
  b.stringArgumentLength = foreignText;
  b.namesNumericVariable = always;
  b.integerResult = foreignResult;
  b.language = kLanguageLua;
  installBridge(b);
  EXPECT_EQ(activeLanguage(), kLanguageLua);
  ForeignCall call;
  callCatalogueCommand(static_cast<size_t>(catalogueIndex("shellExecute")), &call);
  EXPECT_EQ(call.resultPosition, 3);
  EXPECT_EQ(call.result, 2);
  EXPECT_EQ(callCatalogueCommand(static_cast<size_t>(catalogueIndex("getCursorPos")), &call), 2);
  installOwnBridge();
  EXPECT_EQ(activeLanguage(), kLanguageOwn);
  takeLog();
}

}  // namespace
}  // namespace velmora::bindings
