// The custom cursor of the CursorFile setting.
#include <string>
#include <vector>

#include "base/settings.h"
#include "base/textconv.h"
#include "image/image.h"
#include "platform/input.h"
#include "platform/platform.h"
#include "render/window/cursor_file.h"
#include "render/window/window_events.h"
#include "resource/resource.h"
#include "sprite/picture.h"

namespace velmora::render {
namespace {

struct CursorState {
  std::vector<CursorFrame> frames;  // more than one: animated
  size_t shown = 0;
  uint32_t since = 0;
};
CursorState cursorState;

bool endsWith(const std::string& s, const char* tail) {
  const size_t n = std::char_traits<char>::length(tail);
  return s.size() >= n && s.compare(s.size() - n, n, tail) == 0;
}

bool show(const CursorFrame& f) { return platform::setColourCursor(f.pixels, f.width, f.height, f.hotX, f.hotY); }

// .cur and .ani come from the disk or the archives alike.
bool loadCursorResource(const std::string& name, bool animated) {
  std::string bytes;
  if (!resource::loadFileS(name.c_str(), bytes)) return false;
  const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
  std::vector<CursorFrame> frames(1);
  const bool ok = animated ? parseAnimatedCursor(data, bytes.size(), frames) : parseCursor(data, bytes.size(), frames[0]);
  if (!ok) return false;
  cursorState.frames = std::move(frames);
  return true;
}

bool loadCursorPicture(const std::string& name) {
  image::Image* picture = sprite::loadWholePicture(name.c_str(), nullptr, false);
  if (!picture) return false;
  cursorState.frames = {cursorFromPicture(*picture)};
  image::freeImage(picture);
  return true;
}

}  // namespace

bool applyCursorFile() {
  cursorState = CursorState{};
  const std::string& name = settingText(SettingKey::CursorFile);
  if (name.empty()) {
    platform::setDefaultCursor();
    return true;
  }
  const bool animated = endsWith(name, ".ani");
  const bool loaded = animated || endsWith(name, ".cur") ? loadCursorResource(name, animated) : loadCursorPicture(name);
  if (!loaded) {
    cursorState = CursorState{};
    platform::setDefaultCursor();
    return false;
  }
  // Without cursor support (headless) the arrow stays, but the cursor is
  // still the game's and animates should the system take it later.
  if (!show(cursorState.frames[0])) platform::setDefaultCursor();
  cursorState.since = platform::nowMs();
  return true;
}

const CursorFrame* customCursor() { return cursorState.frames.empty() ? nullptr : &cursorState.frames[0]; }

void cursorTick() {
  if (cursorState.frames.size() < 2) return;
  const uint32_t now = platform::nowMs();
  if (now - cursorState.since < cursorState.frames[cursorState.shown].durationMs) return;
  cursorState.shown = (cursorState.shown + 1) % cursorState.frames.size();
  cursorState.since = now;
  show(cursorState.frames[cursorState.shown]);
}

}  // namespace velmora::render
