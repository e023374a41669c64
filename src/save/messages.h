#pragma once
// The save layer's messages; the texts are in messages.cpp.
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
// A question the engine asks (the first-run and inheritance ones), in the UI's language.
const std::string& questionText(Message message);

}  // namespace velmora::save
