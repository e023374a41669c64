#pragma once
// A small Theora encoder for making movies without outside tools: the demo's
// opening movie, the tests' and the benchmarks' streams.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace velmora::tools {

// draw(frame, pixels) fills width x height 0xFFRRGGBB pixels, rows top to
// bottom. Returns the Ogg Theora stream (4:2:0, BT.601 video range).
using FrameDrawer = std::function<void(int frame, std::vector<uint32_t>& pixels)>;
std::string encodeTheora(int width, int height, int fpsNumerator, int fpsDenominator, int frames,
                         const FrameDrawer& draw, int quality = 48, int keyframeInterval = 30);

}  // namespace velmora::tools
