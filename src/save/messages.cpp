#include "save/messages.h"

#include <iterator>

#include "base/language.h"
#include "base/textconv.h"

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

// The English of each: the questions' own text with an English UI, an
// error's added line; empty for a fragment.
constexpr const char* kEnglish[] = {
    "Could not allocate memory for the screenshot.",  // ScreenshotNoMemory
    "Keep the save data in Documents?\n"
    "\n"
    "With Documents, games of the same maker whose save data is there\n"
    "can pass some of their settings on to this one.\n",  // AskSaveLocation
    "Create the save data in Documents?\n",  // CreateInDocuments
    "Create the save data in the game folder?",  // CreateInGameFolder
    "", "", "", "", "", "", "",  // WhyFirstAnswer .. DocumentsFolderIs: the log's own lines
    "Carry over the settings of \"",  // InheritQuestionBefore
    "\"?",  // InheritQuestionAfter
    "Start without carrying over any settings?",  // SkipInheritance
    "",  // WhySaveDirOption
    "Could not read the file.",  // ReadFailed
    "Could not allocate memory for the file.",  // NoMemoryFor
    "The file could not be read and was moved aside; settings start from their defaults.",  // MovedAsideBefore
    "",  // MovedAsideAfter
    "The file could not be read or moved aside; settings are not saved in this run.",  // NotMovedAside
    "There is no comment.",  // NoComment
    "The data could not be decoded.",  // DataNotDecoded
    "createImage: could not allocate memory.",  // CreateImageNoMemory
    "Could not allocate the picture.",  // ImageNotAllocated
    "The file is not valid.",  // BadFile
    "Could not create the folder.",  // FolderNotCreated
    "The label does not exist.",  // LabelMissing
    "Saving failed.",  // SaveFailed
};
static_assert(std::size(kEnglish) == std::size(kMessages), "one English text per message");
static_assert(plainAscii(kEnglish), "English texts are plain ASCII");

}  // namespace

const std::string& messageText(Message message) {
  const size_t i = static_cast<size_t>(message);
  return errorLiteral(kMessages[i], kEnglish[i]);
}

const std::string& questionText(Message message) {
  const size_t i = static_cast<size_t>(message);
  return uiLiteral(kMessages[i], kEnglish[i]);
}

}  // namespace velmora::save
