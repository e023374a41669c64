// The Image record, format detection and the save dispatcher.
#include "image/image.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "core/replace_file.h"
#include "core/report.h"
#include "core/textconv.h"
#include "image/internal.h"
#include "image/messages.h"

namespace velmora::image {
namespace detail {

void say(const char* utf8) { consoleWrite(sj(utf8)); }

void sayf(const char* utf8Format, ...) {
  char buf[1024];
  va_list ap;
  va_start(ap, utf8Format);
  std::vsnprintf(buf, sizeof buf, sj(utf8Format).c_str(), ap);
  va_end(ap);
  consoleWrite(buf);
}

void replaceExtension(char* name, const char* ext3) {
  size_t n = strnlen(name, 255);
  if (n < 4 || name[n - 4] != '.') return;
  std::memcpy(name + n - 3, ext3, 3);
}

void setName(Image* image, const char* text, size_t length) {
  size_t n = strnlen(text, length < 255 ? length : 255);
  std::memcpy(image->name, text, n);
  image->name[n] = '\0';
}

int32_t parseDecimal(const char* text, size_t length) {
  size_t i = 0;
  while (i < length && (text[i] == ' ' || text[i] == '\t' || text[i] == '\r' || text[i] == '\n')) ++i;
  bool negative = false;
  if (i < length && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  uint32_t v = 0;
  for (; i < length && text[i] >= '0' && text[i] <= '9'; ++i) v = v * 10 + uint32_t(text[i] - '0');
  return static_cast<int32_t>(negative ? 0u - v : v);
}

}  // namespace detail

using namespace detail;

Image* createImage(int width, int height, int depth) {
  if (width <= 0 || height <= 0) return nullptr;
  int64_t count = int64_t(width) * height;
  if (count + width > std::numeric_limits<int32_t>::max()) return nullptr;
  auto* image = static_cast<Image*>(std::calloc(1, sizeof(Image)));
  if (!image) return nullptr;
  size_t bytes = size_t(count + width) * 4;
  bytes = (bytes + 15) & ~size_t(15);
  image->pixels = static_cast<uint32_t*>(std::aligned_alloc(16, bytes));
  if (!image->pixels) {
    std::free(image);
    return nullptr;
  }
  image->width = width;
  image->height = height;
  image->depth = depth;
  image->count = static_cast<int32_t>(count);
  std::memset(image->pixels + count, 0, size_t(width) * 4);
  return image;
}

Image* copyImage(const Image* source) {
  if (!source) return nullptr;
  Image* image = createImage(source->width, source->height, source->depth);
  if (image) std::memcpy(image->pixels, source->pixels, size_t(source->count) * 4);
  return image;
}

void freeImage(Image*& image) {
  if (!image) return;
  std::free(image->pixels);
  std::free(image);
  image = nullptr;
}

int luminance(uint32_t p) {
  const Tables& t = tables();
  return static_cast<int>(0.5 + t.lumR[(p >> 16) & 255] + t.lumG[(p >> 8) & 255] + t.lumB[p & 255]);
}

Image* loadImage(const unsigned char* data, int size) {
  if (!data || size < 2) return nullptr;
  size_t n = static_cast<size_t>(size);
  if (data[0] == 'T' && data[1] == 'L') return n < 48 ? nullptr : decodeTlg(data, n);
  if (data[0] == 'B' && data[1] == 'M') return decodeBmp(data, n);
  if (data[0] == 0x89 && data[1] == 'P') return decodePng(data, n);
  if (data[0] == 0xFF && data[1] == 0xD8) return decodeJpeg(data, n);
  return nullptr;
}

int saveImage(const char* path, Image* image, int format, int depth, int value, int option) {
  static const char* const kEmpty[] = {
      "BMP: \"%s\" 画像データが空です\n", "PNG: \"%s\" 画像データが空です\n",
      "JPEG: \"%s\" 画像データが空です\n", "TLG: \"%s\" 画像データが空です\n"};
  static_assert(sizeof(kEmpty) / sizeof(kEmpty[0]) == kSaveFormatCount);
  if (format < 0 || format >= kSaveFormatCount || !path) return 0;
  if (!image || !image->pixels) {
    sayf(kEmpty[format], path);
    return 0;
  }
  if (depth == 0) depth = image->depth;
  switch (format) {
    case kSaveBmp: return saveBmp(path, image, depth);
    case kSavePng: return savePng(path, image, depth, value, option);
    case kSaveJpeg: return saveJpeg(path, image, depth, value, option);
    default: return saveTlg(path, image, depth, value);
  }
}

void checkScreenShotArgs(int format, int& depth, int& value, int& option, ErrorReporter report) {
  if (depth != 0 && depth != 8 && depth != 24 && depth != 32) {
    report(messageText(Message::UnsupportedDepth));
    depth = 0;
  }
  if (format == kSavePng) {
    if (value < 0 || value > 9) {
      report(messageText(Message::UnsupportedCompression));
      value = 9;
    }
    if (option < 0 || option > 1) {
      report(messageText(Message::UnsupportedPngOption));
      option = 0;
    }
  } else if (format == kSaveJpeg) {
    if (value < 0 || value > 100) {
      report(messageText(Message::UnsupportedQuality));
      value = 100;
    }
    if (option < 0 || option > 2) {
      report(messageText(Message::UnsupportedJpegOption));
      option = 1;
    }
  }
}

}  // namespace velmora::image
