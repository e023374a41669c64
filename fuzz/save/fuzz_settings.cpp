// setting.dat: the first byte picks whether the rest is the file itself or
// the text inside a well-formed packed file, so that both the container and
// the key, list and assignment parsing are reached; or the player's own
// settings file, read as a game without setting.dat reads it.
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/settings.h"
#include "fuzz_support.h"
#include "save/player_file.h"
#include "save/settings_file.h"
#include "script/expression.h"
#include "script/library.h"

using namespace velmora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::setUp();
  if (size == 0) return 0;
  const std::string path = save::settingsPath();
  static const bool folder = script::ensureFolder(fuzz::setUp() + "save/");
  (void)folder;
  const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  if (data[0] & 2) {
    fuzz::writeFile(save::playerSettingsPath(), std::string(rest));
    save::readPlayerSettings();
  } else {
    fuzz::writeFile(path, data[0] & 1 ? fuzz::packedDataFile(rest) : std::string(rest));
    save::readSettingsFile("");
  }
  resetSettings();
  save::resetSaveProtect();
  script::resetVariables();
  return 0;
}
