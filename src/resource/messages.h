#pragma once
// The resource layer's messages; the texts are in messages.cpp.
#include <string>

namespace velmora::resource {

enum class Message {
  BadFile,
  ReadFailed,
  NoMemoryFor,
  SaveFailed,
  LoadFileNoMemory,
  Count
};

const std::string& messageText(Message message);

}  // namespace velmora::resource
