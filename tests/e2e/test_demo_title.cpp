// The demo's title menu and settings screen, clicked and keyed through.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/engine.h"

namespace velmora {
namespace {

TEST(DemoTitle, MouseAndKeysWorkTheTitleMenuAndSettings) {
  test::TempDir dir;
  std::filesystem::copy(test::binaryDir() + "/demo", "demo", std::filesystem::copy_options::recursive);
  std::filesystem::remove_all("demo/save");
  // Frames of 50 ms: a click takes up to five polls (leave, enter, move,
  // press, release), so each is given 400 ms.
  test::writeFile("scenario.txt",
                  "wait-event\n"                // the opening has run: the menu waits
                  "move 640 540\n"
                  "wait 400\n"
                  "expect-var %tn 2\n"        // hovering SETTINGS lights it
                  "click 640 540\n"
                  "wait 400\n"
                  "click 560 260\n"           // BGM -
                  "wait 400\n"
                  "expect-var %tv 90\n"
                  "click 1010 340\n"          // SE + stays at the top
                  "wait 400\n"
                  "click 560 420\n"           // typing slower: 20 -> 30 ms a character
                  "wait 400\n"
                  "expect-var %sspd 30\n"
                  "click 820 510\n"           // FULL
                  "wait 400\n"
                  "expect-var %tn 1\n"
                  "click 480 510\n"           // WINDOW
                  "wait 400\n"
                  "expect-var %tn 0\n"
                  "key Esc\n"                 // back to the title
                  "wait 400\n"
                  "move 100 100\n"
                  "wait 400\n"
                  "key Down\n"                // none current: the first button
                  "wait 400\n"
                  "expect-var %tn 0\n"
                  "key Enter\n"               // START: the menu goes and the story begins
                  "wait-text\n"
                  "expect-text \"流星群\"\n"
                  "quit\n");
  const test::Run r = test::runEngine("--virtual-clock --frame-ms 50 --input scenario.txt demo", "", 300);
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.err.find("scenario.txt"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find(" 画像が読み込まれていません"), std::string::npos) << r.err;
}

// A pad works the same title, a page and the backlog, and the page it
// finished reaches the text stream with its speaker.
TEST(DemoTitle, PadWorksTheTitleAPageAndTheBacklogAndPagesAreStreamed) {
  test::TempDir dir;
  std::filesystem::copy(test::binaryDir() + "/demo", "demo", std::filesystem::copy_options::recursive);
  std::filesystem::remove_all("demo/save");
  test::writeFile("scenario.txt",
                  "wait-event\n"
                  "move 100 100\n"
                  "wait 400\n"
                  "pad down\n"                // the first button, as the arrow key
                  "wait 400\n"
                  "expect-var %tn 0\n"
                  "pad a\n"                   // START
                  "wait-text\n"
                  "expect-text \"流星群\"\n"
                  "pad a\npad a\n"            // the page shown whole, then finished
                  "wait-text\n"
                  "wait 400\n"
                  "pad lb\n"                  // the backlog, as the wheel turned back
                  "wait 400\n"
                  "expect-var %ly 700\n"      // its five rows laid out
                  "pad rb\n"
                  "wait 400\n"
                  "expect-var %li 6\n"        // and cleared again
                  "quit\n");
  const test::Run r =
      test::runEngine("--virtual-clock --frame-ms 50 --text-stream pages.txt --input scenario.txt demo", "", 300);
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.err.find("scenario.txt"), std::string::npos) << r.err;
  EXPECT_EQ(test::readFile("pages.txt"), "ミナ: 「ねえ、見て。今夜は流星群が来るんだって」\n");
}

}  // namespace
}  // namespace velmora
