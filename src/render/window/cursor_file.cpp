#include "render/window/cursor_file.h"

#include <cstring>

#include "image/image.h"

namespace velmora::render {
namespace {

uint16_t u16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t u32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }

// Every length and offset is checked against the bytes actually there.
struct Reader {
  const uint8_t* data;
  size_t size;
  bool has(size_t offset, size_t length) const { return offset <= size && length <= size - offset; }
};

bool decodePng(const uint8_t* data, size_t size, CursorFrame& f) {
  image::Image* im = image::loadImage(data, static_cast<int>(size));
  if (!im) return false;
  const int hx = f.hotX, hy = f.hotY;
  f = cursorFromPicture(*im);
  f.hotX = hx, f.hotY = hy;
  image::freeImage(im);
  return true;
}

// The colour bits of one DIB pixel as 0xRRGGBB (alpha handled by the caller).
uint32_t dibColour(const uint8_t* row, int x, int bpp, const uint8_t* palette, uint32_t colours) {
  uint32_t index = 0;
  switch (bpp) {
    case 32: return u32(row + x * 4);
    case 24: return row[x * 3] | row[x * 3 + 1] << 8 | static_cast<uint32_t>(row[x * 3 + 2]) << 16;
    case 8: index = row[x]; break;
    case 4: index = (row[x / 2] >> (x % 2 ? 0 : 4)) & 15; break;
    case 1: index = (row[x / 8] >> (7 - x % 8)) & 1; break;
    default: return 0;
  }
  if (index >= colours) return 0;
  const uint8_t* c = palette + index * 4;
  return c[0] | c[1] << 8 | static_cast<uint32_t>(c[2]) << 16;
}

bool decodeDib(const Reader& r, size_t offset, size_t length, CursorFrame& f) {
  if (!r.has(offset, length) || length < 40) return false;
  const uint8_t* h = r.data + offset;
  const uint32_t headerSize = u32(h);
  const int32_t width = static_cast<int32_t>(u32(h + 4)), height = static_cast<int32_t>(u32(h + 8)) / 2;
  const int bpp = u16(h + 14);
  if (headerSize < 40 || headerSize > length || width <= 0 || height <= 0 || width > 256 || height > 256) return false;
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24 && bpp != 32) return false;
  uint32_t colours = bpp <= 8 ? (u32(h + 32) ? u32(h + 32) : 1u << bpp) : 0;
  if (colours > 256) return false;
  const size_t paletteAt = headerSize, xorStride = ((static_cast<size_t>(width) * bpp + 31) / 32) * 4;
  const size_t andStride = ((static_cast<size_t>(width) + 31) / 32) * 4;
  const size_t xorAt = paletteAt + colours * 4, andAt = xorAt + xorStride * static_cast<size_t>(height);
  if (andAt + andStride * static_cast<size_t>(height) > length) return false;
  f.width = width, f.height = height;
  f.pixels.assign(static_cast<size_t>(width) * height, 0);
  bool anyAlpha = false;
  for (int y = 0; y < height && bpp == 32; ++y)
    for (int x = 0; x < width; ++x) anyAlpha |= h[xorAt + xorStride * y + x * 4 + 3] != 0;
  for (int y = 0; y < height; ++y) {
    // DIB rows run bottom-up.
    const uint8_t* row = h + xorAt + xorStride * static_cast<size_t>(height - 1 - y);
    const uint8_t* mask = h + andAt + andStride * static_cast<size_t>(height - 1 - y);
    for (int x = 0; x < width; ++x) {
      const uint32_t colour = dibColour(row, x, bpp, h + paletteAt, colours);
      const bool clear = (mask[x / 8] >> (7 - x % 8)) & 1;
      uint32_t alpha = clear ? 0 : 255;
      if (anyAlpha) alpha = colour >> 24;
      f.pixels[static_cast<size_t>(y) * width + x] = (alpha << 24) | (colour & 0xFFFFFF);
    }
  }
  return true;
}

}  // namespace

bool parseCursor(const uint8_t* data, size_t size, CursorFrame& out) {
  const Reader r{data, size};
  if (!r.has(0, 6) || u16(data) != 0 || (u16(data + 2) != 1 && u16(data + 2) != 2)) return false;
  const bool isCursor = u16(data + 2) == 2;
  const int count = u16(data + 4);
  if (count == 0 || !r.has(6, static_cast<size_t>(count) * 16)) return false;
  int best = -1, bestArea = -1;
  for (int i = 0; i < count; ++i) {
    const uint8_t* e = data + 6 + i * 16;
    const int w = e[0] ? e[0] : 256, h = e[1] ? e[1] : 256;
    if (w * h > bestArea) best = i, bestArea = w * h;
  }
  const uint8_t* e = data + 6 + best * 16;
  const size_t length = u32(e + 8), offset = u32(e + 12);
  if (!r.has(offset, length)) return false;
  CursorFrame f;
  f.hotX = isCursor ? u16(e + 4) : 0;
  f.hotY = isCursor ? u16(e + 6) : 0;
  const bool png = length >= 8 && std::memcmp(data + offset, "\x89PNG", 4) == 0;
  if (!(png ? decodePng(data + offset, length, f) : decodeDib(r, offset, length, f))) return false;
  if (f.hotX >= f.width) f.hotX = f.width - 1;
  if (f.hotY >= f.height) f.hotY = f.height - 1;
  out = std::move(f);
  return true;
}

bool parseAnimatedCursor(const uint8_t* data, size_t size, std::vector<CursorFrame>& out) {
  const Reader r{data, size};
  if (!r.has(0, 12) || std::memcmp(data, "RIFF", 4) != 0 || std::memcmp(data + 8, "ACON", 4) != 0) return false;
  std::vector<CursorFrame> frames;
  std::vector<uint32_t> rates, sequence;
  uint32_t defaultRate = 10;  // jiffies of 1/60 s
  size_t at = 12;
  while (r.has(at, 8)) {
    const uint8_t* c = data + at;
    const size_t length = u32(c + 4);
    if (!r.has(at + 8, length)) return false;
    const uint8_t* body = c + 8;
    if (std::memcmp(c, "anih", 4) == 0 && length >= 36) {
      defaultRate = u32(body + 28);
    } else if (std::memcmp(c, "rate", 4) == 0 || std::memcmp(c, "seq ", 4) == 0) {
      std::vector<uint32_t>& list = c[0] == 'r' ? rates : sequence;
      for (size_t i = 0; i + 4 <= length; i += 4) list.push_back(u32(body + i));
    } else if (std::memcmp(c, "LIST", 4) == 0 && length >= 4 && std::memcmp(body, "fram", 4) == 0) {
      for (size_t in = 4; in + 8 <= length;) {
        const size_t frameLength = u32(body + in + 4);
        if (frameLength > length - in - 8) return false;
        CursorFrame f;
        if (std::memcmp(body + in, "icon", 4) == 0 && parseCursor(body + in + 8, frameLength, f)) frames.push_back(std::move(f));
        in += 8 + frameLength + (frameLength & 1);
      }
    }
    at += 8 + length + (length & 1);
  }
  if (frames.empty()) return false;
  if (sequence.empty())
    for (uint32_t i = 0; i < frames.size(); ++i) sequence.push_back(i);
  out.clear();
  for (size_t step = 0; step < sequence.size(); ++step) {
    if (sequence[step] >= frames.size()) return false;
    CursorFrame f = frames[sequence[step]];
    const uint32_t jiffies = step < rates.size() ? rates[step] : defaultRate;
    f.durationMs = (jiffies ? jiffies : 1) * 1000 / 60;
    out.push_back(std::move(f));
  }
  return true;
}

CursorFrame cursorFromPicture(const image::Image& picture) {
  CursorFrame f;
  f.width = picture.width;
  f.height = picture.height;
  f.pixels.resize(static_cast<size_t>(picture.width) * picture.height);
  for (size_t i = 0; i < f.pixels.size(); ++i) {
    const uint32_t p = picture.pixels[i];
    f.pixels[i] = ((p >> 24) < 128 ? 0u : 0xFF000000u) | (p & 0xFFFFFF);
  }
  return f;
}

}  // namespace velmora::render
