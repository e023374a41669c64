#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "core/replace_file.h"
#include "core/report.h"
#include "core/state.h"
#include "core/textconv.h"
#include "resource/packer.h"
#include "resource/resource.h"
#include "support/tempdir.h"

namespace velmora::resource {
namespace {

class Archives : public ::testing::Test {
 protected:
  void SetUp() override {
    runOptions().headless = true;
    setSaveRoot("");
    setActiveLanguage(0);
    closeArchives();
  }
  void TearDown() override { closeArchives(); }
  static std::string load(const char* path) {
    std::string out;
    return loadFileS(path, out) ? out : std::string("<failed>");
  }
  test::TempDir dir;
};

TEST_F(Archives, StopAtTheFirstMissingNumberAndLaterArchivesWin) {
  test::writeFile("arc0.dat", buildArchive({{"bg/a.png", "zero-a"}, {"bg/b.png", "zero-b"}}, false));
  test::writeFile("arc2.dat", buildArchive({{"bg/a.png", "two-a"}}, false));
  openArchives();
  EXPECT_EQ(load("bg/a.png"), "zero-a");  // arc2 is never read: arc1 is missing
  closeArchives();
  test::writeFile("arc1.dat", buildArchive({{"bg/c.png", "one-c"}}, true));
  openArchives();
  EXPECT_EQ(load("bg/a.png"), "two-a");
  EXPECT_EQ(load("bg/b.png"), "zero-b");
  EXPECT_EQ(load("bg/c.png"), "one-c");
}

TEST_F(Archives, ArchivedMembersShadowLooseFilesUnderTheirExactSpelling) {
  test::writeFile("arc0.dat", buildArchive({{"se/x.wav", "archived"}}, false));
  test::writeFile("se/x.wav", "loose");
  test::writeFile("se/y.wav", "loose-y");
  test::writeFile("SE/x.wav", "other case");
  openArchives();
  EXPECT_EQ(load("se/x.wav"), "archived");
  EXPECT_EQ(load("se/y.wav"), "loose-y");
  EXPECT_EQ(load("SE/x.wav"), "other case");
  EXPECT_TRUE(resourceExists("se/x.wav"));
  test::writeFile("arc1.dat", buildArchive({{"bg/only.png", "archived only"}}, false));
  closeArchives();
  openArchives();
  EXPECT_TRUE(resourceExists("bg/only.png"));
  EXPECT_FALSE(resourceExists("bg\\only.png"));  // keys are exact spellings
  EXPECT_FALSE(resourceExists("BG/only.png"));
  EXPECT_EQ(load("se\\y.wav"), "loose-y");  // a loose file's backslash separates folders
  EXPECT_FALSE(resourceExists("se"));  // a folder is not a resource
  uint32_t size = 0;
  uint64_t key = 1;
  std::FILE* f = openResource("se/y.wav", size, key);
  ASSERT_NE(f, nullptr);
  std::fclose(f);
  EXPECT_EQ(key, 0u);
  EXPECT_EQ(size, 7u);
}

TEST_F(Archives, MaskedMembersAreXoredInPathByteChunks) {
  // Size 10, path of 4 bytes: chunks of 2 bytes with path bytes 0, 1, 2.
  std::string data = "0123456789";
  std::string masked = data;
  unmaskMember(masked.data(), 10, "abcd");
  const std::string expect = {char('0' ^ 'a'), char('1' ^ 'a'), char('2' ^ 'b'), char('3' ^ 'b'),
                              char('4' ^ 'c'), char('5' ^ 'c'), '6', '7', '8', '9'};
  EXPECT_EQ(masked, expect);
  test::writeFile("arc0.dat", buildArchive({{"abcd", data}}, true));
  std::string raw = test::readFile("arc0.dat");
  EXPECT_NE(raw.find(expect), std::string::npos);  // stored masked
  openArchives();
  EXPECT_EQ(load("abcd"), data);
  char* buffer = nullptr;
  uint32_t size = 0, capacity = 0;
  ASSERT_TRUE(loadFile("abcd", buffer, size, capacity));
  EXPECT_EQ(std::string(buffer, size), data);
  EXPECT_EQ(capacity, 10u);
  std::free(buffer);
}

TEST_F(Archives, MissingResourcesAndDamagedArchivesAreReported) {
  EXPECT_EQ(load("none.png"), "<failed>");
  std::string log = test::readFile("Information.txt");
  EXPECT_EQ(log.rfind("none.png ", 0), 0u);
  EXPECT_NE(log.find("(loadFileS0)\n"), std::string::npos);
  char* buffer = nullptr;
  uint32_t size = 0, capacity = 0;
  EXPECT_FALSE(loadFile("none.png", buffer, size, capacity));
  EXPECT_NE(test::readFile("Information.txt").find("none.png:" + scriptName(crc64_hash("none.png")) + " "),
            std::string::npos);

  // A member whose size points past the end of the archive.
  std::string arc = buildArchive({{"big.bin", "12345678"}}, false);
  arc.resize(arc.size() - 4);
  test::writeFile("arc0.dat", arc);
  openArchives();
  EXPECT_EQ(load("big.bin"), "<failed>");
  EXPECT_NE(test::readFile("Information.txt").find(sj(" は不正なファイルです") + "(loadFileS1)"), std::string::npos);
  closeArchives();
  test::writeFile("arc0.dat", std::string("\x01\x02", 2));  // shorter than its count
  openArchives();
  EXPECT_NE(test::readFile("Information.txt").find("arc0.dat" + sj(" は不正なファイルです")), std::string::npos);
}

class DataFiles : public Archives {};

TEST_F(DataFiles, PackedAndRawRoundTrips) {
  std::string text(5000, 'x');
  text += "end";
  ASSERT_TRUE(writeDataFile("p.dat", true, text));
  ASSERT_TRUE(writeDataFile("r.dat", false, "raw"));
  EXPECT_LT(test::readFile("p.dat").size(), 100u);
  std::string back;
  ASSERT_TRUE(readDataFile("p.dat", true, back));
  EXPECT_EQ(back, text);
  ASSERT_TRUE(readDataFile("r.dat", false, back));
  EXPECT_EQ(back, "raw");
  size_t size = 0;
  ASSERT_TRUE(readDataFileShared("p.dat", true, size));
  EXPECT_EQ(size, text.size());
  EXPECT_EQ(fileMemory()[size], '\0');
  for (const auto& e : std::filesystem::directory_iterator("."))
    EXPECT_FALSE(isTemporaryName(e.path().filename().string())) << e.path();
}

TEST_F(DataFiles, RejectsEmptyOversizedAndTruncatedFiles) {
  std::string out;
  test::writeFile("empty.dat", "");
  EXPECT_FALSE(readDataFile("empty.dat", false, out));
  test::writeFile("big.dat", std::string(0x100001, 'a'));
  EXPECT_FALSE(readDataFile("big.dat", false, out));
  test::writeFile("limit.dat", std::string(0x100000, 'a'));
  EXPECT_TRUE(readDataFile("limit.dat", false, out));
  ASSERT_TRUE(writeDataFile("short.dat", true, std::string(3000, 'q')));
  std::string packed = test::readFile("short.dat");
  packed[0] = static_cast<char>(0xFF);  // claims more bytes than the stream holds
  test::writeFile("short.dat", packed);
  EXPECT_FALSE(readDataFile("short.dat", true, out));
  EXPECT_FALSE(readDataFile("missing.dat", true, out));
  std::string forged = test::readFile("short.dat");
  forged[3] = static_cast<char>(0x7F);  // claims two gigabytes: refused, not allocated
  test::writeFile("forged.dat", forged);
  EXPECT_FALSE(readDataFile("forged.dat", true, out));
  EXPECT_EQ(test::readFile("Information.txt"),
            "empty.dat" + sj(" は不正なファイルです") + "\n" + "big.dat" + sj(" は不正なファイルです") + "\n" +
                "short.dat" + sj(" の読み込みに失敗しました") + "\n" + "missing.dat " + std::strerror(ENOENT) + "\n" +
                "forged.dat" + sj(" の読み込みに失敗しました") + "\n");
}

TEST_F(DataFiles, AFailedWriteKeepsThePreviousFile) {
  ASSERT_TRUE(writeDataFile("keep.dat", false, "old"));
  setenv("VELMORA_FAIL_WRITING", "keep.dat", 1);  // the temporary cannot be created
  EXPECT_FALSE(writeDataFile("keep.dat", false, "new"));
  unsetenv("VELMORA_FAIL_WRITING");
  EXPECT_EQ(test::readFile("keep.dat"), "old");
  EXPECT_FALSE(writeDataFile("no/such/dir.dat", false, "x"));
}

TEST(Packer, IndexesOfTruncatedFilesAreRefused) {
  std::string arc = buildArchive({{"a", "1"}, {"b", "2"}}, false);
  std::vector<IndexRecord> index;
  EXPECT_TRUE(readIndex(arc, index));
  EXPECT_EQ(index.size(), 2u);
  EXPECT_FALSE(readIndex(arc.substr(0, 30), index));
  EXPECT_FALSE(readIndex("", index));
  std::string member;
  IndexRecord r = index[0];
  r.offset = 0xFFFFFFF0u;
  EXPECT_FALSE(extractMember(arc, r, "a", member));
}

// The unpacked size is checked before anything is allocated for it.
TEST(Packer, ScriptsClaimingMoreThanZlibCanGiveAreRefused) {
  const std::string file = buildScriptFile({{"script/0.txt", "print 1\n"}});
  std::vector<IndexRecord> index;
  ASSERT_TRUE(readIndex(file, index));
  IndexRecord r = index[0];
  std::string text;
  ASSERT_TRUE(unpackScript(file, r, text));
  EXPECT_EQ(text, "print 1\n");
  r.fourth = 0xFFFFFFFFu;
  EXPECT_FALSE(plausibleScriptEntry(r, file.size()));
  EXPECT_FALSE(unpackScript(file, r, text));
}

}  // namespace
}  // namespace velmora::resource
