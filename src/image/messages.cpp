#include "image/messages.h"

#include <iterator>

#include "base/language.h"
#include "base/textconv.h"

namespace velmora::image {
namespace {

// UTF-8 here, converted to the engine's code page on first use; a text that
// follows a name starts with its own space.
constexpr const char* kMessages[] = {
    "対応していない深度です",  // UnsupportedDepth
    "対応していない圧縮値です",  // UnsupportedCompression
    "対応していないPNG-OPです",  // UnsupportedPngOption
    "対応していない品質値です",  // UnsupportedQuality
    "-FMT: 対応していないJPEG-OPです",  // UnsupportedJpegOption
};
static_assert(std::size(kMessages) == static_cast<size_t>(Message::Count), "one text per message");

// An English UI adds these lines to the reports; empty for a fragment.
constexpr const char* kEnglish[] = {
    "Unsupported depth.",  // UnsupportedDepth
    "Unsupported compression value.",  // UnsupportedCompression
    "Unsupported PNG option.",  // UnsupportedPngOption
    "Unsupported quality value.",  // UnsupportedQuality
    "Unsupported JPEG option.",  // UnsupportedJpegOption
};
static_assert(std::size(kEnglish) == std::size(kMessages), "one English line per message");
static_assert(plainAscii(kEnglish), "English texts are plain ASCII");

}  // namespace

const std::string& messageText(Message message) {
  const size_t i = static_cast<size_t>(message);
  return errorLiteral(kMessages[i], kEnglish[i]);
}

}  // namespace velmora::image
