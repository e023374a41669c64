// Transfers of control. Every command works only through the interpreter
// registers: a jump sets the line one before its target and raises
// jumpRequest, so that the loop's line advance lands on the target.
#include "script/control.h"

#include "base/report.h"
#include "base/encoding.h"
#include "base/sjis.h"
#include "base/textconv.h"
#include "script/expression.h"
#include "script/expression_internal.h"
#include "script/interp.h"
#include "script/loader.h"
#include "script/messages.h"
#include "script/scan.h"

namespace velmora::script {
namespace {

using detail::splitItems;
using detail::toInt32;
using detail::trimBlanks;

struct LoopRecord {
  int startLine = 0, startPart = 0;
  int exitLine = -1, exitPart = -1;  // known once the loop's next has run
  int32_t* counter = nullptr;        // null: the loop counts in 'own'
  int32_t own = 0;
  uint64_t epoch = 0;  // variablesEpoch() when the counter was resolved
  int32_t limit = 0, step = 1;
  bool ascending = true;
};

// Where an if/elseif/else chain stands: an else ran (or none is open), a
// branch ran, or an if waits for a true condition.
enum class IfChain : uint8_t { Closed, BranchTaken, Waiting };

struct ControlState {
  std::vector<GosubFrame> frames;  // one per active gosub
  std::vector<int> savedLoopCounts;
  std::vector<LoopRecord> loops;  // index < loopDepth are open
  int loopDepth = 0;
  int loopCount = 0;  // loops opened since the current subroutine level began
  // One entry per gosub depth.
  std::vector<IfChain> ifState = std::vector<IfChain>(8, IfChain::Closed);
};
ControlState controlState;

ScriptKey startScriptKey() {
  static const ScriptKey key = crc64_hash(kStartScriptPath);
  return key;
}

struct Position {
  int line, part;
};

// Where execution resumes after the current part.
Position afterCurrentPart() {
  const Registers& r = registers();
  if (r.currentPart + 1 < r.partCount) return {r.currentLine - 1, r.currentPart + 1};
  return {r.currentLine, 0};
}

void resumeAt(int line, int part) {
  Registers& r = registers();
  r.currentLine = line;
  r.currentPart = part;
  r.jumpRequest = 1;
}

void skipRestOfLine() { resumeAt(registers().currentLine, 0); }

void selectScript(ScriptKey key) {
  Registers& r = registers();
  if (key == startScriptKey()) {
    r.scriptSwitchRequest = kSwitchToSlot0;
  } else if (key == r.subScriptKey) {
    r.scriptSwitchRequest = kSwitchToSlot1;
  } else {
    r.subScriptKey = key;
    r.subScriptName = scriptReportName(key);
    r.scriptSwitchRequest = kSwitchLoadSlot1;
  }
}

void reportMissingLabel(std::string_view label) {
  reportError(std::string(label) + messageText(Message::LabelMissing));
}

void jumpTo(const LabelInfo& label) {
  resumeAt(label.line - 1, 0);
  selectScript(label.owner);
}

IfChain& ifState() {
  size_t depth = controlState.frames.size();
  if (depth >= controlState.ifState.size()) controlState.ifState.resize(depth + 1, IfChain::Closed);
  return controlState.ifState[depth];
}

}  // namespace

const std::vector<GosubFrame>& gosubFrames() { return controlState.frames; }
int gosubDepth() { return static_cast<int>(controlState.frames.size()); }
int loopDepth() { return controlState.loopDepth; }

void jumpToLabel(std::string_view label) {
  auto info = findLabel(label);
  if (!info) return reportMissingLabel(label);
  jumpTo(*info);
}

void gosubLabel(std::string_view label) {
  auto info = findLabel(label);
  if (!info) return reportMissingLabel(label);
  if (controlState.frames.size() >= kMaxGosubDepth)
    return stopAtLimit(messageText(Message::GosubTooDeepBefore) + std::to_string(kMaxGosubDepth) +
        messageText(Message::GosubTooDeepAfter));
  const Registers& r = registers();
  Position back = afterCurrentPart();
  GosubFrame f;
  f.slot = r.activeSlot;
  f.script = r.activeSlot == 0 ? startScriptKey() : r.subScriptKey;
  f.returnLine = back.line;
  f.returnPart = back.part;
  controlState.frames.push_back(f);
  controlState.savedLoopCounts.push_back(controlState.loopCount);
  jumpTo(*info);
  controlState.loopCount = 0;
}

void clearControlState() {
  controlState = ControlState{};
}

void cmd_goto(const char* args) {
  jumpToLabel(evaluate(args).text);
}

void cmd_gosub(const char* args) {
  gosubLabel(evaluate(args).text);
}

void cmd_return(const char* args) {
  ScriptValue v = evaluate(args);
  if (controlState.frames.empty()) {
    reportError(messageText(Message::ReturnWithoutGosub));
    return;
  }
  controlState.loopDepth = std::max(0, controlState.loopDepth - controlState.loopCount);
  GosubFrame f = controlState.frames.back();
  controlState.frames.pop_back();
  controlState.loopCount = controlState.savedLoopCounts.back();
  controlState.savedLoopCounts.pop_back();
  if (v.kind == kKindString && !v.text.empty()) {
    jumpToLabel(v.text);
  } else {
    resumeAt(f.returnLine, f.returnPart);
    selectScript(f.script);
  }
  if (controlState.frames.empty()) registers().userSubName.clear();
}

void cmd_labelExist(const char* args) {
  std::vector<std::string> items = splitItems(args);
  if (items.empty()) return;
  int32_t* result = numericReference(items[0]);
  if (!result) return;
  bool exists = items.size() >= 2 && findLabel(evaluate(items[1]).text).has_value();
  *result = exists ? 1 : 0;
}

void cmd_defsub(const char* args) {
  userSubTable().insert(crc32_hash(trimBlanks(args)));
}

// ---- getParam ---------------------------------------------------------------

namespace {

bool takenLiterally(char c) { return c == '-' || isIdentChar(c); }

void splitTarget(std::string_view target, std::string_view& ref, std::string_view& fallback, bool& hasFallback) {
  hasFallback = false;
  for (size_t i = 0; i < target.size(); ++i) {
    if (const size_t step = charLength(target, i); step > 1) {
      i += step - 1;
    } else if (target[i] == '=') {
      ref = trimBlanks(target.substr(0, i));
      fallback = target.substr(i + 1);
      hasFallback = true;
      return;
    }
  }
  ref = trimBlanks(target);
}

}  // namespace

void cmd_getParam(const char* args) {
  std::vector<std::string> targets = splitItems(args);
  // Outside a user subroutine the buffer still holds the last call's text;
  // it counts as no arguments, so that every target takes its default.
  const Registers& r = registers();
  std::vector<std::string> given = r.userSubName.empty() ? std::vector<std::string>() : splitItems(r.callArguments);
  for (size_t i = 0; i < targets.size(); ++i) {
    std::string_view ref, fallback;
    bool hasFallback;
    splitTarget(targets[i], ref, fallback, hasFallback);
    if (ref.empty()) continue;
    bool present = i < given.size();
    if (ref[0] == '$') {
      std::string* var = stringReference(ref);
      if (!var) continue;
      if (present && !given[i].empty() && takenLiterally(given[i][0])) {
        *var = given[i];
        continue;
      }
      ScriptValue v = present ? evaluate(given[i]) : ScriptValue{};
      if (v.kind == kKindInvalid) v = hasFallback ? evaluate(fallback) : ScriptValue{};
      *var = v.text;
    } else if (ref[0] == '%') {
      int32_t* var = numericReference(ref);
      if (!var) continue;
      ScriptValue v = present ? evaluate(given[i]) : ScriptValue{};
      if (v.kind == kKindInvalid) v = hasFallback ? evaluate(fallback) : ScriptValue{};
      *var = toInt32(v.number);
    }
  }
}

// ---- for, next, break, continue ----------------------------------------------

namespace {

LoopRecord* topLoop() { return controlState.loopDepth > 0 ? &controlState.loops[controlState.loopDepth - 1] : nullptr; }

int32_t& counterOf(LoopRecord& rec) {
  // A reset of every variable freed what the record points at.
  if (rec.counter && rec.epoch != variablesEpoch()) rec.counter = nullptr;
  return rec.counter ? *rec.counter : rec.own;
}

// Steps the counter; true when the loop has run its course.
bool stepLoop(LoopRecord& rec) {
  int32_t& v = counterOf(rec);
  v = static_cast<int32_t>(static_cast<uint32_t>(v) + static_cast<uint32_t>(rec.step));
  return rec.ascending ? v > rec.limit : v < rec.limit;
}

// A loop that a subroutine's caller opened never takes the count below 0.
void closeLoop() {
  if (controlState.loopCount > 0) --controlState.loopCount;
  if (controlState.loopDepth > 0) --controlState.loopDepth;
  if (controlState.loopDepth == 0) controlState.loops.clear();
}

void leaveLoop(LoopRecord& rec) {
  int line = rec.exitLine, part = rec.exitPart;
  closeLoop();
  registers().skipToNext = 0;
  resumeAt(line, part);
}

}  // namespace

void cmd_for(const char* args) {
  std::vector<std::string> items = splitItems(args);
  auto number = [&](size_t i) { return i < items.size() ? toInt32(evaluate(items[i]).number) : 0; };
  int32_t from = number(1), to = number(2);
  int32_t step = items.size() == 4 ? number(3) : 1;
  Position body = afterCurrentPart();
  LoopRecord rec;
  rec.startLine = body.line;
  rec.startPart = body.part;
  // A counter that names nothing still counts, in the record itself.
  rec.counter = items.empty() ? nullptr : numericReference(items[0]);
  rec.epoch = variablesEpoch();
  rec.limit = to;
  rec.step = step;
  rec.ascending = step >= 0;
  ++controlState.loopCount;
  ++controlState.loopDepth;
  if (controlState.loops.size() < static_cast<size_t>(controlState.loopDepth)) controlState.loops.push_back(rec);
  else controlState.loops[controlState.loopDepth - 1] = rec;
  if ((step > 0 && from > to) || (step < 0 && from < to)) registers().skipToNext = 1;
  counterOf(controlState.loops[controlState.loopDepth - 1]) = from;
}

void cmd_next(const char*) {
  Registers& r = registers();
  LoopRecord* rec = topLoop();
  if (!rec) {
    r.skipToNext = 0;
    return;
  }
  if (r.skipToNext) {
    closeLoop();
    r.skipToNext = 0;
    return;
  }
  if (stepLoop(*rec)) {
    closeLoop();
    return;
  }
  if (rec->exitLine == -1) {
    Position after = afterCurrentPart();
    rec->exitLine = after.line;
    rec->exitPart = after.part;
  }
  resumeAt(rec->startLine, rec->startPart);
}

void cmd_continue(const char*) {
  LoopRecord* rec = topLoop();
  if (!rec) return;
  if (!stepLoop(*rec)) return resumeAt(rec->startLine, rec->startPart);
  if (rec->exitLine == -1) registers().skipToNext = 1;
  else leaveLoop(*rec);
}

void cmd_break(const char*) {
  LoopRecord* rec = topLoop();
  if (!rec) return;
  if (rec->exitLine == -1) registers().skipToNext = 1;
  else leaveLoop(*rec);
}

// ---- if, elseif, else -------------------------------------------------------

namespace {

// Length of the condition: up to the ')' that brings the depth from 1 back
// to 0; quoted text is passed over so that a ")" literal cannot end it.
size_t conditionLength(std::string_view s) {
  int depth = 0;
  const size_t close = scanOutsideQuotes(s, [&](size_t, char c) {
    if (c == '(') ++depth;
    else if (c == ')' && depth-- == 1) return false;
    return true;
  });
  return close < s.size() ? close + 1 : 0;
}

void runStatement(std::string_view statement, IfChain state) {
  Registers& r = registers();
  r.rewriteBuffer.assign(statement);
  r.rewriteRequest = 1;
  ifState() = state;
}

// The condition and the statement after it: exactly one byte after the ')'
// is skipped.
void conditional(const char* args) {
  std::string_view text(args);
  size_t n = conditionLength(text);
  if (n == 0) {
    reportError(messageText(Message::BadCondition));
    return skipRestOfLine();
  }
  if (evaluate(text.substr(0, n)).number == 0) return skipRestOfLine();
  runStatement(n + 1 < text.size() ? text.substr(n + 1) : std::string_view(), IfChain::BranchTaken);
}

}  // namespace

void cmd_if(const char* args) {
  ifState() = IfChain::Waiting;
  conditional(args);
}

void cmd_elseif(const char* args) {
  if (ifState() == IfChain::BranchTaken) return skipRestOfLine();
  conditional(args);
}

void cmd_else(const char* args) {
  if (ifState() == IfChain::BranchTaken) return skipRestOfLine();
  std::string_view text(args);
  if (text.empty()) return;
  size_t i = 0;
  while (i < text.size() && !(text[i] >= 'a' && text[i] <= 'z')) i += charLength(text, i);
  runStatement(i < text.size() ? text.substr(i) : std::string_view(), IfChain::Closed);
}

}  // namespace velmora::script
