// What the text objects report when their textures or arrays cannot be had:
// an atlas larger than any GL texture, a capacity larger than memory.
#include <climits>

#include "base/textconv.h"
#include "render/scene.h"
#include "text/cstring.h"

namespace velmora::text {
namespace {

class TextFailures : public render::test::Scene {
 protected:
  static std::string takeLog() {
    std::string s = sjis_to_utf8(velmora::test::readFile("Information.txt"));
    std::filesystem::remove("Information.txt");
    return s;
  }
};

TEST_F(TextFailures, AGlyphTextureThatCannotBeMadeIsReportedPerCharacter) {
  screen(640, 480);
  takeLog();
  CString s;
  // 512-pixel cells, 200 columns: an atlas wider than any driver allows.
  ASSERT_TRUE(s.Create(utf8_to_sjis("ＭＳ ゴシック"), 300, 0, 40000, 0));
  s.SetChar(0, 0, 0x82, 0xA0);
  std::string log = takeLog();
  EXPECT_NE(log.find("CreateTexture GL_INVALID_VALUE"), std::string::npos) << log;
  EXPECT_NE(log.find("SetChar LockRect GL_INVALID_VALUE"), std::string::npos) << log;
  EXPECT_FALSE(s.slots()[0].rasterized);
  s.RedrawChars();
  log = takeLog();
  EXPECT_NE(log.find("ReSetChar LockRect GL_INVALID_VALUE"), std::string::npos) << log;
  s.Reveal(1);
  s.Draw();  // nothing to draw, nothing to crash
}

TEST_F(TextFailures, InSixteenBitColourTheGlyphCellIsUploaded) {
  setting(SettingKey::ColorMode) = 1;
  screen(640, 480);
  takeLog();
  CString s;
  ASSERT_TRUE(s.Create(utf8_to_sjis("ＭＳ ゴシック"), 24, kShadow, 4, 1));
  s.SetChar(0, 0, 0x82, 0xA0);
  EXPECT_TRUE(s.slots()[0].rasterized);
  EXPECT_EQ(takeLog(), "");
}

#if defined(__SANITIZE_ADDRESS__)
#define VELMORA_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VELMORA_ASAN 1
#endif
#endif

TEST(TextArrays, ACapacityBeyondMemoryLeavesTheObjectUnusable) {
#if defined(VELMORA_ASAN)
  GTEST_SKIP() << "the sanitizer's allocator ends the process instead of failing";
#else
  velmora::test::TempDir dir;
  setSaveRoot("");
  CString s;
  EXPECT_FALSE(s.Create(utf8_to_sjis("ＭＳ ゴシック"), 24, 0, INT_MAX, 0));
  EXPECT_FALSE(s.usable());
  EXPECT_EQ(s.capacity(), 0);
  const std::string log = sjis_to_utf8(velmora::test::readFile("Information.txt"));
  EXPECT_NE(log.find("CString::Create pX ＭＳ ゴシック"), std::string::npos) << log;
  s.SetChar(0, 0, 0x82, 0xA0);  // beyond the capacity: not placed
  EXPECT_EQ(s.laidOut, 0);
#endif
}

}  // namespace
}  // namespace velmora::text
