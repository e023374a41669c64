// already.dat against a loaded script.dat: the first byte picks whether the
// rest is the file itself or the text inside a well-formed packed file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz_support.h"
#include "resource/packer.h"
#include "script/library.h"
#include "script/loader.h"
#include "text/backlog.h"

using namespace velmora;

namespace {

void loadScripts() {
  const std::string path = fuzz::setUp() + "script.dat";
  fuzz::writeFile(path, resource::buildScriptFile(fuzz::readMarkScripts()));
  std::string fatal;
  if (!script::loadScriptIndex(path.c_str(), &fatal)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready = (loadScripts(), true);
  (void)ready;
  if (size == 0) return 0;
  const std::string folder = fuzz::setUp() + "save/";
  script::ensureFolder(folder);
  const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  fuzz::writeFile(folder + "already.dat", data[0] & 1 ? fuzz::packedDataFile(rest) : std::string(rest));
  text::loadAlreadyRead();
  text::alreadyReadText();
  return 0;
}
