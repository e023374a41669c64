#pragma once
// The sound layer's messages, as players and scripts see them: each
// text is written here once, in UTF-8, and converted to the engine's code page
// on first use. Texts that follow a name start with their own space.
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
