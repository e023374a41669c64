// Loading pictures into sprites: sp, sp_cut, sp_st, sp_mask, spg, sp_reload.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "bindings/bridge.h"
#include "base/report.h"
#include "base/textconv.h"
#include "image/image.h"
#include "sprite/internal.h"
#include "sprite/messages.h"
#include "sprite/motion.h"
#include "sprite/picture.h"

namespace velmora::sprite {

namespace {

using bindings::CommandContext;
using bindings::intArg;
using bindings::stringArg;

bool highResolutionActive(int resolution) { return resolution == 2 && table().screen.displayRate > 1.0f; }

void copyName(char (&to)[128], std::string_view text) {
  size_t n = std::min(text.size(), sizeof to - 1);
  std::memcpy(to, text.data(), n);
  to[n] = 0;
}

bool cutPicture(const Sprite& r, image::Image*& picture, int resolution) {
  if (!r.cutW || !r.cutH) return true;
  int x = r.cutX, y = r.cutY, w = r.cutW, h = r.cutH;
  if (highResolutionActive(resolution)) {
    const float k = table().screen.pictureRatio;
    if (x != -1) x = clampToInt(float(x) * k);
    y = clampToInt(float(y) * k);
    w = clampToInt(float(w) * k);
    h = clampToInt(float(h) * k);
  }
  if (x == -1) x = (picture->width - w) / 2;
  if (image::clippingImage2(picture, x, y, w, h)) return true;
  image::freeImage(picture);
  return false;
}

// Every effect applyImageEffects applies: a picture that takes none is shown
// as the cache holds it.
bool hasImageEffects(const Sprite& r) {
  return r.negative || r.grayscale || (r.turn >= 1 && r.turn <= 3) || r.brightnessContrast || r.colour || r.hsl ||
         r.blur || r.mosaic;
}

}  // namespace

void applyImageEffects(const Sprite& r, image::Image*& p) {
  auto sbyte = [](int v, int shift) { return int(int8_t((v >> shift) & 255)); };
  if (r.negative) image::negaposiImage(p);
  if (r.grayscale) image::grayscalImage(p);
  if (r.turn == 1) image::flipHorizontalImage2(p);
  else if (r.turn == 2) image::flipVerticalImage2(p);
  else if (r.turn == 3) image::rotateImage2(p, 180.0, 0.0, 0);
  if (r.brightnessContrast) image::bcImage(p, sbyte(r.brightnessContrast, 8), sbyte(r.brightnessContrast, 0));
  if (r.colour) image::colorImage(p, sbyte(r.colour, 16), sbyte(r.colour, 8), sbyte(r.colour, 0));
  if (r.hsl) image::hslImage(p, int(int16_t(uint32_t(r.hsl) >> 16)), sbyte(r.hsl, 8), sbyte(r.hsl, 0));
  if (r.blur) image::blurImage(p, r.blur >> 16, r.blur & 0xFFFF);
  if (r.mosaic) image::mosaicImage(p, r.mosaic >> 16, r.mosaic & 0xFFFF);
}

// The back slot to fill: created when missing. fresh = the sprite had no
// slots at all.
bool prepareBackSlot(int n, Slot*& back, bool& fresh) {
  TableState& t = table();
  Sprite& r = t.sprites[n];
  fresh = !t.slots[n][0] && !t.slots[n][1];
  Slot*& ref = t.slots[n][(r.front ^ 1) & 1];
  if (!ref) ref = newSlot();
  if (!ref) {
    reportError(std::to_string(n) + messageText(Message::SettingNoMemory));
    return false;
  }
  back = ref;
  return true;
}

// Load step 7: what the new back slot keeps, and the pending state.
void finishLoad(int n, bool fresh, uint32_t loadFlags) {
  TableState& t = table();
  Sprite& r = t.sprites[n];
  Slot* back = backSlot(n);
  Slot*& frontRef = t.slots[n][r.front & 1];
  if (fresh) {
    resetProperties(*back);
    back->loadFlags = loadFlags;
    frontRef = newSlot();
    if (!frontRef) {
      reportError(std::to_string(n) + messageText(Message::Setting2NoMemory));
      freeSlot(t.slots[n][(r.front ^ 1) & 1]);
      return;
    }
    copyProperties(*frontRef, *back);
    r.order = 0;
    enterGroup(n, 0);
    r.pending = kPendingPicture;
  } else if (r.pending & kPendingDelete) {
    resetProperties(*back);
    back->loadFlags = loadFlags;
    r.order = 0;
    enterGroup(n, 0);
    r.pending = kPendingPicture | kPendingReleaseFront;
  } else if (r.pending & kPendingPicture) {
    back->loadFlags = loadFlags;
  } else {
    if (!(r.pending & kPendingProperties) && frontRef) copyLook(*back, *frontRef);
    back->loadFlags = loadFlags;
    buildVertices(*back);
    r.pending = kPendingPicture | kPendingReleaseFront;
  }
  r.endDelete = 0;
}

namespace {

// Steps 1-2 of every load: a sprite whose motion ends in deletion goes now.
void clearForLoad(int n) {
  Sprite& r = table().sprites[n];
  if (r.endDelete) {
    r.pending = kPendingDelete;
    commitSprite(n);
  }
  stopSpriteMovie(n);
}

// The back slot takes either a cached picture it shows as it is, or one of
// its own (text and movie canvases are written into later); with neither
// (jump mode) it becomes a w x h placeholder, rebuilt when the jump or the
// save restore ends.
bool placePicture(int n, PictureRef shared, image::Image* owned, int frames, int resolution, uint32_t flags,
                  int w = 1, int h = 1) {
  Slot* back = nullptr;
  bool fresh = false;
  if (!prepareBackSlot(n, back, fresh)) {
    image::freeImage(owned);
    return false;
  }
  bool ok;
  if (shared) {
    ok = attachSharedPicture(*back, std::move(shared), frames, resolution);
  } else if (owned) {
    ok = attachPicture(*back, owned, frames, resolution);
  } else {
    releasePicture(*back);
    ok = layTiles(*back, std::max(w, 1), std::max(h, 1), 1);
    back->resolution = 1;
    back->placeholder = true;
  }
  if (!ok) {
    if (fresh) freeSlot(table().slots[n][(table().sprites[n].front ^ 1) & 1]);
    else releasePicture(*back);
    return false;
  }
  finishLoad(n, fresh, flags);
  return backSlot(n) != nullptr;
}

}  // namespace

PictureRef decodeForSprite(int n, const std::string& path, uint32_t flags, int& resolution) {
  resolution = 1;
  const Sprite& r = table().sprites[n];
  const bool useCache = !(flags & kLoadNoCache);
  if ((!r.cutW || !r.cutH) && !hasImageEffects(r)) return loadWholeSharedPicture(path.c_str(), &resolution, useCache);
  // Cutting and effects write into the picture: they take one of their own.
  image::Image* picture = loadWholePicture(path.c_str(), &resolution, useCache);
  if (!picture || !cutPicture(r, picture, resolution)) return {};
  applyImageEffects(r, picture);
  return adoptPicture(picture);
}

bool loadSpritePicture(int n, const char* rawPath, uint32_t flags, int frames) {
  if (!validNumber(n)) return false;
  clearForLoad(n);
  std::string path = normalisePath(rawPath);
  PictureRef picture;
  int resolution = 1;
  if (!table().jump) {
    picture = decodeForSprite(n, path, flags, resolution);
    if (!picture) return false;
  }
  if (!placePicture(n, std::move(picture), nullptr, frames, resolution, flags)) return false;
  Sprite& r = table().sprites[n];
  copyName(r.name, path);
  r.fontFace[0] = kKindPicture;
  return true;
}

bool loadMadePicture(int n, image::Image* picture, int resolution, uint32_t flags) {
  if (!validNumber(n)) {
    image::freeImage(picture);
    return false;
  }
  clearForLoad(n);
  if (table().jump) image::freeImage(picture);
  return placePicture(n, {}, picture, 1, resolution, flags);
}

// Text pictures are drawn at device size: logical units.
bool loadTextPicture(int n, image::Image* picture, uint32_t flags) {
  if (!loadMadePicture(n, picture, 1, flags)) return false;
  Slot* back = backSlot(n);
  back->showsText = !back->placeholder;
  return true;
}

bool replaceFrontPicture(int n, image::Image* picture) {
  Slot* s = validNumber(n) ? frontSlot(n) : nullptr;
  if (!s || !picture) {
    image::freeImage(picture);
    return false;
  }
  // ssp_reset on a movie sprite: the movie would go on under the text.
  stopSpriteMovie(n);
  if (!attachPicture(*s, picture, 1, 1)) return false;
  buildVertices(*s);
  s->dirty = true;
  s->showsText = true;
  return true;
}

bool loadMovieCanvas(int n, int width, int height, uint32_t flags, const char* path) {
  if (!validNumber(n)) return false;
  image::Image* picture = nullptr;
  if (!table().jump) {
    constexpr int kLargest = 8192;
    if (width > 0 && height > 0 && width <= kLargest && height <= kLargest) picture = image::createImage(width, height, 32);
    if (!picture) {
      reportError(std::to_string(n) + messageText(Message::TextureNotMade));
      return false;
    }
    std::fill(picture->pixels, picture->pixels + picture->count, 0xFF000000u);
  }
  if (!placePicture(n, {}, picture, 1, 1, flags)) return false;
  Sprite& r = table().sprites[n];
  copyName(r.name, normalisePath(path));
  r.fontFace[0] = kKindMovie;
  return true;
}

image::Image* framedCanvas(int n, const std::string& path, uint32_t flags, int w, int h, int& resolution) {
  PictureRef picture = decodeForSprite(n, path, flags, resolution);
  if (!picture) return nullptr;
  int cw = w, ch = h;
  if (highResolutionActive(resolution)) {
    cw = clampToInt(float(w) * table().screen.pictureRatio);
    ch = clampToInt(float(h) * table().screen.pictureRatio);
  }
  image::Image* canvas = image::createImage(cw, ch, 32);
  if (!canvas) {
    reportError(path + " loadImage3\n" + std::to_string(cw) + "," + std::to_string(ch) +
               messageText(Message::NoMemory));
    return nullptr;
  }
  std::memset(canvas->pixels, 0, size_t(canvas->count) * 4);
  // Only read from: it may be the cache's.
  image::compositeImage(canvas, const_cast<image::Image*>(picture.get()), 0, (cw - picture->width) >> 1,
                        ch - picture->height, 0);
  return canvas;
}

bool loadFramedPicture(int n, const char* rawPath, uint32_t flags, int w, int h) {
  if (!validNumber(n)) return false;
  clearForLoad(n);
  std::string path = normalisePath(rawPath);
  image::Image* canvas = nullptr;
  int resolution = 1;
  if (!table().jump) {
    canvas = framedCanvas(n, path, flags, w, h, resolution);
    if (!canvas) return false;
  }
  // A placeholder keeps the canvas size its rebuild asks for.
  if (!placePicture(n, {}, canvas, 1, resolution, flags, w, h)) return false;
  Sprite& r = table().sprites[n];
  copyName(r.name, path);
  r.fontFace[0] = kKindFramed;
  return true;
}

void framedSize(const Slot& s, int& w, int& h) {
  w = s.width;
  h = s.height;
  if (s.resolution == 2 && table().screen.displayRate > 1.0f && table().screen.pictureRatio > 0.0f) {
    w = int(float(w) / table().screen.pictureRatio);
    h = int(float(h) / table().screen.pictureRatio);
  }
}

bool attachMask(Slot& s, const std::string& path) {
  int resolution = 1;
  image::Image* mask = loadWholePicture(path.c_str(), &resolution, !(s.loadFlags & kLoadNoCache));
  if (!mask) return false;
  image::freeImage(s.mask);
  s.mask = mask;
  Slot probe{};
  if (layTiles(probe, mask->width, mask->height, 1)) {
    s.maskTileColumns = probe.tileColumns;
    s.maskTileRows = probe.tileRows;
  }
  s.upload |= kUploadMask;
  return true;
}

namespace {

void cmd_sp(CommandContext c) {
  int n = intArg(c, 1);
  std::string path(stringArg(c, 2));
  uint32_t flags = uint32_t(intArg(c, 3));
  int frames = intArg(c, 4);
  if (!validNumber(n)) return;
  Sprite& r = table().sprites[n];
  r.cutX = r.cutY = r.cutW = r.cutH = 0;
  loadSpritePicture(n, path.c_str(), flags, frames);
}

void cmd_sp_cut(CommandContext c) {
  int n = intArg(c, 1);
  std::string path(stringArg(c, 2));
  uint32_t flags = uint32_t(intArg(c, 3));
  int frames = intArg(c, 4);
  int x = intArg(c, 5), y = intArg(c, 6), w = intArg(c, 7), h = intArg(c, 8);
  if (!validNumber(n)) return;
  Sprite& r = table().sprites[n];
  r.cutX = x;
  r.cutY = y;
  r.cutW = w;
  r.cutH = h;
  loadSpritePicture(n, path.c_str(), flags, frames);
}

void cmd_sp_st(CommandContext c) {
  int n = intArg(c, 1);
  std::string path(stringArg(c, 2));
  uint32_t flags = uint32_t(intArg(c, 3));
  int w = intArg(c, 4), h = intArg(c, 5);
  int time = intArg(c, 6);
  int delay = intArg(c, 7);
  if (!validNumber(n)) return;
  const Sprite& r = table().sprites[n];
  Slot* current = frontSlot(n);
  // A timed switch cross-fades two equal canvases.
  if (time > 0 && current && r.fontFace[0] == kKindFramed) {
    int cw = 0, ch = 0;
    framedSize(*current, cw, ch);
    if (cw != w || ch != h) {
      bool onPending = (r.pending & kPendingPicture) != 0;
      reportError(std::to_string(n) +
          messageText(onPending ? Message::SizeDiffersFromPending : Message::SizeDiffersFromShown));
      return;
    }
    // Jump mode lands at once; otherwise the motion tracks cross-fade.
    if (!table().jump) {
      addSwitchKey(n, normalisePath(path), flags, w, h, time, delay);
      return;
    }
  }
  loadFramedPicture(n, path.c_str(), flags, w, h);
}

void cmd_sp_mask(CommandContext c) {
  int n = intArg(c, 1);
  std::string path = normalisePath(stringArg(c, 2));
  int reverse = intArg(c, 3), progress = intArg(c, 4), vague = intArg(c, 5);
  if (!validNumber(n)) return;
  Slot* s = afterSlot(n);
  if (!s) return reportNoPicture(n);
  if (!attachMask(*s, path)) return;
  s->maskReverse = reverse;
  s->maskProgress = progress;
  s->maskVague = (vague - 1) & 511;
  copyName(table().sprites[n].maskName, path);
}

void cmd_spg(CommandContext c) {
  int n = intArg(c, 1);
  int w = intArg(c, 2), h = intArg(c, 3);
  uint32_t flags = uint32_t(intArg(c, 4));
  if (!validNumber(n)) return;
  const ScreenFacts& f = table().screen;
  if (flags & kLoadNoSave) {
    w = clampToInt(float(w) * f.displayRate + 0.5f);
    h = clampToInt(float(h) * f.displayRate + 0.5f);
  } else if ((flags & kLoadNoCache) && f.displayRate > 1.0f) {
    w = clampToInt(float(w) * f.pictureRatio + 0.5f);
    h = clampToInt(float(h) * f.pictureRatio + 0.5f);
  }
  if (w <= 0 || h <= 0 || !renderTargetFits(n, w, h)) return;
  clearForLoad(n);
  Slot* back = nullptr;
  bool fresh = false;
  if (!prepareBackSlot(n, back, fresh)) return;
  releasePicture(*back);
  // The device draws into a texture of exactly this size.
  TextureLimits saved = table().limits;
  table().limits = TextureLimits{};
  bool ok = layTiles(*back, w, h, 1);
  table().limits = saved;
  if (ok) {
    back->tileTexWidth = w;
    back->tileTexHeight = h;
    back->renderTarget = true;
    back->resolution = 0;
    buildVertices(*back);
  }
  if (!ok) {
    if (fresh) freeSlot(table().slots[n][(table().sprites[n].front ^ 1) & 1]);
    return;
  }
  finishLoad(n, fresh, flags);
  Sprite& r = table().sprites[n];
  r.name[0] = 0;
  r.fontFace[0] = kKindRenderTarget;
  table().renderTargets.insert(n);
}

void cmd_sp_reload(CommandContext c) {
  int n = intArg(c, 1);
  if (!validNumber(n)) return;
  const Sprite& r = table().sprites[n];
  Slot* s = afterSlot(n);
  if (!s || r.endDelete || (r.pending & kPendingDelete)) return;
  std::string name(r.name, strnlen(r.name, sizeof r.name));
  if (r.fontFace[0] == kKindFramed) {
    int w = 0, h = 0;
    framedSize(*s, w, h);
    loadFramedPicture(n, name.c_str(), s->loadFlags, w, h);
  } else if (r.fontFace[0] == kKindPicture && !name.empty()) {
    loadSpritePicture(n, name.c_str(), s->loadFlags, s->frames);
  }
}

const bindings::CoreBinding kLoadingCores[] = {
    {"sp", cmd_sp},         {"sp_cut", cmd_sp_cut}, {"sp_st", cmd_sp_st},
    {"sp_mask", cmd_sp_mask}, {"spg", cmd_spg},     {"sp_reload", cmd_sp_reload},
};

}  // namespace

std::span<const bindings::CoreBinding> loadingCores() { return kLoadingCores; }

}  // namespace velmora::sprite
