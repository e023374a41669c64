// Headless runs: the engine's own questions and their answers on standard
// error, runs that keep their files apart from a game in use, and the close
// button of a game that ignores it.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/engine.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

test::Run packAndRun(const std::string& script, const std::string& args, const std::string& env = "") {
  test::writeFile("src/script/0.txt", script);
  test::runPack("scripts src game/script.dat");
  return test::runEngine(args + " game", "HOME='" + fs::current_path().string() + "/home' " + env, 120);
}

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(HeadlessRuns, TheEnginesQuestionsAreAnsweredAloudAndAnEndByThemIsNotSuccess) {
  test::TempDir dir;
  const std::string firstRun = "loadSetting \"Maker\", \"Game\"\nprint \"playing\"\n";
  test::Run r = packAndRun(firstRun, "");
  EXPECT_EQ(r.code, 4) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_TRUE(has(r.err, "ドキュメントにセーブデータを保存しても宜しいですか？")) << r.err;
  EXPECT_TRUE(has(r.err, "ゲームフォルダにセーブデータを作りますか？ -> no")) << r.err;
  EXPECT_TRUE(has(r.err, "the answers given ended the game")) << r.err;
  r = packAndRun(firstRun, "--answer yes");
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(has(r.out, "playing"));

  // The start-up dialog is a question too.
  const std::string dialog = "screen 320, 240, 320, 0\nprint \"playing\"\n";
  r = packAndRun(dialog, "--answer no");
  EXPECT_EQ(r.code, 4) << r.err;
  EXPECT_TRUE(has(r.err, "[起動設定] FullScreen 0, ScreenAspect 0, Resolution 320, ResolutionWindow 1, StartingSetUp 1 -> 終了"))
      << r.err;
  r = packAndRun(dialog, "");
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(has(r.err, "-> 起動")) << r.err;
}

// --save-dir: no question, and every file the run writes lands there.
TEST(HeadlessRuns, ASaveDirHoldsEverythingTheRunWrites) {
  test::TempDir dir;
  const test::Run r = packAndRun("loadSetting \"Maker\", \"Game\"\nscreen 320, 240, 320, 2\nsaveSetting\n",
                                 "--save-dir out/run");
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_FALSE(has(r.err, "Confirm")) << r.err;
  EXPECT_TRUE(fs::exists("out/run/save/setting.dat"));
  EXPECT_TRUE(fs::exists("out/run/Information.txt"));
  EXPECT_FALSE(fs::exists("game/save.dat"));
  EXPECT_FALSE(fs::exists("game/Information.txt"));
  EXPECT_FALSE(fs::exists("game/save"));
}

// A game open in a window (its lock held) or run by another headless run
// (its files' lock held): this run keeps its files in a folder of its own,
// says where, and removes it at the end.
TEST(HeadlessRuns, AGameInUseElsewhereLeavesItsFilesAlone) {
  test::TempDir dir;
  const std::string runtime = fs::current_path().string() + "/runtime";
  fs::create_directory(runtime);
  fs::permissions(runtime, fs::perms::owner_all);
  const std::string script = "setWindowText \"Busy\"\nscreen 320, 240, 320, 2\n";
  for (const char* held : {".lock", ".files.lock"}) {
    const std::string lock = runtime + "/velmora-console-Busy" + held;
    const test::Run r = packAndRun(script, "", "DISPLAY= WAYLAND_DISPLAY= XDG_RUNTIME_DIR='" + runtime + "' flock -n '" + lock + "'");
    EXPECT_EQ(r.code, 0) << held << r.err;
    EXPECT_TRUE(has(r.err, "\"Busy\" is in use elsewhere; this headless run keeps its files in ")) << r.err;
    EXPECT_FALSE(fs::exists("game/Information.txt")) << held;
    const size_t at = r.err.find(" in /");
    const std::string folder = at == std::string::npos ? "" : r.err.substr(at + 4, r.err.find(' ', at + 4) - at - 4);
    EXPECT_FALSE(folder.empty() || fs::exists(folder)) << folder;
  }
  const test::Run alone = packAndRun(script, "", "DISPLAY= WAYLAND_DISPLAY= XDG_RUNTIME_DIR='" + runtime + "'");
  EXPECT_EQ(alone.code, 0) << alone.err;
  EXPECT_FALSE(has(alone.err, "in use elsewhere")) << alone.err;
  EXPECT_TRUE(fs::exists("game/Information.txt"));
}

// The script takes the first close and does nothing; the second one, soon
// after, is the engine's question: yes ends the game, no leaves it running.
TEST(HeadlessRuns, ASecondCloseEndsAGameThatIgnoresTheFirst) {
  test::TempDir dir;
  const std::string script =
      "int b, c, p\nscreen 320, 240, 320, 2\n*l\neventWait %b, %c, %p\nif (%b == 261) print \"ignored\"\ndraw\ngoto *l\n";
  // At fixed moments: waiting for the event wait raced with the draws.
  test::writeFile("yes.txt", "at 500 close\nat 1500 close\n");
  test::Run r = packAndRun(script, "--virtual-clock --answer yes --input yes.txt");
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "ignored");
  EXPECT_TRUE(has(r.err, "ゲームが終了の要求に応答していません。\nゲームを終了しますか？ -> yes")) << r.err;
  test::writeFile("no.txt", "at 500 close\nat 1500 close\nat 2500 quit\n");
  r = packAndRun(script, "--virtual-clock --answer no --input no.txt");
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "ignored");
  EXPECT_TRUE(has(r.err, "-> no")) << r.err;
}

}  // namespace
}  // namespace velmora
