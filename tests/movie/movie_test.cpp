// Movies in sprites on a virtual clock: the frame shown at each time,
// compared with a direct decode; the embedded sound; failures.
#include <ogg/ogg.h>
#include <theora/theoradec.h>

#include <algorithm>
#include <cmath>

#include "audio/audio.h"
#include "audio/internal.h"
#include "audio/sound_files.h"
#include "movie/movie.h"
#include "movie_pack.h"
#include "platform/platform.h"
#include "platform/threads.h"
#include "platform/vclock.h"
#include "sprite/motion.h"
#include "sprite/sprite_fixture.h"
#include "theora_encode.h"

namespace velmora::movie {
namespace {

using Pixels = std::vector<uint32_t>;

// Frame f: a colour ramp across, a band whose height and hue tell the frame.
void drawFrame(int f, int w, int h, Pixels& px) {
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      bool band = y < (f * 7) % h;
      uint32_t r = uint32_t(x * 255 / w), g = band ? uint32_t((f * 37 + 128) % 256) : 40u, b = uint32_t(y * 255 / h);
      px[size_t(y * w + x)] = 0xFF000000u | r << 16 | g << 8 | b;
    }
}

// Every frame of the stream decoded with libtheora straight through,
// converted with the textbook BT.601 formula.
std::vector<Pixels> referenceDecode(const std::string& ogg) {
  ogg_sync_state oy;
  ogg_sync_init(&oy);
  std::memcpy(ogg_sync_buffer(&oy, long(ogg.size())), ogg.data(), ogg.size());
  ogg_sync_wrote(&oy, long(ogg.size()));
  ogg_stream_state os;
  th_info ti;
  th_comment tc;
  th_setup_info* setup = nullptr;
  th_info_init(&ti);
  th_comment_init(&tc);
  th_dec_ctx* dec = nullptr;
  bool started = false;
  int headers = 0;
  std::vector<Pixels> frames;
  ogg_page og;
  while (ogg_sync_pageout(&oy, &og) == 1) {
    if (!started) ogg_stream_init(&os, ogg_page_serialno(&og)), started = true;
    ogg_stream_pagein(&os, &og);
    ogg_packet op;
    while (ogg_stream_packetout(&os, &op) == 1) {
      if (headers < 3) {
        th_decode_headerin(&ti, &tc, &setup, &op);
        if (++headers == 3) dec = th_decode_alloc(&ti, setup);
        continue;
      }
      th_decode_packetin(dec, &op, nullptr);
      th_ycbcr_buffer yuv;
      th_decode_ycbcr_out(dec, yuv);
      Pixels px(size_t(ti.pic_width * ti.pic_height));
      for (uint32_t y = 0; y < ti.pic_height; ++y)
        for (uint32_t x = 0; x < ti.pic_width; ++x) {
          double Y = yuv[0].data[(ti.pic_y + y) * uint32_t(yuv[0].stride) + ti.pic_x + x];
          double Cb = yuv[1].data[((ti.pic_y + y) / 2) * uint32_t(yuv[1].stride) + (ti.pic_x + x) / 2];
          double Cr = yuv[2].data[((ti.pic_y + y) / 2) * uint32_t(yuv[2].stride) + (ti.pic_x + x) / 2];
          auto c = [](double v) { return uint32_t(std::clamp(std::lround(v), 0l, 255l)); };
          double l = 1.164 * (Y - 16);
          px[y * ti.pic_width + x] = 0xFF000000u | c(l + 1.596 * (Cr - 128)) << 16 |
                                     c(l - 0.392 * (Cb - 128) - 0.813 * (Cr - 128)) << 8 | c(l + 2.017 * (Cb - 128));
        }
      frames.push_back(std::move(px));
    }
  }
  th_decode_free(dec);
  th_setup_free(setup);
  th_comment_clear(&tc);
  th_info_clear(&ti);
  ogg_stream_clear(&os);
  ogg_sync_clear(&oy);
  return frames;
}

// Largest difference of any channel of any pixel.
int worstDifference(const image::Image* got, const Pixels& want) {
  if (!got || size_t(got->count) != want.size()) return 999;
  int worst = 0;
  for (size_t i = 0; i < want.size(); ++i)
    for (int sh = 0; sh <= 16; sh += 8)
      worst = std::max(worst, std::abs(int(got->pixels[i] >> sh & 255) - int(want[i] >> sh & 255)));
  return worst;
}

// Each test runs with worker threads and, as in a browser page without
// them, with the workers stepped by the frame step: the same frames, no thread.
class Movies : public sprite::test::SpriteTest, public ::testing::WithParamInterface<bool> {
 protected:
  void SetUp() override {
    SpriteTest::SetUp();
    platform::setSingleThread(GetParam());
    threadsBefore = platform::threadsStarted();
    static bool bound = false;
    if (!bound) bindMovieCores(), audio::bindSoundCores(), bound = true;
    sprite::installSpriteHooks({.stopMovie = stopAndRemove, .moviePlaying = moviePlaying});
    platform::setVirtualClock(true);
    audio::setManualWorkers(true);
    audio::createChannels();
    origin = platform::nowMs();
  }
  void TearDown() override {
    releaseMovies();
    audio::releaseSound();
    if (GetParam()) EXPECT_EQ(platform::threadsStarted(), threadsBefore);
    platform::setSingleThread(false);
    platform::setVirtualClock(false);
    SpriteTest::TearDown();
  }
  // Moves the clock to origin + ms, runs one frame step and commits.
  const image::Image* at(uint32_t ms, int n = 5) {
    platform::advanceVirtualClock(origin + ms - platform::nowMs());
    movieFrameStep();
    sprite::commitAll();
    const sprite::Slot* s = sprite::frontSlot(n);
    return s ? s->picture : nullptr;
  }
  static std::string theoraMovie(int w, int h, int fps, int frames, const std::string& sound = {}) {
    std::string ogg = tools::encodeTheora(w, h, fps, 1, frames, [&](int f, Pixels& px) { drawFrame(f, w, h, px); });
    std::string out, error;
    EXPECT_TRUE(tools::buildTheoraMovie(ogg, sound, out, error)) << error;
    video = ogg;
    return out;
  }
  static inline std::string video;
  uint32_t origin = 0;
  uint64_t threadsBefore = 0;
};

TEST_P(Movies, TheoraShowsTheFrameOfItsTime) {
  // 300 frames over 10000 ms: frame 150 five seconds in.
  velmora::test::writeFile("m.thor", theoraMovie(32, 24, 30, 300));
  std::vector<Pixels> ref = referenceDecode(video);
  ASSERT_EQ(ref.size(), 300u);
  run("sp_ani", "5, \"m.thor\", 0, 1, 0, 0");
  MovieInfo info;
  ASSERT_TRUE(movieInfo(5, info));
  EXPECT_EQ(info.mode, 4);
  EXPECT_EQ(info.frameCount, 300);
  EXPECT_EQ(info.duration, 10000);
  for (uint32_t ms : {0u, 40u, 1000u, 5000u, 5040u, 9999u, 2500u, 20000u}) {
    const size_t frame = std::min<size_t>(ms * 300 / 10000, 299);
    EXPECT_LE(worstDifference(at(ms), ref[frame]), 3) << ms;
    // The frame before differs, so the match is not by chance.
    if (frame > 0) {
      EXPECT_GT(worstDifference(at(ms), ref[frame - 1]), 20) << ms << " " << frame;
    }
  }
  // Theora movies hold their last frame until they are stopped.
  EXPECT_TRUE(movieInfo(5, info));
  EXPECT_EQ(std::string(sprite::record(5).name), "m.thor");
  EXPECT_EQ(sprite::record(5).fontFace[0], sprite::kKindMovie);
  // A picture load stops the movie first, whether or not the picture loads.
  run("sp", "5, \"none.png\", 0, 1");
  EXPECT_FALSE(movieInfo(5, info));
}

TEST_P(Movies, DelayedStartShowsNothingNewForASecond) {
  velmora::test::writeFile("m.thor", theoraMovie(32, 24, 10, 20));
  std::vector<Pixels> ref = referenceDecode(video);
  run("sp_ani", "7, \"m.thor\", 0, 1, 0, 1000");
  for (uint32_t ms : {0u, 500u, 999u}) {
    const image::Image* p = at(ms, 7);
    ASSERT_TRUE(p);
    EXPECT_TRUE(std::all_of(p->pixels, p->pixels + p->count, [](uint32_t v) { return v == 0xFF000000u; })) << ms;
  }
  EXPECT_LE(worstDifference(at(1000, 7), ref[0]), 3);
  EXPECT_LE(worstDifference(at(1550, 7), ref[5]), 3);
}

// sp_alv counts a Theora movie until its duration has passed; then it holds
// its last picture and a script waiting on sp_alv goes on.
TEST_P(Movies, TheoraMovesUntilItsDurationAndThenHoldsItsLastFrame) {
  sprite::bindMotionCoresAndTracks();
  velmora::test::writeFile("m.thor", theoraMovie(32, 24, 10, 20));  // 2000 ms
  std::vector<Pixels> ref = referenceDecode(video);
  run("sp_ani", "5, \"m.thor\", 0, 1, 0, 0");
  for (uint32_t ms : {0u, 1000u, 1999u}) {
    at(ms);
    run("sp_alv", "0, 999, %r");
    EXPECT_EQ(var("%r"), 1) << ms;
  }
  for (uint32_t ms : {2000u, 5000u}) {
    EXPECT_LE(worstDifference(at(ms), ref[19]), 3) << ms;
    run("sp_alv", "0, 999, %r");
    EXPECT_EQ(var("%r"), 0) << ms;
  }
  MovieInfo info;
  EXPECT_TRUE(movieInfo(5, info));  // still in its sprite
}

// Text pictures replace a movie's picture like any load: ssp and logsp load
// one, ssp_reset and logsp_reset replace the shown one.
TEST_P(Movies, TextPicturesStopTheMovieTheyReplace) {
  velmora::test::writeFile("m.thor", theoraMovie(32, 24, 10, 20));
  MovieInfo info;
  run("sp_ani", "5, \"m.thor\", 0, 1, 0, 0");
  at(100);
  ASSERT_TRUE(sprite::loadTextPicture(5, image::createImage(8, 8, 32), 0));
  EXPECT_FALSE(movieInfo(5, info));
  run("sp_ani", "5, \"m.thor\", 0, 1, 0, 0");
  at(200);
  ASSERT_TRUE(movieInfo(5, info));
  ASSERT_TRUE(sprite::replaceFrontPicture(5, image::createImage(8, 8, 32)));
  EXPECT_FALSE(movieInfo(5, info));
}

// Three JPEG frames and a repeat: times 0, 100, 200 (repeat), 300; 400 ms.
std::string mjpgMovie(std::vector<Pixels>& shown, const std::string& sound = {}) {
  std::vector<tools::MjpgFrame> frames;
  for (int f = 0; f < 4; ++f) {
    image::Image* im = image::createImage(40, 30, 24);
    Pixels px(1200);
    drawFrame(f * 3 + 1, 40, 30, px);
    std::copy(px.begin(), px.end(), im->pixels);
    image::saveImage("frame.jpg", im, image::kSaveJpeg, 24, 90, 0);
    image::freeImage(im);
    std::string bytes = velmora::test::readFile("frame.jpg");
    image::Image* decoded = image::loadImage(reinterpret_cast<const unsigned char*>(bytes.data()), int(bytes.size()));
    const uint32_t* pixels = decoded->pixels;  // the record is packed: no reference to the field
    shown.emplace_back(pixels, pixels + decoded->count);
    for (uint32_t& v : shown.back()) v |= 0xFF000000u;
    image::freeImage(decoded);
    frames.push_back({uint32_t(f * 100), f == 2 ? std::string() : bytes});
  }
  shown[2] = shown[1];
  std::string out, error;
  EXPECT_TRUE(tools::buildMjpgMovie(frames, 400, sound, out, error)) << error;
  return out;
}

TEST_P(Movies, MjpgEveryModeShowsTheDecodedFrames) {
  std::vector<Pixels> shown;
  velmora::test::writeFile("m.mjpg", mjpgMovie(shown));
  // mode 0 decodes ahead, 1 decodes while playing from memory, 2 streams the file.
  for (int mode : {0, 1, 2}) {
    origin = platform::nowMs();
    run("sp_ani", "6, \"m.mjpg\", 0, 1, " + std::to_string(mode) + ", 0");
    for (uint32_t ms : {0u, 99u, 100u, 250u, 399u}) {
      size_t frame = std::min<size_t>(ms / 100, 3);
      EXPECT_EQ(worstDifference(at(ms, 6), shown[frame]), 0) << mode << " " << ms;
    }
    at(400, 6);
    at(420, 6);  // the worker has ended; the sprite goes at the next commit
    MovieInfo info;
    EXPECT_FALSE(movieInfo(6, info)) << mode;
    EXPECT_EQ(sprite::slot(6, 0), nullptr) << mode;
  }
}

TEST_P(Movies, MjpgPlaysRepeatAndEndlessKeepsRunning) {
  std::vector<Pixels> shown;
  velmora::test::writeFile("m.mjpg", mjpgMovie(shown));
  run("sp_ani", "6, \"m.mjpg\", 0, 0, 1, 0");
  for (int round = 0; round < 3; ++round) {
    EXPECT_EQ(worstDifference(at(round * 400 + 5, 6), shown[0]), 0) << round;
    EXPECT_EQ(worstDifference(at(round * 400 + 310, 6), shown[3]), 0) << round;
  }
  MovieInfo info;
  EXPECT_TRUE(movieInfo(6, info));
  run("sp_d", "6");
  sprite::commitAll();
  EXPECT_FALSE(movieInfo(6, info));
}

TEST_P(Movies, EmbeddedSoundPlaysOnChannelZero) {
  std::vector<int16_t> samples;
  for (int f = 0; f < 8000; ++f) samples.push_back(int16_t(f)), samples.push_back(int16_t(-f));
  velmora::test::writeFile("s.thor", theoraMovie(32, 24, 10, 10, velmora::test::waveBytes(samples, 2, 44100)));
  run("sp_ani", "5, \"s.thor\", 0, 1, 0, 0");
  audio::ChannelSnapshot ch = audio::channelSnapshot(0);
  EXPECT_EQ(ch.name, "s.thor");
  EXPECT_EQ(ch.state, audio::kPlaying);
  audio::stepWorkers();
  std::vector<int16_t> out(2 * 441);
  audio::mix(out.data(), 441);
  for (size_t f = 0; f < 441; ++f) ASSERT_EQ(out[2 * f], int16_t(f)) << f;
  // Deleting the movie's sprite takes its sound with it.
  run("sp_d", "5");
  sprite::commitAll();
  EXPECT_EQ(audio::channelSnapshot(0).name, "");

  // A movie without sound leaves channel 0 alone.
  velmora::test::writeFile("a.wav", velmora::test::waveBytes(samples, 2, 44100));
  audio::openSound(0, "a.wav");
  velmora::test::writeFile("q.thor", theoraMovie(32, 24, 10, 10));
  run("sp_ani", "5, \"q.thor\", 0, 1, 0, 0");
  EXPECT_EQ(audio::channelSnapshot(0).name, "a.wav");
}

TEST_P(Movies, BadFilesAreReportedAndNothingPlays) {
  takeLog();
  run("sp_ani", "5, \"missing.thor\", 0, 1, 0, 0");
  EXPECT_NE(takeLog().find("5 No such file or directory"), std::string::npos);
  velmora::test::writeFile("short.thor", "THOR0000");
  run("sp_ani", "5, \"short.thor\", 0, 1, 0, 0");
  EXPECT_NE(takeLog().find("5 ファイルが読み込めませんでした"), std::string::npos);
  velmora::test::writeFile("riff.thor", "RIFF" + std::string(60, '\0'));
  run("sp_ani", "5, \"riff.thor\", 0, 1, 0, 0");
  EXPECT_NE(takeLog().find("5 動画形式が不正です 46464952"), std::string::npos);
  std::string broken = theoraMovie(32, 24, 10, 10);
  broken.resize(60);
  velmora::test::writeFile("cut.thor", broken);
  run("sp_ani", "5, \"cut.thor\", 0, 1, 0, 0");
  EXPECT_NE(takeLog().find("uTheoraLib::load"), std::string::npos);
  broken.resize(44);  // a header and no stream at all
  velmora::test::writeFile("empty.thor", broken);
  run("sp_ani", "5, \"empty.thor\", 0, 1, 0, 0");
  EXPECT_NE(takeLog().find("uTheoraLib::load"), std::string::npos);
  MovieInfo info;
  EXPECT_FALSE(movieInfo(5, info));
  sprite::commitAll();
  EXPECT_EQ(sprite::slot(5, 0), nullptr);
}

TEST_P(Movies, JumpModeLeavesAPlaceholder) {
  sprite::setJumpLoading(true);
  run("sp_ani", "8, \"m.thor\", 0, 1, 0, 0");  // not even opened
  sprite::setJumpLoading(false);
  sprite::commitAll();
  const sprite::Slot* s = sprite::frontSlot(8);
  ASSERT_TRUE(s);
  EXPECT_EQ(s->imageWidth, 1);
  EXPECT_EQ(std::string(sprite::record(8).name), "m.thor");
  EXPECT_EQ(takeLog(), "");
}

INSTANTIATE_TEST_SUITE_P(Workers, Movies, ::testing::Values(false, true),
                         [](const auto& p) { return p.param ? "SingleThread" : "Threads"; });

}  // namespace
}  // namespace velmora::movie
