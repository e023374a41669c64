// Text sprites: ssp_set chooses their font, ssp and logsp render a text into a
// sprite's picture, the resets render the recorded text again.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>

#include "bindings/bridge.h"
#include "base/encoding.h"
#include "base/report.h"
#include "base/sjis.h"
#include "base/textconv.h"
#include "image/image.h"
#include "render/geometry.h"
#include "render/render.h"
#include "sprite/sprite.h"
#include "text/fonts.h"
#include "text/commands.h"
#include "text/message.h"
#include "text/messages.h"

namespace velmora::text {
namespace {

using bindings::CommandContext;
using bindings::intArg;

// A text as ssp or logsp rendered it: the record's name field holds only
// short ones.
struct RecordedText {
  std::string text;
  int lines = 0;
  bool rows = false;  // logsp: rows of backlog text
};

struct TextSprites {
  std::map<int, RecordedText> texts;
};
TextSprites& T() {
  static TextSprites t;
  return t;
}

int evenUp(int v) { return (v + 1) & ~1; }

int scaled(int v, float k) { return int(std::lround(float(v) * k)); }

// The rendering of a text sprite at a larger output: k times the game's
// pixels, onto the canvas the shown picture becomes there.
struct Enlarged {
  float kx = 1, ky = 1;
  int width = 0, height = 0;  // 0: the text's own canvas
};

void applyFont(const SpriteFont& f, float k = 1) {
  MessageWindow& w = window();
  const std::string& face = f.face.empty() ? sj("ＭＳ ゴシック") : f.face;
  for (CString* s : {&w.stringMain, &w.stringRuby}) {
    const int size = scaled(s == &w.stringMain ? f.size : f.size / 2, k);
    const int style = s == &w.stringMain ? f.attr[0] : (f.attr[0] & 15);
    if (!s->usable() && s->capacity() == 0) s->Create(face, size, style, 0, 0);
    else s->SetFont(face, size, style);
    s->SetColor(uint32_t(f.attr[1]), uint32_t(f.attr[2]), uint32_t(f.attr[3]));
    s->setEdgeScale(std::max(1, scaled(1, k)));
  }
}

// The picture a text is rendered into stands for the sprite's locked
// texture; failing to get one is the lock's failure.
constexpr unsigned kGlOutOfMemory = 0x0505;
constexpr const char* kLine = "spStrSetString ";
constexpr const char* kRows = "spStrSetString2 ";

void reportTexture(const char* wrapper, const char* step) {
  reportError(std::string(wrapper) + step + render::glErrorName(kGlOutOfMemory));
}

image::Image* blankPicture(int w, int h, const char* wrapper) {
  image::Image* p = image::createImage(std::max(w, 2), std::max(h, 2), 32);
  if (!p) {
    reportTexture(wrapper, "LockRect ");
    return nullptr;
  }
  std::memset(p->pixels, 0, size_t(p->count) * 4);
  return p;
}

// The rendered picture into the sprite (the unlock that hands the texels over).
bool placeText(int n, image::Image* picture, uint32_t flags, const char* wrapper) {
  if (!picture) return false;
  if (sprite::loadTextPicture(n, picture, flags)) return true;
  reportTexture(wrapper, "UnlockRect ");
  return false;
}

bool replaceText(int n, image::Image* picture, const char* wrapper) {
  if (!picture) return false;
  if (sprite::replaceFrontPicture(n, picture)) return true;
  reportTexture(wrapper, "UnlockRect ");
  return false;
}

image::Image* renderLine(std::string_view text, const Enlarged& e = {}) {
  CString& s = window().stringMain;
  const int pad = 2 * s.outlineWidth();
  const int size = s.pixelSize();
  int width = e.width, height = e.height;
  if (!width) {
    const int ink = unicodeGame() ? s.StringWidth(text) : int(text.size()) * size / 2;
    width = evenUp(ink + 5 + pad), height = evenUp(size + 5 + pad);
  }
  image::Image* p = blankPicture(width, height, kLine);
  if (p) s.RenderString(p->pixels, p->width, text, size_t(p->count) * 4);
  return p;
}

image::Image* renderRows(std::string_view text, int lines, const Enlarged& e = {}) {
  MessageWindow& w = window();
  CString& s = w.stringMain;
  const auto& v = w.layout.logValues;  // columns, ..., character gap, row gap
  const int charGap = scaled(v[4], e.kx), rowGap = scaled(v[5], e.ky);
  int width = e.width, height = e.height;
  if (!width) {
    const int size = s.pixelSize(), pitch = size + v[4];
    width = evenUp(v[0] * pitch + 5 + 2 * s.outlineWidth());
    height = evenUp(std::max(v[5], 0) + std::max(lines, 1) * (size + v[5]) + 5 + 2 * s.outlineWidth());
  }
  image::Image* p = blankPicture(width, height, kRows);
  if (p) s.RenderStringRows(p->pixels, p->width, text, size_t(p->count) * 4, charGap, rowGap, &w.stringRuby);
  return p;
}

// The text sprite n shows, when its recorded text is still the record's.
const RecordedText* recordedText(int n) {
  auto it = T().texts.find(n);
  if (it == T().texts.end()) return nullptr;
  const sprite::Sprite& r = sprite::record(n);
  const std::string_view name{r.name, strnlen(r.name, sizeof r.name)};
  const std::string& t = it->second.text;
  return name == (t.size() < sizeof r.name ? std::string_view(t) : std::string_view()) ? &it->second : nullptr;
}

void recordFont(int n, std::string_view text) {
  sprite::Sprite& r = sprite::record(n);
  const SpriteFont& f = spriteFont();
  const size_t len = text.size() < sizeof r.name ? text.size() : 0;
  std::memcpy(r.name, text.data(), len);
  r.name[len] = 0;
  std::memset(r.fontFace, 0, sizeof r.fontFace);
  std::memcpy(r.fontFace, f.face.data(), std::min(f.face.size(), sizeof r.fontFace - 1));
  r.fontSize = f.size;
  std::copy(std::begin(f.attr), std::end(f.attr), r.fontAttr);
}

SpriteFont recordedFont(int n) {
  const sprite::Sprite& r = sprite::record(n);
  SpriteFont f;
  f.face.assign(r.fontFace, strnlen(r.fontFace, sizeof r.fontFace));
  f.size = r.fontSize;
  std::copy(r.fontAttr, r.fontAttr + 4, f.attr);
  return f;
}

void cmd_ssp_set(CommandContext c) {
  SpriteFont& f = spriteFont();
  f.face = std::string(bindings::stringArg(c, 1)).substr(0, 31);
  const float rate = render::geometry().displayRate > 0 ? render::geometry().displayRate : 1.0f;
  f.size = int(float(intArg(c, 2)) * rate);
  for (int i = 0; i < 4; ++i) f.attr[i] = intArg(c, i + 3);
  applyFont(f);
}

bool ready(int n) {
  if (!sprite::validNumber(n)) return false;
  if (spriteFont().size <= 0) {
    spriteFont().size = window().layout.fontSize;
    applyFont(spriteFont());
  }
  return true;
}

void cmd_ssp(CommandContext c) {
  const int n = intArg(c, 1);
  const std::string_view text = bindings::stringArg(c, 2);
  if (!ready(n)) return;
  applyFont(spriteFont());
  if (!placeText(n, renderLine(text), uint32_t(intArg(c, 3)), kLine)) return;
  recordFont(n, text);
  T().texts[n] = {std::string(text), 0, false};
}

void cmd_ssp_reset(CommandContext c) {
  const int n = intArg(c, 1);
  if (!sprite::validNumber(n) || !sprite::frontSlot(n)) return;
  const SpriteFont saved = spriteFont();
  applyFont(recordedFont(n));
  const sprite::Sprite& r = sprite::record(n);
  replaceText(n, renderLine({r.name, strnlen(r.name, sizeof r.name)}), kLine);
  applyFont(saved);
}

// Writes onto the picture already in the back slot, from (x, y).
void cmd_ssp_draw(CommandContext c) {
  const int n = intArg(c, 1);
  sprite::Slot* s = sprite::validNumber(n) ? sprite::backSlot(n) : nullptr;
  image::Image* picture = s ? sprite::writablePicture(*s) : nullptr;
  if (!picture) {
    reportError(std::to_string(n) + messageText(Message::NoPicture));
    return;
  }
  applyFont(spriteFont());
  CString& str = window().stringMain;
  const std::string_view text = bindings::stringArg(c, 2);
  int x = intArg(c, 3);
  const int y = intArg(c, 4);
  for (size_t i = 0; i < text.size();) {
    if (unicodeGame()) {
      size_t n = 1;
      const char32_t u = utf8CharAt(text, i, &n);
      str.WriteGlyph(picture->pixels, picture->width, picture->width, picture->height, x, y, unicodeGlyph(u));
      x += str.UnicodeAdvance(u);
      i += n;
      continue;
    }
    const bool two = isLeadByte(text[i]) && i + 1 < text.size();
    const unsigned code = two ? unsigned(uint8_t(text[i])) << 8 | uint8_t(text[i + 1]) : uint8_t(text[i]);
    str.WriteGlyph(picture->pixels, picture->width, picture->width, picture->height, x, y, code);
    x += (two ? 2 : 1) * str.pixelSize() / 2;
    i += two ? 2 : 1;
  }
  s->upload |= sprite::kUploadPixels;
}

void cmd_logsp(CommandContext c) {
  const int n = intArg(c, 1);
  const std::string text(bindings::stringArg(c, 2));
  const int lines = intArg(c, 4);
  if (!ready(n)) return;
  applyFont(spriteFont());
  if (!placeText(n, renderRows(text, lines), uint32_t(intArg(c, 3)), kRows)) return;
  recordFont(n, text);
  T().texts[n] = {text, lines, true};
}

void cmd_logsp_reset(CommandContext c) {
  const int n = intArg(c, 1);
  const RecordedText* t = recordedText(n);
  if (!t || !t->rows || !sprite::frontSlot(n)) return;
  const SpriteFont saved = spriteFont();
  applyFont(recordedFont(n));
  replaceText(n, renderRows(t->text, t->lines), kRows);
  applyFont(saved);
}

const bindings::CoreBinding kTextSpriteCores[] = {
    {"ssp_set", cmd_ssp_set}, {"ssp", cmd_ssp},     {"ssp_reset", cmd_ssp_reset},
    {"ssp_draw", cmd_ssp_draw}, {"logsp", cmd_logsp}, {"logsp_reset", cmd_logsp_reset},
};

}  // namespace

image::Image* renderTextSprite(int n) { return renderTextSpriteAt(n, 0, 0, 1, 1); }

image::Image* renderTextSpriteAt(int n, int width, int height, float kx, float ky) {
  if (!sprite::validNumber(n)) return nullptr;
  const SpriteFont saved = spriteFont();
  applyFont(recordedFont(n), ky);
  const Enlarged e{kx, ky, width, height};
  const sprite::Sprite& r = sprite::record(n);
  const RecordedText* t = recordedText(n);
  image::Image* p = t && t->rows ? renderRows(t->text, t->lines, e)
                    : t          ? renderLine(t->text, e)
                                 : renderLine({r.name, strnlen(r.name, sizeof r.name)}, e);
  applyFont(saved);
  return p;
}

SpriteFont& spriteFont() {
  static SpriteFont f;
  return f;
}

std::span<const bindings::CoreBinding> textSpriteCores() { return kTextSpriteCores; }

}  // namespace velmora::text
