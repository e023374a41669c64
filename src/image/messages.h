#pragma once
// The image library's messages; the texts are in messages.cpp.
#include <string>

namespace velmora::image {

enum class Message {
  UnsupportedDepth,
  UnsupportedCompression,
  UnsupportedPngOption,
  UnsupportedQuality,
  UnsupportedJpegOption,
  Count
};

const std::string& messageText(Message message);

}  // namespace velmora::image
