#pragma once
#include <cstdint>

namespace velmora::platform {

// In virtual mode nowMs() moves only by sleepMs() and advanceVirtualClock().
void setVirtualClock(bool on);
bool virtualClock();
void advanceVirtualClock(uint32_t ms);

}  // namespace velmora::platform
