// Image-log pictures: the scene a backlog page was read over, rebuilt on the
// CPU from the page's 192-byte image records and put into a sprite.
#include "save/image_log.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <string>

#include "base/report.h"
#include "base/textconv.h"
#include "image/image.h"
#include "render/geometry.h"
#include "render/transition.h"
#include "resource/resource.h"
#include "base/snapshot.h"
#include "save/messages.h"
#include "sprite/picture.h"
#include "sprite/sprite.h"

namespace velmora::save {
namespace {

constexpr size_t kRecordBytes = 192;
constexpr int kRecords = 16;
constexpr size_t kMovieHeader = 44;
constexpr int kBacklogPages = 200;
// Blend rows 0-8 as blendImage modes; 9 and above place nothing.
constexpr int kBlendModes[] = {0, 1, 2, 3, 4, 6, 7, 8, 9};

int16_t s16(const uint8_t* r, size_t at) {
  int16_t v;
  std::memcpy(&v, r + at, 2);
  return v;
}
uint16_t u16(const uint8_t* r, size_t at) {
  uint16_t v;
  std::memcpy(&v, r + at, 2);
  return v;
}
uint32_t u32(const uint8_t* r, size_t at) {
  uint32_t v;
  std::memcpy(&v, r + at, 4);
  return v;
}

std::string text64(const uint8_t* r) { return std::string(reinterpret_cast<const char*>(r), strnlen(reinterpret_cast<const char*>(r), 64)); }

struct Facts {
  float rate = 1, ratio = 1;
  bool scaled() const { return rate > 1.0f; }
};

Facts facts() {
  const render::Geometry& g = render::geometry();
  Facts f;
  if (g.displayRate > 0) f.rate = g.displayRate, f.ratio = g.pictureRatio;
  return f;
}

// A layer and whether its pixels are at the high-resolution scale.
struct Layer {
  image::Image* picture = nullptr;
  bool high = false;
};

int byRatio(int v, const Facts& f) { return int(float(v) * f.ratio); }

// Difference composition, the cut, the constant colour and the load effects.
bool prepare(const LogRecord& rec, Layer& layer, int resolution, const Facts& f) {
  if (!sprite::composeDifference(rec.path.c_str(), layer.picture, &resolution, true)) return false;
  layer.high = resolution == 2;
  if (rec.cutW && rec.cutH) {
    int x = rec.cutX, y = rec.cutY, w = rec.cutW, h = rec.cutH;
    if (layer.high && f.scaled()) {
      if (x != -1) x = byRatio(x, f);
      y = byRatio(y, f), w = byRatio(w, f), h = byRatio(h, f);
    }
    if (x == -1) x = (layer.picture->width - w) >> 1;
    image::clippingImage2(layer.picture, x, y, w, h);
  }
  if (rec.colourMode == 4 || rec.colourMode == 7)
    image::colImage(layer.picture, rec.colourMode == 4 ? 4 : 2, 0xFF000000u | rec.colour);
  sprite::Sprite effects{};
  effects.negative = rec.negative, effects.grayscale = rec.grayscale, effects.turn = rec.turn;
  effects.brightnessContrast = rec.brightnessContrast, effects.colour = rec.colourEffect, effects.hsl = rec.hsl;
  effects.blur = rec.blur, effects.mosaic = rec.mosaic;
  sprite::applyImageEffects(effects, layer.picture);
  return layer.picture != nullptr;
}

bool applyMask(const LogRecord& rec, Layer& layer, const Facts& f) {
  int resolution = 1;
  image::Image* mask = sprite::loadPicture(rec.mask.c_str(), &resolution, true, false);
  if (!mask) return false;
  if (layer.high && f.scaled()) image::resizeImage2(mask, f.ratio, f.ratio, 2, 1, 1);
  const int v = std::min(rec.maskVague, 511);
  const int shift = (rec.maskProgress * (v + 255)) >> 9;
  const int w = std::min(layer.picture->width, mask->width), h = std::min(layer.picture->height, mask->height);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint32_t& p = layer.picture->pixels[size_t(y) * layer.picture->width + x];
      const int m = int(mask->pixels[size_t(y) * mask->width + x] & 255);
      int a = render::maskRamp(v, shift + 255 - m);
      if (rec.maskReverse == 0) a = 255 - a;
      p = (p & 0xFFFFFFu) | uint32_t(a) << 24;
    }
  image::freeImage(mask);
  return true;
}

// Scales and turns the layer, then blends it onto the canvas (layer taken).
void place(image::Image*& canvas, const LogRecord& rec, Layer layer, const Facts& f) {
  if (!rec.mask.empty() && !applyMask(rec, layer, f)) return image::freeImage(layer.picture);
  int tw = layer.picture->width * rec.scaleW / 100, th = layer.picture->height * rec.scaleH / 100;
  double d = rec.scaleW == rec.scaleH ? rec.scaleW / 100.0 : 0.0;
  int x0 = rec.x, y0 = rec.y;
  if (f.scaled()) {
    if (!layer.high) tw = byRatio(tw, f), th = byRatio(th, f), d *= f.ratio;
    x0 = byRatio(x0, f), y0 = byRatio(y0, f);
  }
  const int r = rec.rotation;
  if (d != 0 && d != 1 && r != 0) image::rotateImage2(layer.picture, r, d, 1);
  else if (tw == layer.picture->width && th == layer.picture->height) {
    if (r != 0) image::rotateImage2(layer.picture, r, 0, 1);
  } else if (tw > 0 && th > 0) {
    image::resizeImage2(layer.picture, tw, th, 1, 1, 1);
  }
  int x = x0 - ((tw * rec.originX) >> 1), y = y0 - ((th * rec.originY) >> 1);
  if (r != 0) {
    const float theta = float(-r) * 3.1415927f / 180.0f, s = std::sin(theta), c = std::cos(theta);
    const int ax = ((tw * rec.originX) >> 1) - (tw >> 1), ay = ((th * rec.originY) >> 1) - (th >> 1);
    x = x0 - int(float(ax) * c - float(ay) * s + 0.5f) - (layer.picture->width >> 1);
    y = y0 - int(c * float(ay) + float(ax) * s + 0.5f) - (layer.picture->height >> 1);
  }
  const image::Image* p = layer.picture;
  const bool overlaps = x < canvas->width && y < canvas->height && x + p->width > 0 && y + p->height > 0;
  if (rec.blend >= 0 && rec.blend < int(std::size(kBlendModes)) && overlaps)
    image::blendImage(canvas, layer.picture, kBlendModes[rec.blend], x, y, rec.alpha + 1, 0);
  image::freeImage(layer.picture);
}

enum class Step { Next, StopGroup };

// The first MJPG frame of a movie record; Next without a layer passes it over.
Step movieFrame(const LogRecord& rec, Layer& layer) {
  int resolution = 1;
  const std::string path = sprite::highResolutionChoice(rec.path, resolution);
  std::string bytes;
  if (!resource::loadFileS(path.c_str(), bytes) || bytes.size() < kMovieHeader) return Step::Next;
  const uint64_t at = kMovieHeader + uint64_t(u32(reinterpret_cast<const uint8_t*>(bytes.data()), 40));
  const std::string_view tag = at + 4 <= bytes.size() ? std::string_view(bytes).substr(at, 4) : std::string_view();
  if (tag != "00dc") {
    if (tag != "EOF ") reportError("CHUNK READ ERROR");
    return Step::Next;
  }
  if (at + 12 > bytes.size()) return reportError(messageText(Message::DataNotDecoded)), Step::StopGroup;
  const uint32_t size = u32(reinterpret_cast<const uint8_t*>(bytes.data()), size_t(at) + 8);
  if (size > bytes.size() - (at + 12)) return reportError(messageText(Message::DataNotDecoded)), Step::StopGroup;
  layer.picture = image::loadImage(reinterpret_cast<const unsigned char*>(bytes.data()) + at + 12, int(size));
  if (!layer.picture) return reportError(messageText(Message::DataNotDecoded)), Step::StopGroup;
  layer.high = resolution == 2;
  return Step::Next;
}

Step framedLayer(const LogRecord& rec, Layer& layer, const Facts& f) {
  int resolution = 1;
  Layer picture{sprite::loadPicture(rec.path.c_str(), &resolution, true, true)};
  if (!picture.picture || !prepare(rec, picture, resolution, f)) return Step::StopGroup;
  int w = rec.canvasW, h = rec.canvasH;
  if (f.scaled() && picture.high) w = byRatio(w, f), h = byRatio(h, f);
  image::Image* frame = image::createImage(w, h, 32);
  if (!frame) {
    image::freeImage(picture.picture);
    reportError(rec.path + messageText(Message::CreateImageNoMemory));
    return Step::StopGroup;
  }
  std::memset(frame->pixels, 0, size_t(frame->count) * 4);
  image::compositeImage(frame, picture.picture, 0, (w - picture.picture->width) >> 1, h - picture.picture->height, 0);
  image::freeImage(picture.picture);
  layer = Layer{frame, picture.high};
  return Step::Next;
}

using TargetPictures = std::map<int, Layer>;

image::Image* groupPicture(int group, int w, int h, const std::vector<LogRecord>& records, TargetPictures& targets,
                           const Facts& f) {
  if (f.scaled()) w = byRatio(w, f), h = byRatio(h, f);
  image::Image* canvas = image::createImage(w, h, 32);
  if (!canvas) {
    reportError(messageText(Message::ImageNotAllocated));
    return nullptr;
  }
  std::memset(canvas->pixels, 0, size_t(canvas->count) * 4);
  for (const LogRecord& rec : records) {
    if (rec.group != group) continue;
    Layer layer;
    Step step = Step::Next;
    if (rec.kind & kLogFramed) {
      step = framedLayer(rec, layer, f);
    } else if (rec.kind & kLogMovie) {
      step = movieFrame(rec, layer);
    } else if (rec.kind & kLogRenderTarget) {
      auto it = targets.find(rec.sprite);
      if (it != targets.end()) layer = it->second, targets.erase(it);
    } else {
      int resolution = 1;
      layer.picture = sprite::loadPicture(rec.path.c_str(), &resolution, true, true);
      if (!layer.picture || !prepare(rec, layer, resolution, f)) step = Step::StopGroup;
    }
    if (step == Step::StopGroup) break;
    if (layer.picture) place(canvas, rec, layer, f);
  }
  return canvas;
}

}  // namespace

LogRecord readLogRecord(const uint8_t* r) {
  LogRecord rec;
  rec.path = text64(r);
  rec.mask = text64(r + 64);
  rec.x = s16(r, 128), rec.y = s16(r, 130);
  rec.scaleW = u16(r, 132), rec.scaleH = u16(r, 134);
  rec.rotation = s16(r, 136);
  rec.cutX = s16(r, 138), rec.cutY = s16(r, 140), rec.cutW = s16(r, 142), rec.cutH = s16(r, 144);
  rec.originX = u16(r, 146) & 3, rec.canvasW = u16(r, 146) >> 2;
  rec.originY = u16(r, 148) & 3, rec.canvasH = u16(r, 148) >> 2;
  rec.frames = u16(r, 154);
  rec.alpha = r[156];
  rec.kind = r[157] & 7, rec.blend = r[157] >> 4;
  rec.negative = (r[158] >> 4) & 1, rec.grayscale = (r[158] >> 3) & 1, rec.turn = r[158] & 7;
  const uint32_t mask = u32(r, 160);
  rec.maskReverse = int(mask >> 20 & 0x3FF), rec.maskProgress = int(mask >> 10 & 0x3FF), rec.maskVague = int(mask & 0x3FF);
  rec.sprite = int(u32(r, 164) >> 16), rec.group = int(u32(r, 164) & 0xFFFF);
  rec.colourMode = int(u32(r, 168) >> 24), rec.colour = u32(r, 168) & 0xFFFFFF;
  rec.brightnessContrast = int32_t(u32(r, 172)), rec.colourEffect = int32_t(u32(r, 176));
  rec.hsl = int32_t(u32(r, 180)), rec.blur = int32_t(u32(r, 184)), rec.mosaic = int32_t(u32(r, 188));
  return rec;
}

image::Image* imageLogPicture(const uint8_t* records) {
  std::vector<LogRecord> list;
  for (int i = 0; i < kRecords && records[size_t(i) * kRecordBytes]; ++i)
    list.push_back(readLogRecord(records + size_t(i) * kRecordBytes));
  if (list.empty()) return nullptr;
  const Facts f = facts();
  TargetPictures targets;
  for (const LogRecord& rec : list)
    if ((rec.kind & kLogRenderTarget) && !targets.count(rec.sprite))
      if (image::Image* p = groupPicture(rec.sprite, rec.canvasW, rec.canvasH, list, targets, f))
        targets[rec.sprite] = Layer{p, f.scaled()};
  const render::Geometry& g = render::geometry();
  int w = int(g.designCentreX * 2), h = int(g.designCentreY * 2);
  if (w <= 0 || h <= 0) w = sprite::screenFacts().width, h = sprite::screenFacts().height;
  image::Image* screen = groupPicture(0, w, h, list, targets, f);
  for (auto& [n, layer] : targets) image::freeImage(layer.picture);
  return screen;
}

bool showImageLog(int n, const uint8_t* records, int entry) {
  if (!sprite::validNumber(n)) return false;
  image::Image* picture = imageLogPicture(records);
  if (!picture) return false;
  if (!sprite::loadMadePicture(n, picture, facts().scaled() ? 2 : 1)) return false;
  sprite::Sprite& r = sprite::record(n);
  std::memset(r.name, 0, sizeof r.name);
  r.name[1] = char(entry);
  r.fontFace[0] = char(sprite::kKindImageLog);
  return true;
}

void getImgLog(int n, int back) {
  const auto& link = snapshotTextLink();
  if (back < 0 || back >= kBacklogPages || !link.currentPage || !link.pageImages) return;
  const int entry = (link.currentPage() - back + kBacklogPages) % kBacklogPages;
  const uint8_t* records = link.pageImages(entry);
  if (records && records[0]) showImageLog(n, records, entry);
}

image::Image* rebuildImageLog(int n) {
  const auto& link = snapshotTextLink();
  const int entry = uint8_t(sprite::record(n).name[1]);
  const uint8_t* records = link.pageImages && entry < kBacklogPages ? link.pageImages(entry) : nullptr;
  return records && records[0] ? imageLogPicture(records) : nullptr;
}

}  // namespace velmora::save
