#include "platform/glide.h"

#include <atomic>
#include <cmath>
#include <thread>

#include "platform/platform.h"

namespace velmora::platform {
namespace {

struct GlideState {
  std::thread worker;
  std::atomic<bool> running{false};  // set before the thread starts, cleared by it at the end
  GlideHooks hooks;
};
GlideState glideState;

// The thread owns copies of its parameters; nothing is shared while it runs.
void glide(int x0, int y0, int dx, int dy, unsigned duration, unsigned start) {
  int lastX = x0, lastY = y0;
  for (unsigned elapsed = platform::nowMs() - start; elapsed < duration; elapsed = platform::nowMs() - start) {
    double t = static_cast<double>(elapsed) / duration;
    double p = 1 - (1 - t) * (1 - t) * (1 - t);
    int x = x0 + static_cast<int>(p * dx), y = y0 + static_cast<int>(p * dy);
    if (x == lastX && y == lastY) {
      platform::sleepMs(1);
    } else {
      platform::warpCursor(x, y);
      lastX = x;
      lastY = y;
    }
  }
  platform::warpCursor(x0 + dx, y0 + dy);
  glideState.running.store(false);
}

}  // namespace

void installGlideHooks(const GlideHooks& hooks) { glideState.hooks = hooks; }
const GlideHooks& glideHooks() { return glideState.hooks; }

unsigned glideDuration(int speed, int dx, int dy) {
  double d = std::sqrt(static_cast<double>(dx) * dx + static_cast<double>(dy) * dy);
  return (static_cast<unsigned>(speed * static_cast<int>(d)) | 16u) >> 3;
}

void glideCursor(int x, int y, int speed, bool convert) {
  if (convert) {
    if (glideState.hooks.mapScreenPoint) glideState.hooks.mapScreenPoint(x, y);
    if (x < -3000 || y < -3000) {
      int w, h;
      platform::monitorSize(w, h);
      x = w / 2;
      y = h / 2;
    }
  }
  joinCursorGlide();
  if (speed == 0) {
    platform::warpCursor(x, y);
    return;
  }
  int x0, y0;
  platform::cursorPosition(x0, y0);
  int dx = x - x0, dy = y - y0;
  glideState.running.store(true);
  glideState.worker = std::thread(glide, x0, y0, dx, dy, glideDuration(speed, dx, dy), platform::nowMs());
}

bool cursorGlideRunning() { return glideState.running.load(); }

void joinCursorGlide() {
  if (glideState.worker.joinable()) glideState.worker.join();
}

}  // namespace velmora::platform
