// The demo's title menu and settings screen, clicked and keyed through.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>

#include "support/tempdir.h"

namespace velmora {
namespace {

TEST(DemoTitle, MouseAndKeysWorkTheTitleMenuAndSettings) {
  test::TempDir dir;
  const std::string bin = VELMORA_BINARY_DIR;
  std::filesystem::copy(bin + "/demo", "demo", std::filesystem::copy_options::recursive);
  std::filesystem::remove_all("demo/save");
  std::filesystem::create_directory("run");
  test::writeFile("scenario.txt",
                  "wait-event\n"                // the opening has run: the menu waits
                  "move 640 540\n"
                  "wait 200\n"
                  "expect-var %tn 2\n"        // hovering SETTINGS lights it
                  "click 640 540\n"
                  "wait 500\n"
                  "click 560 260\n"           // BGM -
                  "wait 200\n"
                  "expect-var %tv 90\n"
                  "click 1010 340\n"          // SE + stays at the top
                  "click 820 510\n"           // FULL
                  "wait 300\n"
                  "expect-var %tn 1\n"
                  "click 480 510\n"           // WINDOW
                  "wait 300\n"
                  "expect-var %tn 0\n"
                  "key Esc\n"                 // back to the title
                  "wait 500\n"
                  "move 100 100\n"
                  "wait 200\n"
                  "key Down\n"                // none current: the first button
                  "wait 200\n"
                  "expect-var %tn 0\n"
                  "key Enter\n");  // START: the menu goes and the story runs to its end
  // A private lock folder: other runs of the demo must not count as this one.
  const std::string cmd = "XDG_RUNTIME_DIR=" + (dir.path() / "run").string() + " " + bin +
                          "/velmora --headless --virtual-clock --input scenario.txt demo 2>&1 >/dev/null";
  std::string err;
  std::FILE* p = popen(cmd.c_str(), "r");
  std::array<char, 4096> buf;
  size_t n;
  while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0) err.append(buf.data(), n);
  const int status = pclose(p);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << err;
  EXPECT_EQ(err.find("scenario.txt"), std::string::npos) << err;
  EXPECT_EQ(err.find(" 画像が読み込まれていません"), std::string::npos) << err;
}

}  // namespace
}  // namespace velmora
