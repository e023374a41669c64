// The evaluator: tokens, the five levels and their quirks, references.
#include "lang_harness.h"
#include "script/expression_internal.h"

namespace velmora::script::lang_test {
namespace {

using Expression = LangTest;

TEST_F(Expression, NumberTokens) {
  EXPECT_EQ(evalText("0x1F"), "31");
  EXPECT_EQ(evalText("0xffffffff"), "4294967295");
  EXPECT_EQ(evalText("7x10"), "16");  // any first digit before 'x' starts hex
  EXPECT_EQ(evalText("0x"), "0");
  EXPECT_EQ(evalText("0xG1"), "1");   // the character after 'x' is always taken, as 0
  EXPECT_EQ(evalText("1.25"), "1.25");
  EXPECT_EQ(evalText("1.2.5"), "1.25");  // later dots are skipped, their digits are fraction
  EXPECT_EQ(evalText("3000000000"), "-1294967296");  // one wrapping 32-bit accumulator
  EXPECT_EQ(evalText("12abc"), "12");  // a number token ends at the letter
}

TEST_F(Expression, WordsAndLiterals) {
  EXPECT_EQ(evalText("abc"), "abc");
  EXPECT_EQ(evalText("'abc'"), "abc");
  EXPECT_EQ(evalText("\"a'b\""), "a'b");
  EXPECT_EQ(evalText(".5"), ".5");  // a dot starts a word, not a number
  EXPECT_EQ(evalText("a.b@c_9"), "a.b@c_9");
  EXPECT_EQ(evalText("表示テスト"), "表示テスト");
  EXPECT_EQ(evalText("\"abc"), "abc");  // unterminated: up to the end
  ScriptValue empty = eval("\"\"");
  EXPECT_EQ(empty.kind, kKindString);
  EXPECT_EQ(eval("").kind, kKindInvalid);
  EXPECT_EQ(eval("   ").kind, kKindInvalid);
  EXPECT_EQ(evalText("1 2"), "1");  // the rest is ignored
}

TEST_F(Expression, ShiftJisTrailBytesAreNeverQuotesOrOperators) {
  // 0x5C is the trail byte of this character; it must not end the word.
  std::string s = utf8_to_sjis("\"ソ\"");
  ASSERT_EQ(static_cast<unsigned char>(s[2]), 0x5C);
  EXPECT_EQ(evaluate(s).text, utf8_to_sjis("ソ"));
  EXPECT_EQ(evaluate(utf8_to_sjis("ソ+1")).text, utf8_to_sjis("ソ").substr(1));
}

TEST_F(Expression, PrecedenceAndAssociativity) {
  EXPECT_EQ(evalText("1 + 2 * 3"), "7");
  EXPECT_EQ(evalText("(1 + 2) * 3"), "9");
  EXPECT_EQ(evalText("10 - 3 - 2"), "5");
  EXPECT_EQ(evalText("1 | 2 == 2"), "1");  // comparison binds tighter than '|'
  EXPECT_EQ(evalText("6 & 3 ^ 1"), "3");   // one level, left to right
  EXPECT_EQ(evalText("1 + 1 << 2"), "8");
  EXPECT_EQ(evalText("2 && 3"), "1");
  EXPECT_EQ(evalText("0 || 0"), "0");
  EXPECT_EQ(evalText("1 & & 2"), "1");  // spaces between the tokens are allowed
}

TEST_F(Expression, LogicalOperatorsKeepTheLeftKindAndText) {
  ScriptValue v = eval("abc && 1");
  EXPECT_EQ(v.kind, kKindString);
  EXPECT_EQ(v.text, "abc");
  EXPECT_EQ(v.number, 0);
}

TEST_F(Expression, ComparisonsAndShifts) {
  EXPECT_EQ(evalText("abc == \"abc\""), "1");
  EXPECT_EQ(evalText("'abc' < 'abd'"), "1");
  EXPECT_EQ(evalText("'ab' < 'abc'"), "1");
  EXPECT_EQ(evalText("'b' >= 'abc'"), "1");
  EXPECT_EQ(evalText("2 <= 2"), "1");
  EXPECT_EQ(evalText("3 != 3"), "0");
  EXPECT_EQ(evalText("1 = 2 1"), "1");   // '=' swallows the 2
  EXPECT_EQ(evalText("1 !x 1"), "0");    // '!' swallows whatever follows
  EXPECT_EQ(evalText("1 << 33"), "2");   // counts modulo 32
  EXPECT_EQ(evalText("-8 >> 1"), "-4");  // keeps the sign
  EXPECT_EQ(evalText("0xffffffff >> 28"), "-1");  // 32-bit pattern, signed
  ScriptValue shifted = eval("abc << 1");
  EXPECT_EQ(shifted.kind, kKindString);  // shifts leave the kind alone
}

TEST_F(Expression, PlusSlicesAndConcatenates) {
  EXPECT_EQ(evalText("'abcdef' + 2"), "cdef");
  EXPECT_EQ(evalText("2 + 'abcdef'"), "cdef");
  EXPECT_EQ(evalText("'ab' + 'cd'"), "abcd");
  EXPECT_EQ(evalText("'ab' + 9"), "");
  EXPECT_EQ(evalText("'ab' + -1"), "ab");
  EXPECT_EQ(evalText("1 + 2 + 'abcd'"), "d");
  ScriptValue minus = eval("'abc' - 2");
  EXPECT_EQ(minus.kind, kKindString);
  EXPECT_EQ(minus.text, "abc");
  EXPECT_EQ(minus.number, -2);
}

TEST_F(Expression, MultiplicativeOperators) {
  EXPECT_EQ(evalText("7 / 2"), "3.5");
  EXPECT_EQ(evalText("7 \\ 2"), "3");
  EXPECT_EQ(evalText("-7 \\ 2"), "-3");
  EXPECT_EQ(evalText("7 % 2.5"), "2");
  EXPECT_EQ(evalText("-7 % 3"), "-1");
  EXPECT_EQ(evalText("7 % 4 * 3"), "9");
}

TEST_F(Expression, PrefixRuns) {
  EXPECT_EQ(evalText("--5"), "5");
  EXPECT_EQ(evalText("-!0"), "1");  // '-' first, then '!'
  EXPECT_EQ(evalText("!-0"), "1");
  EXPECT_EQ(evalText("+-+5"), "-5");
  EXPECT_EQ(evalText("-+-5"), "5");
  EXPECT_EQ(evalText("!!7"), "1");
  EXPECT_EQ(evalText("!(1 - 1)"), "1");
  EXPECT_EQ(evalText("-(1 + 2)"), "-3");
  EXPECT_EQ(evalText("3 - -2"), "5");
  std::string run(300, '-');
  EXPECT_EQ(evalText(run + "5"), "5");  // an even run cancels however long it is
}

TEST_F(Expression, ConversionsToStringAndNumber) {
  EXPECT_EQ(evalText("$(7)3"), "007");
  EXPECT_EQ(evalText("$(-5)3"), "-05");
  EXPECT_EQ(evalText("$(7.9)"), "7");
  EXPECT_EQ(evalText("$(1234)2"), "1234");
  EXPECT_EQ(evalText("$(5)3 + 1"), "05");  // the width token is consumed
  EXPECT_EQ(evalText("$('x')"), "x");
  EXPECT_EQ(evalText("%(\"0x1F\")"), "31");
  EXPECT_EQ(evalText("%(\"  -12\")"), "-12");
  EXPECT_EQ(evalText("%('12abc')"), "12");
  EXPECT_EQ(evalText("%('abc')"), "0");
  EXPECT_EQ(evalText("%(5) + 1"), "6");
}

TEST_F(Expression, ByteReadsAndLabelTexts) {
  exec(cmd_string, " s = AB");
  EXPECT_EQ(evalText("*$s"), "65");
  EXPECT_EQ(evalText("*$s 2"), "16961");  // 0x4241, little-endian
  EXPECT_EQ(evalText("*($s + 1)"), "66");
  EXPECT_EQ(evalText("*($s)4"), "16961");  // bytes past the end count 0
  EXPECT_EQ(evalText("*('')"), "0");
  EXPECT_EQ(evalText("*start"), "*start");
  EXPECT_EQ(evalText("* a 1st"), "*a1st");
  EXPECT_EQ(evalText("*ラベル"), "*ラベル");
}

TEST_F(Expression, ReferenceForms) {
  exec(cmd_int, " i = 3, hp = 40");
  exec(cmd_string, " n = hp, sn = t");
  numberedIntegers()[3] = 33;
  numberedStrings()[3] = "three";
  setNamedString("t", "tee");
  EXPECT_EQ(evalText("%3"), "33");
  EXPECT_EQ(evalText("%hp"), "40");
  EXPECT_EQ(evalText("%%i"), "33");
  EXPECT_EQ(evalText("$%i"), "three");
  EXPECT_EQ(evalText("%$n"), "40");
  EXPECT_EQ(evalText("$$sn"), "tee");
  EXPECT_EQ(evalText("%hp + %i * 2"), "46");
}

TEST_F(Expression, ReferencesToNothingReadEmpty) {
  EXPECT_EQ(evalText("%undeclared + 1"), "1");
  EXPECT_EQ(evalText("$undeclared + 'x'"), "x");
  EXPECT_EQ(evalText("%256"), "0");
  EXPECT_EQ(evalText("$300"), "");
  numberedIntegers()[0] = -1;
  EXPECT_EQ(evalText("%%0"), "0");
  EXPECT_EQ(takeLog(), "");
}

TEST_F(Expression, CachedReferencesFollowDeclarationsAndErasures) {
  const char* text = "%late + 1";
  EXPECT_EQ(evalText(text), "1");
  exec(cmd_int, " late = 5");
  EXPECT_EQ(evalText(text), "6");
  exec(cmd_variableErase, " %late");
  EXPECT_EQ(evalText(text), "1");
  exec(cmd_int, " late = 9");
  EXPECT_EQ(evalText(text), "10");
  resetVariables();
  EXPECT_EQ(evalText(text), "1");
}

TEST_F(Expression, ExactReferences) {
  exec(cmd_int, " a");
  exec(cmd_string, " s");
  EXPECT_NE(numericReference("%a"), nullptr);
  EXPECT_NE(numericReference(" %a "), nullptr);
  EXPECT_NE(numericReference("%255"), nullptr);
  EXPECT_EQ(numericReference("%256"), nullptr);
  EXPECT_EQ(numericReference("%a + 1"), nullptr);
  EXPECT_EQ(numericReference("%a b"), nullptr);
  EXPECT_EQ(numericReference("%b"), nullptr);
  EXPECT_EQ(numericReference("$s"), nullptr);
  EXPECT_EQ(numericReference("%"), nullptr);
  EXPECT_NE(stringReference("$s"), nullptr);
  EXPECT_NE(stringReference("$%a"), nullptr);
  EXPECT_EQ(stringReference("$(s)"), nullptr);
}

// Numeric expressions run as compiled programs; the general parser must give
// the same value for each, and the quirky ones must still reach the parser.
TEST_F(Expression, CompiledProgramsAgreeWithTheParser) {
  exec(cmd_int, " a = 7, b = -3");
  numberedIntegers()[5] = 11;
  const char* cases[] = {
      "1 + 2 * 3 - 4 / 8", "%a * %b % 4", "-%a \\ 2", "(%a + 1) * (%b - 1)", "%a << 33 >> 1",
      "0xffffffff & 0xff | 0x100 ^ 3", "%a && %b || 0", "%a == 7 != 0", "%a <= %b", "%a >= 7 > 0",
      "%a < 8", "--%a", "-!0", "!-%b", "!(%a - 7)", "+-+%5", "%5 / 0", "-(1 - 1)", "%a % 0",
      "3000000000 + 1.5", "%undeclared + %300", "1 = 2 1", "1 !x 1", "(1 + 2", "1 2", "%a %b",
      "-(abc)", "%(3) + 1", "%%a", "1 +", "*(1)",
  };
  for (const char* text : cases) {
    std::string src = utf8_to_sjis(text);
    detail::TokenList list;
    detail::tokenize(src, list);
    detail::beginExpression(list.source);
    detail::Parser parser(list, 0, list.tokens.size());
    ScriptValue expected = parser.expression();
    ScriptValue got = evaluate(src);
    EXPECT_EQ(got.kind, expected.kind) << text;
    EXPECT_EQ(got.text, expected.text) << text;
    if (std::isnan(expected.number)) EXPECT_TRUE(std::isnan(got.number)) << text;
    else EXPECT_EQ(got.number, expected.number) << text;
  }
  EXPECT_EQ(detail::cachedTokens("%a * %b % 4").compiled, 1);
  EXPECT_EQ(detail::cachedTokens("1 = 2 1").compiled, -1);
}

TEST_F(Expression, ReportShowsPositionAndExpression) {
  registers().currentLine = 2;
  eval("1 + 2");
  reportExpressionError(sj("代入演算子が不正です"));
  EXPECT_EQ(takeLog(), "0.txt[2] 1 + 2 ※代入演算子が不正です\n");
  registers().activeSlot = 1;
  registers().subScriptName = "ABC";
  ScriptValue v = eval("3");
  EXPECT_EQ(v.kind, kKindNumber);
  reportExpressionError(sj("式"));
  EXPECT_EQ(takeLog(), "ABC[2] 3 ※式\n");
}

}  // namespace
}  // namespace velmora::script::lang_test
