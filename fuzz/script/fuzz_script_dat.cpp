// script.dat as a whole: the index, every script unpacked and scanned for
// labels and text blocks, then each one read again as the interpreter does.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "script/loader.h"

using namespace velmora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = fuzz::setUp() + "script.dat";
  fuzz::writeFile(path, data, size);
  std::string fatal;
  if (script::loadScriptIndex(path.c_str(), &fatal)) {
    std::vector<ScriptKey> keys;
    for (const auto& [key, blocks] : script::allTextBlocks()) keys.push_back(key);
    script::LineArray lines;
    for (ScriptKey key : keys) {
      lines.clear();
      script::loadScript(key, lines);
    }
  }
  script::releaseScriptTables();
  return 0;
}
