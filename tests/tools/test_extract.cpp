#include <gtest/gtest.h>

#include "extract.h"
#include "movie_pack.h"
#include "support/tempdir.h"

namespace velmora::tools {
namespace {

namespace fs = std::filesystem;

TEST(ExtractedMembers, NamesThatLeaveTheFolderAreRefusedAndNothingIsWritten) {
  test::TempDir dir;
  test::writeFile("x", "kept");
  fs::create_directory("out");
  for (const char* name : {"../x", "sub/../../x", "a\\..\\..\\x", "/tmp/x", "\\x", "C:x", "sub/..", "./", ""}) {
    std::string error;
    EXPECT_FALSE(writeMemberFile("out", name, "evil", error)) << name;
    EXPECT_FALSE(error.empty()) << name;
  }
  std::string error;
  EXPECT_FALSE(writeMemberFile("out", std::string("a\0b", 3), "evil", error));
  EXPECT_EQ(test::readFile("x"), "kept");
  EXPECT_TRUE(fs::is_empty("out"));
}

TEST(ExtractedMembers, LinksInsideTheFolderAreNeverFollowedOut) {
  test::TempDir dir;
  fs::create_directories("out/real");
  test::writeFile("elsewhere/file", "kept");
  fs::create_directory_symlink("../elsewhere", "out/away");
  fs::create_symlink("../elsewhere/file", "out/file");
  std::string error;
  EXPECT_FALSE(writeMemberFile("out", "away/new", "evil", error));
  EXPECT_NE(error.find("symbolic link"), std::string::npos) << error;
  EXPECT_FALSE(writeMemberFile("out", "file", "evil", error));
  EXPECT_EQ(test::readFile("elsewhere/file"), "kept");
  EXPECT_FALSE(fs::exists("elsewhere/new"));
  // Even a link that stays inside is not taken.
  fs::create_directory_symlink("real", "out/inner");
  EXPECT_FALSE(writeMemberFile("out", "inner/f", "x", error));
  EXPECT_FALSE(fs::exists("out/real/f"));

  // Separators of either kind, "." and doubled ones make ordinary folders.
  ASSERT_TRUE(writeMemberFile("out", "real/./a\\b//c.txt", "one", error)) << error;
  ASSERT_TRUE(writeMemberFile("out", "real/a/b/c.txt", "two", error)) << error;
  EXPECT_EQ(test::readFile("out/real/a/b/c.txt"), "two");
  EXPECT_EQ(std::distance(fs::directory_iterator("out/real/a/b"), fs::directory_iterator()), 1);
}

// Rates no 32-bit millisecond time can hold are refused, not converted.
TEST(MoviePack, ImplausibleFrameRatesAreRefused) {
  test::TempDir dir;
  test::writeFile("frames/0.bmp", "x");
  for (const char* fps : {"1e-300", "nan", "inf", "-1"}) {
    MovieOptions o;
    o.out = "m.dat", o.mjpg = "frames", o.fps = fps;
    EXPECT_EQ(packMovie(o, nullptr, nullptr), 1) << fps;
  }
  EXPECT_FALSE(fs::exists("m.dat"));
}

}  // namespace
}  // namespace velmora::tools
