#include "theora_encode.h"

#include <ogg/ogg.h>
#include <theora/theoraenc.h>

#include <algorithm>

namespace velmora::tools {
namespace {

uint8_t clamp8(int v) { return uint8_t(std::clamp(v, 0, 255)); }

// Full-range RGB to BT.601 video-range planes, chroma averaged over 2 x 2.
void toPlanes(const std::vector<uint32_t>& px, int w, int h, std::vector<uint8_t> planes[3], int stride) {
  const int cstride = stride / 2;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint32_t p = px[size_t(y) * size_t(w) + size_t(x)];
      int r = int(p >> 16 & 255), g = int(p >> 8 & 255), b = int(p & 255);
      planes[0][size_t(y) * size_t(stride) + size_t(x)] = clamp8((66 * r + 129 * g + 25 * b + 128) / 256 + 16);
    }
  for (int y = 0; y < (h + 1) / 2; ++y)
    for (int x = 0; x < (w + 1) / 2; ++x) {
      int r = 0, g = 0, b = 0, n = 0;
      for (int dy = 0; dy < 2; ++dy)
        for (int dx = 0; dx < 2; ++dx) {
          int sx = 2 * x + dx, sy = 2 * y + dy;
          if (sx >= w || sy >= h) continue;
          uint32_t p = px[size_t(sy) * size_t(w) + size_t(sx)];
          r += int(p >> 16 & 255), g += int(p >> 8 & 255), b += int(p & 255), ++n;
        }
      r /= n, g /= n, b /= n;
      planes[1][size_t(y) * size_t(cstride) + size_t(x)] = clamp8((-38 * r - 74 * g + 112 * b + 128) / 256 + 128);
      planes[2][size_t(y) * size_t(cstride) + size_t(x)] = clamp8((112 * r - 94 * g - 18 * b + 128) / 256 + 128);
    }
}

}  // namespace

std::string encodeTheora(int width, int height, int fpsNumerator, int fpsDenominator, int frames,
                         const FrameDrawer& draw, int quality, int keyframeInterval) {
  th_info info;
  th_info_init(&info);
  info.frame_width = uint32_t((width + 15) & ~15);
  info.frame_height = uint32_t((height + 15) & ~15);
  info.pic_width = uint32_t(width);
  info.pic_height = uint32_t(height);
  info.fps_numerator = uint32_t(fpsNumerator);
  info.fps_denominator = uint32_t(fpsDenominator);
  info.aspect_numerator = info.aspect_denominator = 1;
  info.colorspace = TH_CS_ITU_REC_470BG;
  info.pixel_fmt = TH_PF_420;
  info.quality = quality;
  info.keyframe_granule_shift = 6;
  th_enc_ctx* enc = th_encode_alloc(&info);
  th_info_clear(&info);
  if (!enc) return {};
  ogg_uint32_t interval = uint32_t(keyframeInterval);
  th_encode_ctl(enc, TH_ENCCTL_SET_KEYFRAME_FREQUENCY_FORCE, &interval, sizeof interval);

  std::string out;
  ogg_stream_state os;
  ogg_stream_init(&os, 0x5E1D);
  auto flush = [&](bool all) {
    ogg_page og;
    while (all ? ogg_stream_flush(&os, &og) : ogg_stream_pageout(&os, &og)) {
      out.append(reinterpret_cast<const char*>(og.header), size_t(og.header_len));
      out.append(reinterpret_cast<const char*>(og.body), size_t(og.body_len));
    }
  };
  th_comment tc;
  th_comment_init(&tc);
  ogg_packet op;
  // The first header alone on the first page, as players expect.
  for (bool first = true; th_encode_flushheader(enc, &tc, &op) > 0; first = false) {
    ogg_stream_packetin(&os, &op);
    if (first) flush(true);
  }
  flush(true);
  th_comment_clear(&tc);

  const int stride = int((width + 15) & ~15), rows = int((height + 15) & ~15);
  std::vector<uint8_t> planes[3] = {std::vector<uint8_t>(size_t(stride) * size_t(rows), 16),
                                    std::vector<uint8_t>(size_t(stride / 2) * size_t(rows / 2), 128),
                                    std::vector<uint8_t>(size_t(stride / 2) * size_t(rows / 2), 128)};
  std::vector<uint32_t> pixels(size_t(width) * size_t(height));
  for (int f = 0; f < frames; ++f) {
    draw(f, pixels);
    toPlanes(pixels, width, height, planes, stride);
    th_ycbcr_buffer ycbcr;
    for (int i = 0; i < 3; ++i) {
      ycbcr[i].width = i ? stride / 2 : stride;
      ycbcr[i].height = i ? rows / 2 : rows;
      ycbcr[i].stride = i ? stride / 2 : stride;
      ycbcr[i].data = planes[i].data();
    }
    th_encode_ycbcr_in(enc, ycbcr);
    const bool last = f + 1 == frames;
    while (th_encode_packetout(enc, last, &op) > 0) {
      ogg_stream_packetin(&os, &op);
      flush(false);
    }
  }
  flush(true);
  ogg_stream_clear(&os);
  th_encode_free(enc);
  return out;
}

}  // namespace velmora::tools
