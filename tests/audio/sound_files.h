#pragma once
// Sound files made by the tests themselves: WAVE bytes and Vorbis encoded
// with the library's own encoder.
#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace velmora::test {

// Interleaved 16-bit samples as a canonical 44-byte WAVE file.
std::string waveBytes(const std::vector<int16_t>& samples, int channels, int rate);
// Chunks before the data, as editors write them: LIST, an odd-sized chunk, fmt, data.
std::string chunkedWaveBytes(const std::vector<int16_t>& samples, int channels, int rate);
// frames of stereo audio from sample(frame, channel), with the given comments.
// Inline so that the benchmarks can use it too.
inline std::string vorbisBytes(int64_t frames, int rate, const std::vector<std::string>& comments,
                        const std::function<float(int64_t, int)>& sample) {
  vorbis_info vi;
  vorbis_info_init(&vi);
  vorbis_encode_init_vbr(&vi, 2, rate, 0.1f);
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
  auto writePage = [&](const ogg_page& og) {
    out.append(reinterpret_cast<const char*>(og.header), size_t(og.header_len));
    out.append(reinterpret_cast<const char*>(og.body), size_t(og.body_len));
  };
  ogg_packet h1, h2, h3;
  vorbis_analysis_headerout(&vd, &vc, &h1, &h2, &h3);
  ogg_stream_packetin(&os, &h1), ogg_stream_packetin(&os, &h2), ogg_stream_packetin(&os, &h3);
  ogg_page og;
  while (ogg_stream_flush(&os, &og)) writePage(og);
  for (int64_t at = 0;; at += 4096) {
    int n = int(std::min<int64_t>(4096, frames - at));
    if (n <= 0) {
      vorbis_analysis_wrote(&vd, 0);
    } else {
      float** buf = vorbis_analysis_buffer(&vd, n);
      for (int i = 0; i < n; ++i) buf[0][i] = sample(at + i, 0), buf[1][i] = sample(at + i, 1);
      vorbis_analysis_wrote(&vd, n);
    }
    while (vorbis_analysis_blockout(&vd, &vb) == 1) {
      vorbis_analysis(&vb, nullptr);
      vorbis_bitrate_addblock(&vb);
      ogg_packet op;
      while (vorbis_bitrate_flushpacket(&vd, &op)) {
        ogg_stream_packetin(&os, &op);
        while (ogg_stream_pageout(&os, &og)) writePage(og);
      }
    }
    if (n <= 0) break;
  }
  while (ogg_stream_flush(&os, &og)) writePage(og);
  ogg_stream_clear(&os);
  vorbis_block_clear(&vb);
  vorbis_dsp_clear(&vd);
  vorbis_comment_clear(&vc);
  vorbis_info_clear(&vi);
  return out;
}

}  // namespace velmora::test
