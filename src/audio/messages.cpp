#include "audio/messages.h"

#include <iterator>

#include "base/language.h"
#include "base/textconv.h"

namespace velmora::audio {
namespace {

// UTF-8 here, converted to the engine's code page on first use; a text that
// follows a name starts with its own space.
constexpr const char* kMessages[] = {
    " スレッドを作成出来ませんでした",  // ThreadNotCreated
    "音スレッドが正常に終了出来ませんでした",  // ThreadDidNotEnd
    " メモリが確保出来ませんでした",  // NoMemory
    " コールバックが作成出来ませんでした",  // CallbackNotCreated
    " 情報が取得出来ませんでした",  // NoInformation
    " 未対応の形式です",  // UnsupportedFormat
    ": 再生情報の引数の数が不正です",  // BadPlayInfoCount
    "サウンドデバイスを開けません（音声なしで続行します）: ",  // NoSoundDevice
};
static_assert(std::size(kMessages) == static_cast<size_t>(Message::Count), "one text per message");

// An English UI adds these lines to the reports; empty for a fragment.
constexpr const char* kEnglish[] = {
    "Could not create a thread.",  // ThreadNotCreated
    "The sound thread did not end properly.",  // ThreadDidNotEnd
    "Could not allocate memory.",  // NoMemory
    "Could not create the callback.",  // CallbackNotCreated
    "Could not get the sound's information.",  // NoInformation
    "Unsupported format.",  // UnsupportedFormat
    "Wrong number of playback arguments.",  // BadPlayInfoCount
    "Cannot open the sound device; continuing without sound.",  // NoSoundDevice
};
static_assert(std::size(kEnglish) == std::size(kMessages), "one English line per message");
static_assert(plainAscii(kEnglish), "English texts are plain ASCII");

}  // namespace

const std::string& messageText(Message message) {
  const size_t i = static_cast<size_t>(message);
  return errorLiteral(kMessages[i], kEnglish[i]);
}

}  // namespace velmora::audio
