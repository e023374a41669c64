#include "vorbis_encode.h"

#include <vorbis/vorbisenc.h>

#include <algorithm>

namespace velmora::tools {

std::string encodeVorbis(int64_t frames, int rate, const std::vector<std::string>& comments,
                         const SampleSource& sample, float quality) {
  vorbis_info vi;
  vorbis_info_init(&vi);
  vorbis_encode_init_vbr(&vi, 2, rate, quality);
  vorbis_comment vc;
  vorbis_comment_init(&vc);
  for (const std::string& c : comments) vorbis_comment_add(&vc, c.c_str());
  vorbis_dsp_state vd;
  vorbis_block vb;
  vorbis_analysis_init(&vd, &vi);
  vorbis_block_init(&vd, &vb);
  ogg_stream_state os;
  ogg_stream_init(&os, 1);
  std::string out;
  ogg_page og;
  auto pages = [&](bool flush) {
    while (flush ? ogg_stream_flush(&os, &og) : ogg_stream_pageout(&os, &og)) {
      out.append(reinterpret_cast<const char*>(og.header), size_t(og.header_len));
      out.append(reinterpret_cast<const char*>(og.body), size_t(og.body_len));
    }
  };
  ogg_packet h1, h2, h3;
  vorbis_analysis_headerout(&vd, &vc, &h1, &h2, &h3);
  ogg_stream_packetin(&os, &h1), ogg_stream_packetin(&os, &h2), ogg_stream_packetin(&os, &h3);
  pages(true);
  for (int64_t at = 0;; at += 4096) {
    const int n = int(std::min<int64_t>(4096, frames - at));
    if (n > 0) {
      float** buf = vorbis_analysis_buffer(&vd, n);
      for (int i = 0; i < n; ++i) buf[0][i] = sample(at + i, 0), buf[1][i] = sample(at + i, 1);
    }
    vorbis_analysis_wrote(&vd, std::max(n, 0));
    while (vorbis_analysis_blockout(&vd, &vb) == 1) {
      vorbis_analysis(&vb, nullptr);
      vorbis_bitrate_addblock(&vb);
      ogg_packet op;
      while (vorbis_bitrate_flushpacket(&vd, &op)) ogg_stream_packetin(&os, &op), pages(false);
    }
    if (n <= 0) break;
  }
  pages(true);
  ogg_stream_clear(&os);
  vorbis_block_clear(&vb);
  vorbis_dsp_clear(&vd);
  vorbis_comment_clear(&vc);
  vorbis_info_clear(&vi);
  return out;
}

}  // namespace velmora::tools
