#pragma once
// Settings read on both sides of a layer boundary, typed here once: the
// window's activity (the window writes it, motion and input pause on it) and
// self-voicing (text speaks, the window menu switches it).
#include <cstdint>

#include "base/settings.h"

namespace velmora {

// SystemActive: bit 0 is the player's choice, kept in the file; bit 1 the
// window's focus now.
enum SystemActiveBits : int32_t { kPauseWhenInactive = 1, kWindowActive = 2 };
inline bool pausesWhenInactive() { return (setting(SettingKey::SystemActive) & kPauseWhenInactive) != 0; }
inline int32_t systemActiveWord() { return setting(SettingKey::SystemActive); }
inline bool windowActive() { return (setting(SettingKey::SystemActive) & kWindowActive) != 0; }
inline void setWindowActive(bool active) {
  int32_t& word = setting(SettingKey::SystemActive);
  word = active ? word | kWindowActive : word & ~kWindowActive;
}
// The player asked to pause while inactive, and the window is.
inline bool pausedWhileInactive() { return setting(SettingKey::SystemActive) == kPauseWhenInactive; }

// Withheld: the game voices itself, so the engine's keys are its own.
enum SelfVoicingMode : int32_t { kVoicingOff = 0, kVoicingOn = 1, kVoicingWithheld = 2 };
inline int32_t selfVoicing() { return setting(SettingKey::SelfVoicing); }
inline void setSelfVoicing(SelfVoicingMode mode) { setting(SettingKey::SelfVoicing) = mode; }
// Off and on swap; withheld (or anything above on) stays. False when it stayed.
inline bool toggleSelfVoicing() {
  int32_t& mode = setting(SettingKey::SelfVoicing);
  if (mode > kVoicingOn) return false;
  mode ^= 1;
  return true;
}

}  // namespace velmora
