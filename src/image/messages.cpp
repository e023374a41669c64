#include "image/messages.h"

#include <iterator>

#include "core/textconv.h"

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

}  // namespace

const std::string& messageText(Message message) { return sj(kMessages[static_cast<size_t>(message)]); }

}  // namespace velmora::image
