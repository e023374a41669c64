#include "bindings/catalogue.h"

#include <array>
#include <new>
#include <cstring>
#include <utility>

#include "bindings/families.h"
#include "core/report.h"
#include "core/textconv.h"
#include "script/interp.h"
#include "script/value.h"

namespace velmora::bindings {
namespace {

// In the order the commands are registered; lookup is by name, so the order
// carries no meaning beyond that.
constexpr CatalogueEntry kCatalogue[] = {
    // Message windows and text
    {"getTag", Family::Message, "", "", kOwnOnly},
    {"n", Family::Message, "", "", 0},
    {"i", Family::Message, "n", "", 0},
    {"setMessCreate", Family::Message, "nn", "", 0},
    {"setMessLine", Family::Message, "nn", "", 0},
    {"setMessIndent", Family::Message, "nn", "", 0},
    {"setMessXY", Family::Message, "nnn", "", 0},
    {"setMessWH", Family::Message, "nnnnnn", "", 0},
    {"setMessLog", Family::Message, "nnnnnn", "", 0},
    {"setMessSpeed", Family::Message, "nn", "", 0},
    {"getMessSpeed", Family::Message, "", "n", 0},
    {"getMessLast", Family::Message, "", "nn", kList},
    {"setAutoWait", Family::Message, "nn", "", 0},
    {"getAutoWait", Family::Message, "", "n", 0},
    {"formatMess", Family::Message, "", "", 0},
    {"clearMess", Family::Message, "", "", 0},
    {"clearMess2", Family::Message, "", "", 0},
    {"resetMess", Family::Message, "", "", 0},
    {"preMessGosub", Family::Message, "s", "", 0},
    {"sufMessGosub", Family::Message, "s", "", 0},
    {"formatMessDraw", Family::Message, "", "", 0},
    {"setMessDraw", Family::Message, "", "n", 0},
    {"endMessDraw", Family::Message, "", "", 0},
    {"getPage", Family::Message, "", "n", 0},
    {"setWindowVisible", Family::Message, "n", "", 0},
    {"getWindowVisible", Family::Message, "", "n", 0},
    // Fonts
    {"addFontFile", Family::Font, "s", "", 0},
    {"setFontFile", Family::Font, "ss", "", 0},
    {"getFontFile", Family::Font, "", "s", 0},
    {"setFontStyle", Family::Font, "nn", "", 0},
    {"getFontStyle", Family::Font, "", "n", 0},
    {"setFontColor", Family::Font, "nn", "", 0},
    {"setFontColor2", Family::Font, "nn", "", 0},
    {"setFontColor3", Family::Font, "nn", "", 0},
    {"getFontListNum", Family::Font, "n", "n", 0},
    {"getFontListStr", Family::Font, "n", "s", 0},
    // Read marks, auto and skip, backlog
    {"getAlreadyReadFlag", Family::ReadMark, "", "nn", 0},
    {"getAlreadyRead", Family::ReadMark, "", "n", 0},
    {"setAuto", Family::ReadMark, "n", "", 0},
    {"setSkip", Family::ReadMark, "n", "", 0},
    {"setJump", Family::ReadMark, "", "", 0},
    {"stopMode", Family::ReadMark, "", "", 0},
    {"getMode", Family::ReadMark, "", "n", 0},
    {"getSkip", Family::ReadMark, "", "n", 0},
    {"setLog", Family::ReadMark, "snn", "", 0},
    {"getLog", Family::ReadMark, "n", "s", 0},
    {"getLogLine", Family::ReadMark, "n", "n", 0},
    {"setTagLog", Family::ReadMark, "s", "", 0},
    {"getTagLog", Family::ReadMark, "n", "s", 0},
    {"getImgLog", Family::ReadMark, "nn", "", 0},
    {"getLogCount", Family::ReadMark, "", "n", 0},
    {"saveAlready", Family::ReadMark, "", "", 0},
    // Game, window and presentation settings
    {"getGameName", Family::Presentation, "", "s", 0},
    {"setWindowText", Family::Presentation, "s", "", 0},
    {"getScreenRate", Family::Presentation, "", "n", 0},
    {"getScreenWidth", Family::Presentation, "", "n", 0},
    {"getScreenHeight", Family::Presentation, "", "n", 0},
    {"setWallPaper", Family::Presentation, "s", "", 0},
    {"getWallPaper", Family::Presentation, "", "s", 0},
    {"setCursor", Family::Presentation, "s", "", 0},
    {"getCursor", Family::Presentation, "", "s", 0},
    {"setConfirmDialog", Family::Presentation, "rn", "", 0},
    {"getConfirmDialog", Family::Presentation, "n", "n", 0},
    {"setFullScreen", Family::Presentation, "n", "", 0},
    {"getFullScreen", Family::Presentation, "", "n", 0},
    {"setScreenAspect", Family::Presentation, "n", "", 0},
    {"getScreenAspect", Family::Presentation, "", "n", 0},
    {"getScreenAspect2", Family::Presentation, "", "n", 0},
    {"setEffectSkip", Family::Presentation, "n", "", 0},
    {"getEffectSkip", Family::Presentation, "", "n", 0},
    {"setEffectCancel", Family::Presentation, "n", "", 0},
    {"getEffectCancel", Family::Presentation, "", "n", 0},
    {"setPointWait", Family::Presentation, "n", "", 0},
    {"getPointWait", Family::Presentation, "", "n", 0},
    {"setWindowAlpha", Family::Presentation, "n", "", 0},
    {"getWindowAlpha", Family::Presentation, "", "n", 0},
    {"setMessageClick", Family::Presentation, "n", "", 0},
    {"getMessageClick", Family::Presentation, "", "n", 0},
    {"setMessageFade", Family::Presentation, "n", "", 0},
    {"getMessageFade", Family::Presentation, "", "n", 0},
    {"setAlreadyReadSkip", Family::Presentation, "n", "", 0},
    {"getAlreadyReadSkip", Family::Presentation, "", "n", 0},
    {"setAlreadyReadAutoSkip", Family::Presentation, "n", "", 0},
    {"getAlreadyReadAutoSkip", Family::Presentation, "", "n", 0},
    {"setAlreadyReadMoment", Family::Presentation, "n", "", 0},
    {"getAlreadyReadMoment", Family::Presentation, "", "n", 0},
    {"setSelectAutoMode", Family::Presentation, "n", "", 0},
    {"getSelectAutoMode", Family::Presentation, "", "n", 0},
    {"setSelectSkipMode", Family::Presentation, "n", "", 0},
    {"getSelectSkipMode", Family::Presentation, "", "n", 0},
    // Volume settings
    {"setMasterVolume", Family::Volume, "n", "", 0},
    {"getMasterVolume", Family::Volume, "", "n", 0},
    {"setMasterMute", Family::Volume, "n", "", 0},
    {"getMasterMute", Family::Volume, "", "n", 0},
    {"setBgmVolume", Family::Volume, "n", "", 0},
    {"getBgmVolume", Family::Volume, "", "n", 0},
    {"setBgmMute", Family::Volume, "n", "", 0},
    {"getBgmMute", Family::Volume, "", "n", 0},
    {"setSeVolume", Family::Volume, "n", "", 0},
    {"getSeVolume", Family::Volume, "", "n", 0},
    {"setSeMute", Family::Volume, "n", "", 0},
    {"getSeMute", Family::Volume, "", "n", 0},
    {"setSysSeVolume", Family::Volume, "n", "", 0},
    {"getSysSeVolume", Family::Volume, "", "n", 0},
    {"setSysSeMute", Family::Volume, "n", "", 0},
    {"getSysSeMute", Family::Volume, "", "n", 0},
    {"setVoVolume", Family::Volume, "n", "", 0},
    {"getVoVolume", Family::Volume, "", "n", 0},
    {"setVoMute", Family::Volume, "n", "", 0},
    {"getVoMute", Family::Volume, "", "n", 0},
    {"setSysVoVolume", Family::Volume, "n", "", 0},
    {"getSysVoVolume", Family::Volume, "", "n", 0},
    {"setSysVoMute", Family::Volume, "n", "", 0},
    {"getSysVoMute", Family::Volume, "", "n", 0},
    {"setVoiceCancel", Family::Volume, "r", "", 0},
    {"getVoiceCancel", Family::Volume, "", "n", 0},
    {"setVoiceWait", Family::Volume, "r", "", 0},
    {"getVoiceWait", Family::Volume, "", "n", 0},
    {"setBgmVolDown", Family::Volume, "r", "", 0},
    {"getBgmVolDown", Family::Volume, "", "n", 0},
    {"setSeVolDown", Family::Volume, "r", "", 0},
    {"getSeVolDown", Family::Volume, "", "n", 0},
    // Settings file and global data
    {"saveSetting", Family::SettingsFile, "", "", 0},
    {"loadSetting", Family::SettingsFile, "ss", "", 0},
    {"makeSave", Family::SettingsFile, "", "", 0},
    {"clearSave", Family::SettingsFile, "", "", 0},
    // Save slots
    {"pushSave", Family::SaveSlot, "ns", "", 0},
    {"saveSave", Family::SaveSlot, "n", "", 0},
    {"loadSave", Family::SaveSlot, "nn", "", 0},
    {"popSave", Family::SaveSlot, "n", "", 0},
    {"setSaveText", Family::SaveSlot, "s", "", 0},
    {"getSaveText", Family::SaveSlot, "", "s", 0},
    {"loadSaveText", Family::SaveSlot, "nn", "s", 0},
    {"existSave", Family::SaveSlot, "nn", "n", 0},
    {"deleteSave", Family::SaveSlot, "nn", "n", 0},
    {"getSaveTime", Family::SaveSlot, "nn", "s", 0},
    {"getSaveNew", Family::SaveSlot, "nnn", "n", 0},
    {"setSaveProtect", Family::SaveSlot, "nn", "", 0},
    {"getSaveProtect", Family::SaveSlot, "n", "n", 0},
    // Screenshots
    {"setScreenShot", Family::Screenshot, "nn", "", 0},
    {"saveScreenShot", Family::Screenshot, "snnnn", "", 0},
    // System services, input and time
    {"getCurrentDirectory", Family::System, "", "s", 0},
    {"screen", Family::System, "nnnn", "", 0},
    {"shellExecute", Family::System, "ss", "n", 0},
    {"setClipboard", Family::System, "s", "", 0},
    {"findText", Family::System, "", "", 0},
    {"setCursorPos", Family::System, "nnn", "", 0},
    {"getCursorPos", Family::System, "", "nn", kList},
    {"getPushKey", Family::System, "n", "n", 0},
    {"getLocalTime", Family::System, "", "nnnnnn", kList},
    {"getWeek", Family::System, "nnn", "n", 0},
    {"getStartTime", Family::System, "", "n", 0},
    {"getTimer", Family::System, "", "n", 0},
    {"timeGetTime", Family::System, "", "n", 0},
    {"sleep", Family::System, "n", "", 0},
    // Script hosts
    {"funcLua", Family::ScriptHost, "sn", "", 0},
    {"funcSqu", Family::ScriptHost, "sn", "", 0},
    {"loadLua", Family::ScriptHost, "s", "", 0},
    {"loadSqu", Family::ScriptHost, "s", "", 0},
    // Look-ahead loading
    {"lookahead_set", Family::Lookahead, "ss", "", 0},
    {"lookahead_stop", Family::Lookahead, "s", "", 0},
    {"lookahead", Family::Lookahead, "", "", 0},
    {"lookahead2", Family::Lookahead, "", "", 0},
    // Frame drawing and effects
    {"draw", Family::Drawing, "", "", 0},
    {"draw2", Family::Drawing, "", "", 0},
    {"draw3", Family::Drawing, "", "", 0},
    {"effect", Family::Drawing, "nnnsnn", "", 0},
    {"existStretch", Family::Drawing, "s", "n", 0},
    // Buttons and event waits
    {"setBtn", Family::Button, "nnn", "", 0},
    {"getBtn", Family::Button, "n", "n", 0},
    {"setBtnTool", Family::Button, "ns", "", 0},
    {"eraseBtn", Family::Button, "n", "", 0},
    {"clearBtn", Family::Button, "", "", 0},
    {"getBtnNow", Family::Button, "", "n", 0},
    {"setBtnNow", Family::Button, "n", "", 0},
    {"eventWait", Family::Button, "", "nnn", kList},
    {"eventWaitPT", Family::Button, "", "nnn", kList},
    {"eventWaitDD", Family::Button, "", "nnns", kList},
    {"setPosition", Family::Button, "n", "", 0},
    // Sprites
    {"sp", Family::Sprite, "nsnn", "", 0},
    {"sp_cut", Family::Sprite, "nsnnnnnn", "", 0},
    {"sp_st", Family::Sprite, "nsnnnnn", "", 0},
    {"sp_mask", Family::Sprite, "nsnnn", "", 0},
    {"spg", Family::Sprite, "nnnn", "", 0},
    {"sp_g", Family::Sprite, "nn", "", 0},
    {"sp_d", Family::Sprite, "n", "", 0},
    {"sp_dx", Family::Sprite, "nnn", "", 0},
    {"ssp_set", Family::Sprite, "snnnnn", "", 0},
    {"ssp", Family::Sprite, "nsn", "", 0},
    {"ssp_reset", Family::Sprite, "n", "", 0},
    {"ssp_draw", Family::Sprite, "nsnn", "", 0},
    {"logsp", Family::Sprite, "nsnn", "", 0},
    {"logsp_reset", Family::Sprite, "n", "", 0},
    {"sp_b", Family::Sprite, "nn", "", 0},
    {"sp_o", Family::Sprite, "nn", "", 0},
    {"sp_cxy", Family::Sprite, "nnn", "", 0},
    {"sp_x", Family::Sprite, "nr", "", 0},
    {"sp_y", Family::Sprite, "nr", "", 0},
    {"sp_xy", Family::Sprite, "nrr", "", 0},
    {"sp_a", Family::Sprite, "nn", "", 0},
    {"sp_wh", Family::Sprite, "nrr", "", 0},
    {"sp_rxyz", Family::Sprite, "nrrr", "", 0},
    {"sp_l", Family::Sprite, "nn", "", 0},
    {"sp_c", Family::Sprite, "nnn", "", 0},
    {"sp_ref", Family::Sprite, "n", "", 0},
    {"sp_exist", Family::Sprite, "n", "n", 0},
    {"sp_gsz", Family::Sprite, "n", "nn", kList},
    {"sp_gxy", Family::Sprite, "nnn", "nn", kList},
    {"sp_ga", Family::Sprite, "n", "n", 0},
    {"sp_gwh", Family::Sprite, "n", "nn", kList},
    {"sp_go", Family::Sprite, "n", "n", 0},
    {"sp_gn", Family::Sprite, "n", "s", 0},
    {"sp_reload", Family::Sprite, "n", "", 0},
    // Sprite image operations
    {"sp_neg", Family::SpriteImage, "nr", "", 0},
    {"sp_gray", Family::SpriteImage, "nr", "", 0},
    {"sp_rot", Family::SpriteImage, "nn", "", 0},
    {"sp_bc", Family::SpriteImage, "nnn", "", 0},
    {"sp_color", Family::SpriteImage, "nnnn", "", 0},
    {"sp_hsl", Family::SpriteImage, "nnnn", "", 0},
    {"sp_blur", Family::SpriteImage, "nnn", "", 0},
    {"sp_mosaic", Family::SpriteImage, "nnn", "", 0},
    // Movies
    {"theora_create", Family::Movie, "", "", 0},
    {"sp_ani", Family::Movie, "nsnnnn", "", 0},
    // Sprite motion
    {"sp_ax", Family::Motion, "nnnnn", "", 0},
    {"sp_ay", Family::Motion, "nnnnn", "", 0},
    {"sp_axy", Family::Motion, "nnnnnn", "", 0},
    {"sp_aa", Family::Motion, "nnnnn", "", 0},
    {"sp_axya", Family::Motion, "nnnnnnn", "", 0},
    {"sp_aw", Family::Motion, "nnnnn", "", 0},
    {"sp_ah", Family::Motion, "nnnnn", "", 0},
    {"sp_awh", Family::Motion, "nnnnnn", "", 0},
    {"sp_arx", Family::Motion, "nnnnn", "", 0},
    {"sp_ary", Family::Motion, "nnnnn", "", 0},
    {"sp_arz", Family::Motion, "nnnnn", "", 0},
    {"sp_arxyz", Family::Motion, "nnnnnnn", "", 0},
    {"sp_al", Family::Motion, "nnnnn", "", 0},
    {"sp_ac", Family::Motion, "nnnnn", "", 0},
    {"sp_am", Family::Motion, "nnnnnn", "", 0},
    {"sp_ae", Family::Motion, "n", "", 0},
    {"sp_alv", Family::Motion, "nn", "n", 0},
    {"sp_qx", Family::Motion, "nnnnnnn", "", 0},
    {"sp_qy", Family::Motion, "nnnnnnn", "", 0},
    {"sc_qx", Family::Motion, "nnnnnnn", "", 0},
    {"sc_qy", Family::Motion, "nnnnnnn", "", 0},
    {"sc_mb", Family::Motion, "nn", "", 0},
    // Sound
    {"sd_create", Family::Sound, "", "", 0},
    {"sd", Family::Sound, "nsnnnnnn", "", 0},
    {"sd_load", Family::Sound, "ns", "", 0},
    {"sd_play", Family::Sound, "nnnnnn", "", 0},
    {"sd_pause", Family::Sound, "nn", "", 0},
    {"sd_stop", Family::Sound, "nnn", "", 0},
    {"sd_volume", Family::Sound, "nnn", "", 0},
    {"sd_volume2", Family::Sound, "nnn", "", 0},
    {"sd_panpot", Family::Sound, "nnn", "", 0},
    {"sd_status", Family::Sound, "n", "n", 0},
    {"sd_getFile", Family::Sound, "n", "s", 0},
    {"sd_seekTime", Family::Sound, "nn", "", 0},
    {"sd_nowTime", Family::Sound, "n", "n", 0},
    {"sd_totalTime", Family::Sound, "n", "n", 0},
    {"sd_loopTime", Family::Sound, "nnnn", "", 0},
    {"sd_seekSample", Family::Sound, "nn", "", 0},
    {"sd_nowSample", Family::Sound, "n", "n", 0},
    {"sd_totalSample", Family::Sound, "n", "n", 0},
    {"sd_loopSample", Family::Sound, "nnnn", "", 0},
};
static_assert(std::size(kCatalogue) == kCatalogueSize, "the catalogue has 264 commands");

struct CatalogueState {
  std::array<CommandCore, kCatalogueSize> cores{};
  std::array<bool, kCatalogueSize> reportedMissing{};
};
CatalogueState C;

// A family that has not landed must not let its commands silently do
// nothing; the box comes once per command so a per-frame call cannot flood.
void reportNotBuilt(size_t index) {
  setErrcmd(kCatalogue[index].name);
  if (C.reportedMissing[index]) return;
  C.reportedMissing[index] = true;
  errorc(sj("この命令はこのビルドでは使用できません"), 1);
}

template <size_t I>
void ownWrapper(const char* args) {
  if (!C.cores[I]) {
    reportNotBuilt(I);
    return;
  }
  script::ArgumentList list = script::parseArguments(args);
  C.cores[I](&list);
}

template <size_t... I>
constexpr std::array<script::CommandHandler, kCatalogueSize> makeOwnWrappers(std::index_sequence<I...>) {
  return {ownWrapper<I>...};
}
constexpr auto kOwnWrappers = makeOwnWrappers(std::make_index_sequence<kCatalogueSize>{});

}  // namespace

std::span<const CatalogueEntry> catalogue() { return kCatalogue; }

int catalogueIndex(std::string_view name) {
  for (size_t i = 0; i < kCatalogueSize; ++i)
    if (name == kCatalogue[i].name) return static_cast<int>(i);
  return -1;
}

int luaResultCount(const CatalogueEntry& entry) { return static_cast<int>(std::strlen(entry.results)); }
bool offeredToForeignLanguages(const CatalogueEntry& entry) { return !(entry.flags & kOwnOnly); }

void bindCores(std::span<const CoreBinding> cores) {
  for (const CoreBinding& b : cores) {
    int i = catalogueIndex(b.name);
    if (i < 0) {
      showErrorBox(std::string("bindCores: ") + b.name);
      continue;
    }
    C.cores[static_cast<size_t>(i)] = b.core;
  }
}

CommandCore boundCore(size_t index) { return index < kCatalogueSize ? C.cores[index] : nullptr; }

int callCatalogueCommand(size_t index, CommandContext context) {
  if (index >= kCatalogueSize) return 0;
  // Lua and Squirrel code calls commands here; an allocation that fails in
  // one must not unwind through their interpreters.
  try {
    if (C.cores[index]) C.cores[index](context);
    else reportNotBuilt(index);
  } catch (const std::bad_alloc&) {
    script::stopAtLimit(sj("メモリを確保出来ませんでした"));
    return 0;
  }
  return luaResultCount(kCatalogue[index]);
}

void registerCatalogue() {
  bindCores(presentationCores());
  bindCores(systemCores());
  installOwnBridge();
  C.reportedMissing.fill(false);
  for (size_t i = 0; i < kCatalogueSize; ++i) script::registerCommand(kCatalogue[i].name, kOwnWrappers[i]);
}

std::vector<std::string> commandsNotBuilt() {
  std::vector<std::string> names;
  for (size_t i = 0; i < kCatalogueSize; ++i)
    if (!C.cores[i]) names.emplace_back(kCatalogue[i].name);
  return names;
}

}  // namespace velmora::bindings
