#pragma once
// The script language's messages, as players and scripts see them: each
// text is written here once, in UTF-8, and converted to the engine's code page
// on first use. Texts that follow a name start with their own space.
#include <string>

namespace velmora::script {

enum class Message {
  WrongArgumentCount,
  UnknownCommand,
  OutOfMemory,
  LabelMissing,
  GosubTooDeepBefore,
  GosubTooDeepAfter,
  ReturnWithoutGosub,
  BadCondition,
  SecondArgumentNotOneCharacter,
  AssignedTypeMismatch,
  NotAnAssignment,
  BadAssignmentOperator,
  ReadMarkMismatch,
  StringTooLongBefore,
  StringTooLongAfter,
  BadPath,
  FolderNotCreated,
  LineOutOfRange,
  ListIndexOutOfRange,
  BadFile,
  ScriptMemoryFailed,
  ScriptReadFailed,
  BadLabelName,
  DuplicateLabel,
  BadScriptHash,
  FramesLeftOutBefore,
  FramesLeftOutAfter,
  StartScriptMissing,
  Count
};

const std::string& messageText(Message message);

}  // namespace velmora::script
