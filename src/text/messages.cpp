#include "text/messages.h"

#include <iterator>

#include "base/textconv.h"

namespace velmora::text {
namespace {

// UTF-8 here, converted to the engine's code page on first use; a text that
// follows a name starts with its own space.
constexpr const char* kMessages[] = {
    " 画像が読み込まれていません",  // NoPicture
    "ルビの処理が不正です",  // BadRuby
    "ルビが行を跨いでいます",  // RubyAcrossRows
    " が存在しなくなっています",  // ScriptGone
    "ほか ",  // MoreScriptsGoneBefore
    " 個のスクリプトも存在しなくなっています",  // MoreScriptsGoneAfter
    "ラベルが存在しません",  // LabelMissing
    "読み上げができません: ",  // NoSpeech
    "読み上げ オン",  // VoicingOn
    "読み上げ オフ",  // VoicingOff
};
static_assert(std::size(kMessages) == static_cast<size_t>(Message::Count), "one text per message");

}  // namespace

const std::string& messageText(Message message) { return sj(kMessages[static_cast<size_t>(message)]); }

}  // namespace velmora::text
