// Game, window and presentation settings: setters store, getters return.
// Effects on the window, cursor and wall paper come through the effect hooks
// of the settings.
#include <array>
#include <utility>

#include "bindings/families.h"
#include "base/hash.h"
#include "base/report.h"
#include "base/settings.h"

namespace velmora::bindings {
namespace {


enum class StoreRule : uint8_t { Integer, Bool, LowByte, Text };

struct StoredSetting {
  const char* setter;
  const char* getter;
  SettingKey key;
  StoreRule rule;
};

constexpr StoredSetting kStoredSettings[] = {
    {"setWallPaper", "getWallPaper", SettingKey::WallPaper, StoreRule::Text},
    {"setCursor", "getCursor", SettingKey::CursorFile, StoreRule::Text},
    {"setFullScreen", "getFullScreen", SettingKey::FullScreen, StoreRule::Bool},
    {"setScreenAspect", "getScreenAspect", SettingKey::ScreenAspect, StoreRule::Bool},
    {"setEffectSkip", "getEffectSkip", SettingKey::EffectSkip, StoreRule::Integer},
    {"setEffectCancel", "getEffectCancel", SettingKey::EffectCancel, StoreRule::Bool},
    {"setPointWait", "getPointWait", SettingKey::PointWait, StoreRule::LowByte},
    {"setWindowAlpha", "getWindowAlpha", SettingKey::WindowAlpha, StoreRule::Integer},
    {"setMessageClick", "getMessageClick", SettingKey::MessageClick, StoreRule::Bool},
    {"setMessageFade", "getMessageFade", SettingKey::MessageFade, StoreRule::Bool},
    {"setAlreadyReadSkip", "getAlreadyReadSkip", SettingKey::AlreadyReadSkip, StoreRule::Bool},
    {"setAlreadyReadAutoSkip", "getAlreadyReadAutoSkip", SettingKey::AlreadyReadAutoSkip, StoreRule::Bool},
    {"setAlreadyReadMoment", "getAlreadyReadMoment", SettingKey::AlreadyReadMoment, StoreRule::Bool},
    {"setSelectAutoMode", "getSelectAutoMode", SettingKey::SelectAutoMode, StoreRule::Bool},
    {"setSelectSkipMode", "getSelectSkipMode", SettingKey::SelectSkipMode, StoreRule::Bool},
};
constexpr size_t kStoredCount = std::size(kStoredSettings);

constexpr size_t kMaxSettingText = 255;

// The families above are a table of keys: generic setting() by key.
void storeSetting(CommandContext c, const StoredSetting& s) {
  switch (s.rule) {
    case StoreRule::Integer: setting(s.key) = intArg(c, 1); break;
    case StoreRule::Bool: setting(s.key) = intArg(c, 1) != 0 ? 1 : 0; break;
    case StoreRule::LowByte: setting(s.key) = intArg(c, 1) & 255; break;
    case StoreRule::Text: settingText(s.key).assign(stringArg(c, 1).substr(0, kMaxSettingText)); break;
  }
  settingChanged(s.key, SettingSource::Command);
}

void returnSetting(CommandContext c, const StoredSetting& s) {
  if (s.rule == StoreRule::Text) stringResult(c, 1, settingText(s.key));
  else intResult(c, 1, setting(s.key));
}

template <size_t I>
void setterCore(CommandContext c) {
  storeSetting(c, kStoredSettings[I]);
}
template <size_t I>
void getterCore(CommandContext c) {
  returnSetting(c, kStoredSettings[I]);
}

void cmd_getGameName(CommandContext c) {
  stringResult(c, 1, kGameTitle);
}

// The flag is a real: any nonzero value sets it.
void cmd_setConfirmDialog(CommandContext c) {
  double flag = doubleArg(c, 1);
  confirmFlag(intArg(c, 2)) = flag != 0 ? 1 : 0;
}

void cmd_getConfirmDialog(CommandContext c) {
  int32_t index = intArg(c, 1);
  intResult(c, 2, confirmFlag(index));
}

template <size_t... I>
constexpr auto makeBindings(std::index_sequence<I...>) {
  return std::array<CoreBinding, 2 * kStoredCount + 3>{
      CoreBinding{"getGameName", cmd_getGameName},
      CoreBinding{"setConfirmDialog", cmd_setConfirmDialog},
      CoreBinding{"getConfirmDialog", cmd_getConfirmDialog},
      CoreBinding{kStoredSettings[I].setter, setterCore<I>}...,
      CoreBinding{kStoredSettings[I].getter, getterCore<I>}...};
}
constexpr auto kPresentationCores = makeBindings(std::make_index_sequence<kStoredCount>{});

}  // namespace

std::span<const CoreBinding> presentationCores() { return kPresentationCores; }

}  // namespace velmora::bindings
