#pragma once
// speech-dispatcher as a speech back end (see speech.h).
#include <memory>

#include "platform/speech.h"

namespace velmora::platform {

// Null where its library is missing, no server answers in time, or the
// engine runs without worker threads.
std::unique_ptr<SpeechBackend> openSpeechDispatcher();

}  // namespace velmora::platform
