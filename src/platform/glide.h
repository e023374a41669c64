#pragma once
// Moving the system cursor to a point, at once or in an ease-out glide on a
// thread of its own.

namespace velmora::platform {

// What the glide asks the display: a logical-screen point in desktop
// coordinates (without it the point is used as it is).
struct GlideHooks {
  void (*mapScreenPoint)(int& x, int& y) = nullptr;
};
void installGlideHooks(const GlideHooks& hooks);
const GlideHooks& glideHooks();

// speed 0 places the cursor at once; otherwise the glide lasts
// ((speed * floor(distance)) | 16) >> 3 ms. A new glide waits for the last.
void glideCursor(int x, int y, int speed, bool convert);
// True while a glide thread still moves the cursor.
bool cursorGlideRunning();
// Waits for a running glide to reach its target (release, tests).
void joinCursorGlide();

// The duration of a glide over (dx, dy) at the given speed, in ms.
unsigned glideDuration(int speed, int dx, int dy);

}  // namespace velmora::platform
