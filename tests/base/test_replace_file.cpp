// Replacing files through a temporary of their own: writers of the same file
// never share one, and the ones a killed writer leaves are swept away.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <set>

#include "base/replace_file.h"
#include "support/tempdir.h"

namespace velmora {
namespace {

std::set<std::string> folderEntries(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(folder)) names.insert(e.path().filename().string());
  return names;
}

TEST(ReplaceFile, TwoWritersOfOneFileEachWriteTheirOwnTemporary) {
  test::TempDir dir;
  test::writeFile("slot.txt", "old");
  const std::string first(20000, 'a'), second(30000, 'b');
  ReplaceFile a("slot.txt"), b("slot.txt");
  ASSERT_TRUE(a.write(first.data(), first.size()));
  ASSERT_TRUE(b.write(second.data(), second.size()));
  EXPECT_EQ(folderEntries(".").size(), 3u);
  ASSERT_TRUE(a.commit());
  EXPECT_EQ(test::readFile("slot.txt"), first);
  ASSERT_TRUE(b.commit());
  EXPECT_EQ(test::readFile("slot.txt"), second);
  EXPECT_EQ(folderEntries("."), std::set<std::string>{"slot.txt"});
}

TEST(ReplaceFile, AReplacedFileKeepsItsModeAndANewOneGetsTheUsualOne) {
  test::TempDir dir;
  test::writeFile("private.dat", "x");
  chmod("private.dat", 0600);
  for (const char* name : {"private.dat", "new.dat"}) {
    ReplaceFile f(name);
    ASSERT_TRUE(f.write("y", 1) && f.commit());
  }
  struct stat st;
  ASSERT_EQ(stat("private.dat", &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  const mode_t mask = umask(0);
  umask(mask);
  ASSERT_EQ(stat("new.dat", &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0666u & ~mask);
}

TEST(ReplaceFile, OnlyUnheldTemporariesOfTheEnginesOwnFormAreSwept) {
  test::TempDir dir;
  const char* stale[] = {"save/save001.txt.velmora-tmp.a1B2c3", "save/setting.dat.velmora-tmp.ZZZZZZ"};
  const char* kept[] = {"save/save001.txt", "save/save001.txt.tmp", "save/x.velmora-tmp.abc",
                        "save/x.velmora-tmp.abc-de", "save/x.velmora-tmp.abcdefg"};
  for (const char* name : stale) test::writeFile(name, "left by a killed writer");
  for (const char* name : kept) test::writeFile(name, "the player's");
  std::filesystem::create_directories("save/d.velmora-tmp.Folder");
  ReplaceFile busy("save/save002.txt");  // another game writing right now
  ASSERT_TRUE(busy.write("z", 1));
  const std::set<std::string> before = folderEntries("save");
  EXPECT_EQ(removeStaleTemporaries("save/"), 2);
  std::set<std::string> expected = before;
  for (const char* name : stale) expected.erase(std::filesystem::path(name).filename().string());
  EXPECT_EQ(folderEntries("save"), expected);
  ASSERT_TRUE(busy.commit());
  EXPECT_EQ(test::readFile("save/save002.txt"), "z");
  EXPECT_EQ(removeStaleTemporaries("no/such/folder/"), 0);
}

}  // namespace
}  // namespace velmora
