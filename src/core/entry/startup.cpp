#include "core/entry/startup.h"

#include <cstdlib>
#include <ctime>

#include "bindings/catalogue.h"
#include "bindings/catalogue.h"
#include "bindings/library_commands.h"
#include "core/glide.h"
#include "core/report.h"
#include "core/scenario.h"
#include "core/state.h"
#include "core/textconv.h"
#include "platform/platform.h"
#include "resource/resource.h"
#include "save/location.h"
#include "save/settings_file.h"
#include "script/control.h"
#include "script/expression.h"
#include "script/interp.h"
#include "script/loader.h"

namespace velmora {
namespace {

uint32_t g_startTime = 0;

bool readVariable(const std::string& reference, std::string& value) {
  if (int32_t* n = script::numericReference(reference)) return value = std::to_string(*n), true;
  if (std::string* s = script::stringReference(reference)) return value = *s, true;
  return false;
}

std::string printedText() { return script::lastPrintedTextLine(); }

void installScenarioHooks() {
  scenario::Hooks& h = scenario::hooks();
  h.readVariable = readVariable;
  if (!h.currentText) h.currentText = printedText;
}

void releaseScriptMachinery() {
  script::clearControlState();
  script::resetInterpreter();
  script::resetVariables();
  script::releaseScriptTables();
}

}  // namespace

unsigned startTime() { return g_startTime; }

int runInterpreter() {
  std::srand(static_cast<unsigned>(std::time(nullptr)));
  resource::openArchives();
  // The fixed tables of sprites, backlog and save protection are zeroed by
  // their owners when they are created.
  if (!script::loadScriptIndex()) return 0;
  const ScriptKey start = crc64_hash(script::kStartScriptPath);
  if (!script::textBlocks(start)) {
    showErrorBox(sj("開始スクリプトが読み込めませんでした"));
    return 0;
  }
  if (!script::loadScript(start, script::slotLines(0))) return 0;
  script::slotChanged(0);
  script::registerOwnCommands();
  bindings::registerLibraryBridgeCommands();
  bindings::registerCatalogue();
  save::bindSaveCommands();
  installScenarioHooks();
  g_startTime = platform::nowMs();
  save::setPlayStartTime(g_startTime);
  script::runScript();
  scenario::runEnded();

  // Release, in the fixed order: settings, interpreter state, slots, tables,
  // render device, sound channels, indexes.
  save::writeSettingsAtExit();
  releaseScriptMachinery();
  bindings::releasePluginLibraries();
  joinCursorGlide();
  resource::closeArchives();
  releaseFileMemory();
  return 1;
}

}  // namespace velmora
