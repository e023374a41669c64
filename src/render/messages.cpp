#include "render/messages.h"

#include <iterator>

#include "base/language.h"
#include "base/textconv.h"

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

// The same messages for an English UI's added line; empty for a fragment.
constexpr const char* kEnglish[] = {
    "No picture is loaded.",  // NoPicture
    "The button number is not valid.",  // BadButtonNumber
    "",  // ScalingFilterBefore
    "This scaling filter is not supported here; the game starts with another. (The game is not affected.)",
    "Not possible while the settings tool runs.",  // SetupToolRunning
    "No such effect.",  // NoSuchEffect
    "16-bit colour is unavailable; starting in 32-bit colour. (The game is not affected.)",
    "32-bit colour is unavailable; starting in 16-bit colour. (The game is not affected.)",
    "Software pacing is unavailable; starting with Hardware. (The game is not affected.)",
};
static_assert(std::size(kEnglish) == std::size(kMessages), "one English line per message");
static_assert(plainAscii(kEnglish), "English texts are plain ASCII");

// Japanese and English side by side, in UiText order.
constexpr const char* kUiTexts[][2] = {
    {"画面", "Screen"},
    {"スクリーンモード", "Screen mode"},
    {"ウィンドウ", "Window"},
    {"フルスクリーン", "Full screen"},
    {"アスペクト比 16:9", "Aspect ratio 16:9"},
    {"アスペクト比  4:3", "Aspect ratio  4:3"},
    {"ウィンドウサイズ", "Window size"},
    {"サイズ固定(", "Fixed size ("},
    {"ウィンドウ位置", "Window position"},
    {"画面の中央", "Centre of the screen"},
    {"座標を保持", "Keep position"},
    {"常に最前面で表示", "Always on top"},
    {"フルスクリーンモード", "Full-screen mode"},
    {"画面拡大縮小補間", "Scaling filter"},
    {"垂直同期待ち", "Wait for vertical sync"},
    {"同期無効", "No sync"},
    {"メニューバー表示", "Show menu bar"},
    {"メニューバー固定", "Pin menu bar"},
    {"(等倍)", "(1:1)"},
    {"ゲームが終了の要求に応答していません。\nゲームを終了しますか？",
     "The game is not responding to the request to close.\nEnd it anyway?"},
    {"Language / 言語", "Language / 言語"},
    {"読み上げ (V)", "Read aloud (V)"},
};
static_assert(std::size(kUiTexts) == static_cast<size_t>(UiText::Count), "one row per text");

}  // namespace

const std::string& messageText(Message message) {
  const size_t i = static_cast<size_t>(message);
  return errorLiteral(kMessages[i], kEnglish[i]);
}

const std::string& uiText(UiText text) {
  const auto& row = kUiTexts[static_cast<size_t>(text)];
  return uiLiteral(row[0], row[1]);
}

}  // namespace velmora::render
