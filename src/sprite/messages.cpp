#include "sprite/messages.h"

#include <iterator>

#include "base/language.h"
#include "base/textconv.h"

namespace velmora::sprite {
namespace {

// UTF-8 here, converted to the engine's code page on first use; a text that
// follows a name starts with its own space.
constexpr const char* kMessages[] = {
    " 画像が読み込まれていません",  // NoPicture
    " オーダーが正しく設定されてません",  // OrderNotSet
    " spSetting\nメモリを確保出来ませんでした",  // SettingNoMemory
    "spSetting2\nメモリを確保出来ませんでした",  // Setting2NoMemory
    " テクスチャが作れませんでした",  // TextureNotMade
    " メモリを確保出来ませんでした",  // NoMemory
    " 切り替え前の画像サイズと違います２",  // SizeDiffersFromPending
    " 切り替え前の画像サイズと違います１",  // SizeDiffersFromShown
    " の画像サイズが大きすぎます ",  // PictureTooLarge
    " を読み込めませんでした",  // PictureNotLoaded
    " をキャッシュから読み込めませんでした",  // NotLoadedFromCache
    " 追加フラグが不正です",  // BadAddFlag
    " スプライト番号が不正です",  // BadSpriteNumber
    " 画像が読み込まれていません(imList1)",  // NoPictureForList1
    " 画像が読み込まれていません(imList2)",  // NoPictureForList2
};
static_assert(std::size(kMessages) == static_cast<size_t>(Message::Count), "one text per message");

// An English UI adds these lines to the reports; empty for a fragment.
constexpr const char* kEnglish[] = {
    "No picture is loaded.",  // NoPicture
    "The order is not set correctly.",  // OrderNotSet
    "spSetting: could not allocate memory.",  // SettingNoMemory
    "spSetting2: could not allocate memory.",  // Setting2NoMemory
    "Could not make a texture.",  // TextureNotMade
    "Could not allocate memory.",  // NoMemory
    "The picture size differs from the one before the change (2).",  // SizeDiffersFromPending
    "The picture size differs from the one before the change (1).",  // SizeDiffersFromShown
    "The picture is too large.",  // PictureTooLarge
    "Could not load the picture.",  // PictureNotLoaded
    "Could not load the picture from the cache.",  // NotLoadedFromCache
    "The add flag is not valid.",  // BadAddFlag
    "The sprite number is not valid.",  // BadSpriteNumber
    "No picture is loaded (imList1).",  // NoPictureForList1
    "No picture is loaded (imList2).",  // NoPictureForList2
};
static_assert(std::size(kEnglish) == std::size(kMessages), "one English line per message");
static_assert(plainAscii(kEnglish), "English texts are plain ASCII");

}  // namespace

const std::string& messageText(Message message) {
  const size_t i = static_cast<size_t>(message);
  return errorLiteral(kMessages[i], kEnglish[i]);
}

}  // namespace velmora::sprite
