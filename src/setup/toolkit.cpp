#include "setup/toolkit.h"

#include <algorithm>

#include "base/state.h"
#include "base/textconv.h"
#include "image/image.h"
#include "platform/events.h"
#include "platform/input.h"
#include "platform/platform.h"
#include "platform/window.h"
#include "setup/font.h"

namespace velmora::setup {
namespace {

constexpr uint32_t kFace = 0xFFF0F0F0, kText = 0xFF000000, kGrey = 0xFF9A9A9A, kEdge = 0xFF707070;
constexpr uint32_t kWhite = 0xFFFFFFFF, kSelected = 0xFF3070C0, kButton = 0xFFE1E1E1;

bool inside(const render::Rect& r, int x, int y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }

bool focusable(const Control& c) { return c.enabled && c.kind != ControlKind::GroupBox && c.kind != ControlKind::Static; }

void fill(image::Image& im, render::Rect r, uint32_t colour) {
  for (int y = std::max(r.top, 0); y < std::min(r.bottom, im.height); ++y)
    for (int x = std::max(r.left, 0); x < std::min(r.right, im.width); ++x) im.pixels[y * im.width + x] = colour;
}

void frame(image::Image& im, render::Rect r, uint32_t colour) {
  fill(im, {r.left, r.top, r.right, r.top + 1}, colour);
  fill(im, {r.left, r.bottom - 1, r.right, r.bottom}, colour);
  fill(im, {r.left, r.top, r.left + 1, r.bottom}, colour);
  fill(im, {r.right - 1, r.top, r.right, r.bottom}, colour);
}

// Radios in one group: a run of radios between other controls.
void chooseRadio(Dialog& d, size_t index) {
  size_t first = index, last = index;
  while (first > 0 && d.controls[first - 1].kind == ControlKind::Radio && d.controls[first - 1].id / 100 == d.controls[index].id / 100) --first;
  while (last + 1 < d.controls.size() && d.controls[last + 1].kind == ControlKind::Radio && d.controls[last + 1].id / 100 == d.controls[index].id / 100) ++last;
  for (size_t i = first; i <= last; ++i) d.controls[i].checked = i == index;
}

int activate(Dialog& d, size_t index) {
  Control& c = d.controls[index];
  if (!c.enabled) return -1;
  if (c.kind == ControlKind::Radio) chooseRadio(d, index);
  else if (c.kind == ControlKind::Check) c.checked = !c.checked;
  return c.id;
}

int hitTest(const Dialog& d, int x, int y) {
  for (size_t i = d.controls.size(); i-- > 0;)
    if (focusable(d.controls[i]) && inside(d.controls[i].rect, x, y)) return static_cast<int>(i);
  return -1;
}

void moveFocus(Dialog& d, int step) {
  const int n = static_cast<int>(d.controls.size());
  for (int k = 1; k <= n; ++k) {
    const int i = ((d.focus + step * k) % n + n) % n;
    if (focusable(d.controls[static_cast<size_t>(i)])) {
      d.focus = i;
      return;
    }
  }
}

int visibleRows(const Control& c, int rowHeight) { return std::max((c.rect.height() - 4) / rowHeight, 1); }

// Keeps the selected row in view.
void scrollToSelected(Control& c, int rowHeight) {
  const int rows = visibleRows(c, rowHeight);
  if (c.selected >= 0 && c.selected < c.first) c.first = c.selected;
  if (c.selected >= c.first + rows) c.first = c.selected - rows + 1;
  c.first = std::clamp(c.first, 0, std::max(static_cast<int>(c.items.size()) - rows, 0));
}

int listClick(Control& c, int y, int rowHeight) {
  const int row = (y - c.rect.top - 2) / rowHeight;
  if (row >= 0 && row < visibleRows(c, rowHeight) && c.first + row < static_cast<int>(c.items.size()))
    c.selected = c.first + row;
  return c.id;
}

int listKey(Control& c, int vk, int rowHeight) {
  const int page = visibleRows(c, rowHeight);
  const int step = vk == 38 ? -1 : vk == 40 ? 1 : vk == 33 ? -page : page;
  c.selected = std::clamp(c.selected + step, 0, static_cast<int>(c.items.size()) - 1);
  scrollToSelected(c, rowHeight);
  return c.id;
}

int listWheel(Dialog& d, const WindowMessage& m) {
  for (Control& c : d.controls) {
    if (c.kind != ControlKind::ListBox || !inside(c.rect, m.x, m.y)) continue;
    const int rowHeight = d.fontHeight + 2;
    const int notches = wheelDelta(m) / 120;
    c.first = std::clamp(c.first - 3 * notches, 0, std::max(static_cast<int>(c.items.size()) - visibleRows(c, rowHeight), 0));
    return -1;
  }
  return -1;
}

int keyInput(Dialog& d, int vk) {
  if (vk == kVkTab) return moveFocus(d, platform::keyDown(kVkShift) ? -1 : 1), -1;
  if (d.focus < 0) return -1;
  Control& c = d.controls[static_cast<size_t>(d.focus)];
  if (c.kind == ControlKind::ListBox && (vk == 38 || vk == 40 || vk == 33 || vk == 34) && !c.items.empty())
    return listKey(c, vk, d.fontHeight + 2);
  if (vk == kVkSpace || (vk == kVkEnter && c.kind == ControlKind::Button)) return activate(d, static_cast<size_t>(d.focus));
  return -1;
}

void drawControl(const Dialog& d, const Control& c, bool focused, image::Image& im) {
  const render::Rect all{0, 0, im.width, im.height};
  const int fh = d.fontHeight;
  const uint32_t ink = c.enabled ? kText : kGrey;
  switch (c.kind) {
    case ControlKind::GroupBox:
      frame(im, {c.rect.left, c.rect.top + fh / 2, c.rect.right, c.rect.bottom}, kEdge);
      fill(im, {c.rect.left + 6, c.rect.top, c.rect.left + 10 + textWidth(c.text, fh), c.rect.top + fh}, kFace);
      drawText(im, c.rect.left + 8, c.rect.top, c.text, fh, ink, all);
      break;
    case ControlKind::Radio:
    case ControlKind::Check: {
      const int box = fh - 2, top = c.rect.top + (c.rect.height() - box) / 2;
      const render::Rect b{c.rect.left, top, c.rect.left + box, top + box};
      fill(im, b, kWhite);
      frame(im, b, kEdge);
      if (c.checked) fill(im, {b.left + 3, b.top + 3, b.right - 3, b.bottom - 3}, ink);
      drawText(im, b.right + 2, c.rect.top + (c.rect.height() - fh) / 2, c.text, fh, ink, all);
      if (focused) frame(im, {b.right + 2, c.rect.top, c.rect.right, c.rect.bottom}, kGrey);
      break;
    }
    case ControlKind::Button: {
      fill(im, c.rect, kButton);
      frame(im, c.rect, focused ? kSelected : kEdge);
      const int w = textWidth(c.text, fh);
      drawText(im, c.rect.left + (c.rect.width() - w) / 2, c.rect.top + (c.rect.height() - fh) / 2, c.text, fh, ink, c.rect);
      break;
    }
    case ControlKind::Static: {
      // Lines break at "\n".
      int y = c.rect.top;
      size_t start = 0;
      while (start <= c.text.size()) {
        const size_t end = c.text.find('\n', start);
        drawText(im, c.rect.left, y, std::string_view(c.text).substr(start, end == std::string::npos ? std::string::npos : end - start), fh, ink, c.rect);
        if (end == std::string::npos) break;
        start = end + 1;
        y += fh;
      }
      break;
    }
    case ControlKind::ListBox: {
      fill(im, c.rect, kWhite);
      frame(im, c.rect, focused ? kSelected : kEdge);
      const int rows = visibleRows(c, fh + 2);
      for (size_t i = static_cast<size_t>(std::max(c.first, 0)); i < c.items.size() && static_cast<int>(i) < c.first + rows; ++i) {
        const int y = c.rect.top + 2 + (static_cast<int>(i) - c.first) * (fh + 2);
        const render::Rect row{c.rect.left + 1, y, c.rect.right - 1, y + fh + 2};
        if (static_cast<int>(i) == c.selected) fill(im, row, kSelected);
        drawText(im, row.left + 3, y + 1, c.items[i], fh, static_cast<int>(i) == c.selected ? kWhite : ink, c.rect);
      }
      break;
    }
  }
}

}  // namespace


Control* findControl(Dialog& d, int id) {
  for (Control& c : d.controls)
    if (c.id == id) return &c;
  return nullptr;
}

int dialogInput(Dialog& d, const WindowMessage& m) {
  switch (m.message) {
    case kMsgLeftDown: {
      const int i = hitTest(d, m.x, m.y);
      if (i < 0) return -1;
      d.focus = i;
      Control& c = d.controls[static_cast<size_t>(i)];
      if (c.kind == ControlKind::Button) return d.pressed = i, -1;
      if (c.kind == ControlKind::ListBox) return listClick(c, m.y, d.fontHeight + 2);
      return activate(d, static_cast<size_t>(i));
    }
    case kMsgLeftUp: {
      const int held = d.pressed;
      d.pressed = -1;
      if (held >= 0 && hitTest(d, m.x, m.y) == held) return activate(d, static_cast<size_t>(held));
      return -1;
    }
    case kMsgKeyDown: return keyInput(d, static_cast<int>(m.code & 0xFF));
    case kMsgWheel: return listWheel(d, m);
    default: return -1;
  }
}

void drawDialog(const Dialog& d, image::Image& target) {
  fill(target, {0, 0, target.width, target.height}, kFace);
  for (size_t i = 0; i < d.controls.size(); ++i)
    drawControl(d, d.controls[i], static_cast<int>(i) == d.focus, target);
}

bool runDialogWindow(Dialog& d, bool topmost, const DialogLoop& loop) {
  if (runOptions().headless) return false;
  if (!platform::createDialogWindow(gameToUtf8(d.title), d.width, d.height, topmost)) return false;
  openFace("ＭＳ ゴシック");
  if (d.focus < 0) moveFocus(d, 1);
  image::Image* canvas = image::createImage(d.width, d.height, 32);
  bool dirty = true;
  while (!loop.done()) {
    WindowMessage m;
    if (platform::pollMessage(m)) {
      if (m.message == kMsgQuit) {
        quitRequest = 1;
        break;
      }
      if (m.message == kMsgClose) loop.close();
      if (m.message == kMsgDisplayChange && loop.displayChanged) loop.displayChanged();
      const int id = dialogInput(d, m);
      if (id >= 0) loop.act(id);
      dirty = true;
      continue;
    }
    if (loop.idle) loop.idle();
    if (dirty && canvas) {
      drawDialog(d, *canvas);
      platform::presentDialogWindow(canvas->pixels, d.width, d.height);
      dirty = false;
    }
    platform::sleepMs(1);
  }
  image::freeImage(canvas);
  platform::destroyDialogWindow();
  return true;
}

}  // namespace velmora::setup
