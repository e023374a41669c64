#include "app/startup.h"

#include <cstdlib>
#include <ctime>

#include "audio/audio.h"
#include "bindings/host_commands.h"
#include "bindings/library_commands.h"
#include "platform/glide.h"
#include "base/encoding.h"
#include "base/report.h"
#include "app/scenario.h"
#include "app/wiring.h"
#include "base/state.h"
#include "base/textconv.h"
#include "platform/events.h"
#include "platform/platform.h"
#include "resource/resource.h"
#include "save/location.h"
#include "save/player_file.h"
#include "save/settings_file.h"
#include "save/screenshot.h"
#include "save/store.h"
#include "render/render.h"
#include "movie/movie.h"
#include "sprite/motion.h"
#include "sprite/picture.h"
#include "sprite/sprite.h"
#include "script/control.h"
#include "script/expression.h"
#include "script/interp.h"
#include "script/loader.h"
#include "script/messages.h"
#include "text/backlog.h"
#include "text/message.h"
#include "text/stream.h"

namespace velmora::app {
namespace {

void releaseScriptMachinery() {
  script::clearControlState();
  script::resetInterpreter();
  script::resetVariables();
  script::releaseScriptTables();
}

}  // namespace

int runInterpreter() {
  std::srand(static_cast<unsigned>(std::time(nullptr)));
  save::sweepTemporaries();
  resource::openArchives();
  // The fixed tables of sprites, backlog and save protection are zeroed by
  // their owners when they are created.
  if (!script::loadScriptIndex()) return 0;
  // A Unicode game names folders in UTF-8, as the command line gave them.
  if (unicodeGame() && !runOptions().saveDir.empty()) setSaveRoot(runOptions().saveDir + "/");
  const ScriptKey start = crc64_hash(script::kStartScriptPath);
  if (!script::textBlocks(start)) {
    showErrorBox(script::messageText(script::Message::StartScriptMissing));
    return 0;
  }
  if (!script::loadScript(start, script::slotLines(0))) return 0;
  script::slotChanged(0);
  wireEngine();
  save::readPlayerSettings();
  const uint32_t firstLineAt = platform::nowMs();
  setStartClock(firstLineAt);
  save::setPlayStartTime(firstLineAt);
  script::runScript();
  scenarioRunEnded();

  // Release, in the fixed order: settings, interpreter state, slots, tables,
  // render device, sound channels, indexes.
  save::writeSettingsAtExit();
  save::writePlayerSettingsAtExit();
  // A run the engine ended itself never reached the game's own way out,
  // where its read marks would be saved: they are kept here instead.
  if ((platform::quitSignal() || script::stoppedAtLimit()) && save::saveLocationChosen()) text::saveAlreadyRead();
  bindings::releaseScriptHosts();
  releaseScriptMachinery();
  text::releaseMessageWindow();
  text::closeTextStream();
  sprite::clearMotion();
  movie::releaseMovies();
  sprite::clearTable();
  save::releaseScreenShot();
  render::releaseRenderDevice();
  audio::releaseSound();
  sprite::clearCache();
  bindings::releasePluginLibraries();
  platform::joinCursorGlide();
  resource::closeArchives();
  releaseFileMemory();
  return 1;
}

}  // namespace velmora::app
