// A packed game that saves, changes everything and loads, run by the engine:
// the game continues after the line that saved, through *load_lb, with the
// screen it had.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <tuple>

#include "image/image.h"
#include "support/pictures.h"
#include "support/tempdir.h"

namespace velmora {
namespace {

const char kGame[] = R"(*start
screen 320, 240, 320, 0
int count, loaded
int g_n
sp 900, "bg.png", 0, 1
sp 10, "p.png", 0, 1
sp_xy 10, 40, 40
draw
cal %g_n = 1
setSaveText "first, page"
saveSave 1, 0
cal %count = %count + 1
print "[", %g_n, %count, %loaded, "]"
if (%count == 1) cal %g_n = 5:sp_xy 10, 200, 200:draw:loadSave 1, 0
draw
setScreenShot 160, 120
saveScreenShot "shot.png", 1, 24, 9, 0
string c
loadSaveText 1, 0, $c
print $c
end
*load_lb
cal %loaded = %loaded + 1
return
)";

std::string run(const std::string& command) {
  std::string out;
  std::FILE* p = popen((command + " 2>/dev/null").c_str(), "r");
  std::array<char, 4096> buf;
  size_t n;
  while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0) out.append(buf.data(), n);
  pclose(p);
  return out;
}

TEST(SaveGame, ALoadedGameGoesOnAfterTheSavingLineWithItsScreen) {
  test::TempDir dir;
  test::writeFile("src/script/0.txt", kGame);
  const std::string bin = VELMORA_BINARY_DIR;
  ASSERT_EQ(std::system((bin + "/velmora-pack scripts src game/script.dat >/dev/null").c_str()), 0);
  for (auto [path, w, h, colour] : {std::tuple{"game/p.png", 16, 16, 0xFFFF0000u}, {"game/bg.png", 320, 240, 0xFF000000u}}) {
    image::Image* im = image::createImage(w, h, 32);
    std::fill(im->pixels, im->pixels + im->count, colour);
    image::saveImage(path, im, image::kSavePng, 32, 1, 0);
    image::freeImage(im);
  }
  std::filesystem::create_directories("runtime");
  const std::string out = run("XDG_RUNTIME_DIR=" + std::filesystem::absolute("runtime").string() + " " + bin +
                              "/velmora --headless --virtual-clock game");
  // Before the load: g_n 1, count 1, not loaded; after it g_n is 1 again,
  // count (not saved) went on to 2, and *load_lb ran once.
  EXPECT_EQ(out, "[110][121]first") << out;
  image::Image* shot = test::readPicture("game/shot.png");
  ASSERT_NE(shot, nullptr);
  ASSERT_EQ(shot->width, 160);
  EXPECT_GT(shot->pixels[20 * 160 + 20] >> 16 & 255, 240u);
  EXPECT_EQ(shot->pixels[100 * 160 + 100] & 0xFFFFFF, 0u);
  image::freeImage(shot);
}

// Distinct colours in a rectangle of a picture.
size_t colours(const image::Image* p, int x0, int y0, int x1, int y1) {
  std::set<uint32_t> seen;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) seen.insert(p->pixels[y * p->width + x] & 0xFFFFFF);
  return seen.size();
}

// The demo: S opens the save screen over the first page, a slot
// takes the save and its thumbnail, B goes back from the second page.
TEST(SaveGame, TheDemoSavesToASlotAndGoesBackAPage) {
  test::TempDir dir;
  std::filesystem::copy(std::string(VELMORA_BINARY_DIR) + "/demo", "demo");
  test::writeFile("play.txt",
                  "wait-event\nwait 300\nclick 640 380\nwait-text\nwait 3000\nkey S\nwait-event\n"
                  "wait 300\nclick 335 118\nwait 1000\nscreenshot saved.png\nkey Esc\nwait 500\n"
                  "click 640 400\nwait-text\nwait 3000\nexpect-text \"願い事\"\nkey B\nwait-text\nwait 3000\n"
                  "expect-text \"流星群\"\nquit\n");
  std::filesystem::create_directories("runtime");
  const std::string bin = VELMORA_BINARY_DIR;
  const std::string out = run("XDG_RUNTIME_DIR=" + std::filesystem::absolute("runtime").string() + " " + bin +
                              "/velmora --headless --virtual-clock --frame-ms 50 --input play.txt demo; echo rc=$?");
  EXPECT_NE(out.find("rc=0"), std::string::npos) << out;
  EXPECT_TRUE(std::filesystem::exists("demo/save/save000.txt"));
  image::Image* shot = test::readPicture("saved.png");
  ASSERT_NE(shot, nullptr);
  // Slot 0 shows the page's thumbnail; slot 1 below it is an empty panel.
  EXPECT_GT(colours(shot, 60, 80, 190, 155), 40u);
  EXPECT_LT(colours(shot, 60, 190, 190, 265), 16u);
  image::freeImage(shot);
}

}  // namespace
}  // namespace velmora
