// libFuzzer entry for one decoder: any input must decode or fail cleanly.
#include <cstddef>
#include <cstdint>

#include "image/internal.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  velmora::image::Image* im = velmora::image::detail::decodeBmp(data, size);
  // The loader refuses pictures by the size their header declares: for data it
  // sends to this decoder, that must be the size the decoder makes.
  velmora::image::PictureSize declared;
  const bool sent = size >= 2 && data[0] == 'B' && data[1] == 'M';
  const bool read = velmora::image::readPictureSize(data, size, declared);
  if (im && sent && read && (declared.width != im->width || declared.height != im->height)) __builtin_trap();
  velmora::image::freeImage(im);
  return 0;
}
