#include "resource/messages.h"

#include <iterator>

#include "base/language.h"
#include "base/textconv.h"

namespace velmora::resource {
namespace {

// UTF-8 here, converted to the engine's code page on first use; a text that
// follows a name starts with its own space.
constexpr const char* kMessages[] = {
    " は不正なファイルです",  // BadFile
    " の読み込みに失敗しました",  // ReadFailed
    " のメモリを確保出来ませんでした",  // NoMemoryFor
    " の保存に失敗しました",  // SaveFailed
    " loadFile\nメモリを確保出来ませんでした",  // LoadFileNoMemory
};
static_assert(std::size(kMessages) == static_cast<size_t>(Message::Count), "one text per message");

// An English UI adds these lines to the reports; empty for a fragment.
constexpr const char* kEnglish[] = {
    "The file is not valid.",  // BadFile
    "Could not read the file.",  // ReadFailed
    "Could not allocate memory for the file.",  // NoMemoryFor
    "Saving failed.",  // SaveFailed
    "loadFile: could not allocate memory.",  // LoadFileNoMemory
};
static_assert(std::size(kEnglish) == std::size(kMessages), "one English line per message");
static_assert(plainAscii(kEnglish), "English texts are plain ASCII");

}  // namespace

const std::string& messageText(Message message) {
  const size_t i = static_cast<size_t>(message);
  return errorLiteral(kMessages[i], kEnglish[i]);
}

}  // namespace velmora::resource
