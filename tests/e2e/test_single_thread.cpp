// The engine without worker threads, as in a browser page that is not
// cross-origin isolated.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/engine.h"
#include "support/pictures.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

// The demo's opening movie, its music and the spoken welcome on the title,
// stepped on the main thread: the same pictures and, sample for sample, the
// same sound as with threads.
TEST(SingleThread, TheDemoOpeningLooksAndSoundsAsWithThreads) {
  test::TempDir dir;
  fs::copy(test::binaryDir() + "/demo", "demo", fs::copy_options::recursive);
  fs::remove_all("demo/save");
  test::writeFile("scenario.txt", "wait-event\nscreenshot title.png\nquit\n");
  for (const char* kind : {"threads", "single"}) {
    const std::string k = kind;
    const std::string env = k == "single" ? "VELMORA_SINGLE_THREAD=1" : "";
    const test::Run r = test::runEngine("--virtual-clock --frame-ms 50 --screenshot-at 1500 early-" + k +
                                            ".png --screenshot-at 2500 late-" + k + ".png --audio-out " + k +
                                            ".wav --save-dir save-" + k + " --input scenario.txt demo",
                                        env, 300);
    ASSERT_EQ(r.code, 0) << k << r.err;
    fs::rename("title.png", "title-" + k + ".png");
  }
  for (const char* shot : {"early", "late", "title"}) {  // two frames of the movie, the title
    const std::string s = shot;
    EXPECT_EQ(test::comparePictures(s + "-threads.png", s + "-single.png", 0, 0, s + "-diff.png"), "") << s;
  }
  const std::string threaded = test::readFile("threads.wav"), single = test::readFile("single.wav");
  EXPECT_GT(threaded.size(), 44u + 10u * 44100u * 4u);  // the opening and the title's first moments
  EXPECT_TRUE(threaded == single) << threaded.size() << " " << single.size();
}

}  // namespace
}  // namespace velmora
