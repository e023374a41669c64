#include "movie/theora.h"

#include <ogg/ogg.h>
#include <theora/theoradec.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace velmora::movie {

struct TheoraVideo::State {
  th_info info{};
  th_comment comment{};
  th_setup_info* setup = nullptr;
  th_dec_ctx* decoder = nullptr;
  // The stream's data packets (one per frame) as spans of the held bytes.
  struct Packet {
    size_t offset, size;
    bool key;
  };
  std::string bytes;
  std::vector<Packet> packets;
  int at = -1;  // the frame the decoder holds
};

TheoraVideo::TheoraVideo() : s_(std::make_unique<State>()) {
  th_info_init(&s_->info);
  th_comment_init(&s_->comment);
}

TheoraVideo::~TheoraVideo() {
  if (s_->decoder) th_decode_free(s_->decoder);
  if (s_->setup) th_setup_free(s_->setup);
  th_comment_clear(&s_->comment);
  th_info_clear(&s_->info);
}

namespace {

ogg_packet asPacket(unsigned char* data, size_t size, int64_t number) {
  ogg_packet op{};
  op.packet = data;
  op.bytes = long(size);
  op.b_o_s = number == 0;
  op.granulepos = -1;
  op.packetno = number;
  return op;
}

}  // namespace

bool TheoraVideo::load(std::string_view ogg) {
  if (ogg.empty()) return false;
  State& s = *s_;
  ogg_sync_state sync;
  ogg_sync_init(&sync);
  char* buffer = ogg_sync_buffer(&sync, long(ogg.size()));
  std::memcpy(buffer, ogg.data(), ogg.size());
  ogg_sync_wrote(&sync, long(ogg.size()));
  ogg_stream_state stream;
  bool haveStream = false;
  int headers = 0;
  ogg_page page;
  while (ogg_sync_pageout(&sync, &page) == 1) {
    if (!haveStream) {
      if (!ogg_page_bos(&page)) continue;
      ogg_stream_init(&stream, ogg_page_serialno(&page));
      ogg_stream_pagein(&stream, &page);
      ogg_packet op;
      if (ogg_stream_packetpeek(&stream, &op) == 1 &&
          th_decode_headerin(&s.info, &s.comment, &s.setup, &op) > 0) {
        ogg_stream_packetout(&stream, &op);
        haveStream = true;
        headers = 1;
      } else {
        ogg_stream_clear(&stream);  // another kind of stream: sound, say
        continue;
      }
    } else {
      if (ogg_page_serialno(&page) != stream.serialno) continue;
      ogg_stream_pagein(&stream, &page);
    }
    ogg_packet op;
    while (ogg_stream_packetout(&stream, &op) == 1) {
      if (headers < 3) {
        if (th_decode_headerin(&s.info, &s.comment, &s.setup, &op) <= 0) break;
        ++headers;
        continue;
      }
      s.packets.push_back({s.bytes.size(), size_t(op.bytes), th_packet_iskeyframe(&op) == 1});
      s.bytes.append(reinterpret_cast<const char*>(op.packet), size_t(op.bytes));
    }
  }
  if (haveStream) ogg_stream_clear(&stream);
  ogg_sync_clear(&sync);
  if (headers < 3 || s.packets.empty() || s.info.pic_width == 0 || s.info.pic_height == 0) return false;
  s.decoder = th_decode_alloc(&s.info, s.setup);
  return s.decoder != nullptr;
}

int TheoraVideo::width() const { return int(s_->info.pic_width); }
int TheoraVideo::height() const { return int(s_->info.pic_height); }
int TheoraVideo::frameCount() const { return int(s_->packets.size()); }
double TheoraVideo::framesPerSecond() const {
  return s_->info.fps_denominator ? double(s_->info.fps_numerator) / s_->info.fps_denominator : 0.0;
}

bool TheoraVideo::decodeFrame(int index, uint32_t* pixels, int stride) {
  State& s = *s_;
  if (!s.decoder) return false;
  index = std::clamp(index, 0, int(s.packets.size()) - 1);
  if (index != s.at) {
    int from = s.at + 1;
    // Jumping back, or past a key frame: start again from the last key frame.
    int key = index;
    while (key > 0 && !s.packets[size_t(key)].key) --key;
    if (index < s.at || key > s.at) from = key;
    for (int f = from; f <= index; ++f) {
      const State::Packet& p = s.packets[size_t(f)];
      ogg_packet op = asPacket(reinterpret_cast<unsigned char*>(s.bytes.data() + p.offset), p.size, f + 3);
      int r = th_decode_packetin(s.decoder, &op, nullptr);
      if (r < 0 && r != TH_DUPFRAME) {
        s.at = -1;  // the decoder must start over from a key frame
        return false;
      }
    }
    s.at = index;
  }
  th_ycbcr_buffer ycbcr;
  if (th_decode_ycbcr_out(s.decoder, ycbcr) != 0) return false;
  const int xShift = !(s.info.pixel_fmt & 1), yShift = !(s.info.pixel_fmt & 2);
  Plane planes[3];
  for (int i = 0; i < 3; ++i) planes[i] = {ycbcr[i].data, ycbcr[i].stride};
  convertYCbCr(planes, xShift, yShift, int(s.info.pic_x), int(s.info.pic_y), width(), height(), pixels, stride);
  return true;
}

void convertYCbCr(const Plane planes[3], int xShift, int yShift, int x0, int y0, int width, int height,
                  uint32_t* out, int stride) {
  auto clamp8 = [](int v) { return uint32_t(v < 0 ? 0 : v > 255 ? 255 : v); };
  for (int y = 0; y < height; ++y) {
    const uint8_t* luma = planes[0].data + ptrdiff_t(y0 + y) * planes[0].stride + x0;
    const ptrdiff_t chromaRow = ptrdiff_t((y0 + y) >> yShift);
    const uint8_t* cb = planes[1].data + chromaRow * planes[1].stride;
    const uint8_t* cr = planes[2].data + chromaRow * planes[2].stride;
    uint32_t* row = out + ptrdiff_t(y) * stride;
    for (int x = 0; x < width; ++x) {
      const int c = 298 * (luma[x] - 16) + 128;
      const int d = cb[(x0 + x) >> xShift] - 128, e = cr[(x0 + x) >> xShift] - 128;
      row[x] = 0xFF000000u | clamp8((c + 409 * e) >> 8) << 16 | clamp8((c - 100 * d - 208 * e) >> 8) << 8 |
               clamp8((c + 516 * d) >> 8);
    }
  }
}

}  // namespace velmora::movie
