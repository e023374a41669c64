// Easing curves: ends, midpoints, mirror relations between the in/out forms.
#include <gtest/gtest.h>

#include <cmath>

#include "sprite/easing.h"

namespace velmora::sprite {
namespace {

constexpr float kC = 100.0f;

float at(int id, float t, float c = kC) { return easingCurve(id, t, c); }

TEST(Easing, EveryCurveStartsAtZeroAndEndsAtTheChange) {
  for (float c : {1.0f, 100.0f, -100.0f, 1000.0f, -7.0f}) {
    for (int id = kEasingFirst; id <= kEasingLast; ++id) {
      const float tolerance = 1e-5f * std::fabs(c) + 1e-6f;
      EXPECT_NEAR(at(id, 0, c), 0.0f, tolerance) << "id " << id << " c " << c;
      EXPECT_NEAR(at(id, 1, c), c, tolerance) << "id " << id << " c " << c;
      EXPECT_EQ(std::lround(at(id, 1, c)), std::lround(c)) << "id " << id;
    }
  }
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
  };
  for (const Mid& m : mids) EXPECT_NEAR(at(m.id, 0.5f), m.value, 1e-3f) << "id " << m.id;
}

TEST(Easing, InOutAndOutInFormsPassHalfwayAtTheMiddle) {
  for (int family = 1; family <= 10; ++family) {
    if (family != 8) EXPECT_NEAR(at(family + 10, 0.5f), kC / 2, 1e-3f) << "in-out " << family + 10;
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
