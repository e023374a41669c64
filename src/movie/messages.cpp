#include "movie/messages.h"

#include <iterator>

#include "base/language.h"
#include "base/textconv.h"

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

// An English UI adds these lines to the reports; empty for a fragment.
constexpr const char* kEnglish[] = {
    "Could not open the movie.",  // NotOpenedJoined
    "Could not open the movie.",  // NotOpened
    "Could not create a thread.",  // ThreadNotCreated
    "Could not read the file.",  // FileNotRead
    "The movie format is not valid.",  // BadFormat
    "The movie thread did not end properly.",  // ThreadDidNotEnd
    "No picture is loaded (ifList).",  // NoPictureForList
};
static_assert(std::size(kEnglish) == std::size(kMessages), "one English line per message");
static_assert(plainAscii(kEnglish), "English texts are plain ASCII");

}  // namespace

const std::string& messageText(Message message) {
  const size_t i = static_cast<size_t>(message);
  return errorLiteral(kMessages[i], kEnglish[i]);
}

}  // namespace velmora::movie
