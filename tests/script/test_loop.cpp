#include <gtest/gtest.h>

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

namespace velmora::script {
namespace {

std::vector<std::string> g_calls;
std::vector<std::string> g_shown;

void rec(const char* args) { g_calls.push_back(args); }
void quit(const char*) { quitRequest = 1; }
int showLine(std::string_view line, size_t start, size_t next, size_t after) {
  g_shown.push_back(std::string(line.substr(start)) + "|" + std::to_string(next) + "|" + std::to_string(after));
  return 1;
}

// Runs a start script (UTF-8, converted) through the real loop.
class Loop : public ::testing::Test {
 protected:
  void SetUp() override {
    runOptions().headless = true;
    setSaveRoot("");
    quitRequest = 0;
    g_calls.clear();
    g_shown.clear();
  }
  void TearDown() override {
    clearControlState();
    resetInterpreter();
    resetVariables();
    releaseScriptTables();
    userSubTable().clear();
    installInterpreterHooks({});
    quitRequest = 0;
  }
  void run(const std::string& utf8, const std::vector<resource::PackedMember>& others = {}) {
    std::vector<resource::PackedMember> all{{"script/0.txt", utf8_to_sjis(utf8)}};
    for (auto m : others) {
      m.bytes = utf8_to_sjis(m.bytes);
      all.push_back(m);
    }
    test::writeFile("script.dat", resource::buildScriptFile(all));
    ASSERT_TRUE(loadScriptIndex());
    ASSERT_TRUE(loadScript(crc64_hash("script/0.txt"), slotLines(0)));
    slotChanged(0);
    registerOwnCommands();
    installReportHooks({.ownTrace = ownLanguageTrace});
    registerCommand("rec", rec);
    registerCommand("quit", quit);
    installInterpreterHooks({.textLine = showLine});
    runScript();
  }
  std::string log() { return sjis_to_utf8(test::readFile("Information.txt")); }
  test::TempDir dir;
};

TEST_F(Loop, PartsCommentsAndQuotes) {
  run("rec 1:rec 2 // rec 3\nrec 'a:b':rec \"c;d\"; rec 5\nrec\t9 : rec  \n");
  EXPECT_EQ(g_calls, (std::vector<std::string>{" 1", " 2", " 'a:b'", " \"c;d\"", "\t9", ""}));
}

TEST_F(Loop, ArgumentTextNeedsTwoBytesAfterTheName) {
  run("rec;\nrec:rec x\nrec,\n");
  EXPECT_EQ(g_calls, (std::vector<std::string>{"", "", " x", ""}));
}

TEST_F(Loop, UnknownCommandsAreReportedAndTheLineGoesOn) {
  run("rec 1\n\n\nnosuch 1, 2:rec 2\n");
  EXPECT_EQ(g_calls, (std::vector<std::string>{" 1", " 2"}));
  EXPECT_EQ(log(), " 未対応の命令です\r\nscript/0.txt[4] nosuch\n");
}

TEST_F(Loop, BuiltInCommandsWinOverUserSubroutines) {
  userSubTable().insert(crc32_hash("rec"));
  run("rec 1\nend\n*rec\nrec never\n");
  EXPECT_EQ(g_calls, (std::vector<std::string>{" 1"}));
}

TEST_F(Loop, QuitEndsTheLoopAfterTheCurrentCommand) {
  run("rec 1:quit:rec 2\nrec 3\n");
  EXPECT_EQ(g_calls, (std::vector<std::string>{" 1"}));
}

TEST_F(Loop, TextLinesGoWholeToTheMessageWindow) {
  run("「あ:い // う」\n続き\n\n*x\nrec 1\n");
  ASSERT_EQ(g_shown.size(), 2u);
  EXPECT_EQ(g_shown[0], utf8_to_sjis("「あ:い // う」") + "|" + std::to_string(utf8_to_sjis("続き").size()) + "|0");
  EXPECT_EQ(g_shown[1], utf8_to_sjis("続き") + "|0|2");
  EXPECT_EQ(g_calls, (std::vector<std::string>{" 1"}));
  EXPECT_FALSE(std::filesystem::exists("Information.txt"));  // both lines belong to one block
}

TEST_F(Loop, ASpeakerNameOnItsOwnLineHandsOverTheNextLine) {
  run("【名前】\n「台詞」\n\n【彼女】「同じ行」\n");
  ASSERT_EQ(g_shown.size(), 2u);
  EXPECT_EQ(g_shown[0], utf8_to_sjis("「台詞」") + "|0|" + std::to_string(utf8_to_sjis("【彼女】「同じ行」").size()));
  EXPECT_EQ(g_shown[1].substr(0, utf8_to_sjis("「同じ行」").size()), utf8_to_sjis("「同じ行」"));
}

TEST_F(Loop, AnInlineCommandRunsUpToItsBracket) {
  run("rec 0\n");
  std::string text = "ab[rec 1,2]cd[nosuch x]";
  size_t pos = 2;
  EXPECT_EQ(runInlineCommand(text.c_str(), pos, text.size()), 1);
  EXPECT_EQ(text[pos], ']');
  EXPECT_EQ(g_calls.back(), " 1,2");
  pos = 13;
  EXPECT_EQ(runInlineCommand(text.c_str(), pos, text.size()), 1);
  EXPECT_EQ(pos, 20u);  // the end of the name
  EXPECT_NE(log().find("未対応の命令です"), std::string::npos);
}

}  // namespace
}  // namespace velmora::script
