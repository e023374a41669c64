// The text library's command families, and what it gives the interpreter:
// the text lines, the text-part steps and the read marks.
#include "bindings/catalogue.h"
#include "script/modes.h"
#include "render/display.h"
#include "render/render.h"
#include "script/interp.h"
#include "text/backlog.h"
#include "text/commands.h"
#include "text/message.h"

namespace velmora::text {

bool backlogEntryEmpty() { return currentEntry().text[0] == 0; }

void readMark(int32_t& flag) {
  script::enterTextBlock(flag, script::activeScriptKey(), script::registers().currentLine);
}

void recordPosition(ScriptKey key, int line) {
  BacklogEntry& e = currentEntry();
  e.script = key;
  e.line = line;
  e.page = window().flow.waitKind;
  e.saveDepth = saveDepth();
}

int pageState() { return window().flow.waitKind; }

int resumeOffset() { return window().flow.resumeOffset; }

// Before setMessCreate there is nothing to show the text in: it is printed,
// and still laid out so that the backlog and the waits behave the same.
int textLine(std::string_view line, size_t textStart, size_t nextLength, size_t afterNextLength) {
  if (!window().created) script::printTextLine(line, textStart, nextLength, afterNextLength);
  return showTextLine(line, textStart, nextLength, afterNextLength);
}

std::string currentMessageText() { return window().created ? shownText() : script::lastPrintedTextLine(); }

void bindTextCores() {
  bindings::bindCores(messageCores());
  bindings::bindCores(fontCores());
  bindings::bindCores(backlogCores());
  bindings::bindCores(textSpriteCores());
}

}  // namespace velmora::text
