// Ogg Vorbis through the sound reader: the loop comment, decoding, seeking.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "audio/stream.h"
#include "fuzz_support.h"

using namespace velmora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::setUp();
  auto bytes = std::make_shared<const std::string>(reinterpret_cast<const char*>(data), size);
  std::string error;
  std::unique_ptr<audio::Stream> s = audio::openStream(bytes, audio::detectType(*bytes), "fuzz.ogg", error);
  if (!s) return 0;
  std::vector<uint8_t> out(4096);
  for (int i = 0; i < 64 && s->read(out.data(), long(out.size())) > 0; ++i) {
  }
  s->seekFrame(s->loopA);
  s->read(out.data(), long(out.size()));
  return 0;
}
