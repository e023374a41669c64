// The one place where the engine is connected: every command family bound and
// every hook of a lower layer pointed at the layer above that serves it.
#include "app/wiring.h"

#include <algorithm>
#include <cstdint>
#include <string>

#include "app/scenario.h"
#include "audio/audio.h"
#include "base/pump.h"
#include "base/report.h"
#include "base/settings.h"
#include "base/snapshot.h"
#include "base/state.h"
#include "bindings/catalogue.h"
#include "bindings/host_commands.h"
#include "bindings/library_commands.h"
#include "bindings/lua_host.h"
#include "bindings/squirrel_host.h"
#include "image/image.h"
#include "movie/movie.h"
#include "platform/gamepad.h"
#include "platform/glide.h"
#include "platform/threads.h"
#include "platform/vclock.h"
#include "render/display.h"
#include "render/geometry.h"
#include "render/hooks.h"
#include "render/input/buttons.h"
#include "render/input/find.h"
#include "render/render.h"
#include "render/transition.h"
#include "save/image_log.h"
#include "save/location.h"
#include "save/store.h"
#include "script/expression.h"
#include "script/interp.h"
#include "script/modes.h"
#include "setup/inherit_window.h"
#include "setup/overlay.h"
#include "setup/startup_dialog.h"
#include "sprite/motion.h"
#include "sprite/picture.h"
#include "sprite/saved.h"
#include "sprite/sprite.h"
#include "text/backlog.h"
#include "text/message.h"
#include "text/voicing.h"

namespace velmora::app {
namespace {

bool readVariable(const std::string& reference, std::string& value) {
  if (int32_t* n = script::numericReference(reference)) return value = std::to_string(*n), true;
  if (std::string* s = script::stringReference(reference)) return value = *s, true;
  return false;
}

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
  if (presented) pollScenario();
  presented = true;
  noteFrame();
  if (!platform::virtualClock()) return;
  ++frames;
  uint32_t ms = runOptions().frameMs;
  platform::advanceVirtualClock(ms ? ms : static_cast<uint32_t>(frames * 1000 / 60 - (frames - 1) * 1000 / 60));
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

int windowVisibleFlags() { return text::window().windowVisible; }

void followGamepadSetting(SettingKey key, SettingSource) { platform::enableGamepads(setting(key) != 0); }

// Switched by the player (key, menu) it says so aloud; read from the file, not.
void followVoicingSetting(SettingKey, SettingSource source) {
  text::followSelfVoicing(source == SettingSource::Command);
}

// Single-thread mode: the work of the sound channels' and the movies' threads.
uint32_t workerStepsWithoutThreads() {
  return std::min(audio::stepWorkersWithoutThreads(), movie::stepMoviesWithoutThreads());
}

// Speech runs beside the sounds: its end brings the ducked voices back. In
// single-thread mode every frame steps the workers too.
void soundAndSpeechStep() {
  platform::stepWorkers();
  audio::runPendingSounds();
  text::voicingStep();
}

// Auto mode waits for the engine's own reading as for a voice.
bool voiceOrSpeechPlaying() { return audio::voicePlaying() || text::speechRunning(); }

void bindCommandFamilies() {
  script::registerOwnCommands();
  bindings::registerLibraryBridgeCommands();
  bindings::registerCatalogue();
  save::bindSaveCommands();
  sprite::bindSpriteCores();
  sprite::bindMotionCoresAndTracks();
  render::bindRenderCores();
  render::bindTransitionCoresAndPasses();
  render::bindInputCoresAndWheel();
  audio::bindSoundCores();
  text::bindTextCores();
  movie::bindMovieCores();
  save::registerSaveSections();
  movie::registerMovieSection();
  text::registerTextSections();
  save::bindSaveSlotCommands();
  bindings::registerScriptHosts();
}

// What a change of a setting does beyond storing it, by the subsystem that
// owns the setting.
void installSettingEffects() {
  setSettingEffect(SettingKey::FullScreen, render::fullScreenSettingChanged);
  setSettingEffect(SettingKey::ScreenAspect, render::aspectSettingChanged);
  setSettingEffect(SettingKey::WallPaper, render::wallPaperSettingChanged);
  setSettingEffect(SettingKey::CursorFile, render::cursorFileSettingChanged);
  // Pads serve every game without its script knowing, unless turned off.
  setSettingEffect(SettingKey::Gamepad, followGamepadSetting);
  followGamepadSetting(SettingKey::Gamepad, SettingSource::Command);
  setSettingEffect(SettingKey::SelfVoicing, followVoicingSetting);
}

void installHooks() {
  installPumpHooks({.presentFrame = render::present,
                    .pollScenario = pollScenario,
                    .framesPresented = framesNoted,
                    .windowProcedure = render::mainWindowProcedure,
                    .dialogFilter = render::findBoxTakesMessage});
  installReportHooks({.ownTrace = script::ownLanguageTrace,
                      .luaTrace = bindings::luaTrace,
                      .squirrelTrace = bindings::squirrelTrace});
  installSnapshotTextLink({.textWaitPending = text::textWaitPending,
                           .pageSnapshot = text::pageSnapshot,
                           .currentPage = text::currentBacklogPage,
                           .setCurrentPage = text::setCurrentBacklogPage,
                           .pageImages = text::backlogPageImages});
  platform::installGlideHooks({.mapScreenPoint = render::logicalToDesktop});
  platform::installWorkerStepHooks({.step = workerStepsWithoutThreads});
  script::installInterpreterHooks({.textLine = text::textLine,
                                   .callLua = bindings::callLuaFunction,
                                   .callSquirrel = bindings::callSquirrelFunction,
                                   .backlogEntryEmpty = text::backlogEntryEmpty,
                                   .setSpeakerName = text::setEntryName,
                                   .readMark = text::readMark,
                                   .recordPosition = text::recordPosition,
                                   .pageState = text::pageState,
                                   .resumeOffset = text::resumeOffset});
  sprite::installSpriteHooks({.releaseGpu = render::releaseSpriteTextures,
                              .stopMovie = movie::stopAndRemove,
                              .moviePlaying = movie::moviePlaying,
                              .motionBlur = render::setMotionBlur,
                              .preloadVoice = audio::preloadSound,
                              .buildTextSprite = text::renderTextSprite,
                              .rebuildMovie = movie::rebuildMovie,
                              .rebuildImageLog = save::rebuildImageLog});
  render::installRenderHooks({.motionStep = sprite::motionFrameStep,
                              .soundStep = soundAndSpeechStep,
                              .movieStep = movie::movieFrameStep,
                              .frameCounted = frameTick,
                              .trackStep = sprite::motionTrackStep,
                              .drawTextLayer = text::drawTextLayer,
                              .textSpriteAt = text::renderTextSpriteAt,
                              .drawOverlays = setup::drawOverlays,
                              .startupDialog = setup::runStartupDialog,
                              .shiftTextForAspect = text::applyAspectShift,
                              .idleEventPoll = noteIdleEventPoll,
                              .keySelection = text::voiceButton,
                              .playerKey = text::voicingKey});
  save::installSettingsLoadHooks(
      {.chooseInheritance = runOptions().headless ? save::chooseInheritanceByBoxes : setup::chooseInheritance,
       .loadAlreadyRead = text::loadAlreadyRead,
       .applyVolumes = audio::applyVolumeSettings});
  text::installTextHooks({.stopVoices = audio::stopVoices,
                          .textWaitStarted = noteTextWait,
                          .duckVoices = audio::duckVoicesForSpeech});
  script::ModeHooks& modes = script::modeHooks();
  modes.windowVisibleFlags = windowVisibleFlags;
  modes.startJumpEffects = startJump;
  modes.endJumpEffects = endJump;
  modes.voicePlaying = voiceOrSpeechPlaying;
  ScenarioHooks& scenario = scenarioHooks();
  scenario.readVariable = readVariable;
  scenario.currentText = text::currentMessageText;
  scenario.screenshot = screenshot;
  scenario.logicalToWindow = logicalToWindow;
  installSettingEffects();
}

}  // namespace

void wireEngine() {
  bindCommandFamilies();
  installHooks();
}

}  // namespace velmora::app
