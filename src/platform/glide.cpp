#include "platform/glide.h"

#include <atomic>
#include <cmath>
#include <thread>

#include "platform/internal_steps.h"
#include "platform/platform.h"
#include "platform/threads.h"

namespace velmora::platform {
namespace {

// Where a glide goes and where the cursor was put last; the thread owns its
// copy, and in single-thread mode stepCursorGlide steps the state's.
struct GlideMove {
  int x0 = 0, y0 = 0, dx = 0, dy = 0;
  unsigned duration = 0, start = 0;
  int lastX = 0, lastY = 0;
};

struct GlideState {
  std::thread worker;
  std::atomic<bool> running{false};  // set before the glide starts, cleared at its end
  GlideMove stepped;                 // single-thread mode
  GlideHooks hooks;
};
GlideState glideState;

// Puts the cursor where the glide is now; false once it has arrived.
bool glideStep(GlideMove& g) {
  const unsigned elapsed = platform::nowMs() - g.start;
  if (elapsed >= g.duration) {
    platform::warpCursor(g.x0 + g.dx, g.y0 + g.dy);
    return false;
  }
  double t = static_cast<double>(elapsed) / g.duration;
  double p = 1 - (1 - t) * (1 - t) * (1 - t);
  int x = g.x0 + static_cast<int>(p * g.dx), y = g.y0 + static_cast<int>(p * g.dy);
  if (x != g.lastX || y != g.lastY) {
    platform::warpCursor(x, y);
    g.lastX = x;
    g.lastY = y;
  }
  return true;
}

void glide(GlideMove g) {
  while (glideStep(g)) platform::sleepMs(1);
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
  const GlideMove move{x0, y0, dx, dy, glideDuration(speed, dx, dy), platform::nowMs(), x0, y0};
  glideState.running.store(true);
  if (singleThread()) glideState.stepped = move;
  else glideState.worker = startThread(glide, move);
}

uint32_t stepCursorGlide() {
  if (!glideState.running.load()) return kNoStepDue;
  if (glideStep(glideState.stepped)) return kWorkerStepSliceMs;
  glideState.running.store(false);
  return kNoStepDue;
}

bool cursorGlideRunning() { return glideState.running.load(); }

void joinCursorGlide() {
  if (glideState.worker.joinable()) glideState.worker.join();
  while (singleThread() && glideState.running.load()) {
    stepCursorGlide();
    if (glideState.running.load()) platform::sleepMs(1);
  }
}

}  // namespace velmora::platform
