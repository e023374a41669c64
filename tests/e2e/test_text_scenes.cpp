// The message window seen from outside: a laid-out page against its golden
// picture, and the demo story played through with clicks, auto mode, skip
// and the backlog screen.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "image/image.h"
#include "support/engine.h"
#include "support/pictures.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

const char kLayoutGame[] = R"(*start
int r
screen 480, 272, 480, 0
setWindowText "layout"
setMessXY 8, 40, 0
setMessWH 12, 5, 16, 16, 2, 10
setMessLine 0, 0
setMessIndent 1, 0
setMessCreate 300, 100
setMessSpeed 0, -1
sufMessGosub "*text_lb"

【ミナ】「{流星/りゅうせい}を[i 12]見たよ、きれいだったね。」
ああああああああああああ。
いいいいいいいいいいいい、」
@うえ\お

end

*text_lb
formatMessDraw
setMessDraw %r
endMessDraw
draw
return
)";

TEST(TextScenes, ALaidOutPageMatchesItsGoldenPicture) {
  test::TempDir dir;
  test::writeFile("src/script/0.txt", kLayoutGame);
  ASSERT_EQ(test::runPack("scripts src game/script.dat").code, 0);
  // The page after its last wait, as the game's second frame shows it.
  const std::string shot = fs::absolute("layout.png").string();
  test::writeFile("shot.txt", "at frame 2 screenshot " + shot + "\n");
  const test::Run r = test::runEngine("--virtual-clock --input shot.txt game");
  ASSERT_EQ(r.code, 0) << r.err;
  const std::string golden = std::string(VELMORA_SOURCE_DIR) + "/tests/text/golden/layout.png";
  if (std::getenv("VELMORA_UPDATE_GOLDEN")) fs::copy_file(shot, golden, fs::copy_options::overwrite_existing);
  EXPECT_EQ(test::comparePictures(golden, shot, 8, 4, "/tmp/velmora-layout-diff.png"), "");
}

// More than `least` bright text pixels inside the rectangle.
bool hasText(const std::string& path, int x0, int y0, int x1, int y1, int least = 200) {
  image::Image* p = test::readPicture(path);
  if (!p) return false;
  int bright = 0;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) {
      const uint32_t c = p->pixels[y * p->width + x];
      bright += ((c >> 16) & 255) > 200 && ((c >> 8) & 255) > 200;
    }
  image::freeImage(p);
  return bright > least;
}

// One page the player reads: the first click shows the whole page at once,
// the second moves on. Both are sent as the page starts to type (the first
// event wait after the clicks before has nothing to do).
std::string clickedPage() { return "wait-event\nclick 640 600\nclick 640 600\n"; }

TEST(TextScenes, TheDemoStoryIsClickedThroughWithAutoSkipAndTheBacklog) {
  test::TempDir dir;
  fs::copy(test::binaryDir() + "/demo", "demo", fs::copy_options::recursive);
  fs::remove_all("demo/save");
  std::string scenario =
      "wait-event\nclick 640 380\n"  // START on the title menu
      "wait-event\nwait 350\nscreenshot reveal.png\nexpect-text \"流星群\"\n"
      "click 640 600\nclick 640 600\n"
      "wait-event\nclick 640 600\nwait 300\nscreenshot shown.png\nclick 640 600\n";  // a click shows it all
  // The second page waits once more; the third and fourth move on in auto
  // mode by themselves, once shown; the fifth and sixth wait for a click.
  scenario += clickedPage() + "wait-text\nwait-text\n" + "wait-text\nclick 640 600\nwait-text\nclick 640 600\n";
  scenario += "wait 500\nscreenshot backlog.png\nexpect-var %pass 2\nclick 640 360\n";
  // Read a second time, the pages are skipped; one waits for auto mode.
  for (int i = 0; i < 7; ++i) scenario += "wait-text\n";
  scenario += "wait 500\nexpect-var %ts 3\nclick 640 360\n";
  test::writeFile("story.txt", scenario);
  const test::Run r = test::runEngine("--virtual-clock --frame-ms 50 --input story.txt demo", "", 300);
  EXPECT_EQ(r.code, 0) << r.err;
  // Mid-reveal: the start of the first row is shown, its end not yet.
  EXPECT_TRUE(hasText("reveal.png", 110, 552, 250, 590, 50));
  EXPECT_FALSE(hasText("reveal.png", 560, 552, 760, 590));
  // The second page 300 ms after it began, clicked: all of it is there.
  EXPECT_TRUE(hasText("shown.png", 400, 552, 520, 590));
  // The backlog lists pages down the screen.
  EXPECT_TRUE(hasText("backlog.png", 260, 60, 900, 110));
  EXPECT_TRUE(hasText("backlog.png", 260, 570, 900, 660));
  if (const char* out = std::getenv("VELMORA_DOC_IMAGES")) {
    fs::copy_file("shown.png", fs::path(out) / "demo-story.png", fs::copy_options::overwrite_existing);
    fs::copy_file("backlog.png", fs::path(out) / "demo-backlog.png", fs::copy_options::overwrite_existing);
  }
}

}  // namespace
}  // namespace velmora
