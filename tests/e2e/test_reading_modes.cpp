// The reading modes seen by a game through its event wait, with the player's
// keys and clicks sent as real window events by a scenario.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "support/engine.h"

namespace velmora {
namespace {

// A game whose *text_lb prints every event its wait reports and moves on at
// a click (or skip's click) or at auto mode's deadline.
const std::string kGameHead = R"(*start
int r, b, c, p, s
screen 320, 240, 320, 0
setMessXY 8, 8, 0
setMessWH 12, 3, 16, 16, 2, 10
setMessLine 0, 2
setMessCreate 200, 100
setMessSpeed 0, -1
sufMessGosub "*text_lb"
)";

const std::string kTextLb = R"(
*text_lb
formatMessDraw
setMessDraw %r
endMessDraw
*text_lb_wait
eventWait %b, %c, %p
draw
if (%b == 256) goto *text_lb_wait
print %b, " ", %c, " ", %p, "|"
if (%c == 1 && %p == 3) goto *text_lb_done
if (%b == 260) goto *text_lb_done
goto *text_lb_wait
*text_lb_done
sd_status 15, %s
print "state ", %s, "|"
clearMess2
return
)";

test::Run play(const std::string& pages, const std::string& scenario) {
  test::writeFile("src/script/0.txt", kGameHead + pages + "end\n" + kTextLb);
  test::writeFile("scenario.txt", scenario);
  if (test::runPack("scripts src game/script.dat").code != 0) return {};
  return test::runEngine("--virtual-clock --input scenario.txt game", "", 120);
}

TEST(ReadingModes, KeysAndClicksReachTheGameAsModeWords) {
  test::TempDir dir;
  const test::Run r = play("「一」\n\n「二」\n\n「三」[setAlreadyReadSkip 1]\n\n",
                           // Page 1: Tab on unread text starts nothing; Shift
                           // starts auto mode, a right click stops it.
                           "wait-text\nkey Tab\nkey Shift\nrclick 100 100\nclick 100 100\n"
                           // Page 2: auto mode moves on at its deadline.
                           "wait-text\nkey Shift\n"
                           // Page 3: Tab starts skip in place of auto; skip clicks.
                           "wait-text\nkey Tab\n");
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out,
            "-1 9 2|-1 9 3|-1 16 2|-1 16 3|257 0 1|-1 2 2|257 1 0|-1 1 2|-1 1 3|state 2|"
            "-1 16 2|-1 16 3|257 0 1|260 260 3|state 2|"
            "-1 9 2|-1 9 3|257 0 2|-1 1 3|state 2|");
}

// Seconds of silence as a canonical 44.1 kHz stereo WAVE file.
std::string silence(int seconds) {
  const uint32_t data = static_cast<uint32_t>(seconds) * 44100u * 4u;
  auto u32 = [](uint32_t v) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; };
  auto u16 = [](uint32_t v) { return std::string{char(v), char(v >> 8)}; };
  return "RIFF" + u32(36 + data) + "WAVEfmt " + u32(16) + u16(1) + u16(2) + u32(44100) + u32(44100 * 4) + u16(4) +
         u16(16) + "data" + u32(data) + std::string(data, '\0');
}

// The voice outlasts the page's deadline: with VoiceWait the page moves on
// only once the voice has ended, without it while the voice still plays.
TEST(ReadingModes, AutoModeWaitsForTheVoiceOnlyWithVoiceWait) {
  test::TempDir dir;
  test::writeFile("game/vo.wav", silence(4));
  const std::string page = "sd_create\nsd 15, \"vo.wav\", 0, 0, 100, 0, 1, 0\n「一」[setAuto 1]\n\n";
  test::Run r = play("setVoiceWait 1\n" + page, "");
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "257 0 1|260 260 3|state 2|");
  r = play("setVoiceWait 0\n" + page, "");
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "257 0 1|260 260 3|state 0|");
}

// Clicking on to the next page stops the voice only with VoiceCancel.
TEST(ReadingModes, ANewPageStopsTheVoiceOnlyWithVoiceCancel) {
  test::TempDir dir;
  test::writeFile("game/vo.wav", silence(4));
  const std::string pages = "sd_create\nsd 15, \"vo.wav\", 0, 0, 100, 0, 1, 0\n「一」\n\n「二」\n\n";
  const std::string clicks = "wait-text\nclick 100 100\nwait-text\nclick 100 100\n";
  test::Run r = play("setVoiceCancel 1\n" + pages, clicks);
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "-1 1 2|-1 1 3|state 0|-1 1 2|-1 1 3|state 2|");
  r = play("setVoiceCancel 0\n" + pages, clicks);
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "-1 1 2|-1 1 3|state 0|-1 1 2|-1 1 3|state 0|");
}

}  // namespace
}  // namespace velmora
