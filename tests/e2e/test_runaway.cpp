// Loops that never wait for input still end: on a scenario's quit (on the
// virtual clock, which moves with the wall clock once nothing presents a
// frame) and on SIGTERM, which writes the settings as any quit does.
#include <gtest/gtest.h>

#include <string>

#include "support/engine.h"

namespace velmora {
namespace {

struct Loop {
  const char* name;
  const char* body;
};

// Each spins for minutes unless the quit lands; the print after it never runs.
const Loop kLoops[] = {
    {"DrawOnScreen", "screen 160, 120, 160, 0\n*w\ndraw\ngoto *w\n"},
    {"Draw2OnScreen", "screen 160, 120, 160, 0\n*w\ndraw2\ngoto *w\n"},
    {"DrawWithoutScreen", "*w\ndraw\ngoto *w\n"},
    {"For", "for %i, 1, 2000000000\nnext\n"},
    {"Goto", "*w\ncal %i += 1\ngoto *w\n"},
    {"LuaWhileTrue", "loadLua \"spin.lua\"\nfuncLua \"spin\", 0\nspin\n"},
};

void packGame(const std::string& body) {
  // An empty marker keeps the saves in the game folder without a question.
  test::writeFile("game/save.dat", "");
  test::writeFile("src/script/0.txt", "int i\nloadSetting\nsaveSetting\nprint \"spinning|\"\n" + body +
                                          "print \"never|\"\n");
  test::writeFile("game/spin.lua", "function spin() local n = 0 while true do n = n + 1 end end\n");
  ASSERT_EQ(test::runPack("scripts src game/script.dat").code, 0);
}

class BusyLoop : public ::testing::TestWithParam<Loop> {};

TEST_P(BusyLoop, EndsOnTheScenarioQuit) {
  test::TempDir dir;
  packGame(GetParam().body);
  test::writeFile("quit.txt", "at 300 quit\n");
  const test::Run run = test::runEngine("--virtual-clock --input quit.txt game", "", 60);
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.out, "spinning|");
}

INSTANTIATE_TEST_SUITE_P(Loops, BusyLoop, ::testing::ValuesIn(kLoops),
                         [](const auto& info) { return std::string(info.param.name); });

// The game has written its settings before it spins; the file is removed,
// and the quit that SIGTERM brings must write it again, with the read marks.
TEST(Signal, TermEndsASpinningGameAndWritesTheSettings) {
  test::TempDir dir;
  packGame("*w\ngoto *w\n");
  const test::Run run = test::runCommand(
      "XDG_RUNTIME_DIR=\"$PWD\" '" + test::binaryDir() + "/velmora' --headless game & pid=$!; "
      "for i in $(seq 600); do [ -s game/save/setting.dat ] && break; sleep 0.1; done; "
      "rm -f game/save/setting.dat; sleep 0.2; kill -TERM $pid; "
      "for i in $(seq 100); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done; "
      "kill -KILL $pid 2>/dev/null; wait $pid; echo \" exit $?\"");
  EXPECT_EQ(run.out, "spinning| exit 143\n") << run.err;
  EXPECT_FALSE(test::readFile("game/save/setting.dat").empty());
  EXPECT_TRUE(std::filesystem::exists("game/save/already.dat"));  // the read marks too
}

}  // namespace
}  // namespace velmora
