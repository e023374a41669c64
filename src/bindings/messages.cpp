#include "bindings/messages.h"

#include <iterator>

#include "base/language.h"
#include "base/textconv.h"

namespace velmora::bindings {
namespace {

// UTF-8 here, converted to the engine's code page on first use; a text that
// follows a name starts with its own space.
constexpr const char* kMessages[] = {
    "引数の数が不正です",  // WrongArgumentCount
    "この命令はこのビルドでは使用できません",  // NotInThisBuild
    "メモリを確保出来ませんでした",  // OutOfMemory
    "数値変数が不正です",  // BadNumericVariable
    "文字列変数が不正です",  // BadStringVariable
    "引数の型が不正です",  // BadArgumentType
    "戻り値が文字列ではありません",  // ResultNotString
    "関数の呼び出しが深すぎます（上限 ",  // CallsTooDeepBefore
    " 段）",  // CallsTooDeepAfter
    "Squirrel の実行環境が見つかりません（Debian パッケージ ",  // SquirrelMissingBefore
    " をインストールしてください）",  // SquirrelMissingAfter
    " を読み込めませんでした\n",  // NotLoaded
    " を実行出来ませんでした\n",  // NotRun
    "第二引数が文字数が１文字ではありません",  // SecondArgumentNotOneCharacter
    "正常にパスが読み込めませんでした",  // BadPath
    "フォルダを作成出来ませんでした",  // FolderNotCreated
    " 読み込ませんでした",  // LibraryNotLoaded
    "第一引数が文字列ではありません",  // FirstArgumentNotString
    "第二引数が文字列ではありません",  // SecondArgumentNotString
    "第三引数の数値変数が不正です",  // ThirdArgumentNotNumericVariable
};
static_assert(std::size(kMessages) == static_cast<size_t>(Message::Count), "one text per message");

// An English UI adds these lines to the reports; empty for a fragment.
constexpr const char* kEnglish[] = {
    "Wrong number of arguments.",  // WrongArgumentCount
    "This command is not available in this build.",  // NotInThisBuild
    "Could not allocate memory.",  // OutOfMemory
    "The numeric variable is not valid.",  // BadNumericVariable
    "The string variable is not valid.",  // BadStringVariable
    "The argument type is not valid.",  // BadArgumentType
    "The result is not a string.",  // ResultNotString
    "Function calls nest too deeply.",  // CallsTooDeepBefore
    "",  // CallsTooDeepAfter
    "The Squirrel runtime was not found; please install the Debian package named above.",  // SquirrelMissingBefore
    "",  // SquirrelMissingAfter
    "Could not load the script.",  // NotLoaded
    "Could not run the script.",  // NotRun
    "The second argument is not one character.",  // SecondArgumentNotOneCharacter
    "The path could not be read.",  // BadPath
    "Could not create the folder.",  // FolderNotCreated
    "Could not load the library.",  // LibraryNotLoaded
    "The first argument is not a string.",  // FirstArgumentNotString
    "The second argument is not a string.",  // SecondArgumentNotString
    "The third argument's numeric variable is not valid.",  // ThirdArgumentNotNumericVariable
};
static_assert(std::size(kEnglish) == std::size(kMessages), "one English line per message");
static_assert(plainAscii(kEnglish), "English texts are plain ASCII");

}  // namespace

const std::string& messageText(Message message) {
  const size_t i = static_cast<size_t>(message);
  return errorLiteral(kMessages[i], kEnglish[i]);
}

}  // namespace velmora::bindings
