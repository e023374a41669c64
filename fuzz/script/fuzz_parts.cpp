// The part splitter and the argument list of a command line. The first byte
// picks the separator.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "script/interp.h"

using namespace velmora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::setUp();
  if (size == 0) return 0;
  const char separator = static_cast<char>(data[0]);
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  std::vector<std::string> parts;
  script::splitPartsInto(text, separator, parts);
  script::parseArguments(text.c_str());
  return 0;
}
