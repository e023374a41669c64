// Easing curves: ends, midpoints, mirror relations between the in/out forms.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>

#include "sprite/easing.h"

namespace velmora::sprite {
namespace {

constexpr float kC = 100.0f;

float at(int id, float t, float c = kC) { return easingCurve(id, t, c); }

// Any change and any start: t = 0 gives the start and t = 1 the end, exactly,
// for the float curves, the integer rule and a track's value built on them.
TEST(Easing, EveryCurveEndsExactlyForAnyStartAndChange) {
  std::mt19937 random(912);
  std::uniform_real_distribution<float> wide(-1e6f, 1e6f);
  std::uniform_int_distribution<int> ints(-(1 << 20), 1 << 20);
  std::uniform_int_distribution<int> durations(1, 100000);
  for (int round = 0; round < 2000; ++round) {
    const float c = round < 4 ? std::array{0.0f, -0.0f, 1e-30f, 2.1e9f}[round] : wide(random);
    const int start = ints(random), change = ints(random), duration = durations(random);
    for (int id = kEasingFirst; id <= kEasingLast; ++id) {
      ASSERT_EQ(at(id, 0, c), 0.0f) << "id " << id << " c " << c;
      ASSERT_EQ(at(id, 1, c), c) << "id " << id << " c " << c;
      ASSERT_EQ(easeFloat(id, c, 0, float(duration)), 0.0f) << "id " << id << " c " << c;
      ASSERT_EQ(easeFloat(id, c, float(duration), float(duration)), c) << "id " << id << " c " << c;
      ASSERT_EQ(start + easeInt(id, change, 0, duration), start) << "id " << id;
      ASSERT_EQ(start + easeInt(id, change, duration, duration), start + change) << "id " << id;
    }
  }
  // Changes past float precision still land on the integer end.
  for (int id = kEasingFirst; id <= kEasingLast; ++id)
    EXPECT_EQ(easeInt(id, 16777217, 7, 7), 16777217) << "id " << id;
}

TEST(Easing, MidpointsOfTheInAndOutForms) {
  struct Mid {
    int id;
    float value;
  };
  const Mid mids[] = {
      {0, 50.0f},       {1, 70.71068f},   {-1, 29.28932f},  {2, 75.0f},     {-2, 25.0f},
      {3, 87.5f},       {-3, 12.5f},      {4, 93.75f},      {-4, 6.25f},    {5, 96.875f},
      {-5, 3.125f},     {6, 96.875f},     {-6, 3.125f},     {7, 86.60254f}, {-7, 13.39746f},
      {9, 108.76975f},  {-9, -8.76975f},  {10, 76.5625f},   {-10, 23.4375f},
      // 100 + 100 * 2^-5 * sin((0.5 - 0.3 / pi^2) * 2 pi / 0.3)
      {8, 98.75269f},
      // u = 1 takes the second branch: 100 + 50 * sin((1 - 0.45 / pi^2) * 2 pi / 0.45)
      {18, 134.43316f},
  };
  for (const Mid& m : mids) EXPECT_NEAR(at(m.id, 0.5f), m.value, 1e-3f) << "id " << m.id;
}

TEST(Easing, InOutAndOutInFormsPassHalfwayAtTheMiddle) {
  for (int family = 1; family <= 10; ++family) {
    if (family != 8) {
      EXPECT_NEAR(at(family + 10, 0.5f), kC / 2, 1e-3f) << "in-out " << family + 10;
    }
    EXPECT_NEAR(at(-(family + 10), 0.5f), kC / 2, 1e-3f) << "out-in " << -(family + 10);
  }
}

TEST(Easing, OutIsTheMirrorOfIn) {
  for (int family = 1; family <= 10; ++family) {
    if (family == 8) continue;  // elastic: its phase is not symmetric
    for (float t : {0.1f, 0.25f, 0.5f, 0.75f, 0.9f}) {
      EXPECT_NEAR(at(family, t), kC - at(-family, 1 - t), 1e-3f) << "family " << family << " t " << t;
      EXPECT_NEAR(at(family + 10, t), kC - at(family + 10, 1 - t), 1e-3f) << "in-out " << family << " t " << t;
      EXPECT_NEAR(at(-(family + 10), t), kC - at(-(family + 10), 1 - t), 1e-3f) << "out-in " << family;
    }
  }
}

TEST(Easing, ElasticIsNotSymmetricInTheSignOfTheChange) {
  const float up = at(8, 0.1f, 100), down = at(8, 0.1f, -100);
  EXPECT_GT(std::fabs(up + down), 1.0f);
  // The sine takes t itself: elastic in at 0.5 with the pi-squared phase.
  EXPECT_NEAR(at(-8, 0.5f), 1.2473f, 1e-3f);
  // Negative changes: the phase 0.3 / 4 puts the sine at 5 pi / 6, one half.
  EXPECT_NEAR(at(8, 0.5f, -100), -100 - 100 * 0.03125f * 0.5f, 1e-3f);
  EXPECT_NEAR(at(-8, 0.5f, -100), 100 * 0.03125f * 0.5f, 1e-3f);
  // In-out: the phase 0.45 / 4 puts it at 4 pi - pi / 18, sin = -sin(10 deg).
  EXPECT_NEAR(at(18, 0.5f, -100), -100 + 50 * 0.17364818f, 1e-3f);
  // Out-in at the middle is half the change whatever its sign.
  EXPECT_NEAR(at(-18, 0.5f, -100), -50.0f, 1e-3f);
}

TEST(Easing, LinearRuleAndInvalidIds) {
  EXPECT_EQ(easeInt(0, 200, 501, 1002), 100);
  EXPECT_EQ(easeInt(0, -200, 1, 1002), 0);  // truncated toward zero
  EXPECT_FLOAT_EQ(easeFloat(0, 200, 1, 1002), 200.0f / 1002.0f);
  EXPECT_EQ(easeInt(10, 100, 1, 2), 76);  // bounce out at 0.5, truncated
  EXPECT_FLOAT_EQ(at(21, 0.25f), 25.0f);
  EXPECT_FLOAT_EQ(at(-99, 0.25f), 25.0f);
}

}  // namespace
}  // namespace velmora::sprite
