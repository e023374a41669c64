// The font commands: font file and style, the three colours, private fonts
// and the installed-font list.
#include <string>
#include <vector>

#include "bindings/bridge.h"
#include "base/report.h"
#include "base/settings.h"
#include "text/commands.h"
#include "text/fonts.h"
#include "text/message.h"
#include "text/text_settings.h"

namespace velmora::text {
namespace {

using bindings::CommandContext;
using bindings::intArg;
using bindings::intResult;
using K = SettingKey;

std::vector<std::string>& fontList() {
  static std::vector<std::string> list;
  return list;
}

void cmd_addFontFile(CommandContext c) {
  const std::string path(bindings::stringArg(c, 1));
  // The catalogue gives the command no result; a failure leaves no slot used.
  if (!registerPrivateFont(path)) return;
  for (std::string& slot : window().privateFonts)
    if (slot.empty()) {
      slot = path.substr(0, 255);
      break;
    }
}

void cmd_setFontFile(CommandContext c) {
  const std::string name(bindings::stringArg(c, 1)), fallback(bindings::stringArg(c, 2));
  std::string& current = currentText().fontFile;
  std::string& byDefault = settingText(K::FontFile);
  if (!fallback.empty()) byDefault = fallback.substr(0, 255);
  current = name.empty() ? byDefault : name.substr(0, 255);
  applyFontToMessage();
}

void cmd_getFontFile(CommandContext c) { bindings::stringResult(c, 1, settingText(K::FontFile)); }

void cmd_setFontStyle(CommandContext c) {
  applyCurrentDefault(currentText().fontStyle, SettingKey::FontStyle, intArg(c, 1), intArg(c, 2));
  applyFontToMessage();
}

void cmd_getFontStyle(CommandContext c) { intResult(c, 1, playerFontStyle()); }

template <int I>
void cmd_setFontColor(CommandContext c) {
  applyCurrentDefault(currentText().fontColor[I], fontColourKey(I), intArg(c, 1), intArg(c, 2));
  applyColoursToMessage();
}

void cmd_getFontListNum(CommandContext c) {
  fontList() = installedFontList(intArg(c, 1));
  intResult(c, 2, int(fontList().size()));
}

void cmd_getFontListStr(CommandContext c) {
  const int i = intArg(c, 1);
  const auto& list = fontList();
  bindings::stringResult(c, 2, i >= 0 && i < int(list.size()) ? list[size_t(i)] : std::string());
}

const bindings::CoreBinding kFontCores[] = {
    {"addFontFile", cmd_addFontFile},     {"setFontFile", cmd_setFontFile},
    {"getFontFile", cmd_getFontFile},     {"setFontStyle", cmd_setFontStyle},
    {"getFontStyle", cmd_getFontStyle},   {"setFontColor", cmd_setFontColor<0>},
    {"setFontColor2", cmd_setFontColor<1>}, {"setFontColor3", cmd_setFontColor<2>},
    {"getFontListNum", cmd_getFontListNum}, {"getFontListStr", cmd_getFontListStr},
};

}  // namespace

std::span<const bindings::CoreBinding> fontCores() { return kFontCores; }

}  // namespace velmora::text
