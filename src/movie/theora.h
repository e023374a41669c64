#pragma once
// Theora video held in memory as an Ogg stream, decoded by frame index into
// 32-bit pixels. One decoder per movie worker; not shared between threads.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

namespace velmora::movie {

class TheoraVideo {
 public:
  TheoraVideo();
  ~TheoraVideo();
  TheoraVideo(const TheoraVideo&) = delete;
  TheoraVideo& operator=(const TheoraVideo&) = delete;

  // Finds the first Theora stream in the Ogg bytes (which must outlive the
  // object) and reads its headers; false when there is none or it is damaged.
  bool load(std::string_view ogg);
  int width() const;   // the picture region, not the coded frame
  int height() const;
  int frameCount() const;
  double framesPerSecond() const;
  // Decodes frame index (held at the last frame past the end) into pixels of
  // width() x height() 0xFFRRGGBB, rows top to bottom, stride in pixels.
  // Frames are decoded from the nearest key frame when jumping.
  bool decodeFrame(int index, uint32_t* pixels, int stride);

 private:
  struct State;
  std::unique_ptr<State> s_;
};

// One Y'CbCr plane as the decoder hands it over.
struct Plane {
  const uint8_t* data;
  int stride;
};
// BT.601 video range to 0xFFRRGGBB; chroma planes are subsampled by
// (1 << xShift, 1 << yShift). x0, y0 is the picture's offset in the planes.
void convertYCbCr(const Plane planes[3], int xShift, int yShift, int x0, int y0, int width, int height,
                  uint32_t* out, int stride);

}  // namespace velmora::movie
