// The message-window commands: layout, flow, reveal and page handling.
#include <algorithm>
#include <cmath>

#include "bindings/bridge.h"
#include "bindings/catalogue.h"
#include "script/modes.h"
#include "base/report.h"
#include "base/settings.h"
#include "base/sjis.h"
#include "base/textconv.h"
#include "render/geometry.h"
#include "render/input/buttons.h"
#include "render/render.h"
#include "script/interp.h"
#include "script/loader.h"
#include "text/backlog.h"
#include "text/commands.h"
#include "text/message.h"
#include "text/messages.h"
#include "text/text_settings.h"
#include "render/display_settings.h"

namespace velmora::text {
namespace {

using bindings::CommandContext;
using bindings::intArg;
using bindings::intResult;
float displayRate() {
  const float r = render::geometry().displayRate;
  return r > 0 ? r : 1.0f;
}

void cmd_setMessCreate(CommandContext c) {
  MessageWindow& w = window();
  const CurrentTextState& t = currentText();
  const int size = int(float(w.layout.fontSize) * displayRate());
  const int mode = render::colourDepthValue();
  w.main.Create(t.fontFile, size, t.fontStyle, intArg(c, 1), mode);
  w.ruby.Create(t.fontFile, size / 2, t.fontStyle & 15, intArg(c, 2), mode);
  w.stringMain.Create(t.fontFile, size, t.fontStyle, 0, mode);
  w.stringRuby.Create(t.fontFile, size / 2, t.fontStyle & 15, 0, mode);
  w.created = true;
  applyAspectShift();
  w.reveal.rubyBase.clear();
  applyColoursToMessage();
}

void cmd_setMessXY(CommandContext c) {
  MessageLayout& l = window().layout;
  l.originX = intArg(c, 1);
  l.originY = intArg(c, 2);
  l.aspectShift = intArg(c, 3);
  applyAspectShift();
}

void cmd_setMessWH(CommandContext c) {
  MessageLayout& l = window().layout;
  l.columns = intArg(c, 1);
  l.rows = intArg(c, 2);
  l.fontSize = intArg(c, 3);
  l.rowHeight = intArg(c, 4);
  l.charGap = intArg(c, 5);
  l.rowGap = intArg(c, 6);
  applyFontToMessage();
}

void cmd_setMessLine(CommandContext c) {
  window().flow.lineEndWait = intArg(c, 1);
  window().flow.paragraphWait = intArg(c, 2);
}

void cmd_setMessIndent(CommandContext c) {
  window().flow.bracketIndent = intArg(c, 1);
  window().flow.rowIndent = intArg(c, 2);
}

void cmd_setMessLog(CommandContext c) {
  auto& v = window().layout.logValues;
  for (int i = 0; i < 6; ++i) v[size_t(i)] = intArg(c, i + 1);
  v[0] += 2;
}

void cmd_setMessSpeed(CommandContext c) {
  applyCurrentDefault(currentText().textSpeed, SettingKey::TextSpeed, intArg(c, 1), intArg(c, 2));
}

void cmd_getMessSpeed(CommandContext c) { intResult(c, 1, playerTextSpeed()); }

void cmd_setAutoWait(CommandContext c) {
  applyCurrentDefault(currentText().autoWait, SettingKey::AutoWait, intArg(c, 1), intArg(c, 2));
}

void cmd_getAutoWait(CommandContext c) { intResult(c, 1, playerAutoWait()); }

void cmd_getMessLast(CommandContext c) {
  const CString& m = window().main;
  int x = 0, y = 0;
  if (m.laidOut > 0) {
    const GlyphSlot& s = m.slots()[size_t(m.laidOut - 1)];
    x = int(std::lround(float(s.x) / displayRate())) + m.pixelSize();
    y = int(std::lround(float(s.y) / displayRate()));
  }
  bindings::beginList(c);
  intResult(c, 1, x);
  bindings::appendListElement(c);
  intResult(c, 2, y);
  bindings::appendListElement(c);
}

void cmd_n(CommandContext) {
  MessageFlow& f = window().flow;
  f.rowFresh += 1;
  f.row += 1;
  appendRowSeparator(f.wrapIndent != 0);
  f.column = f.wrapIndent;
  f.penX = -1;
}

void cmd_i(CommandContext c) { window().flow.column = intArg(c, 1); }

// Splits the entry's name at commas into the variables given.
void cmd_getTag(CommandContext c) {
  std::string_view name = entryName(currentEntry());
  const int count = bindings::argumentCountPlus(c, 0);
  for (int i = 1; i <= count; ++i) {
    const size_t comma = name.find(',');
    bindings::stringResult(c, i, name.substr(0, comma));
    name = comma == std::string_view::npos ? std::string_view() : name.substr(comma + 1);
  }
}

void cmd_formatMess(CommandContext) { resetMessageWindow(); }

void clearObjects() {
  MessageWindow& w = window();
  w.main.Clear();
  w.ruby.Clear();
  w.reveal.rubyBase.clear();
}

void cmd_clearMess(CommandContext) {
  closeEntry();
  window().flow.row = 0;
  clearObjects();
}

void cmd_clearMess2(CommandContext) {
  MessageFlow& f = window().flow;
  if (isPageWait(f.waitKind)) {
    closeEntry();
    f.row = 0;
    clearObjects();
  } else if ((f.paragraphWait & 4) && f.pageWaits != 0) {
    closeEntry();
    f.row += 1;
  } else {
    script::readingModes().autoDeadline = 0;
  }
}

void cmd_resetMess(CommandContext) {
  MessageWindow& w = window();
  for (CString* s : {&w.main, &w.ruby}) {
    s->RedrawChars();
    s->SetOffset(0, 0);
  }
}

bool labelInActiveScript(std::string_view label) {
  auto info = script::findLabel(label);
  return info && info->owner == script::activeScriptKey();
}

void hookCommand(CommandContext c, int script::Registers::*counter) {
  if (!labelInActiveScript(bindings::stringArg(c, 1))) {
    reportError(messageText(Message::LabelMissing));
    return;
  }
  script::registers().*counter += 1;
}

void cmd_preMessGosub(CommandContext c) { hookCommand(c, &script::Registers::preTextHook); }
void cmd_sufMessGosub(CommandContext c) { hookCommand(c, &script::Registers::postTextHook); }

void cmd_formatMessDraw(CommandContext) { formatMessDraw(); }
void cmd_setMessDraw(CommandContext c) { intResult(c, 1, setMessDraw()); }
void cmd_endMessDraw(CommandContext) { endMessDraw(); }
void cmd_getPage(CommandContext c) { intResult(c, 1, isPageWait(window().flow.waitKind) ? 1 : 0); }

void cmd_setWindowVisible(CommandContext c) {
  window().windowVisible = intArg(c, 1);
  render::setWindowVisibleFlags(window().windowVisible);
  if (window().windowVisible == 0) render::hideTooltip();
}

void cmd_getWindowVisible(CommandContext c) { intResult(c, 1, window().windowVisible); }

const bindings::CoreBinding kMessageCores[] = {
    {"getTag", cmd_getTag},
    {"n", cmd_n},
    {"i", cmd_i},
    {"setMessCreate", cmd_setMessCreate},
    {"setMessLine", cmd_setMessLine},
    {"setMessIndent", cmd_setMessIndent},
    {"setMessXY", cmd_setMessXY},
    {"setMessWH", cmd_setMessWH},
    {"setMessLog", cmd_setMessLog},
    {"setMessSpeed", cmd_setMessSpeed},
    {"getMessSpeed", cmd_getMessSpeed},
    {"getMessLast", cmd_getMessLast},
    {"setAutoWait", cmd_setAutoWait},
    {"getAutoWait", cmd_getAutoWait},
    {"formatMess", cmd_formatMess},
    {"clearMess", cmd_clearMess},
    {"clearMess2", cmd_clearMess2},
    {"resetMess", cmd_resetMess},
    {"preMessGosub", cmd_preMessGosub},
    {"sufMessGosub", cmd_sufMessGosub},
    {"formatMessDraw", cmd_formatMessDraw},
    {"setMessDraw", cmd_setMessDraw},
    {"endMessDraw", cmd_endMessDraw},
    {"getPage", cmd_getPage},
    {"setWindowVisible", cmd_setWindowVisible},
    {"getWindowVisible", cmd_getWindowVisible},
};

}  // namespace

// Shared by four commands, so it writes the player's default by key.
void applyCurrentDefault(int32_t& current, SettingKey defaultKey, int32_t first, int32_t second) {
  int32_t& defaultValue = setting(defaultKey);
  if (second >= 0) defaultValue = second;
  current = first < 0 ? defaultValue : first;
}

std::span<const bindings::CoreBinding> messageCores() { return kMessageCores; }

}  // namespace velmora::text
