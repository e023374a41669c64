#pragma once
// The settings the picture cache and look-ahead own, typed.
#include <cstdint>

#include "base/settings.h"

namespace velmora::sprite {

inline bool lookaheadOn() { return setting(SettingKey::LookaHead) != 0; }
inline int lookaheadValue() { return setting(SettingKey::LookaHead); }
// CacheAutoSize: the cache budget follows the machine's free memory.
inline bool cacheSizedForMemory() { return setting(SettingKey::CacheAutoSize) != 0; }
// In bytes (megabytes in the file).
inline int32_t cacheMaxBytes() { return setting(SettingKey::CacheMaxSize); }
inline void setCacheMaxBytes(int32_t bytes) { setting(SettingKey::CacheMaxSize) = bytes; }

}  // namespace velmora::sprite
