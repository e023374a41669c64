// Cursor files: .cur/.ico and animated .ani, each reader on every input.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "render/window/cursor_file.h"

using namespace velmora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  render::CursorFrame frame;
  render::parseCursor(data, size, frame);
  std::vector<render::CursorFrame> frames;
  render::parseAnimatedCursor(data, size, frames);
  return 0;
}
