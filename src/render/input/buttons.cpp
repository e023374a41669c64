#include "render/input/buttons.h"
#include "render/input/internal.h"

#include <string>

#include "core/report.h"
#include "core/textconv.h"
#include "image/image.h"
#include "platform/input.h"
#include "render/messages.h"
#include "render/render.h"
#include "sprite/sprite.h"

namespace velmora::input {
namespace {

ButtonState B;
Tooltip T;

constexpr size_t kMaxTooltip = 255;

// The slot a button reads: what is on screen, else what the script prepared.
const sprite::Slot* buttonSlot(int n) {
  if (!sprite::validNumber(n)) return nullptr;
  const sprite::Slot* s = sprite::frontSlot(n);
  return s && s->picture ? s : sprite::afterSlot(n);
}

// Width and height in logical pixels: high-resolution pictures count at the
// global image scale.
void logicalSize(const sprite::Slot& s, int& w, int& h) {
  w = s.width, h = s.height;
  const float ratio = sprite::screenFacts().pictureRatio;
  if (s.resolution == 2 && ratio > 0.0f) {
    w = static_cast<int>(static_cast<float>(w) / ratio);
    h = static_cast<int>(static_cast<float>(h) / ratio);
  }
}

int anchorOf(float origin) { return origin <= 0.0f ? 0 : origin >= 2.0f ? 2 : 1; }

// The alpha byte under a logical point; false (reported) when the offset
// lies outside the pixel buffer.
bool alphaAt(const ButtonRecord& r, const image::Image& im, int x, int y, int& alpha) {
  const int64_t offset = ((static_cast<int64_t>(y) - r.hot.top) * im.width + (x - r.hot.left)) * 4 + 3;
  const int64_t limit = static_cast<int64_t>(im.width) * im.height * 4;
  if (offset < 0 || offset >= limit) {
    std::string d = "(" + std::to_string(y) + "-" + std::to_string(r.hot.top) + ")*" + std::to_string(im.width) +
                    " + (" + std::to_string(x) + "-" + std::to_string(r.hot.left) + ")*4+3=" +
                    std::to_string(offset) + ">" + std::to_string(limit) + " sp" + std::to_string(r.sprite);
    printError(d);
    return false;
  }
  alpha = static_cast<int>(im.pixels[offset / 4] >> 24);
  return true;
}

// A hidden message window takes its buttons with it.
bool onHiddenWindow(const sprite::Slot& s) {
  const bool windowLayer = s.loadFlags & (sprite::kLoadWindowLayer | sprite::kLoadWindowLayerQuake);
  return windowLayer && !(render::windowVisibleFlags() & 1);
}

bool hits(const ButtonRecord& r, int x, int y) {
  if (x < r.hot.left || x >= r.hot.right || y < r.hot.top || y >= r.hot.bottom) return false;
  const sprite::Slot* s = buttonSlot(r.sprite);
  if (s && onHiddenWindow(*s)) return false;
  if (r.alphaThreshold == 0) return true;
  if (!s || !s->picture) return false;
  int alpha = 0;
  return alphaAt(r, *s->picture, x, y, alpha) && alpha >= r.alphaThreshold;
}

}  // namespace

ButtonState& buttons() { return B; }

void resetButtons() {
  B = ButtonState{};
  T = Tooltip{};
}

bool computeHotRect(int n, ButtonRecord& r) {
  const sprite::Slot* s = buttonSlot(n);
  if (!s) {
    reportError(std::to_string(n) + render::messageText(render::Message::NoPicture));
    return false;
  }
  // The slot holds a running track's current value, so no track lookup is needed.
  int x = static_cast<int>(s->x), y = static_cast<int>(s->y);
  int w = 0, h = 0;
  logicalSize(*s, w, h);
  const int ax = anchorOf(s->originX), ay = anchorOf(s->originY);
  if (s->group > 0) {
    if (const sprite::Slot* p = buttonSlot(s->group)) {
      int pw = 0, ph = 0;
      logicalSize(*p, pw, ph);
      x += static_cast<int>(p->x) - ((pw * anchorOf(p->originX)) >> 1);
      y += static_cast<int>(p->y) - ((ph * anchorOf(p->originY)) >> 1);
    }
  }
  r.hot.left = x - ((w * ax) >> 1);
  r.hot.top = y - ((h * ay) >> 1);
  r.hot.right = r.hot.left + w;
  r.hot.bottom = r.hot.top + h;
  r.centreX = r.hot.left + (w >> 1);
  r.centreY = r.hot.top + (h >> 1);
  return true;
}

bool setButton(int button, int n, int options) {
  ButtonRecord r;
  if (!computeHotRect(n, r)) return false;
  r.number = static_cast<uint8_t>(button);
  r.alphaThreshold = static_cast<uint8_t>(options & 255);
  r.keySkip = static_cast<uint8_t>((options >> 8) & 15);
  r.arrowMask = static_cast<uint8_t>((options >> 12) & 15);
  r.sprite = n;
  B.records[static_cast<size_t>(button & 255)] = r;
  B.map[n] = button & 255;
  return true;
}

bool buttonShown(int button) {
  const ButtonRecord& r = B.records[static_cast<size_t>(button & 255)];
  const sprite::Slot* s = sprite::validNumber(r.sprite) ? sprite::frontSlot(r.sprite) : nullptr;
  if (!s || !s->picture) return false;
  if (sprite::record(r.sprite).pending & sprite::kPendingDelete) return false;
  return !onHiddenWindow(*s);
}

int buttonAt(int lx, int ly) {
  for (const auto& [n, button] : B.map)
    if (hits(B.records[static_cast<size_t>(button)], lx, ly)) return button;
  return -1;
}

void selectByKeys(int button) {
  B.current = button;
  B.keyHeld = button >= 0;
  platform::clientCursor(B.heldX, B.heldY);
}

void postTooltip(const ButtonRecord& r) {
  T.rect = r.hot;
  T.text = r.tooltip;
  T.shown = !r.tooltip.empty();
}

const Tooltip& tooltip() { return T; }
void hideTooltip() { T.shown = false; }

void setTooltipText(int button, std::string_view text) {
  ButtonRecord& r = B.records[static_cast<size_t>(button & 255)];
  r.tooltip.assign(text.substr(0, kMaxTooltip));
}

bool buttonMapped(int button) { return B.map.count(B.records[static_cast<size_t>(button & 255)].sprite) != 0; }

}  // namespace velmora::input
