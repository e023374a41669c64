// Unicode games on the message grid: the break rules, word wrap, CJK kept on
// the Shift_JIS grid, fallback faces, ruby over Latin, and one page against
// its golden picture.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>

#include "base/encoding.h"
#include "image/image.h"
#include "support/pictures.h"
#include "text/fonts.h"
#include "text/linebreak.h"
#include "text_fixture.h"

namespace velmora::text::test {
namespace {

class UnicodeLayout : public MessageTest {
 protected:
  void SetUp() override {
    MessageTest::SetUp();
    setGameEncoding(GameEncoding::Utf8);
    window().main.SetFont(sj("ＭＳ Ｐゴシック"), 24, kAntiAlias);
    window().ruby.SetFont(sj("ＭＳ Ｐゴシック"), 12, kAntiAlias);
  }
  void TearDown() override {
    setGameEncoding(GameEncoding::ShiftJis);
    MessageTest::TearDown();
  }
  void showUtf8(const std::string& text) {
    text_ = text;
    showTextLine(text_, 0, 0, 0);
  }
  // The main glyphs row by row, as text.
  std::vector<std::string> rows() const {
    std::map<int, std::string> byY;
    const CString& m = window().main;
    const std::string shown = shownText();
    for (size_t k = 0, i = 0; int(k) < m.laidOut && i < shown.size(); ++k) {
      const size_t n = utf8CharLength(shown, i);
      byY[m.slots()[k].y] += shown.substr(i, n);
      i += n;
    }
    std::vector<std::string> out;
    for (const auto& [y, text] : byY) out.push_back(text);
    return out;
  }
  int rightEdge() const { return (window().layout.columns + 1) * characterPitch(); }
  std::string text_;
};

TEST(LineBreaks, SpacesHyphensAndIdeographsOpenABreakButClosingPunctuationNeverStartsARow) {
  EXPECT_TRUE(breakAllowed(U' ', U'w'));
  EXPECT_FALSE(breakAllowed(U'o', U' '));   // spaces hang at the row end
  EXPECT_FALSE(breakAllowed(U'o', U'r'));   // inside a word
  EXPECT_TRUE(breakAllowed(U'-', U'k'));    // well-|known
  EXPECT_FALSE(breakAllowed(U'-', U'5'));   // a minus sign
  EXPECT_TRUE(breakAllowed(U'日', U'本'));  // between ideographs
  EXPECT_TRUE(breakAllowed(U'a', U'日'));
  EXPECT_TRUE(breakAllowed(U'日', U'a'));
  EXPECT_FALSE(breakAllowed(U'日', U'。'));
  EXPECT_FALSE(breakAllowed(U'a', U')'));
  EXPECT_FALSE(breakAllowed(U'「', U'日'));
  EXPECT_FALSE(breakAllowed(U'(', U'a'));
  EXPECT_FALSE(breakAllowed(U'カ', U'ー'));  // prolonged sound mark
  EXPECT_FALSE(breakAllowed(U'\u00A0', U'w'));
  EXPECT_FALSE(breakAllowed(0, U'w'));
  EXPECT_TRUE(isGridCharacter(U'한') && isGridCharacter(U'，') && !isGridCharacter(U'é'));
}

TEST_F(UnicodeLayout, WordsWrapWholeAndNoRowStartsWithClosingPunctuation) {
  window().layout.columns = 8;
  const std::string text = "The chalk dust (so fine) settled, state-of-the-art, on every desk.";
  showUtf8(text);
  const std::vector<std::string> r = rows();
  ASSERT_GE(r.size(), 3u);
  std::string joined;
  for (size_t i = 0; i < r.size(); ++i) {
    joined += r[i];
    if (i + 1 < r.size()) {
      EXPECT_TRUE(r[i].back() == ' ' || r[i].back() == '-') << r[i];
    }
    EXPECT_EQ(std::string(",.)").find(r[i][0]), std::string::npos) << r[i];
  }
  EXPECT_EQ(joined, text);
  // Every glyph but the hanging spaces ends inside the row.
  const CString& m = window().main;
  for (int k = 0; k < m.laidOut; ++k)
    if (glyphUnicode(m.slots()[size_t(k)].code) != U' ') {
      EXPECT_LT(m.slots()[size_t(k)].x - window().layout.originX, rightEdge()) << k;
    }
}

TEST_F(UnicodeLayout, OnlyAWordLongerThanTheRowIsSplit) {
  window().layout.columns = 6;
  showUtf8("Go Pneumonoultramicroscopicsilicovolcanoconiosis now");
  const std::vector<std::string> r = rows();
  ASSERT_GE(r.size(), 3u);
  EXPECT_EQ(r[0], "Go ");
  EXPECT_EQ(r.back().substr(r.back().size() - 3), "now");
  for (size_t i = 1; i + 1 < r.size(); ++i) EXPECT_EQ(r[i].find(' '), std::string::npos) << r[i];
}

TEST_F(UnicodeLayout, JapaneseKeepsTheShiftJisGridHangingAndIndent) {
  const std::string text = "「" + repeat("あ", 20) + "、" + repeat("い", 25) + "。";
  window().flow.bracketIndent = 1;
  showUtf8(text);
  std::vector<std::pair<int, int>> unicodeCells;
  for (int k = 0; k < window().main.laidOut; ++k) unicodeCells.push_back(cell(k));
  setGameEncoding(GameEncoding::ShiftJis);
  resetMessageWindow();
  window().flow = MessageFlow{};
  window().flow.bracketIndent = 1;
  show(text.c_str());
  std::vector<std::pair<int, int>> sjisCells;
  for (int k = 0; k < window().main.laidOut; ++k) sjisCells.push_back(cell(k));
  EXPECT_EQ(unicodeCells, sjisCells);
}

TEST_F(UnicodeLayout, LatinRunsBetweenIdeographsAreProportionalAndBreakable) {
  showUtf8("iiii MMMM 漢字");
  const auto& s = window().main.slots();
  EXPECT_LT(s[1].x - s[0].x, s[6].x - s[5].x);  // i is narrower than M
  EXPECT_EQ(s[11].x - s[10].x, characterPitch());
}

TEST_F(UnicodeLayout, AFaceWithKerningPullsPairsTogether) {
  window().main.SetFont("DejaVu Sans", 24, kAntiAlias);
  showUtf8("AV AA");
  const auto& s = window().main.slots();
  EXPECT_LT(s[1].x - s[0].x, s[4].x - s[3].x);
}

TEST_F(UnicodeLayout, RubyOverALatinWordIsCentredOnIt) {
  showUtf8("A {Tokyo/とうきょう} night");
  const CString& m = window().main;
  const CString& r = window().ruby;
  ASSERT_EQ(r.laidOut, 5);
  const int baseMid = (m.slots()[2].x + m.slots()[7].x) / 2;
  const int readingMid = (r.slots()[0].x + r.slots()[4].x + 12) / 2;
  EXPECT_NEAR(readingMid, baseMid, 8);
  EXPECT_EQ(window().reveal.rubyBase.size(), 5u);
}

TEST_F(UnicodeLayout, AGlyphTheFaceLacksComesFromAFallbackFace) {
  std::vector<uint32_t> buf(64 * 64, 0);
  auto inked = [&](unsigned code) {
    std::fill(buf.begin(), buf.end(), 0);
    window().main.WriteGlyph(buf.data(), 64, 64, 64, 4, 4, code);
    return std::count_if(buf.begin(), buf.end(), [](uint32_t p) { return p >> 24; });
  };
  EXPECT_GT(inked(unicodeGlyph(U'ქ')), 20);  // Georgian: not in the Japanese face
  EXPECT_GT(inked(unicodeGlyph(U'ї')), 20);
  EXPECT_GT(window().main.advance(U'ქ'), 4.0f);
  // A character no installed face has is reported once, by its code point.
  testing::internal::CaptureStdout();
  EXPECT_GT(inked(unicodeGlyph(U'한')), 20);  // Hangul, from fonts-nanum
  inked(unicodeGlyph(U'\U0010FFFD'));
  window().main.advance(U'\U0010FFFD');
  const std::string reported = testing::internal::GetCapturedStdout();
  // Once, whatever error location a report carries after it.
  ASSERT_NE(reported.find("U+10FFFD"), std::string::npos) << reported;
  EXPECT_EQ(reported.find("U+10FFFD"), reported.rfind("U+10FFFD"));
  EXPECT_EQ(reported.find("U+D55C"), std::string::npos) << reported;
}

TEST_F(UnicodeLayout, StringPicturesMeasureByTheFontAndDrawRubyAndFallbacks) {
  CString& s = window().stringMain;
  CString& ruby = window().stringRuby;
  s.Create(sj("ＭＳ Ｐゴシック"), 20, kAntiAlias, 0, 0);
  ruby.Create(sj("ＭＳ Ｐゴシック"), 10, kAntiAlias, 0, 0);
  EXPECT_LT(s.StringWidth("iii"), s.StringWidth("MMM"));
  EXPECT_EQ(s.StringWidth("漢字"), 40);
  const int width = 200, height = 60;
  std::vector<uint32_t> buf(size_t(width * height));
  s.RenderStringRows(buf.data(), width, "{Tokyo/とうきょう}\x0Cქართ", buf.size() * 4, 0, 10, &ruby);
  auto ink = [&](int y0, int y1) {
    int n = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = 0; x < width; ++x) n += (buf[size_t(y * width + x)] >> 24) != 0;
    return n;
  };
  EXPECT_GT(ink(0, 10), 10);   // the reading
  EXPECT_GT(ink(12, 30), 50);  // Tokyo
  EXPECT_GT(ink(40, 60), 50);  // Georgian from a fallback face
}

// The page as the glyph writer draws it, laid over black at the slots' places.
void drawPage(image::Image* page, CString& object) {
  std::vector<uint32_t> layer(size_t(page->count), 0);
  for (int k = 0; k < object.laidOut; ++k) {
    const GlyphSlot& s = object.slots()[size_t(k)];
    object.WriteGlyph(layer.data(), page->width, page->width, page->height, s.x, s.y, s.code);
  }
  for (int i = 0; i < page->count; ++i) {
    const uint32_t a = layer[size_t(i)] >> 24;
    if (!a) continue;
    uint32_t out = 0xFF000000u;
    for (int sh = 0; sh <= 16; sh += 8) out |= (((layer[size_t(i)] >> sh) & 255) * a / 255) << sh;
    page->pixels[i] = std::max(page->pixels[i], out);
  }
}

TEST_F(UnicodeLayout, APageOfMixedScriptsMatchesItsGoldenPicture) {
  window().layout.columns = 14;
  window().layout.originY = 20;
  showUtf8("The chalk dust settled on the {Tokyo/とうきょう} desk; 先生は「静かに」と言った。");
  showUtf8("Fallback: ქართული, Հայերեն and ї — a well-known line.");
  image::Image* page = image::createImage(400, 260, 32);
  std::fill(page->pixels, page->pixels + page->count, 0xFF000000u);
  drawPage(page, window().main);
  drawPage(page, window().ruby);
  const std::string shot = (std::filesystem::temp_directory_path() / "velmora-unicode-page.png").string();
  ASSERT_EQ(image::saveImage(shot.c_str(), page, image::kSavePng, 24, 9, 0), 1);
  image::freeImage(page);
  const std::string golden = std::string(VELMORA_SOURCE_DIR) + "/tests/text/golden/unicode_page.png";
  if (std::getenv("VELMORA_UPDATE_GOLDEN"))
    std::filesystem::copy_file(shot, golden, std::filesystem::copy_options::overwrite_existing);
  EXPECT_EQ(velmora::test::comparePictures(golden, shot, 8, 4, "/tmp/velmora-unicode-diff.png"), "");
}

}  // namespace
}  // namespace velmora::text::test
