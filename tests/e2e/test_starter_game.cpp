// The game that velmora-pack new writes, made, checked, packed and played as
// the README says: from the title through a page and a choice to the save
// screen, and in a second run from the title's LOAD back to the saved page,
// which only works when *load_lb declares what the loaded game needs.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/engine.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

size_t occurrences(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// Every error box but the notice that each display start reports.
void expectNoErrorBoxes(const test::Run& run) {
  EXPECT_EQ(occurrences(run.err, "[Error]"), occurrences(run.err, "Software が使えないので")) << run.err;
}

// Clicks go to the logical screen: the title's buttons at x 640, y 390 + 76 n;
// the window's buttons at y 688, x 540 + 104 n (SAVE n = 3); save slot 1 at
// 340, 190; the two options of the choice at y 240 and 330.
const char* const kFirstPlay = R"(wait 2500
click 640 390
wait 2500
expect-text "Welcome!"
click 640 300
wait 4000
click 640 300
wait 3000
expect-text "The town below"
click 640 300
wait 2000
click 640 300
wait 1000
move 640 330
wait 300
click 640 330
wait 3500
expect-text "Warm tea"
expect-var %choice 1
click 852 688
wait 1500
click 340 190
wait 1000
click 640 660
wait 500
quit
)";

// The second run ends with the title's QUIT, which asks first.
const char* const kSecondPlay = R"(wait 2500
click 640 466
wait 1500
click 340 190
wait 3000
expect-text "Warm tea"
expect-var %g_route 2
expect-var $g_scene "Back home"
click 640 300
wait 2500
expect-text "Thank you for playing"
click 640 300
wait 3000
click 640 618
)";

TEST(StarterGame, PlaysThroughAChoiceSavesAndLoadsFromTheTitle) {
  test::TempDir dir;
  const test::Run made = test::runPack("new mygame");
  ASSERT_EQ(made.code, 0) << made.err;
  const test::Run packed = test::runPack("game mygame out");
  ASSERT_EQ(packed.code, 0) << packed.out << packed.err;
  EXPECT_NE(packed.out.find("0 errors, 0 warnings"), std::string::npos) << packed.out;
  EXPECT_TRUE(fs::exists("out/arc0.dat") && fs::exists("out/save.dat"));

  test::writeFile("first.txt", kFirstPlay);
  const test::Run first = test::runEngine("--virtual-clock --answer yes --input first.txt out", "", 600);
  EXPECT_EQ(first.code, 0) << first.err;
  expectNoErrorBoxes(first);
  EXPECT_TRUE(fs::exists("out/save/save000.txt"));
  EXPECT_GT(fs::exists("out/save/thumb000.png") ? fs::file_size("out/save/thumb000.png") : 0u, 1000u);

  test::writeFile("second.txt", kSecondPlay);
  const test::Run second = test::runEngine("--virtual-clock --answer yes --input second.txt out", "", 600);
  EXPECT_EQ(second.code, 0) << second.err;
  expectNoErrorBoxes(second);
  EXPECT_NE(second.err.find("Quit the game? -> yes"), std::string::npos) << second.err;
}

// Its pages are longer lines, so the runs wait for each page, not for a time.
const char* const kEnglishFirstPlay = R"(wait 2500
click 640 390
wait-text
expect-text "Welcome!"
click 640 300
wait-text
click 640 300
wait-text
expect-text "The town below"
click 640 300
wait-text
click 640 300
wait 1000
move 640 330
wait 300
click 640 330
wait-text
expect-text "Warm tea"
expect-var %choice 1
click 852 688
wait 1500
click 340 190
wait 1000
click 640 660
wait 500
quit
)";

const char* const kEnglishSecondPlay = R"(wait 2500
click 640 466
wait 1500
click 340 190
wait-text
expect-text "Warm tea"
expect-var %g_route 2
expect-var $g_scene "Back home"
click 640 300
wait-text
expect-text "Thank you for playing"
quit
)";

// The English sample: the same game with its story in plain English, packed
// as a Unicode game with the engine's windows in English. Its narration lines,
// word-wrapped pages, choice and saves play as the Japanese-encoded one does.
TEST(StarterGame, TheEnglishSamplePlaysAsAUnicodeGame) {
  test::TempDir dir;
  ASSERT_EQ(test::runPack("new mygame").code, 0);
  fs::copy_file(fs::path(VELMORA_SOURCE_DIR) / "samples/english/story.txt", "mygame/script/story.txt",
                fs::copy_options::overwrite_existing);
  const test::Run packed = test::runPack("game mygame out --utf8 --ui en");
  ASSERT_EQ(packed.code, 0) << packed.out << packed.err;

  test::writeFile("first.txt", kEnglishFirstPlay);
  const test::Run first = test::runEngine("--virtual-clock --answer yes --input first.txt out", "", 600);
  EXPECT_EQ(first.code, 0) << first.err;
  expectNoErrorBoxes(first);
  test::writeFile("second.txt", kEnglishSecondPlay);
  const test::Run second = test::runEngine("--virtual-clock --answer yes --input second.txt out", "", 600);
  EXPECT_EQ(second.code, 0) << second.err;
  expectNoErrorBoxes(second);
}

// A folder that holds something already is left alone, and a game with
// errors is not packed.
TEST(StarterGame, NewKeepsAFolderThatIsNotEmptyAndGameRefusesErrors) {
  test::TempDir dir;
  test::writeFile("taken/notes.txt", "mine");
  const test::Run made = test::runPack("new taken");
  EXPECT_EQ(made.code, 1);
  EXPECT_NE(made.err.find("not an empty folder"), std::string::npos) << made.err;
  EXPECT_EQ(test::readFile("taken/notes.txt"), "mine");
  EXPECT_FALSE(fs::exists("taken/script"));

  test::writeFile("broken/script/0.txt", "sp_xy 10\n");
  const test::Run packed = test::runPack("game broken out");
  EXPECT_EQ(packed.code, 1);
  EXPECT_NE(packed.out.find("script/0.txt:1: error: sp_xy takes 3 arguments"), std::string::npos) << packed.out;
  EXPECT_FALSE(fs::exists("out/script.dat"));
}

}  // namespace
}  // namespace velmora
