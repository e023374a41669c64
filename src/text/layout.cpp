// Laying out one script line: the column grid, wrapping with hanging
// punctuation, indentation, ruby, inline commands and the wait marks.
#include <algorithm>

#include "core/modes.h"
#include "core/report.h"
#include "core/settings.h"
#include "core/sjis.h"
#include "core/textconv.h"
#include "platform/platform.h"
#include "script/interp.h"
#include "text/backlog.h"
#include "text/message.h"
#include "text/messages.h"
#include "text/ruby.h"

namespace velmora::text {
namespace {

bool isHanging(unsigned code) {
  return code == 0x8141 || code == 0x8142 || code == 0x816A || code == 0x8176 || code == 0x8178;
}
bool isOpeningBracket(unsigned code) { return code == 0x8169 || code == 0x8175 || code == 0x8177; }

struct Line {
  std::string_view text;
  size_t length;
  unsigned codeAt(size_t k) const {
    if (k >= length) return 0;
    const unsigned char c = static_cast<unsigned char>(text[k]);
    if (isLeadByte(c) && k + 1 < length) return unsigned(c) << 8 | static_cast<unsigned char>(text[k + 1]);
    return c;
  }
  size_t width(size_t k) const { return codeAt(k) > 0xFF ? 2 : 1; }
};

struct Pass {
  Line line;
  size_t k = 0, n = 0;   // position and start of the pending raw segment
  int inRuby = 0;
  int rubyColumn = 0, rubyIndex = 0;
};

void appendPending(Pass& p, size_t upTo) {
  if (upTo > p.n) appendEntryText(p.line.text.substr(p.n, upTo - p.n));
  p.n = upTo;
}

void breakRow() {
  MessageFlow& f = window().flow;
  f.rowFresh += 1;
  f.row += 1;
  appendRowSeparator(f.wrapIndent != 0);
}

void addAutoTime(uint32_t ms) { modes::reading().autoDeadline += ms; }

void startRow(const Pass& p) {
  MessageFlow& f = window().flow;
  size_t k = p.k;
  if (p.line.codeAt(k) == '[') {
    while (k < p.line.length && p.line.text[k] != ']') k += p.line.width(k);
    if (k < p.line.length) ++k;
  }
  if (isOpeningBracket(p.line.codeAt(k))) {
    f.wrapIndent = f.bracketIndent ? 2 : 0;
  } else if (f.rowIndent) {
    f.wrapIndent = 2;
    f.column = 2;
    if (f.rowFresh == 0) appendEntryText(sj("　"));
  } else {
    f.wrapIndent = 0;
  }
}

void placeCharacter(CString& object, int column, int row, unsigned code) {
  const MessageLayout& l = window().layout;
  const int x = l.originX + ((column * characterPitch()) >> 1);
  const int y = l.originY + row * rowPitch();
  object.SetChar(float(x), float(y), uint8_t(code >> 8), uint8_t(code & 0xFF));
}

// The reading after '/': true to go on after its '}', false when the line ends.
bool layRuby(Pass& p) {
  MessageWindow& w = window();
  const size_t from = p.k + 1;
  size_t end = from;
  while (end < p.line.length && p.line.text[end] != '}') end += p.line.width(end);
  if (end >= p.line.length) {
    showErrorBox(messageText(Message::BadRuby));
    return false;
  }
  const std::string_view reading = p.line.text.substr(from, end - from);
  p.k = end + 1;
  p.inRuby = 0;
  const int a = w.flow.column, b = p.rubyColumn;
  if (a < b) {
    showErrorBox(messageText(Message::RubyAcrossRows));
    return true;
  }
  if (modes::reading().jump) return true;
  const int pitch = characterPitch();
  const RubyPlan plan = planRuby(reading, a, b, pitch);
  int u = w.layout.originX + plan.start;
  const int y = w.layout.originY + w.flow.row * rowPitch() - w.layout.rowHeight / 2;
  const int before = w.ruby.laidOut;
  for (size_t i = 0; i < reading.size();) {
    const bool two = isLeadByte(reading[i]) && i + 1 < reading.size();
    const unsigned code = two ? unsigned(uint8_t(reading[i])) << 8 | uint8_t(reading[i + 1]) : uint8_t(reading[i]);
    w.ruby.SetChar(float(u), float(y), uint8_t(code >> 8), uint8_t(code & 0xFF));
    u += rubyAdvance(two, pitch, plan.gap);
    i += two ? 2 : 1;
  }
  // Readings are revealed spread over their base characters.
  const int added = w.ruby.laidOut - before;
  const int bases = std::max(w.main.laidOut - p.rubyIndex, 0);
  w.reveal.rubyBase.resize(size_t(before));
  for (int j = 0; j < added; ++j) w.reveal.rubyBase.push_back(p.rubyIndex + (j * bases) / added);
  return true;
}

enum class Step { Continue, LeaveLoop, Return };

// A wait requested by a mark or the end-of-line rule.
Step requestWait(Pass& p, int kind, bool lineEnd) {
  MessageWindow& w = window();
  MessageFlow& f = w.flow;
  currentEntry().rows = f.row + 1;
  addAutoTime(platform::nowMs() + uint32_t(core::currentText().autoWait) + uint32_t(core::currentText().textSpeed));
  if (script::registers().postTextHook == 0) return lineEnd ? Step::LeaveLoop : Step::Continue;
  if (size_t(f.resumeOffset) >= p.line.length) {
    f.resumeOffset = 0;
    if (isPageWait(kind)) {
      f.pageWaits += 1;
      f.rowFresh = 0;
      f.wrapIndent = 0;
      f.column = 0;
    }
  }
  f.waitKind = kind;
  return Step::Return;
}

int endOfLineWait(size_t nextLength, size_t afterNextLength) {
  const MessageFlow& f = window().flow;
  if (f.paragraphWait != 0 && nextLength == 0) {
    if (f.paragraphWait & 4) return afterNextLength == 0 ? 2 : 1;
    return f.paragraphWait;
  }
  return f.lineEndWait;
}

}  // namespace

int characterPitch() { return window().layout.fontSize + window().layout.charGap; }
int rowPitch() { return window().layout.rowHeight + window().layout.rowGap; }

int showTextLine(std::string_view text, size_t textStart, size_t nextLength, size_t afterNextLength) {
  MessageWindow& w = window();
  MessageFlow& f = w.flow;
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) text.remove_suffix(1);
  if (textStart > 0) f.resumeOffset = int(textStart);
  Pass p;
  p.line = {text, text.size()};
  p.k = p.n = std::min(size_t(std::max(f.resumeOffset, 0)), text.size());
  const int cols2 = 2 * w.layout.columns;
  if (f.column == 0) startRow(p);
  while (p.k <= p.line.length) {
    const unsigned code = p.line.codeAt(p.k);
    const bool atEnd = p.k >= p.line.length;
    if (!atEnd && code < 0x100 && std::string_view("/@[\\{}").find(char(code)) != std::string_view::npos &&
        (code != '/' || p.inRuby)) {
      if (code == '{') {
        p.rubyColumn = f.column;
        p.rubyIndex = w.main.laidOut;
        p.inRuby = 1;
        ++p.k;
      } else if (code == '}') {
        p.inRuby = 0;
        ++p.k;
      } else if (code == '/') {
        if (!layRuby(p)) break;
      } else if (code == '[') {
        appendPending(p, p.k);
        size_t pos = p.k;
        if (script::runInlineCommand(text.data(), pos, text.size()) == 0) return 0;
        p.k = pos < text.size() && text[pos] == ']' ? pos + 1 : pos;
        p.n = p.k;
      } else {
        appendPending(p, p.k);
        f.resumeOffset = int(p.k + 1);
        p.n = ++p.k;
        const Step s = requestWait(p, code == '@' ? kClickWait : kPageWait, false);
        if (s == Step::Return) return 1;
        if (s == Step::LeaveLoop) break;
      }
      continue;
    }
    if (!atEnd && f.column > cols2) {
      const bool hangs = isHanging(code) && !isHanging(p.line.codeAt(p.k + p.line.width(p.k)));
      if (!hangs) {
        appendPending(p, p.k);
        breakRow();
        f.column = f.wrapIndent;
        continue;
      }
    }
    if (!atEnd) {
      f.rowFresh = 0;
      if (!modes::reading().jump) placeCharacter(w.main, f.column, f.row, code);
      f.column += code > 0xFF ? 2 : 1;
      p.k += p.line.width(p.k);
      addAutoTime(uint32_t(core::setting(core::SettingKey::AutoChar)) + uint32_t(core::currentText().textSpeed));
      if (p.inRuby) ++p.inRuby;
      continue;
    }
    appendPending(p, p.line.length);
    f.resumeOffset = int(p.line.length);
    const int kind = endOfLineWait(nextLength, afterNextLength);
    if (kind == 0) break;
    ++p.k;
    if (requestWait(p, kind, true) == Step::Return) return 1;
    break;
  }
  if (f.rowFresh == 0) {
    f.row += 1;
    f.rowFresh = 1;
    appendRowSeparator(f.wrapIndent != 0);
  }
  f.wrapIndent = 0;
  f.column = 0;
  f.resumeOffset = 0;
  if (p.inRuby) showErrorBox(messageText(Message::BadRuby));
  f.waitKind = kNoWait;
  return 1;
}

}  // namespace velmora::text
