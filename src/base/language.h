#pragma once
// The language of the engine's own windows, questions and menus. The game
// picks it when packed; the player may override it, for one run with
// VELMORA_UI_LANGUAGE=en|ja or for good with the window menu's choice, which
// the settings file keeps (the variable wins over the menu, the menu over the
// game).
#include <cstddef>
#include <string>
#include <string_view>

namespace velmora {

enum class UiLanguage { Japanese, English };

UiLanguage uiLanguage();
// The game's choice; the player's override, read once, wins over it.
void setGameUiLanguage(UiLanguage language);
inline bool englishUi() { return uiLanguage() == UiLanguage::English; }

// The player's lasting choice as the settings file keeps it: "en", "ja", or
// empty for the game's.
constexpr const char* kUiLanguageCodes[] = {"ja", "en"};
void choosePlayerUiLanguage(UiLanguage language);

// Engine text (code page 932) in the UI's language: the Japanese literal is
// UTF-8 and converted once, the English one is ASCII and passes unchanged.
const std::string& uiLiteral(const char* japaneseUtf8, const char* english);

// An error message keeps its Japanese text; its English line is remembered
// for the report that is about to show it. An empty English text is a
// fragment whose sentence a neighbouring message carries.
const std::string& errorLiteral(const char* japaneseUtf8, const char* english);
// A report as shown: with an English UI, the English lines of the messages
// it contains follow it. The remembered lines are then let go.
std::string withEnglishLines(std::string_view report);

// English texts stay ASCII so that no conversion can lose them; a backslash
// or tilde would read as a yen sign or an overline in a Japanese face.
template <size_t N>
constexpr bool plainAscii(const char* const (&texts)[N]) {
  for (const char* t : texts)
    for (; *t; ++t)
      if (static_cast<unsigned char>(*t) >= 0x80 || *t == '\\' || *t == '~' || (*t < 0x20 && *t != '\n')) return false;
  return true;
}

}  // namespace velmora
