// Motion tracks and quakes under the virtual clock, without a device.
#include <cmath>

#include "platform/vclock.h"
#include "platform/platform.h"
#include "sprite/motion.h"
#include "sprite_fixture.h"

namespace velmora::sprite::test {
namespace {

class MotionTest : public SpriteTest {
 protected:
  void SetUp() override {
    SpriteTest::SetUp();
    bindMotionCoresAndTracks();
    platform::setVirtualClock(true);
    writePicture("a.png", 40, 20);
    run("sp", "1, \"a.png\", 0, 1");
    run("sp_xy", "1, 100, 50");
    commitAll();
    start = platform::nowMs();
  }
  void TearDown() override {
    clearMotion();
    platform::setVirtualClock(false);
    SpriteTest::TearDown();
  }
  // Moves the clock to ms after the start and runs one frame step.
  void at(uint32_t ms) {
    platform::advanceVirtualClock(start + ms - platform::nowMs());
    motionFrameStep();
  }
  static const Slot& front() { return *frontSlot(1); }
  uint32_t start = 0;
};

TEST_F(MotionTest, LinearGlideReachesItsTargetAfterTheStoredDuration) {
  run("sp_ax", "1, 300, 1000, 0, 0x100");
  EXPECT_EQ(record(1).trackMask, 1u);
  at(501);
  EXPECT_FLOAT_EQ(front().x, 100.0f + 200.0f * 501.0f / 1002.0f);
  EXPECT_FLOAT_EQ(backSlot(1)->x, front().x);  // both slots move
  at(1001);
  EXPECT_LT(front().x, 300.0f);
  at(1002);
  EXPECT_FLOAT_EQ(front().x, 300.0f);
  EXPECT_EQ(record(1).trackMask, 0u);
  EXPECT_FALSE(motionTrackStep());
}

TEST_F(MotionTest, DurationsAlwaysHaveBitOneSet) {
  run("sp_ay", "1, 60, 0, 0, 0x100");  // 0 behaves as 2 ms
  at(1);
  EXPECT_FLOAT_EQ(front().y, 55.0f);
  at(2);
  EXPECT_FLOAT_EQ(front().y, 60.0f);
  start = platform::nowMs();
  run("sp_ay", "1, 67, 5, 0, 0x100");  // 5 behaves as 7 ms
  at(6);
  EXPECT_FLOAT_EQ(front().y, 66.0f);
  EXPECT_EQ(record(1).trackMask, 2u);
  at(7);
  EXPECT_EQ(record(1).trackMask, 0u);
}

TEST_F(MotionTest, QueuedKeysPlayOneAfterAnother) {
  run("sp_ax", "1, 200, 98, 0, 0x100");
  run("sp_ax", "1, 300, 98, 0, 0x101");
  at(49);
  EXPECT_FLOAT_EQ(front().x, 150.0f);
  at(98);
  EXPECT_FLOAT_EQ(front().x, 200.0f);
  at(147);  // the second key started when the first ended, not when added
  EXPECT_FLOAT_EQ(front().x, 250.0f);
  at(196);
  EXPECT_FLOAT_EQ(front().x, 300.0f);
  EXPECT_EQ(record(1).trackMask, 0u);
}

TEST_F(MotionTest, RepeatCountsAndEndlessLoops) {
  run("sp_ax", "1, 200, 98, 0, 0x000");  // endless
  run("sp_ay", "1, 150, 98, 0, 0x110");  // once, then gone
  run("sp_aa", "1, 0, 98, 0, 0x210");    // a single key played twice
  at(98);
  EXPECT_EQ(record(1).trackMask, 1u | 128u);
  EXPECT_FLOAT_EQ(front().y, 150.0f);
  at(147);
  EXPECT_FLOAT_EQ(front().x, 150.0f);  // the loop restarted at 98
  EXPECT_EQ(front().alpha, 255 - 127);
  at(196);
  EXPECT_EQ(record(1).trackMask, 1u);
  EXPECT_EQ(front().alpha, 0);
  for (uint32_t t = 245; t < 98 * 40; t += 49) at(t);
  EXPECT_EQ(record(1).trackMask, 1u);
  EXPECT_TRUE(motionTrackStep());
}

TEST_F(MotionTest, DeleteAtEndRemovesTheSpriteAtTheNextCommit) {
  run("sp_aa", "1, 0, 98, 0, 0x120");
  run("sp_exist", "1, %r");
  EXPECT_EQ(var("%r"), 1);
  at(98);
  EXPECT_TRUE(record(1).pending & kPendingDelete);
  commitAll();
  EXPECT_EQ(frontSlot(1), nullptr);
  EXPECT_EQ(record(1).trackMask, 0u);
}

TEST_F(MotionTest, RefusedKeysLeaveTheSpriteAlone) {
  run("sp_ax", "1, 300, 98, 0, 1");  // append with nothing to append to
  run("sp_ax", "1, 300, 98, 0, 3");
  run("sp_ax", "1000, 300, 98, 0, 0");
  run("sp_ax", "7, 300, 98, 0, 0");
  EXPECT_EQ(record(1).trackMask, 0u);
  const std::string log = takeLog();
  EXPECT_NE(log.find("1 追加フラグが不正です"), std::string::npos) << log;
  EXPECT_NE(log.find("1000 スプライト番号が不正です"), std::string::npos) << log;
  EXPECT_NE(log.find("7 画像が読み込まれていません"), std::string::npos) << log;
}

TEST_F(MotionTest, ReplaceModesChooseWhereTheNewKeyStarts) {
  run("sp_ax", "1, 200, 98, 0, 0");
  at(49);
  run("sp_ax", "1, 400, 98, 0, 0");  // from the old target, jumping there now
  EXPECT_FLOAT_EQ(front().x, 200.0f);
  at(98);
  EXPECT_FLOAT_EQ(front().x, 300.0f);
  run("sp_ax", "1, 0, 98, 0, 2");  // from where it is now
  EXPECT_FLOAT_EQ(front().x, 300.0f);
  at(147);
  EXPECT_FLOAT_EQ(front().x, 150.0f);
}

TEST_F(MotionTest, ChangeLoopingLetsAnEndlessLoopRunOut) {
  run("sp_ax", "1, 200, 98, 0, 0x000");
  run("sp_ax", "1, 300, 98, 0, 0x101");  // append a second key
  at(98);
  run("sp_ax", "1, 400, 98, 0, 0x103");  // the first key is gone, the rest play once
  at(196);
  EXPECT_FLOAT_EQ(front().x, 300.0f);
  at(294);
  EXPECT_FLOAT_EQ(front().x, 400.0f);
  EXPECT_EQ(record(1).trackMask, 0u);
}

TEST_F(MotionTest, PropertyCommandsRetargetAndQueriesReportTheFinalValue) {
  run("sp_axy", "1, 300, 250, 1000, 3, 0x100");
  run("sp_aa", "1, 0, 1000, 0, 0");
  run("sp_awh", "1, 50, 200, 1000, 0, 0");
  at(300);
  run("sp_gxy", "1, 1, 1, %w, %h");
  EXPECT_EQ(var("%w"), 300);
  EXPECT_EQ(var("%h"), 250);
  run("sp_ga", "1, %r");
  EXPECT_EQ(var("%r"), 0);
  run("sp_gwh", "1, %w, %h");
  EXPECT_EQ(var("%w"), 50);
  EXPECT_EQ(var("%h"), 200);
  run("sp_x", "1, 500");
  run("sp_gxy", "1, 1, 1, %w, %h");
  EXPECT_EQ(var("%w"), 500);
  at(1002);
  EXPECT_FLOAT_EQ(front().x, 500.0f);
  EXPECT_FLOAT_EQ(front().y, 250.0f);
  EXPECT_FLOAT_EQ(front().scaleW, 0.5f);
}

TEST_F(MotionTest, RotationColourAlphaAndMaskTracks) {
  run("sp_arz", "1, 90, 98, 0, 0");
  run("sp_ac", "1, 0x00FF20, 98, 0, 0");  // from black: each byte eased alone
  run("sp_aa", "1, 55, 98, 0, 0");
  run("sp_am", "1, 1, 1000, 98, 0, 0");
  at(49);
  EXPECT_FLOAT_EQ(front().rotZ, -45.0f);
  EXPECT_EQ(front().colour, 0xFF007F10u);
  EXPECT_EQ(front().alpha, 155);
  EXPECT_EQ(front().vertices[0].diffuse, 0x9BFFFFFFu);
  EXPECT_EQ(front().maskProgress, 500);
  EXPECT_EQ(front().maskReverse, 1);
  at(98);
  EXPECT_FLOAT_EQ(front().rotZ, -90.0f);
  EXPECT_EQ(front().colour, 0xFF00FF20u);
  EXPECT_EQ(front().maskProgress, 1000);
}

TEST_F(MotionTest, FrameAnimationChangesOnlyWhenDrawn) {
  writePicture("f.png", 10, 40);
  run("sp", "2, \"f.png\", 0, 4");
  commitAll();
  run("sp_al", "2, 0, 98, 0, 0x000");
  run("sp_al", "2, 1, 98, 0, 0x001");
  at(200);
  EXPECT_EQ(frontSlot(2)->frame, 0);  // the frame step leaves L alone
  EXPECT_TRUE(motionTrackStep());
  EXPECT_EQ(lastFrameChanges(), 1);
  EXPECT_EQ(frontSlot(2)->frame, 1);
  EXPECT_FLOAT_EQ(frontSlot(2)->vertices[0].v0, 10.0f / float(frontSlot(2)->tileTexHeight));
  motionTrackStep();
  EXPECT_EQ(lastFrameChanges(), 0);
  at(300);
  motionTrackStep();
  EXPECT_EQ(frontSlot(2)->frame, 0);  // looped back to the first key
}

TEST_F(MotionTest, FinishingLandsEveryTrackAndReportsMotion) {
  run("sp_ax", "1, 300, 1000, 0, 0");
  run("sp_aa", "1, 10, 1000, 0, 0x020");
  run("sp_alv", "0, 999, %r");
  EXPECT_EQ(var("%r"), 1 | 128);
  run("sp_ae", "1");
  EXPECT_FLOAT_EQ(front().x, 300.0f);
  EXPECT_EQ(front().alpha, 10);
  EXPECT_EQ(record(1).endDelete, 0);
  EXPECT_TRUE(record(1).pending & kPendingDelete);
  run("sp_alv", "0, 999, %r");
  EXPECT_EQ(var("%r"), 0);
}

TEST_F(MotionTest, JumpModeLandsCountedMotionAtOnce) {
  setJumpLoading(true);
  run("sp_ax", "1, 300, 1000, 0, 0x100");
  EXPECT_FLOAT_EQ(front().x, 300.0f);
  EXPECT_EQ(record(1).trackMask, 0u);
  run("sp_ax", "1, 200, 1000, 0, 0x000");  // endless motion still plays
  EXPECT_EQ(record(1).trackMask, 1u);
  setJumpLoading(false);
}

TEST_F(MotionTest, TracksOfAnEmptiedSpriteAreDropped) {
  run("sp_ax", "1, 300, 1000, 0, 0");
  record(1).name[0] = 0;
  at(10);
  EXPECT_EQ(record(1).trackMask, 0u);
  EXPECT_NE(takeLog().find("1 画像が読み込まれていません(imList2)"), std::string::npos);
}

TEST_F(MotionTest, SpriteQuakeSwingsOutAndBack) {
  run("sp_qx", "1, 10, 100, 2, 0, 0, 0");
  float ox = 0, oy = 0;
  at(25);
  EXPECT_TRUE(quakeOffset(1, front(), ox, oy));
  EXPECT_FLOAT_EQ(ox, 5.0f);
  EXPECT_FLOAT_EQ(oy, 0.0f);
  at(75);
  quakeOffset(1, front(), ox, oy);
  EXPECT_FLOAT_EQ(ox, 5.0f);
  at(100);  // first period over
  at(150);  // the peak, half way through
  quakeOffset(1, front(), ox, oy);
  EXPECT_FLOAT_EQ(ox, 10.0f);
  at(175);
  quakeOffset(1, front(), ox, oy);
  EXPECT_FLOAT_EQ(ox, 5.0f);
  at(200);  // the last period ends the quake
  EXPECT_FALSE(quakeOffset(1, front(), ox, oy));
  EXPECT_FALSE(motionTrackStep());
}

TEST_F(MotionTest, QuarterPeriodQuakeSwingsBothWays) {
  run("sp_qy", "1, 8, 100, 0, 0, 1, 10");  // 10 ms delay
  float ox = 0, oy = 0;
  at(5);
  quakeOffset(1, front(), ox, oy);
  EXPECT_FLOAT_EQ(oy, 0.0f);
  at(10 + 60);  // third quarter: the other side
  quakeOffset(1, front(), ox, oy);
  EXPECT_FLOAT_EQ(oy, -8.0f * 10.0f / 25.0f);
}

TEST_F(MotionTest, ScreenQuakeReachesItsTargetsUntilStopped) {
  writePicture("w.png", 8, 8);
  run("sp", "2, \"w.png\", 1, 1");  // window layer
  run("sp", "3, \"w.png\", 3, 1");  // window layer kept out of quakes
  commitAll();
  run("sc_qx", "1, 10, 100, 0, 0, 0, 0");
  float ox = 0, oy = 0;
  at(25);
  EXPECT_TRUE(quakeOffset(1, front(), ox, oy));
  EXPECT_FLOAT_EQ(ox, 5.0f);
  EXPECT_FALSE(quakeOffset(2, *frontSlot(2), ox, oy));
  run("sc_qy", "2, 4, 100, 0, 0, 0, 0");
  at(25 + 25);  // started at 25
  EXPECT_TRUE(quakeOffset(2, *frontSlot(2), ox, oy));
  EXPECT_FLOAT_EQ(oy, 2.0f);
  EXPECT_FALSE(quakeOffset(3, *frontSlot(3), ox, oy));
  for (uint32_t t = 100; t < 5000; t += 100) at(t);
  EXPECT_TRUE(quakeOffset(1, front(), ox, oy));  // count 0 never ends
  setQuakeSuppressed(true);
  EXPECT_FALSE(quakeOffset(1, front(), ox, oy));
  setQuakeSuppressed(false);
  run("sc_qx", "1, 0, 100, 0, 0, 0, 0");
  run("sc_qy", "1, 0, 100, 0, 0, 0, 0");
  EXPECT_FALSE(quakeOffset(1, front(), ox, oy));
}

// Values at the ends of int: differences in 64 bits, conversions saturating
// (the sanitizer build stops at any overflow here).
TEST_F(MotionTest, HostileValuesStayDefined) {
  run("sp_ax", "1, -2147483648, 2147483647, 1000, 0");
  at(1000);
  EXPECT_NEAR(front().x, 100.0f - 1000.0f, 1.0f);  // towards INT_MIN, not wrapped
  run("sp_arz", "1, -2147483648, 10, 0, 0");
  run("sp_ae", "1");
  EXPECT_FLOAT_EQ(front().rotZ, 2147483647.0f);
  run("sp_xy", "1, 2147483647, -2147483648");
  run("sp_wh", "1, 2147483647, 100");
  commitAll();
  run("sp_ay", "1, 0, 100, 9, 0x100");  // starts from y as an int
  run("sp_qx", "1, -2147483648, 2147483647, -2147483648, 9, 1, -2147483648");
  run("sc_qy", "1, 2147483647, 10, 2147483647, -9, 0, 2147483647");
  at(1050);
  EXPECT_TRUE(std::isfinite(front().y));
  uint8_t record[192] = {};
  ASSERT_EQ(recordImageLog(record, 1), 1);
  auto field = [&](int at) { return record[at] | record[at + 1] << 8; };
  EXPECT_EQ(field(128), 0xFFFF);  // x saturated at INT_MAX
  EXPECT_EQ(field(132), 0xFFFF);  // so is the width percentage
  EXPECT_EQ(field(136), 0x0000);  // the negated rotation at INT_MIN
}

class SwitchTest : public MotionTest {
 protected:
  void SetUp() override {
    MotionTest::SetUp();
    writePicture("b.png", 40, 20, 200);
    run("sp_st", "3, \"a.png\", 0, 60, 30, 0, 0");
    run("sp_a", "3, 77");
    commitAll();
    start = platform::nowMs();
    run("sp_st", "3, \"b.png\", 0, 60, 30, 98, 10");  // 10 ms delay
  }
  void TearDown() override {
    setSwitchBlendOnGpu(true);
    MotionTest::TearDown();
  }
  // Red of the canvas pixel where the picture's top-left lands.
  static int redShown() { return int(frontSlot(3)->picture->pixels[10 * 60 + 10] >> 16 & 255); }
};

TEST_F(SwitchTest, CrossFadeRunsAfterItsDelayAndLandsTheNewPicture) {
  EXPECT_STREQ(record(3).name, "a.png");  // nothing loaded yet
  EXPECT_EQ(record(3).trackMask, 1u << 11);
  at(5);
  EXPECT_EQ(record(3).linked, 0);
  at(10 + 49);
  EXPECT_EQ(record(3).linked, 129);
  EXPECT_EQ(record(3).pending, uint32_t(kPendingLinked));
  EXPECT_STREQ(record(3).name, "b.png");
  EXPECT_EQ(redShown(), 0);  // the draw code blends the slots
  ASSERT_NE(backSlot(3)->picture, nullptr);
  EXPECT_EQ(backSlot(3)->picture->pixels[10 * 60 + 10] >> 16 & 255, 200u);
  run("sp_x", "3, 33");  // both slots while linked
  EXPECT_FLOAT_EQ(frontSlot(3)->x, 33.0f);
  at(10 + 98);
  EXPECT_EQ(record(3).linked, 0);
  EXPECT_EQ(record(3).trackMask, 0u);
  EXPECT_EQ(redShown(), 200);
  EXPECT_EQ(frontSlot(3)->alpha, 77);
  EXPECT_EQ(frontSlot(3)->vertices[0].diffuse, 0x4DFFFFFFu);
  EXPECT_FLOAT_EQ(frontSlot(3)->x, 33.0f);
}

TEST_F(SwitchTest, WithoutShadersTheFrontSlotShowsAPixelBlend) {
  setSwitchBlendOnGpu(false);
  at(10 + 49);
  EXPECT_NEAR(redShown(), 200 * 129 / 256, 2);
  EXPECT_EQ(frontSlot(3)->upload & kUploadPixels, kUploadPixels);
  at(10 + 98);
  EXPECT_EQ(redShown(), 200);
  EXPECT_EQ(backSlot(3)->picture->pixels[10 * 60 + 10] >> 16 & 255, 0u);  // the old picture, intact
}

TEST_F(SwitchTest, FinishingEndsASwitchWithTheNewPicture) {
  setSwitchBlendOnGpu(false);
  at(10 + 30);
  run("sp_ae", "3");
  EXPECT_EQ(record(3).linked, 0);
  EXPECT_EQ(record(3).pending, 0u);
  EXPECT_EQ(redShown(), 200);
  EXPECT_EQ(backSlot(3)->picture, nullptr);
  at(10 + 98);
  EXPECT_EQ(redShown(), 200);
}

TEST_F(MotionTest, MotionBlurSwitchGoesToItsHandler) {
  static int seen = -1;
  installSpriteHooks({.motionBlur = [](bool on, int strength) { seen = on ? strength : 0; }});
  run("sc_mb", "1, 0x1C0");
  EXPECT_EQ(seen, 0xC0);
  run("sc_mb", "0, 5");
  EXPECT_EQ(seen, 0);
  installSpriteHooks({});
}

}  // namespace
}  // namespace velmora::sprite::test
