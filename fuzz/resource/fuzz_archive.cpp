// A numbered archive: its index, then members read by path (masked or not)
// through the engine's reader and the authoring tool's extractor.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "resource/packer.h"
#include "resource/resource.h"

using namespace velmora;

namespace {
// The members of the seed archives.
const char* const kPaths[] = {"bg/sky.png", "se/click.wav", "a.txt", "script/0.txt"};
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::InFolder inFolder;  // archives are found in the game folder
  const std::string file(reinterpret_cast<const char*>(data), size);
  fuzz::writeFile("arc0.dat", file);
  resource::openArchives();
  std::string bytes;
  char* buffer = nullptr;
  uint32_t length = 0, capacity = 0;
  for (const char* path : kPaths) {
    resource::loadFileS(path, bytes);
    resource::loadFile(path, buffer, length, capacity);
  }
  std::free(buffer);
  resource::closeArchives();

  std::vector<resource::IndexRecord> records;
  if (resource::readIndex(file, records))
    for (const auto& r : records)
      for (const char* path : kPaths) resource::extractMember(file, r, path, bytes);
  return 0;
}
