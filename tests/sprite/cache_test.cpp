#include "base/hash.h"
#include "script/loader.h"
#include "sprite_fixture.h"

namespace velmora::sprite::test {
namespace {

class CacheTest : public SpriteTest {
 protected:
  void setBudget(int64_t bytes) { setting(SettingKey::CacheMaxSize) = int32_t(bytes); }
  image::Image* load(const char* path, int* resolution = nullptr, bool useCache = true) {
    return loadPicture(path, resolution, useCache, true);
  }
  void loadAndFree(const char* path) {
    image::Image* p = load(path);
    ASSERT_NE(p, nullptr) << path;
    image::freeImage(p);
  }
};

TEST_F(CacheTest, ASecondLoadIsACopyFromTheCache) {
  setBudget(1 << 20);
  image::Image* im = image::createImage(4, 2, 24);
  for (int i = 0; i < 8; ++i) im->pixels[i] = 0xFF000000u | uint32_t(i);
  image::saveImage("rgb.png", im, image::kSavePng, 24, 1, 0);
  image::freeImage(im);

  image::Image* first = load("rgb.png");
  std::filesystem::remove("rgb.png");  // a hit must not read the file
  image::Image* second = load("rgb.png");
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  const void* firstPixels = first->pixels;
  const void* secondPixels = second->pixels;
  EXPECT_NE(firstPixels, secondPixels);
  EXPECT_EQ(second->depth, 32);
  EXPECT_EQ(second->pixels[5], 0xFF000005u);
  EXPECT_EQ(cacheBytesUsed(), 32u);
  image::freeImage(first);
  image::freeImage(second);
}

TEST_F(CacheTest, TheBudgetHoldsUnderAStreamAndEvictsTheOldestFirst) {
  setBudget(3 * 16 * 16 * 4);
  for (int i = 0; i < 10; ++i) writePicture("p" + std::to_string(i) + ".png", 16, 16, i);
  for (int i = 0; i < 10; ++i) {
    loadAndFree(("p" + std::to_string(i) + ".png").c_str());
    EXPECT_LE(cacheBytesUsed(), 3u * 1024u);
  }
  EXPECT_EQ(cacheCount(), 3u);
  EXPECT_EQ(cacheAgeOrder(), (std::vector<uint64_t>{crc64_hash("p7.png"), crc64_hash("p8.png"), crc64_hash("p9.png")}));
  // A hit makes a picture the newest; the next store evicts the oldest.
  loadAndFree("p7.png");
  loadAndFree("p0.png");
  EXPECT_TRUE(cacheHolds("p7.png"));
  EXPECT_FALSE(cacheHolds("p8.png"));
  EXPECT_TRUE(cacheHolds("p0.png"));
  // Load flag 0x04 passes the cache by.
  image::Image* direct = loadPicture("p1.png", nullptr, false, true);
  EXPECT_NE(direct, nullptr);
  image::freeImage(direct);
  EXPECT_FALSE(cacheHolds("p1.png"));
}

// The cap holds: a picture larger than the whole budget goes to its caller
// only, and the cache keeps what it had.
TEST_F(CacheTest, APictureLargerThanTheBudgetIsNotKept) {
  setBudget(4 << 20);
  writePicture("small.png", 8, 8);
  writePicture("big.png", 1024, 2048);  // 8 MiB
  loadAndFree("small.png");
  loadAndFree("big.png");
  PictureRef shared = loadSharedPicture("big.png", nullptr, true, true);
  EXPECT_TRUE(shared);
  EXPECT_EQ(cacheCount(), 1u);
  EXPECT_TRUE(cacheHolds("small.png"));
  EXPECT_EQ(cacheBytesUsed(), 256u);
}

// Evicting a picture a sprite still shows frees nothing: pictures only the
// cache holds go first, oldest first.
TEST_F(CacheTest, EvictionFreesWhatOnlyTheCacheHoldsFirst) {
  setBudget(2 * 16 * 16 * 4);
  for (const char* name : {"a.png", "b.png", "c.png"}) writePicture(name, 16, 16);
  PictureRef shown = loadSharedPicture("a.png", nullptr, true, true);  // the oldest
  loadAndFree("b.png");
  loadAndFree("c.png");
  EXPECT_TRUE(cacheHolds("a.png"));
  EXPECT_FALSE(cacheHolds("b.png"));
  EXPECT_TRUE(cacheHolds("c.png"));
  EXPECT_EQ(cacheBytesUsed(), 2u * 1024u);
}

// A header declaring more pixels than the cache may hold (never less than
// 256 MiB) or than 56 of the largest textures show is refused before
// anything is decoded, naming the file and the size.
TEST_F(CacheTest, PicturesDeclaringTooManyPixelsAreRefusedUnread) {
  // A PNG signature and the header of a 16384 x 16384 picture (1 GiB), no data.
  velmora::test::writeFile("huge.png", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\x40\0\0\0\x40\0\x08\x06\0\0\0", 29));
  setBudget(256 << 20);
  takeLog();
  EXPECT_EQ(load("huge.png"), nullptr);
  std::string log = takeLog();
  EXPECT_NE(log.find("huge.png の画像サイズが大きすぎます 16384x16384"), std::string::npos) << log;
  EXPECT_EQ(log.find("を読み込めませんでした"), std::string::npos);
  setBudget(int64_t(1) << 30);  // a cache that may hold it lets the decoder try
  EXPECT_EQ(load("huge.png"), nullptr);
  EXPECT_NE(takeLog().find("huge.png を読み込めませんでした"), std::string::npos);
  setBudget(0);
  setTextureLimits({64, 64, false, false, false});
  writePicture("wide.png", 512, 512);
  EXPECT_EQ(load("wide.png"), nullptr);
  EXPECT_NE(takeLog().find("wide.png の画像サイズが大きすぎます 512x512"), std::string::npos);
}

TEST_F(CacheTest, ABudgetOfZeroCachesNothing) {
  setBudget(0);
  writePicture("a.png", 8, 8);
  loadAndFree("a.png");
  preloadPicture("a.png");
  EXPECT_EQ(cacheCount(), 0u);
}

TEST_F(CacheTest, TheHighResolutionChoice) {
  writePicture("bg/a.png", 8, 8, 1);
  writePicture("z/bg/a.png", 16, 16, 2);
  std::filesystem::create_directories("z/bg/folder.png");
  int r = 0;
  EXPECT_EQ(highResolutionChoice("bg/a.png", r), "bg/a.png");
  EXPECT_EQ(r, 1);
  setScreenFacts({1600, 1200, 2.0f, 2.0f});
  EXPECT_EQ(highResolutionChoice("bg/a.png", r), "z/bg/a.png");
  EXPECT_EQ(r, 2);
  EXPECT_EQ(highResolutionChoice("bg/folder.png", r), "bg/folder.png");  // a folder is no picture
  EXPECT_EQ(r, 1);
  image::Image* p = load("bg/a.png", &r);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->width, 16);
  EXPECT_EQ(r, 2);
  image::freeImage(p);
  r = 7;
  p = loadPicture("bg/a.png", &r, true, false);  // without the choice
  EXPECT_EQ(p->width, 8);
  EXPECT_EQ(r, 7);
  image::freeImage(p);
}

TEST_F(CacheTest, DifferenceImagesAreLaidOnTheirBase) {
  setBudget(1 << 20);
  writePicture("ev/base01.png", 8, 8, 1);
  writePicture("ev/diff01.png", 2, 2, 9, "base01.png", 3, 4);
  int r = 0;
  image::Image* p = loadWholePicture("ev/diff01.png", &r, true);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->width, 8);
  EXPECT_EQ(p->pixels[0], 0xFF010000u);
  EXPECT_EQ(p->pixels[4 * 8 + 3], 0xFF090000u);
  EXPECT_EQ(p->pixels[5 * 8 + 4], 0xFF090101u);
  EXPECT_EQ(r, 1);
  image::freeImage(p);

  // With a display rate above 1 the high-resolution base is used.
  writePicture("z/ev/base01.png", 16, 16, 2);
  setScreenFacts({1600, 1200, 2.0f, 2.0f});
  p = loadWholePicture("ev/diff01.png", &r, true);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->width, 16);
  EXPECT_EQ(p->pixels[0], 0xFF020000u);
  EXPECT_EQ(p->pixels[4 * 16 + 3], 0xFF090000u);
  EXPECT_EQ(r, 2);
  image::freeImage(p);

  // A missing base fails the whole load.
  writePicture("ev/orphan.png", 2, 2, 9, "none.png", 0, 0);
  takeLog();
  EXPECT_EQ(loadWholePicture("ev/orphan.png", &r, true), nullptr);
  EXPECT_NE(takeLog().find("ev/none.png"), std::string::npos);
}

// Sprites show the cached picture itself; the budget counts what the cache
// holds, and a picture evicted while shown lives on with its sprite.
TEST_F(CacheTest, HitsAreSharedAndOutliveEviction) {
  setBudget(16 * 16 * 4);
  writePicture("a.png", 16, 16, 1);
  writePicture("b.png", 16, 16, 2);
  PictureRef miss = loadSharedPicture("a.png", nullptr, true, true);
  PictureRef hit = loadSharedPicture("a.png", nullptr, true, true);
  PictureRef again = loadSharedPicture("a.png", nullptr, true, true);
  ASSERT_TRUE(miss && hit && again);
  EXPECT_EQ(miss.get(), hit.get());
  EXPECT_EQ(hit.get(), again.get());
  image::Image* own = loadPicture("a.png", nullptr, true, true);
  ASSERT_NE(own, nullptr);
  const void* ownPixels = own->pixels;  // the record is packed: no reference to its fields
  const void* sharedPixels = hit->pixels;
  EXPECT_NE(ownPixels, sharedPixels);
  image::freeImage(own);
  PictureRef b = loadSharedPicture("b.png", nullptr, true, true);
  EXPECT_FALSE(cacheHolds("a.png"));
  EXPECT_EQ(cacheBytesUsed(), 1024u);
  EXPECT_EQ(hit->pixels[17], 0xFF010101u);
  clearCache();
  EXPECT_EQ(hit->pixels[255], 0xFF010F0Fu);
}

TEST_F(CacheTest, SpritesWriteOnlyIntoCopies) {
  setBudget(1 << 20);
  writePicture("a.png", 4, 4, 0x10);
  run("sp", "1, \"a.png\", 0, 1");
  run("sp", "2, \"a.png\", 0, 1");
  ASSERT_TRUE(backSlot(2)->shared);
  EXPECT_EQ(backSlot(2)->picture, backSlot(2)->shared.get());
  run("sp_neg", "3, 1");
  run("sp", "3, \"a.png\", 0, 1");
  run("sp_cut", "4, \"a.png\", 0, 1, 1, 1, 2, 2");
  EXPECT_EQ(backSlot(3)->picture->pixels[0], 0xFFEFFFFFu);
  EXPECT_EQ(backSlot(4)->picture->pixels[0], 0xFF100101u);
  EXPECT_EQ(backSlot(2)->picture->pixels[0], 0xFF100000u);
  EXPECT_EQ(backSlot(2)->picture->pixels[5], 0xFF100101u);
  PictureRef cached = loadSharedPicture("a.png", nullptr, true, true);
  EXPECT_EQ(cached.get(), backSlot(2)->picture);
  run("sp_d", "2");
  commitAll();
  EXPECT_EQ(cached->pixels[0], 0xFF100000u);
}

TEST_F(CacheTest, DecodingFailuresAreReported) {
  velmora::test::writeFile("bad.png", "not a picture");
  takeLog();
  EXPECT_EQ(load("bad.png"), nullptr);
  EXPECT_NE(takeLog().find("bad.png を読み込めませんでした"), std::string::npos);
  EXPECT_EQ(cacheCount(), 0u);
}

TEST_F(CacheTest, TheAutomaticSize) {
  constexpr uint64_t MiB = 1 << 20;
  EXPECT_EQ(cacheSizeForMemory(2048 * MiB), 256 * MiB);
  EXPECT_EQ(cacheSizeForMemory(512 * MiB), 256 * MiB);
  EXPECT_EQ(cacheSizeForMemory(300 * MiB), 44 * MiB);
  EXPECT_EQ(cacheSizeForMemory(256 * MiB), 0u);
  EXPECT_EQ(cacheSizeForMemory(100 * MiB), 0u);
}

// ---- look-ahead -----------------------------------------------------------------
class LookaheadTest : public CacheTest {
 protected:
  void SetUp() override {
    CacheTest::SetUp();
    setBudget(1 << 20);
    for (const char* p : {"bg/a.png", "bg/b.png", "bg/c.png", "bg/d.png", "bg/stop.png", "old.png"})
      writePicture(p, 8, 8);
    script::LineArray& lines = script::slotLines(1);
    lines = {"sp 1,bg/a.png,0,1",      "sp_x 1, 5",          "sp 2,bg\\b.png,0,1", "bg 3,bg/c.png",
             "sp 3,bg/stop.png,0,1",   "sp 4,bg/d.png,0,1"};
    script::slotChanged(1);
    script::registers().currentLine = -1;
    run("lookahead_set", "\"sp\", \"s/^[^,]*,([^,]*),.*$/$1/\"");
    run("lookahead_set", "\"bg\", \"s/^[^,]*,//\"");
    run("lookahead_stop", "\"bg/stop.png\"");
  }
  void TearDown() override {
    script::slotLines(1).clear();
    script::slotChanged(1);
    image::setWorkerThreads(1);
    CacheTest::TearDown();
  }
};

TEST_F(LookaheadTest, CollectsUpToTheStopAndTheStopTable) {
  EXPECT_EQ(collectLookaheadPaths(), (std::vector<std::string>{"bg/a.png", "bg/b.png", "bg/c.png", "bg/stop.png"}));
  script::registers().currentLine = 1;  // the scan starts after the current line
  EXPECT_EQ(collectLookaheadPaths(), (std::vector<std::string>{"bg/b.png", "bg/c.png", "bg/stop.png"}));
}

TEST_F(LookaheadTest, FillsTheCacheAndDropsTheRest) {
  loadAndFree("old.png");
  loadAndFree("bg/b.png");
  run("lookahead", "");
  EXPECT_FALSE(cacheHolds("old.png"));
  for (const char* p : {"bg/a.png", "bg/b.png", "bg/c.png", "bg/stop.png"}) EXPECT_TRUE(cacheHolds(p)) << p;
  EXPECT_FALSE(cacheHolds("bg/d.png"));
  EXPECT_EQ(cacheBytesUsed(), 4u * 256u);

  setting(SettingKey::LookaHead) = 0;
  clearCache();
  run("lookahead", "");
  EXPECT_EQ(cacheCount(), 0u);
}

TEST_F(LookaheadTest, AWorkerFillsTheCacheDuringATransition) {
  image::setWorkerThreads(2);
  loadAndFree("old.png");
  startLookahead();
  finishLookahead();
  EXPECT_FALSE(lookaheadWorkerRunning());
  EXPECT_FALSE(cacheHolds("old.png"));
  EXPECT_EQ(cacheCount(), 4u);
  // With one worker thread the look-ahead runs at the finish instead.
  image::setWorkerThreads(1);
  clearCache();
  startLookahead();
  EXPECT_EQ(cacheCount(), 0u);
  finishLookahead();
  EXPECT_EQ(cacheCount(), 4u);
}

TEST_F(LookaheadTest, AWorkerDefersItsMessagesToTheMainThread) {
  image::setWorkerThreads(2);
  clearLookaheadTables();
  script::slotLines(1) = {"sp 1,gone.png,0,1"};
  script::slotChanged(1);
  run("lookahead_set", "\"sp\", \"s/^[^,]*,([^,]*),.*$/$1/\"");
  takeLog();
  startLookahead();
  finishLookahead();
  EXPECT_NE(takeLog().find("gone.png"), std::string::npos);
}

std::vector<std::string> voices;
void captureVoice(const std::string& path) { voices.push_back(path); }

TEST_F(LookaheadTest, VoicesOfTheNextVoicedLine) {
  installSpriteHooks({.preloadVoice = captureVoice});
  voices.clear();
  script::slotLines(1) = {"sp 1,bg/a.png,0,1", sj("【話者】"), sj("【話者,a012_0034,a012_0035】こんにちは"),
                          sj("【話者,b001_0001】")};
  script::slotChanged(1);
  run("lookahead2", "");
  EXPECT_EQ(voices, (std::vector<std::string>{"vo/012/a012_0034.ogg", "vo/012/a012_0035.ogg"}));
  installSpriteHooks({});
}

}  // namespace
}  // namespace velmora::sprite::test
