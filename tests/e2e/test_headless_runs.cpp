// Headless runs: the engine's own questions and their answers on standard
// error, runs that keep their files apart from a game in use, and the close
// button of a game that ignores it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

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

// The player's English: the same questions and dialog in English; an error
// keeps its Japanese text and gains an English line.
TEST(HeadlessRuns, AnEnglishUiAsksInEnglishAndAddsALineToErrors) {
  test::TempDir dir;
  const std::string english = "VELMORA_UI_LANGUAGE=en";
  test::Run r = packAndRun("loadSetting \"Maker\", \"Game\"\n", "", english);
  EXPECT_EQ(r.code, 4) << r.err;
  EXPECT_TRUE(has(r.err, "[Confirm] Keep the save data in Documents?\n")) << r.err;
  EXPECT_TRUE(has(r.err, "Create the save data in the game folder? -> no")) << r.err;
  r = packAndRun("screen 320, 240, 320, 0\n", "--answer no", english);
  EXPECT_TRUE(has(r.err, "[Start-up settings] FullScreen 0, ScreenAspect 0, Resolution 320, ResolutionWindow 1, "
                         "StartingSetUp 1 -> Quit")) << r.err;
  r = packAndRun("screen 320, 240, 320, 2\ngoto *nowhere\n", "", english);
  EXPECT_TRUE(has(r.err, "[Error]  *nowhereラベルが存在しません")) << r.err;
  EXPECT_TRUE(has(r.err, "goto\nThe label does not exist.")) << r.err;
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
  test::writeFile("yes.txt", "wait-event\nclose\nwait-event\nclose\n");
  test::Run r = packAndRun(script, "--virtual-clock --answer yes --input yes.txt");
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "ignored");
  EXPECT_TRUE(has(r.err, "ゲームが終了の要求に応答していません。\nゲームを終了しますか？ -> yes")) << r.err;
  test::writeFile("no.txt", "wait-event\nclose\nwait-event\nclose\nwait-event\nquit\n");
  r = packAndRun(script, "--virtual-clock --answer no --input no.txt");
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "ignored");
  EXPECT_TRUE(has(r.err, "-> no")) << r.err;
}

// Half a second of a stereo pattern no two stretches of which are alike.
std::string toneWave() {
  constexpr uint32_t kFrames = 22050;
  auto u32 = [](uint32_t v) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; };
  auto u16 = [](uint32_t v) { return std::string{char(v), char(v >> 8)}; };
  std::string data;
  for (uint32_t i = 0; i < kFrames; ++i) data += u16(uint16_t(int(i * 37 % 2000) - 1000)) + u16(uint16_t(int(i * 53 % 3000) - 1500));
  return "RIFF" + u32(36 + uint32_t(data.size())) + "WAVEfmt " + u32(16) + u16(1) + u16(2) + u32(44100) + u32(44100 * 4) +
         u16(4) + u16(16) + "data" + u32(uint32_t(data.size())) + data;
}

std::vector<int32_t> waveFrames(const std::string& file) {
  std::vector<int32_t> frames(file.size() < 44 ? 0 : (file.size() - 44) / 4);
  if (!frames.empty()) std::memcpy(frames.data(), file.data() + 44, frames.size() * 4);
  return frames;
}

// On the virtual clock the recording holds the game time from sd_create on,
// sleeps, effects and frames alike, to the sample; what plays in it is what
// a real-clock recording of the same scene holds.
TEST(HeadlessRuns, AudioOnTheVirtualClockIsRecordedForTheGameTimeThatPassed) {
  test::TempDir dir;
  fs::create_directories("game");
  test::writeFile("game/tone.wav", toneWave());
  const std::string scene =
      "int a, b, i\nscreen 320, 240, 320, 2\nsd_create\ntimeGetTime %a\nsd 1, \"tone.wav\", 0, 0, 100, 0, 1, 0\n"
      "sleep 700\neffect 0, 600\nfor %i, 1, 30\ndraw\nnext\ntimeGetTime %b\nprint %b - %a\n";
  const test::Run game = packAndRun(scene, "--virtual-clock --audio-out game.wav");
  ASSERT_EQ(game.code, 0) << game.err;
  const std::vector<int32_t> virtualRun = waveFrames(test::readFile("game.wav"));
  EXPECT_EQ(virtualRun.size(), size_t(std::stoi(game.out)) * 44100 / 1000) << game.out;
  const test::Run wall = packAndRun(scene, "--audio-out wall.wav");
  ASSERT_EQ(wall.code, 0) << wall.err;
  const std::vector<int32_t> wallRun = waveFrames(test::readFile("wall.wav"));
  auto toneStart = [](const std::vector<int32_t>& f) { return std::find_if(f.begin(), f.end(), [](int32_t v) { return v != 0; }); };
  const auto v = toneStart(virtualRun), w = toneStart(wallRun);
  ASSERT_GE(virtualRun.end() - v, 22050);
  ASSERT_GE(wallRun.end() - w, 22050);
  EXPECT_TRUE(std::equal(v, v + 22050, w));
}

}  // namespace
}  // namespace velmora
