// Sprite property, query, group, delete and image-effect commands.
#include <cmath>
#include <cstring>
#include <string>

#include "bindings/bridge.h"
#include "core/report.h"
#include "core/textconv.h"
#include "sprite/internal.h"
#include "sprite/messages.h"

namespace velmora::sprite {

namespace {

using bindings::CommandContext;
using bindings::floatArg;
using bindings::intArg;
using bindings::intResult;

// Property writes go to the back slot, and to both while a picture switch
// links them.
template <class Write>
void writeProperty(int n, Write write) {
  if (!validNumber(n)) return;
  Sprite& r = table().sprites[n];
  Slot* back = backSlot(n);
  if (!back) return reportNoPicture(n);
  write(*back);
  back->dirty = true;
  if (r.pending & kPendingLinked)
    if (Slot* front = frontSlot(n)) {
      write(*front);
      front->dirty = true;
    }
  r.pending |= kPendingProperties;
}

void retarget(int n, int kind, float value) {
  const TableState& t = table();
  if (validNumber(n) && (t.sprites[n].trackMask & (1u << kind)) && t.motion.retarget) t.motion.retarget(n, kind, value);
}

float finalValue(int n, int kind, float current) {
  const TableState& t = table();
  float v = current;
  if ((t.sprites[n].trackMask & (1u << kind)) && t.motion.finalValue && t.motion.finalValue(n, kind, v)) return v;
  return current;
}

void cmd_sp_x(CommandContext c) {
  int n = intArg(c, 1);
  float x = floatArg(c, 2);
  writeProperty(n, [&](Slot& s) { s.x = x; });
  retarget(n, kTrackX, x);
}

void cmd_sp_y(CommandContext c) {
  int n = intArg(c, 1);
  float y = floatArg(c, 2);
  writeProperty(n, [&](Slot& s) { s.y = y; });
  retarget(n, kTrackY, y);
}

void cmd_sp_xy(CommandContext c) {
  int n = intArg(c, 1);
  float x = floatArg(c, 2), y = floatArg(c, 3);
  writeProperty(n, [&](Slot& s) {
    s.x = x;
    s.y = y;
  });
  retarget(n, kTrackX, x);
  retarget(n, kTrackY, y);
}

void cmd_sp_wh(CommandContext c) {
  int n = intArg(c, 1);
  float w = floatArg(c, 2), h = floatArg(c, 3);
  writeProperty(n, [&](Slot& s) {
    s.scaleW = w / 100.0f;
    s.scaleH = h / 100.0f;
  });
  retarget(n, kTrackW, w);
  retarget(n, kTrackH, h);
}

void cmd_sp_rxyz(CommandContext c) {
  int n = intArg(c, 1);
  float rx = floatArg(c, 2), ry = floatArg(c, 3), rz = floatArg(c, 4);
  writeProperty(n, [&](Slot& s) {
    s.rotX = rx;
    s.rotY = ry;
    s.rotZ = rz;
  });
  retarget(n, kTrackRX, rx);
  retarget(n, kTrackRY, ry);
  retarget(n, kTrackRZ, rz);
}

void cmd_sp_a(CommandContext c) {
  int n = intArg(c, 1);
  int alpha = intArg(c, 2) & 255;
  writeProperty(n, [&](Slot& s) {
    s.alpha = alpha;
    setVertexAlpha(s);
  });
  retarget(n, kTrackA, float(alpha));
}

void cmd_sp_b(CommandContext c) {
  int n = intArg(c, 1);
  int mode = intArg(c, 2);
  writeProperty(n, [&](Slot& s) { s.blend = mode; });
}

void cmd_sp_c(CommandContext c) {
  int n = intArg(c, 1);
  int mode = intArg(c, 2);
  uint32_t colour = uint32_t(intArg(c, 3));
  writeProperty(n, [&](Slot& s) {
    s.colourMode = mode;
    s.colour = colour;
  });
  retarget(n, kTrackC, float(colour & 0xFFFFFF));
}

void cmd_sp_l(CommandContext c) {
  int n = intArg(c, 1);
  int frame = intArg(c, 2);
  writeProperty(n, [&](Slot& s) {
    if (s.frames <= 1) return;
    s.frame = frame;
    buildVertices(s);
  });
}

void cmd_sp_cxy(CommandContext c) {
  int n = intArg(c, 1);
  float cx = float(intArg(c, 2)), cy = float(intArg(c, 3));
  writeProperty(n, [&](Slot& s) {
    s.originX = cx;
    s.originY = cy;
    buildVertices(s);
  });
}

void reportNotRegistered(int n) { reportError(std::to_string(n) + messageText(Message::OrderNotSet)); }

void cmd_sp_o(CommandContext c) {
  int n = intArg(c, 1);
  int order = intArg(c, 2);
  if (!validNumber(n)) return;
  if (!backSlot(n)) return reportNoPicture(n);
  if (table().registeredIn[n] < 0) return reportNotRegistered(n);
  table().sprites[n].order = order;
  rekey(n);
  writeProperty(n, [](Slot&) {});
}

void cmd_sp_g(CommandContext c) {
  int n = intArg(c, 1);
  int g = intArg(c, 2);
  if (!validNumber(n) || !validNumber(g) || g == n) return;
  if (!backSlot(n)) return reportNoPicture(n);
  if (g != 0 && !afterSlot(g)) return reportNoPicture(g);
  if (table().registeredIn[n] < 0) return reportNotRegistered(n);
  enterGroup(n, g);
  writeProperty(n, [&](Slot& s) { s.group = g; });
}

void cmd_sp_d(CommandContext c) {
  int n = intArg(c, 1);
  if (validNumber(n) && (slot(n, 0) || slot(n, 1))) table().sprites[n].pending |= kPendingDelete;
}

void cmd_sp_dx(CommandContext c) {
  int first = std::max(0, intArg(c, 1)), last = std::min(kSpriteCount - 1, intArg(c, 2));
  for (int n = first; n <= last; ++n)
    if (slot(n, 0) || slot(n, 1)) table().sprites[n].pending |= kPendingDelete;
}

void cmd_sp_ref(CommandContext c) {
  commitSprite(intArg(c, 1));
}

// ---- queries ------------------------------------------------------------------
// The slot the queries read, reported when missing.
Slot* querySlot(int n) {
  if (!validNumber(n)) return nullptr;
  Slot* s = afterSlot(n);
  if (!s) reportNoPicture(n);
  return s;
}

void cmd_sp_exist(CommandContext c) {
  int n = intArg(c, 1);
  int result = 0;
  if (validNumber(n) && afterSlot(n)) {
    const Sprite& r = table().sprites[n];
    result = (r.pending & kPendingDelete) || r.endDelete ? 1 : 2;
  }
  intResult(c, 2, result);
}

void cmd_sp_gsz(CommandContext c) {
  int n = intArg(c, 1);
  Slot* s = querySlot(n);
  if (!s) return;
  int w = s->width, h = s->height;
  const ScreenFacts& f = table().screen;
  if (s->resolution == 2 && f.pictureRatio > 0.0f) {
    w = int(float(w) / f.pictureRatio);
    h = int(float(h) / f.pictureRatio);
  }
  bindings::beginList(c);
  intResult(c, 2, w);
  bindings::appendListElement(c);
  intResult(c, 3, h);
  bindings::appendListElement(c);
}

void cmd_sp_gxy(CommandContext c) {
  int n = intArg(c, 1);
  int ax = intArg(c, 2), ay = intArg(c, 3);
  Slot* s = querySlot(n);
  if (!s) return;
  float x = finalValue(n, kTrackX, s->x), y = finalValue(n, kTrackY, s->y);
  x += (float(ax) - s->originX) * float(s->width) / 2.0f;
  y += (float(ay) - s->originY) * float(s->height) / 2.0f;
  bindings::beginList(c);
  intResult(c, 4, bindings::truncateToInt32(x));
  bindings::appendListElement(c);
  intResult(c, 5, bindings::truncateToInt32(y));
  bindings::appendListElement(c);
}

void cmd_sp_ga(CommandContext c) {
  int n = intArg(c, 1);
  Slot* s = querySlot(n);
  if (!s) return;
  intResult(c, 2, int(finalValue(n, kTrackA, float(s->alpha))) & 255);
}

void cmd_sp_gwh(CommandContext c) {
  int n = intArg(c, 1);
  Slot* s = querySlot(n);
  if (!s) return;
  // Tracks hold percent; the slot holds factors, rounded back to percent so
  // that 0.29f reads as 29.
  float w = finalValue(n, kTrackW, s->scaleW * 100.0f), h = finalValue(n, kTrackH, s->scaleH * 100.0f);
  bindings::beginList(c);
  intResult(c, 2, int(std::lround(w)));
  bindings::appendListElement(c);
  intResult(c, 3, int(std::lround(h)));
  bindings::appendListElement(c);
}

void cmd_sp_go(CommandContext c) {
  int n = intArg(c, 1);
  if (!querySlot(n)) return;
  intResult(c, 2, table().sprites[n].order);
}

void cmd_sp_gn(CommandContext c) {
  int n = intArg(c, 1);
  if (!querySlot(n)) return;
  const Sprite& r = table().sprites[n];
  bindings::stringResult(c, 2, std::string_view(r.name, strnlen(r.name, sizeof r.name)));
}

// ---- image effects (applied at the next load) ------------------------------------
Sprite* effectRecord(int n) { return validNumber(n) ? &table().sprites[n] : nullptr; }

void cmd_sp_neg(CommandContext c) {
  int n = intArg(c, 1);
  double on = bindings::doubleArg(c, 2);
  if (Sprite* r = effectRecord(n)) r->negative = on != 0.0;
}
void cmd_sp_gray(CommandContext c) {
  int n = intArg(c, 1);
  double on = bindings::doubleArg(c, 2);
  if (Sprite* r = effectRecord(n)) r->grayscale = on != 0.0;
}
void cmd_sp_rot(CommandContext c) {
  int n = intArg(c, 1);
  int kind = intArg(c, 2);
  if (Sprite* r = effectRecord(n)) r->turn = kind;
}
void cmd_sp_bc(CommandContext c) {
  int n = intArg(c, 1);
  int b = intArg(c, 2), k = intArg(c, 3);
  if (Sprite* r = effectRecord(n)) r->brightnessContrast = (b & 255) << 8 | (k & 255);
}
void cmd_sp_color(CommandContext c) {
  int n = intArg(c, 1);
  int red = intArg(c, 2), green = intArg(c, 3), blue = intArg(c, 4);
  if (Sprite* r = effectRecord(n)) r->colour = (red & 255) << 16 | (green & 255) << 8 | (blue & 255);
}
void cmd_sp_hsl(CommandContext c) {
  int n = intArg(c, 1);
  int h = intArg(c, 2), s = intArg(c, 3), l = intArg(c, 4);
  if (Sprite* r = effectRecord(n)) r->hsl = int32_t(uint32_t(h & 0xFFFF) << 16 | uint32_t(s & 255) << 8 | uint32_t(l & 255));
}
void cmd_sp_blur(CommandContext c) {
  int n = intArg(c, 1);
  int a = intArg(c, 2), b = intArg(c, 3);
  if (Sprite* r = effectRecord(n)) r->blur = int32_t(uint32_t(a) << 16 | uint32_t(b & 0xFFFF));
}
void cmd_sp_mosaic(CommandContext c) {
  int n = intArg(c, 1);
  int a = intArg(c, 2), b = intArg(c, 3);
  if (Sprite* r = effectRecord(n)) r->mosaic = int32_t(uint32_t(a) << 16 | uint32_t(b & 0xFFFF));
}

const bindings::CoreBinding kSpriteCores[] = {
    {"sp_b", cmd_sp_b},         {"sp_o", cmd_sp_o},       {"sp_cxy", cmd_sp_cxy},     {"sp_x", cmd_sp_x},
    {"sp_y", cmd_sp_y},         {"sp_xy", cmd_sp_xy},     {"sp_a", cmd_sp_a},         {"sp_wh", cmd_sp_wh},
    {"sp_rxyz", cmd_sp_rxyz},   {"sp_l", cmd_sp_l},       {"sp_c", cmd_sp_c},         {"sp_ref", cmd_sp_ref},
    {"sp_exist", cmd_sp_exist}, {"sp_gsz", cmd_sp_gsz},   {"sp_gxy", cmd_sp_gxy},     {"sp_ga", cmd_sp_ga},
    {"sp_gwh", cmd_sp_gwh},     {"sp_go", cmd_sp_go},     {"sp_gn", cmd_sp_gn},       {"sp_g", cmd_sp_g},
    {"sp_d", cmd_sp_d},         {"sp_dx", cmd_sp_dx},
};

const bindings::CoreBinding kSpriteImageCores[] = {
    {"sp_neg", cmd_sp_neg},     {"sp_gray", cmd_sp_gray}, {"sp_rot", cmd_sp_rot},   {"sp_bc", cmd_sp_bc},
    {"sp_color", cmd_sp_color}, {"sp_hsl", cmd_sp_hsl},   {"sp_blur", cmd_sp_blur}, {"sp_mosaic", cmd_sp_mosaic},
};

}  // namespace

std::span<const bindings::CoreBinding> spriteCores() { return kSpriteCores; }
std::span<const bindings::CoreBinding> spriteImageCores() { return kSpriteImageCores; }

void bindSpriteCores() {
  bindings::bindCores(spriteCores());
  bindings::bindCores(spriteImageCores());
  bindings::bindCores(loadingCores());
  bindings::bindCores(lookaheadCores());
}

}  // namespace velmora::sprite
