#include "render/messages.h"

#include <iterator>

#include "core/textconv.h"

namespace velmora::render {
namespace {

// UTF-8 here, converted to the engine's code page on first use; a text that
// follows a name starts with its own space.
constexpr const char* kMessages[] = {
    " 画像が読み込まれていません",  // NoPicture
    "ボタン番号が不正です",  // BadButtonNumber
    "画面拡大縮小補間の ",  // ScalingFilterBefore
    " は未対応の環境です、他の設定で起動します。\n(このエラーはゲームの動作には影響ありません)",  // ScalingFilterAfter
    "設定ツールの起動中は実行出来ません",  // SetupToolRunning
    " 存在しないエフェクトです",  // NoSuchEffect
    "16bit カラーが使用出来ないので 32bit カラーで起動します。\n(このエラーはゲームの動作には影響ありません)",  // SixteenBitUnavailable
    "32bit カラーが使用出来ないので 16bit カラーで起動します。\n(このエラーはゲームの動作には影響ありません)",  // ThirtyTwoBitUnavailable
    "Software が使えないので Hardware で起動します。\n(このエラーはゲームの動作には影響ありません)",  // SoftwarePacingUnavailable
};
static_assert(std::size(kMessages) == static_cast<size_t>(Message::Count), "one text per message");

}  // namespace

const std::string& messageText(Message message) { return sj(kMessages[static_cast<size_t>(message)]); }

}  // namespace velmora::render
