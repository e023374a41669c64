// The message window seen from outside: a laid-out page against its golden
// picture, and the demo story's page mid-reveal and backlog screen.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <string>

#include "image/image.h"
#include "support/pictures.h"
#include "support/tempdir.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

struct GameRun {
  int code = -1;
  std::string err;
};

// A run of its own: the single-instance lock lives in a private folder, so
// that runs of other checkouts on the machine do not turn this one away.
GameRun runGame(const std::string& game, const std::string& options) {
  fs::create_directories("runtime");
  fs::permissions("runtime", fs::perms::owner_all);
  const std::string bin = VELMORA_BINARY_DIR;
  const std::string cmd = "XDG_RUNTIME_DIR=" + fs::absolute("runtime").string() + " " + bin +
                          "/velmora --headless --virtual-clock " + options + " " + game + " 2>&1 >/dev/null";
  GameRun r;
  std::FILE* p = popen(cmd.c_str(), "r");
  std::array<char, 4096> buf;
  size_t n;
  while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0) r.err.append(buf.data(), n);
  const int status = pclose(p);
  r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

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
  const std::string bin = VELMORA_BINARY_DIR;
  ASSERT_EQ(std::system((bin + "/velmora-pack scripts src game/script.dat >/dev/null").c_str()), 0);
  // The page after its last wait, as the game's second frame shows it.
  const std::string shot = fs::absolute("layout.png").string();
  test::writeFile("shot.txt", "at frame 2 screenshot " + shot + "\n");
  GameRun r = runGame("game", "--input shot.txt");
  ASSERT_EQ(r.code, 0) << r.err;
  const std::string golden = std::string(VELMORA_SOURCE_DIR) + "/tests/text/golden/layout.png";
  if (std::getenv("VELMORA_UPDATE_GOLDEN")) fs::copy_file(shot, golden, fs::copy_options::overwrite_existing);
  EXPECT_EQ(test::comparePictures(golden, shot, 8, 4, "/tmp/velmora-layout-diff.png"), "");
}

// A bright text pixel inside the rectangle.
bool hasText(const std::string& path, int x0, int y0, int x1, int y1) {
  image::Image* p = test::readPicture(path);
  if (!p) return false;
  int bright = 0;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) {
      const uint32_t c = p->pixels[y * p->width + x];
      bright += ((c >> 16) & 255) > 200 && ((c >> 8) & 255) > 200;
    }
  image::freeImage(p);
  return bright > 200;
}

TEST(TextScenes, TheDemoStoryRevealsAPageAndShowsTheBacklog) {
  test::TempDir dir;
  const std::string demo = std::string(VELMORA_BINARY_DIR) + "/demo";
  // Seven waits make the first reading; the backlog screen follows it. Long
  // frames keep the run short: the story waits a number of frames per page.
  test::writeFile("story.txt",
                  "wait-event\nclick 640 380\n"  // START on the title menu
                  "wait-text\nwait 800\nscreenshot reveal.png\nexpect-text \"流星群\"\n"
                  "wait-text\nwait-text\nwait-text\nwait-text\nwait-text\nwait-text\n"
                  "wait 6500\nscreenshot backlog.png\nquit\n");
  GameRun r = runGame(demo, "--frame-ms 50 --input story.txt");
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(fs::exists("reveal.png") && fs::exists("backlog.png"));
  // Mid-reveal: the start of the first row is shown, its end not yet.
  EXPECT_TRUE(hasText("reveal.png", 110, 552, 400, 590));
  EXPECT_FALSE(hasText("reveal.png", 700, 552, 1000, 590));
  // The backlog lists pages down the screen.
  EXPECT_TRUE(hasText("backlog.png", 260, 60, 900, 110));
  EXPECT_TRUE(hasText("backlog.png", 260, 570, 900, 660));
  if (const char* out = std::getenv("VELMORA_DOC_IMAGES")) {
    fs::copy_file("reveal.png", fs::path(out) / "demo-story.png", fs::copy_options::overwrite_existing);
    fs::copy_file("backlog.png", fs::path(out) / "demo-backlog.png", fs::copy_options::overwrite_existing);
  }
}

}  // namespace
}  // namespace velmora
