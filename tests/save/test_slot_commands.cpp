// What a save screen asks about slot files, and screenshots, as the script
// commands answer.
#include <sys/stat.h>

#include <filesystem>
#include <regex>

#include "script/modes.h"
#include "game_fixture.h"
#include "image/image.h"

namespace velmora::save::test_support {
namespace {

using SlotCommands = GameTest;

std::string text(const char* variable) { return sjis_to_utf8(*script::stringReference(variable)); }

// Sets a file's modification time (seconds since the epoch).
void touch(const std::string& path, time_t seconds) {
  std::filesystem::last_write_time(
      path, std::filesystem::file_time_type::clock::from_sys(std::chrono::system_clock::from_time_t(seconds)));
}

TEST_F(SlotCommands, ExistDeleteTimeAndNewest) {
  run("string", "s");
  run("getSaveNew", "0, 99, 1, %r");
  EXPECT_EQ(var("%r"), -1);
  run("sp", "10, \"a.png\", 0, 1");
  for (int slot : {4, 9, 12}) run("saveSave", std::to_string(slot) + ", 1");
  touch("save/save004.dat", 1700000000);
  touch("save/save009.dat", 1700000500);
  touch("save/save012.dat", 1700000500);  // as new as 9: the lower slot wins
  run("getSaveNew", "0, 99, 1, %r");
  EXPECT_EQ(var("%r"), 9);
  run("getSaveNew", "10, 20, 1, %r");
  EXPECT_EQ(var("%r"), 12);
  run("existSave", "4, 1, %r");
  EXPECT_EQ(var("%r"), 1);
  run("existSave", "4, 0, %r");
  EXPECT_EQ(var("%r"), 0);
  run("getSaveTime", "4, 1, $s");
  EXPECT_TRUE(std::regex_match(text("$s"), std::regex(R"(\d{4}/\d\d/\d\d \d\d:\d\d:\d\d)"))) << text("$s");
  run("deleteSave", "4, 1, %r");
  EXPECT_NE(var("%r"), 0);
  run("deleteSave", "4, 1, %r");
  EXPECT_EQ(var("%r"), 0);
  run("existSave", "4, 1, %r");
  EXPECT_EQ(var("%r"), 0);
}

TEST_F(SlotCommands, TheCommentUpToItsFirstComma) {
  run("string", "s");
  run("setSaveText", utf8_to_sjis("\"第一章, 朝\""));
  run("getSaveText", "$s");
  EXPECT_EQ(text("$s"), "第一章, 朝");
  run("saveSave", "1, 0");
  run("loadSaveText", "1, 0, $s");
  EXPECT_EQ(text("$s"), "第一章");
  velmora::test::writeFile("save/save002.txt", "File=0,1\n");
  run("loadSaveText", "2, 0, $s");
  EXPECT_NE(takeLog().find("コメントがありません"), std::string::npos);
  EXPECT_EQ(text("$s"), "第一章");
}

TEST_F(SlotCommands, AFolderThatCannotBeMadeWritesNothing) {
  velmora::test::writeFile("save", "a file where the folder should be");
  run("saveSave", "1, 0");
  EXPECT_NE(takeLog().find("save/ フォルダを作成出来ませんでした"), std::string::npos);
}

TEST_F(SlotCommands, AFileTheReaderWouldRefuseIsNotWritten) {
  run("saveSave", "1, 0");
  const std::string before = velmora::test::readFile("save/save001.txt");
  setSaveComment(std::string(1100000, 'x'));
  run("saveSave", "1, 0");
  EXPECT_NE(takeLog().find("save/save001.txt の保存に失敗しました"), std::string::npos);
  EXPECT_EQ(velmora::test::readFile("save/save001.txt"), before);
  run("saveSave", "1, 1");  // packed, it fits
  EXPECT_TRUE(std::filesystem::exists("save/save001.dat"));
}

TEST_F(SlotCommands, SaveSaveTakesASnapshotWhenNoneIsHeld) {
  run("sp", "10, \"a.png\", 0, 1");
  run("sp_x", "10, 33");
  run("saveSave", "1, 0");
  EXPECT_NE(velmora::test::readFile("save/save001.txt").find("Image10=a.png"), std::string::npos);
  // The snapshot held is written as it is, later changes or not.
  run("sp_x", "10, 44");
  run("saveSave", "2, 0");
  EXPECT_NE(velmora::test::readFile("save/save002.txt").find(",33,300,"), std::string::npos);
  run("clearSave", "");
  run("saveSave", "3, 0");
  EXPECT_NE(velmora::test::readFile("save/save003.txt").find(",44,300,"), std::string::npos);
}

TEST_F(SlotCommands, InJumpModeTheScreenshotIsComposedFromThePictures) {
  sprite::setScreenFacts({32, 24, 1.0f, 1.0f});
  run("sp", "900, \"bg.png\", 0, 1");
  run("sp", "10, \"a.png\", 0, 1");
  run("sp_xy", "10, 8, 4");
  run("sp_cxy", "10, 0, 0");
  run("sp", "11, \"a.png\", 1, 1");  // window layer: left out
  sprite::commitAll();
  script::readingModes().jump = 1;
  run("setScreenShot", "32, 24");
  script::readingModes().jump = 0;
  const image::Image* shot = screenShot();
  ASSERT_NE(shot, nullptr);
  ASSERT_EQ(shot->width, 32);
  // bg.png at the centre covers it all; a.png from (8, 4) with its own pixels.
  EXPECT_EQ(shot->pixels[0] & 0xFFFFFF, 0x010000u);
  EXPECT_EQ(shot->pixels[5 * 32 + 9] & 0xFFFFFF, 0x020101u);
  EXPECT_EQ(shot->pixels[20 * 32 + 30] & 0xFFFFFF, 0x01141Eu);
  EXPECT_EQ(shot->pixels[14 * 32 + 20] & 0xFFFFFF, 0x010E14u);
  run("setScreenShot", "16, 12");
  EXPECT_EQ(screenShot()->width, 16);
  run("saveScreenShot", "\"shot.png\", 1, 24, 12, 0");
  EXPECT_NE(takeLog().find("対応していない圧縮値です"), std::string::npos);
  struct stat st;
  EXPECT_EQ(stat("shot.png", &st), 0);
}

}  // namespace
}  // namespace velmora::save::test_support
