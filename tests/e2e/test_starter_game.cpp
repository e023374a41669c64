// The game that velmora-pack new writes, made, checked, packed and played as
// the README says: from the title through a page and a choice to the save
// screen, and in a second run from the title's LOAD back to the saved page,
// which only works when *load_lb declares what the loaded game needs.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "image/image.h"
#include "support/engine.h"
#include "support/pictures.h"

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

// The rows of the message window (and their readings) in a screenshot
// against a golden picture under tests/e2e/golden/; VELMORA_UPDATE_GOLDEN
// writes it anew.
void expectRowsAsGolden(const std::string& shot, const std::string& name) {
  constexpr int kLeft = 110, kTop = 540, kWidth = 1060, kHeight = 90;
  image::Image* screen = test::readPicture(shot);
  ASSERT_TRUE(screen && screen->width >= kLeft + kWidth && screen->height >= kTop + kHeight) << shot;
  image::Image* rows = image::createImage(kWidth, kHeight, 32);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) rows->pixels[y * kWidth + x] = screen->pixels[(kTop + y) * screen->width + kLeft + x];
  const std::string cropped = fs::absolute(name).string();
  const bool saved = image::saveImage(cropped.c_str(), rows, image::kSavePng, 24, 9, 0) == 1;
  image::freeImage(rows);
  image::freeImage(screen);
  ASSERT_TRUE(saved);
  const std::string golden = std::string(VELMORA_SOURCE_DIR) + "/tests/e2e/golden/" + name;
  if (std::getenv("VELMORA_UPDATE_GOLDEN")) fs::copy_file(cropped, golden, fs::copy_options::overwrite_existing);
  EXPECT_EQ(test::comparePictures(golden, cropped, 8, 4, "/tmp/velmora-diff-" + name), "");
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
screenshot english.png
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

// The starter game with a sample's story, packed as a Unicode game whose
// engine windows are English, into out/.
void packUnicodeSample(const char* sample) {
  ASSERT_EQ(test::runPack("new mygame").code, 0);
  fs::copy_file(fs::path(VELMORA_SOURCE_DIR) / "samples" / sample / "story.txt", "mygame/script/story.txt",
                fs::copy_options::overwrite_existing);
  const test::Run packed = test::runPack("game mygame out --utf8 --ui en");
  ASSERT_EQ(packed.code, 0) << packed.out << packed.err;
}

// The English sample: the same game with its story in plain English, packed
// as a Unicode game with the engine's windows in English. Its narration lines,
// word-wrapped pages, choice and saves play as the Japanese-encoded one does.
TEST(StarterGame, TheEnglishSamplePlaysAsAUnicodeGame) {
  test::TempDir dir;
  ASSERT_NO_FATAL_FAILURE(packUnicodeSample("english"));

  test::writeFile("first.txt", kEnglishFirstPlay);
  const test::Run first = test::runEngine("--virtual-clock --answer yes --input first.txt out", "", 600);
  EXPECT_EQ(first.code, 0) << first.err;
  expectNoErrorBoxes(first);
  // Words wrapped at a space, readings over a kanji and over a Latin word.
  expectRowsAsGolden("english.png", "english_page.png");
  test::writeFile("second.txt", kEnglishSecondPlay);
  const test::Run second = test::runEngine("--virtual-clock --answer yes --input second.txt out", "", 600);
  EXPECT_EQ(second.code, 0) << second.err;
  expectNoErrorBoxes(second);
}

// The Korean sample's first and third pages: Hangul with a reading over a
// Latin word, then Hanja and kana among the Hangul.
const char* const kKoreanPlay = R"play(wait 2500
click 640 390
wait-text
expect-text "어서 와요"
click 640 300
wait-text
click 640 300
wait-text
expect-text "황혼(黃昏)"
screenshot korean.png
quit
)play";

// The Korean sample packed as a Unicode game: every character has a glyph in
// some installed face (none is reported missing), the page looks as its
// golden picture, and the pages stream to a file whose name is Hangul.
TEST(StarterGame, TheKoreanSampleShowsEveryGlyph) {
  test::TempDir dir;
  ASSERT_NO_FATAL_FAILURE(packUnicodeSample("korean"));

  test::writeFile("play.txt", kKoreanPlay);
  const test::Run run = test::runEngine("--virtual-clock --text-stream 읽은글.txt --input play.txt out", "", 600);
  EXPECT_EQ(run.code, 0) << run.err;
  expectNoErrorBoxes(run);
  EXPECT_EQ(run.out.find("U+"), std::string::npos) << run.out;
  expectRowsAsGolden("korean.png", "korean_page.png");
  const std::string streamed = test::readFile("읽은글.txt");
  EXPECT_EQ(streamed.rfind("아오이: 어서 와요! 이 게임은 Velmora가 만들어 준 작은 예제예요.\n", 0), 0u) << streamed;
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
