#include "bindings/squirrel_host.h"

#include <array>
#include <cstdarg>
#include <cstdio>
#include <utility>

#include "bindings/catalogue.h"
#include "bindings/host_exports.h"
#include "bindings/host_utility.h"
#include "bindings/messages.h"
#include "bindings/squirrel_host_runtime.h"
#include "base/pump.h"
#include "base/report.h"
#include "base/state.h"
#include "base/textconv.h"
#include "resource/resource.h"
#include "script/expression.h"
#include "script/interp.h"

namespace velmora::bindings {
namespace {

// Error reports keep the newest text of what the VM printed.
constexpr size_t kMessageCap = 16 * 1024;
// Nested Squirrel calls: the runtime grows its stacks without bound, so a
// runaway recursion would take all memory. Ten thousand frames take a few
// megabytes and are far deeper than game logic goes.
constexpr SQInteger kMaxCallDepth = 10000;
// Runs in progress inside one another (loadSqu from Squirrel, and so on):
// each holds a few frames of the machine's own stack.
constexpr int kMaxNestedRuns = 64;
// The initial stack of the VM and of each run's thread, in slots.
constexpr SQInteger kStackSlots = 1024;
constexpr int kCallsPerCheck = 16;

struct SquirrelHostState {
  const SquirrelApi* sq = nullptr;  // bound with the first VM
  bool missingReported = false;
  int depth = 0;              // runs in progress: loadSqu from Squirrel nests them
  bool closePending = false;  // end closed the VM while Squirrel code still ran
  HSQUIRRELVM running = nullptr;  // the VM (or thread) whose command is executing
  int callsSinceCheck = 0;
  std::string messages;
  ScriptBridge bridge;
};
SquirrelHostState squirrelHostState;

HSQUIRRELVM vm(CommandContext c) { return static_cast<HSQUIRRELVM>(c); }

// Arguments sit above `this`; slots past the top read as null.
SQObjectType slotType(CommandContext c, int i) {
  return i >= 1 && i + 1 <= squirrelHostState.sq->sq_gettop(vm(c)) ? squirrelHostState.sq->sq_gettype(vm(c), i + 1) : OT_NULL;
}

template <int K>
int sqCount(CommandContext c) { return static_cast<int>(squirrelHostState.sq->sq_gettop(vm(c))) - 1 + K; }
int sqKind(CommandContext c, int i) { return slotType(c, i); }
bool sqNamesVariable(CommandContext, int) { return true; }

float sqFloat(CommandContext c, int i) {
  SQFloat f = 0;
  SQObjectType t = slotType(c, i);
  if (t == OT_INTEGER || t == OT_FLOAT) squirrelHostState.sq->sq_getfloat(vm(c), i + 1, &f);
  return f;
}
double sqDouble(CommandContext c, int i) { return sqFloat(c, i); }

int32_t sqInteger(CommandContext c, int i) {
  SQObjectType t = slotType(c, i);
  if (t == OT_FLOAT) return truncateToInt32(sqFloat(c, i));
  SQInteger n = 0;
  if (t == OT_INTEGER) squirrelHostState.sq->sq_getinteger(vm(c), i + 1, &n);
  return static_cast<int32_t>(static_cast<uint32_t>(n));
}

const char* sqStringLength(CommandContext c, int i, size_t* length) {
  const SQChar* s = nullptr;
  if (slotType(c, i) != OT_STRING || SQ_FAILED(squirrelHostState.sq->sq_getstring(vm(c), i + 1, &s))) s = nullptr;
  if (length) *length = s ? static_cast<size_t>(squirrelHostState.sq->sq_getsize(vm(c), i + 1)) : 0;
  return s ? s : "";
}
const char* sqString(CommandContext c, int i) { return sqStringLength(c, i, nullptr); }

void sqIntegerResult(CommandContext c, int, int32_t v) { squirrelHostState.sq->sq_pushinteger(vm(c), v); }
void sqStringResult(CommandContext c, int, const char* t) { squirrelHostState.sq->sq_pushstring(vm(c), t ? t : "", -1); }
void sqStringResultLength(CommandContext c, int, const char* t, size_t n) {
  squirrelHostState.sq->sq_pushstring(vm(c), t ? t : "", t ? static_cast<SQInteger>(n) : 0);
}
void sqPushNull(CommandContext c) { squirrelHostState.sq->sq_pushnull(vm(c)); }
void sqBeginList(CommandContext c) { squirrelHostState.sq->sq_newarray(vm(c), 0); }
void sqSetListElement(CommandContext c, int) { squirrelHostState.sq->sq_arrayappend(vm(c), -2); }
void sqAppendListElement(CommandContext c) { squirrelHostState.sq->sq_arrayappend(vm(c), -2); }
void sqEnd(CommandContext) {
  quitRequest = 1;
  squirrelHostState.closePending = true;
}

ScriptBridge makeSquirrelBridge() {
  ScriptBridge b;
  b.argumentCount = {sqCount<0>, sqCount<1>, sqCount<2>, sqCount<3>, sqCount<4>, sqCount<5>, sqCount<6>};
  b.argumentKind = sqKind;
  b.stringKind = OT_STRING;
  b.namesNumericVariable = sqNamesVariable;
  b.namesStringVariable = sqNamesVariable;
  b.integerArgument = sqInteger;
  b.floatArgument = sqFloat;
  b.doubleArgument = sqDouble;
  b.stringArgument = sqString;
  b.stringArgumentLength = sqStringLength;
  b.integerResult = sqIntegerResult;
  b.stringResult = sqStringResult;
  b.stringResultLength = sqStringResultLength;
  b.pushNothing = sqPushNull;
  b.beginList = sqBeginList;
  b.setListElement = sqSetListElement;
  b.appendListElement = sqAppendListElement;
  b.endProgram = sqEnd;
  b.language = kLanguageSquirrel;
  return b;
}

void keepMessage(std::string_view text) {
  squirrelHostState.messages.append(text);
  if (squirrelHostState.messages.size() <= kMessageCap) return;
  // Start at a line when one begins close by, so that no character is cut.
  size_t cut = squirrelHostState.messages.size() - kMessageCap;
  size_t line = squirrelHostState.messages.find('\n', cut);
  squirrelHostState.messages.erase(0, line != std::string::npos && line - cut < 256 ? line + 1 : cut);
}

// The VM's print and error output: standard output and the message buffer.
void printAndKeep(HSQUIRRELVM, const SQChar* format, ...) {
  va_list ap, again;
  va_start(ap, format);
  va_copy(again, ap);
  char small[512];
  int n = std::vsnprintf(small, sizeof small, format, ap);
  std::string text;
  if (n >= static_cast<int>(sizeof small)) {
    text.resize(static_cast<size_t>(n) + 1);
    std::vsnprintf(text.data(), text.size(), format, again);
    text.resize(static_cast<size_t>(n));
  } else if (n > 0) {
    text.assign(small, static_cast<size_t>(n));
  }
  va_end(again);
  va_end(ap);
  std::string utf8 = gameToUtf8(text);
  std::fwrite(utf8.data(), 1, utf8.size(), stdout);
  std::fflush(stdout);
  keepMessage(text);
}

// After end the VM only unwinds: the error handler has nothing to say.
void printNothing(HSQUIRRELVM, const SQChar*, ...) {}

SQInteger finishCall(HSQUIRRELVM v) {
  if (!squirrelHostState.closePending) return 1;
  squirrelHostState.sq->sq_setprintfunc(v, printAndKeep, printNothing);
  return squirrelHostState.sq->sq_throwerror(v, "end");
}

template <size_t I>
SQInteger catalogueWrapper(HSQUIRRELVM v) {
  HSQUIRRELVM outer = std::exchange(squirrelHostState.running, v);
  callCatalogueCommand(I, v);
  squirrelHostState.running = outer;
  return finishCall(v);
}

template <size_t I>
SQInteger utilityWrapper(HSQUIRRELVM v) {
  HSQUIRRELVM outer = std::exchange(squirrelHostState.running, v);
  setErrcmd(utilityGlobals()[I].name);
  utilityGlobals()[I].core(v);
  squirrelHostState.running = outer;
  return finishCall(v);
}

template <size_t... I>
constexpr std::array<SQFUNCTION, sizeof...(I)> catalogueWrappers(std::index_sequence<I...>) {
  return {catalogueWrapper<I>...};
}
template <size_t... I>
constexpr std::array<SQFUNCTION, sizeof...(I)> utilityWrappers(std::index_sequence<I...>) {
  return {utilityWrapper<I>...};
}
constexpr auto kCatalogueWrappers = catalogueWrappers(std::make_index_sequence<kCatalogueSize>{});
constexpr auto kUtilityWrappers = utilityWrappers(std::make_index_sequence<kUtilityCount>{});

// Thrown by the call hook through the runtime, which has no way to fail a
// call from a hook; only the thread the run used is left behind, and it is
// dropped whole.
// A quit request unwinds a run the same way, at its next call: a loop that
// calls a function (a tail call runs for ever without growing) still ends.
struct CallTooDeep {};
struct CallHalted {};

void callHook(HSQUIRRELVM v, SQInteger type, const SQChar*, SQInteger, const SQChar*) {
  // A call adds one frame at most, so looking at every kCallsPerCheck-th
  // call lets the depth pass its limit by that many frames at most.
  if (type != 'c' || ++squirrelHostState.callsSinceCheck < kCallsPerCheck) return;
  squirrelHostState.callsSinceCheck = 0;
  SQStackInfos frame;
  if (SQ_SUCCEEDED(squirrelHostState.sq->sq_stackinfos(v, kMaxCallDepth, &frame))) throw CallTooDeep{};
  pollEndRequests();
  if (quitRequest) throw CallHalted{};
}

void reportTooDeep() {
  keepMessage(messageText(Message::CallsTooDeepBefore) + std::to_string(kMaxCallDepth) +
      messageText(Message::CallsTooDeepAfter));
}

bool bindRuntime() {
  if (squirrelHostState.sq) return true;
  squirrelHostState.sq = squirrelApi();
  if (squirrelHostState.sq) {
    squirrelHostState.bridge = makeSquirrelBridge();
    return true;
  }
  if (!squirrelHostState.missingReported) {  // once: every later use would say the same
    squirrelHostState.missingReported = true;
    reportError(messageText(Message::SquirrelMissingBefore) + kSquirrelPackage +
               messageText(Message::SquirrelMissingAfter));
  }
  return false;
}

bool ensureVM() {
  if (g_V) return true;
  if (!bindRuntime()) return false;
  const SquirrelApi& sq = *squirrelHostState.sq;
  HSQUIRRELVM v = sq.sq_open(kStackSlots);
  if (!v) {
    reportError(messageText(Message::OutOfMemory));
    return false;
  }
  sq.sq_setprintfunc(v, printAndKeep, printAndKeep);
  sq.sq_setnativedebughook(v, callHook);
  sq.sq_pushroottable(v);
  sq.sqstd_register_iolib(v);
  sq.sqstd_register_bloblib(v);
  sq.sqstd_register_mathlib(v);
  sq.sqstd_register_systemlib(v);
  sq.sqstd_register_stringlib(v);
  sq.sqstd_seterrorhandlers(v);
  for (size_t i = 0; i < kUtilityCount; ++i) sq_register_func(v, utilityGlobals()[i].name, kUtilityWrappers[i]);
  sq.sq_pop(v, 1);
  const auto entries = catalogue();
  for (size_t i = 0; i < entries.size(); ++i)
    if (offeredToForeignLanguages(entries[i])) sq_register_func(v, entries[i].name, kCatalogueWrappers[i]);
  g_V = v;
  squirrelHostState.bridge.activeVM = v;
  return true;
}

void closeNow() {
  if (g_V) squirrelHostState.sq->sq_close(g_V);
  g_V = nullptr;
  squirrelHostState.bridge.activeVM = nullptr;
  squirrelHostState.closePending = false;
  squirrelHostState.running = nullptr;
  squirrelHostState.messages.clear();
}

// Calls the closure below params parameters with the Squirrel operations of
// the bridge installed; the previous ones come back after. The call runs on
// a thread of its own that is pushed onto v: a call stopped for its depth
// leaves that thread unusable and v as it was. The result, when asked for,
// is pushed onto v; the caller restores v's top.
SQRESULT protectedCall(HSQUIRRELVM v, SQInteger params, bool result) {
  if (squirrelHostState.depth >= kMaxNestedRuns) {
    reportTooDeep();
    return SQ_ERROR;
  }
  const SquirrelApi& sq = *squirrelHostState.sq;
  const SQInteger first = sq.sq_gettop(v) - params;
  HSQUIRRELVM thread = sq.sq_newthread(v, kStackSlots);
  if (!thread) return SQ_ERROR;
  for (SQInteger i = first; i <= first + params; ++i) sq.sq_move(thread, v, i);
  const SQRESULT r = runWithHostBridge(squirrelHostState.bridge, squirrelHostState.depth, squirrelHostState.running, thread, [&] {
    try {
      return sq.sq_call(thread, params, result ? SQTrue : SQFalse, SQTrue);
    } catch (const CallTooDeep&) {
      reportTooDeep();
    } catch (const CallHalted&) {
      squirrelHostState.closePending = true;
    }
    return SQRESULT(SQ_ERROR);
  });
  if (SQ_SUCCEEDED(r) && result) sq.sq_move(v, thread, -1);
  return r;
}

void finishRun() {
  if (squirrelHostState.depth == 0 && squirrelHostState.closePending) closeNow();
}

// Numbers travel as single-precision reals, as the VM's reals are.
bool pushArguments(HSQUIRRELVM v, const script::ArgumentList& a, size_t n) {
  const SquirrelApi& sq = *squirrelHostState.sq;
  return pushOwnArguments(
      a, n, [&](double number) { sq.sq_pushfloat(v, static_cast<SQFloat>(number)); },
      [&](const std::string& text) { sq.sq_pushstring(v, text.data(), static_cast<SQInteger>(text.size())); });
}

// The message buffer, or the VM's last error when nothing was printed.
std::string vmMessage(HSQUIRRELVM v) {
  if (!squirrelHostState.messages.empty()) return squirrelHostState.messages;
  SQInteger top = squirrelHostState.sq->sq_gettop(v);
  squirrelHostState.sq->sq_getlasterror(v);
  const SQChar* s = nullptr;
  std::string text = SQ_SUCCEEDED(squirrelHostState.sq->sq_getstring(v, -1, &s)) && s ? s : "";
  squirrelHostState.sq->sq_settop(v, top);
  return text;
}

void storeResult(HSQUIRRELVM v, std::string_view name, int32_t* number, std::string* text) {
  SQObjectType t = squirrelHostState.sq->sq_gettype(v, -1);
  if (number) {
    SQFloat f = 0;
    SQInteger n = 0;
    if (t == OT_FLOAT && SQ_SUCCEEDED(squirrelHostState.sq->sq_getfloat(v, -1, &f))) *number = truncateToInt32(f);
    else if (SQ_SUCCEEDED(squirrelHostState.sq->sq_getinteger(v, -1, &n))) *number = static_cast<int32_t>(static_cast<uint32_t>(n));
    else *number = 0;
  } else if (text) {
    const SQChar* s = nullptr;
    if (t == OT_STRING && SQ_SUCCEEDED(squirrelHostState.sq->sq_getstring(v, -1, &s))) {
      text->assign(s, static_cast<size_t>(squirrelHostState.sq->sq_getsize(v, -1)));
    } else {
      setErrcmd(name);  // the call's commands wrote theirs
      reportError(messageText(Message::ResultNotString));
    }
  }
}

}  // namespace

void loadSquirrelFile(std::string_view file, CommandContext context) {
  // Reports under the loading command wherever the load comes from.
  setErrcmd("loadSqu");
  if (!ensureVM()) return;
  std::string name(file), text;
  if (!resource::loadFileS(name.c_str(), text)) return;
  text = rebuildScriptText(text);
  // From Squirrel the script runs on the calling VM (it may be a thread).
  HSQUIRRELVM v = bridge().language == kLanguageSquirrel ? vm(context) : g_V;
  const SquirrelApi& sq = *squirrelHostState.sq;
  SQInteger top = sq.sq_gettop(v);
  squirrelHostState.messages.clear();
  if (SQ_FAILED(sq.sq_compilebuffer(v, text.data(), static_cast<SQInteger>(text.size()), name.c_str(), SQTrue))) {
    reportError(name + messageText(Message::NotLoaded) + squirrelHostState.messages);
    sq.sq_settop(v, top);
    return;
  }
  sq.sq_pushroottable(v);
  if (SQ_FAILED(protectedCall(v, 1, false)) && !squirrelHostState.closePending)
    reportError(name + messageText(Message::NotRun) + squirrelHostState.messages);
  sq.sq_settop(v, top);
  finishRun();
}

void callSquirrelFunction(std::string_view name, const char* args, int resultKind) {
  // A declared function is called like a command and reports under its name.
  setErrcmd(name);
  script::ArgumentList a = script::parseArguments(args);
  int32_t* number = nullptr;
  std::string* text = nullptr;
  if (!resultTarget(a, resultKind, number, text)) return;
  size_t n = a.count() - (resultKind != 0 && a.count() > 0 ? 1 : 0);
  if (!ensureVM()) return;
  HSQUIRRELVM v = g_V;
  const SquirrelApi& sq = *squirrelHostState.sq;
  SQInteger top = sq.sq_gettop(v);
  sq.sq_pushroottable(v);
  sq.sq_pushstring(v, name.data(), static_cast<SQInteger>(name.size()));
  squirrelHostState.messages.clear();
  if (SQ_FAILED(sq.sq_get(v, -2))) {
    reportError("sq_get\n" + vmMessage(v));
  } else {
    sq.sq_pushroottable(v);
    if (pushArguments(v, a, n)) {
      squirrelHostState.messages.clear();
      if (SQ_FAILED(protectedCall(v, static_cast<SQInteger>(n) + 1, resultKind != 0))) {
        if (!squirrelHostState.closePending) reportError("sq_call\n" + squirrelHostState.messages);
      } else if (resultKind != 0 && !squirrelHostState.closePending) {
        storeResult(v, name, number, text);
      }
    }
  }
  sq.sq_settop(v, top);
  finishRun();
}

std::string squirrelTrace(std::string_view message) {
  std::string text = std::string(errcmd()) + " " + std::string(message);
  HSQUIRRELVM v = squirrelHostState.running ? squirrelHostState.running : g_V;
  SQStackInfos si;
  for (SQInteger level = 1; v && SQ_SUCCEEDED(squirrelHostState.sq->sq_stackinfos(v, level, &si)); ++level) {
    text += "\n\t" + traceSourceName(si.source ? si.source : "") + ":" + std::to_string(si.line) + ": " +
            (si.funcname ? si.funcname : "unknown");
  }
  return text;
}

bool squirrelVMOpen() { return g_V != nullptr; }

void closeSquirrelVM() {
  if (squirrelHostState.depth > 0) squirrelHostState.closePending = true;
  else closeNow();
}

const std::string& squirrelMessages() { return squirrelHostState.messages; }

}  // namespace velmora::bindings
