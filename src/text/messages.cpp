#include "text/messages.h"

#include <iterator>

#include "base/language.h"
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
    "この文字を持つフォントがありません: ",  // NoGlyph
};
static_assert(std::size(kMessages) == static_cast<size_t>(Message::Count), "one text per message");

// An English UI adds these lines to the reports; empty for a fragment.
constexpr const char* kEnglish[] = {
    "No picture is loaded.",  // NoPicture
    "The ruby markup is not valid.",  // BadRuby
    "Ruby text crosses a row.",  // RubyAcrossRows
    "A script of the backlog no longer exists.",  // ScriptGone
    "",  // MoreScriptsGoneBefore
    "",  // MoreScriptsGoneAfter
    "The label does not exist.",  // LabelMissing
    "Speech output is not available.",  // NoSpeech
    "Read aloud on",  // VoicingOn
    "Read aloud off",  // VoicingOff
    "No installed font has this character.",  // NoGlyph
};
static_assert(std::size(kEnglish) == std::size(kMessages), "one English line per message");
static_assert(plainAscii(kEnglish), "English texts are plain ASCII");

}  // namespace

const std::string& messageText(Message message) {
  const size_t i = static_cast<size_t>(message);
  return errorLiteral(kMessages[i], kEnglish[i]);
}

const std::string& spokenText(Message message) {
  const size_t i = static_cast<size_t>(message);
  return uiLiteral(kMessages[i], kEnglish[i]);
}

}  // namespace velmora::text
