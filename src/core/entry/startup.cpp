#include "core/entry/startup.h"

#include <cstdlib>
#include <ctime>

#include "audio/audio.h"
#include "bindings/catalogue.h"
#include "bindings/host_commands.h"
#include "bindings/library_commands.h"
#include "core/glide.h"
#include "core/modes.h"
#include "core/report.h"
#include "core/scenario.h"
#include "core/state.h"
#include "core/textconv.h"
#include "platform/events.h"
#include "platform/platform.h"
#include "resource/resource.h"
#include "save/location.h"
#include "setup/inherit_window.h"
#include "setup/overlay.h"
#include "setup/startup_dialog.h"
#include "save/settings_file.h"
#include "save/screenshot.h"
#include "save/store.h"
#include "render/display.h"
#include "render/geometry.h"
#include "render/input/buttons.h"
#include "render/render.h"
#include "render/transition.h"
#include "image/image.h"
#include "movie/movie.h"
#include "platform/vclock.h"
#include "sprite/motion.h"
#include "sprite/picture.h"
#include "sprite/saved.h"
#include "sprite/sprite.h"
#include "script/control.h"
#include "script/expression.h"
#include "script/interp.h"
#include "script/loader.h"
#include "script/messages.h"
#include "text/backlog.h"
#include "text/message.h"

namespace velmora {
namespace {

uint32_t g_startTime = 0;

bool readVariable(const std::string& reference, std::string& value) {
  if (int32_t* n = script::numericReference(reference)) return value = std::to_string(*n), true;
  if (std::string* s = script::stringReference(reference)) return value = *s, true;
  return false;
}

std::string printedText() { return script::lastPrintedTextLine(); }

bool screenshot(const std::string& path, std::string& error) {
  const render::Geometry& g = render::geometry();
  if (!render::deviceCreated() || g.screenWidth <= 0) return error = "no screen has been created", false;
  image::Image* shot = render::getRenderImage(g.screenWidth, g.screenHeight);
  if (!shot) return error = "the screen could not be read back", false;
  bool ok = image::saveImage(path.c_str(), shot, image::kSavePng, 24, 9, 0) == 1;
  image::freeImage(shot);
  return ok || (error = "the picture could not be written", false);
}

void logicalToWindow(int& x, int& y) { render::logicalToWindow(render::geometry(), x, y, x, y); }

// Each presented frame counts for the scenario and moves the virtual clock,
// by --frame-ms or by 1000/60 ms (16 and 17 ms steps that add up exactly).
void frameTick() {
  static uint64_t frames = 0;
  static bool presented = false;
  // A game that only draws (no event wait) still meets its timed directives;
  // they see the frame presented last, so none runs before the first one.
  if (presented) scenario::poll();
  presented = true;
  scenario::noteFrame();
  if (!platform::virtualClock()) return;
  ++frames;
  uint32_t ms = runOptions().frameMs;
  platform::advanceVirtualClock(ms ? ms : static_cast<uint32_t>(frames * 1000 / 60 - (frames - 1) * 1000 / 60));
}

void installScenarioHooks() {
  scenario::Hooks& h = scenario::hooks();
  h.readVariable = readVariable;
  if (!h.currentText) h.currentText = printedText;
  h.screenshot = screenshot;
  h.logicalToWindow = logicalToWindow;
  render::addFrameUpdate(frameTick);
}

// Jump mode spans the sprite loads, the sounds (which follow the reading
// modes' flag themselves) and the interpreter.
void startJump() { sprite::setJumpLoading(true); }

void endJump() {
  sprite::setJumpLoading(false);
  sprite::rebuildPlaceholders();
  audio::restartLoopingSounds();
  text::window().windowVisible = 0;
  render::setWindowVisibleFlags(0);
  script::Registers& r = script::registers();
  r.scriptSwitchRequest = script::kSwitchToSlot0;
  r.loadHook = 1;
  r.currentPart = 0;
}

// Voices are channels 15-24.
void stopVoices() {
  for (int n = 15; n <= 24; ++n) audio::stopSound(n, 0);
}

bool voicePlaying() {
  for (int n = 15; n <= 24; ++n)
    if (audio::channelSnapshot(n).state == audio::kPlaying) return true;
  return false;
}

void installJumpEffects() {
  modes::hooks().startJumpEffects = startJump;
  modes::hooks().endJumpEffects = endJump;
  modes::hooks().voicePlaying = voicePlaying;
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
  save::sweepTemporaries();
  resource::openArchives();
  // The fixed tables of sprites, backlog and save protection are zeroed by
  // their owners when they are created.
  if (!script::loadScriptIndex()) return 0;
  const ScriptKey start = crc64_hash(script::kStartScriptPath);
  if (!script::textBlocks(start)) {
    showErrorBox(script::messageText(script::Message::StartScriptMissing));
    return 0;
  }
  if (!script::loadScript(start, script::slotLines(0))) return 0;
  script::slotChanged(0);
  script::registerOwnCommands();
  bindings::registerLibraryBridgeCommands();
  bindings::registerCatalogue();
  save::bindSaveCommands();
  sprite::bindSpriteCores();
  sprite::bindMotionCores();
  render::bindRenderCores();
  render::bindTransitionCores();
  input::bindInputCores();
  render::setStartupDialog(setup::runStartupDialog);
  render::setOverlayDrawer(setup::drawOverlays);
  if (!runOptions().headless) save::setInheritanceChooser(setup::chooseInheritance);
  render::addFrameUpdate(sprite::motionFrameStep);
  render::setTrackStep(sprite::motionTrackStep);
  audio::bindSoundCores();
  text::bindTextCores();
  save::settingsLoadHooks().loadAlreadyRead = text::loadAlreadyRead;
  installJumpEffects();
  text::setVoiceStopper(stopVoices);
  render::addFrameUpdate(audio::runPendingSounds);
  movie::bindMovieCores();
  render::addFrameUpdate(movie::movieFrameStep);
  sprite::setVoicePreloader(audio::preloadSound);
  save::settingsLoadHooks().applyVolumes = audio::applyVolumeSettings;
  save::registerSaveSections();
  movie::registerMovieSection();
  text::registerTextSections();
  save::bindSaveSlotCommands();
  bindings::registerScriptHosts();
  installScenarioHooks();
  g_startTime = platform::nowMs();
  setStartClock(g_startTime);
  save::setPlayStartTime(g_startTime);
  script::runScript();
  scenario::runEnded();

  // Release, in the fixed order: settings, interpreter state, slots, tables,
  // render device, sound channels, indexes.
  save::writeSettingsAtExit();
  // A run the engine ended itself never reached the game's own way out,
  // where its read marks would be saved: they are kept here instead.
  if ((platform::quitSignal() || script::stoppedAtLimit()) && save::saveLocationChosen()) text::saveAlreadyRead();
  bindings::releaseScriptHosts();
  releaseScriptMachinery();
  text::releaseMessageWindow();
  sprite::clearMotion();
  movie::releaseMovies();
  sprite::clearTable();
  save::releaseScreenShot();
  render::releaseRenderDevice();
  audio::releaseSound();
  sprite::clearCache();
  bindings::releasePluginLibraries();
  joinCursorGlide();
  resource::closeArchives();
  releaseFileMemory();
  return 1;
}

}  // namespace velmora
