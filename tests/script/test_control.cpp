// Control flow driven through the real loop.
#include "lang_harness.h"

namespace velmora::script::lang_test {
namespace {

using Flow = LangTest;
using Shown = std::vector<std::string>;

TEST_F(Flow, IfElseifElseRunExactlyOneBranch) {
  run("int a\ncal %a = 2\n"
      "if (%a == 1) show one\nelseif (%a == 2) show two\nelse show other\n"
      "if (%a == 1) show one\nelseif (%a == 3) show three\nelse show other\n"
      "if (%a == 2) show first\nelseif (%a == 2) show second\n");
  EXPECT_EQ(shown(), (Shown{"two", "other", "first"}));
}

TEST_F(Flow, IfGovernsTheRestOfItsLine) {
  run("int a, b, c\ncal %a = 1\nif (%a == 1) cal %b = 2:cal %c = 3\nif (%a == 0) cal %b = 20:cal %c = 30\n"
      "show %b\nshow %c\n");
  EXPECT_EQ(shown(), (Shown{"2", "3"}));
}

TEST_F(Flow, ConditionRules) {
  run("string s\ncal $s = \")\"\n"
      "if ($s == \")\") show quoted\n"
      "if ((1 + 1) == 2) show nested\n"
      "if (abc == \"abc\") show word\n"
      "if (abc) show never\n"  // a plain string has the number 0
      "if (1)show x\n");       // one byte after ')' is lost
  EXPECT_EQ(shown(), (Shown{"quoted", "nested", "word"}));
  EXPECT_EQ(takeLog(), " 未対応の命令です\r\nscript/0.txt[7] how\n");
}

TEST_F(Flow, AConditionWithoutItsParenthesisSkipsTheLine) {
  run("if 1 == 1 show a:show b\nif ) (1) show c\nshow d\n");
  EXPECT_EQ(shown(), (Shown{"d"}));
  EXPECT_EQ(takeLog(), " 式が不正です\r\nscript/0.txt[1] if\n 式が不正です\r\nscript/0.txt[2] if\n");
}

TEST_F(Flow, ElseStartsAtItsFirstLowercaseLetter) {
  run("if (0) show a\nelse 12 show b:show c\nelse show d\n");
  EXPECT_EQ(shown(), (Shown{"b", "c", "d"}));  // state 0 after an else: a second else runs too
}

TEST_F(Flow, IfStateIsKeptPerGosubDepth) {
  run("if (0) show a\ngosub *sub\nelse show caller_else\ngoto *fin\n"
      "*sub\nif (1) show sub_if\nreturn\n*fin\n");
  EXPECT_EQ(shown(), (Shown{"sub_if", "caller_else"}));
}

TEST_F(Flow, CountedLoops) {
  run("int i\nfor %i, 1, 3\nshow %i\nnext\nshow %i\n"
      "for %i, 3, 1\nshow never\nnext\nshow %i\n"
      "for %i, 3, 1, -1:show %i:next:show %i\n"
      "for %i, 1, 5, 0\ncal %i += 2\nnext\nshow %i\n");
  EXPECT_EQ(shown(), (Shown{"1", "2", "3", "4", "3", "3", "2", "1", "0", "7"}));
  EXPECT_EQ(loopDepth(), 0);
}

TEST_F(Flow, ZeroTripLoopsSkipNestedPairs) {
  run("int i, j\nfor %i, 5, 1\nfor %j, 1, 2\nshow inner\nnext\nshow body\nnext\nshow after %j\n");
  EXPECT_EQ(shown(), (Shown{"after"}));
  EXPECT_EQ(num("%j"), 0);
  EXPECT_EQ(loopDepth(), 0);
}

TEST_F(Flow, BreakInTheFirstPassSkipsToTheMatchingNext) {
  run("int i, j\nfor %i, 1, 3\nif (%i == 1) break\nfor %j, 1, 2\nshow inner\nnext\nnext\nshow %i\n"
      "for %i, 1, 3\nif (%i == 2) break\nshow %i\nnext\nshow end %i\n");
  EXPECT_EQ(shown(), (Shown{"1", "1", "end"}));
  EXPECT_EQ(num("%i"), 2);
  EXPECT_EQ(loopDepth(), 0);
}

TEST_F(Flow, Continue) {
  run("int i\nfor %i, 1, 4\nif (%i == 2) continue\nshow %i\nnext\n"
      "for %i, 1, 1\ncontinue\nshow never\nnext\nshow %i\n");
  EXPECT_EQ(shown(), (Shown{"1", "3", "4", "2"}));
  EXPECT_EQ(loopDepth(), 0);
}

TEST_F(Flow, LoopsWithoutANamedCounterStillCount) {
  run("for %nothing, 1, 3\nshow x\nnext\nnext\nbreak\ncontinue\nshow ok\n");
  EXPECT_EQ(shown(), (Shown{"x", "x", "x", "ok"}));
}

TEST_F(Flow, GosubReturnsToThePartAfterIt) {
  run("gosub *sub:show back\nshow next_line\ngoto *fin\n*sub\nshow in\nreturn\n*fin\nshow fin\n");
  EXPECT_EQ(shown(), (Shown{"in", "back", "next_line", "fin"}));
  EXPECT_EQ(gosubDepth(), 0);
}

TEST_F(Flow, ReturnToALabel) {
  run("gosub *sub\nshow never\n*sub\nreturn *other\n*other\nshow other\n");
  EXPECT_EQ(shown(), (Shown{"other"}));
  EXPECT_EQ(gosubDepth(), 0);
}

TEST_F(Flow, MissingLabelsAndStrayReturns) {
  run("goto *nowhere:show a\ngosub \"*nowhere\"\nreturn\nshow b\n");
  EXPECT_EQ(shown(), (Shown{"a", "b"}));
  EXPECT_EQ(takeLog(),
            " *nowhereラベルが存在しません\r\nscript/0.txt[1] goto\n"
            " *nowhereラベルが存在しません\r\nscript/0.txt[2] gosub\n"
            " gosub が一度も実行されていません\r\nscript/0.txt[3] return\n");
}

TEST_F(Flow, ASubroutineThatReturnsFromInsideItsLoopLeavesNoLoopOpen) {
  run("int i, j\nfor %i, 1, 2\ngosub *sub\nnext\nshow %i\ngoto *fin\n"
      "*sub\nfor %j, 1, 5\nreturn\nnext\n*fin\n");
  EXPECT_EQ(shown(), (Shown{"3"}));
  EXPECT_EQ(loopDepth(), 0);
}

TEST_F(Flow, UserSubroutinesAndTheirParameters) {
  run("string a\nint b\ndefsub mysub\nmysub hello world, 2+4\nmysub \"x y\"\nmysub $a + 1, \"\"\ngoto *fin\n"
      "*mysub\ngetParam $a, %b=5\nshow $a\nshow %b\nreturn\n*fin\n");
  EXPECT_EQ(shown(), (Shown{"hello world", "6", "x y", "5", " y", "0"}));
  EXPECT_EQ(registers().userSubName, "");
}

TEST_F(Flow, GetParamOutsideAUserSubroutineTakesTheDefaults) {
  run("string a\nint b\ndefsub mysub\nmysub x, 3\ngetParam $a=\"d\", %b\nshow $a\nshow %b\nend\n"
      "*mysub\nreturn\n");
  EXPECT_EQ(shown(), (Shown{"d", "0"}));
}

TEST_F(Flow, ErrorsInsideSubroutinesListTheirFrames) {
  run("defsub mysub\ncal %0 = 1:mysub\ngoto *fin\n*mysub\nnosuch\nreturn\n*fin\n");
  std::string start = scriptName(crc64_hash("script/0.txt"));
  EXPECT_EQ(takeLog(), "mysub 未対応の命令です\r\n" + start + "[2]\r\nscript/0.txt[5] nosuch\n");
}

TEST_F(Flow, LabelExist) {
  run("int r, s\nlabelExist %r, *here\nlabelExist %s, \"*nope\"\n*here\n");
  EXPECT_EQ(num("%r"), 1);
  EXPECT_EQ(num("%s"), 0);
}

TEST_F(Flow, JumpsAcrossScripts) {
  run("gosub *other:show back\ngoto *far\n*home\nshow home\n",
      {{"script/1.txt", "*other\nshow in_other\nreturn\n*far\nshow far\ngoto *home\n"}});
  EXPECT_EQ(shown(), (Shown{"in_other", "back", "far", "home"}));
  EXPECT_EQ(registers().activeSlot, 0);
  EXPECT_EQ(registers().subScriptKey, crc64_hash("script/1.txt"));
}

TEST_F(Flow, ErrorsInASubScriptNameIt) {
  run("gosub *other\n", {{"script/1.txt", "*other\ncal x\nnosuch\nreturn\n"}});
  std::string start = scriptName(crc64_hash("script/0.txt"));
  std::string other = scriptName(crc64_hash("script/1.txt"));
  EXPECT_EQ(takeLog(), other + "[1] x ※変数に代入する式ではありません\n" + " 未対応の命令です\r\n" + start +
                           "[1]\r\n" + other + "[3] nosuch\n");
}

}  // namespace
}  // namespace velmora::script::lang_test
