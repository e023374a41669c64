#pragma once
// The movie player's messages; the texts are in messages.cpp.
#include <string>

namespace velmora::movie {

enum class Message {
  NotOpenedJoined,
  NotOpened,
  ThreadNotCreated,
  FileNotRead,
  BadFormat,
  ThreadDidNotEnd,
  NoPictureForList,
  Count
};

const std::string& messageText(Message message);

}  // namespace velmora::movie
