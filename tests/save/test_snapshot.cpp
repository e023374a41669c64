// Snapshots: the exact text of a known scene, and round trips through slot
// files and the history that bring the whole state back.
#include <filesystem>
#include <map>

#include "game_fixture.h"
#include "script/control.h"
#include "script/expression.h"
#include "script/interp.h"

namespace velmora::save::test_support {
namespace {

using Snapshot = GameTest;

std::string golden(const char* name) {
  return velmora::test::readFile(std::string(VELMORA_SOURCE_DIR) + "/tests/save/golden/" + name);
}

TEST_F(Snapshot, AKnownSceneIsWrittenLineByLine) {
  buildScene();
  positionInStory(5);
  makeSave();
  EXPECT_EQ(currentSnapshot(), golden("scene.txt"));
  // For review by hand after a change of format.
  if (currentSnapshot() != golden("scene.txt"))
    velmora::test::writeFile(std::string(VELMORA_BINARY_DIR) + "/scene.actual.txt", currentSnapshot());
}

TEST_F(Snapshot, ASlotFileBringsTheWholeStateBack) {
  for (bool binary : {false, true}) {
    SCOPED_TRACE(binary);
    buildScene();
    positionInStory(5);
    setSaveComment("day 1, morning");
    const std::string before = state();
    ASSERT_TRUE(saveSlot(3, binary));
    clearSave();
    disturb();
    ASSERT_NE(state(), before);
    ASSERT_TRUE(loadSlot(3, binary));
    // The first frame puts every moving property where its track says.
    sprite::motionFrameStep();
    EXPECT_EQ(state(), before);
    EXPECT_EQ(takeLog(), "");
    // The game continues in the story after *load_lb, at the line after 5.
    script::applyRequests();
    const script::Registers& r = script::registers();
    EXPECT_EQ(r.subScriptKey, crc64_hash(kStory));
    ASSERT_EQ(script::gosubFrames().size(), 1u);
    EXPECT_EQ(script::gosubFrames()[0].returnLine, 5);
    EXPECT_EQ(script::gosubFrames()[0].slot, 1);
    EXPECT_EQ(r.activeSlot, 0);  // running *load_lb in the start script
    script::clearControlState();
    script::registers() = script::Registers{};
    sprite::clearMotion();
    sprite::clearTable();
  }
}

TEST_F(Snapshot, MotionContinuesWhereItWasSaved) {
  buildScene();
  ASSERT_TRUE(saveSlot(0, false));
  disturb();
  ASSERT_TRUE(loadSlot(0, false));
  // Saved 400 ms into 100 -> 300 over 1002 ms: restored at the start value
  // with the key 400 ms under way.
  EXPECT_FLOAT_EQ(sprite::frontSlot(10)->x, 100.0f);
  sprite::motionFrameStep();
  EXPECT_NEAR(sprite::frontSlot(10)->x, 100.0f + 200.0f * 400 / 1002, 0.5f);
  advance(100);
  sprite::motionFrameStep();
  EXPECT_NEAR(sprite::frontSlot(10)->x, 100.0f + 200.0f * 500 / 1002, 0.5f);
  EXPECT_EQ(sprite::frontSlot(7), nullptr);  // loaded with flag 0x08
}

TEST_F(Snapshot, ALoadEndsAsAJumpDoes) {
  ASSERT_TRUE(saveSlot(0, false));
  script::readingModes().skip = script::readingModes().fast = 1;
  ASSERT_TRUE(loadSlot(0, false));
  EXPECT_EQ(script::readingModes().skip, 0);
  EXPECT_EQ(script::takeModeWord(), 65);
  EXPECT_EQ(text::window().windowVisible, 0);
  EXPECT_EQ(script::registers().loadHook, 1);
}

TEST_F(Snapshot, RestoredPicturesAreLoadedAgainWithTheirCutMaskAndEffects) {
  buildScene();
  ASSERT_TRUE(saveSlot(0, false));
  disturb();
  ASSERT_TRUE(loadSlot(0, false));
  const sprite::Slot* cut = sprite::frontSlot(30);
  ASSERT_NE(cut->picture, nullptr);
  EXPECT_EQ(cut->picture->width, 8);
  // bg.png pixel (4, 2) = seed 1, y 2, x 4, then negated.
  EXPECT_EQ(cut->picture->pixels[0] & 0xFFFFFF, ~uint32_t(0x010204) & 0xFFFFFF);
  const sprite::Slot* framed = sprite::frontSlot(20);
  ASSERT_NE(framed->picture, nullptr);
  EXPECT_EQ(framed->picture->width, 40);
  EXPECT_NE(framed->mask, nullptr);
  EXPECT_EQ(framed->maskVague, 8);
  EXPECT_TRUE(sprite::frontSlot(5)->renderTarget);
  EXPECT_EQ(sprite::drawOrder(5).begin()->second, 6);
}

TEST_F(Snapshot, AppendingPushesKeepEverySnapshotInTheSlotFile) {
  run("sp", "10, \"a.png\", 0, 1");
  for (int x : {10, 20, 30}) {
    run("sp_x", "10, " + std::to_string(x));
    clearSave();
    pushSave(true, "");
  }
  run("sp_x", "10, 40");
  clearSave();
  ASSERT_TRUE(saveSlot(2, false));
  const std::string file = velmora::test::readFile("save/save002.txt");
  size_t ticks = 0;
  for (size_t at = 0; (at = file.find("\n`\n", at)) != std::string::npos; ++at) ++ticks;
  EXPECT_EQ(ticks, 3u);
  EXPECT_EQ(snapshotHistoryCount(), 2);
  resetSaveSlots();
  ASSERT_TRUE(loadSlot(2, false));
  EXPECT_FLOAT_EQ(sprite::frontSlot(10)->x, 40.0f);
  // popSave -1 takes the newest pushed snapshot, then the one before it.
  ASSERT_TRUE(popSave(-1));
  EXPECT_FLOAT_EQ(sprite::frontSlot(10)->x, 30.0f);
  EXPECT_EQ(snapshotHistoryCount(), 1);
  ASSERT_TRUE(popSave(-1));
  EXPECT_FLOAT_EQ(sprite::frontSlot(10)->x, 20.0f);
  EXPECT_EQ(snapshotHistoryCount(), 0);
  ASSERT_TRUE(popSave(-1));
  EXPECT_FLOAT_EQ(sprite::frontSlot(10)->x, 10.0f);
  EXPECT_FALSE(popSave(-1));
}

TEST_F(Snapshot, PoppingPagesBackThroughTheBacklogAndPushingWithoutAppend) {
  run("sp", "10, \"a.png\", 0, 1");
  // Four pages, each pushed at its start; the backlog records its snapshot.
  for (int x : {1, 2, 3, 4}) {
    run("sp_x", "10, " + std::to_string(x));
    clearSave();
    pushSave(true, "");
    text::currentEntry().saveDepth = snapshotHistoryCount();
    text::currentEntry().text[0] = 'p';
    text::closeEntry();
  }
  const int page = text::backlog().position;
  // Two pages back from the current one: the third page's snapshot, the
  // first two left as the history.
  ASSERT_TRUE(popSave(2));
  EXPECT_FLOAT_EQ(sprite::frontSlot(10)->x, 3.0f);
  EXPECT_EQ(text::backlog().position, page - 2);
  EXPECT_EQ(saveHistory().find("\n`\n"), saveHistory().rfind("\n`\n"));
  EXPECT_FALSE(popSave(150));
  clearSave();
  pushSave(false, "");
  EXPECT_EQ(snapshotHistoryCount(), 0);
  EXPECT_EQ(saveHistory().find("\n`\n"), std::string::npos);
}

TEST_F(Snapshot, ALabelMakesTheRestoredGameResumeThere) {
  positionInStory(3);
  pushSave(false, "*back");
  EXPECT_NE(currentSnapshot().find("File=" + scriptName(crc64_hash(kStory)) + ",3\nFile2=" +
                                   scriptName(crc64_hash("script/0.txt")) + ",3\n"),
            std::string::npos);
  ASSERT_TRUE(popSave(-1));
  script::applyRequests();
  ASSERT_EQ(script::gosubFrames().size(), 1u);
  EXPECT_EQ(script::gosubFrames()[0].returnLine, 3);  // continues at line 4, *back
  EXPECT_EQ(script::gosubFrames()[0].slot, 0);
  pushSave(false, "*nowhere");
  EXPECT_NE(takeLog().find("*nowhereラベルが存在しません"), std::string::npos);
}

TEST_F(Snapshot, InsideASubroutineTheOutermostCallIsMadeAgain) {
  positionInStory(8);
  script::registers().partCount = 3;
  script::registers().currentPart = 1;
  script::gosubLabel("*story_end");  // a call in the middle of line 8
  makeSave();
  EXPECT_NE(currentSnapshot().find("File=" + scriptName(crc64_hash(kStory)) + ",7\n"), std::string::npos);
}

TEST_F(Snapshot, AWaitingPageIsShownAgainFromItsFirstLine) {
  // The page began at line 7 of the story; the save runs in a subroutine of
  // the start script.
  script::Registers& r = script::registers();
  r.textBlockScript = crc64_hash(kStory);
  r.textBlockLine = 7;
  r.activeSlot = 0;
  text::window().flow.waitKind = text::kClickWait;
  makeSave();
  EXPECT_NE(currentSnapshot().find("File=" + scriptName(crc64_hash(kStory)) + ",6\n"), std::string::npos);
}

TEST_F(Snapshot, OnlyGPrefixedNamedVariablesAreSaved) {
  run("int", "g_a, s_b, c");
  run("string", "g_t");
  run("cal", "%g_a = -5");
  run("cal", "$g_t = \"x', y',z\"");
  makeSave();
  EXPECT_NE(currentSnapshot().find("Integer=g_a=-5,\nString=g_t='x', y',z',\n"), std::string::npos);
  ASSERT_TRUE(saveSlot(0, false));
  run("cal", "$g_t = \"\"");
  ASSERT_TRUE(loadSlot(0, false));
  EXPECT_EQ(*script::stringReference("$g_t"), "x', y',z");
}

TEST_F(Snapshot, StringsTheQuotedFormCannotCarryAreEscapedAndComeBack) {
  const std::map<std::string, std::string> texts = {
      {"g_break", "two\nlines\r\n`\nComment=x"},
      {"g_cut", "a', g_other='b"},
      {"g_ends", "a',b="},
      {"g_kept", "x', y',z"},
      {"g_sjis", utf8_to_sjis("表示%41',x=' \t予")},
  };
  for (const auto& [name, text] : texts) script::setNamedString(name, text);
  makeSave();
  // Texts the old form carries are written as before.
  EXPECT_NE(currentSnapshot().find("\nString=g_kept='x', y',z',\nStringEsc=g_break=two%0Alines%0D%0A`%0AComment=x,"
                                   "g_cut=a%27%2C%20g_other=%27b,g_ends=a%27%2Cb=,g_sjis="),
            std::string::npos)
      << currentSnapshot();
  for (bool binary : {false, true}) {
    ASSERT_TRUE(saveSlot(4, binary));
    for (const auto& [name, text] : texts) script::setNamedString(name, "changed");
    ASSERT_TRUE(loadSlot(4, binary));
    for (const auto& [name, text] : texts) EXPECT_EQ(*script::stringReference("$" + name), text) << name;
  }
  EXPECT_EQ(takeLog(), "");
}

TEST_F(Snapshot, OlderFilesReadTheirQuotedStringsAsBefore) {
  velmora::test::writeFile("save/save005.txt", "String=g_p='100%41, done', g_q='%2C',\nFile=0,1\nComment=\n");
  ASSERT_TRUE(loadSlot(5, false));
  EXPECT_EQ(*script::stringReference("$g_p"), "100%41, done");
  EXPECT_EQ(*script::stringReference("$g_q"), "%2C");
  for (const char* broken : {"StringEsc=g_p=%4\n", "StringEsc=g_p=%GG\n", "StringEsc=g_p\n"}) {
    velmora::test::writeFile("save/save005.txt", std::string(broken) + "File=0,1\nComment=\n");
    EXPECT_FALSE(loadSlot(5, false)) << broken;
    EXPECT_NE(takeLog().find("[StringEsc]"), std::string::npos) << broken;
  }
}

}  // namespace
}  // namespace velmora::save::test_support
