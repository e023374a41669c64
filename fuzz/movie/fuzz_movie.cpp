// Movie files: the header, then the MJPG chunk list walked and decoded as the
// frame-by-frame worker does, or the Theora stream's headers and frames.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "image/image.h"
#include "movie/internal.h"
#include "movie/theora.h"

using namespace velmora;
using namespace velmora::movie;

namespace {

// The sprite canvas refuses anything larger, so no worker ever starts with it.
constexpr int kLargest = 8192;

void walkChunks(MovieSource& s, const MovieHeader& h) {
  uint64_t at = kHeaderSize + h.soundSize;
  std::vector<uint8_t> buffer;
  std::vector<uint32_t> work;
  Chunk c;
  for (int i = 0; i < std::min(h.frameCount, 64) && readChunk(s, at, c) && isFrame(c); ++i) {
    if (c.size) {
      image::Image* picture = chunkData(s, at, c, buffer) ? decodeChunk(buffer, c.size) : nullptr;
      fitPicture(picture, std::min(h.width, 256), std::min(h.height, 256), work);
      image::freeImage(picture);
    }
    at += kChunkHeader + uint64_t(c.size);
  }
  if (!isEnd(c)) readChunk(s, at, c);
}

void decodeTheora(MovieSource& s, const MovieHeader& h) {
  const uint64_t from = kHeaderSize + h.soundSize;
  const uint64_t rest = s.size - std::min<uint64_t>(from, s.size);
  const uint64_t size = h.streamSize ? std::min<uint64_t>(h.streamSize, rest) : rest;
  std::string stream(size_t(size), '\0');
  if (!s.read(from, stream.data(), stream.size())) return;
  TheoraVideo video;
  if (!video.load(stream)) return;
  const int w = video.width(), height = video.height();
  if (w <= 0 || height <= 0 || w > 1024 || height > 1024) return;  // keeps each run short
  std::vector<uint32_t> pixels(size_t(w) * size_t(height));
  video.decodeFrame(0, pixels.data(), w);
  video.decodeFrame(std::min(video.frameCount(), 8), pixels.data(), w);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::setUp();
  MovieSource s;
  s.bytes = std::make_shared<const std::string>(reinterpret_cast<const char*>(data), size);
  s.size = size;
  MovieHeader h;
  std::string error;
  if (!readHeader(s, h, error)) return 0;
  if (h.width <= 0 || h.height <= 0 || h.width > kLargest || h.height > kLargest) return 0;
  if (h.theora) decodeTheora(s, h);
  else walkChunks(s, h);
  return 0;
}
