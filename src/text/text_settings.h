#pragma once
// The settings the message window owns, typed: the player's text speed,
// waits and font, which the game's own changes (currentText()) start from
// and fall back to.
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>

#include "base/settings.h"

namespace velmora::text {

inline int32_t playerTextSpeed() { return setting(SettingKey::TextSpeed); }
inline int32_t playerAutoWait() { return setting(SettingKey::AutoWait); }
// AutoChar: auto mode's extra milliseconds per character.
inline int32_t autoWaitPerChar() { return setting(SettingKey::AutoChar); }
// PointWait: pauses after each Japanese comma and full stop; 0: none.
inline int32_t pausesAtPunctuation() { return setting(SettingKey::PointWait); }
inline bool messageFades() { return setting(SettingKey::MessageFade) != 0; }
inline const std::string& playerFontFile() { return settingText(SettingKey::FontFile); }
inline int32_t playerFontStyle() { return setting(SettingKey::FontStyle); }
// FontColor1-3: text, outline, shadow.
inline SettingKey fontColourKey(size_t index) {
  constexpr SettingKey kColours[] = {SettingKey::FontColor1, SettingKey::FontColor2, SettingKey::FontColor3};
  return kColours[index % std::size(kColours)];
}
inline int32_t playerFontColour(size_t index) { return setting(fontColourKey(index)); }
// VoiceCancel: turning the page stops the voices.
inline bool pageEndsVoices() { return setting(SettingKey::VoiceCancel) != 0; }

}  // namespace velmora::text
