#pragma once
// The settings the sound channels own, typed. The per-category volumes and
// switches are set through the command table in commands.cpp, by key.
#include <cstdint>

#include "base/settings.h"

namespace velmora::audio {

// MasterVolume in percent; MasterMute is a switch: 1 plays, 0 silences.
inline int32_t masterVolume() { return setting(SettingKey::MasterVolume); }
inline int32_t masterSwitch() { return setting(SettingKey::MasterMute); }
// Kilobytes per half of a stream's buffer.
inline int32_t streamBufferKilobytes() { return setting(SettingKey::StreamBufferSize); }

// While a voice plays, music (Bgm*) and effects (Se*) go down: the switch,
// the level ducking starts from and the floor, in percent; FadeVolDown the
// fade in milliseconds.
struct DuckLevels {
  int32_t musicOn, musicMax, musicMin, effectsOn, effectsMax, effectsMin, fadeMs;
};
inline DuckLevels duckLevels() {
  using K = SettingKey;
  return {setting(K::BgmVolDown), setting(K::BgmMax), setting(K::BgmMin), setting(K::SeVolDown),
          setting(K::SeMax),      setting(K::SeMin),  setting(K::FadeVolDown)};
}

}  // namespace velmora::audio
