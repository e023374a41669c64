#pragma once
// The settings the reading modes own, typed: what skip and auto mode do at
// unread text, at choices and at voices, and which effects skipping cuts.
#include <cstdint>

#include "base/settings.h"

namespace velmora::script {

// AlreadyReadSkip: skip runs on through text not read before.
inline bool skipsUnreadText() { return setting(SettingKey::AlreadyReadSkip) != 0; }
// AlreadyReadMoment: text read before is shown at once.
inline bool readTextAtOnce() { return setting(SettingKey::AlreadyReadMoment) != 0; }
// SelectSkipMode, SelectAutoMode: a choice ends skip, auto mode.
inline bool choiceEndsSkip() { return setting(SettingKey::SelectSkipMode) != 0; }
inline bool choiceEndsAuto() { return setting(SettingKey::SelectAutoMode) != 0; }
// VoiceWait: auto mode waits for the voice to end.
inline bool autoWaitsForVoice() { return setting(SettingKey::VoiceWait) != 0; }

// AlreadyReadAutoSkip: bit 0 the player's choice (skip starts by itself at
// read text), bit 1 marks a skip it started.
enum AutoSkipBits : int32_t { kAutoSkipOn = 1, kAutoSkipStarted = 2 };
inline int32_t autoSkipWord() { return setting(SettingKey::AlreadyReadAutoSkip); }
inline void setAutoSkipWord(int32_t word) { setting(SettingKey::AlreadyReadAutoSkip) = word; }

// EffectSkip: bit 0 cuts effects while skipping, bit 1 those of the window layers.
enum EffectSkipBits : int32_t { kSkipEffects = 1, kSkipWindowLayerEffects = 2 };
inline bool effectsSkipped() { return (setting(SettingKey::EffectSkip) & kSkipEffects) != 0; }
inline bool windowLayerEffectsSkipped() { return (setting(SettingKey::EffectSkip) & kSkipWindowLayerEffects) != 0; }

}  // namespace velmora::script
