// Laying out one script line: the column grid, wrapping with hanging
// punctuation, indentation, ruby, inline commands and the wait marks.
#include <algorithm>
#include <cmath>

#include "script/modes.h"
#include "base/encoding.h"
#include "base/report.h"
#include "base/settings.h"
#include "base/sjis.h"
#include "base/textconv.h"
#include "platform/platform.h"
#include "script/interp.h"
#include "text/backlog.h"
#include "text/fonts.h"
#include "text/linebreak.h"
#include "text/message.h"
#include "text/messages.h"
#include "text/ruby.h"
#include "text/text_settings.h"

namespace velmora::text {
namespace {

bool isHanging(unsigned code) {
  if (unicodeGame()) return isHangingPunctuation(code);
  return code == 0x8141 || code == 0x8142 || code == 0x816A || code == 0x8176 || code == 0x8178;
}
bool isOpeningBracket(unsigned code) {
  if (unicodeGame()) return code == U'\uFF08' || code == U'\u300C' || code == U'\u300E';
  return code == 0x8169 || code == 0x8175 || code == 0x8177;
}

// Characters are Shift_JIS codes (lead << 8 | trail), or code points in a
// Unicode game.
struct Line {
  std::string_view text;
  size_t length;
  unsigned codeAt(size_t k) const {
    if (k >= length) return 0;
    if (unicodeGame()) return unsigned(utf8CharAt(text.substr(0, length), k));
    const unsigned char c = static_cast<unsigned char>(text[k]);
    if (isLeadByte(c) && k + 1 < length) return unsigned(c) << 8 | static_cast<unsigned char>(text[k + 1]);
    return c;
  }
  size_t width(size_t k) const {
    if (unicodeGame()) return k < length ? utf8CharLength(text.substr(0, length), k) : 1;
    return codeAt(k) > 0xFF ? 2 : 1;
  }
};

struct Pass {
  Line line;
  size_t k = 0, n = 0;   // position and start of the pending raw segment
  int inRuby = 0;
  int rubyColumn = 0, rubyIndex = 0;
  int rubyPen = 0;       // Unicode games: where the ruby base starts, in pixels
  char32_t previous = 0; // the last visible character, for the break rules
};

void appendPending(Pass& p, size_t upTo) {
  if (upTo > p.n) appendEntryText(p.line.text.substr(p.n, upTo - p.n));
  p.n = upTo;
}

void breakRow() {
  MessageFlow& f = window().flow;
  f.penX = -1;
  f.rowFresh += 1;
  f.row += 1;
  appendRowSeparator(f.wrapIndent != 0);
}

void addAutoTime(uint32_t ms) { script::readingModes().autoDeadline += ms; }

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
    if (f.rowFresh == 0) appendEntryText(unicodeGame() ? std::string("\u3000") : sj("　"));
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

// Unicode games lay out in logical pixels: CJK keeps the full-width grid
// pitch, everything else advances by its font's width.
int halfColumns(int px, int pitch) { return pitch > 0 ? (2 * px + pitch - 1) / pitch : 0; }

// The pen, following the column when something else moved it.
int penOf(const MessageFlow& f, int pitch) {
  if (f.penX >= 0 && halfColumns(f.penX, pitch) == f.column) return f.penX;
  return (f.column * pitch) >> 1;
}

void setPen(MessageFlow& f, int px, int pitch) {
  f.penX = px;
  f.column = halfColumns(px, pitch);
}

int advanceOf(CString& object, int logicalSize, char32_t u, int pitch) {
  if (isGridCharacter(u)) return pitch;
  const int size = std::max(object.pixelSize(), 1);
  return int(std::lround(object.advance(u) * float(logicalSize) / float(size))) + (pitch - logicalSize) / 2;
}
int mainAdvance(char32_t u) {
  MessageWindow& w = window();
  return advanceOf(w.main, w.layout.fontSize, u, characterPitch());
}
// Kerning applies between two characters off the grid.
int mainKerning(char32_t left, char32_t right) {
  if (!left || isGridCharacter(left) || isGridCharacter(right)) return 0;
  MessageWindow& w = window();
  const int size = std::max(w.main.pixelSize(), 1);
  return int(std::lround(w.main.kerning(left, right) * float(w.layout.fontSize) / float(size)));
}

// The width of the unbreakable run starting at k (trailing spaces and
// kinsoku marks hang and do not count); marks, inline commands and ruby readings take no room. Stops
// once past limit.
int runWidth(const Pass& p, int limit) {
  int width = 0, spaces = 0;
  bool inRuby = p.inRuby != 0;
  char32_t previous = p.previous;
  for (size_t k = p.k; k < p.line.length && width <= limit;) {
    const char32_t u = p.line.codeAt(k);
    if (u == U'{' || u == U'}' || u == U'@' || u == U'\\') {
      if (u == U'{') inRuby = true;
      if (u == U'}') inRuby = false;
      ++k;
      continue;
    }
    if (u == U'[' || (u == U'/' && inRuby)) {
      const char close = u == U'[' ? ']' : '}';
      while (k < p.line.length && p.line.text[k] != close) k += p.line.width(k);
      k += 1;
      inRuby = false;
      continue;
    }
    if (k > p.k && breakAllowed(previous, u)) break;
    const int kern = k > p.k ? mainKerning(previous, u) : 0;
    if (breakClass(u) == BreakClass::Space || isHanging(u)) {
      spaces += mainAdvance(u) + kern;
    } else {
      width += spaces + kern + mainAdvance(u);
      spaces = 0;
    }
    previous = u;
    k += p.line.width(k);
  }
  return width;
}

// The visible character before k (a resumed line continues its row).
char32_t characterBefore(std::string_view text, size_t k) {
  while (k > 0) {
    size_t start = k - 1;
    while (start > 0 && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80) --start;
    const char32_t u = utf8CharAt(text, start);
    if (u != U'@' && u != U'\\') return u;
    k = start;
  }
  return 0;
}

// True when the character at p.k starts the next row instead of this one.
bool wrapsBefore(const Pass& p, char32_t u, int pen, int rowEnd, int indent) {
  if (pen <= indent) return false;
  if (breakAllowed(p.previous, u)) return pen + runWidth(p, rowEnd) > rowEnd;
  if (breakClass(u) == BreakClass::Space || pen + mainAdvance(u) <= rowEnd) return false;
  // A word longer than the row breaks where it overflows; kinsoku marks hang.
  return !(isHanging(u) && !isHanging(p.line.codeAt(p.k + p.line.width(p.k))));
}

// One visible character of a Unicode game: false when it went to a new row
// and is still to be laid.
bool layUnicodeCharacter(Pass& p, char32_t u) {
  MessageWindow& w = window();
  MessageFlow& f = w.flow;
  const int pitch = characterPitch();
  const int rowEnd = (w.layout.columns + 1) * pitch;
  const int pen = penOf(f, pitch) + mainKerning(p.previous, u);
  if (wrapsBefore(p, u, pen, rowEnd, (f.wrapIndent * pitch) >> 1)) {
    appendPending(p, p.k);
    breakRow();
    f.column = f.wrapIndent;
    p.previous = 0;
    if (p.inRuby == 1) {  // the base has not begun: it starts on the new row
      p.rubyColumn = f.column;
      p.rubyPen = penOf(f, pitch);
    }
    return false;
  }
  const int advance = mainAdvance(u);
  f.rowFresh = 0;
  if (!script::readingModes().jump)
    w.main.SetCodePoint(float(w.layout.originX + pen), float(w.layout.originY + f.row * rowPitch()), u);
  setPen(f, pen + advance, pitch);
  p.previous = u;
  return true;
}

// The reading of a Unicode game spread over its base, both in pixels.
void layUnicodeRuby(std::string_view reading, int baseStart, int baseEnd, int y) {
  MessageWindow& w = window();
  const int size = w.layout.fontSize / 2, pitch = characterPitch() / 2;
  int width = 0, count = 0;
  for (size_t i = 0; i < reading.size(); i += utf8CharLength(reading, i), ++count)
    width += advanceOf(w.ruby, size, utf8CharAt(reading, i), pitch);
  const int base = baseEnd - baseStart;
  const int gap = base > width ? (base - width) / (count + 1) : 0;
  int u = w.layout.originX + baseStart + (base > width ? gap : -(width - base) / 2);
  for (size_t i = 0; i < reading.size();) {
    size_t n = 1;
    const char32_t c = utf8CharAt(reading, i, &n);
    w.ruby.SetCodePoint(float(u), float(y), c);
    u += advanceOf(w.ruby, size, c, pitch) + gap;
    i += n;
  }
}

void spreadRuby(const Pass& p, int before);

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
  const int pen = penOf(w.flow, characterPitch());
  if (unicodeGame() ? pen < p.rubyPen : a < b) {
    showErrorBox(messageText(Message::RubyAcrossRows));
    return true;
  }
  if (script::readingModes().jump) return true;
  const int pitch = characterPitch();
  const int y = w.layout.originY + w.flow.row * rowPitch() - w.layout.rowHeight / 2;
  const int before = w.ruby.laidOut;
  if (unicodeGame()) {
    layUnicodeRuby(reading, p.rubyPen, pen, y);
    spreadRuby(p, before);
    return true;
  }
  const RubyPlan plan = planRuby(reading, a, b, pitch);
  int u = w.layout.originX + plan.start;
  for (size_t i = 0; i < reading.size();) {
    const bool two = isLeadByte(reading[i]) && i + 1 < reading.size();
    const unsigned code = two ? unsigned(uint8_t(reading[i])) << 8 | uint8_t(reading[i + 1]) : uint8_t(reading[i]);
    w.ruby.SetChar(float(u), float(y), uint8_t(code >> 8), uint8_t(code & 0xFF));
    u += rubyAdvance(two, pitch, plan.gap);
    i += two ? 2 : 1;
  }
  spreadRuby(p, before);
  return true;
}

// Readings are revealed spread over their base characters.
void spreadRuby(const Pass& p, int before) {
  MessageWindow& w = window();
  const int added = w.ruby.laidOut - before;
  const int bases = std::max(w.main.laidOut - p.rubyIndex, 0);
  w.reveal.rubyBase.resize(size_t(before));
  for (int j = 0; j < added; ++j) w.reveal.rubyBase.push_back(p.rubyIndex + (j * bases) / added);
}

enum class Step { Continue, LeaveLoop, Return };

// A wait requested by a mark or the end-of-line rule.
Step requestWait(Pass& p, WaitKind kind, bool lineEnd) {
  MessageWindow& w = window();
  MessageFlow& f = w.flow;
  currentEntry().rows = f.row + 1;
  addAutoTime(platform::nowMs() + uint32_t(currentText().autoWait) + uint32_t(currentText().textSpeed));
  if (script::registers().postTextHook == 0) return lineEnd ? Step::LeaveLoop : Step::Continue;
  if (size_t(f.resumeOffset) >= p.line.length) {
    f.resumeOffset = 0;
    if (isPageWait(kind)) {
      f.pageWaits += 1;
      f.rowFresh = 0;
      f.wrapIndent = 0;
      f.column = 0;
      f.penX = -1;
    }
  }
  f.waitKind = kind;
  return Step::Return;
}

WaitKind endOfLineWait(size_t nextLength, size_t afterNextLength) {
  const MessageFlow& f = window().flow;
  if (f.paragraphWait != 0 && nextLength == 0) {
    if (f.paragraphWait & 4) return afterNextLength == 0 ? kPageWait : kClickWait;
    return static_cast<WaitKind>(f.paragraphWait);
  }
  return static_cast<WaitKind>(f.lineEndWait);
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
  if (unicodeGame()) p.previous = characterBefore(text, p.k);
  const int cols2 = 2 * w.layout.columns;
  if (f.column == 0) startRow(p);
  while (p.k <= p.line.length) {
    const unsigned code = p.line.codeAt(p.k);
    const bool atEnd = p.k >= p.line.length;
    if (!atEnd && code < 0x100 && std::string_view("/@[\\{}").find(char(code)) != std::string_view::npos &&
        (code != '/' || p.inRuby)) {
      if (code == '{') {
        p.rubyColumn = f.column;
        p.rubyPen = penOf(f, characterPitch());
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
    if (!atEnd && unicodeGame()) {
      if (!layUnicodeCharacter(p, code)) continue;
      p.k += p.line.width(p.k);
      addAutoTime(uint32_t(autoWaitPerChar()) + uint32_t(currentText().textSpeed));
      if (p.inRuby) ++p.inRuby;
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
      if (!script::readingModes().jump) placeCharacter(w.main, f.column, f.row, code);
      f.column += code > 0xFF ? 2 : 1;
      p.k += p.line.width(p.k);
      addAutoTime(uint32_t(autoWaitPerChar()) + uint32_t(currentText().textSpeed));
      if (p.inRuby) ++p.inRuby;
      continue;
    }
    appendPending(p, p.line.length);
    f.resumeOffset = int(p.line.length);
    const WaitKind kind = endOfLineWait(nextLength, afterNextLength);
    if (kind == kNoWait) break;
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
  f.penX = -1;
  f.resumeOffset = 0;
  if (p.inRuby) showErrorBox(messageText(Message::BadRuby));
  f.waitKind = kNoWait;
  return 1;
}

}  // namespace velmora::text
