// JPEG through libjpeg-turbo, with the engine's "pos" header segment and the
// "ALP" alpha plane spread over APP2 and the following markers.
#include <zlib.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>

#include "base/replace_file.h"
#include "image/internal.h"

namespace velmora::image::detail {
namespace {

constexpr size_t kFirstAlphaPiece = 0xFFF5;
constexpr size_t kAlphaPiece = 0xFFFD;
constexpr int kAlphaMarkers = 10;  // APP2 .. APP11

struct ErrorTrap {
  jpeg_error_mgr mgr;
  jmp_buf jump;
};

void trapExit(j_common_ptr c) { longjmp(reinterpret_cast<ErrorTrap*>(c->err)->jump, 1); }
void trapMessage(j_common_ptr) {}

void installTrap(ErrorTrap& t) {
  jpeg_std_error(&t.mgr);
  t.mgr.error_exit = trapExit;
  t.mgr.output_message = trapMessage;
}

inline uint32_t le32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24); }

// Decodes a one-channel JPEG of exactly width x height into plane.
bool decodeGreyPlane(const uint8_t* data, size_t size, int width, int height, std::vector<uint8_t>& plane) {
  jpeg_decompress_struct c;
  ErrorTrap trap;
  installTrap(trap);
  c.err = &trap.mgr;
  jpeg_create_decompress(&c);
  if (setjmp(trap.jump)) {
    jpeg_destroy_decompress(&c);
    return false;
  }
  jpeg_mem_src(&c, data, static_cast<unsigned long>(size));
  jpeg_read_header(&c, TRUE);
  c.out_color_space = JCS_GRAYSCALE;
  c.dct_method = JDCT_FLOAT;
  jpeg_start_decompress(&c);
  if (int(c.output_width) != width || int(c.output_height) != height || c.output_components != 1) {
    jpeg_destroy_decompress(&c);
    return false;
  }
  plane.resize(size_t(width) * height);
  while (c.output_scanline < c.output_height) {
    JSAMPROW row = plane.data() + size_t(c.output_scanline) * width;
    jpeg_read_scanlines(&c, &row, 1);
  }
  jpeg_finish_decompress(&c);
  jpeg_destroy_decompress(&c);
  return true;
}

void readPosSegment(const jpeg_saved_marker_ptr m, Image* image) {
  const uint8_t* d = m->data;
  image->left = int32_t(le32(d + 4));
  image->top = int32_t(le32(d + 8));
  image->mode = le32(d + 12);
  setName(image, reinterpret_cast<const char*>(d + 16), m->data_length - 16);
}

// Gathers the ALP payload starting at marker m and applies it; a plane that
// is incomplete or of the wrong size is ignored.
void readAlphaPlane(jpeg_saved_marker_ptr m, Image* image) {
  int type = m->data[3];
  size_t total = le32(m->data + 4);
  std::string payload;
  size_t take = std::min<size_t>({total, m->data_length - 8, kFirstAlphaPiece});
  payload.append(reinterpret_cast<const char*>(m->data + 8), take);
  for (m = m->next; m && payload.size() < total; m = m->next) {
    take = std::min<size_t>({total - payload.size(), m->data_length, kAlphaPiece});
    payload.append(reinterpret_cast<const char*>(m->data), take);
  }
  if (payload.size() < total) return;
  const size_t count = size_t(image->count);
  std::vector<uint8_t> plane;
  const auto* p = reinterpret_cast<const uint8_t*>(payload.data());
  if (type == 0) {
    if (total < count) return;
    plane.assign(p, p + count);
  } else if (type == 1) {
    if (!decodeGreyPlane(p, total, image->width, image->height, plane)) return;
  } else if (type == 2) {
    uLongf out = uLongf(count + count / 8 + 12);
    plane.resize(out);
    if (uncompress(plane.data(), &out, p, uLong(total)) != Z_OK || out < count) return;
  } else {
    return;
  }
  uint8_t* px = bytes(image);
  for (size_t i = 0; i < count; ++i) px[i * 4 + 3] = plane[i];
  image->depth = 32;
}

struct DecodeState {
  jpeg_decompress_struct c;
  ErrorTrap trap;
  Image* image = nullptr;
  std::vector<uint8_t> grey;
};

bool decodeInto(DecodeState& s, const uint8_t* data, size_t size) {
  if (setjmp(s.trap.jump)) return false;
  jpeg_mem_src(&s.c, data, static_cast<unsigned long>(size));
  for (int i = 1; i <= 11; ++i) jpeg_save_markers(&s.c, JPEG_APP0 + i, 0xFFFF);
  jpeg_read_header(&s.c, TRUE);
  s.c.dct_method = JDCT_FLOAT;
  bool grey = s.c.num_components == 1;
  s.c.out_color_space = grey ? JCS_GRAYSCALE : JCS_EXT_BGRX;
  jpeg_start_decompress(&s.c);
  const int w = int(s.c.output_width), h = int(s.c.output_height);
  if (int64_t(w) * h > kMaxDecodePixels) return false;
  s.image = createImage(w, h, 24);
  if (!s.image) return false;
  jpeg_saved_marker_ptr m = s.c.marker_list;
  if (m && m->marker == JPEG_APP0 + 1 && m->data_length >= 16 && std::memcmp(m->data, "pos", 4) == 0) {
    readPosSegment(m, s.image);
    m = m->next;
  }
  if (grey) s.grey.resize(size_t(w));
  while (s.c.output_scanline < s.c.output_height) {
    size_t y = s.c.output_scanline;
    uint32_t* dst = s.image->pixels + y * w;
    JSAMPROW row = grey ? s.grey.data() : reinterpret_cast<JSAMPROW>(dst);
    jpeg_read_scanlines(&s.c, &row, 1);
    if (grey)
      for (int x = 0; x < w; ++x) dst[x] = 0xFF000000u | s.grey[x] * 0x010101u;
  }
  // Saved markers live until the decompressor finishes.
  if (m && m->marker == JPEG_APP0 + 2 && m->data_length > 16 && std::memcmp(m->data, "ALP", 3) == 0)
    readAlphaPlane(m, s.image);
  jpeg_finish_decompress(&s.c);
  return true;
}

}  // namespace

Image* decodeJpeg(const uint8_t* data, size_t size) {
  DecodeState s;
  installTrap(s.trap);
  s.c.err = &s.trap.mgr;
  jpeg_create_decompress(&s.c);
  bool ok = decodeInto(s, data, size);
  jpeg_destroy_decompress(&s.c);
  if (!ok) freeImage(s.image);
  return s.image;
}

namespace {

struct EncodeJob {
  const Image* image = nullptr;  // colour source (4 bytes per pixel), or
  const uint8_t* grey = nullptr; // one byte per pixel
  int width = 0, height = 0, quality = 75, option = 0;
  bool luminanceRows = false;    // grey rows computed from image
  std::string header;            // APP1 body, empty for none
  std::string alpha;             // ALP blob, empty for none
};

void configure(jpeg_compress_struct& c, const EncodeJob& job, int components) {
  c.image_width = JDIMENSION(job.width);
  c.image_height = JDIMENSION(job.height);
  c.input_components = components;
  c.in_color_space = components == 1 ? JCS_GRAYSCALE : JCS_EXT_BGRX;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, job.quality, TRUE);
  c.dct_method = JDCT_FLOAT;
  if ((job.option & 3) == 1) c.optimize_coding = TRUE;
  if ((job.option & 3) == 2) jpeg_simple_progression(&c);
  int sampling = (job.option >> 2) & 3;
  if (sampling != 3) {
    c.comp_info[0].h_samp_factor = sampling == 2 ? 1 : 2;
    c.comp_info[0].v_samp_factor = sampling == 0 ? 2 : 1;
    for (int i = 1; i < c.num_components; ++i) c.comp_info[i].h_samp_factor = c.comp_info[i].v_samp_factor = 1;
  }
}

struct EncodeState {
  jpeg_compress_struct c;
  ErrorTrap trap;
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  std::vector<uint8_t> row;
};

bool encodeInto(EncodeState& s, const EncodeJob& job) {
  if (setjmp(s.trap.jump)) return false;
  int components = (job.grey || job.luminanceRows) ? 1 : 4;
  jpeg_mem_dest(&s.c, &s.buffer, &s.size);
  configure(s.c, job, components);
  jpeg_start_compress(&s.c, TRUE);
  if (!job.header.empty())
    jpeg_write_marker(&s.c, JPEG_APP0 + 1, reinterpret_cast<const JOCTET*>(job.header.data()),
                      unsigned(job.header.size()));
  for (size_t at = 0, i = 0; at < job.alpha.size(); at += kAlphaPiece, ++i) {
    size_t n = std::min(kAlphaPiece, job.alpha.size() - at);
    jpeg_write_marker(&s.c, JPEG_APP0 + 2 + int(i), reinterpret_cast<const JOCTET*>(job.alpha.data() + at),
                      unsigned(n));
  }
  s.row.resize(size_t(job.width) * components);
  while (s.c.next_scanline < s.c.image_height) {
    size_t y = s.c.next_scanline;
    JSAMPROW row;
    if (job.grey) {
      row = const_cast<JSAMPROW>(job.grey + y * job.width);
    } else if (job.luminanceRows) {
      const uint32_t* src = job.image->pixels + y * job.width;
      for (int x = 0; x < job.width; ++x) s.row[x] = uint8_t(luminance(src[x]));
      row = s.row.data();
    } else {
      row = reinterpret_cast<JSAMPROW>(job.image->pixels + y * job.width);
    }
    jpeg_write_scanlines(&s.c, &row, 1);
  }
  jpeg_finish_compress(&s.c);
  return true;
}

// Encodes into a buffer sized as the engine sizes it; libjpeg enlarges it
// when a small picture's headers and segments need more.
bool encode(const EncodeJob& job, size_t initialSize, std::string& out) {
  EncodeState s;
  s.buffer = static_cast<unsigned char*>(std::malloc(initialSize));
  if (!s.buffer) {
    say("JPEG: メモリを確保出来ませんでした\n");
    return false;
  }
  unsigned char* initial = s.buffer;
  s.size = static_cast<unsigned long>(initialSize);
  installTrap(s.trap);
  s.c.err = &s.trap.mgr;
  jpeg_create_compress(&s.c);
  bool ok = encodeInto(s, job);
  jpeg_destroy_compress(&s.c);
  if (ok) out.assign(reinterpret_cast<const char*>(s.buffer), s.size);
  if (s.buffer != initial) std::free(s.buffer);
  std::free(initial);
  return ok;
}

// "ALP", type, length and payload: zlib for mostly hard alpha, otherwise a
// one-channel JPEG. A blob the reader could not gather from APP2..APP11 is
// refused, since the plane would be silently lost.
bool buildAlpha(const Image* image, int quality, int option, std::string& blob) {
  size_t count = size_t(image->count), hard = 0;
  std::vector<uint8_t> plane(count);
  for (size_t i = 0; i < count; ++i) {
    plane[i] = uint8_t(image->pixels[i] >> 24);
    hard += plane[i] == 0 || plane[i] == 255;
  }
  std::string payload;
  int type = hard * 2 >= count ? 2 : 1;
  if (type == 2) {
    uLongf n = compressBound(uLong(count));
    payload.resize(n);
    if (compress2(reinterpret_cast<Bytef*>(payload.data()), &n, plane.data(), uLong(count), 9) != Z_OK) return false;
    payload.resize(n);
  } else if (!encodeGreyJpeg(plane.data(), image->width, image->height, quality, option, payload)) {
    return false;
  }
  blob = "ALP";
  blob.push_back(char(type));
  for (int i = 0; i < 4; ++i) blob.push_back(char(payload.size() >> (8 * i)));
  blob += payload;
  return blob.size() <= kAlphaPiece * kAlphaMarkers;
}

}  // namespace

bool encodeGreyJpeg(const uint8_t* plane, int width, int height, int quality, int option, std::string& out) {
  EncodeJob job;
  job.grey = plane;
  job.width = width, job.height = height, job.quality = quality, job.option = option;
  return encode(job, 1024 + size_t(width) * height, out);
}

int saveJpeg(const char* path, Image* image, int depth, int value, int option) {
  EncodeJob job;
  job.image = image;
  job.width = image->width, job.height = image->height, job.quality = value, job.option = option;
  job.luminanceRows = depth <= 8;
  if (image->name[0]) {
    replaceExtension(image->name, "jpg");
    job.header.assign(256, '\0');
    std::memcpy(job.header.data(), "pos", 4);
    std::memcpy(job.header.data() + 4, &image->left, 4);
    std::memcpy(job.header.data() + 8, &image->top, 4);
    std::memcpy(job.header.data() + 12, &image->mode, 4);
    std::memcpy(job.header.data() + 16, image->name, std::min<size_t>(std::strlen(image->name), 239));
  }
  if (depth == 32 && !buildAlpha(image, value, option, job.alpha)) return 0;
  std::string file;
  if (!encode(job, 1024 + size_t(image->count) * (depth <= 8 ? 1 : 4), file)) return 0;
  ReplaceFile out(path);
  if (!out.file()) {
    sayf("JPEG: \"%s\" 画像を保存出来ませんでした\n", path);
    return 0;
  }
  return out.write(file.data(), file.size()) && out.commit() ? 1 : 0;
}

}  // namespace velmora::image::detail
