#include "script/interp.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <stdexcept>

#include "base/pump.h"
#include "base/report.h"
#include "base/encoding.h"
#include "base/sjis.h"
#include "base/state.h"
#include "base/textconv.h"
#include "script/control.h"
#include "script/messages.h"

namespace velmora::script {
namespace {

constexpr size_t kMaxName = 31;
constexpr size_t kMaxInlineArgs = 127;
// A few hundred microseconds of script at most between two busy-loop checks;
// the check itself looks at the clock before doing anything costly.
constexpr int kJumpsBetweenChecks = 256;

// A part with its command name resolved once; the text of a line never
// changes while its slot holds it, so the split and the lookup are cached.
struct Part {
  std::string text;
  bool resolved = false;
  uint8_t nameLength = 0;
  CommandHandler handler = nullptr;  // found in the command table
};

struct CachedLine {
  bool split = false;
  std::vector<Part> parts;
};

struct InterpState {
  Registers regs;
  std::array<LineArray, 2> slots;
  std::array<std::vector<CachedLine>, 2> cache;
  std::unordered_map<std::string, CommandHandler> commands;
  std::unordered_set<uint32_t> userSubs;
  std::unordered_map<uint32_t, int> luaFunctions, squirrelFunctions;
  InterpreterHooks hooks;
  std::vector<std::string> scratchSplit;
  std::array<uint32_t, 2> generation{};  // bumped whenever a slot is refilled
  std::vector<Part> working;             // the current line's parts once one was rewritten
  std::string lastShown;                 // the last line the fallback text handler printed
  size_t pendingTextStart = 0;           // a speaker line's text start, kept across *pretext_lb
  bool usingWorking = false;
  bool stoppedAtLimit = false;
};
InterpState interpState;

size_t nameLength(std::string_view text) {
  size_t n = 0;
  while (n < text.size() && n < kMaxName && isIdentChar(text[n])) ++n;
  return n;
}

const std::vector<Part>& cachedParts(int slot, int line) {
  auto& cache = interpState.cache[slot];
  if (cache.size() != interpState.slots[slot].size()) cache.assign(interpState.slots[slot].size(), CachedLine{});
  CachedLine& c = cache[line];
  if (!c.split) {
    splitPartsInto(interpState.slots[slot][line], ':', interpState.scratchSplit);
    c.parts.clear();
    for (auto& s : interpState.scratchSplit) c.parts.push_back(Part{std::move(s)});
    c.split = true;
  }
  return c.parts;
}

void resolve(Part& p) {
  p.nameLength = static_cast<uint8_t>(nameLength(p.text));
  auto it = interpState.commands.find(std::string(p.text, 0, p.nameLength));
  p.handler = it == interpState.commands.end() ? nullptr : it->second;
  p.resolved = true;
}

// The argument text: everything after the name, separator included, but only
// when at least two bytes follow the name.
const char* argumentText(const Part& p) {
  return p.text.size() >= size_t(p.nameLength) + 2 ? p.text.c_str() + p.nameLength : "";
}

enum class PartResult { Next, EndLoop };

// No wrapper names a word that is no command, so the report does.
void reportUnknownCommand(std::string_view name) {
  setErrcmd(name);
  reportError(messageText(Message::UnknownCommand));
}

PartResult runCommandPart(Part& p, int& forDepth) {
  if (!p.resolved) resolve(p);
  std::string_view name(p.text.data(), p.nameLength);
  const char* args = argumentText(p);
  Registers& r = interpState.regs;
  if (r.skipToNext) {
    if (name == "for") {
      ++forDepth;
    } else if (name == "next") {
      if (forDepth > 0) {
        --forDepth;
      } else if (p.handler) {
        p.handler(args);
        applyRequests();
      }
    }
    return PartResult::Next;
  }
  if (p.handler) {
    p.handler(args);
    if (quitRequest) return PartResult::EndLoop;
    applyRequests();
    return PartResult::Next;
  }
  if (uint32_t h = crc32_hash(name); interpState.userSubs.count(h)) {
    r.userSubName.assign(name);
    r.callArguments.assign(args, std::min<size_t>(std::strlen(args), 255));
    gosubLabel("*" + std::string(name));
  } else if (auto it = interpState.luaFunctions.find(h); it != interpState.luaFunctions.end() && interpState.hooks.callLua) {
    interpState.hooks.callLua(name, args, it->second);
  } else if (auto it2 = interpState.squirrelFunctions.find(h); it2 != interpState.squirrelFunctions.end() && interpState.hooks.callSquirrel) {
    interpState.hooks.callSquirrel(name, args, it2->second);
  } else {
    reportUnknownCommand(name);
    return PartResult::Next;
  }
  applyRequests();
  // A subroutine that ran into the gosub limit, or a foreign function that
  // ended the program.
  return quitRequest ? PartResult::EndLoop : PartResult::Next;
}

}  // namespace

int printTextLine(std::string_view line, size_t textStart, size_t, size_t) {
  if (textStart < line.size()) line.remove_prefix(textStart);
  else if (textStart > 0) line = {};
  interpState.lastShown.assign(line);
  std::string utf8 = gameToUtf8(line);
  while (!utf8.empty() && (utf8.back() == '\r' || utf8.back() == ' ')) utf8.pop_back();
  std::fwrite(utf8.data(), 1, utf8.size(), stdout);
  std::fputc('\n', stdout);
  return 1;
}

namespace {

size_t lineLength(int line) {
  const LineArray& lines = activeLines();
  return line >= 0 && line < static_cast<int>(lines.size()) ? lines[line].size() : 0;
}

// Backlog and read-mark steps of a text line that opens a new text block.
// Returns the offset where the text starts on the (possibly advanced) line.
size_t startTextBlock() {
  Registers& r = interpState.regs;
  r.lastTextLine = r.currentLine;
  r.textBlockScript = activeScriptKey();
  r.textBlockLine = r.currentLine;
  const int blockLine = r.currentLine;
  size_t textStart = 0;
  const std::string& line = activeLines()[r.currentLine];
  const std::string& open = sj("【");
  const std::string& close = sj("】");
  if (line.compare(0, open.size(), open) == 0) {
    size_t i = open.size();
    while (i < line.size() && line.compare(i, close.size(), close) != 0) i += charLength(line, i);
    if (interpState.hooks.setSpeakerName) interpState.hooks.setSpeakerName(std::string_view(line).substr(open.size(), std::min<size_t>(i - open.size(), 255)));
    size_t after = std::min(line.size(), i + close.size());
    if (after < line.size() && line.find_first_not_of(" \t\r", after) != std::string::npos) {
      textStart = after;
    } else if (r.currentLine + 1 < static_cast<int>(activeLines().size())) {
      ++r.lastTextLine;
      ++r.currentLine;
    }
  }
  // The block is keyed by its first line, the speaker's line when the name
  // stands alone.
  TextBlockTable* blocks = activeTextBlocks();
  auto it = blocks ? blocks->find(blockLine) : TextBlockTable::iterator{};
  if (blocks && it == blocks->end()) it = blocks->find(r.currentLine);
  if (!blocks || it == blocks->end()) {
    showErrorBox(messageText(Message::ReadMarkMismatch) + std::to_string(r.currentLine) + "/" +
                 std::to_string(blocks ? blocks->size() : 0));
  } else if (interpState.hooks.readMark) {
    interpState.hooks.readMark(it->second);
  }
  if (interpState.hooks.recordPosition) interpState.hooks.recordPosition(activeScriptKey(), r.currentLine);
  return textStart;
}

// Without a backlog, a line opens a new entry exactly where a text block starts.
bool blockStartsHere() {
  TextBlockTable* blocks = activeTextBlocks();
  return !blocks || blocks->count(interpState.regs.currentLine) != 0;
}

PartResult runTextPart() {
  Registers& r = interpState.regs;
  size_t textStart = 0;
  bool emptyEntry = interpState.hooks.backlogEntryEmpty ? interpState.hooks.backlogEntryEmpty() : blockStartsHere();
  if (r.currentLine != r.lastTextLine && emptyEntry) {
    textStart = startTextBlock();
    if (r.preTextHook) {
      interpState.pendingTextStart = textStart;
      --r.currentLine;
      gosubLabel("*pretext_lb");
      applyRequests();
      return quitRequest ? PartResult::EndLoop : PartResult::Next;
    }
  }
  if (textStart == 0 && r.currentLine == r.lastTextLine) std::swap(textStart, interpState.pendingTextStart);
  interpState.pendingTextStart = 0;
  const int line = r.currentLine;
  // A narration line's mark is grammar, not text.
  if (textStart == 0 && !activeLines()[line].empty() && activeLines()[line][0] == kNarrationMark) textStart = 1;
  TextLineHandler show = interpState.hooks.textLine ? interpState.hooks.textLine : printTextLine;
  if (show(activeLines()[line], textStart, lineLength(line + 1), lineLength(line + 2)) == 0) return PartResult::EndLoop;
  if (quitRequest) return PartResult::EndLoop;
  if (r.postTextHook && interpState.hooks.pageState && interpState.hooks.pageState() != 0) {
    if (interpState.hooks.resumeOffset && interpState.hooks.resumeOffset() != 0) --r.currentLine;
    gosubLabel("*text_lb");
    applyRequests();
  }
  return quitRequest ? PartResult::EndLoop : PartResult::Next;
}

void switchScripts() {
  Registers& r = interpState.regs;
  while (r.scriptSwitchRequest != kSwitchNone) {
    const SwitchRequest request = r.scriptSwitchRequest;
    r.scriptSwitchRequest = kSwitchNone;
    if (request == kSwitchToSlot0) {
      r.activeSlot = 0;
    } else if (request == kSwitchToSlot1) {
      r.activeSlot = 1;
    } else {
      interpState.slots[1].clear();
      interpState.cache[1].clear();
      ++interpState.generation[1];
      loadScript(r.subScriptKey, interpState.slots[1]);
      r.activeSlot = 1;
    }
    if (r.loadHook) {
      r.loadHook = 0;
      gosubLabel("*load_lb");
    }
  }
}

}  // namespace

Registers& registers() { return interpState.regs; }
LineArray& slotLines(int slot) { return interpState.slots[slot & 1]; }
LineArray& activeLines() { return interpState.slots[interpState.regs.activeSlot & 1]; }
ScriptKey activeScriptKey() { return interpState.regs.activeSlot == 0 ? crc64_hash(kStartScriptPath) : interpState.regs.subScriptKey; }
TextBlockTable* activeTextBlocks() { return textBlocks(activeScriptKey()); }

void registerCommand(std::string_view name, CommandHandler handler) { interpState.commands[std::string(name)] = handler; }
CommandHandler findCommand(std::string_view name) {
  auto it = interpState.commands.find(std::string(name));
  return it == interpState.commands.end() ? nullptr : it->second;
}
std::unordered_set<uint32_t>& userSubTable() { return interpState.userSubs; }
std::unordered_map<uint32_t, int>& luaFunctionTable() { return interpState.luaFunctions; }
std::unordered_map<uint32_t, int>& squirrelFunctionTable() { return interpState.squirrelFunctions; }
const std::string& lastPrintedTextLine() { return interpState.lastShown; }
void installInterpreterHooks(const InterpreterHooks& hooks) { interpState.hooks = hooks; }
const InterpreterHooks& interpreterHooks() { return interpState.hooks; }

static void rewriteCurrentPart(const std::string& text) {
  Registers& r = interpState.regs;
  if (!interpState.usingWorking) {
    const auto& parts = cachedParts(r.activeSlot, r.currentLine);
    interpState.working.assign(parts.begin(), parts.end());
    interpState.usingWorking = true;
  }
  if (r.currentPart >= 0 && r.currentPart < static_cast<int>(interpState.working.size())) interpState.working[r.currentPart] = Part{text};
}

void applyRequests() {
  Registers& r = interpState.regs;
  if (r.rewriteRequest) {
    r.rewriteRequest = 0;
    // The rewritten text goes into a working copy of the line, never into the cache.
    rewriteCurrentPart(r.rewriteBuffer);
    --r.currentPart;
  }
  if (r.scriptSwitchRequest != kSwitchNone) switchScripts();
}

void stopAtLimit(std::string_view message) {
  reportError(message);
  quitRequest = 1;
  interpState.stoppedAtLimit = true;
}

bool stoppedAtLimit() { return interpState.stoppedAtLimit; }

bool stringLengthAllowed(size_t bytes) {
  if (bytes <= kMaxStringBytes) return true;
  stopAtLimit(messageText(Message::StringTooLongBefore) + std::to_string(kMaxStringBytes) +
      messageText(Message::StringTooLongAfter));
  return false;
}

static void runLines() {
  Registers& r = interpState.regs;
  int forDepth = 0;
  int jumpsUntilCheck = kJumpsBetweenChecks;
  auto lines = [&r]() -> const LineArray& { return interpState.slots[r.activeSlot & 1]; };
  while (r.currentLine >= 0 && r.currentLine < static_cast<int>(lines().size())) {
    const int slot = r.activeSlot;
    const int lineIndex = r.currentLine;
    const uint32_t generation = interpState.generation[slot];
    if (!lines()[lineIndex].empty()) {
      interpState.usingWorking = false;
      if (r.jumpRequest) r.jumpRequest = 0;
      else r.currentPart = 0;
      r.partCount = static_cast<int>(cachedParts(slot, lineIndex).size());
      while (r.currentPart < r.partCount) {
        auto& parts = interpState.usingWorking ? interpState.working : const_cast<std::vector<Part>&>(cachedParts(slot, lineIndex));
        Part& p = parts[r.currentPart];
        char c = p.text.empty() ? '\0' : p.text[0];
        PartResult result = PartResult::Next;
        if (isAsciiLetter(c)) result = runCommandPart(p, forDepth);
        else if (c != '\0' && c != '*' && !r.skipToNext) result = runTextPart();
        if (result == PartResult::EndLoop) return;
        if (r.jumpRequest) {
          // Every loop jumps, so counting jumps finds every busy loop and
          // costs straight-line script nothing.
          if (--jumpsUntilCheck == 0) {
            jumpsUntilCheck = kJumpsBetweenChecks;
            pollEndRequests();
            if (quitRequest) return;
          }
          break;
        }
        ++r.currentPart;
        // A switch of script or line without a jump (a speaker line that
        // advanced to its text) leaves this line's remaining parts behind.
        if (r.activeSlot != slot || r.currentLine != lineIndex || interpState.generation[slot] != generation) break;
      }
    }
    ++r.currentLine;
  }
}

void runScript() {
  // The one place where an allocation that failed inside a command ends up:
  // reported with the command and line, then the run ends as a quit does.
  try {
    runLines();
  } catch (const std::bad_alloc&) {
    stopAtLimit(messageText(Message::OutOfMemory));
  } catch (const std::length_error&) {
    stopAtLimit(messageText(Message::OutOfMemory));
  }
}

int runInlineCommand(const char* text, size_t& pos, size_t end) {
  ++pos;
  size_t start = pos;
  while (pos < end && pos - start < kMaxName && isIdentChar(text[pos])) ++pos;
  std::string name(text + start, pos - start);
  CommandHandler h = findCommand(name);
  if (!h) {
    reportUnknownCommand(name);
    return 1;
  }
  size_t a = pos;
  while (a < end && text[a] != ']') a += charLength({text, end}, a);
  std::string args(text + pos, std::min(std::min(a, end) - pos, kMaxInlineArgs));
  h(args.c_str());
  if (quitRequest) return 0;
  pos = std::min(a, end);
  return 1;
}

void slotChanged(int slot) {
  interpState.cache[slot & 1].clear();
  ++interpState.generation[slot & 1];
}

void resetInterpreter() {
  interpState.regs = Registers{};
  for (int s = 0; s < 2; ++s) {
    interpState.slots[s].clear();
    interpState.cache[s].clear();
  }
  interpState.working.clear();
  interpState.usingWorking = false;
  ++interpState.generation[0];
  ++interpState.generation[1];
}

}  // namespace velmora::script
