#include "render/geometry.h"

#include <cstdio>
#include <numeric>

#include "base/settings.h"
#include "base/textconv.h"
#include "platform/window.h"
#include "render/messages.h"
#include "render/display_settings.h"

namespace velmora::render {
namespace {

struct PresetTable {
  int ratioW, ratioH;
  int sizes[kPresetCount][2];
};

const PresetTable kPresetTables[] = {
    {4, 3, {{400, 300}, {640, 480}, {800, 600}, {960, 720}, {1024, 768}, {1200, 900}, {1280, 960}, {1400, 1050}, {1440, 1080}, {1600, 1200}}},
    {16, 9, {{480, 270}, {640, 360}, {800, 450}, {960, 540}, {1024, 576}, {1280, 720}, {1366, 768}, {1440, 810}, {1600, 900}, {1920, 1080}}},
    {3, 4, {{300, 400}, {480, 640}, {600, 800}, {720, 960}, {768, 1024}, {900, 1200}, {960, 1280}, {1050, 1400}, {1080, 1440}, {1200, 1600}}},
    {9, 16, {{270, 480}, {360, 640}, {450, 800}, {540, 960}, {576, 1024}, {720, 1280}, {768, 1366}, {810, 1440}, {900, 1600}, {1080, 1920}}},
};

const PresetTable* tableFor(int ratioW, int ratioH) {
  for (const PresetTable& t : kPresetTables)
    if (t.ratioW == ratioW && t.ratioH == ratioH) return &t;
  return nullptr;
}

void reduce(int w, int h, int& rw, int& rh) {
  int d = std::gcd(w, h);
  if (d == 0) d = 1;
  rw = w / d;
  rh = h / d;
}

int roundHalfUp(float v) { return static_cast<int>(v + 0.5f); }

// Divisions by a zero size give 0 rather than a trap.
int divOr0(int a, int b) { return b == 0 ? 0 : a / b; }
int byRate(int v, float rate) { return rate == 0 ? 0 : static_cast<int>(static_cast<float>(v) / rate); }
int timesRate(float rate, int v) { return static_cast<int>(rate * static_cast<float>(v)); }

Rect centred(int mw, int mh, int w, int h) {
  int l = (mw - w) >> 1, t = (mh - h) >> 1;
  return {l, t, l + w, t + h};
}


}  // namespace

Geometry& geometry() {
  static Geometry g;
  return g;
}

std::array<SizePreset, kPresetCount> presetsFor(int w, int h, bool fourThree) {
  int rw = 0, rh = 0;
  reduce(w, h, rw, rh);
  if (rw == 16 && rh == 9 && fourThree) rw = 4, rh = 3;
  std::array<SizePreset, kPresetCount> out{};
  const PresetTable* t = tableFor(rw, rh);
  for (int i = 0; i < kPresetCount; ++i) {
    out[i].width = t ? t->sizes[i][0] : w;
    out[i].height = t ? t->sizes[i][1] : h;
  }
  return out;
}

void formatPresetLabels(std::array<SizePreset, kPresetCount>& presets, int resolution) {
  for (SizePreset& p : presets) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%4dx%4d", p.width, p.height);
    p.label = buf;
    if (p.width == resolution) p.label += uiText(UiText::ActualSize);
  }
}

void setDisplayRates(Geometry& g, int designWidth, int designHeight, int pictureWidth) {
  const float width = static_cast<float>(resolution());
  g.designCentreX = static_cast<float>(designWidth >> 1);
  g.designCentreY = static_cast<float>(designHeight >> 1);
  g.displayRate = designWidth ? width / static_cast<float>(designWidth) : 1.0f;
  g.pictureRate = pictureWidth ? width / static_cast<float>(pictureWidth) : 1.0f;
  g.pictureRatio = designWidth ? static_cast<float>(pictureWidth) / static_cast<float>(designWidth) : 1.0f;
  g.inversePictureRatio = g.pictureRatio != 0 ? 1.0f / g.pictureRatio : 1.0f;
}

void screenSizeSetup(Geometry& g, int w, int h, bool wantAspectChoice) {
  int rw = 0, rh = 0;
  reduce(w, h, rw, rh);
  const bool wide = rw == 16 && rh == 9;
  if (wantAspectChoice) {
    g.aspectChoice = wide ? 1 : 0;
    if (!wide && !(rw == 9 && rh == 16)) setScreenAspect(1);
  }
  if (wide) g.aspectOffset = static_cast<int>(static_cast<float>((3 * w) / 4 - h) * g.displayRate);
  g.presets = presetsFor(w, h, wide && screenAspect() == Aspect::FourThree);
  formatPresetLabels(g.presets, resolution());

  if (g.aspectChoice == 1 && screenAspect() == Aspect::FourThree) h = w * 3 / 4;
  g.screenWidth2 = w;
  g.screenHeight2 = h;
  g.screenWidth = static_cast<int>(static_cast<float>(w) * g.displayRate + 0.5f);
  g.screenHeight = static_cast<int>(static_cast<float>(h) * g.displayRate + 0.5f);
  g.logicalCentreX = static_cast<float>(g.screenWidth >> 1);
  g.logicalCentreY = static_cast<float>(g.screenHeight >> 1);
  g.aspect = g.screenHeight ? static_cast<float>(g.screenWidth) / static_cast<float>(g.screenHeight) : 1.0f;

  if (platform::kWindowIsCanvas || windowWidth() == 0 || windowHeight() == 0) {
    setWindowWidth(g.screenWidth);
    setWindowHeight(g.screenHeight);
  }
  recomputeFrame(g);
  monitorGeometry(g, g.monitorLeft, g.monitorTop, g.monitorWidth, g.monitorHeight, g.monitorRefresh);
  g.pixelCount = g.screenWidth * g.screenHeight;
}

void recomputeFrame(Geometry& g) {
  g.extraW = 2 * g.frameX;
  g.captionTop = g.frameY + g.captionHeight;
  g.extraH = g.menuHeight * (g.menuAttached ? 1 : 0) + g.frameY + g.captionTop;
}

void monitorGeometry(Geometry& g, int left, int top, int width, int height, int refreshHz) {
  g.monitorLeft = left;
  g.monitorTop = top;
  g.monitorWidth = width;
  g.monitorHeight = height;
  g.monitorRefresh = refreshHz;
  const int mw = width, mh = height, sw = g.screenWidth, sh = g.screenHeight;
  if (sw <= 0 || sh <= 0) return;

  for (int k = 1; k < kFullModeCount; ++k) g.source[k] = {0, 0, sw, sh};
  g.destination[1] = {0, 0, mw, mh};
  g.destination[2] = centred(mw, mh, sw, sh);
  const bool wider = static_cast<float>(mw) / static_cast<float>(sw) > static_cast<float>(mh) / static_cast<float>(sh);
  if (wider) g.fitWidth = mh * sw / sh, g.fitHeight = mh;
  else g.fitWidth = mw, g.fitHeight = mw * sh / sw;
  g.destination[3] = centred(mw, mh, g.fitWidth, g.fitHeight);
  if (wider) {
    g.fillWidth = mw;
    g.fillHeight = static_cast<int>(static_cast<float>(mw) / static_cast<float>(sw) * static_cast<float>(sh) + 0.5f);
  } else {
    g.fillWidth = static_cast<int>(static_cast<float>(mh) / static_cast<float>(sh) * static_cast<float>(sw) + 0.5f);
    g.fillHeight = mh;
  }
  g.destination[4] = centred(mw, mh, g.fillWidth, g.fillHeight);
  g.overflowX = mw - g.fillWidth;
  g.overflowY = mh - g.fillHeight;

  int i = g.fitWidth - g.extraW - (g.extraW & 1);
  int j = g.fitHeight - g.extraH - (g.extraH & 1);
  if (static_cast<float>(j) / static_cast<float>(sh) > static_cast<float>(i) / static_cast<float>(sw)) {
    int c = (j * sw + sh / 2) / sh;
    if (mw < g.extraW + c) j = (i * sh + sw / 2) / sw;
    else i = c;
  } else {
    int c = (i * sh + sw / 2) / sw;
    if (mh < g.extraH + c) i = (j * sw + sh / 2) / sh;
    else j = c;
  }
  g.largestWidth = i;
  g.largestHeight = j;

  const int outerW = windowWidth() + g.extraW, outerH = windowHeight() + g.extraH;
  if (!fullScreen() && !platform::kWindowIsCanvas && (outerW >= mw || outerH >= mh)) {
    setWindowWidth(g.largestWidth);
    setWindowHeight(g.largestHeight);
  }

  if (frameRateLimit() == 0) {
    const int r = refreshHz > 0 ? refreshHz : 60;
    const int d = std::gcd(1000, r);
    g.refreshP = 1000 / d;
    g.refreshQ = r / d;
  } else {
    g.refreshP = frameInterval().numerator;
    g.refreshQ = frameInterval().denominator;
  }
}

Rect fullScreenSource(const Geometry& g, int kind) { return kind >= 1 && kind < kFullModeCount ? g.source[kind] : Rect{}; }
Rect fullScreenDestination(const Geometry& g, int kind) {
  return kind >= 1 && kind < kFullModeCount ? g.destination[kind] : Rect{};
}

int menuStrip(const Geometry& g) { return !fullScreen() && g.menuAttached ? g.menuHeight : 0; }

void windowToLogical(const Geometry& g, int x, int y, int& lx, int& ly) {
  const float r = g.displayRate;
  const int sw = g.screenWidth, sh = g.screenHeight;
  if (!fullScreen()) {
    y -= menuStrip(g);
    const int ww = windowWidth(), wh = windowHeight();
    if (ww == g.screenWidth2) lx = x, ly = y;
    else lx = byRate(divOr0(sw * x, ww), r), ly = byRate(divOr0(sh * y, wh), r);
    return;
  }
  const int kind = fullModeIndex();
  if (kind == 0) {
    lx = byRate(divOr0(sw * x, g.kind0Width), r);
    ly = byRate(divOr0(sh * y, g.kind0Height), r);
  } else if (kind == 1) {
    lx = byRate(divOr0(sw * x, g.monitorWidth), r);
    ly = byRate(divOr0(sh * y, g.monitorHeight), r);
  } else if (kind == 2) {
    lx = byRate(x - g.destination[2].left, r);
    ly = byRate(y - g.destination[2].top, r);
  } else {
    const Rect& d = g.destination[kind >= 4 ? 4 : 3];
    lx = byRate(divOr0((x - d.left) * sw, d.width()), r);
    ly = byRate(divOr0((y - d.top) * sh, d.height()), r);
  }
}

void logicalToWindow(const Geometry& g, int x, int y, int& wx, int& wy) {
  const float r = g.displayRate;
  const int sw = g.screenWidth, sh = g.screenHeight;
  if (!fullScreen()) {
    const int ww = windowWidth(), wh = windowHeight();
    if (ww == g.screenWidth2) wx = x, wy = y;
    else wx = timesRate(r, divOr0(ww * x, sw)), wy = timesRate(r, divOr0(y * wh, sh));
    wy += menuStrip(g);
    return;
  }
  const int kind = fullModeIndex();
  if (kind == 0) {
    wx = timesRate(r, divOr0(x * g.kind0Width, sw));
    wy = timesRate(r, divOr0(y * g.kind0Height, sh));
  } else if (kind == 1) {
    wx = timesRate(r, divOr0(x * g.monitorWidth, sw));
    wy = timesRate(r, divOr0(y * g.monitorHeight, sh));
  } else if (kind == 2) {
    wx = timesRate(r, x) + g.destination[2].left;
    wy = timesRate(r, y) + g.destination[2].top;
  } else {
    const Rect& d = g.destination[kind >= 4 ? 4 : 3];
    wx = timesRate(r, divOr0(x * d.width(), sw)) + d.left;
    wy = timesRate(r, divOr0(y * d.height(), sh)) + d.top;
  }
}

void dragBorder(Geometry& g, int edge, Rect& rect) {
  const float a = g.aspect;
  int w = rect.width() - g.extraW, h = rect.height() - g.extraH;
  if (g.sizeState == kSizeRestored) {
    g.sizeState = kSizeNormal;
    const int nh = roundHalfUp(static_cast<float>(w) / a);
    if (nh != h) rect.bottom += nh - h, h = nh;
  }
  const bool leftMoves = edge == 1 || edge == 4 || edge == 7;
  const bool topMoves = edge == 3 || edge == 4 || edge == 5;
  const SizePreset& smallest = g.presets[0];
  int tw = 0, th = 0;
  if (w < smallest.width || h < smallest.height) tw = smallest.width, th = smallest.height;
  else if (w > g.largestWidth || h > g.largestHeight) tw = g.largestWidth, th = g.largestHeight;
  if (tw != 0) {
    if (leftMoves) rect.left = rect.right - tw - g.extraW;
    else rect.right = rect.left + tw + g.extraW;
    if (topMoves) rect.top = rect.bottom - th - g.extraH;
    else rect.bottom = rect.top + th + g.extraH;
  } else if (edge == 1 || edge == 2) {
    rect.bottom = rect.top + roundHalfUp(static_cast<float>(w) / a) + g.extraH;
  } else if (edge == 3 || edge == 6) {
    rect.right = rect.left + roundHalfUp(static_cast<float>(h) * a) + g.extraW;
  } else if (h > 0) {
    const float ratio = static_cast<float>(w) / static_cast<float>(h);
    if (ratio < a) {
      const int nw = roundHalfUp(static_cast<float>(h) * a);
      if (leftMoves) rect.left = rect.right - nw - g.extraW;
      else rect.right = rect.left + nw + g.extraW;
    } else if (ratio > a) {
      const int nh = roundHalfUp(static_cast<float>(w) / a);
      if (topMoves) rect.top = rect.bottom - nh - g.extraH;
      else rect.bottom = rect.top + nh + g.extraH;
    }
  }
  if (g.sizeState != kSizeMinimised) {
    setClientLeft(rect.left);
    setClientTop(rect.top);
  }
  setWindowWidth(rect.width() - g.extraW);
  setWindowHeight(rect.height() - g.extraH);
}

bool correctClientSize(const Geometry& g, int& w, int& h) {
  if (w < 0 || h <= 0) return false;
  if (w == windowWidth() && h == windowHeight()) return false;
  const float ratio = static_cast<float>(w) / static_cast<float>(h);
  if (ratio > g.aspect) w = roundHalfUp(static_cast<float>(h) * g.aspect);
  else if (ratio < g.aspect) h = roundHalfUp(static_cast<float>(w) / g.aspect);
  return true;
}

bool zoomPanStep(Geometry& g, int cx, int cy) {
  Rect& d = g.destination[4];
  const int steps = g.panSteps;
  auto move = [&](int dx, int dy) {
    d.left += dx, d.right += dx, d.top += dy, d.bottom += dy;
    ++g.panSteps;
  };
  const int rx = cx - g.monitorLeft, ry = cy - g.monitorTop;
  if (g.overflowX != 0) {
    if (rx < 40) {
      if (d.left < 0) move(d.left < -3 ? 4 : 1, 0);
    } else if (rx > g.monitorWidth - 40) {
      if (d.left > g.overflowX) move(g.overflowX < d.left - 3 ? -4 : -1, 0);
    }
  }
  if (g.overflowY != 0) {
    if (ry < 60) {
      if (d.top < 0) move(0, d.top < -3 ? 4 : 1);
    } else if (ry > g.monitorHeight - 40) {
      if (d.top > g.overflowY) move(0, g.overflowY < d.top - 3 ? -4 : -1);
    }
  }
  return g.panSteps != steps;
}

bool changeAspect(Geometry& g, int value, bool maximised) {
  value = value != 0 ? 1 : 0;
  ++g.aspectCounter;
  setScreenAspect(value);
  const int ww = windowWidth(), wh = windowHeight();
  if (maximised) setWindowWidth(value ? wh * 4 / 3 : wh * 16 / 9);
  else setWindowHeight(value ? ww * 3 / 4 : ww * 9 / 16);
  const int w = g.screenWidth2;
  screenSizeSetup(g, w, value ? w * 3 / 4 : w * 9 / 16, false);
  return true;
}

int screenRatePercent(const Geometry& g) {
  if (g.screenWidth <= 0) return 100;
  int shown = windowWidth();
  if (fullScreen()) {
    const int kind = fullModeIndex();
    shown = kind == 0 ? g.kind0Width : g.destination[kind >= 1 && kind <= 4 ? kind : 3].width();
  }
  return static_cast<int>(static_cast<double>(shown) * 100.0 / g.screenWidth);
}

}  // namespace velmora::render
