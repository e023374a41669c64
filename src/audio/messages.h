#pragma once
// The sound layer's messages; the texts are in messages.cpp.
#include <string>

namespace velmora::audio {

enum class Message {
  ThreadNotCreated,
  ThreadDidNotEnd,
  NoMemory,
  CallbackNotCreated,
  NoInformation,
  UnsupportedFormat,
  BadPlayInfoCount,
  NoSoundDevice,
  Count
};

const std::string& messageText(Message message);

}  // namespace velmora::audio
