#include <gtest/gtest.h>

#include <cstdio>

#include "resource/game_options.h"
#include "resource/packer.h"
#include "resource/script_names.h"
#include "support/tempdir.h"

namespace velmora::resource {
namespace {

const std::vector<PackedMember> kScripts = {{"script/0.txt", "print 1\n"}, {"script/a.txt", "*a\n"}};

GameOptions fromFile(const std::string& file) {
  test::TempDir dir;
  test::writeFile("script.dat", file);
  std::FILE* f = std::fopen("script.dat", "rb");
  const GameOptions o = readGameOptions(f, file.size());
  std::fclose(f);
  return o;
}

TEST(GameOptions, TravelBeforeTheNamesWhichOlderReadersStillFind) {
  GameOptions unicode;
  unicode.utf8 = unicode.englishUi = true;
  for (bool names : {false, true}) {
    const std::string file = buildScriptFile(kScripts, names, unicode);
    EXPECT_EQ(readGameOptions(file), unicode);
    EXPECT_EQ(fromFile(file), unicode);
    EXPECT_EQ(readScriptNames(file).size(), names ? 2u : 0u);
    std::vector<IndexRecord> index;
    ASSERT_TRUE(readIndex(file, index));
    std::string text;
    ASSERT_TRUE(unpackScript(file, index[0], text));
    EXPECT_EQ(text, "print 1\n");
  }
  GameOptions englishOnly;
  englishOnly.englishUi = true;
  EXPECT_EQ(readGameOptions(buildScriptFile(kScripts, true, englishOnly)), englishOnly);
}

TEST(GameOptions, DefaultsWriteTheFileOfOldAndDamageReadsAsDefaults) {
  const std::string plain = buildScriptFile(kScripts, true);
  EXPECT_EQ(buildScriptFile(kScripts, true, GameOptions{}), plain);
  EXPECT_EQ(readGameOptions(plain), GameOptions{});

  std::string tail;
  appendGameOptions(tail, GameOptions{true, false});
  const std::string head(4, '\0');
  EXPECT_EQ(readGameOptions(head + tail), (GameOptions{true, false}));
  std::string tooLong = head + tail;
  tooLong[tooLong.size() - 12] = '\x7F';  // a length past the file's start
  std::string unknown = head + "colour=red\nencoding=utf-8\n" + std::string("\x1A\0\0\0VLMGAMEO", 12);
  EXPECT_EQ(readGameOptions(tooLong), GameOptions{});
  EXPECT_EQ(readGameOptions(tail), GameOptions{});  // no room for a member count
  EXPECT_EQ(readGameOptions(unknown), (GameOptions{true, false}));
}

TEST(Narration, ABacktickAtALineStartBecomesTheMarkOnlyThere) {
  EXPECT_EQ(markNarrationLines("`Hello\nsay `x`\n``tick\n`"), "\x80Hello\nsay `x`\n\x80`tick\n\x80");
  EXPECT_EQ(markNarrationLines(""), "");
}

}  // namespace
}  // namespace velmora::resource
