// libFuzzer entry for one decoder: any input must decode or fail cleanly.
#include <cstddef>
#include <cstdint>

#include "image/internal.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  velmora::image::Image* im = velmora::image::detail::decodePng(data, size);
  velmora::image::freeImage(im);
  return 0;
}
