// Damaged slot files: each is refused with one message before anything of the
// running game changes.
#include <zlib.h>

#include <cstring>

#include "game_fixture.h"
#include "resource/packer.h"
#include "save/location.h"

namespace velmora::save::test_support {
namespace {

size_t occurrences(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
  const size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

class Damaged : public GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    buildScene();
    positionInStory(5);
    setSaveComment("before the storm");
    ASSERT_TRUE(saveSlot(1, false));
    saved_ = velmora::test::readFile("save/save001.txt");
    disturb();
    sprite::motionFrameStep();
    running_ = state();
    takeLog();
  }

  // The game goes on as it was, with one report naming the file.
  void expectRefused(const std::string& bytes, const char* message = " は不正なファイルです") {
    velmora::test::writeFile("save/save001.txt", bytes);
    EXPECT_FALSE(loadSlot(1, false));
    EXPECT_EQ(state(), running_);
    EXPECT_EQ(script::registers().loadHook, 0);
    const std::string log = takeLog();
    EXPECT_EQ(occurrences(log, message), 1u) << log;
    EXPECT_EQ(occurrences(log, "ません"), 0u) << log;
  }

  std::string saved_, running_;
};

TEST_F(Damaged, TruncatedAtAnyLineBoundaryOrInsideALine) {
  for (size_t end = saved_.find('\n'); end + 1 < saved_.size(); end = saved_.find('\n', end + 1)) {
    SCOPED_TRACE(end);
    expectRefused(saved_.substr(0, end + 1));
  }
  expectRefused(saved_.substr(0, saved_.size() - 3));
}

TEST_F(Damaged, MissingFieldsAndGarbageNumbers) {
  expectRefused(replaced(saved_, "1,1,1,0,0,0,0, 0\nImageM20", "1,1,1,0,0,0, 0\nImageM20"));
  expectRefused(replaced(saved_, ",100,50,", ",1O0,50,"));
  expectRefused(replaced(saved_, "ImageX10_0=400,0,1,", "ImageX10_0=400,x,1,"));
  expectRefused(replaced(saved_, "ScQ=1, 0,3,", "ScQ=1, 0,"));
  expectRefused(replaced(saved_, "g_count=12,", "g_count=twelve,"));
  expectRefused(replaced(saved_, "String=g_who='", "String=g_who="));
  expectRefused(replaced(saved_, "Sound3=se.wav,3,", "Sound3=se.wav,,"));
  expectRefused(replaced(saved_, "File=", "File=lower case,"));
}

TEST_F(Damaged, AFileOfAnotherGameNamesScriptsThisOneLacks) {
  const std::string story = scriptName(crc64_hash(kStory));
  expectRefused(replaced(saved_, "File=" + story + ",5", "File=" + scriptName(crc64_hash("script/other.txt")) + ",5"));
  expectRefused(replaced(saved_, "File=" + story + ",5", "File=" + story + ",4000"));
}

TEST_F(Damaged, TheGameLineMustNameThisGame) {
  const size_t at = saved_.find("Game=");
  ASSERT_EQ(at, 0u);
  const std::string line = saved_.substr(0, saved_.find('\n') + 1);
  expectRefused(replaced(saved_, line, "Game=1\n"), " は不正なファイルです [Game]");
  expectRefused(replaced(saved_, line, "Game=x\n"));
  expectRefused(replaced(saved_, line, line.substr(0, line.size() - 1) + ",1\n"));
  // Files written before the line existed load as they always did.
  velmora::test::writeFile("save/save001.txt", replaced(saved_, line, ""));
  EXPECT_TRUE(loadSlot(1, false));
  EXPECT_EQ(takeLog(), "");
}

TEST_F(Damaged, HistoryBaseMustBeACount) {
  for (const char* base : {"-1", "x", ""}) {
    SCOPED_TRACE(base);
    expectRefused(replaced(saved_, "Comment=", std::string("HistoryBase=") + base + "\nComment="),
                  " は不正なファイルです [HistoryBase]");
  }
}

// Another game's save placed at a line of the start script, which both
// games have: only the game line tells them apart.
using AnotherGame = GameTest;

TEST_F(AnotherGame, ItsFileInTheStartScriptIsRefused) {
  script::registers().currentLine = 2;
  ASSERT_TRUE(saveSlot(1, false));
  const std::string file = velmora::test::readFile("save/save001.txt");
  ASSERT_NE(file.find("\nFile=0,2\n"), std::string::npos);
  script::releaseScriptTables();
  velmora::test::writeFile("script.dat", resource::buildScriptFile({{"script/0.txt", startScript()},
                                                                    {"script/other.txt", "print 1\n"}}));
  ASSERT_TRUE(script::loadScriptIndex());
  EXPECT_FALSE(loadSlot(1, false));
  EXPECT_NE(takeLog().find("save/save001.txt は不正なファイルです [Game]"), std::string::npos);
  velmora::test::writeFile("save/save001.txt", file.substr(file.find('\n') + 1));
  EXPECT_TRUE(loadSlot(1, false));
  // The same scripts under other names given to loadSetting: another game too.
  script::releaseScriptTables();
  velmora::test::writeFile("script.dat", resource::buildScriptFile({{"script/0.txt", startScript()},
                                                                    {kStory, storyScript()}}));
  ASSERT_TRUE(script::loadScriptIndex());
  velmora::test::writeFile("save/save001.txt", file);
  EXPECT_TRUE(loadSlot(1, false));
  velmora::test::writeFile("save.dat", "");
  loadSetting("Maker", "Other game");
  EXPECT_FALSE(loadSlot(1, false));
  EXPECT_NE(takeLog().find("[Game]"), std::string::npos);
  resetSaveLocation();
}

TEST_F(Damaged, APackedFileWithABrokenStream) {
  std::string packed(4, '\0');
  const uint32_t length = uint32_t(saved_.size());
  std::memcpy(packed.data(), &length, 4);
  uLongf room = compressBound(uLong(saved_.size()));
  std::string stream(room, '\0');
  compress2(reinterpret_cast<Bytef*>(stream.data()), &room, reinterpret_cast<const Bytef*>(saved_.data()),
            uLong(saved_.size()), 9);
  stream.resize(room);
  stream[stream.size() / 2] ^= 0x55;
  velmora::test::writeFile("save/save001.dat", packed + stream);
  EXPECT_FALSE(loadSlot(1, true));
  EXPECT_EQ(state(), running_);
  EXPECT_EQ(occurrences(takeLog(), "の読み込みに失敗しました"), 1u);
}

TEST_F(Damaged, ValuesOutOfRangeAreBoundedAndUnknownKeysIgnored) {
  std::string text = replaced(saved_, "1,1,1,5,0,0,0, 0\nImageF50", "1,1,1,4000,0,0,0, 0\nImageF50");
  text = replaced(text, "ImageX10_0=400,0,1, 100,300,1002,0", "ImageX10_0=400,0,1, 100,300,-5,99");
  text = replaced(text, ",16,8,100,50,", ",100000,8,100,50,");
  text = replaced(text, "Integer=", "Image1000=x\nImageX2000_0=1,2,3\nSound9=bgm.wav,0,0,0,0\nUnknown=1\nInteger=");
  velmora::test::writeFile("save/save001.txt", text);
  ASSERT_TRUE(loadSlot(1, false));
  EXPECT_EQ(takeLog(), "");
  EXPECT_EQ(sprite::frontSlot(6)->group, 999);
  EXPECT_EQ(sprite::savedKeys(10, 0, platform::nowMs())[0].duration, 2);
  EXPECT_EQ(sprite::savedKeys(10, 0, platform::nowMs())[0].easing, 0);
  EXPECT_EQ(audio::channelSnapshot(9).name, "");
  sprite::motionFrameStep();
}

TEST_F(Damaged, AMissingSlotIsNoErrorAndChangesNothing) {
  EXPECT_FALSE(loadSlot(7, false));
  EXPECT_EQ(state(), running_);
  EXPECT_EQ(takeLog(), "");
}

}  // namespace
}  // namespace velmora::save::test_support
