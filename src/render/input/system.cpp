// System services: cursor, keys, clock, sleep, clipboard and the Find box.
#include <algorithm>
#include <ctime>

#include "bindings/bridge.h"
#include "bindings/catalogue.h"
#include "platform/glide.h"
#include "base/pump.h"
#include "base/report.h"
#include "base/settings.h"
#include "base/state.h"
#include "base/textconv.h"
#include "platform/events.h"
#include "platform/input.h"
#include "platform/platform.h"
#include "render/display.h"
#include "render/input/find.h"
#include "render/input/internal.h"
#include "render/display_settings.h"

namespace velmora::render {
namespace {

using namespace velmora::bindings;
void cmd_setCursorPos(CommandContext c) {
  if (cursorGlideSpeed() == 0) return;
  platform::glideCursor(intArg(c, 1), intArg(c, 2), intArg(c, 3), true);
}

void cmd_getCursorPos(CommandContext c) {
  int cx = 0, cy = 0, lx = 0, ly = 0;
  platform::clientCursor(cx, cy);
  render::windowToLogicalPoint(cx, cy, lx, ly);
  beginList(c);
  intResult(c, 1, lx);
  appendListElement(c);
  intResult(c, 2, ly);
  appendListElement(c);
}

// The high byte of the asynchronous key state: 0x80 while down.
void cmd_getPushKey(CommandContext c) {
  intResult(c, 2, platform::keyDown(intArg(c, 1)) ? 0x80 : 0);
}

void cmd_getLocalTime(CommandContext c) {
  std::time_t now = std::time(nullptr);
  std::tm t{};
  localtime_r(&now, &t);
  const int values[6] = {t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec};
  beginList(c);
  for (int i = 0; i < 6; ++i) {
    intResult(c, i + 1, values[i]);
    appendListElement(c);
  }
}

void cmd_getWeek(CommandContext c) {
  std::tm t{};
  t.tm_year = intArg(c, 1) - 1900;
  t.tm_mon = intArg(c, 2) - 1;
  t.tm_mday = intArg(c, 3);
  t.tm_isdst = -1;
  std::mktime(&t);
  intResult(c, 4, t.tm_wday);
}

void cmd_getStartTime(CommandContext c) {
  intResult(c, 1, static_cast<int32_t>(startClock()));
}

void cmd_getTimer(CommandContext c) {
  intResult(c, 1, static_cast<int32_t>(platform::nowMs() - startClock()));
}

void cmd_timeGetTime(CommandContext c) {
  intResult(c, 1, static_cast<int32_t>(platform::nowMs()));
}

void cmd_sleep(CommandContext c) {
  const int32_t ms = intArg(c, 1);
  WindowMessage& msg = messageRecord();
  msg.message = kMsgNone;
  if (drainWindowMessages(msg) == 0) {
    quitRequest = 1;
    return;
  }
  // In slices, so that a termination signal need not wait for a long sleep.
  constexpr int32_t kSlice = 50;
  for (int32_t left = ms; left > 0 && !platform::quitSignal(); left -= kSlice)
    platform::sleepMs(static_cast<uint32_t>(std::min(left, kSlice)));
}

void cmd_setClipboard(CommandContext c) {
  platform::setClipboardText(gameToUtf8(stringArg(c, 1)));
}

void cmd_findText(CommandContext) {
  openFindBox();
}

const CoreBinding kSystemCores[] = {
    {"setCursorPos", cmd_setCursorPos}, {"getCursorPos", cmd_getCursorPos}, {"getPushKey", cmd_getPushKey},
    {"getLocalTime", cmd_getLocalTime}, {"getWeek", cmd_getWeek},           {"getStartTime", cmd_getStartTime},
    {"getTimer", cmd_getTimer},         {"timeGetTime", cmd_timeGetTime},   {"sleep", cmd_sleep},
    {"setClipboard", cmd_setClipboard}, {"findText", cmd_findText},
};

}  // namespace

void bindInputCoresAndWheel() {
  bindButtonCores();
  bindCores(kSystemCores);
  waitSettings().wheelThreshold = wheelThreshold();
}

}  // namespace velmora::render
