// The source paths after a script.dat's members: read from memory and from
// an open file, which must agree.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "resource/script_names.h"

using namespace velmora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string file(reinterpret_cast<const char*>(data), size);
  const std::vector<std::string> inMemory = resource::readScriptNames(file);
  const std::string path = fuzz::setUp() + "script.dat";
  fuzz::writeFile(path, data, size);
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return 0;
  const std::vector<std::string> fromFile = resource::readScriptNames(f, size);
  std::fclose(f);
  if (inMemory != fromFile) std::abort();
  return 0;
}
