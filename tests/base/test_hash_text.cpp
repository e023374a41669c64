#include <gtest/gtest.h>

#include "base/encoding.h"
#include "base/hash.h"
#include "base/state.h"
#include "base/textconv.h"

namespace velmora {
namespace {

TEST(Hashes, MatchTheirPublishedCheckValues) {
  EXPECT_EQ(crc32_hash("123456789"), 0xCBF43926u);
  EXPECT_EQ(crc64_hash("123456789"), 0x62EC59E3F1A4F00Aull);
  EXPECT_EQ(crc32_hash(""), 0u);
  EXPECT_EQ(crc64_hash(""), 0ull);
  const char bytes[] = {'a', '\0', 'b'};
  EXPECT_NE(crc64_hash2(bytes, 3), crc64_hash("a"));  // byte ranges include NULs
}

TEST(GameText, StepsByTheGamesEncodingAndNeverPastTheEnd) {
  // Shift_JIS: a lead byte pairs with its trail unless the text ends there.
  EXPECT_EQ(charLength("\x82\xA0x", 0), 2u);
  EXPECT_EQ(charLength("\x82", 0), 1u);
  EXPECT_EQ(charAt("\x82\xA0", 0), U'\u3042');
  setGameEncoding(GameEncoding::Utf8);
  size_t n = 0;
  EXPECT_EQ(charAt("\xF0\x9F\x98\x80", 0, &n), U'\U0001F600');
  EXPECT_EQ(n, 4u);
  EXPECT_EQ(charAt("\xE3\x81", 0, &n), U'\uFFFD');  // cut sequence
  EXPECT_EQ(n, 1u);
  EXPECT_EQ(charAt("\xC0\xAF", 0), U'\uFFFD');      // overlong '/'
  EXPECT_EQ(charAt("\xED\xA0\x80", 0), U'\uFFFD');  // surrogate
  EXPECT_EQ(charLength("a\xC3\xA9", 1), 2u);
  setGameEncoding(GameEncoding::ShiftJis);
}

TEST(Hashes, PrintableNamesAreBase32WithoutLeadingZeros) {
  EXPECT_EQ(scriptName(0), "0");
  EXPECT_EQ(scriptName(31), "V");
  EXPECT_EQ(scriptName(32), "10");
  EXPECT_EQ(scriptName(~0ull), "FVVVVVVVVVVVV");
  for (uint64_t k : {uint64_t{0}, uint64_t{1}, uint64_t{12345678901234}, ~uint64_t{0}, crc64_hash("script/0.txt")}) {
    uint64_t back = 0;
    ASSERT_TRUE(parseScriptName(scriptName(k), back));
    EXPECT_EQ(back, k);
  }
  uint64_t k;
  EXPECT_FALSE(parseScriptName("W", k));
  EXPECT_FALSE(parseScriptName("", k));
  EXPECT_FALSE(parseScriptName("GVVVVVVVVVVVV", k));  // more than 64 bits
}

// The codes where code page 932 and plain Shift_JIS disagree.
TEST(Cp932, MapsTheMicrosoftVariantsBothWays) {
  struct { unsigned code; char16_t u; } cases[] = {
      {0x8160, 0xFF5E}, {0x815F, 0xFF3C}, {0x817C, 0xFF0D}, {0x8161, 0x2225}, {0x8191, 0xFFE0}};
  for (auto c : cases) {
    std::string sj{static_cast<char>(c.code >> 8), static_cast<char>(c.code & 0xFF)};
    EXPECT_EQ(sjis_to_utf16(sj), std::u16string(1, c.u)) << std::hex << c.code;
    EXPECT_EQ(utf16_to_sjis(std::u16string(1, c.u)), sj) << std::hex << c.code;
  }
}

TEST(Cp932, SingleBytesDuplicatesAndUnmappedCodes) {
  EXPECT_EQ(sjis_to_utf16("\xB1"), u"\uFF71");  // half-width katakana
  EXPECT_EQ(sjis_to_utf16("A\x5C~"), u"A\\~");   // ASCII stays ASCII
  EXPECT_EQ(sjis_to_utf16("\x85\x40"), std::u16string(1, u'\0'));  // unassigned
  EXPECT_EQ(sjis_to_utf16("\x82"), std::u16string(1, u'\0'));      // lone lead byte
  // NEC and IBM rows share code points; conversion back picks one code.
  EXPECT_EQ(sjis_to_utf16("\x87\x90"), u"\u2252");
  EXPECT_EQ(utf16_to_sjis(u"\u2252"), "\x81\xE0");
  EXPECT_EQ(utf16_to_sjis(u"\uFEFFA"), "A");
  EXPECT_EQ(utf16_to_sjis(u"\u00E4"), std::string(1, '\0'));
}

TEST(Cp932, Utf8PathsAgreeWithUtf16Paths) {
  const std::string utf8 = "開始スクリプト【名前】～";
  std::string s = utf8_to_sjis(utf8);
  EXPECT_EQ(sjis_to_utf8(s), utf8);
  EXPECT_EQ(utf16_to_utf8(utf8_to_utf16(utf8)), utf8);
  EXPECT_EQ(sjis_to_utf16(s), utf8_to_utf16(utf8));
  EXPECT_EQ(s.substr(0, 2), "\x8A\x4A");  // 開
  EXPECT_EQ(s.substr(s.size() - 2), "\x81\x60");
  EXPECT_EQ(utf8_to_utf16("\xF0\x9F\x98\x80"), std::u16string(1, u'\0'));  // outside the BMP
  const char* literal = "既読チェックミス ";
  EXPECT_EQ(sj(literal), "\x8A\xF9\x93\xC7\x83\x60\x83\x46\x83\x62\x83\x4E\x83\x7E\x83\x58 ");
  EXPECT_EQ(&sj(literal), &sj(literal));  // converted once
}

TEST(Cp932, StrictConversionNamesTheFirstBadCharacter) {
  std::string out;
  size_t bad = 99;
  EXPECT_TRUE(utf8_to_sjis_strict("\xEF\xBB\xBFok", out, bad));
  EXPECT_EQ(out, "ok");
  EXPECT_FALSE(utf8_to_sjis_strict("ab\xC3\xA4", out, bad));  // ä has no code
  EXPECT_EQ(bad, 2u);
  EXPECT_FALSE(utf8_to_sjis_strict("x\xFFy", out, bad));  // not UTF-8
  EXPECT_EQ(bad, 1u);
}

TEST(EngineInt, ReadsLikeTheFileReaderDoes) {
  EXPECT_EQ(readEngineInt("  -12", 5), -12);
  EXPECT_EQ(readEngineInt("+7", 2), 7);
  EXPECT_EQ(readEngineInt("12a", 3), 130);  // letters are digits 10-31
  EXPECT_EQ(readEngineInt("1z", 2), 10);    // past v a character counts 0
  EXPECT_EQ(readEngineInt("", 0), 0);
  EXPECT_EQ(readEngineInt("99\0 5", 5), 99);
}

}  // namespace
}  // namespace velmora

#include "platform/glide.h"

namespace velmora {
namespace {

TEST(CursorGlide, DurationFollowsTheDistanceAndIsNeverBelowTwoMs) {
  EXPECT_EQ(platform::glideDuration(0, 0, 0), 2u);    // (0 | 16) >> 3
  EXPECT_EQ(platform::glideDuration(1, 3, 4), 2u);    // (5 | 16) >> 3 = 21 >> 3
  EXPECT_EQ(platform::glideDuration(8, 300, 400), 502u);  // (4000 | 16) >> 3
  EXPECT_EQ(platform::glideDuration(2, 1, 1), 2u);    // floor(sqrt 2) = 1
}

}  // namespace
}  // namespace velmora
