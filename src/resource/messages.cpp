#include "resource/messages.h"

#include <iterator>

#include "core/textconv.h"

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

}  // namespace

const std::string& messageText(Message message) { return sj(kMessages[static_cast<size_t>(message)]); }

}  // namespace velmora::resource
