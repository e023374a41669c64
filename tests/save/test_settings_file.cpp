#include <zlib.h>

#include <cstring>
#include <filesystem>

#include "platform/platform.h"
#include "platform/vclock.h"
#include "resource/resource.h"
#include "save/player_file.h"
#include "save/save_fixture.h"

namespace velmora::save {
namespace {

using test_support::SaveTest;

using SettingsFile = SaveTest;

// A value for every key that differs from its default and survives the file
// form, which keeps sound volumes as percentages and mutes as switches.
int32_t distinctValue(size_t i, SettingForm form, std::string_view name) {
  if (name.ends_with("Mute")) return 0;
  if (name.ends_with("Volume") || name.ends_with("Max") || name.ends_with("Min")) return 7 + int32_t(i % 5);
  switch (form) {
    case SettingForm::Megabytes: return static_cast<int32_t>(i + 1) << 20;
    case SettingForm::LowBit: return 1;
    case SettingForm::Colour: return 0xA0B0C0 + static_cast<int32_t>(i);
    default: return 1000 + static_cast<int32_t>(i) * 7 - (i % 3 == 0 ? 5000 : 0);
  }
}

TEST_F(SettingsFile, EveryKeyAndListSurvivesAWriteAndARead) {
  for (size_t i = 0; i < kSettingKeyCount; ++i) {
    auto key = static_cast<SettingKey>(i);
    const auto& info = settingInfo(key);
    if (info.form == SettingForm::Text) settingText(key) = std::string("text") + info.name + sj("テキスト");
    else setting(key) = distinctValue(i, info.form, info.name);
  }
  setSaveProtect(0, 1);
  setSaveProtect(99, 1);
  script::cmd_int("s_count=-42, s_TotalTime=0, other=5");
  script::cmd_string(utf8_to_sjis("s_name='名前', s_empty=''").c_str());
  ASSERT_TRUE(writeSettingsFile());
  const std::string written = settingKeyLines();

  resetSettings();
  resetSaveProtect();
  script::resetVariables();
  ASSERT_TRUE(readSettingsFile(""));
  EXPECT_EQ(settingKeyLines(), written);
  EXPECT_EQ(saveProtect(0), 1);
  EXPECT_EQ(saveProtect(1), 0);
  EXPECT_EQ(saveProtect(99), 1);
  EXPECT_EQ(num("s_count"), -42);
  EXPECT_EQ(num("other"), -999);  // only system variables are kept
  EXPECT_EQ(str("s_name"), "名前");
  EXPECT_EQ(str("s_empty"), "");
  EXPECT_EQ(currentText().textSpeed, setting(SettingKey::TextSpeed));
}

TEST_F(SettingsFile, TheTextEndsWithTheThreeLists) {
  setSaveProtect(2, 1);
  script::cmd_int("s_a=3");
  script::cmd_string("s_b='x'");
  std::string text = buildSettingsText();
  std::string protect = "saveProtect=0,0,1,";
  for (int i = 3; i < 100; ++i) protect += "0,";
  EXPECT_NE(text.find("\r\nWallPaper = \r\nGamepad = 1\r\nTextStream = \r\nSharpText = 1\r\nSelfVoicing = 0\r\nLanguage = \r\n" + protect + "\r\nInteger=s_a=3,\r\nString=s_b='x',\r\n"),
            std::string::npos);
}

TEST_F(SettingsFile, PathsAreWrittenWithForwardSlashes) {
  settingText(SettingKey::CursorFile) = "cur\\arrow.cur";
  settingText(SettingKey::WallPaper) = sj("壁\\紙");  // the trail byte of 壁 is not a separator
  std::string text = buildSettingsText();
  EXPECT_NE(text.find("\r\nCursorFile = cur/arrow.cur\r\n"), std::string::npos);
  EXPECT_NE(text.find("\r\nWallPaper = " + sj("壁/紙") + "\r\n"), std::string::npos);
}

TEST_F(SettingsFile, ACommaInASystemStringCutsItOnReading) {
  script::cmd_string("s_t='a,b'");
  ASSERT_TRUE(writeSettingsFile());
  script::resetVariables();
  ASSERT_TRUE(readSettingsFile(""));
  EXPECT_EQ(str("s_t"), "a");
}

TEST_F(SettingsFile, EachWriteAddsTheWholeTimeSinceStartUp) {
  platform::setVirtualClock(true);
  setPlayStartTime(platform::nowMs());
  script::cmd_int("s_TotalTime=1000");
  platform::advanceVirtualClock(500);
  ASSERT_TRUE(writeSettingsFile());
  EXPECT_EQ(num("s_TotalTime"), 1500);
  ASSERT_TRUE(writeSettingsFile());
  EXPECT_EQ(num("s_TotalTime"), 2000);
  script::cmd_int("s_TotalTime=2147483600");
  ASSERT_TRUE(writeSettingsFile());
  EXPECT_EQ(num("s_TotalTime"), 360000000);  // past the 32-bit range: 100 hours
  platform::setVirtualClock(false);
}

TEST_F(SettingsFile, AMissingFileGivesFirstRunDefaults) {
  EXPECT_FALSE(readSettingsFile(""));
  EXPECT_EQ(setting(SettingKey::Interpolation), 2);
  EXPECT_EQ(num("s_TotalTime"), 0);
  EXPECT_EQ(takeLog(), "");
}

std::string packedWithLength(uint32_t length, const std::string& text) {
  std::string out(4, '\0');
  std::memcpy(out.data(), &length, 4);
  uLongf room = compressBound(text.size());
  std::string packed(room, '\0');
  compress2(reinterpret_cast<Bytef*>(packed.data()), &room, reinterpret_cast<const Bytef*>(text.data()), text.size(), 9);
  return out + packed.substr(0, room);
}

TEST_F(SettingsFile, BrokenFilesAreReportedAndChangeNothing) {
  const std::string path = "save/setting.dat";
  struct Case {
    std::string bytes;
    std::string message;
  } cases[] = {
      {"", " は不正なファイルです"},
      {std::string(0x100001, 'x'), " は不正なファイルです"},
      {"ab", " の読み込みに失敗しました"},
      {std::string("\x10\0\0\0garbage!", 11), " の読み込みに失敗しました"},
      {packedWithLength(0xFFFFFFF0u, "TextSpeed = 35"), " のメモリを確保出来ませんでした"},
      {packedWithLength(100000, "TextSpeed = 35"), " の読み込みに失敗しました"},
      {packedWithLength(40, "TextSpeed = 35"), " の読み込みに失敗しました"},
  };
  const std::string aside = path + " を読めなかったため " + path + ".bad に移しました。設定は初期値で始まります\n";
  for (const Case& c : cases) {
    test::writeFile(path, c.bytes);
    EXPECT_FALSE(readSettingsFile(""));
    EXPECT_EQ(takeLog(), path + c.message + "\n" + aside) << c.bytes.size();
    EXPECT_EQ(setting(SettingKey::TextSpeed), 20);
    // Set aside, the newest refused file only.
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_EQ(test::readFile(path + ".bad"), c.bytes);
  }
  test::writeFile(path, packedWithLength(14, "TextSpeed = 35"));
  EXPECT_TRUE(readSettingsFile(""));
  EXPECT_EQ(setting(SettingKey::TextSpeed), 35);
}

TEST_F(SettingsFile, AFailedWriteKeepsThePreviousFile) {
  setting(SettingKey::TextSpeed) = 35;
  ASSERT_TRUE(writeSettingsFile());
  const std::string before = test::readFile("save/setting.dat");
  setenv("VELMORA_FAIL_WRITING", "save/setting.dat", 1);  // the temporary file cannot be made
  setting(SettingKey::TextSpeed) = 99;
  EXPECT_FALSE(writeSettingsFile());
  unsetenv("VELMORA_FAIL_WRITING");
  EXPECT_NE(takeLog().find("save/setting.dat "), std::string::npos);
  EXPECT_EQ(test::readFile("save/setting.dat"), before);
}

// The player's flags and system variables stay in the refused file; what
// this run writes goes beside it, and never over one that could not be moved.
TEST_F(SettingsFile, ARefusedFileIsNeverOverwritten) {
  setSaveProtect(7, 1);
  script::cmd_int("s_cleared=3");
  ASSERT_TRUE(writeSettingsFile());
  std::string damaged = test::readFile("save/setting.dat");
  damaged.pop_back();
  test::writeFile("save/setting.dat", damaged);
  resetSaveProtect();
  script::resetVariables();
  EXPECT_FALSE(readSettingsFile(""));
  EXPECT_EQ(saveProtect(7), 0);
  ASSERT_TRUE(writeSettingsFile());
  EXPECT_EQ(test::readFile("save/setting.dat.bad"), damaged);
  EXPECT_NE(test::readFile("save/setting.dat"), damaged);
  takeLog();

  std::filesystem::remove("save/setting.dat.bad");
  test::writeFile("save/setting.dat.bad/keep", "a folder in the way");
  test::writeFile("save/setting.dat", damaged);
  EXPECT_FALSE(readSettingsFile(""));
  EXPECT_NE(takeLog().find("save/setting.dat を読めず、移すことも出来なかったため、この実行では設定を保存しません"),
            std::string::npos);
  EXPECT_FALSE(writeSettingsFile());
  EXPECT_EQ(test::readFile("save/setting.dat"), damaged);
}

TEST_F(SettingsFile, AFolderThatCannotBeMadeStopsTheWrite) {
  test::writeFile("blocked", "a file where the save root should be");
  setSaveRoot("blocked/");
  EXPECT_FALSE(writeSettingsFile());
  setSaveRoot("");
  EXPECT_FALSE(std::filesystem::exists("save"));
}

TEST_F(SettingsFile, ProtectionFlagsMissingFromAShortListReadAsZero) {
  setSaveProtect(50, 1);
  std::filesystem::create_directory("save");
  std::string text = settingKeyLines() + "saveProtect=1,0,1\r\n";
  ASSERT_TRUE(resource::writeDataFile("save/setting.dat", true, text));
  ASSERT_TRUE(readSettingsFile(""));
  EXPECT_EQ(saveProtect(0), 1);
  EXPECT_EQ(saveProtect(2), 1);
  EXPECT_EQ(saveProtect(50), 0);
  EXPECT_EQ(saveProtect(100), 0);
  EXPECT_EQ(saveProtect(-1), 0);
}

// A game that loads no settings file keeps the player's own keys in a file
// of theirs: never the game's keys, rewritten only when one changed, and a
// file too long to be the engine's is passed over.
TEST_F(SettingsFile, ThePlayersOwnKeysAreKeptForAGameWithoutASettingsFile) {
  std::filesystem::create_directories("save");
  test::writeFile("save/player.txt", "SelfVoicing = 1\r\nFullScreen = 1\r\nLanguage = en\r\n");
  readPlayerSettings();
  EXPECT_EQ(setting(SettingKey::SelfVoicing), 1);
  EXPECT_EQ(settingText(SettingKey::Language), "en");
  EXPECT_EQ(setting(SettingKey::FullScreen), 0);

  test::writeFile("save/player.txt", "as the player left it");
  writePlayerSettingsAtExit();
  EXPECT_EQ(test::readFile("save/player.txt"), "as the player left it");
  setting(SettingKey::Gamepad) = 0;
  setting(SettingKey::FullScreen) = 1;
  writePlayerSettingsAtExit();
  const std::string written = test::readFile("save/player.txt");
  EXPECT_EQ(written, settingKeyLines(kFirstEngineKey));
  EXPECT_TRUE(written.starts_with("Gamepad = 0\r\n") && written.find("FullScreen") == std::string::npos) << written;

  test::writeFile("save/player.txt", "SelfVoicing = 0\r\n" + std::string(5000, ' '));
  readPlayerSettings();
  EXPECT_EQ(setting(SettingKey::SelfVoicing), 1);
}

}  // namespace
}  // namespace velmora::save
