// The commands of the settings file and the save location.
#include <string>

#include "bindings/bridge.h"
#include "bindings/catalogue.h"
#include "core/report.h"
#include "save/location.h"
#include "save/settings_file.h"

namespace velmora::save {
namespace {

using bindings::CommandContext;

void cmd_loadSetting(CommandContext c) {
  std::string maker(bindings::stringArg(c, 1)), game(bindings::stringArg(c, 2));
  loadSetting(maker, game);
}

void cmd_saveSetting(CommandContext) {
  writeSettingsFile();
}

void cmd_setSaveProtect(CommandContext c) {
  int32_t slot = bindings::intArg(c, 1);
  setSaveProtect(slot, bindings::intArg(c, 2));
}

void cmd_getSaveProtect(CommandContext c) {
  int32_t slot = bindings::intArg(c, 1);
  bindings::intResult(c, 2, saveProtect(slot));
}

// Empty while saves live in the game folder.
void cmd_getCurrentDirectory(CommandContext c) {
  bindings::stringResult(c, 1, saveRoot());
}

const bindings::CoreBinding kSaveCores[] = {
    {"loadSetting", cmd_loadSetting},
    {"saveSetting", cmd_saveSetting},
    {"setSaveProtect", cmd_setSaveProtect},
    {"getSaveProtect", cmd_getSaveProtect},
    {"getCurrentDirectory", cmd_getCurrentDirectory},
};

}  // namespace

void bindSaveCommands() { bindings::bindCores(kSaveCores); }

}  // namespace velmora::save
