#pragma once
// The script language's messages; the texts are in messages.cpp.
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
