// Self-voicing in the demo, which knows nothing of it: V, the title button
// the arrow key selects, the first page and R, as an espeak-ng stand-in on
// PATH receives them; and on again at the next start.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include "support/engine.h"

namespace velmora {
namespace {

TEST(SelfVoicing, TheDemoIsReadAloud) {
  test::TempDir dir;
  std::filesystem::copy(test::binaryDir() + "/demo", "demo", std::filesystem::copy_options::recursive);
  std::filesystem::remove_all("demo/save");
  const std::string here = dir.path().string();
  test::writeFile("bin/espeak-ng", "#!/bin/sh\nfor last; do :; done\nprintf '%s\\n' \"$last\" >> '" + here +
                                       "/spoken.txt'\n");
  chmod("bin/espeak-ng", 0755);
  test::writeFile("scenario.txt",
                  "wait-event\n"
                  "key V\n"
                  "wait 400\n"
                  "move 100 100\n"
                  "wait 400\n"
                  "key Down\n"    // START, by its label
                  "wait 400\n"
                  "key Enter\n"
                  "wait-text\n"   // the page, ruby by its reading
                  "wait 400\n"
                  "key R\n"       // and again
                  "wait 400\n"
                  "quit\n");
  // A speech server the machine may run is kept out of it.
  const std::string env = "PATH='" + here + "/bin':\"$PATH\" SPEECHD_ADDRESS=unix_socket:" + here + "/none";
  const test::Run r = test::runEngine(
      "--virtual-clock --frame-ms 50 --scenario-timeout 180000 --save-dir save --input scenario.txt demo", env, 300);
  EXPECT_EQ(r.code, 0) << r.err;
  const std::string page = "ミナ: 「ねえ、見て。今夜はりゅうせいぐんが来るんだって」\n";
  EXPECT_EQ(test::readFile("spoken.txt"), "読み上げ オン\nはじめから\n" + page + page);

  // The demo loads no settings file, yet the next start reads aloud.
  test::writeFile("spoken.txt", "");
  test::writeFile("scenario.txt", "wait-event\nmove 100 100\nwait 400\nkey Down\nwait 400\nquit\n");
  const test::Run again = test::runEngine(
      "--virtual-clock --frame-ms 50 --scenario-timeout 180000 --save-dir save --input scenario.txt demo", env, 300);
  EXPECT_EQ(again.code, 0) << again.err;
  EXPECT_EQ(test::readFile("spoken.txt"), "はじめから\n");
}

}  // namespace
}  // namespace velmora
