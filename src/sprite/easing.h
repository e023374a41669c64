#pragma once
// The 41 easing curves that drive motion tracks and quakes. A curve maps the
// normalised time t and the change c to the offset from the start value; all
// arithmetic is single precision so results match across platforms.
#include <cstdint>

namespace velmora::sprite {

constexpr int kEasingFirst = -20, kEasingLast = 20;
constexpr int kEasingCount = kEasingLast - kEasingFirst + 1;

inline bool validEasing(int id) { return id >= kEasingFirst && id <= kEasingLast; }

// Durations of motions and transitions are ORed with this, so that none is 0
// or 1 whatever the script asked.
constexpr int kDurationFloorBit = 2;

// Ids outside the table ease linearly; they never index it.
float easingCurve(int id, float t, float c);

// Offset after elapsed of duration ms: id 0 is the plain proportion, others
// the curve at elapsed / duration.
float easeFloat(int id, float c, float elapsed, float duration);
// The same for integer properties: id 0 in integers, curves truncated. The
// change c may take 33 bits (the distance between any two ints).
int64_t easeInt(int id, int64_t c, int elapsed, int duration);

}  // namespace velmora::sprite
