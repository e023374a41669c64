#include "script/messages.h"

#include <iterator>

#include "base/language.h"
#include "base/textconv.h"

namespace velmora::script {
namespace {

// UTF-8 here, converted to the engine's code page on first use; a text that
// follows a name starts with its own space.
constexpr const char* kMessages[] = {
    "引数の数が不正です",  // WrongArgumentCount
    "未対応の命令です",  // UnknownCommand
    "メモリを確保出来ませんでした",  // OutOfMemory
    "ラベルが存在しません",  // LabelMissing
    "gosub の入れ子が深すぎます（上限 ",  // GosubTooDeepBefore
    " 段）",  // GosubTooDeepAfter
    "gosub が一度も実行されていません",  // ReturnWithoutGosub
    "式が不正です",  // BadCondition
    "第二引数が文字数が１文字ではありません",  // SecondArgumentNotOneCharacter
    "変数に代入する型が合いません",  // AssignedTypeMismatch
    "変数に代入する式ではありません",  // NotAnAssignment
    "代入演算子が不正です",  // BadAssignmentOperator
    "既読チェックミス ",  // ReadMarkMismatch
    "文字列が長すぎます（上限 ",  // StringTooLongBefore
    " バイト）",  // StringTooLongAfter
    "正常にパスが読み込めませんでした",  // BadPath
    "フォルダを作成出来ませんでした",  // FolderNotCreated
    "行数の指定が範囲を超えています",  // LineOutOfRange
    "リストの範囲を超えています",  // ListIndexOutOfRange
    " は不正なファイルです",  // BadFile
    "スクリプトのメモリを確保出来ませんでした",  // ScriptMemoryFailed
    ": スクリプトの読み込みに失敗しました",  // ScriptReadFailed
    " ※ラベル名が不正です",  // BadLabelName
    " ※ラベルが重複しています",  // DuplicateLabel
    ": スクリプトファイルハッシュが不正です",  // BadScriptHash
    "（",  // FramesLeftOutBefore
    " 段省略）\r\n",  // FramesLeftOutAfter
    "開始スクリプトが読み込めませんでした",  // StartScriptMissing
};
static_assert(std::size(kMessages) == static_cast<size_t>(Message::Count), "one text per message");

// An English UI adds these lines to the reports; empty for a fragment.
constexpr const char* kEnglish[] = {
    "Wrong number of arguments.",  // WrongArgumentCount
    "Unknown command.",  // UnknownCommand
    "Could not allocate memory.",  // OutOfMemory
    "The label does not exist.",  // LabelMissing
    "gosub nests too deeply.",  // GosubTooDeepBefore
    "",  // GosubTooDeepAfter
    "return without a gosub.",  // ReturnWithoutGosub
    "The expression is not valid.",  // BadCondition
    "The second argument is not one character.",  // SecondArgumentNotOneCharacter
    "The value's type does not fit the variable.",  // AssignedTypeMismatch
    "This is not an assignment.",  // NotAnAssignment
    "The assignment operator is not valid.",  // BadAssignmentOperator
    "Read-mark check failed.",  // ReadMarkMismatch
    "The string is too long.",  // StringTooLongBefore
    "",  // StringTooLongAfter
    "The path could not be read.",  // BadPath
    "Could not create the folder.",  // FolderNotCreated
    "The line number is out of range.",  // LineOutOfRange
    "The list index is out of range.",  // ListIndexOutOfRange
    "The file is not valid.",  // BadFile
    "Could not allocate memory for the script.",  // ScriptMemoryFailed
    "Reading the script failed.",  // ScriptReadFailed
    "The label name is not valid.",  // BadLabelName
    "The label is defined twice.",  // DuplicateLabel
    "The script file's hash is not valid.",  // BadScriptHash
    "",  // FramesLeftOutBefore
    "",  // FramesLeftOutAfter
    "The start script could not be loaded.",  // StartScriptMissing
};
static_assert(std::size(kEnglish) == std::size(kMessages), "one English line per message");
static_assert(plainAscii(kEnglish), "English texts are plain ASCII");

}  // namespace

const std::string& messageText(Message message) {
  const size_t i = static_cast<size_t>(message);
  return errorLiteral(kMessages[i], kEnglish[i]);
}

}  // namespace velmora::script
