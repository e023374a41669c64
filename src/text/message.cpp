// The message window's state, the reveal at the typing speed and the text
// layer of the frame.
#include "text/message.h"

#include <algorithm>
#include <cmath>

#include "script/modes.h"
#include "base/settings.h"
#include "base/sjis.h"
#include "platform/inject.h"
#include "platform/platform.h"
#include "render/display.h"
#include "render/geometry.h"
#include "render/render.h"
#include "script/interp.h"
#include "sprite/motion.h"
#include "text/backlog.h"
#include "text/fonts.h"
#include "text/voicing.h"
#include "text/text_settings.h"
#include "script/reading_settings.h"

namespace velmora::text {
namespace {

constexpr uint32_t kOpaque = 0xFFFFFFFF;
constexpr uint32_t kClear = 0x00FFFFFF;

// With fade, each character revealed at or after `from` fades in over 256 ms.
void fadeCharacters(CString& s, int e, uint32_t now) {
  auto& slots = s.slots();
  for (int i = s.visible; i < e; ++i) slots[size_t(i)].revealTime = now;
  s.visible = std::max(s.visible, e);
  int first = s.firstFading;
  for (int i = s.firstFading; i < s.visible; ++i) {
    GlyphSlot& g = slots[size_t(i)];
    const uint32_t age = now - g.revealTime;
    g.colour = age >= 256 ? kOpaque : (std::min<uint32_t>(255, age) << 24 | 0xFFFFFF);
    if (first == i && age >= 256) first = i + 1;
  }
  s.firstFading = first;
}

// Ruby characters whose base index is below e.
int rubyShown(int e) {
  const auto& table = window().reveal.rubyBase;
  const int laid = window().ruby.laidOut;
  int n = 0;
  while (n < laid && n < int(table.size()) && table[size_t(n)] < e) ++n;
  return n;
}

void showAll(CString& s) {
  s.SetAlpha(0, kOpaque);
  s.visible = s.firstFading = s.laidOut;
}

}  // namespace

MessageWindow& window() {
  static MessageWindow w;
  return w;
}

void formatMessDraw() {
  MessageWindow& w = window();
  w.reveal.startTime = platform::nowMs();
  for (CString* s : {&w.main, &w.ruby}) {
    if (messageFades()) s->SetAlpha(s->startCount, kClear);
    s->visible = s->firstFading = s->startCount;
  }
}

int setMessDraw() {
  MessageWindow& w = window();
  CString& m = w.main;
  const script::ReadingModes& rm = script::readingModes();
  if (m.firstFading >= m.laidOut && w.ruby.firstFading >= w.ruby.laidOut) return 0;
  const int speed = currentText().textSpeed;
  if (speed <= 0 || (rm.currentBlockRead && script::readTextAtOnce())) {
    showAll(m);
    showAll(w.ruby);
    return 0;
  }
  const uint32_t now = platform::nowMs();
  int e = std::min(m.startCount + int((now - w.reveal.startTime) / uint32_t(speed)), m.laidOut);
  if (pausesAtPunctuation() != 0 && !m.pauses.empty() && m.pauses.front() < e) {
    e = m.pauses.front();
    m.pauses.erase(m.pauses.begin());
    w.reveal.startTime += uint32_t(speed);
  }
  const int rubyE = rubyShown(e);
  if (messageFades()) {
    fadeCharacters(m, e, now);
    fadeCharacters(w.ruby, rubyE, now);
  } else {
    m.visible = m.firstFading = e;
    w.ruby.visible = w.ruby.firstFading = rubyE;
  }
  return (rm.skip || rm.fast) ? 0 : 1;
}

void endMessDraw() {
  MessageWindow& w = window();
  const bool keep = isClickWait(w.flow.waitKind);
  for (CString* s : {&w.main, &w.ruby}) {
    showAll(*s);
    s->startCount = keep ? s->laidOut : 0;
  }
  auto& pauses = w.main.pauses;
  const int start = w.main.startCount;
  pauses.erase(pauses.begin(), std::find_if(pauses.begin(), pauses.end(), [&](int p) { return p >= start; }));
  if (w.flow.waitKind != kNoWait) voicePageShown();
  // The page is all there and the handler goes on to wait for the player,
  // unless input not yet taken (a second click) moves it on.
  if (w.flow.waitKind != kNoWait && !platform::inputPending() && textHooks().textWaitStarted)
    textHooks().textWaitStarted();
}

int aspectShiftPixels() { return render::aspectTextOffset(window().layout.aspectShift != 0); }

void applyAspectShift() {
  MessageWindow& w = window();
  for (CString* s : {&w.main, &w.ruby}) s->setVerticalShift(aspectShiftPixels());
}

void applyFontToMessage() {
  MessageWindow& w = window();
  if (!w.created) return;
  const CurrentTextState& t = currentText();
  const float rate = render::geometry().displayRate > 0 ? render::geometry().displayRate : 1.0f;
  const int size = int(float(w.layout.fontSize) * rate);
  w.main.SetFont(t.fontFile, size, t.fontStyle);
  w.ruby.SetFont(t.fontFile, size / 2, t.fontStyle & 15);
}

void applyColoursToMessage() {
  MessageWindow& w = window();
  const auto& c = currentText().fontColor;
  for (CString* s : {&w.main, &w.ruby}) s->SetColor(uint32_t(c[0]), uint32_t(c[1]), uint32_t(c[2]));
}

void drawTextLayer() {
  MessageWindow& w = window();
  if (!w.created || script::readingModes().jump) return;
  // The text shakes with the window-layer sprites when a screen quake aims
  // at the message layer.
  float ox = 0, oy = 0;
  sprite::screenQuakeOffset(2, ox, oy);
  const float rate = render::geometry().displayRate > 0 ? render::geometry().displayRate : 1.0f;
  for (CString* s : {&w.main, &w.ruby}) s->SetOffset(int(std::lround(ox * rate)), int(std::lround(oy * rate)));
  w.main.Draw();
  w.ruby.Draw();
}

namespace {
void appendUtf8(std::string& out, char32_t u) {
  if (u < 0x80) {
    out.push_back(char(u));
    return;
  }
  const int tail = u < 0x800 ? 1 : u < 0x10000 ? 2 : 3;
  static const unsigned char kLead[] = {0, 0xC0, 0xE0, 0xF0};
  out.push_back(char(kLead[tail] | (u >> (6 * tail))));
  for (int i = tail - 1; i >= 0; --i) out.push_back(char(0x80 | ((u >> (6 * i)) & 0x3F)));
}
}  // namespace

std::string shownText() {
  const CString& m = window().main;
  std::string out;
  for (int i = 0; i < m.laidOut; ++i) {
    const unsigned code = m.slots()[size_t(i)].code;
    if (code & kUnicodeGlyph) {
      appendUtf8(out, glyphUnicode(code));
      continue;
    }
    if (code > 0xFF) out.push_back(char(code >> 8));
    out.push_back(char(code & 0xFF));
  }
  return out;
}

void resetMessageWindow() {
  MessageWindow& w = window();
  script::registers().lastTextLine = -1;
  resetBacklog();
  script::readingModes().autoDeadline = 0;
  w.flow.pageWaits = 0;
  w.flow.waitKind = kNoWait;
  w.flow.row = 0;
  w.main.Clear();
  w.ruby.Clear();
  w.reveal.rubyBase.clear();
}

void releaseMessageWindow() {
  MessageWindow& w = window();
  for (CString* s : {&w.main, &w.ruby, &w.stringMain, &w.stringRuby}) s->Release();
  for (std::string& path : w.privateFonts) {
    if (!path.empty()) unregisterPrivateFont(path);
    path.clear();
  }
  w.created = false;
}

}  // namespace velmora::text
