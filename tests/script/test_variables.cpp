// cal with its twelve operators on each target kind, declarations, and the
// existence and erasure commands.
#include <climits>

#include "lang_harness.h"

namespace velmora::script::lang_test {
namespace {

class Assign : public LangTest {
 protected:
  int32_t calc(int32_t start, const std::string& op, const std::string& rhs) {
    numberedIntegers()[1] = start;
    exec(cmd_cal, " %1 " + op + " " + rhs);
    return numberedIntegers()[1];
  }
};

TEST_F(Assign, NumericOperators) {
  EXPECT_EQ(calc(5, "=", "7 \\ 2"), 3);
  EXPECT_EQ(calc(5, "=", "-7 \\ 2"), -3);
  EXPECT_EQ(calc(5, "=", "7 % 2.5"), 2);
  EXPECT_EQ(calc(5, "=", "-2.9"), -2);
  EXPECT_EQ(calc(5, "+=", "2"), 7);
  EXPECT_EQ(calc(5, "-=", "7"), -2);
  EXPECT_EQ(calc(5, "*=", "-3"), -15);
  EXPECT_EQ(calc(-7, "/=", "2"), -3);
  EXPECT_EQ(calc(-7, "\\=", "2"), -3);
  EXPECT_EQ(calc(-7, "%=", "3"), -1);
  EXPECT_EQ(calc(6, "&=", "3"), 2);
  EXPECT_EQ(calc(6, "|=", "3"), 7);
  EXPECT_EQ(calc(6, "^=", "3"), 5);
  EXPECT_EQ(calc(1, "<<=", "33"), 2);
  EXPECT_EQ(calc(-16, ">>=", "2"), -4);
  EXPECT_EQ(calc(5, "< < =", "1"), 10);  // spaces between the tokens
  EXPECT_EQ(takeLog(), "");
}

TEST_F(Assign, ArithmeticWrapsAndNeverTraps) {
  EXPECT_EQ(calc(INT_MAX, "+=", "1"), INT_MIN);
  EXPECT_EQ(calc(INT_MIN, "/=", "-1"), INT_MIN);
  EXPECT_EQ(calc(INT_MIN, "%=", "-1"), 0);
  EXPECT_EQ(calc(65536, "*=", "65536"), 0);
  EXPECT_EQ(calc(9, "/=", "0"), 9);  // a zero divisor leaves the variable alone
  EXPECT_EQ(calc(9, "\\=", "0"), 9);
  EXPECT_EQ(calc(9, "%=", "0"), 9);
  EXPECT_EQ(calc(9, "=", "1 / 0"), 0);  // infinity reads as 0
  EXPECT_EQ(calc(9, "=", "0xffffffff"), -1);
  EXPECT_EQ(calc(9, "=", "4294967298"), 2);
}

TEST_F(Assign, StringTargets) {
  exec(cmd_string, " s");
  exec(cmd_cal, " $s = \"abcdef\" + 2");
  EXPECT_EQ(str("$s"), "cdef");
  exec(cmd_cal, " $s = 2 + \"abcdef\"");
  EXPECT_EQ(str("$s"), "cdef");
  exec(cmd_cal, " $s = 'ab' + 'cd', $s += 'ef'");
  EXPECT_EQ(str("$s"), "abcdef");
  exec(cmd_cal, " $s = 5");  // a number for a string: ignored, silently
  EXPECT_EQ(str("$s"), "abcdef");
  exec(cmd_cal, " $s = 'a,b'");  // the comma is inside quotes
  EXPECT_EQ(str("$s"), "a,b");
  EXPECT_EQ(takeLog(), "");
}

TEST_F(Assign, CompoundOperatorsOnStringsReportTheirOwnMessage) {
  const char* ops[] = {"-=", "*=", "/=", "%=", "\\=", "&=", "|=", "^=", "<<=", ">>="};
  std::string expected;
  for (const char* op : ops) {
    std::string item = std::string("$0 ") + op + " 'x'";
    exec(cmd_cal, " " + item);
    expected += "0.txt[0] " + item + " ※文字変数に " + op + " 複合代入演算子は使えません\n";
  }
  EXPECT_EQ(takeLog(), expected);
  EXPECT_EQ(numberedStrings()[0], "");
}

TEST_F(Assign, MessagesForBadItems) {
  exec(cmd_cal, " a = 1, %1 == 2, %1 : 3, %1 =, %1 = 4");
  EXPECT_EQ(takeLog(),
            "0.txt[0] a = 1 ※変数に代入する式ではありません\n"
            "0.txt[0] %1 : 3 ※代入演算子が不正です\n"
            "0.txt[0] %1 = ※変数に代入する型が合いません\n");
  EXPECT_EQ(numberedIntegers()[1], 4);  // later items still run; '==' assigned the string "="
}

TEST_F(Assign, TheMessageNamesTheLineCountedFromZero) {
  run("cal %1 = 1\n\ncal %2 ! 3\n");
  EXPECT_EQ(takeLog(), "0.txt[2] %2 ! 3 ※代入演算子が不正です\n");
}

TEST_F(Assign, ByteTargets) {
  exec(cmd_string, " b = ABCD");
  exec(cmd_cal, " *$b = 97");
  EXPECT_EQ(str("$b"), "aBCD");
  exec(cmd_cal, " *($b 1)2 += 0x0101");
  EXPECT_EQ(str("$b"), "aCDD");
  exec(cmd_cal, " *($b + 1) = 0x7A");  // the offset is the whole text before ')'
  EXPECT_EQ(str("$b"), "azDD");
  exec(cmd_cal, " *($b)4 = 0x34333231");
  EXPECT_EQ(str("$b"), "1234");
  exec(cmd_cal, " *($b)3 = 0x41");  // no width 3: one byte
  EXPECT_EQ(str("$b"), "A234");
  exec(cmd_cal, " *$b >>= 1");  // the stored byte counts unsigned
  EXPECT_EQ(static_cast<unsigned char>(stringReference("$b")->at(0)), 0x20);
  exec(cmd_cal, " *($b 3)2 = 0x4242, *($b -1) = 0x42, *($b)4 = 'x'");  // past the ends, a string: nothing
  EXPECT_EQ(str("$b"), " 234");
  EXPECT_EQ(takeLog(), "");
}

TEST_F(Assign, WritesToNothingHaveNoEffect) {
  exec(cmd_cal, " %nothing = 5, $nothing = 'x', %300 = 1, *$nothing = 1");
  EXPECT_EQ(takeLog(), "");
  EXPECT_TRUE(namedIntegers().empty());
  EXPECT_TRUE(namedStrings().empty());
}

TEST_F(Assign, IndirectTargets) {
  exec(cmd_int, " k = 7, hp");
  exec(cmd_string, " name = hp");
  exec(cmd_cal, " %%k = 70, $%k = seven, %$name = 3");
  EXPECT_EQ(numberedIntegers()[7], 70);
  EXPECT_EQ(numberedStrings()[7], "seven");
  EXPECT_EQ(num("%hp"), 3);
}

TEST_F(Assign, Declarations) {
  exec(cmd_int, " a=5, b");
  EXPECT_EQ(num("%a"), 5);
  EXPECT_EQ(num("%b"), 0);
  exec(cmd_cal, " %a = 1, %b = 2");
  exec(cmd_int, " a=5, b");  // again: a is reset, b keeps its value
  EXPECT_EQ(num("%a"), 5);
  EXPECT_EQ(num("%b"), 2);
  exec(cmd_int, " c = 2 * 3.9");
  EXPECT_EQ(num("%c"), 7);
  exec(cmd_string, " s = 'x=y', t");
  EXPECT_EQ(str("$s"), "x=y");
  EXPECT_EQ(str("$t"), "");
  exec(cmd_string, " u = abc + 1");
  EXPECT_EQ(str("$u"), "bc");
  exec(cmd_string, " n = dyn");
  exec(cmd_string, " $n = made");  // the name is the value of $n
  EXPECT_EQ(str("$dyn"), "made");
  exec(cmd_int, " 体力 = 10");
  EXPECT_EQ(*numericReference(utf8_to_sjis("%体力")), 10);
  exec(cmd_int, " =3, %a, ''");  // names that evaluate to no text declare nothing
  EXPECT_EQ(namedIntegers().size(), 4u);
}

TEST_F(Assign, VariableExist) {
  exec(cmd_int, " r, a");
  exec(cmd_string, " s");
  auto exists = [&](const std::string& ref) {
    numberedIntegers()[9] = -1;
    exec(cmd_variableExist, " %9, " + ref);
    return numberedIntegers()[9];
  };
  EXPECT_EQ(exists("%a"), 1);
  EXPECT_EQ(exists("$s"), 1);
  EXPECT_EQ(exists("%12"), 1);
  EXPECT_EQ(exists("$255"), 1);
  EXPECT_EQ(exists("%256"), 0);
  EXPECT_EQ(exists("%s"), 0);
  EXPECT_EQ(exists("$a"), 0);
  EXPECT_EQ(exists("a"), 0);
  exec(cmd_variableExist, " %r, %a");
  EXPECT_EQ(num("%r"), 1);
}

TEST_F(Assign, VariableErase) {
  exec(cmd_int, " a = 1, b = 2");
  exec(cmd_string, " s = x, which = b");
  exec(cmd_variableErase, " %a");  // the leading separator is skipped
  EXPECT_EQ(numericReference("%a"), nullptr);
  exec(cmd_variableErase, "$s");
  EXPECT_EQ(stringReference("$s"), nullptr);
  exec(cmd_variableErase, " %$which");
  EXPECT_EQ(numericReference("%b"), nullptr);
  numberedIntegers()[4] = 4;
  exec(cmd_variableErase, " %4");
  exec(cmd_variableErase, " %missing");
  exec(cmd_variableErase, " $which + 1");
  EXPECT_EQ(numberedIntegers()[4], 4);
  EXPECT_EQ(str("$which"), "b");
}

}  // namespace
}  // namespace velmora::script::lang_test
