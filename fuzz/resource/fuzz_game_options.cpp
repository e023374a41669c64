// The packed options after a script.dat's members (in front of the paths
// block): read from memory and from an open file, which must agree.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz_support.h"
#include "resource/game_options.h"

using namespace velmora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string file(reinterpret_cast<const char*>(data), size);
  const resource::GameOptions inMemory = resource::readGameOptions(file);
  const std::string path = fuzz::setUp() + "script.dat";
  fuzz::writeFile(path, data, size);
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return 0;
  const resource::GameOptions fromFile = resource::readGameOptions(f, size);
  std::fclose(f);
  if (!(inMemory == fromFile)) std::abort();
  return 0;
}
