// Wiring of the text library: command families, the interpreter's text
// hooks, the text layer and the read marks.
#include "bindings/catalogue.h"
#include "core/modes.h"
#include "core/scenario.h"
#include "render/display.h"
#include "render/render.h"
#include "script/interp.h"
#include "text/backlog.h"
#include "text/commands.h"
#include "text/message.h"

namespace velmora::text {
namespace {

bool backlogEntryEmpty() { return currentEntry().text[0] == 0; }

void readMark(int32_t& flag) {
  modes::enterTextBlock(flag, script::activeScriptKey(), script::registers().currentLine);
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

int windowFlags() { return window().windowVisible; }

std::string currentText() { return window().created ? shownText() : script::lastPrintedTextLine(); }

// Before setMessCreate there is nothing to show the text in: it is printed,
// and still laid out so that the backlog and the waits behave the same.
int textLine(std::string_view line, size_t textStart, size_t nextLength, size_t afterNextLength) {
  if (!window().created) script::printTextLine(line, textStart, nextLength, afterNextLength);
  return showTextLine(line, textStart, nextLength, afterNextLength);
}

}  // namespace

void bindTextCores() {
  bindings::bindCores(messageCores());
  bindings::bindCores(fontCores());
  bindings::bindCores(backlogCores());
  bindings::bindCores(textSpriteCores());
  script::setTextLineHandler(textLine);
  script::TextPartHooks& h = script::textPartHooks();
  h.backlogEntryEmpty = backlogEntryEmpty;
  h.setSpeakerName = setEntryName;
  h.readMark = readMark;
  h.recordPosition = recordPosition;
  h.pageState = pageState;
  h.resumeOffset = resumeOffset;
  render::setTextLayerDrawer(drawTextLayer);
  render::setAspectTextShifter(applyAspectShift);
  modes::hooks().windowVisibleFlags = windowFlags;
  scenario::hooks().currentText = currentText;
}

}  // namespace velmora::text
