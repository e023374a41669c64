#pragma once
// The command bindings' and script hosts' messages, as players and scripts see them: each
// text is written here once, in UTF-8, and converted to the engine's code page
// on first use. Texts that follow a name start with their own space.
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
