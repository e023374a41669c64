#include <gtest/gtest.h>

#include "check.h"
#include "support/tempdir.h"

namespace velmora::tools {
namespace {

// Findings as "file:line: message" lines, errors and warnings marked.
std::vector<std::string> check(const std::vector<std::pair<std::string, std::string>>& scripts,
                               const std::vector<std::string>& resources = {}) {
  test::TempDir dir;
  for (const auto& [name, text] : scripts) test::writeFile("game/script/" + name, text);
  for (const auto& r : resources) test::writeFile(r, "x");
  CheckOptions o;
  o.gameSource = dir.path() / "game";
  o.archiveSources.push_back(dir.path() / "arc");
  std::vector<std::string> out;
  for (const Finding& f : checkGame(o))
    out.push_back(f.file + ":" + std::to_string(f.line) + (f.error ? " E " : " W ") + f.message);
  return out;
}

TEST(Checker, ACleanGameHasNoFindings) {
  EXPECT_TRUE(check({{"0.txt", "*start\ndefsub greet\ngreet\ngosub *sub\nfor %i, 1, 2\nnext\n「本文」\n\nend\n"},
                     {"sub.txt", "*sub\nreturn\n*greet\nreturn\n"}})
                  .empty());
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
                   "if (%i == 2) alsonot\nelse goto *gone\n"}});
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
  auto f = check({{"0.txt", longLine + "loadFile \"bg/here.png\", $s\nloadFile \"arcdir/in.png\", $s\n"
                                       "loadFile \"bg/gone.png\", $s\nprint \"\xC3\xA4\"\n"}},
                 {"game/bg/here.png", "arc/arcdir/in.png"});
  std::vector<std::string> expect = {
      "script/0.txt:1 E line of 608 bytes (at most 511)",
      "script/0.txt:4 E resource bg/gone.png is neither in the game folder nor in an archive source",
      "script/0.txt:5 E column 8: a character without a code in code page 932",
  };
  EXPECT_EQ(f, expect);
}

TEST(Checker, AMissingStartScriptIsAnError) {
  auto f = check({{"1.txt", "print 1\n"}});
  ASSERT_EQ(f.size(), 1u);
  EXPECT_EQ(f[0], "script/0.txt:0 E the start script is missing");
}

}  // namespace
}  // namespace velmora::tools
