#include "script/messages.h"

#include <iterator>

#include "core/textconv.h"

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

}  // namespace

const std::string& messageText(Message message) { return sj(kMessages[static_cast<size_t>(message)]); }

}  // namespace velmora::script
