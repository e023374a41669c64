#include "sprite/messages.h"

#include <iterator>

#include "core/textconv.h"

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

}  // namespace

const std::string& messageText(Message message) { return sj(kMessages[static_cast<size_t>(message)]); }

}  // namespace velmora::sprite
