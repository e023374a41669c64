#include "setup/overlay.h"

#include <algorithm>
#include <string>
#include <vector>

#include "base/textconv.h"
#include "image/image.h"
#include "render/geometry.h"
#include "render/input/buttons.h"
#include "render/input/find.h"
#include "render/render.h"
#include "render/window/menu_bar.h"
#include "setup/font.h"
#include "setup/messages.h"

namespace velmora::setup {
namespace {

using render::Rect;

constexpr uint32_t kBar = 0xF0202020, kPanel = 0xF8303030, kInk = 0xFFFFFFFF, kGreyInk = 0xFF808080;
constexpr uint32_t kHot = 0xFF3070C0, kTipPanel = 0xFFFFFFE1, kTipInk = 0xFF000000, kBoxFace = 0xFFF0F0F0;

// One picture per drawn piece, placed at its rectangle. The steps are
// recorded and their recipe hands them to the renderer, which paints them
// only when the recipe is new: an idle window costs no pixels.
class Piece {
 public:
  explicit Piece(const Rect& r) : at_(r) {}
  ~Piece() {
    render::drawOverlayPicture(at_.left, at_.top, std::max(at_.width(), 1), std::max(at_.height(), 1), recipe_,
                               [this](image::Image& im) { paint(im); });
  }
  void fill(Rect r, uint32_t colour) { add({r, colour, 0, {}}); }
  void frame(Rect r, uint32_t colour) {
    fill({r.left, r.top, r.right, r.top + 1}, colour);
    fill({r.left, r.bottom - 1, r.right, r.bottom}, colour);
    fill({r.left, r.top, r.left + 1, r.bottom}, colour);
    fill({r.right - 1, r.top, r.right, r.bottom}, colour);
  }
  void text(int x, int y, const std::string& sjis, uint32_t colour, int height = render::kMenuFontHeight) {
    add({{x, y, x, y}, colour, height, sjis});
  }

 private:
  struct Step {
    Rect r;  // a text's top-left is r.left, r.top
    uint32_t colour;
    int textHeight;  // 0: a fill
    std::string text;
  };

  void add(Step s) {
    for (int v : {s.r.left, s.r.top, s.r.right, s.r.bottom, static_cast<int>(s.colour), s.textHeight,
                  static_cast<int>(s.text.size())})
      recipe_.append(reinterpret_cast<const char*>(&v), sizeof v);
    recipe_ += s.text;
    steps_.push_back(std::move(s));
  }

  void paint(image::Image& im) const {
    for (const Step& s : steps_) {
      if (s.textHeight > 0) {
        drawText(im, s.r.left - at_.left, s.r.top - at_.top, s.text, s.textHeight, s.colour, {0, 0, im.width, im.height});
        continue;
      }
      for (int y = std::max(s.r.top - at_.top, 0); y < std::min(s.r.bottom - at_.top, im.height); ++y)
        for (int x = std::max(s.r.left - at_.left, 0); x < std::min(s.r.right - at_.left, im.width); ++x)
          im.pixels[y * im.width + x] = s.colour;
    }
  }

  Rect at_;
  std::vector<Step> steps_;
  std::string recipe_;
};

void drawRow(Piece& p, const Rect& row, const render::MenuItem& item, bool hot) {
  if (!item.command) {
    p.fill({row.left + 4, row.top + 3, row.right - 4, row.top + 4}, kGreyInk);
    return;
  }
  if (hot && !item.greyed) p.fill(row, kHot);
  if (item.checked) p.text(row.left + 6, row.top + 4, sj(item.radio ? "●" : "√"), kInk);
  p.text(row.left + 24, row.top + 4, item.label, item.greyed ? kGreyInk : kInk);
}

void drawMenuBar(int width) {
  const render::MenuBarLayout l = render::menuBarLayout(width);
  const render::MenuModel& m = render::currentMenu();
  const render::MenuBarInteraction& in = render::menuBarInteraction();
  {
    Piece bar(l.bar);
    bar.fill(l.bar, kBar);
    if (in.dropdown) bar.fill(l.title, kHot);
    bar.text(l.title.left + 8, 4, m.title, kInk);
    if (l.lock.width() > 0) bar.text(l.lock.left + 8, 4, m.lockLabel, kInk);
  }
  if (!in.dropdown) return;
  {
    Piece drop(l.dropdown);
    drop.fill(l.dropdown, kPanel);
    for (size_t i = 0; i < l.submenuRows.size(); ++i) {
      const Rect& r = l.submenuRows[i];
      if (static_cast<int>(i) == in.submenu) drop.fill(r, kHot);
      drop.text(r.left + 8, r.top + 4, sj("＜"), kInk);
      drop.text(r.left + 24, r.top + 4, m.submenus[i].label, kInk);
    }
    if (!l.systemRows.empty()) drop.fill({l.dropdown.left + 4, l.systemRows[0].top - 4, l.dropdown.right - 4, l.systemRows[0].top - 3}, kGreyInk);
    const std::vector<render::MenuItem> system = render::systemMenuItems();
    for (size_t i = 0; i < l.systemRows.size() && i < system.size(); ++i) drawRow(drop, l.systemRows[i], system[i], false);
  }
  if (in.submenu < 0 || l.itemRows.empty()) return;
  Piece items(l.items);
  items.fill(l.items, kPanel);
  const render::Submenu& s = m.submenus[static_cast<size_t>(in.submenu)];
  for (size_t i = 0; i < l.itemRows.size(); ++i) drawRow(items, l.itemRows[i], s.items[i], static_cast<int>(i) == in.hotItem);
}

Rect toWindow(const Rect& r) {
  Rect out;
  render::logicalToWindow(render::geometry(), r.left, r.top, out.left, out.top);
  render::logicalToWindow(render::geometry(), r.right, r.bottom, out.right, out.bottom);
  return out;
}

void drawTooltip(int width, int height) {
  const render::Tooltip& t = render::tooltip();
  if (!t.shown || t.text.empty()) return;
  const Rect hot = toWindow(t.rect);
  const int w = textWidth(t.text, 12) + 10, h = 20;
  int left = std::clamp(hot.left, 0, std::max(width - w, 0)), top = hot.bottom + 4;
  if (top + h > height) top = std::max(hot.top - h - 4, 0);
  const Rect box{left, top, left + w, top + h};
  Piece tip(box);
  tip.fill(box, kTipPanel);
  tip.frame(box, kTipInk);
  tip.text(left + 5, top + 4, t.text, kTipInk);
}

void drawCheck(Piece& p, const Rect& r, bool on, UiText label) {
  const Rect b{r.left, r.top + 2, r.left + 12, r.top + 14};
  p.fill(b, kInk);
  p.frame(b, kTipInk);
  if (on) p.fill({b.left + 3, b.top + 3, b.right - 3, b.bottom - 3}, kTipInk);
  p.text(b.right + 4, r.top + 2, uiText(label), kTipInk);
}

void drawFindBox() {
  const render::FindBox& f = render::findBox();
  if (!f.open) return;
  const Rect box = toWindow(render::findBoxRect());
  Piece p(box);
  p.fill(box, kBoxFace);
  p.frame(box, kTipInk);
  p.text(box.left + 10, box.top + 8, uiText(UiText::FindWhat), kTipInk);
  const Rect field = toWindow(render::findControlRect(render::kFindField));
  p.fill(field, kInk);
  p.frame(field, kGreyInk);
  p.text(field.left + 4, field.top + 4, f.text, kTipInk);
  drawCheck(p, toWindow(render::findControlRect(render::kFindWholeWordBox)), f.wholeWord, UiText::WholeWord);
  drawCheck(p, toWindow(render::findControlRect(render::kFindDownBox)), f.down, UiText::FindDown);
  const std::pair<int, UiText> buttons[] = {{render::kFindNextButton, UiText::FindNext}, {render::kFindCancelButton, UiText::Cancel}};
  for (const auto& [id, label] : buttons) {
    const Rect r = toWindow(render::findControlRect(id));
    p.fill(r, f.hot == id ? 0xFFD8E6F8 : 0xFFE1E1E1);
    p.frame(r, kGreyInk);
    p.text(r.left + (r.width() - textWidth(uiText(label), 12)) / 2, r.top + 4, uiText(label), kTipInk);
  }
}

}  // namespace

void drawOverlays(int width, int height) {
  if (!openFace("ＭＳ ゴシック")) return;
  drawTooltip(width, height);
  drawFindBox();
  if (render::menuBarVisible()) drawMenuBar(width);
}

}  // namespace velmora::setup
