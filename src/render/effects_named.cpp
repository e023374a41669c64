// The 74 named transitions. Each frame a family turns the progress into a
// plan: which picture lies in the scene target, and which rectangles of the
// other picture (rendered into offscreenSurface) are copied over it, or at
// which offset and alpha it is laid over it as one quad.
#include <algorithm>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/report.h"
#include "render/internal.h"
#include "render/transition.h"

namespace velmora::render {
namespace {

enum class Dir : uint8_t { Up, Down, Left, Right, LeftUp, RightUp, LeftDown, RightDown };

int stepX(Dir d) {
  if (d == Dir::Left || d == Dir::LeftUp || d == Dir::LeftDown) return -1;
  return d == Dir::Right || d == Dir::RightUp || d == Dir::RightDown ? 1 : 0;
}
int stepY(Dir d) {
  if (d == Dir::Up || d == Dir::LeftUp || d == Dir::RightUp) return -1;
  return d == Dir::Down || d == Dir::LeftDown || d == Dir::RightDown ? 1 : 0;
}

enum class Pic : uint8_t { None, Before, After };

// src is copied to src moved by (dx, dy).
struct Copy {
  Rect src;
  int dx = 0, dy = 0;
};

struct Layer {
  Pic pic = Pic::None;
  bool quad = false;  // the whole picture at (dx, dy) with alpha
  int dx = 0, dy = 0, alpha = 255;
  std::vector<Copy> copies;
};

struct Plan {
  Pic base = Pic::None;
  bool fading = false;  // the fading families report their own target names
  std::vector<Layer> layers;
  Layer& add(Pic pic) {
    layers.push_back(Layer{});
    layers.back().pic = pic;
    return layers.back();
  }
};

// P(x) runs 0 -> x with the easing, R(x) x -> 0 along the mirrored curve.
struct Moment {
  int W, H;
  uint32_t elapsed, duration;
  int easing;
  int P(int x) const { return transitionProgress(x, elapsed, duration, easing); }
  int R(int x) const { return transitionProgress(x, duration - std::min(elapsed, duration), duration, -easing); }
};

using Family = void (*)(const Moment& m, Dir d, Plan& plan);

void same(Layer& l, int left, int top, int right, int bottom) { l.copies.push_back({{left, top, right, bottom}, 0, 0}); }

// ---- wipes, irises and squares ------------------------------------------------
// The before picture keeps a triangle in the corner, legs R(2W) and R(2H),
// copied as runs of rows of equal width.
void diagonal(const Moment& m, Dir d, Plan& plan) {
  plan.base = Pic::After;
  Layer& l = plan.add(Pic::Before);
  const int64_t lx = m.R(2 * m.W), ly = m.R(2 * m.H);
  const int rows = static_cast<int>(std::min<int64_t>(std::max<int64_t>(ly, 0), m.H));
  auto widthAt = [&](int j) { return static_cast<int>(std::min<int64_t>(lx * (ly - j) / ly, m.W)); };
  for (int j = 0; j < rows;) {
    const int w = widthAt(j);
    int end = j + 1;
    while (end < rows && widthAt(end) == w) ++end;
    if (w > 0) {
      const int left = stepX(d) < 0 ? 0 : m.W - w;
      const int top = stepY(d) < 0 ? j : m.H - end;
      same(l, left, top, left + w, top + (end - j));
    }
    j = end;
  }
}

void direction(const Moment& m, Dir d, Plan& plan) {
  if (stepX(d) != 0 && stepY(d) != 0) return diagonal(m, d, plan);
  plan.base = Pic::Before;
  Layer& l = plan.add(Pic::After);
  switch (d) {
    case Dir::Up: same(l, 0, m.R(m.H), m.W, m.H); break;
    case Dir::Down: same(l, 0, 0, m.W, m.P(m.H)); break;
    case Dir::Left: same(l, m.R(m.W), 0, m.W, m.H); break;
    default: same(l, 0, 0, m.P(m.W), m.H); break;
  }
}

// A centred band across the screen, thickness along y (Up) or x (Left).
void centredBand(const Moment& m, Dir d, Plan& plan, Pic base, int thickness) {
  plan.base = base;
  Layer& l = plan.add(base == Pic::After ? Pic::Before : Pic::After);
  if (d == Dir::Up) same(l, 0, (m.H - thickness) / 2, m.W, (m.H - thickness) / 2 + thickness);
  else same(l, (m.W - thickness) / 2, 0, (m.W - thickness) / 2 + thickness, m.H);
}

// Corners: the after picture grows from the opposite corner. Up and Left
// stand for the centred bands UpDown and LeftRight, which narrow.
void irisIn(const Moment& m, Dir d, Plan& plan) {
  if (d == Dir::Up || d == Dir::Left) return centredBand(m, d, plan, Pic::After, d == Dir::Up ? m.R(m.H) : m.R(m.W));
  plan.base = Pic::Before;
  Layer& l = plan.add(Pic::After);
  const int rw = m.R(m.W), rh = m.R(m.H);
  const int left = stepX(d) < 0 ? rw : 0, right = stepX(d) < 0 ? m.W : m.W - rw;
  const int top = stepY(d) < 0 ? rh : 0, bottom = stepY(d) < 0 ? m.H : m.H - rh;
  same(l, left, top, right, bottom);
}

// Corners: the before picture shrinks into the corner; the bands widen.
void irisOut(const Moment& m, Dir d, Plan& plan) {
  if (d == Dir::Up || d == Dir::Left) return centredBand(m, d, plan, Pic::Before, d == Dir::Up ? m.P(m.H) : m.P(m.W));
  plan.base = Pic::After;
  Layer& l = plan.add(Pic::Before);
  const int rw = m.R(m.W), rh = m.R(m.H);
  const int left = stepX(d) < 0 ? 0 : m.W - rw, top = stepY(d) < 0 ? 0 : m.H - rh;
  same(l, left, top, left + rw, top + rh);
}

void squareIn(const Moment& m, Dir, Plan& plan) {
  plan.base = Pic::After;
  const int w = m.R(m.W), h = m.R(m.H);
  same(plan.add(Pic::Before), (m.W - w) / 2, (m.H - h) / 2, (m.W - w) / 2 + w, (m.H - h) / 2 + h);
}

void squareOut(const Moment& m, Dir, Plan& plan) {
  plan.base = Pic::Before;
  const int w = m.P(m.W), h = m.P(m.H);
  same(plan.add(Pic::After), (m.W - w) / 2, (m.H - h) / 2, (m.W - w) / 2 + w, (m.H - h) / 2 + h);
}

// ---- slides and scrolls ---------------------------------------------------------
// One axis of a slide: the part [from, from + length) of the picture moves
// by shift. step < 0 moves towards 0, > 0 away from it, 0 stays whole.
struct Span {
  int from, length, shift;
};

Span slideInSpan(int step, int size, int p) {
  if (step < 0) return {0, p, size - p};
  if (step > 0) return {size - p, p, p - size};
  return {0, size, 0};
}

Span slideOutSpan(int step, int size, int p) {
  if (step < 0) return {p, size - p, -p};
  if (step > 0) return {0, size - p, p};
  return {0, size, 0};
}

void addSpans(Layer& l, const Span& x, const Span& y) {
  l.copies.push_back({{x.from, y.from, x.from + x.length, y.from + y.length}, x.shift, y.shift});
}

void slideIn(const Moment& m, Dir d, Plan& plan) {
  plan.base = Pic::Before;
  addSpans(plan.add(Pic::After), slideInSpan(stepX(d), m.W, m.P(m.W)), slideInSpan(stepY(d), m.H, m.P(m.H)));
}

void slideOut(const Moment& m, Dir d, Plan& plan) {
  plan.base = Pic::After;
  addSpans(plan.add(Pic::Before), slideOutSpan(stepX(d), m.W, m.P(m.W)), slideOutSpan(stepY(d), m.H, m.P(m.H)));
}

// The picture split at the middle, the halves sliding in from (or out to)
// the two opposite edges. Up stands for UpDown, Left for LeftRight.
void splitSlide(const Moment& m, Dir d, Plan& plan, bool in) {
  plan.base = in ? Pic::Before : Pic::After;
  Layer& l = plan.add(in ? Pic::After : Pic::Before);
  const bool vertical = d == Dir::Up;
  const int size = vertical ? m.H : m.W, half = size / 2;
  const int p1 = m.P(half), p2 = m.P(size - half);
  Span first = in ? Span{half - p1, p1, p1 - half} : Span{p1, half - p1, -p1};
  Span second = in ? Span{half, p2, size - p2 - half} : Span{half, size - half - p2, p2};
  const Span whole{0, vertical ? m.W : m.H, 0};
  if (vertical) addSpans(l, whole, first), addSpans(l, whole, second);
  else addSpans(l, first, whole), addSpans(l, second, whole);
}

void splitSlideIn(const Moment& m, Dir d, Plan& plan) { splitSlide(m, d, plan, true); }
void splitSlideOut(const Moment& m, Dir d, Plan& plan) { splitSlide(m, d, plan, false); }

// Both pictures move together: the before picture shifted, the after
// picture's leading part in the uncovered edge.
void scroll(const Moment& m, Dir d, Plan& plan) {
  const int pw = m.P(m.W), ph = m.P(m.H);
  addSpans(plan.add(Pic::Before), slideOutSpan(stepX(d), m.W, pw), slideOutSpan(stepY(d), m.H, ph));
  addSpans(plan.add(Pic::After), slideInSpan(stepX(d), m.W, pw), slideInSpan(stepY(d), m.H, ph));
}

// ---- blinds -------------------------------------------------------------------------
// 20 bands of a twentieth of the screen (one more, cut by the edge, when the
// size does not divide); the after picture grows in each from the edge
// opposite the direction. depth(k) gives band k's depth, k counted from the
// side where the movement starts.
template <typename Depth>
void bands(const Moment& m, Dir d, Plan& plan, Depth depth) {
  plan.base = Pic::Before;
  Layer& l = plan.add(Pic::After);
  const bool vertical = d == Dir::Up || d == Dir::Down;
  const int size = vertical ? m.H : m.W, band = std::max(1, size / 20), count = (size + band - 1) / band;
  const bool towardsZero = d == Dir::Up || d == Dir::Left;
  for (int i = 0; i < count; ++i) {
    const int k = towardsZero ? count - 1 - i : i;
    const int deep = std::min(depth(band, size, k), band);
    if (deep <= 0) continue;
    const int from = towardsZero ? i * band + band - deep : i * band;
    const int to = std::min(from + deep, size);
    if (vertical) same(l, 0, from, m.W, to);
    else same(l, from, 0, to, m.H);
  }
}

void shutter(const Moment& m, Dir d, Plan& plan) {
  bands(m, d, plan, [&](int band, int, int) { return m.P(band); });
}

void curtain(const Moment& m, Dir d, Plan& plan) {
  bands(m, d, plan, [&](int band, int size, int k) {
    return static_cast<int>(m.P(2 * band) - int64_t{k} * band * band / size);
  });
}

// ---- fading families ---------------------------------------------------------
// One picture as a quad over the other, offset by (sx, sy) pixels per unit
// of direction.
void fadingQuad(Plan& plan, Pic over, Dir d, int alpha, int sx, int sy) {
  plan.base = over == Pic::After ? Pic::Before : Pic::After;
  plan.fading = true;
  Layer& l = plan.add(over);
  l.quad = true;
  l.alpha = alpha;
  l.dx = stepX(d) * sx;
  l.dy = stepY(d) * sy;
}

// The after picture fades in, sliding into place along the direction.
void fadeSlideIn(const Moment& m, Dir d, Plan& plan) {
  fadingQuad(plan, Pic::After, d, m.P(255), -m.R(m.W), -m.R(m.H));
}

// The before picture fades out, sliding away along the direction.
void fadeSlideOut(const Moment& m, Dir d, Plan& plan) {
  fadingQuad(plan, Pic::Before, d, m.R(255), m.P(m.W), m.P(m.H));
}

// The before picture as an opaque backdrop, again moved and fading out, and
// the after picture following one screen behind, fading in.
void fadeScroll(const Moment& m, Dir d, Plan& plan) {
  plan.fading = true;
  const int sx = stepX(d), sy = stepY(d);
  const int p = sx ? m.P(m.W) : m.P(m.H), a = m.P(255);
  plan.add(Pic::Before).quad = true;
  Layer& out = plan.add(Pic::Before);
  out.quad = true, out.dx = sx * p, out.dy = sy * p, out.alpha = 255 - a;
  Layer& in = plan.add(Pic::After);
  in.quad = true, in.dx = sx * (p - m.W), in.dy = sy * (p - m.H), in.alpha = a;
}

struct EffectEntry {
  const char* name;
  Family family;
  Dir dir;
};

const EffectEntry kEffects[] = {
    {"DirectionLeftUp", direction, Dir::LeftUp},
    {"DirectionRightUp", direction, Dir::RightUp},
    {"DirectionLeftDown", direction, Dir::LeftDown},
    {"DirectionRightDown", direction, Dir::RightDown},
    {"DirectionUp", direction, Dir::Up},
    {"DirectionDown", direction, Dir::Down},
    {"DirectionLeft", direction, Dir::Left},
    {"DirectionRight", direction, Dir::Right},
    {"IrisInLeftUp", irisIn, Dir::LeftUp},
    {"IrisInRightUp", irisIn, Dir::RightUp},
    {"IrisInLeftDown", irisIn, Dir::LeftDown},
    {"IrisInRightDown", irisIn, Dir::RightDown},
    {"IrisOutLeftUp", irisOut, Dir::LeftUp},
    {"IrisOutRightUp", irisOut, Dir::RightUp},
    {"IrisOutLeftDown", irisOut, Dir::LeftDown},
    {"IrisOutRightDown", irisOut, Dir::RightDown},
    {"IrisInUpDown", irisIn, Dir::Up},
    {"IrisOutUpDown", irisOut, Dir::Up},
    {"IrisInLeftRight", irisIn, Dir::Left},
    {"IrisOutLeftRight", irisOut, Dir::Left},
    {"SlideInUp", slideIn, Dir::Up},
    {"SlideInDown", slideIn, Dir::Down},
    {"SlideInLeft", slideIn, Dir::Left},
    {"SlideInRight", slideIn, Dir::Right},
    {"SlideOutUp", slideOut, Dir::Up},
    {"SlideOutDown", slideOut, Dir::Down},
    {"SlideOutLeft", slideOut, Dir::Left},
    {"SlideOutRight", slideOut, Dir::Right},
    {"SlideInLeftUp", slideIn, Dir::LeftUp},
    {"SlideInRightUp", slideIn, Dir::RightUp},
    {"SlideInLeftDown", slideIn, Dir::LeftDown},
    {"SlideInRightDown", slideIn, Dir::RightDown},
    {"SlideOutLeftUp", slideOut, Dir::LeftUp},
    {"SlideOutRightUp", slideOut, Dir::RightUp},
    {"SlideOutLeftDown", slideOut, Dir::LeftDown},
    {"SlideOutRightDown", slideOut, Dir::RightDown},
    {"SlideInUpDown", splitSlideIn, Dir::Up},
    {"SlideOutUpDown", splitSlideOut, Dir::Up},
    {"SlideInLeftRight", splitSlideIn, Dir::Left},
    {"SlideOutLeftRight", splitSlideOut, Dir::Left},
    {"ScrollUp", scroll, Dir::Up},
    {"ScrollDown", scroll, Dir::Down},
    {"ScrollLeft", scroll, Dir::Left},
    {"ScrollRight", scroll, Dir::Right},
    {"ShutterUp", shutter, Dir::Up},
    {"ShutterDown", shutter, Dir::Down},
    {"ShutterLeft", shutter, Dir::Left},
    {"ShutterRight", shutter, Dir::Right},
    {"CurtainUp", curtain, Dir::Up},
    {"CurtainDown", curtain, Dir::Down},
    {"CurtainLeft", curtain, Dir::Left},
    {"CurtainRight", curtain, Dir::Right},
    {"SquareIn", squareIn, Dir::Up},
    {"SquareOut", squareOut, Dir::Up},
    {"FadeSlideInUp", fadeSlideIn, Dir::Up},
    {"FadeSlideInDown", fadeSlideIn, Dir::Down},
    {"FadeSlideInLeft", fadeSlideIn, Dir::Left},
    {"FadeSlideInRight", fadeSlideIn, Dir::Right},
    {"FadeSlideOutUp", fadeSlideOut, Dir::Up},
    {"FadeSlideOutDown", fadeSlideOut, Dir::Down},
    {"FadeSlideOutLeft", fadeSlideOut, Dir::Left},
    {"FadeSlideOutRight", fadeSlideOut, Dir::Right},
    {"FadeSlideInLeftUp", fadeSlideIn, Dir::LeftUp},
    {"FadeSlideInRightUp", fadeSlideIn, Dir::RightUp},
    {"FadeSlideInLeftDown", fadeSlideIn, Dir::LeftDown},
    {"FadeSlideInRightDown", fadeSlideIn, Dir::RightDown},
    {"FadeSlideOutLeftUp", fadeSlideOut, Dir::LeftUp},
    {"FadeSlideOutRightUp", fadeSlideOut, Dir::RightUp},
    {"FadeSlideOutLeftDown", fadeSlideOut, Dir::LeftDown},
    {"FadeSlideOutRightDown", fadeSlideOut, Dir::RightDown},
    {"FadeScrollUp", fadeScroll, Dir::Up},
    {"FadeScrollDown", fadeScroll, Dir::Down},
    {"FadeScrollLeft", fadeScroll, Dir::Left},
    {"FadeScrollRight", fadeScroll, Dir::Right},
};
static_assert(std::size(kEffects) == 74, "the 74 named effects");

struct NamedState {
  std::unordered_map<std::string, const EffectEntry*> table;
  const EffectEntry* selected = nullptr;
  Plan plan;
  std::vector<GpuVertex> vertices;
  std::vector<GLint> firsts;
  std::vector<GLsizei> counts;
};
NamedState namedState;

// Cuts a copy to the screen on both its ends.
bool clip(Copy& c, int w, int h) {
  Rect& s = c.src;
  const int left = std::max({s.left, 0, -c.dx}), top = std::max({s.top, 0, -c.dy});
  const int right = std::min({s.right, w, w - c.dx}), bottom = std::min({s.bottom, h, h - c.dy});
  s = {left, top, right, bottom};
  return right > left && bottom > top;
}

// Every copy of a layer as one multi-draw of point-sampled quads: a texel
// for a pixel, as a rectangle copy between surfaces gives.
void copyRects(const std::vector<Copy>& copies, int w, int h) {
  namedState.firsts.clear();
  namedState.counts.clear();
  streamBegin();
  for (Copy c : copies) {
    if (!clip(c, w, h)) continue;
    GpuVertex v[4];
    const Rect dst{c.src.left + c.dx, c.src.top + c.dy, c.src.right + c.dx, c.src.bottom + c.dy};
    const float fw = static_cast<float>(w), fh = static_cast<float>(h);
    pushScreenQuad(dst, static_cast<float>(c.src.left) / fw, static_cast<float>(c.src.top) / fh,
                   static_cast<float>(c.src.right) / fw, static_cast<float>(c.src.bottom) / fh, 0xFFFFFFFF, v);
    namedState.firsts.push_back(static_cast<GLint>(streamPush(v, 4)));
    namedState.counts.push_back(4);
  }
  if (namedState.firsts.empty()) return;
  useRenderTexture(static_cast<int>(BlendRow::Replace));
  streamUpload();
  multiDrawArrays(GL_TRIANGLE_STRIP, namedState.firsts.data(), namedState.counts.data(), static_cast<GLsizei>(namedState.firsts.size()));
  glBindTexture(GL_TEXTURE_2D, 0);
}

bool bindFor(GLuint fbo, const char* operation) {
  const Geometry& g = geometry();
  takeGlError();
  bindTarget(fbo, g.screenWidth, g.screenHeight);
  if (GLenum e = takeGlError(); e != GL_NO_ERROR) return reportError(std::string(operation) + glErrorName(e)), false;
  return true;
}

void runPlan(const Plan& plan) {
  DeviceState& d = device();
  const Geometry& g = geometry();
  const GLuint scene = d.targetFbo;
  const char* first = plan.fading ? "SetRenderTarget Rotate 1 " : "SetRenderTarget Stretch 1 ";
  const char* second = plan.fading ? "SetRenderTarget Rotate 2 " : "SetRenderTarget Stretch 2 ";
  if (plan.base != Pic::None) drawScene(plan.base == Pic::After);
  Pic rendered = Pic::None;
  for (const Layer& l : plan.layers) {
    if (l.pic != rendered) {
      if (!bindFor(d.offscreenSurface, first)) return;
      drawScene(l.pic == Pic::After);
      rendered = l.pic;
      if (!bindFor(scene, second)) return;
    }
    if (l.quad)
      overlayRenderTexture({l.dx, l.dy, l.dx + g.screenWidth, l.dy + g.screenHeight}, std::clamp(l.alpha, 0, 255));
    else
      copyRects(l.copies, g.screenWidth, g.screenHeight);
  }
}

}  // namespace

void buildEffectTable() {
  if (!namedState.table.empty()) return;
  for (const EffectEntry& e : kEffects) namedState.table.emplace(e.name, &e);
}

bool existStretch(std::string_view name) { return namedState.table.count(std::string(name)) != 0; }

int effectCount() { return static_cast<int>(std::size(kEffects)); }

const char* effectName(int i) { return i >= 0 && i < effectCount() ? kEffects[i].name : ""; }

bool selectEffect(std::string_view name) {
  auto it = namedState.table.find(std::string(name));
  namedState.selected = it == namedState.table.end() ? nullptr : it->second;
  return namedState.selected != nullptr;
}

void namedEffectPass(uint32_t elapsed, uint32_t duration, int easing) {
  if (!namedState.selected) {
    drawScene(false);
    return;
  }
  const Geometry& g = geometry();
  const Moment m{g.screenWidth, g.screenHeight, elapsed, duration, easing};
  namedState.plan.base = Pic::None;
  namedState.plan.fading = false;
  namedState.plan.layers.clear();
  namedState.selected->family(m, namedState.selected->dir, namedState.plan);
  runPlan(namedState.plan);
}

}  // namespace velmora::render
