// A game that uses Squirrel on a machine without the runtime: one message
// names the package, and the rest of the game runs on.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "core/textconv.h"
#include "support/tempdir.h"

namespace velmora {
namespace {

int run(const std::string& command) {
  int status = std::system((command + " >out.txt 2>/dev/null").c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(SquirrelRuntime, AMissingRuntimeIsReportedOnceByName) {
  test::TempDir dir;
  const std::string bin = VELMORA_BINARY_DIR;
  test::writeFile("src/script/0.txt",
                  "loadSqu \"a.nut\"\nfuncSqu \"f\", 0\nf 1\nloadSqu \"a.nut\"\nprint \"still running\"\n");
  ASSERT_EQ(run(bin + "/velmora-pack scripts src game/script.dat"), 0);
  test::writeFile("game/a.nut", "print(\"never\");\n");
  EXPECT_EQ(run("VELMORA_SQUIRREL=/nonexistent/libsquirrel.so " + bin + "/velmora --headless game"), 0);
  EXPECT_EQ(test::readFile("out.txt"), "still running");
  EXPECT_EQ(sjis_to_utf8(test::readFile("game/Information.txt")),
            " Squirrel の実行環境が見つかりません（Debian パッケージ libcodeblocks0 をインストールしてください）\r\n"
            "script/0.txt[1] loadSqu\n");
}

}  // namespace
}  // namespace velmora
