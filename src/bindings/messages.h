#pragma once
// The command bindings' and script hosts' messages; the texts are in messages.cpp.
#include <string>

namespace velmora::bindings {

enum class Message {
  WrongArgumentCount,
  NotInThisBuild,
  OutOfMemory,
  BadNumericVariable,
  BadStringVariable,
  BadArgumentType,
  ResultNotString,
  CallsTooDeepBefore,
  CallsTooDeepAfter,
  SquirrelMissingBefore,
  SquirrelMissingAfter,
  NotLoaded,
  NotRun,
  SecondArgumentNotOneCharacter,
  BadPath,
  FolderNotCreated,
  LibraryNotLoaded,
  FirstArgumentNotString,
  SecondArgumentNotString,
  ThirdArgumentNotNumericVariable,
  Count
};

const std::string& messageText(Message message);

}  // namespace velmora::bindings
