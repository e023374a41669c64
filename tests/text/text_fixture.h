#pragma once
// A message window without a device: glyphs are placed (positions, codes,
// reveal counters) but no texture is made.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "script/modes.h"
#include "base/settings.h"
#include "base/textconv.h"
#include "platform/platform.h"
#include "platform/vclock.h"
#include "script/interp.h"
#include "text/backlog.h"
#include "text/message.h"

namespace velmora::text::test {

class MessageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    resetSettings();
    script::resetModes();
    script::resetInterpreter();
    platform::setVirtualClock(true);
    MessageWindow& w = window();
    w.layout = MessageLayout{};
    w.layout.originX = 10;
    w.layout.originY = 100;
    w.layout.columns = 20;
    w.layout.fontSize = 24;
    w.layout.rowHeight = 24;
    w.layout.rowGap = 8;
    w.flow = MessageFlow{};
    w.main.Create(sj("ＭＳ ゴシック"), 24, 0, 400, 0);
    w.ruby.Create(sj("ＭＳ ゴシック"), 12, 0, 200, 0);
    w.created = true;
    resetMessageWindow();
  }
  void TearDown() override {
    releaseMessageWindow();
    platform::setVirtualClock(false);
  }

  // Lays out a UTF-8 line as the interpreter hands it over.
  int show(const char* utf8, size_t next = 0, size_t afterNext = 0) {
    line_ = utf8_to_sjis(utf8);
    return showTextLine(line_, 0, next, afterNext);
  }
  // Grid cell of main glyph k: (column, row).
  std::pair<int, int> cell(int k) const {
    const GlyphSlot& s = window().main.slots()[size_t(k)];
    const int p = window().layout.fontSize + window().layout.charGap;
    const int r = window().layout.rowHeight + window().layout.rowGap;
    return {(s.x - window().layout.originX) * 2 / p, (s.y - window().layout.originY) / r};
  }
  std::string entryUtf8() const { return sjis_to_utf8(entryText(currentEntry())); }

  std::string line_;
};

inline std::string repeat(const char* utf8, int n) {
  std::string s;
  for (int i = 0; i < n; ++i) s += utf8;
  return s;
}

}  // namespace velmora::text::test
