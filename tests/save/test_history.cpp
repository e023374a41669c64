// A long play: the history of pushed snapshots keeps what the backlog can
// point to, pages still find their own snapshot once older ones are gone,
// and a slot file always fits the reader.
#include "game_fixture.h"
#include "resource/resource.h"

namespace velmora::save::test_support {
namespace {

size_t snapshotsIn(const std::string& text) {
  size_t n = 1;
  for (size_t at = text.find("\n`\n"); at != std::string::npos; at = text.find("\n`\n", at + 1)) ++n;
  return n;
}

class History : public GameTest {
 protected:
  // One page per push, as a game's text loop does it: the page records the
  // history count at its start and g_page says which page a restore brought.
  void pages(int count) {
    run("int", "g_page");
    for (int i = 0; i < count; ++i) {
      run("cal", "%g_page = " + std::to_string(i));
      clearSave();
      pushSave(true, "");
      text::currentEntry().saveDepth = snapshot::historyCount();
      text::currentEntry().text[0] = 'p';
      text::closeEntry();
    }
  }
  static int page() { return *script::numericReference("%g_page"); }
};

TEST_F(History, FiveHundredPushesKeepTheNewestTwoHundredAndStillSave) {
  pages(500);
  EXPECT_EQ(snapshotsIn(saveHistory()), 200u);
  EXPECT_EQ(snapshot::historyCount(), 499);
  ASSERT_TRUE(saveSlot(1, false));
  ASSERT_TRUE(saveSlot(2, true));
  EXPECT_EQ(takeLog(), "");
  resetSaveSlots();
  ASSERT_TRUE(loadSlot(1, false));
  EXPECT_EQ(page(), 499);
  // Pages keep finding their own snapshot through the restored backlog.
  ASSERT_TRUE(popSave(2));
  EXPECT_EQ(page(), 497);
  ASSERT_TRUE(popSave(-1));
  EXPECT_EQ(page(), 496);
  EXPECT_EQ(snapshot::historyCount(), 495);
  ASSERT_TRUE(loadSlot(2, true));
  EXPECT_EQ(page(), 499);
}

TEST_F(History, APageWhoseSnapshotWasDroppedRestoresNothing) {
  pages(250);
  ASSERT_TRUE(popSave(199));  // the oldest page the ring holds: still there
  EXPECT_EQ(page(), 51);
  pages(250);
  text::entry(3).saveDepth = 40;  // a page of a snapshot long dropped
  run("cal", "%g_page = -1");
  EXPECT_FALSE(popSave(3));
  EXPECT_EQ(page(), -1);
  EXPECT_EQ(takeLog(), "");
}

TEST_F(History, ASlotLeavesOutTheOldestSnapshotsTheReaderHasNoRoomFor) {
  // Snapshots of about 14 KB: two hundred of them are 2.8 MB of text, but
  // repeat themselves enough that the packed file holds them all.
  run("string", "g_filler");
  std::string filler;
  for (int i = 0; i < 10000; ++i) filler += char('a' + (i * 7919 % 26));
  run("cal", "$g_filler = \"" + filler + "\"");
  pages(200);
  ASSERT_TRUE(saveSlot(1, false));
  ASSERT_TRUE(saveSlot(1, true));
  EXPECT_EQ(takeLog(), "");
  const std::string text = velmora::test::readFile("save/save001.txt");
  EXPECT_LE(text.size(), resource::kMaxDataFile);
  EXPECT_GT(text.size(), resource::kMaxDataFile - 20000);
  EXPECT_LT(snapshotsIn(text), 100u);
  std::string packed;
  ASSERT_TRUE(resource::readDataFile("save/save001.dat", true, packed));
  EXPECT_EQ(snapshotsIn(packed), 201u);
  for (bool binary : {false, true}) {
    resetSaveSlots();
    ASSERT_TRUE(loadSlot(1, binary));
    EXPECT_EQ(page(), 199);
    ASSERT_TRUE(popSave(5));
    EXPECT_EQ(page(), 194);
  }
  // A snapshot alone beyond the limit is still refused, the slot kept.
  setSaveComment(std::string(resource::kMaxDataFile, 'x'));
  EXPECT_FALSE(saveSlot(1, false));
  EXPECT_NE(takeLog().find("の保存に失敗しました"), std::string::npos);
  EXPECT_EQ(velmora::test::readFile("save/save001.txt"), text);
}

}  // namespace
}  // namespace velmora::save::test_support
