#include "sprite/saved.h"
#include "sprite_fixture.h"

namespace velmora::sprite::test {
namespace {

// Loads and property changes wait in the back slot until a commit.
TEST_F(SpriteTest, ChangesWaitForTheCommit) {
  writePicture("a.png", 40, 20);
  run("sp", "5, \"a.png\", 0, 1");
  run("sp_x", "5, 100");
  ASSERT_NE(frontSlot(5), nullptr);
  EXPECT_EQ(frontSlot(5)->picture, nullptr);  // nothing visible yet
  EXPECT_EQ(afterSlot(5), backSlot(5));
  EXPECT_EQ(record(5).pending, uint32_t(kPendingPicture | kPendingProperties));
  commitAll();
  EXPECT_EQ(record(5).pending, 0u);
  ASSERT_NE(frontSlot(5)->picture, nullptr);
  EXPECT_FLOAT_EQ(frontSlot(5)->x, 100.0f);
  EXPECT_FLOAT_EQ(frontSlot(5)->y, 300.0f);  // default: the screen centre
  EXPECT_EQ(frontSlot(5)->width, 40);
  EXPECT_EQ(frontSlot(5)->upload & kUploadPixels, kUploadPixels);
  EXPECT_STREQ(record(5).name, "a.png");

  // A property-only change keeps the picture where it is.
  image::Image* shown = frontSlot(5)->picture;
  run("sp_y", "5, 7.5");
  EXPECT_FLOAT_EQ(frontSlot(5)->y, 300.0f);
  commitSprite(5);
  EXPECT_EQ(frontSlot(5)->picture, shown);
  EXPECT_FLOAT_EQ(frontSlot(5)->y, 7.5f);
}

TEST_F(SpriteTest, ANewPictureKeepsThePlacement) {
  writePicture("a.png", 40, 20);
  writePicture("b.png", 10, 30, 1);
  run("sp", "5, \"a.png\", 0, 1");
  run("sp_xy", "5, 12, 34");
  run("sp_a", "5, 128");
  run("sp_wh", "5, 50, 200");
  run("sp_rxyz", "5, 1, 2, 3");
  commitAll();
  run("sp", "5, \"b.png\", 1, 1");
  EXPECT_EQ(record(5).pending, uint32_t(kPendingPicture | kPendingReleaseFront));
  EXPECT_EQ(frontSlot(5)->width, 40);  // the old picture stays until the commit
  commitAll();
  const Slot& s = *frontSlot(5);
  EXPECT_EQ(s.width, 10);
  EXPECT_EQ(s.height, 30);
  EXPECT_FLOAT_EQ(s.x, 12.0f);
  EXPECT_FLOAT_EQ(s.y, 34.0f);
  EXPECT_EQ(s.alpha, 128);
  EXPECT_FLOAT_EQ(s.scaleW, 0.5f);
  EXPECT_FLOAT_EQ(s.scaleH, 2.0f);
  EXPECT_FLOAT_EQ(s.rotZ, 3.0f);
  EXPECT_EQ(s.loadFlags, 1u);
  EXPECT_EQ(s.vertices[0].diffuse, 0x80FFFFFFu);
  EXPECT_EQ(backSlot(5)->picture, nullptr);  // the replaced picture was released
  EXPECT_EQ(s.picture->pixels[0] >> 16 & 255, 1u);
}

TEST_F(SpriteTest, DeletionTakesEffectAtTheCommit) {
  writePicture("a.png", 8, 8);
  run("sp_exist", "5, %r");
  EXPECT_EQ(var("%r"), 0);
  run("sp", "5, \"a.png\", 0, 1");
  run("sp_exist", "5, %r");
  EXPECT_EQ(var("%r"), 2);
  commitAll();
  run("sp_d", "5");
  run("sp_exist", "5, %r");
  EXPECT_EQ(var("%r"), 1);
  EXPECT_NE(frontSlot(5)->picture, nullptr);  // still shown (a transition's "before")
  commitAll();
  run("sp_exist", "5, %r");
  EXPECT_EQ(var("%r"), 0);
  EXPECT_EQ(slot(5, 0), nullptr);
  EXPECT_EQ(slot(5, 1), nullptr);
  EXPECT_TRUE(drawOrder(0).empty());

  // Loading onto a pending deletion starts from the defaults again.
  run("sp", "6, \"a.png\", 0, 1");
  run("sp_x", "6, 5");
  commitAll();
  run("sp_d", "6");
  run("sp", "6, \"a.png\", 0, 1");
  commitAll();
  EXPECT_FLOAT_EQ(frontSlot(6)->x, 400.0f);
  run("sp_dx", "0, 999, 0");
  commitAll();
  EXPECT_EQ(frontSlot(6), nullptr);
}

TEST_F(SpriteTest, OrdersGiveDrawKeys) {
  writePicture("a.png", 8, 8);
  for (int n : {3, 7, 9}) run("sp", std::to_string(n) + ", \"a.png\", 0, 1");
  EXPECT_EQ(drawKey(7), 7);
  run("sp_o", "7, 2");
  EXPECT_EQ(drawKey(7), 2055);
  run("sp_o", "7, -1");
  EXPECT_EQ(drawKey(7), -1017);
  run("sp_go", "7, %r");
  EXPECT_EQ(var("%r"), -1);
  // Smallest key first: the front-most sprite, in front of the message text.
  std::vector<std::pair<int, int>> order(drawOrder(0).begin(), drawOrder(0).end());
  EXPECT_EQ(order, (std::vector<std::pair<int, int>>{{-1017, 7}, {3, 3}, {9, 9}}));
  run("sp_o", "7, 0");
  EXPECT_EQ(drawOrder(0).begin()->second, 3);
}

TEST_F(SpriteTest, DeletingAGroupDeletesItsMembers) {
  writePicture("a.png", 8, 8);
  run("spg", "10, 64, 32, 0");
  run("sp", "11, \"a.png\", 0, 1");
  run("sp", "12, \"a.png\", 0, 1");
  commitAll();
  EXPECT_TRUE(frontSlot(10)->renderTarget);
  EXPECT_EQ(frontSlot(10)->imageWidth, 64);
  EXPECT_EQ(record(10).fontFace[0], kKindRenderTarget);
  EXPECT_EQ(renderTargets().count(10), 1u);
  run("sp_g", "11, 10");
  commitAll();
  EXPECT_EQ(frontSlot(11)->group, 10);
  EXPECT_EQ(groupMembers(10).count(11), 1u);
  EXPECT_EQ(groupMembers(0).count(11), 0u);
  run("sp_d", "10");
  commitAll();
  EXPECT_EQ(frontSlot(10), nullptr);
  EXPECT_EQ(frontSlot(11), nullptr);
  EXPECT_NE(frontSlot(12), nullptr);
  EXPECT_TRUE(renderTargets().empty());
}

// Design-unit group sizes follow the display rate, picture units the ratio.
TEST_F(SpriteTest, GroupSizesFollowTheDisplayRates) {
  setScreenFacts({1200, 900, 1.5f, 1.25f});
  run("spg", "10, 101, 11, 8");
  EXPECT_EQ(backSlot(10)->imageWidth, 152);  // 151.5 rounded
  run("spg", "11, 101, 11, 4");
  EXPECT_EQ(backSlot(11)->imageWidth, 126);
  run("spg", "12, 101, 11, 0");
  EXPECT_EQ(backSlot(12)->imageWidth, 101);
}

TEST_F(SpriteTest, WidePicturesAreTiled) {
  setTextureLimits({2048, 2048, false, false, false});
  writePicture("wide.png", 4097, 6);
  run("sp", "5, \"wide.png\", 0, 1");
  const Slot& s = *backSlot(5);
  EXPECT_EQ(s.tileColumns, 3);
  EXPECT_EQ(s.tileRows, 1);
  EXPECT_EQ(s.tileTexWidth, 2048);
  EXPECT_EQ(s.tileTexHeight, 8);
  EXPECT_EQ(s.lastTileWidth, 1);
  ASSERT_EQ(s.vertices.size(), 12u);
  // Two units span one tile texture; the centre anchor sits at the origin.
  const float left = -4097.0f / 2048.0f;
  EXPECT_FLOAT_EQ(s.vertices[0].x, left);
  EXPECT_FLOAT_EQ(s.vertices[4].x, left + 2.0f);
  EXPECT_FLOAT_EQ(s.vertices[9].x, left + 4.0f + 2.0f / 2048.0f);
  EXPECT_FLOAT_EQ(s.vertices[0].y, 6.0f / 8.0f);
  EXPECT_FLOAT_EQ(s.vertices[2].y, 6.0f / 8.0f - 12.0f / 8.0f);

  // A single tile takes even sizes when powers of two are not required.
  writePicture("odd.png", 5, 3);
  run("sp", "6, \"odd.png\", 0, 1");
  EXPECT_EQ(backSlot(6)->tileTexWidth, 6);
  EXPECT_EQ(backSlot(6)->tileTexHeight, 4);
  setTextureLimits({0, 0, true, true, false});
  run("sp", "6, \"odd.png\", 0, 1");
  EXPECT_EQ(backSlot(6)->tileTexWidth, 8);
  EXPECT_EQ(backSlot(6)->tileTexHeight, 8);
}

TEST_F(SpriteTest, TooManyTilesFailTheLoad) {
  setTextureLimits({16, 16, true, false, false});
  writePicture("big.png", 16 * 57, 4);
  takeLog();
  run("sp", "5, \"big.png\", 0, 1");
  EXPECT_NE(takeLog().find("Sprite Size Over 57,1"), std::string::npos);
  EXPECT_EQ(slot(5, 0), nullptr);
  EXPECT_EQ(slot(5, 1), nullptr);
  EXPECT_TRUE(drawOrder(0).empty());
}

// A render target is one texture the device keeps: no side beyond its
// largest texture, at most 4096 x 4096 pixels, from spg or from a save.
TEST_F(SpriteTest, RenderTargetsAreBounded) {
  takeLog();
  run("spg", "12, 4096, 4096, 0");
  EXPECT_NE(backSlot(12), nullptr);
  run("spg", "13, 16384, 16384, 0");
  run("spg", "14, 16385, 1, 0");
  TextureLimits device;
  device.deviceMaxSide = 2048;
  setTextureLimits(device);
  run("spg", "15, 4096, 16, 0");
  for (int n : {13, 14, 15}) EXPECT_EQ(backSlot(n), nullptr) << n;
  SavedSprite saved;
  saved.number = 16;
  saved.fontFace = std::string(1, char(kKindRenderTarget));
  saved.width = 2048, saved.height = 4096;
  restoreSprite(saved, 0);
  EXPECT_EQ(frontSlot(16), nullptr);
  saved.width = 64, saved.height = 32;
  restoreSprite(saved, 0);
  ASSERT_NE(frontSlot(16), nullptr);
  EXPECT_TRUE(frontSlot(16)->renderTarget);
  const std::string log = takeLog();
  for (const char* size : {"13 RenderTarget Size Over 16384,16384", "14 RenderTarget Size Over 16385,1",
                           "15 RenderTarget Size Over 4096,16", "16 RenderTarget Size Over 2048,4096"})
    EXPECT_NE(log.find(size), std::string::npos) << size;
}

TEST_F(SpriteTest, FramesSelectTextureRows) {
  writePicture("anim.png", 8, 12);
  run("sp", "5, \"anim.png\", 0, 3");
  const Slot& s = *backSlot(5);
  EXPECT_EQ(s.height, 4);
  EXPECT_EQ(s.tileTexHeight, 12);
  run("sp_l", "5, 2");
  EXPECT_FLOAT_EQ(s.vertices[0].v0, 8.0f / 12.0f);
  EXPECT_FLOAT_EQ(s.vertices[2].v0, 1.0f);
  EXPECT_FLOAT_EQ(s.vertices[0].y, 4.0f / 12.0f);
  run("sp_cxy", "5, 0, 2");
  EXPECT_FLOAT_EQ(s.vertices[0].x, 0.0f);
  EXPECT_FLOAT_EQ(s.vertices[0].y, 8.0f / 12.0f);
}

TEST_F(SpriteTest, ImageEffectsSurviveDeletion) {
  run("sp_bc", "5, 0, -10");
  EXPECT_EQ(record(5).brightnessContrast, 0x00F6);
  run("sp_hsl", "5, -2, 3, -1");
  EXPECT_EQ(uint32_t(record(5).hsl), 0xFFFE03FFu);
  run("sp_bc", "5, 0, 0");
  run("sp_hsl", "5, 0, 0, 0");
  run("sp_neg", "5, 1");
  writePicture("a.png", 4, 4, 0x10);
  run("sp", "5, \"a.png\", 0, 1");
  run("sp_d", "5");
  commitAll();
  EXPECT_EQ(record(5).negative, 1);
  EXPECT_EQ(record(5).name[0], 0);
  run("sp", "5, \"a.png\", 0, 1");
  EXPECT_EQ(backSlot(5)->picture->pixels[0] & 0xFFFFFF, 0xEFFFFFu);
  run("sp_rot", "5, 1");
  run("sp_reload", "5");
  EXPECT_EQ(backSlot(5)->picture->pixels[0] & 0xFFFFFF, 0xEFFCFFu);  // kind 1 reverses the rows: y = 3 first
}

TEST_F(SpriteTest, CutsAndFramedPictures) {
  writePicture("a.png", 40, 20);
  run("sp_cut", "5, \"a.png\", 0, 1, -1, 2, 10, 5");
  const Slot& s = *backSlot(5);
  EXPECT_EQ(s.width, 10);
  EXPECT_EQ(s.picture->pixels[0] & 0xFFFF, 0x020Fu);  // x = 15, y = 2
  run("sp_st", "6, \"a.png\", 0, 50, 30, 0, 0");
  const Slot& f = *backSlot(6);
  EXPECT_EQ(f.width, 50);
  EXPECT_EQ(record(6).fontFace[0], kKindFramed);
  EXPECT_EQ(f.picture->pixels[0], 0u);                       // transparent canvas
  EXPECT_EQ(f.picture->pixels[10 * 50 + 5], 0xFF000000u);    // picture at (5, 10)
  commitAll();
  takeLog();
  run("sp_st", "6, \"a.png\", 0, 60, 30, 500, 0");
  EXPECT_NE(takeLog().find("6 切り替え前の画像サイズと違います１"), std::string::npos);
}

TEST_F(SpriteTest, QueriesReportTheShownSlot) {
  writePicture("a.png", 40, 20);
  run("sp", "5, \"a.png\", 0, 1");
  run("sp_xy", "5, 100, 50");
  run("sp_wh", "5, 29, 150");
  commitAll();
  run("sp_gsz", "5, %w, %h");
  EXPECT_EQ(var("%w"), 40);
  EXPECT_EQ(var("%h"), 20);
  run("sp_gxy", "5, 2, 0, %w, %h");
  EXPECT_EQ(var("%w"), 120);
  EXPECT_EQ(var("%h"), 40);
  run("sp_gwh", "5, %w, %h");
  EXPECT_EQ(var("%w"), 29);
  EXPECT_EQ(var("%h"), 150);
  run("sp_ga", "5, %r");
  EXPECT_EQ(var("%r"), 255);
  run("string", "s");
  run("sp_gn", "5, $s");
  EXPECT_EQ(*script::stringReference("$s"), "a.png");

  setScreenFacts({1600, 1200, 2.0f, 2.0f});
  writePicture("z/b.png", 80, 40);
  run("sp", "6, \"b.png\", 0, 1");
  EXPECT_EQ(backSlot(6)->resolution, 2);
  EXPECT_STREQ(record(6).name, "b.png");
  run("sp_gsz", "6, %w, %h");
  EXPECT_EQ(var("%w"), 40);
}

TEST_F(SpriteTest, CommandsOnEmptySpritesReport) {
  takeLog();
  run("sp_x", "5, 1");
  run("sp_gsz", "8, %w, %h");
  run("sp_x", "1000, 1");  // outside the table: ignored
  std::string log = takeLog();
  EXPECT_NE(log.find("5 画像が読み込まれていません"), std::string::npos);
  EXPECT_NE(log.find("8 画像が読み込まれていません"), std::string::npos);
  EXPECT_EQ(log.find("1000"), std::string::npos);
  EXPECT_EQ(record(5).pending, 0u);
  run("sp", "5, \"missing.png\", 0, 1");
  EXPECT_EQ(slot(5, 0), nullptr);
  EXPECT_NE(takeLog().find("missing.png"), std::string::npos);
}

TEST_F(SpriteTest, JumpModeMakesPlaceholders) {
  setJumpLoading(true);
  run("sp", "5, \"never-read.png\", 0, 1");
  setJumpLoading(false);
  ASSERT_NE(backSlot(5), nullptr);
  EXPECT_EQ(backSlot(5)->picture, nullptr);
  EXPECT_EQ(backSlot(5)->width, 1);
  EXPECT_STREQ(record(5).name, "never-read.png");
}

}  // namespace
}  // namespace velmora::sprite::test
