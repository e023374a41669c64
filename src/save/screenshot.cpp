#include "save/screenshot.h"

#include <cstring>

#include "script/modes.h"
#include "base/report.h"
#include "base/settings.h"
#include "base/textconv.h"
#include "image/image.h"
#include "render/geometry.h"
#include "render/render.h"
#include "save/messages.h"
#include "sprite/saved.h"
#include "sprite/sprite.h"
#include "render/display_settings.h"

namespace velmora::save {
namespace {

image::Image* g_shot = nullptr;

// The 16:9 cut applies when the game asked for it and the design allows it.
bool cutToWide() {
  return render::screenAspect() != render::Aspect::SixteenNine && render::geometry().aspectChoice != 0;
}

int wideHeight(int width) { return width * 9 / 16; }

image::Image* readBackFrame(bool wide) {
  if (!render::deviceCreated()) return nullptr;
  const render::Geometry& g = render::geometry();
  image::Image* shot = render::getRenderImage(g.screenWidth, g.screenHeight);
  if (!shot) return nullptr;
  shot->depth = 24;
  if (wide && !image::clippingImage2(shot, 0, 0, shot->width, wideHeight(shot->width))) image::freeImage(shot);
  return shot;
}

bool overlaps(const image::Image* canvas, const image::Image* picture, int x, int y) {
  return x < canvas->width && y < canvas->height && x + picture->width > 0 && y + picture->height > 0;
}

// Nothing is drawn in jump mode: the screen sprites' pictures are laid onto
// a canvas of the design size, back to front.
image::Image* composeOnCpu(bool wide) {
  const render::Geometry& g = render::geometry();
  int w = g.screenWidth2, h = g.screenHeight2;
  if (w <= 0 || h <= 0) w = sprite::screenFacts().width, h = sprite::screenFacts().height;
  if (wide) h = wideHeight(w);
  image::Image* canvas = image::createImage(w, h, 24);
  if (!canvas) {
    reportError(messageText(Message::ScreenshotNoMemory));
    return nullptr;
  }
  std::memset(canvas->pixels, 0, size_t(canvas->count) * 4);
  const auto& order = sprite::drawOrder(0);
  for (auto it = order.rbegin(); it != order.rend(); ++it) {
    const int n = it->second;
    const sprite::Slot* s = sprite::frontSlot(n);
    const sprite::Sprite& r = sprite::record(n);
    if (!s || s->alpha == 0 || (s->loadFlags & 3) || r.fontSize != 0 || (r.fontFace[0] & sprite::kKindMovie)) continue;
    image::Image* picture = sprite::reloadSpritePicture(n);
    if (!picture) continue;
    const int x = int(s->x - s->originX * float(picture->width) / 2);
    const int y = int(s->y - s->originY * float(picture->height) / 2);
    if (overlaps(canvas, picture, x, y)) image::blendImage(canvas, picture, 1, x, y, s->alpha + 1, 0);
    image::freeImage(picture);
  }
  return canvas;
}

}  // namespace

void takeScreenShot(int width, int height) {
  releaseScreenShot();
  const bool wide = cutToWide();
  image::Image* shot = script::readingModes().jump ? nullptr : readBackFrame(wide);
  if (!shot) shot = composeOnCpu(wide);
  if (!shot) return;
  if (width > 0 && height > 0 && (width != shot->width || height != shot->height))
    image::resizeImage2(shot, width, height, 1, 1, 1);
  g_shot = shot;
}

bool writeScreenShot(const std::string& file, int format, int depth, int value, int option) {
  image::checkScreenShotArgs(format, depth, value, option, reportError);
  return image::saveImage(file.c_str(), g_shot, format, depth, value, option) == 1;
}

const image::Image* screenShot() { return g_shot; }
void releaseScreenShot() { image::freeImage(g_shot); }

}  // namespace velmora::save
