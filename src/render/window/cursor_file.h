#pragma once
// Cursor files read by the engine itself: .cur (one or more images, DIB or
// PNG, each with its hot spot) and .ani (a RIFF list of .cur/.ico frames
// with rates and an optional sequence), and pictures turned into cursors
// with the alpha-128 mask.
#include <cstdint>
#include <string>
#include <vector>

namespace velmora::image {
struct Image;
}

namespace velmora::render {

struct CursorFrame {
  int width = 0, height = 0, hotX = 0, hotY = 0;
  std::vector<uint32_t> pixels;  // 0xAARRGGBB, alpha 0 or 255 from the mask
  uint32_t durationMs = 0;       // animated cursors: how long the frame shows
};

// The largest image of a .cur/.ico file; false on a malformed or truncated file.
bool parseCursor(const uint8_t* data, size_t size, CursorFrame& out);
// Every step of an .ani file in play order; false when malformed.
bool parseAnimatedCursor(const uint8_t* data, size_t size, std::vector<CursorFrame>& out);
// A picture: see-through where alpha is below 128, hot spot at the top left.
CursorFrame cursorFromPicture(const image::Image& picture);

}  // namespace velmora::render
