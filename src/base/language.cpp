#include "base/language.h"

#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

#include "base/settings.h"
#include "base/textconv.h"

namespace velmora {
namespace {

constexpr const char* kOverrideVariable = "VELMORA_UI_LANGUAGE";
// Messages fetched but never reported are forgotten past this many.
constexpr size_t kRememberedLines = 16;

struct LanguageState {
  UiLanguage game = UiLanguage::Japanese;
};
LanguageState languageState;

// Per thread: a worker's message belongs to the report that worker makes.
struct PendingEnglish {
  const std::string* japanese;
  const char* english;
};
thread_local std::vector<PendingEnglish> pendingEnglish;

std::optional<UiLanguage> fromCode(const char* v) {
  if (!std::strcmp(v, "en") || !std::strcmp(v, "english")) return UiLanguage::English;
  if (!std::strcmp(v, "ja") || !std::strcmp(v, "japanese")) return UiLanguage::Japanese;
  return std::nullopt;
}

std::optional<UiLanguage> playerOverride() {
  const char* v = std::getenv(kOverrideVariable);
  return v ? fromCode(v) : std::nullopt;
}

}  // namespace

UiLanguage uiLanguage() {
  static const std::optional<UiLanguage> override = playerOverride();
  if (override) return *override;
  if (std::optional<UiLanguage> chosen = fromCode(settingText(SettingKey::Language).c_str())) return *chosen;
  return languageState.game;
}

void setGameUiLanguage(UiLanguage language) { languageState.game = language; }

void choosePlayerUiLanguage(UiLanguage language) {
  settingText(SettingKey::Language) = kUiLanguageCodes[static_cast<size_t>(language)];
}

const std::string& uiLiteral(const char* japaneseUtf8, const char* english) {
  return sj(englishUi() ? english : japaneseUtf8);
}

const std::string& errorLiteral(const char* japaneseUtf8, const char* english) {
  const std::string& japanese = sj(japaneseUtf8);
  // Remembered whatever the language: a worker thread need not read the
  // settings, and the report decides.
  if (*english) {
    if (pendingEnglish.size() >= kRememberedLines) pendingEnglish.erase(pendingEnglish.begin());
    pendingEnglish.push_back({&japanese, english});
  }
  return japanese;
}

std::string withEnglishLines(std::string_view report) {
  std::string text(report);
  if (englishUi()) {
    std::vector<const char*> added;
    for (const PendingEnglish& p : pendingEnglish) {
      if (p.japanese->empty() || report.find(*p.japanese) == std::string_view::npos) continue;
      bool seen = false;
      for (const char* a : added) seen = seen || a == p.english;
      if (!seen) text += "\n", text += p.english, added.push_back(p.english);
    }
  }
  pendingEnglish.clear();
  return text;
}

}  // namespace velmora
