#pragma once
// The language of the engine's own windows, questions and menus. The game
// picks it when packed; the player may override it (VELMORA_UI_LANGUAGE=en|ja).
namespace velmora {

enum class UiLanguage { Japanese, English };

UiLanguage uiLanguage();
// The game's choice; the player's override, read once, wins over it.
void setGameUiLanguage(UiLanguage language);
inline bool englishUi() { return uiLanguage() == UiLanguage::English; }

}  // namespace velmora
