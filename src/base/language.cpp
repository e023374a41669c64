#include "base/language.h"

#include <cstdlib>
#include <cstring>
#include <optional>

namespace velmora {
namespace {

constexpr const char* kOverrideVariable = "VELMORA_UI_LANGUAGE";

struct LanguageState {
  UiLanguage game = UiLanguage::Japanese;
};
LanguageState languageState;

std::optional<UiLanguage> playerOverride() {
  const char* v = std::getenv(kOverrideVariable);
  if (!v) return std::nullopt;
  if (!std::strcmp(v, "en") || !std::strcmp(v, "english")) return UiLanguage::English;
  if (!std::strcmp(v, "ja") || !std::strcmp(v, "japanese")) return UiLanguage::Japanese;
  return std::nullopt;
}

}  // namespace

UiLanguage uiLanguage() {
  static const std::optional<UiLanguage> override = playerOverride();
  return override ? *override : languageState.game;
}

void setGameUiLanguage(UiLanguage language) { languageState.game = language; }

}  // namespace velmora
