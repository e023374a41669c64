// Image-log pictures rebuilt on the CPU from hand-written 192-byte records.
#include <array>
#include <cstring>

#include "game_fixture.h"
#include "image/image.h"
#include "save/image_log.h"

namespace velmora::save::test_support {
namespace {

constexpr int kW = 96, kH = 64;

struct Fields {
  std::string path{}, mask{};
  int x = 0, y = 0, sw = 100, sh = 100, rotation = 0;
  std::array<int, 4> cut{};
  int originX = 1, originY = 1, canvasW = 0, canvasH = 0;
  int alpha = 255, kind = 0, blend = 1, loadFx = 0;
  int maskReverse = 0, maskProgress = 0, maskVague = 0;
  int sprite = 0, group = 0, colourMode = 0;
  uint32_t colour = 0;
};

using Records = std::array<uint8_t, 16 * 192>;

void put(Records& all, int index, const Fields& s) {
  uint8_t* r = all.data() + index * 192;
  auto p16 = [&](size_t at, int v) { const uint16_t u = uint16_t(v); std::memcpy(r + at, &u, 2); };
  auto p32 = [&](size_t at, uint32_t v) { std::memcpy(r + at, &v, 4); };
  std::memset(r, 0, 192);
  std::memcpy(r, s.path.data(), s.path.size());
  std::memcpy(r + 64, s.mask.data(), s.mask.size());
  p16(128, s.x), p16(130, s.y), p16(132, s.sw), p16(134, s.sh), p16(136, s.rotation);
  for (int i = 0; i < 4; ++i) p16(138 + 2 * size_t(i), s.cut[size_t(i)]);
  p16(146, s.originX | s.canvasW << 2), p16(148, s.originY | s.canvasH << 2), p16(154, 1);
  r[156] = uint8_t(s.alpha), r[157] = uint8_t(s.kind | s.blend << 4), r[158] = uint8_t(s.loadFx);
  p32(160, uint32_t(s.maskReverse) << 20 | uint32_t(s.maskProgress) << 10 | uint32_t(s.maskVague));
  p32(164, uint32_t(s.sprite) << 16 | uint32_t(s.group));
  p32(168, uint32_t(s.colourMode) << 24 | s.colour);
}

class ImageLog : public GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    sprite::setScreenFacts({kW, kH, 1.0f, 1.0f});
    writeImage("wide.png", kW, kH, [](int x, int y) { return 0xFF000000u | uint32_t(40 + y * 2) << 8 | uint32_t(90 + x); });
    writeImage("card.png", 16, 8, [](int x, int y) {
      if (x == 0 || y == 0 || x == 15 || y == 7) return 0xFFFFFFFFu;
      return x < 8 ? 0xFFFFD000u : 0x80FF00FFu;
    });
    writeImage("ramp.png", 16, 8, [](int x, int) { return 0xFF000000u | uint32_t(x * 17); });
  }
  template <class F>
  static void writeImage(const char* path, int w, int h, F colour) {
    image::Image* im = image::createImage(w, h, 32);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) im->pixels[size_t(y) * w + x] = colour(x, y);
    image::saveImage(path, im, image::kSavePng, 32, 1, 0);
    image::freeImage(im);
  }
  // The extent of the pixels a picture covers (alpha above 0).
  static std::array<int, 4> covered(const image::Image* im) {
    std::array<int, 4> box{im->width, im->height, -1, -1};
    for (int y = 0; y < im->height; ++y)
      for (int x = 0; x < im->width; ++x)
        if (im->pixels[size_t(y) * im->width + x] >> 24)
          box = {std::min(box[0], x), std::min(box[1], y), std::max(box[2], x), std::max(box[3], y)};
    return box;
  }
  Records records_{};
};

TEST_F(ImageLog, APageOfRecordsAgainstItsGoldenPicture) {
  put(records_, 0, {.path = "wide.png", .x = 48, .y = 32});
  put(records_, 1, {.path = "card.png", .x = 14, .y = 8, .alpha = 127, .blend = 2});
  put(records_, 2, {.path = "card.png", .x = 62, .y = 16, .sw = 150, .sh = 150, .rotation = 30});
  put(records_, 3, {.path = "card.png", .x = 8, .y = 40, .originX = 0, .canvasW = 24, .canvasH = 14, .kind = 1});
  put(records_, 4, {.path = "card.png", .mask = "ramp.png", .x = 40, .y = 30, .maskReverse = 1, .maskProgress = 200,
                    .maskVague = 64});
  put(records_, 5, {.path = "card.png", .x = 84, .y = 40, .colourMode = 4, .colour = 0x4080FF});
  put(records_, 6, {.path = "card.png", .x = 30, .y = 54, .cut = {4, 2, 8, 4}, .blend = 4, .loadFx = 0x10});
  put(records_, 7, {.path = "a", .x = 70, .y = 54, .canvasW = 20, .canvasH = 12, .kind = 4, .sprite = 5});
  put(records_, 8, {.path = "card.png", .x = 4, .y = 4, .blend = 1, .group = 5});
  image::Image* picture = imageLogPicture(records_.data());
  ASSERT_NE(picture, nullptr);
  ASSERT_EQ(picture->width, kW);
  const std::string golden = std::string(VELMORA_SOURCE_DIR) + "/tests/save/golden/imagelog.png";
  std::string bytes = velmora::test::readFile(golden);
  image::Image* expected = image::loadImage(reinterpret_cast<const unsigned char*>(bytes.data()), int(bytes.size()));
  ASSERT_NE(expected, nullptr);
  int worst = 0;
  for (int i = 0; i < picture->count; ++i)
    for (int shift = 0; shift < 32; shift += 8)
      worst = std::max(worst, std::abs(int(picture->pixels[i] >> shift & 255) - int(expected->pixels[i] >> shift & 255)));
  EXPECT_LE(worst, 1);
  // For review by eye after a change.
  if (worst > 1) image::saveImage((std::string(VELMORA_BINARY_DIR) + "/imagelog.actual.png").c_str(), picture, 1, 32, 9, 0);
  image::freeImage(expected);
  image::freeImage(picture);
}

TEST_F(ImageLog, AnAddedRecordAtAlpha127IsLaidAtOpacity128) {
  put(records_, 0, {.path = "wide.png", .x = 48, .y = 32});
  put(records_, 1, {.path = "card.png", .x = 20, .y = 20, .alpha = 127, .blend = 2});
  image::Image* picture = imageLogPicture(records_.data());
  int resolution = 1;
  image::Image* reference = sprite::loadPicture("wide.png", &resolution, false, false);
  image::Image* a = sprite::loadPicture("card.png", &resolution, false, false);
  image::blendImage(reference, a, 2, 12, 16, 128, 0);
  EXPECT_EQ(std::memcmp(picture->pixels, reference->pixels, size_t(picture->count) * 4), 0);
  for (image::Image* im : {picture, reference, a}) image::freeImage(im);
}

TEST_F(ImageLog, AnEvenScaleTurnsOnceAnUnevenOneOnlyResizes) {
  put(records_, 0, {.path = "a.png", .x = 48, .y = 32, .sw = 150, .sh = 120, .rotation = 30});
  image::Image* resized = imageLogPicture(records_.data());
  EXPECT_EQ(covered(resized), (std::array<int, 4>{36, 28, 59, 36}));  // 24 x 9 around the centre
  put(records_, 0, {.path = "a.png", .x = 48, .y = 32, .sw = 150, .sh = 150, .rotation = 30});
  image::Image* turned = imageLogPicture(records_.data());
  const std::array<int, 4> box = covered(turned);
  EXPECT_GT(box[3] - box[1] + 1, 12);  // a turned 24 x 12 picture is taller
  EXPECT_LT(box[2] - box[0] + 1, 30);
  image::freeImage(resized);
  image::freeImage(turned);
}

TEST_F(ImageLog, APageKeepsTheFirstSixteenSpritesItShowsInDrawingOrder) {
  for (int n = 0; n < 20; ++n) run("sp", std::to_string(n) + ", \"card.png\", 0, 1");
  run("sp_a", "19, 0");
  run("sp", "18, \"card.png\", 1, 1");  // the message-window layer
  run("sp_st", "17, \"card.png\", 0, 16, 8, 0, 0");
  sprite::commitAll();
  run("sp_st", "17, \"card.png\", 0, 16, 8, 500, 0");  // a timed switch under way
  advance(100);
  sprite::motionFrameStep();
  Records page{};
  EXPECT_EQ(sprite::recordImageLog(page.data(), 16), 16);
  // Back to front: the largest draw key first.
  for (int i = 0; i < 16; ++i) EXPECT_EQ(readLogRecord(page.data() + i * 192).sprite, 16 - i) << i;
}

TEST_F(ImageLog, AMovieRecordShowsTheMovieFirstFrame) {
  put(records_, 0, {.path = "m.mjpg", .x = 48, .y = 32, .kind = 2});
  image::Image* picture = imageLogPicture(records_.data());
  ASSERT_NE(picture, nullptr);
  const uint32_t centre = picture->pixels[32 * kW + 48];
  EXPECT_NEAR(int(centre >> 16 & 255), 0xC0, 6);
  EXPECT_NEAR(int(centre >> 8 & 255), 0x80, 6);
  EXPECT_NEAR(int(centre & 255), 0x20, 6);
  EXPECT_EQ(picture->pixels[0] >> 24, 0u);  // outside the 40 x 30 frame
  image::freeImage(picture);
}

TEST_F(ImageLog, GetImgLogFillsTheSpriteOrLeavesItAlone) {
  static Records page{};
  put(page, 0, {.path = "wide.png", .x = 48, .y = 32});
  snapshotTextLink().currentPage = [] { return 4; };
  snapshotTextLink().pageImages = [](int entry) -> const uint8_t* { return entry == 2 ? page.data() : nullptr; };
  run("getImgLog", "15, 1");
  EXPECT_EQ(sprite::backSlot(15), nullptr);
  run("getImgLog", "15, 2");
  sprite::commitAll();
  ASSERT_NE(sprite::frontSlot(15), nullptr);
  EXPECT_EQ(sprite::frontSlot(15)->picture->width, kW);
  EXPECT_EQ(sprite::record(15).name[1], char(2));
  EXPECT_EQ(sprite::record(15).fontFace[0], char(sprite::kKindImageLog));
  snapshotTextLink() = SnapshotTextLink{};
}

}  // namespace
}  // namespace velmora::save::test_support
