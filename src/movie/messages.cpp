#include "movie/messages.h"

#include <iterator>

#include "core/textconv.h"

namespace velmora::movie {
namespace {

// UTF-8 here, converted to the engine's code page on first use; a text that
// follows a name starts with its own space.
constexpr const char* kMessages[] = {
    "が開けませんでした",  // NotOpenedJoined
    " が開けませんでした",  // NotOpened
    " スレッドを作成出来ませんでした",  // ThreadNotCreated
    " ファイルが読み込めませんでした",  // FileNotRead
    " 動画形式が不正です ",  // BadFormat
    "動画スレッドが正常に終了出来ませんでした",  // ThreadDidNotEnd
    " 画像が読み込まれていません(ifList)",  // NoPictureForList
};
static_assert(std::size(kMessages) == static_cast<size_t>(Message::Count), "one text per message");

}  // namespace

const std::string& messageText(Message message) { return sj(kMessages[static_cast<size_t>(message)]); }

}  // namespace velmora::movie
