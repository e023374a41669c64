// The loop directive of a Vorbis comment on its own (the Ogg container keeps
// the fuzzer from mutating it directly).
#include <cstddef>
#include <cstdint>
#include <string>

#include "audio/stream.h"

using namespace velmora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const int rates[] = {44100, 22050, 8000, 1};
  const std::string comment(reinterpret_cast<const char*>(data + 1), size - 1);
  int64_t a = 0, b = 0, c = 0;
  bool badCount = false;
  audio::parseLoopComment(comment, rates[data[0] & 3], a, b, c, badCount);
  return 0;
}
