#include <gtest/gtest.h>

#include <string>

#include "base/pump.h"
#include "base/settings.h"
#include "base/textconv.h"

namespace velmora {
namespace {

using K = SettingKey;

class Settings : public ::testing::Test {
 protected:
  void SetUp() override { resetSettings(); }
  void TearDown() override {
    for (size_t i = 0; i < kSettingKeyCount; ++i) setSettingEffect(static_cast<K>(i), nullptr);
    resetSettings();
  }
  static void apply(const std::string& text) { applySettingEntries(splitSettingEntries(text)); }
};

TEST_F(Settings, KeyLinesCarryEveryDefaultInItsFileForm) {
  std::string text = settingKeyLines();
  EXPECT_EQ(text.rfind("StartingSetUp = 1\r\nResolutionWindow = 1\r\n", 0), 0u);
  for (const char* line : {"\r\nMaxTextureSize = -1\r\n", "\r\nFontColor2 = 0xFFFFFF\r\nFontColor3 = 0x0\r\n",
                           "\r\nFadeVolDown = 250\r\nCursorFile = \r\nWallPaper = \r\nGamepad = 1\r\nTextStream = \r\nSharpText = 1\r\nSelfVoicing = 0\r\nLanguage = \r\n"})
    EXPECT_NE(text.find(line), std::string::npos) << line;
  EXPECT_NE(text.find("\r\nFontFile = " + sj("ＭＳ ゴシック") + "\r\n"), std::string::npos);
  EXPECT_EQ(setting(K::Interpolation), 0);
  applyFirstRunDefaults();
  EXPECT_EQ(setting(K::Interpolation), 2);
}

TEST_F(Settings, IntegerReaderCountsEveryCharacterAfterTheSign) {
  EXPECT_EQ(readSettingInt("  -12"), -12);
  EXPECT_EQ(readSettingInt("\t+7"), 7);
  EXPECT_EQ(readSettingInt("12a"), 130);  // letters count 10 and up
  EXPECT_EQ(readSettingInt("1v"), 41);    // v is 31, the last letter digit
  EXPECT_EQ(readSettingInt("1z"), 10);    // beyond v a letter counts 0
  EXPECT_EQ(readSettingInt("3 5"), 305);  // an inner blank is a 0 digit
  EXPECT_EQ(readSettingInt(""), 0);
  EXPECT_EQ(readSettingInt(std::string("9\0" "5", 3)), 9);
  EXPECT_EQ(readSettingInt("4294967297"), 1);  // wraps at 32 bits
  EXPECT_EQ(readSettingColour("0xff8000"), 0xFF8000);
  EXPECT_EQ(readSettingColour("0x  1F"), 0x1F);
  EXPECT_EQ(readSettingColour("0"), 0);
}

TEST_F(Settings, OnlyTextSpeedChangesTheSpeedAndTheCurrentSpeed) {
  const std::string defaults = settingKeyLines();
  apply("TextSpeed = 35");
  EXPECT_EQ(setting(K::TextSpeed), 35);
  EXPECT_EQ(currentText().textSpeed, 35);
  std::string expected = defaults;
  expected.replace(expected.find("TextSpeed = 20"), 14, "TextSpeed = 35");
  EXPECT_EQ(settingKeyLines(), expected);
}

TEST_F(Settings, ColoursReadAsHexAndWriteUpperCase) {
  apply("FontColor1 = 0xff8000\r\nFontColor3 = 0x0000ab\r\n");
  EXPECT_EQ(setting(K::FontColor1), 0xFF8000);
  EXPECT_EQ(currentText().fontColor[0], 0xFF8000);
  EXPECT_EQ(currentText().fontColor[2], 0xAB);
  EXPECT_NE(settingKeyLines().find("\r\nFontColor1 = 0xFF8000\r\n"), std::string::npos);
  EXPECT_NE(settingKeyLines().find("\r\nFontColor3 = 0xAB\r\n"), std::string::npos);
}

TEST_F(Settings, CacheSizeIsMegabytesInTheFileAndBytesInMemory) {
  apply("CacheMaxSize = 256");
  EXPECT_EQ(setting(K::CacheMaxSize), 268435456);
  EXPECT_NE(settingKeyLines().find("\r\nCacheMaxSize = 256\r\n"), std::string::npos);
  apply("CacheMaxSize = 4096");  // more than 32 bits of bytes: clamped, not wrapped to 0
  EXPECT_EQ(setting(K::CacheMaxSize), 2047 << 20);
  EXPECT_NE(settingKeyLines().find("\r\nCacheMaxSize = 2047\r\n"), std::string::npos);
}

// The sound gains multiply these: a hostile file must not overflow them.
TEST_F(Settings, VolumesReadAsPercentagesAndMutesAsSwitches) {
  apply("MasterVolume = -2147483648\r\nBgmVolume = 2147483647\r\nSeMin = 101\r\nVoVolume = 37\r\n"
        "MasterMute = 2147483647\r\nSeMute = 0\r\n");
  EXPECT_EQ(setting(K::MasterVolume), 0);
  EXPECT_EQ(setting(K::BgmVolume), 100);
  EXPECT_EQ(setting(K::SeMin), 100);
  EXPECT_EQ(setting(K::VoVolume), 37);
  EXPECT_EQ(setting(K::MasterMute), 1);
  EXPECT_EQ(setting(K::SeMute), 0);
}

TEST_F(Settings, FrameLimitBecomesAReducedFraction) {
  apply("LimitFPS = 60");
  EXPECT_EQ(frameInterval().numerator, 50);
  EXPECT_EQ(frameInterval().denominator, 3);
  apply("LimitFPS = 0");
  EXPECT_EQ(frameInterval().numerator, 0);
  apply("LimitFPS = -5");
  EXPECT_EQ(frameInterval().numerator, 0);
}

TEST_F(Settings, SystemActiveIsOredInAndOnlyBitZeroIsWritten) {
  setting(K::SystemActive) = 2;  // the window is active
  apply("SystemActive = 1");
  EXPECT_EQ(setting(K::SystemActive), 3);
  EXPECT_NE(settingKeyLines().find("\r\nSystemActive = 1\r\n"), std::string::npos);
  apply("SystemActive = 0");
  EXPECT_EQ(setting(K::SystemActive), 3);
}

TEST_F(Settings, EntriesSplitAtTheFirstEqualsOfEachLine) {
  SettingEntries e = splitSettingEntries(
      "A = 1\r\nstray line\r\nB = 2\r\nC=x,y,\r\nInteger=s_a=5,s_b=-2,\r\nD =\r\nA = 9");
  EXPECT_EQ(e.count("B"), 0u);  // the stray line joined it
  ASSERT_EQ(e.count("stray line\r\nB"), 1u);
  EXPECT_EQ(e["C"], (std::vector<std::string>{"x", "y", ""}));
  EXPECT_EQ(e["Integer"], (std::vector<std::string>{"s_a=5", "s_b=-2", ""}));
  EXPECT_EQ(e["D"], (std::vector<std::string>{""}));
  EXPECT_EQ(e["A"], (std::vector<std::string>{"9"}));  // a repeated key replaces
  // A double-byte key survives as one name.
  std::string key = sj("ＭＳ");
  e = splitSettingEntries(key + "=7");
  EXPECT_EQ(e[key], (std::vector<std::string>{"7"}));
}

TEST_F(Settings, LinesWithoutEqualsLoseTheKeyThatFollows) {
  apply("garbage\r\nTextSpeed = 35\r\nAutoWait = 700\r\n");
  EXPECT_EQ(setting(K::TextSpeed), 20);
  EXPECT_EQ(setting(K::AutoWait), 700);
  EXPECT_EQ(currentText().autoWait, 700);
  apply("FontFile = " + std::string(300, 'f'));
  EXPECT_EQ(currentText().fontFile, std::string(255, 'f'));  // texts keep 255 bytes
}

TEST_F(Settings, ConfirmationFlagsAreIndexedModulo16) {
  EXPECT_EQ(confirmFlag(15), 1);  // beyond the Confirm keys, in memory only
  confirmFlag(17) = 0;
  EXPECT_EQ(setting(K::ConfirmLoad), 0);
  EXPECT_EQ(confirmFlag(-15), 0);
}

std::vector<std::pair<K, SettingSource>> g_effects;
void recordEffect(K key, SettingSource source) { g_effects.emplace_back(key, source); }

TEST_F(Settings, EffectsRunForKeysReadAndForCommands) {
  g_effects.clear();
  setSettingEffect(K::ScreenAspect, recordEffect);
  setSettingEffect(K::CursorFile, recordEffect);
  apply("ScreenAspect = 1\r\nCursorFile = a.cur\r\nTextSpeed = 3\r\n");
  setting(K::ScreenAspect) = 0;
  settingChanged(K::ScreenAspect, SettingSource::Command);
  ASSERT_EQ(g_effects.size(), 3u);
  EXPECT_EQ(g_effects[0], std::make_pair(K::ScreenAspect, SettingSource::File));
  EXPECT_EQ(g_effects[1], std::make_pair(K::CursorFile, SettingSource::File));
  EXPECT_EQ(g_effects[2], std::make_pair(K::ScreenAspect, SettingSource::Command));
  apply("EffectCancel = 0");
  EXPECT_FALSE(waitSettings().effectCancel);
  setting(K::EffectCancel) = 1;
  settingChanged(K::EffectCancel, SettingSource::Command);
  EXPECT_TRUE(waitSettings().effectCancel);
}

}  // namespace
}  // namespace velmora
