#include "setup/font.h"

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/encoding.h"
#include "base/sjis.h"
#include "base/textconv.h"
#include "image/image.h"
#include "text/cstring.h"
#include "text/fonts.h"
#include "text/linebreak.h"

namespace velmora::setup {
namespace {

// Room around the glyphs, so that none starts left of or above the buffer.
constexpr int kMargin = 2;
// The overlays draw the same few texts every frame: their coverage is kept,
// up to this many, and all let go when one more is needed.
constexpr size_t kKeptTexts = 64;

struct FontState {
  std::string face;  // Shift_JIS
  std::string faceAsAsked;  // UTF-8: the overlays ask every frame, the conversion once
  std::map<int, std::unique_ptr<text::CString>> sizes;
  bool failed = false;  // no font to be had: not asked again every frame
  std::map<std::pair<int, std::string>, std::vector<uint32_t>> coverage;  // by pixel height and text
};
FontState fontState;

// One text object per pixel height, made on first use.
text::CString* faceAt(int pixelHeight) {
  if (fontState.face.empty() || fontState.failed || pixelHeight <= 0) return nullptr;
  std::unique_ptr<text::CString>& s = fontState.sizes[pixelHeight];
  if (!s) {
    s = std::make_unique<text::CString>();
    if (!s->Create(fontState.face, pixelHeight, text::kAntiAlias, 0, 0)) {
      fontState.failed = true;
      return nullptr;
    }
  }
  return s.get();
}

void blendPixel(uint32_t& dst, uint32_t colour, uint32_t coverage) {
  uint32_t out = 0xFF000000;
  for (int shift = 0; shift <= 16; shift += 8) {
    const uint32_t s = (colour >> shift) & 255, d = (dst >> shift) & 255;
    out |= ((s * coverage + d * (255 - coverage)) / 255) << shift;
  }
  dst = out;
}

}  // namespace

bool openFace(std::string_view faceUtf8) {
  if (faceUtf8 != fontState.faceAsAsked) {
    const std::string face = utf8ToGame(faceUtf8);
    if (face != fontState.face) closeFace(), fontState.face = face;
    fontState.faceAsAsked = faceUtf8;
  }
  return faceAt(12) != nullptr;
}

namespace {

// One character of dialog text as the face's glyph code, its bytes and
// whether it takes a full cell. A Unicode game's characters that code page
// 932 holds draw as in a Shift_JIS game; any other goes by code point, so a
// fallback face draws what the chosen one lacks, as in the message window,
// in a full cell when it is wide.
struct DialogChar {
  unsigned code = 0;
  size_t bytes = 1;
  bool wide = false;
};

DialogChar dialogChar(std::string_view text, size_t i) {
  DialogChar d;
  const unsigned char c = static_cast<unsigned char>(text[i]);
  if (unicodeGame()) {
    const char32_t u = charAt(text, i, &d.bytes);
    d.code = u < 0x80 ? unsigned(u) : u <= 0xFFFF ? unicodeToCp932(static_cast<char16_t>(u)) : 0;
    d.wide = d.code > 0xFF || (!d.code && velmora::text::isGridCharacter(u));
    if (!d.code) d.code = velmora::text::unicodeGlyph(u);
    return d;
  }
  d.wide = isLeadByte(c) && i + 1 < text.size();
  d.bytes = d.wide ? 2 : 1;
  d.code = d.wide ? unsigned(c) << 8 | static_cast<unsigned char>(text[i + 1]) : c;
  return d;
}

}  // namespace

int textWidth(std::string_view text, int pixelHeight) {
  int width = 0;
  for (size_t i = 0; i < text.size();) {
    const DialogChar d = dialogChar(text, i);
    width += d.wide ? pixelHeight : pixelHeight / 2;
    i += d.bytes;
  }
  return width;
}

int drawText(image::Image& target, int x, int y, std::string_view sjis, int pixelHeight, uint32_t colour,
             const render::Rect& clip) {
  text::CString* s = faceAt(pixelHeight);
  if (!s) return 0;
  const int width = textWidth(sjis, pixelHeight);
  const int w = width + 2 * kMargin + pixelHeight, h = s->cellEdge() + 2 * kMargin;
  const auto key = std::make_pair(pixelHeight, std::string(sjis));
  auto kept = fontState.coverage.find(key);
  if (kept == fontState.coverage.end()) {
    if (fontState.coverage.size() >= kKeptTexts) fontState.coverage.clear();
    kept = fontState.coverage.emplace(key, std::vector<uint32_t>(static_cast<size_t>(w) * static_cast<size_t>(h), 0)).first;
    int pen = kMargin;
    for (size_t i = 0; i < sjis.size();) {
      const DialogChar d = dialogChar(sjis, i);
      if (d.code && d.code != ' ' && d.code != 0x8140) s->WriteGlyph(kept->second.data(), w, w, h, pen, kMargin, d.code);
      pen += d.wide ? pixelHeight : pixelHeight / 2;
      i += d.bytes;
    }
  }
  const std::vector<uint32_t>& coverage = kept->second;
  const int left = std::max({clip.left, 0, x - kMargin}), right = std::min({clip.right, target.width, x - kMargin + w});
  const int top = std::max({clip.top, 0, y - kMargin}), bottom = std::min({clip.bottom, target.height, y - kMargin + h});
  for (int py = top; py < bottom; ++py)
    for (int px = left; px < right; ++px) {
      const uint32_t a = coverage[static_cast<size_t>(py - y + kMargin) * static_cast<size_t>(w) +
                                  static_cast<size_t>(px - x + kMargin)] >> 24;
      if (a) blendPixel(target.pixels[py * target.width + px], colour, a);
    }
  return width;
}

void closeFace() { fontState = FontState{}; }

}  // namespace velmora::setup
