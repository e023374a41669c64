// A game that uses Squirrel on a machine without the runtime: one message
// names the package, and the rest of the game runs on.
#include <gtest/gtest.h>

#include <string>

#include "base/textconv.h"
#include "support/engine.h"

namespace velmora {
namespace {

TEST(SquirrelRuntime, AMissingRuntimeIsReportedOnceByName) {
  test::TempDir dir;
  test::writeFile("src/script/0.txt",
                  "loadSqu \"a.nut\"\nfuncSqu \"f\", 0\nf 1\nloadSqu \"a.nut\"\nprint \"still running\"\n");
  ASSERT_EQ(test::runPack("scripts src game/script.dat").code, 0);
  test::writeFile("game/a.nut", "print(\"never\");\n");
  const test::Run r = test::runEngine("game", "VELMORA_SQUIRREL=/nonexistent/libsquirrel.so");
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, "still running");
  EXPECT_EQ(sjis_to_utf8(test::readFile("game/Information.txt")),
            " Squirrel の実行環境が見つかりません（Debian パッケージ libcodeblocks0 をインストールしてください）\r\n"
            "script/0.txt[1] loadSqu\n");
}

}  // namespace
}  // namespace velmora
