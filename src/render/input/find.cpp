#include "render/input/find.h"

#include "base/pump.h"
#include "base/encoding.h"
#include "base/sjis.h"
#include "base/textconv.h"
#include "platform/input.h"
#include "render/display.h"
#include "render/input/internal.h"

namespace velmora::render {
namespace {

struct FindState {
  FindBox box;
  bool answered = false;
  int flags = 0;
  std::string answer;
};
FindState findState;

constexpr int kBoxWidth = 360, kBoxHeight = 96;

int baseFlags() { return (findState.box.down ? kFindDown : 0) | (findState.box.wholeWord ? kFindWholeWord : 0); }

void answer(int flags) {
  findState.answered = true;
  findState.flags = flags;
  findState.answer = findState.box.text;
}

bool inside(const render::Rect& r, int x, int y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }

void clickAt(int lx, int ly) {
  for (int c = 0; c < kFindControlCount; ++c) {
    if (!inside(findControlRect(c), lx, ly)) continue;
    switch (c) {
      case kFindWholeWordBox: toggleFindWholeWord(); break;
      case kFindDownBox: toggleFindDown(); break;
      case kFindNextButton: findNext(); break;
      case kFindCancelButton: closeFindBox(); break;
      default: break;
    }
  }
}

}  // namespace

bool findBoxTakesMessage(WindowMessage& m) {
  if (!findState.box.open) return false;
  int lx = 0, ly = 0;
  render::windowToLogicalPoint(m.x, m.y, lx, ly);
  switch (m.message) {
    case kMsgChar: findTypeText(m.text); return true;
    case kMsgKeyDown:
      if (m.code == kVkEnter) findNext();
      else if (m.code == kVkEscape) closeFindBox();
      else if (m.code == kVkBackspace) findBackspace();
      return true;
    case kMsgKeyUp: return true;
    case kMsgMouseMove:
      findState.box.hot = -1;
      for (int c = 0; c < kFindControlCount; ++c)
        if (inside(findControlRect(c), lx, ly)) findState.box.hot = c;
      return inside(findBoxRect(), lx, ly);
    case kMsgLeftDown: return inside(findBoxRect(), lx, ly);
    case kMsgLeftUp:
      if (!inside(findBoxRect(), lx, ly)) return false;
      clickAt(lx, ly);
      return true;
    default: return false;
  }
}

const FindBox& findBox() { return findState.box; }

void openFindBox() {
  if (findState.box.open) return;
  findState.box = FindBox{};
  findState.box.open = true;
  platform::startTextInput();
}

void findNext() {
  if (findState.box.open) answer(kFindNext | baseFlags());
}

void closeFindBox() {
  if (!findState.box.open) return;
  answer(kFindClosed | baseFlags());
  findState.box.open = false;
  platform::stopTextInput();
}

void toggleFindWholeWord() { findState.box.wholeWord = !findState.box.wholeWord; }
void toggleFindDown() { findState.box.down = !findState.box.down; }

void findTypeText(const std::string& utf8) {
  const std::string add = utf8ToGame(utf8);
  if (findState.box.text.size() + add.size() < kFindBufferSize) findState.box.text += add;
}

void findBackspace() {
  std::string& t = findState.box.text;
  size_t last = 0, i = 0;
  if (t.empty()) return;
  while (i < t.size()) {
    last = i;
    i += charLength(t, i);
  }
  t.erase(last);
}

bool takeFindAnswer(InputEvent& event) {
  if (!findState.answered) return false;
  findState.answered = false;
  event = InputEvent{263, findState.flags, 0, findState.answer};
  return true;
}

void postFindAnswer(int flags, const std::string& text) {
  findState.answered = true;
  findState.flags = flags;
  findState.answer = text;
}

render::Rect findBoxRect() {
  const render::Geometry& g = render::geometry();
  const int w = g.screenWidth > 0 ? g.screenWidth : 800;
  const int left = (w - kBoxWidth) / 2, top = 40;
  return {left, top, left + kBoxWidth, top + kBoxHeight};
}

render::Rect findControlRect(int control) {
  const render::Rect b = findBoxRect();
  switch (control) {
    case kFindField: return {b.left + 10, b.top + 28, b.right - 100, b.top + 48};
    case kFindWholeWordBox: return {b.left + 10, b.top + 60, b.left + 130, b.top + 76};
    case kFindDownBox: return {b.left + 140, b.top + 60, b.left + 250, b.top + 76};
    case kFindNextButton: return {b.right - 90, b.top + 28, b.right - 10, b.top + 48};
    case kFindCancelButton: return {b.right - 90, b.top + 56, b.right - 10, b.top + 76};
    default: return {};
  }
}

}  // namespace velmora::render
