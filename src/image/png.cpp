// PNG through libpng: decoding from memory, encoding to a file, the
// difference-image header in four text chunks.
#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "base/replace_file.h"
#include "image/internal.h"

namespace velmora::image::detail {
namespace {

struct MemoryReader {
  const uint8_t* data;
  size_t size, pos;
};

void readFromMemory(png_structp png, png_bytep out, png_size_t length) {
  auto* r = static_cast<MemoryReader*>(png_get_io_ptr(png));
  if (length > r->size - r->pos) png_error(png, "read past the end of the data");
  std::memcpy(out, r->data + r->pos, length);
  r->pos += length;
}

// Library errors end the decode through the jump buffer; nothing is printed.
void quietError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void quietWarning(png_structp, png_const_charp) {}

struct ReadState {
  png_structp png = nullptr;
  png_infop info = nullptr;
  Image* image = nullptr;
  std::vector<png_bytep> rows;
};

void readHeaderText(png_structp png, png_infop info, Image* image) {
  png_textp text = nullptr;
  int n = 0;
  png_get_text(png, info, &text, &n);
  for (int i = 0; i < n; ++i) {
    const char* key = text[i].key;
    const char* value = text[i].text ? text[i].text : "";
    size_t len = text[i].text ? text[i].text_length : 0;
    if (std::strcmp(key, "Name") == 0) setName(image, value, len);
    else if (std::strcmp(key, "Left") == 0) image->left = parseDecimal(value, len);
    else if (std::strcmp(key, "Top") == 0) image->top = parseDecimal(value, len);
    else if (std::strcmp(key, "Mode") == 0) image->mode = uint32_t(parseDecimal(value, len));
  }
}

// Runs every libpng call of the decode; returns false through longjmp paths.
bool decodeInto(ReadState& s, MemoryReader& reader) {
  if (setjmp(png_jmpbuf(s.png))) return false;
  png_set_read_fn(s.png, &reader, readFromMemory);
  png_read_info(s.png, s.info);
  png_uint_32 w = 0, h = 0;
  int bitDepth = 0, colour = 0, interlace = 0;
  png_get_IHDR(s.png, s.info, &w, &h, &bitDepth, &colour, &interlace, nullptr, nullptr);
  if (int64_t(w) * h > kMaxDecodePixels) return false;
  bool trns = png_get_valid(s.png, s.info, PNG_INFO_tRNS) != 0;
  if (bitDepth == 16) png_set_strip_16(s.png);
  if (bitDepth < 8) {
    if (colour == PNG_COLOR_TYPE_GRAY) png_set_expand_gray_1_2_4_to_8(s.png);
    png_set_packing(s.png);
  }
  if (colour == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(s.png);
  if (colour == PNG_COLOR_TYPE_GRAY || colour == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(s.png);
  if (trns) png_set_tRNS_to_alpha(s.png);
  bool alpha = (colour & PNG_COLOR_MASK_ALPHA) != 0;
  if (!alpha && !trns) png_set_filler(s.png, 255, PNG_FILLER_AFTER);
  png_set_bgr(s.png);
  png_set_interlace_handling(s.png);
  png_read_update_info(s.png, s.info);
  if (png_get_rowbytes(s.png, s.info) != size_t(w) * 4) return false;
  s.image = createImage(int(w), int(h), (alpha || trns) ? 32 : 24);
  if (!s.image) return false;
  s.rows.resize(h);
  for (png_uint_32 y = 0; y < h; ++y) s.rows[y] = reinterpret_cast<png_bytep>(s.image->pixels + size_t(y) * w);
  png_read_image(s.png, s.rows.data());
  png_read_end(s.png, s.info);
  readHeaderText(s.png, s.info, s.image);
  return true;
}

}  // namespace

Image* decodePng(const uint8_t* data, size_t size) {
  ReadState s;
  MemoryReader reader{data, size, 0};
  s.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, quietError, quietWarning);
  if (!s.png) return nullptr;
  s.info = png_create_info_struct(s.png);
  bool ok = s.info && decodeInto(s, reader);
  png_destroy_read_struct(&s.png, s.info ? &s.info : nullptr, nullptr);
  if (!ok) freeImage(s.image);
  return s.image;
}

namespace {

struct WriteState {
  png_structp png = nullptr;
  png_infop info = nullptr;
  std::vector<uint8_t> converted;
  std::vector<png_bytep> rows;
  std::string texts[4];
};

bool encodeFrom(WriteState& s, std::FILE* f, Image* image, int depth, int value, int option) {
  if (setjmp(png_jmpbuf(s.png))) return false;
  png_init_io(s.png, f);
  png_set_compression_level(s.png, value);
  int bpp = depth <= 8 ? 1 : depth <= 24 ? 3 : 4;
  int colour = bpp == 1 ? PNG_COLOR_TYPE_GRAY : bpp == 3 ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_RGB_ALPHA;
  const int w = image->width, h = image->height;
  png_set_IHDR(s.png, s.info, png_uint_32(w), png_uint_32(h), 8, colour,
               option ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (image->name[0]) {
    replaceExtension(image->name, "png");
    static const char* const keys[4] = {"Name", "Left", "Top", "Mode"};
    s.texts[0] = image->name;
    s.texts[1] = std::to_string(image->left);
    s.texts[2] = std::to_string(image->top);
    s.texts[3] = std::to_string(image->mode);
    png_text text[4] = {};
    for (int i = 0; i < 4; ++i) {
      text[i].compression = PNG_TEXT_COMPRESSION_NONE;
      text[i].key = const_cast<char*>(keys[i]);
      text[i].text = s.texts[i].data();
      text[i].text_length = s.texts[i].size();
    }
    png_set_text(s.png, s.info, text, 4);
  }
  png_write_info(s.png, s.info);
  png_set_bgr(s.png);
  png_set_interlace_handling(s.png);
  s.rows.resize(size_t(h));
  if (bpp == 4) {
    for (int y = 0; y < h; ++y) s.rows[y] = reinterpret_cast<png_bytep>(image->pixels + size_t(y) * w);
  } else {
    s.converted.resize(size_t(image->count) * bpp);
    for (int32_t i = 0; i < image->count; ++i) {
      uint32_t p = image->pixels[i];
      uint8_t* o = &s.converted[size_t(i) * bpp];
      if (bpp == 1) o[0] = uint8_t(luminance(p));
      else o[0] = uint8_t(p), o[1] = uint8_t(p >> 8), o[2] = uint8_t(p >> 16);
    }
    for (int y = 0; y < h; ++y) s.rows[y] = &s.converted[size_t(y) * w * bpp];
  }
  png_write_image(s.png, s.rows.data());
  png_write_end(s.png, s.info);
  return true;
}

}  // namespace

int savePng(const char* path, Image* image, int depth, int value, int option) {
  ReplaceFile out(path);
  std::FILE* f = out.file();
  if (!f) {
    sayf("PNG: \"%s\" 画像を保存出来ませんでした\n", path);
    return 0;
  }
  WriteState s;
  s.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, quietError, quietWarning);
  s.info = s.png ? png_create_info_struct(s.png) : nullptr;
  bool ok = s.info && encodeFrom(s, f, image, depth, value, option);
  if (s.png) png_destroy_write_struct(&s.png, s.info ? &s.info : nullptr);
  return ok && out.commit() ? 1 : 0;
}

}  // namespace velmora::image::detail
