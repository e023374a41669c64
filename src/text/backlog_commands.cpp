// The backlog, read-mark and reading-mode commands.
#include <algorithm>

#include "bindings/bridge.h"
#include "core/modes.h"
#include "core/report.h"
#include "script/control.h"
#include "script/interp.h"
#include "script/loader.h"
#include "sprite/sprite.h"
#include "text/backlog.h"
#include "text/commands.h"
#include "text/message.h"

namespace velmora::text {
namespace {

using bindings::CommandContext;
using bindings::intArg;
using bindings::intResult;

void cmd_getLogCount(CommandContext c) { intResult(c, 1, backlog().count); }
void cmd_getLog(CommandContext c) { bindings::stringResult(c, 2, entryText(entry(intArg(c, 1)))); }
void cmd_getLogLine(CommandContext c) { intResult(c, 2, entry(intArg(c, 1)).rows); }
void cmd_getTagLog(CommandContext c) { bindings::stringResult(c, 2, entryName(entry(intArg(c, 1)))); }
void cmd_setTagLog(CommandContext c) { setEntryName(bindings::stringArg(c, 1)); }

void cmd_setLog(CommandContext c) {
  BacklogEntry& e = currentEntry();
  if (intArg(c, 3) == 0) e.text[0] = 0;
  appendEntryText(bindings::stringArg(c, 1));
  e.rows = intArg(c, 2);
  const script::Registers& r = script::registers();
  const auto& frames = script::gosubFrames();
  if (window().flow.waitKind != kNoWait) {
    e.script = script::activeScriptKey();
    e.line -= 1;
  } else if (!frames.empty()) {
    e.script = frames.back().script;
    e.line = frames.back().returnLine - 1;
  } else {
    e.script = 0;
    e.line = r.currentLine + 1;
  }
  e.saveDepth = saveDepth();
  modes::reading().returnScript = 0;
  modes::reading().returnLine = 0;
}

void cmd_getAlreadyRead(CommandContext c) { intResult(c, 1, modes::reading().currentBlockRead); }

// Counts the read blocks and all blocks of every script.
void cmd_getAlreadyReadFlag(CommandContext c) {
  int read = 0, total = 0;
  for (const auto& [key, blocks] : script::allTextBlocks())
    for (const auto& [line, flag] : blocks) {
      ++total;
      if (flag) ++read;
    }
  bindings::beginList(c);
  intResult(c, 1, read);
  bindings::appendListElement(c);
  intResult(c, 2, total);
  bindings::appendListElement(c);
}

void cmd_setAuto(CommandContext c) {
  switch (intArg(c, 1)) {
    case 0: modes::stopModes(); break;
    case 1: modes::startAuto(); break;
    case 2: modes::toggleAuto(); break;
    default: break;
  }
}

void cmd_setSkip(CommandContext c) {
  switch (intArg(c, 1)) {
    case 0: modes::stopModes(); break;
    case 1: modes::startSkip(); break;
    case 2: modes::toggleSkip(); break;
    default: break;
  }
}

void cmd_setJump(CommandContext) { modes::startJumpMode(); }
void cmd_stopMode(CommandContext) { modes::stopModeCommand(sprite::commitAll); }
void cmd_getMode(CommandContext c) { intResult(c, 1, modes::modeBits()); }
void cmd_getSkip(CommandContext c) { intResult(c, 1, 2 * modes::reading().fast + modes::reading().skip); }

void cmd_saveAlready(CommandContext) {
  saveAlreadyRead();
}

const bindings::CoreBinding kBacklogCores[] = {
    {"getAlreadyReadFlag", cmd_getAlreadyReadFlag},
    {"getAlreadyRead", cmd_getAlreadyRead},
    {"setAuto", cmd_setAuto},
    {"setSkip", cmd_setSkip},
    {"setJump", cmd_setJump},
    {"stopMode", cmd_stopMode},
    {"getMode", cmd_getMode},
    {"getSkip", cmd_getSkip},
    {"setLog", cmd_setLog},
    {"getLog", cmd_getLog},
    {"getLogLine", cmd_getLogLine},
    {"setTagLog", cmd_setTagLog},
    {"getTagLog", cmd_getTagLog},
    {"getLogCount", cmd_getLogCount},
    {"saveAlready", cmd_saveAlready},
};

}  // namespace

std::span<const bindings::CoreBinding> backlogCores() { return kBacklogCores; }

}  // namespace velmora::text
