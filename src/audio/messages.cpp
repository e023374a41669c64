#include "audio/messages.h"

#include <iterator>

#include "core/textconv.h"

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

}  // namespace

const std::string& messageText(Message message) { return sj(kMessages[static_cast<size_t>(message)]); }

}  // namespace velmora::audio
