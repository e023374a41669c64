// A game packed as Unicode: UTF-8 from the script to every string function,
// and narration lines that begin with a Latin letter.
#include "base/encoding.h"
#include "lang_harness.h"
#include "resource/game_options.h"

namespace velmora::script::lang_test {
namespace {

struct TextLine {
  std::string line;
  size_t start;
};
std::vector<TextLine>& textLines() {
  static std::vector<TextLine> v;
  return v;
}
int recordTextLine(std::string_view line, size_t start, size_t, size_t) {
  textLines().push_back({std::string(line), start});
  return 1;
}

class UnicodeGame : public LangTest {
 protected:
  void SetUp() override {
    LangTest::SetUp();
    textLines().clear();
    installInterpreterHooks({.textLine = recordTextLine});
  }
  void TearDown() override {
    installInterpreterHooks({});
    LangTest::TearDown();
    setGameEncoding(GameEncoding::ShiftJis);
  }
  // Packs as `velmora-pack scripts --utf8` does and runs the start script.
  void runUnicode(const std::string& utf8) {
    resource::GameOptions options;
    options.utf8 = true;
    const std::vector<resource::PackedMember> all{{"script/0.txt", resource::markNarrationLines(utf8)}};
    test::writeFile("script.dat", resource::buildScriptFile(all, true, options));
    ASSERT_TRUE(loadScriptIndex());
    ASSERT_TRUE(unicodeGame());
    ASSERT_TRUE(loadScript(crc64_hash("script/0.txt"), slotLines(0)));
    slotChanged(0);
    runScript();
  }
  std::string shownText(size_t i) const { return textLines()[i].line.substr(textLines()[i].start); }
};

TEST_F(UnicodeGame, NarrationAndNonAsciiLinesAreWholeTextLines) {
  runUnicode(
      "`Morning came: first the gulls; then rain // still text\n"
      "\n"
      "“Wait: what?” she said.\n"
      "\n"
      "Привет: мир\n"
      "\n"
      "``quoted\n"
      "\n"
      "goto *終わり\n"
      "`Never shown.\n"
      "\n"
      "*終わり\n"
      "show 1\n");
  ASSERT_EQ(textLines().size(), 4u);
  EXPECT_EQ(shownText(0), "Morning came: first the gulls; then rain // still text");
  EXPECT_EQ(shownText(1), "“Wait: what?” she said.");
  EXPECT_EQ(shownText(2), "Привет: мир");
  EXPECT_EQ(shownText(3), "`quoted");
  EXPECT_EQ(shown(), (std::vector<std::string>{"1"}));  // a label named in Chinese
}

TEST_F(UnicodeGame, StringFunctionsCountCodePointsWhereTheyTakeCharacters) {
  runUnicode(
      "int n, p, l\n"
      "string a, b, c, r\n"
      "len %n, \"aé中😀\" : show %n\n"  // bytes, as ever
      "match \"a中b\", \"b\", %n : show %n\n"  // a byte position
      "match \"aéb\", \"é\", %n : show %n\n"
      "match \"ab\", \"ab\", %n\n"  // two characters: refused
      "split \"一、二、三\", \"、\", $a, $b, $c : show $a + $b + $c\n"
      "cal $r = \"héllo\" : upper $r : show $r\n"
      "regexp_match \"x中文y\", \"m/.文/\", %p, %l, $r : show %p : show %l : show $r\n");
  EXPECT_EQ(shown(), (std::vector<std::string>{"10", "4", "1", "一二三", "HéLLO", "1", "6", "中文"}));
  EXPECT_NE(takeLog().find("第二引数が文字数が１文字ではありません"), std::string::npos);
}

TEST_F(UnicodeGame, AShiftJisGameReadsTheBacktickAndEveryByteAsBefore) {
  run("`Hello: world\n");  // packed without --utf8: a text part, then the command "world"
  EXPECT_FALSE(unicodeGame());
  ASSERT_EQ(textLines().size(), 1u);
  EXPECT_EQ(shownText(0), "`Hello: world");
  EXPECT_NE(takeLog().find("world"), std::string::npos);
}

}  // namespace
}  // namespace velmora::script::lang_test
