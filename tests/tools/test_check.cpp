#include <gtest/gtest.h>

#include <algorithm>

#include "bindings/library_commands.h"
#include "check.h"
#include "check_internal.h"
#include "base/encoding.h"
#include "script/interp.h"
#include "support/tempdir.h"

namespace velmora::tools {
namespace {

// Findings as "file:line: message" lines, errors and warnings marked.
std::vector<std::string> check(const std::vector<std::pair<std::string, std::string>>& scripts,
                               const std::vector<std::string>& resources = {}, bool utf8 = false) {
  test::TempDir dir;
  for (const auto& [name, text] : scripts) test::writeFile("game/script/" + name, text);
  for (const auto& r : resources) test::writeFile(r, "x");
  CheckOptions o;
  o.utf8 = utf8;
  o.gameSource = dir.path() / "game";
  o.archiveSources.push_back(dir.path() / "arc");
  std::vector<std::string> out;
  for (const Finding& f : checkGame(o))
    out.push_back(f.file + ":" + std::to_string(f.line) + (f.column ? ":" + std::to_string(f.column) : "") +
                  (f.error ? " E " : " W ") + f.message);
  return out;
}

TEST(Checker, ACleanGameHasNoFindings) {
  EXPECT_TRUE(check({{"0.txt", "*start\nint i\ndefsub greet\ngreet\ngosub *sub\nfor %i, 1, 2\nnext\n「本文」\n\nend\n"},
                     {"sub.txt", "*sub\nreturn\n*greet\nreturn\n"}})
                  .empty());
}

TEST(Checker, AUnicodeGameTakesAnyTextAndNarrationButNotBadBytes) {
  const std::string text = "*開始\n`Narration: with a colon.\nНарратив 中文 😀\n\nNarration without a mark\n\ngoto *開始\n中\xFF\n";
  auto f = check({{"0.txt", text}}, {}, true);
  std::vector<std::string> expect = {
      "script/0.txt:5 E unknown command Narration (a text line that begins with a Latin letter starts with `)",
      "script/0.txt:8:2 E the byte 0xFF is not UTF-8 (save the file as UTF-8)",
  };
  EXPECT_EQ(f, expect);
  EXPECT_FALSE(unicodeGame());  // the checker leaves the engine as it found it
  EXPECT_EQ(check({{"0.txt", "한국\n"}}).at(0), "script/0.txt:1:1 E '한' (U+D55C) has no code in code page 932");
}

TEST(Checker, LabelsAreCheckedAcrossScriptsAllAtOnce) {
  auto f = check({{"0.txt", "*a\n*b-c\n*d(e\n"}, {"x.txt", "*a\n\n「本文」\n*hidden\n"}});
  ASSERT_EQ(f.size(), 4u);
  EXPECT_EQ(f[0], "script/0.txt:2 E invalid character in the label name: *b-c");
  EXPECT_EQ(f[1], "script/0.txt:3 E invalid character in the label name: *d(e");
  EXPECT_EQ(f[2], "script/x.txt:1 E label *a is defined twice (also script/0.txt:1)");
  EXPECT_EQ(f[3].substr(0, 19), "script/x.txt:4 W la");
}

TEST(Checker, CommandsJumpsLoopsAndConditions) {
  auto f = check({{"0.txt",
                   "goto *missing\ngosub *here:nosuch 1\n*here\nfor %i, 1, 3\nif(%i==1)goto *here\n"
                   "if (%i == 2) alsonot\nelse goto *gone\nint i\n"}});
  std::vector<std::string> expect = {
      "script/0.txt:1 E jump to a label that does not exist: *missing",
      "script/0.txt:2 E unknown command nosuch",
      "script/0.txt:4 E for without a matching next",
      "script/0.txt:5 W the character after ')' is dropped: write a space after the condition",
      "script/0.txt:5 E unknown command oto",
      "script/0.txt:6 E unknown command alsonot",
      "script/0.txt:7 E jump to a label that does not exist: *gone",
  };
  EXPECT_EQ(f, expect);
}

TEST(Checker, LongLinesCodePageAndResources) {
  std::string longLine = "print \"" + std::string(600, 'a') + "\"\n";
  auto f = check({{"0.txt", longLine + "loadFile \"bg/here.png\", $0\nloadFile \"arcdir/in.png\", $0\n"
                                       "loadFile \"bg/gone.png\", $0\nprint \"\xC3\xA4\"\n"}},
                 {"game/bg/here.png", "arc/arcdir/in.png"});
  std::vector<std::string> expect = {
      "script/0.txt:1 E line of 608 bytes (at most 511)",
      "script/0.txt:4 E resource bg/gone.png is neither in the game folder nor in an archive source",
      "script/0.txt:5:8 E '\xC3\xA4' (U+00E4) has no code in code page 932",
  };
  EXPECT_EQ(f, expect);
}

TEST(Checker, AMissingStartScriptIsAnError) {
  auto f = check({{"1.txt", "print 1\n"}});
  ASSERT_EQ(f.size(), 1u);
  EXPECT_EQ(f[0], "script/0.txt:0 E the start script is missing");
}

// Each script holds one mistake that the engine would run silently or
// wrongly; every finding is listed as "line E|W part of the message".
struct Mistake {
  const char* script;
  std::vector<std::string> findings;
};

const Mistake kMistakes[] = {
    {"sp_xy 10\n", {"1 E sp_xy takes 3 arguments (sprite, x, y), 1 given"}},
    {"sp_xy 10, 1, 2, 3, 4\n", {"1 E sp_xy takes 3 arguments (sprite, x, y), 5 given: the rest are ignored"}},
    {"sp_a 10 200\n", {"1 E sp_a takes 2", "1 E sp_a's sprite `10 200` ends before `200`, which is ignored"}},
    {"sp_xy 10, \"x\", y\n", {"1 E sp_xy reads x as a number, but `\"x\"` is a text", "1 E sp_xy reads y as a number"}},
    {"setWindowText 5\n", {"1 E setWindowText reads title as a text, but `5` is a number"}},
    {"getTimer 5\nsp_gsz 1, %0, $0\n",
     {"1 E getTimer writes %ms into a %variable, but `5` is not one", "2 E sp_gsz writes %h into a %variable, but `$0`"}},
    {"rand %0, 1\nlen 5, \"abc\"\nsplit \"a,b\", \",\", x\n",
     {"1 E rand takes 3 arguments (%result, min, max), 2 given", "2 E len writes %result into a %variable",
      "3 E split: `x` is not a $variable or %variable"}},
    {"effect 2, 500, 0, \"Shutterleft\", 0, 0\neffect 3, 500, 0, \"fx/gone.png\", 0, 0\n",
     {"1 E effect: Shutterleft is not a named effect (the picture changes at once): did you mean ShutterLeft?",
      "2 E resource fx/gone.png"}},
    {"if (%0 = 1) print 1\nif (%0 == 0)  print 1\nif (%0 == 0 print 1\n",
     {"1 E the condition `(%0 = 1)` compares with a single '='", "2 E after the condition print 1 does not start",
      "3 E if without the ')'"}},
    {"cal %score = 1, $0 = 5, %1 = \"x\", $1 -= \"y\"\ncal a = 1\ncal %0 1\nint n = \"x\"\n",
     {"1 W %score is written, but no int line declares it", "1 E cal `$0 = 5`: a number assigned to a text variable",
      "1 E cal `%1 = \"x\"`: a text assigned to a number variable", "1 E cal `$1 -= \"y\"`: a text variable takes only",
      "2 E cal `a = 1` is not an assignment", "3 E cal `%0 1` has no assignment operator",
      "4 E int `n = \"x\"`: a text given to a number variable"}},
    {"getTag $who\nfor %k, 1, 2\nnext\n",
     {"1 W $who is written, but no string line declares it", "2 W %k is written, but no int line declares it"}},
    {"goto *found\n// a comment\n*found\nend\n",
     {"1 E jump to *found, which is hidden in the text block of script/0.txt:2",
      "3 E label *found is hidden by the comment line above it"}},
    {"「text」\n*unused\nend\n", {"2 W label *unused is part of the text block of line 1"}},
    {"print \"\xE2\x98\x83x\xC3\xA9\xF0\x9F\x98\x80\"\n",
     {"1:8 E '\xE2\x98\x83' (U+2603) has no code", "1:10 E '\xC3\xA9' (U+00E9)", "1:11 E '\xF0\x9F\x98\x80' (beyond U+FFFF)"}},
    {"goto start\nloadSave 0, 0\npreMessGosub \"*elsewhere\"\n",
     {"1 E goto `start`: a label starts with *", "2 E jump to a label that does not exist: *load_lb",
      "3 E jump to a label that does not exist: *elsewhere", "3 E jump to a label that does not exist: *pretext_lb"}},
    {"「a[sp_xy 1]b[nosuch 2]」\n(Time: noon)\n",
     {"1 E sp_xy takes 3", "1 E unknown command in the text: [nosuch 2]", "2 E unknown command noon"}},
};

TEST(Checker, EachMistakeIsFoundAndNothingElse) {
  for (const Mistake& m : kMistakes) {
    SCOPED_TRACE(m.script);
    std::vector<std::string> found = check({{"0.txt", m.script}});
    for (std::string& f : found) f = f.substr(std::string("script/0.txt:").size());
    ASSERT_EQ(found.size(), m.findings.size()) << ::testing::PrintToString(found);
    for (const std::string& expected : m.findings)
      EXPECT_TRUE(std::any_of(found.begin(), found.end(), [&](const std::string& f) { return f.starts_with(expected); }))
          << expected << " in " << ::testing::PrintToString(found);
  }
}

// What the engine runs as intended must pass: short forms the engine reads
// as meant, values of every shape, and the files a game writes itself.
TEST(Checker, CorrectScriptsPassUntouched) {
  EXPECT_TRUE(check({{"0.txt",
                      "int a = 5, b, c\nstring s, t = \"x\"\nsp_dx 1, 5\neffect 1, 500\neffect 2, 500, 0, \"ShutterLeft\"\n"
                      "getTag $s, $t\ncal $s = \"a=\" + $(%a)3, %a = %(\"42\") + *$s, *($s 1)2 = 5, %%a += 1\n"
                      "split \"a,b\", \",\", $s, %b=3, $t=none\nsp_xy 10, -%a * 2, (%b + 1) \\ 2\n"
                      "if ((%a == 1) && ($s != \"x\")) sp_a 10, 200 : goto *next\nelseif (%a >= 2) print $s\nelse print 1\n"
                      "saveScreenShot \"save/thumb001.png\", 1, 24, 9, 0\nexistFile \"save/thumb001.png\", %c\n"
                      "sp 10, \"save/thumb001.png\", 0, 1\npushSave 1, \"\"\nssp 25, 2 + \"abc\", 1\n"
                      "preMessGosub \"*pretext_lb\" : sufMessGosub \"*text_lb\"\n\n*next\n*pretext_lb\n*text_lb\nreturn\n"}})
                  .empty());
}

// The own language's table of arguments is the checker's; it must name
// exactly the interpreter's commands.
TEST(Checker, EveryOwnCommandHasAnArgumentPlan) {
  std::vector<std::string_view> own = script::ownCommandNames(), planned = check::ownPlanNames();
  for (const bindings::CoreBinding& b : bindings::libraryBridgeCores()) own.push_back(b.name);
  std::sort(own.begin(), own.end());
  std::sort(planned.begin(), planned.end());
  planned.erase(std::remove_if(planned.begin(), planned.end(), [](std::string_view n) { return n == "if" || n == "elseif" || n == "else"; }),
                planned.end());
  own.erase(std::remove_if(own.begin(), own.end(), [](std::string_view n) { return n == "if" || n == "elseif" || n == "else"; }),
            own.end());
  EXPECT_EQ(own, planned);
}

}  // namespace
}  // namespace velmora::tools
