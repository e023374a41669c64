#include <gtest/gtest.h>

#include "base/textconv.h"
#include "script/library.h"
#include "script/regex.h"
#include "support/tempdir.h"

namespace velmora::script {
namespace {

TEST(Paths, SplitIntoFolderBaseAndExtension) {
  PathParts p;
  ASSERT_TRUE(splitPath("folder/name.tar.gz", p));
  EXPECT_EQ(p.folder, "folder/");
  EXPECT_EQ(p.base, "name.tar");
  EXPECT_EQ(p.extension, ".gz");
  ASSERT_TRUE(splitPath("folder\\readme", p));
  EXPECT_EQ(p.folder, "folder\\");
  EXPECT_EQ(p.extension, "");
  ASSERT_TRUE(splitPath("a//b\\\\c/.cfg", p));  // runs of separators count once
  EXPECT_EQ(p.folder, "a/b/c/");
  EXPECT_EQ(p.base, "");
  EXPECT_EQ(p.extension, ".cfg");
  ASSERT_TRUE(splitPath(".profile", p));  // a dot at the very start is no extension
  EXPECT_EQ(p.base, ".profile");
  ASSERT_TRUE(splitPath("x/y", p, '\\'));
  EXPECT_EQ(p.folder, "x\\");
  // The second byte of a double-byte character is never a separator: 表 is 0x955C.
  ASSERT_TRUE(splitPath(utf8_to_sjis("表/名.png"), p));
  EXPECT_EQ(p.folder, utf8_to_sjis("表/"));
  ASSERT_TRUE(splitPath(utf8_to_sjis("表.png"), p));
  EXPECT_EQ(p.folder, "");
  EXPECT_FALSE(splitPath("", p));
}

TEST(Paths, FoldersAreCreatedWithTheirParents) {
  test::TempDir dir;
  EXPECT_TRUE(ensureFolder(""));
  EXPECT_TRUE(ensureFolder("a\\b/c/"));
  EXPECT_TRUE(std::filesystem::is_directory("a/b/c"));
  test::writeFile("file", "x");
  EXPECT_FALSE(ensureFolder("file/sub/"));
}

// Links back up the tree used to be walked again and again (exponentially);
// a linked folder elsewhere is still listed, once.
TEST(FileList, SymbolicLinkLoopsAreWalkedOnce) {
  test::TempDir dir;
  test::writeFile("pics/a.png", "x");
  test::writeFile("pics/sub/b.png", "x");
  test::writeFile("kept/c.png", "x");
  namespace fs = std::filesystem;
  for (const char* link : {"pics/l1", "pics/l2", "pics/sub/l3", "pics/sub/l4"}) fs::create_directory_symlink(".", link);
  fs::create_directory_symlink("..", "pics/sub/up");
  fs::create_directory_symlink("../kept", "pics/z");
  const std::vector<std::string> expect = {"pics/a.png", "pics/sub/b.png", "pics/z/c.png"};
  EXPECT_EQ(collectFileList("pics", "*.png", 1), expect);
}

TEST(Characters, OneByteNeverMatchesInsideADoubleByteCharacter) {
  int32_t n = 0;
  EXPECT_EQ(findCharacter(utf8_to_sjis("aあa"), "a", &n), 0);
  EXPECT_EQ(n, 2);
  // 0x82A0 (あ) followed by 0xA0: only the first is the character.
  EXPECT_EQ(findCharacter("\x82\xA0\xA0", "\xA0", &n), 2);
  EXPECT_EQ(n, 1);
  EXPECT_EQ(findCharacter(utf8_to_sjis("あいう"), utf8_to_sjis("い")), 2);
  EXPECT_EQ(splitText("a,,b", ","), (std::vector<std::string>{"a", "", "b"}));
  EXPECT_TRUE(splitText("", ",").empty());
  EXPECT_TRUE(splitText("a,b", "abc").empty());
}

TEST(Regex, SubstitutionTransliterationAndSplit) {
  std::string out;
  int count = 0;
  ASSERT_TRUE(regex::substitute("a1b22c", "s/([0-9]+)/<$1>/g", out, count));
  EXPECT_EQ(out, "a<1>b<22>c");
  EXPECT_EQ(count, 2);
  ASSERT_TRUE(regex::substitute("aaa", "s/a/b/", out, count));
  EXPECT_EQ(out, "baa");
  ASSERT_TRUE(regex::substitute("abc", "s/x*/-/g", out, count));
  EXPECT_EQ(out, "-a-b-c-");
  ASSERT_TRUE(regex::substitute("Path/To", "s#/#\\\\#g", out, count));
  EXPECT_EQ(out, "Path\\To");
  ASSERT_TRUE(regex::substitute("none", "s/x/y/", out, count));
  EXPECT_EQ(out, "none");
  EXPECT_EQ(count, 0);
  ASSERT_TRUE(regex::transliterate("hello", "tr/a-y/b-z/", out, count));
  EXPECT_EQ(out, "ifmmp");
  ASSERT_TRUE(regex::transliterate("aabbcc", "tr/ab//d", out, count));
  EXPECT_EQ(out, "cc");
  EXPECT_EQ(count, 4);
  ASSERT_TRUE(regex::transliterate(utf8_to_sjis("あいあい"), utf8_to_sjis("tr/あ/ア/"), out, count));
  EXPECT_EQ(out, utf8_to_sjis("アいアい"));
  std::vector<std::string> pieces;
  ASSERT_TRUE(regex::split("a, b,,c,,", "/,\\s*/", pieces));
  EXPECT_EQ(pieces, (std::vector<std::string>{"a", "b", "", "c"}));
  ASSERT_TRUE(regex::split("abc", "//", pieces));
  EXPECT_EQ(pieces, (std::vector<std::string>{"a", "b", "c"}));
}

}  // namespace
}  // namespace velmora::script
