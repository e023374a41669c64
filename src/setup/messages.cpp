#include "setup/messages.h"

#include <iterator>

#include "base/language.h"

namespace velmora::setup {
namespace {

struct Row {
  const char* japanese;  // UTF-8, converted to the engine's code page on first use
  const char* english;
};

constexpr Row kTexts[] = {
    {"起動設定", "Start-up settings"},                                          // StartupTitle
    {"４：３比率", "4:3 ratio"},                                               // FourThree
    {"１６：９比率", "16:9 ratio"},                                            // SixteenNine
    {"スクリーン解像度", "Screen resolution"},                                  // ScreenResolution
    {"ウィンドウサイズをスクリーン解像度に合わせる", "Size the window to the screen resolution"},  // FitWindow
    {"高解像度ではＰＣに通常より高いスペックが求められますので、予めご注意下さい。\n"
     "DBD(Dot By Dot)はディスプレイの１ドットに画像の１ピクセルを表示する事です。",
     "Higher resolutions need a faster PC than usual.\n"
     "DBD (Dot By Dot) shows one picture pixel on each dot of the display."},  // HighResolutionNote
    {"詳細設定", "Advanced"},                                                   // AdvancedButton
    {"起動", "Start"},                                                          // StartButton
    {"終了", "Quit"},                                                           // EndButton
    {"次回起動時に起動設定画面を表示する", "Show this dialog at the next start"}, // ShowAgain
    {"設定引継", "Carry over settings"},                                        // InheritTitle
    {"設定の引き継ぎ可能なゲーム", "Games whose settings can be carried over"},  // InheritHeading
    {"決定", "OK"},                                                             // Decide
    {"詳細設定", "Advanced settings"},                                          // AdvancedTitle
    {"既定値", "Default"},                                                      // DefaultValue
    {"キャンセル", "Cancel"},                                                   // Cancel
    {"検索する文字列:", "Find what:"},                                          // FindWhat
    {"単語単位で探す", "Whole words only"},                                     // WholeWord
    {"下へ検索", "Search down"},                                                // FindDown
    {"次を検索", "Find next"},                                                  // FindNext
};
static_assert(std::size(kTexts) == static_cast<size_t>(UiText::Count), "one row per text");

constexpr bool englishIsPlain() {
  for (const Row& r : kTexts) {
    const char* one[] = {r.english};
    if (!plainAscii(one)) return false;
  }
  return true;
}
static_assert(englishIsPlain(), "English texts are plain ASCII");

}  // namespace

const std::string& uiText(UiText text) {
  const Row& r = kTexts[static_cast<size_t>(text)];
  return uiLiteral(r.japanese, r.english);
}

}  // namespace velmora::setup
