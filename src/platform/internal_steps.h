#pragma once
// The platform's own workers in step form, for stepWorkers: each returns
// how long it can go without the next step (kNoStepDue when it is not running).
#include <cstdint>

namespace velmora::platform {

uint32_t stepCursorGlide();
uint32_t stepNullAudioOutput();

}  // namespace velmora::platform
