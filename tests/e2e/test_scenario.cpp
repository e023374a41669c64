// Scenario files driving headless runs.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <filesystem>
#include <string>

#include "image/image.h"
#include "support/engine.h"
#include "support/pictures.h"

namespace velmora {
namespace {

// Runs velmora with the scenario on a packed game.
test::Run runScenario(const std::string& script, const std::string& scenario, const std::string& extra = "") {
  test::writeFile("src/script/0.txt", script);
  test::writeFile("scenario.txt", scenario);
  test::runPack("scripts src game/script.dat");
  return test::runEngine("--virtual-clock --input scenario.txt " + extra + " game", "", 120);
}

const char kScript[] = "int x\nstring s\ncal %x = 3, $s = \"abc\"\n「こんにちは」\n";

TEST(Scenario, ExpectationsOnTheFinalStateHold) {
  test::TempDir dir;
  test::Run o = runScenario(kScript, "# final state\nexpect-var %x 3\nexpect-var $s \"abc\"\nexpect-text \"こんにちは\"\n");
  EXPECT_EQ(o.code, 0) << o.err;
  EXPECT_EQ(o.err, "");
}

TEST(Scenario, AFailedExpectationNamesItsLineAndFailsTheRun) {
  test::TempDir dir;
  test::Run o = runScenario(kScript, "expect-var %x 3\n\nexpect-var %x 4\nexpect-var %nope 1\nwait 100\nexpect-var %x 3\n");
  EXPECT_EQ(o.code, 3);
  EXPECT_NE(o.err.find("scenario.txt:3: expected %x = 4, found 3"), std::string::npos) << o.err;
  EXPECT_NE(o.err.find("scenario.txt:4: %nope names no variable"), std::string::npos) << o.err;
  EXPECT_NE(o.err.find("scenario.txt:6: never reached"), std::string::npos) << o.err;
}

TEST(Scenario, UnknownDirectivesAndBadArgumentsStopBeforeTheRun) {
  test::TempDir dir;
  for (const char* bad : {"at 10 jump 1\n", "click 10\n", "key Hyper\n", "at frame x key Enter\n", "move 1 y\n"}) {
    test::Run o = runScenario(kScript, std::string("expect-var %x 3\n") + bad);
    EXPECT_EQ(o.code, 2) << bad;
    EXPECT_NE(o.err.find("scenario.txt:2: "), std::string::npos) << o.err;
  }
}

// The click is sent only once the game's event wait finds nothing to do.
TEST(Scenario, WaitEventSendsItsInputOnceTheGameWaits) {
  test::TempDir dir;
  test::Run o = runScenario("int b, c, p, n\nscreen 320, 240, 320, 0\n*l\ncal %n = %n + 1\n"
                            "eventWait %b, %c, %p\ndraw\nif (%p != 3) goto *l\nprint %n\n",
                            "wait 500\nwait-event\nclick 160 120\n");
  EXPECT_EQ(o.code, 0) << o.err;
  EXPECT_GT(std::stoi("0" + o.out), 30);  // half a second of frames went by first
}

// A click is three window events; the wait that follows it answers only once
// the game has taken all of them, however the game's draws fall.
TEST(Scenario, WaitEventAnswersOnlyOnceTheGameHasTakenTheInput) {
  test::TempDir dir;
  const std::string game = "int b, c, p, n\nscreen 320, 240, 320, 2\n*l\neventWait %b, %c, %p\n"
                           "if (%c == 1 && %p == 3) cal %n = %n + 1\ndraw\ngoto *l\n";
  const std::string clicks = "wait-event\nclick 10 10\nwait-event\nexpect-var %n 1\nclick 10 10\nwait-event\n"
                             "expect-var %n 2\nquit\n";
  for (int run = 0; run < 10; ++run) {
    test::Run o = runScenario(game, clicks);
    ASSERT_EQ(o.code, 0) << "run " << run << ": " << o.err;
  }
}

long childCpuMs() {
  rusage u{};
  getrusage(RUSAGE_CHILDREN, &u);
  return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000L + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1000L;
}

// A line waiting for what never comes ends the run after the limit, named,
// and the game's idle loop does not keep a core busy meanwhile.
TEST(Scenario, ALineThatWaitsTooLongFailsTheRunAndNamesIt) {
  test::TempDir dir;
  const long before = childCpuMs();
  test::Run o = runScenario("screen 320, 240, 320, 2\n*l\ndraw\ngoto *l\n", "# no text ever\nwait-text\nquit\n",
                            "--scenario-timeout 4000");
  EXPECT_EQ(o.code, 3);
  EXPECT_NE(o.err.find("scenario.txt:2: waited 4000 ms for wait-text"), std::string::npos) << o.err;
  EXPECT_LT(childCpuMs() - before, 2500);
  o = runScenario("screen 320, 240, 320, 2\n*l\ndraw\ngoto *l\n", "at frame 60 wait-event\n", "--scenario-timeout 500");
  EXPECT_EQ(o.code, 3);
  EXPECT_NE(o.err.find("scenario.txt:1: waited 500 ms for wait-event"), std::string::npos) << o.err;
}

// A game that only draws meets its timed directives all the same.
TEST(Scenario, TimedDirectivesRunInsideADrawLoop) {
  test::TempDir dir;
  test::Run o = runScenario("int n\nscreen 320, 240, 320, 0\n*l\ncal %n = %n + 1\ndraw\nif (%n < 120) goto *l\n",
                            "at 500 screenshot early.png\nat frame 90 screenshot late.png\n");
  EXPECT_EQ(o.code, 0) << o.err;
  EXPECT_TRUE(std::filesystem::exists("early.png"));
  EXPECT_TRUE(std::filesystem::exists("late.png"));
}

TEST(Scenario, AScreenshotWithoutAScreenIsAFailure) {
  test::TempDir dir;
  test::Run o = runScenario(kScript, "screenshot shot.png\n");
  EXPECT_EQ(o.code, 3);
  EXPECT_NE(o.err.find("/shot.png: no screen has been created"), std::string::npos) << o.err;
}

// A full-screen opaque picture comes back from the screenshot as it was.
TEST(Scenario, ScreenshotsCompareWithExpectedPictures) {
  test::TempDir dir;
  image::Image* bg = image::createImage(640, 480, 24);
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640; ++x)
      bg->pixels[y * 640 + x] = 0xFF000000u | uint32_t(x * 255 / 639) << 16 | uint32_t(y * 255 / 479) << 8 | 0x40;
  std::filesystem::create_directories("game");
  ASSERT_EQ(image::saveImage("game/bg.png", bg, image::kSavePng, 24, 6, 0), 1);
  image::freeImage(bg);
  test::Run o = runScenario("screen 640, 480, 640, 0\nsp 900, \"bg.png\", 0, 1\ndraw\nend\n", "screenshot shot.png\n");
  ASSERT_EQ(o.code, 0) << o.err;
  EXPECT_EQ(test::comparePictures("game/bg.png", "shot.png", 0, 0, "diff.png"), "");
  // A picture that differs is caught, and its difference picture written.
  image::Image* other = test::readPicture("game/bg.png");
  for (int i = 0; i < 100; ++i) other->pixels[i] ^= 0x00FF0000u;
  image::saveImage("other.png", other, image::kSavePng, 24, 6, 0);
  image::freeImage(other);
  EXPECT_EQ(test::comparePictures("other.png", "shot.png", 2, 99, "diff.png").substr(0, 10), "100 pixels");
  EXPECT_TRUE(std::filesystem::exists("diff.png"));
  EXPECT_EQ(test::comparePictures("other.png", "shot.png", 2, 100, "diff2.png"), "");
}

// The wheel and a dropped file reach the game's event wait as a player's
// would: a wheel turn back (phase 4) and the drop event with its path.
TEST(Scenario, WheelAndDropReachTheEventWait) {
  test::TempDir dir;
  test::Run o = runScenario("int b, c, p\nstring f\nscreen 320, 240, 320, 0\n*l\neventWaitDD %b, %c, %p, $f\ndraw\n"
                            "if (%p == 4) print \"wheel back, \"\nif (%p == 5) print \"wheel forward, \"\n"
                            "if (%b != 259) goto *l\nprint \"drop \" + $f\nend\n",
                            "wait-event\nwheel -1\nwait-event\nwheel 1\nwait-event\ndrop some/file.txt\n");
  EXPECT_EQ(o.code, 0) << o.err;
  EXPECT_EQ(o.out, "wheel back, wheel forward, drop some/file.txt");
}

// The shorthand without a scenario file: one screenshot at a time.
TEST(Scenario, ScreenshotAtWritesThePictureAtItsTime) {
  test::TempDir dir;
  image::Image* bg = image::createImage(320, 240, 24);
  for (int i = 0; i < 320 * 240; ++i) bg->pixels[i] = 0xFF000000u | uint32_t(i % 320) << 8 | 0x30;
  std::filesystem::create_directories("game");
  ASSERT_EQ(image::saveImage("game/bg.png", bg, image::kSavePng, 24, 6, 0), 1);
  image::freeImage(bg);
  // The background shows only from frame 90 on; the run ends at frame 150.
  test::writeFile("src/script/0.txt", "int n\nscreen 320, 240, 320, 0\n*l\ncal %n = %n + 1\n"
                                      "if (%n == 90) sp 900, \"bg.png\", 0, 1\ndraw\nif (%n < 150) goto *l\n");
  test::runPack("scripts src game/script.dat");
  test::Run o = test::runEngine("--virtual-clock --screenshot-at 500 early.png --screenshot-at 2000 late.png game", "", 120);
  ASSERT_EQ(o.code, 0) << o.err;
  EXPECT_EQ(test::comparePictures("game/bg.png", "late.png", 0, 0, "diff.png"), "");
  image::Image* early = test::readPicture("early.png");
  ASSERT_NE(early, nullptr);
  EXPECT_EQ(early->pixels[160 * 320 + 200] & 0xFFFFFF, 0u);  // before the background
  image::freeImage(early);
}

}  // namespace
}  // namespace velmora
