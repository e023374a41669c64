#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>

#include "core/report.h"
#include "core/state.h"
#include "core/textconv.h"
#include "resource/packer.h"
#include "resource/script_names.h"
#include "script/loader.h"
#include "support/tempdir.h"

namespace velmora::script {
namespace {

LineArray lines(std::string_view text) {
  LineArray out;
  splitLinesInto(text, out);
  return out;
}

TEST(SplitLines, TheLastLineNeedsTwoBytesWithoutALineFeed) {
  EXPECT_EQ(lines("a\nbc"), (LineArray{"a", "bc"}));
  EXPECT_EQ(lines("a\nb"), (LineArray{"a"}));
  EXPECT_EQ(lines("a\n"), (LineArray{"a"}));
  EXPECT_EQ(lines("\n\nx\r\n"), (LineArray{"", "", "x\r"}));
  EXPECT_TRUE(lines("").empty());
  // A lead byte takes the line feed after it along as its second byte.
  EXPECT_EQ(lines("\x82\nab\ncd"), (LineArray{"\x82\nab", "cd"}));
}

class Labels : public ::testing::Test {
 protected:
  void SetUp() override {
    runOptions().headless = true;
    setSaveRoot("");
    releaseScriptTables();
  }
  void TearDown() override { releaseScriptTables(); }
  bool scan(ScriptKey key, std::string_view text, std::string* fatal = nullptr) {
    std::string f;
    bool ok = scanLabels(key, lines(text), blocks, &f);
    if (fatal) *fatal = f;
    return ok;
  }
  TextBlockTable blocks;
  test::TempDir dir;
};

TEST_F(Labels, NamesEndAtColonSlashSpaceOrTab) {
  ASSERT_TRUE(scan(1, "*start:goto *x\n*a b\n*c/d\n*e\tf\n" + utf8_to_sjis("*ラベル") + "\n*g.h@_9\r\n"));
  for (const char* label : {"*start", "*a", "*c", "*e", "*g.h@_9"}) EXPECT_TRUE(findLabel(label)) << label;
  EXPECT_EQ(findLabel(utf8_to_sjis("*ラベル"))->line, 4);
  EXPECT_EQ(findLabel("*a")->line, 1);
  EXPECT_EQ(findLabel("*a")->owner, 1u);
  EXPECT_FALSE(findLabel("*start:goto"));
  EXPECT_EQ(scriptDisplayName(1), "1");
}

TEST_F(Labels, InvalidCharactersAndDuplicatesAreFatal) {
  std::string fatal;
  EXPECT_FALSE(scan(40, "cal %a=1\n*a-b\n", &fatal));
  EXPECT_EQ(fatal, "18[2] *a-b" + sj(" ※ラベル名が不正です"));
  EXPECT_FALSE(scan(40, "*a(b", &fatal));
  ASSERT_TRUE(scan(1, "*same\n"));
  EXPECT_FALSE(scan(2, "\n*same:print 1\n", &fatal));
  EXPECT_EQ(fatal, "2[2] *same:print 1" + sj(" ※ラベルが重複しています"));
}

TEST_F(Labels, TextBlocksHideLabelsDirectlyUnderThem) {
  ASSERT_TRUE(scan(5, "cal %a=1\n" + utf8_to_sjis("「一行目」") + "\n*hidden\n\n*shown\n" + utf8_to_sjis("次") +
                          "\n" + utf8_to_sjis("続き") + "\n\n\n1 line\n"));
  EXPECT_FALSE(findLabel("*hidden"));
  EXPECT_TRUE(findLabel("*shown"));
  EXPECT_EQ(blocks, (TextBlockTable{{1, 0}, {5, 0}, {9, 0}}));
}

class ScriptFile : public Labels {
 protected:
  void pack(const std::vector<resource::PackedMember>& scripts) {
    test::writeFile("script.dat", resource::buildScriptFile(scripts));
  }
  std::string log() { return test::readFile("Information.txt"); }
};

TEST_F(ScriptFile, LoadsEveryScriptAndKeepsTheLaterOfTwoEntries) {
  pack({{"script/0.txt", "*start\nprint 1\n"}, {"script/a.txt", "*a\n\n" + utf8_to_sjis("本文") + "\n"}});
  ASSERT_TRUE(loadScriptIndex());
  EXPECT_EQ(indexSize(), 2u);
  EXPECT_TRUE(findLabel("*a"));
  ASSERT_NE(textBlocks(crc64_hash("script/a.txt")), nullptr);
  EXPECT_EQ(textBlocks(crc64_hash("script/a.txt"))->size(), 1u);
  LineArray slot;
  ASSERT_TRUE(loadScript(crc64_hash("script/0.txt"), slot));
  EXPECT_EQ(slot, (LineArray{"*start", "print 1"}));

  // Two entries with the same key: the later one's values count.
  std::string a = resource::buildScriptFile({{"script/0.txt", "first\n"}});
  std::string b = resource::buildScriptFile({{"script/0.txt", "*second\n"}});
  std::string both(4 + 50, '\0');
  uint32_t count = 2 ^ 0x5B3D91C4u;
  std::memcpy(both.data(), &count, 4);
  std::vector<resource::IndexRecord> ra, rb;
  resource::readIndex(a, ra);
  resource::readIndex(b, rb);
  std::string textA = a.substr(29), textB = b.substr(29);
  // Re-point both entries behind the two-entry index.
  auto entry = [&](const std::string& src, uint32_t newOffset) {
    std::string e = src.substr(4, 25);
    uint32_t key = static_cast<uint32_t>(crc64_hash("script/0.txt"));
    uint32_t v = newOffset ^ key;
    std::memcpy(e.data() + 9, &v, 4);
    return e;
  };
  both = both.substr(0, 4) + entry(a, 54) + entry(b, 54 + static_cast<uint32_t>(textA.size())) + textA + textB;
  releaseScriptTables();
  test::writeFile("script.dat", both);
  ASSERT_TRUE(loadScriptIndex());
  EXPECT_EQ(indexSize(), 1u);
  EXPECT_TRUE(findLabel("*second"));
}

TEST_F(ScriptFile, MasksWholeWordsOnlyAndLeavesTheTailAsStored) {
  std::string text = "*start\nprint \"masked\"\n";
  pack({{"script/0.txt", text}});
  std::string file = test::readFile("script.dat");
  std::vector<resource::IndexRecord> index;
  ASSERT_TRUE(resource::readIndex(file, index));
  uLongf room = compressBound(text.size());
  std::string z(room, '\0');
  compress(reinterpret_cast<Bytef*>(z.data()), &room, reinterpret_cast<const Bytef*>(text.data()), text.size());
  z.resize(room);
  ASSERT_EQ(index[0].size, z.size());
  size_t tail = z.size() % 4;
  ASSERT_NE(tail, 0u) << "pick a text whose packed size is not a multiple of 4";
  std::string stored = file.substr(index[0].offset, index[0].size);
  EXPECT_EQ(stored.substr(stored.size() - tail), z.substr(z.size() - tail));
  uint32_t w0, s0, mask = static_cast<uint32_t>(index[0].key) ^ titleKey();
  std::memcpy(&w0, z.data(), 4);
  std::memcpy(&s0, stored.data(), 4);
  EXPECT_EQ(s0, w0 ^ mask);
  ASSERT_TRUE(loadScriptIndex());
  LineArray slot;
  ASSERT_TRUE(loadScript(index[0].key, slot));
  EXPECT_EQ(slot.size(), 2u);
}

// Reports name a script by its file when script.dat carries the paths, by
// its hash when it does not or when the block after the members is damaged.
TEST_F(ScriptFile, ReportsNameScriptsByTheirFilesWhenTheFileCarriesThem) {
  const std::vector<resource::PackedMember> scripts = {{"script/0.txt", "*start\n"}, {"script/ch/one.txt", "print 1\n*a-b\n"}};
  const ScriptKey one = crc64_hash("script/ch/one.txt");
  std::string fatal;
  const std::string named = resource::buildScriptFile(scripts, true);
  test::writeFile("script.dat", named);
  EXPECT_FALSE(loadScriptIndex("script.dat", &fatal));
  EXPECT_EQ(fatal, "ch/one.txt[2] *a-b" + sj(" ※ラベル名が不正です"));
  EXPECT_EQ(scriptReportName(crc64_hash("script/0.txt")), "0.txt");
  EXPECT_EQ(scriptDisplayName(one), scriptName(one)) << "read marks stay keyed by the hash";

  const std::string plain = resource::buildScriptFile(scripts);
  ASSERT_EQ(named.substr(0, plain.size()), plain) << "older readers see the same index and members";
  const std::string tail = named.substr(plain.size());
  std::string longBlock = tail;
  longBlock[longBlock.size() - 10] = 0x7F;  // the block claims more than the file holds
  std::string unknownPath = plain;
  resource::appendScriptNames(unknownPath, {"script/gone.txt", "script/ch/one.txt"});
  const std::pair<std::string, std::string> cases[] = {
      {plain, scriptName(one)}, {plain + tail.substr(0, tail.size() - 1), scriptName(one)},
      {plain + longBlock, scriptName(one)}, {unknownPath, "ch/one.txt"}};
  for (const auto& [file, name] : cases) {
    releaseScriptTables();
    test::writeFile("script.dat", file);
    EXPECT_FALSE(loadScriptIndex("script.dat", &fatal));
    EXPECT_EQ(fatal, name + "[2] *a-b" + sj(" ※ラベル名が不正です"));
  }
}

TEST(ScriptNames, ABlockIsReadOnlyWhenEveryRecordFitsInIt) {
  std::string file(4, '\0');
  resource::appendScriptNames(file, {"script/a.txt", "script/b.txt"});
  EXPECT_EQ(resource::readScriptNames(file), (std::vector<std::string>{"script/a.txt", "script/b.txt"}));
  std::string zeroLength = std::string(4, '\0') + std::string("\0\0", 2) + std::string("\x02\0\0\0VLMNAMES", 12);
  std::string pastBlock = std::string(4, '\0') + std::string("\x09\0ab", 4) + std::string("\x04\0\0\0VLMNAMES", 12);
  for (const std::string& bad : {zeroLength, pastBlock, file.substr(1), file.substr(4)})
    EXPECT_TRUE(resource::readScriptNames(bad).empty()) << bad.size();
}

TEST_F(ScriptFile, DamagedFilesAreReportedNotReadPastTheirEnd) {
  EXPECT_FALSE(loadScriptIndex());
  EXPECT_EQ(log(), std::string("script.dat ") + std::strerror(ENOENT) + "\n");
  std::filesystem::remove("Information.txt");

  pack({{"script/0.txt", "print 1\n"}});
  std::string file = test::readFile("script.dat");
  test::writeFile("script.dat", file.substr(0, file.size() - 3));  // packed text cut short
  EXPECT_FALSE(loadScriptIndex());
  std::string count = file.substr(0, 4);
  count[1] ^= 0x10;  // a count far beyond the file
  test::writeFile("script.dat", count + file.substr(4));
  EXPECT_FALSE(loadScriptIndex());
  EXPECT_EQ(log(), "script.dat" + sj(" は不正なファイルです") + "\nscript.dat" + sj(" は不正なファイルです") + "\n");

  std::filesystem::remove("Information.txt");
  file[30] ^= 0x55;  // corrupt the zlib stream
  test::writeFile("script.dat", file);
  EXPECT_FALSE(loadScriptIndex());
  EXPECT_EQ(log(), scriptName(crc64_hash("script/0.txt")) + sj(": スクリプトの読み込みに失敗しました") + "\n");

  // An unpacked size no zlib stream of the packed size can reach is damage,
  // not a request for gigabytes.
  std::filesystem::remove("Information.txt");
  file[30] ^= 0x55;
  const uint32_t huge = 0xFFFFFFF0u ^ static_cast<uint32_t>(crc64_hash("script/0.txt"));
  std::memcpy(&file[4 + 17], &huge, 4);
  test::writeFile("script.dat", file);
  EXPECT_FALSE(loadScriptIndex());
  EXPECT_EQ(log(), "script.dat" + sj(" は不正なファイルです") + "\n");

  std::filesystem::remove("Information.txt");
  LineArray slot;
  EXPECT_FALSE(loadScript(12345, slot));
  EXPECT_EQ(log(), scriptName(12345) + sj(": スクリプトファイルハッシュが不正です") + "\n");
}

}  // namespace
}  // namespace velmora::script
