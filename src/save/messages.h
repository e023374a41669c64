#pragma once
// The save layer's messages, as players and scripts see them: each
// text is written here once, in UTF-8, and converted to the engine's code page
// on first use. Texts that follow a name start with their own space.
#include <string>

namespace velmora::save {

enum class Message {
  ScreenshotNoMemory,
  AskSaveLocation,
  CreateInDocuments,
  CreateInGameFolder,
  WhyFirstAnswer,
  WhyMarkerIsOne,
  WhyMarkerIsEmpty,
  WhyMarkerIsOther,
  SaveLocationLine,
  GameFolderBefore,
  DocumentsFolderIs,
  InheritQuestionBefore,
  InheritQuestionAfter,
  SkipInheritance,
  WhySaveDirOption,
  ReadFailed,
  NoMemoryFor,
  MovedAsideBefore,
  MovedAsideAfter,
  NotMovedAside,
  NoComment,
  DataNotDecoded,
  CreateImageNoMemory,
  ImageNotAllocated,
  BadFile,
  FolderNotCreated,
  LabelMissing,
  SaveFailed,
  Count
};

const std::string& messageText(Message message);

}  // namespace velmora::save
