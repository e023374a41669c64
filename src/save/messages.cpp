#include "save/messages.h"

#include <iterator>

#include "core/textconv.h"

namespace velmora::save {
namespace {

// UTF-8 here, converted to the engine's code page on first use; a text that
// follows a name starts with its own space.
constexpr const char* kMessages[] = {
    "スクリーンショットのメモリの確保に失敗しました",  // ScreenshotNoMemory
    // AskSaveLocation
    "ドキュメントにセーブデータを保存しても宜しいですか？\n"
    "\n"
    "ドキュメントを選ぶと同じブランドのゲームのセーブデータが\n"
    "ドキュメントにあれば設定を一部引き継げるようになります。\n",
    "ドキュメントにセーブデータを作りますか？\n",  // CreateInDocuments
    "ゲームフォルダにセーブデータを作りますか？",  // CreateInGameFolder
    "初回の質問への答え",  // WhyFirstAnswer
    " が 1",  // WhyMarkerIsOne
    " が空",  // WhyMarkerIsEmpty
    " の内容が 1 でも空でもない",  // WhyMarkerIsOther
    "セーブデータの保存先: ",  // SaveLocationLine
    "ゲームフォルダ (",  // GameFolderBefore
    "、ドキュメントフォルダは ",  // DocumentsFolderIs
    "「",  // InheritQuestionBefore
    "」の設定を引き継ぎますか？",  // InheritQuestionAfter
    "引き継ぎを行わなくて構いませんか？",  // SkipInheritance
    "--save-dir で指定",  // WhySaveDirOption
    " の読み込みに失敗しました",  // ReadFailed
    " のメモリを確保出来ませんでした",  // NoMemoryFor
    " を読めなかったため ",  // MovedAsideBefore
    " に移しました。設定は初期値で始まります",  // MovedAsideAfter
    " を読めず、移すことも出来なかったため、この実行では設定を保存しません",  // NotMovedAside
    "コメントがありません",  // NoComment
    "data デコード出来ませんでした",  // DataNotDecoded
    " createImage\nメモリを確保出来ませんでした",  // CreateImageNoMemory
    "画像が確保出来ませんでした",  // ImageNotAllocated
    " は不正なファイルです",  // BadFile
    " フォルダを作成出来ませんでした",  // FolderNotCreated
    "ラベルが存在しません",  // LabelMissing
    " の保存に失敗しました",  // SaveFailed
};
static_assert(std::size(kMessages) == static_cast<size_t>(Message::Count), "one text per message");

}  // namespace

const std::string& messageText(Message message) { return sj(kMessages[static_cast<size_t>(message)]); }

}  // namespace velmora::save
