// Packs small games with velmora-pack and runs them with velmora --headless.
#include <gtest/gtest.h>

#include <string>

#include "base/textconv.h"
#include "support/engine.h"

namespace velmora {
namespace {

class EndToEnd : public ::testing::Test {
 protected:
  test::Run pack(const std::string& utf8Script, const std::string& extra = "") {
    test::writeFile("src/script/0.txt", utf8Script);
    return test::runPack("scripts src game/script.dat " + extra);
  }
  test::TempDir dir;
};

TEST_F(EndToEnd, RunsAPackedGameAndLogsItsErrors) {
  ASSERT_EQ(pack("*start\n"
                 "print \"a\", 1.5, 2\n"
                 "error \"stop\", 0\n"
                 "nosuch 1\n"
                 "「こんにちは」\n"
                 "\n"
                 "end\n"
                 "print \"never\"\n")
                .code,
            0);
  test::Run r = test::runEngine("game");
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, "a1.52 stop\r\nscript/0.txt[3] error\n「こんにちは」\n");
  EXPECT_EQ(test::readFile("game/Information.txt"),
            utf8_to_sjis(" 未対応の命令です\r\nscript/0.txt[4] nosuch\n"));
}

TEST_F(EndToEnd, StartUpFailuresAreShownAndEndTheRun) {
  test::writeFile("src/script/1.txt", "print 1\n");
  ASSERT_EQ(test::runPack("scripts src game/script.dat").code, 0);
  test::Run r = test::runEngine("game");
  EXPECT_NE(r.code, 0);
  EXPECT_EQ(test::readFile("game/Information.txt"), utf8_to_sjis("開始スクリプトが読み込めませんでした\n"));

  ASSERT_EQ(pack("*a\n*a\n").code, 0);
  std::filesystem::remove("game/Information.txt");
  r = test::runEngine("game");
  EXPECT_EQ(r.code, 0);  // a duplicate label ends the process at once with code 0
  EXPECT_NE(test::readFile("game/Information.txt").find(utf8_to_sjis("※ラベルが重複しています")), std::string::npos);
}

TEST_F(EndToEnd, PackRejectsCharactersWithoutACp932Code) {
  test::writeFile("src/script/0.txt", "print 1\nprint \"\xC3\xA4\"\n");
  test::Run r = test::runPack("scripts src game/script.dat");
  EXPECT_NE(r.err.find("src/script/0.txt:2:8:"), std::string::npos) << r.err;
  EXPECT_EQ(r.code, 1);
  EXPECT_FALSE(std::filesystem::exists("game/script.dat"));
}

TEST_F(EndToEnd, ScriptsAndArchivesRoundTripThroughListAndExtract) {
  test::writeFile("src/script/0.txt", "print 1\n");
  test::writeFile("src/script/sub/a.txt", "*a\n「テキスト」\n");
  test::writeFile("src/script/b.txt", std::string("\x82\xA0\n", 3));  // already Shift_JIS
  ASSERT_EQ(test::runPack("scripts src out/script.dat --sjis").code, 0);
  test::writeFile("names.txt", "script/0.txt\nscript/sub/a.txt\nscript/b.txt\nbg/x.png\nse/a.wav\n");
  test::Run l = test::runPack("list out/script.dat --names names.txt");
  EXPECT_NE(l.out.find("script/sub/a.txt"), std::string::npos);
  ASSERT_EQ(test::runPack("extract out/script.dat --names names.txt back").code, 0);
  EXPECT_EQ(test::readFile("back/script/sub/a.txt"), test::readFile("src/script/sub/a.txt"));
  EXPECT_EQ(test::readFile("back/script/b.txt"), std::string("\x82\xA0\n", 3));

  test::writeFile("res/bg/x.png", std::string(1000, '\x7F') + "tail");
  test::writeFile("res/se/a.wav", "RIFF");
  ASSERT_EQ(test::runPack("archive res out/arc0.dat --mask").code, 0);
  l = test::runPack("list out/arc0.dat --names names.txt");
  EXPECT_NE(l.out.find("1004  bg/x.png"), std::string::npos) << l.out;
  ASSERT_EQ(test::runPack("extract out/arc0.dat --names names.txt back2").code, 0);
  EXPECT_EQ(test::readFile("back2/bg/x.png"), test::readFile("res/bg/x.png"));
  EXPECT_EQ(test::readFile("back2/se/a.wav"), "RIFF");
  EXPECT_EQ(test::readFile("out/arc0.dat").find(std::string(1000, '\x7F')), std::string::npos);  // masked on disk
}

TEST_F(EndToEnd, ExtractRefusesNamesOutsideItsFolderAndImplausibleSizes) {
  test::writeFile("res/..\\evil", "x");  // one file name on this host, a climb out elsewhere
  test::writeFile("res/good", "g");
  ASSERT_EQ(test::runPack("archive res arc0.dat").code, 0);
  test::writeFile("names.txt", "..\\evil\ngood\n");
  test::Run r = test::runPack("extract arc0.dat --names names.txt out");
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("member ..\\evil is not written"), std::string::npos) << r.err;
  EXPECT_EQ(test::readFile("out/good"), "g");
  EXPECT_FALSE(std::filesystem::exists("evil"));

  ASSERT_EQ(pack("print 1\n").code, 0);
  std::string bytes = test::readFile("game/script.dat");
  for (int i = 0; i < 4; ++i) bytes[21 + i] = char(~bytes[4 + i]);  // unpacked size 0xFFFFFFFF, unmasked
  test::writeFile("game/script.dat", bytes);
  test::writeFile("names.txt", "script/0.txt\n");
  r = test::runPack("extract game/script.dat --names names.txt out");
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("member script/0.txt is damaged"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace velmora

namespace velmora {
namespace {

TEST(Plugins, ALoadedLibraryCallsTheEngine) {
  test::TempDir dir;
  test::writeFile("src/script/0.txt",
                  "loadLibrary \"plugin/test_plugin.dll\"\n"
                  "loadLibrary \"plugin/missing.dll\"\n");
  ASSERT_EQ(test::runPack("scripts src game/script.dat").code, 0);
  std::filesystem::create_directories("game/plugin");
  std::filesystem::copy_file(VELMORA_TEST_PLUGIN, "game/plugin/test_plugin.so");
  test::Run r = test::runEngine("game");
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, " plugin CBF43926 loadLibrary memory\r\nscript/0.txt[1] loadLibrary\n");
  EXPECT_EQ(test::readFile("game/Information.txt"),
            utf8_to_sjis(" plugin/missing.dll 読み込ませんでした\r\nscript/0.txt[2] loadLibrary\n"));
}

}  // namespace
}  // namespace velmora
