#include "bindings/lua_host.h"

#include <lua.hpp>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <utility>

#include "bindings/catalogue.h"
#include "bindings/host_exports.h"
#include "bindings/host_utility.h"
#include "bindings/messages.h"
#include "base/encoding.h"
#include "base/pump.h"
#include "base/report.h"
#include "base/state.h"
#include "base/textconv.h"
#include "resource/resource.h"
#include "script/expression.h"
#include "script/interp.h"

namespace velmora::bindings {
namespace {

lua_State* state(CommandContext c) { return static_cast<lua_State*>(c); }

template <int K>
int luaCount(CommandContext c) { return lua_gettop(state(c)) + K; }
int luaKind(CommandContext c, int i) { return i >= 1 ? lua_type(state(c), i) : LUA_TNONE; }
bool luaNamesVariable(CommandContext, int) { return true; }
double luaDouble(CommandContext c, int i) { return i >= 1 ? lua_tonumberx(state(c), i, nullptr) : 0.0; }
float luaFloat(CommandContext c, int i) { return static_cast<float>(luaDouble(c, i)); }
int32_t luaInteger(CommandContext c, int i) { return truncateToInt32(luaDouble(c, i)); }

// Neither string nor number: empty text.
const char* luaStringLength(CommandContext c, int i, size_t* length) {
  size_t n = 0;
  const char* s = i >= 1 ? lua_tolstring(state(c), i, &n) : nullptr;
  if (length) *length = s ? n : 0;
  return s ? s : "";
}
const char* luaString(CommandContext c, int i) { return luaStringLength(c, i, nullptr); }

void luaIntegerResult(CommandContext c, int, int32_t v) { lua_pushnumber(state(c), v); }
void luaStringResult(CommandContext c, int, const char* t) { lua_pushstring(state(c), t ? t : ""); }
void luaStringResultLength(CommandContext c, int, const char* t, size_t n) { lua_pushlstring(state(c), t ? t : "", t ? n : 0); }
void luaPushNil(CommandContext c) { lua_pushnil(state(c)); }
void luaBeginList(CommandContext c) { lua_createtable(state(c), 0, 0); }
void luaSetListElement(CommandContext c, int i) { lua_rawseti(state(c), -2, i); }
void luaAppendNothing(CommandContext) {}
void luaEnd(CommandContext);

ScriptBridge makeLuaBridge() {
  ScriptBridge b;
  b.argumentCount = {luaCount<0>, luaCount<1>, luaCount<2>, luaCount<3>, luaCount<4>, luaCount<5>, luaCount<6>};
  b.argumentKind = luaKind;
  b.stringKind = LUA_TSTRING;
  b.namesNumericVariable = luaNamesVariable;
  b.namesStringVariable = luaNamesVariable;
  b.integerArgument = luaInteger;
  b.floatArgument = luaFloat;
  b.doubleArgument = luaDouble;
  b.stringArgument = luaString;
  b.stringArgumentLength = luaStringLength;
  b.integerResult = luaIntegerResult;
  b.stringResult = luaStringResult;
  b.stringResultLength = luaStringResultLength;
  b.pushNothing = luaPushNil;
  b.beginList = luaBeginList;
  b.setListElement = luaSetListElement;
  b.appendListElement = luaAppendNothing;
  b.endProgram = luaEnd;
  b.language = kLanguageLua;
  return b;
}

// What Lua may allocate in all: far beyond the tables and strings of game
// logic, and a runaway that builds strings fails with "not enough memory"
// instead of taking the machine's memory.
constexpr size_t kLuaMemoryCap = size_t{256} << 20;
// Instructions between two looks for a quit request.
constexpr int kQuitCheckInstructions = 10000;

struct LuaHostState {
  ScriptBridge bridge = makeLuaBridge();
  size_t allocated = 0;  // bytes the interpreter holds
  int depth = 0;              // runs in progress: loadLua from Lua nests them
  bool closePending = false;  // end or an error closed it while Lua code still ran
  lua_State* running = nullptr;  // the state (or coroutine) whose command is executing
};
LuaHostState luaHostState;

// The error value that stops Lua code once the interpreter is closed.
void* haltToken() { return &luaHostState; }

void luaEnd(CommandContext) {
  quitRequest = 1;
  luaHostState.closePending = true;
}

// Every wrapper ends here: the values a command did not push are nil, and
// once the interpreter is closed the Lua code stops.
int finishCall(lua_State* L, int base, int results) {
  if (luaHostState.closePending) {
    lua_pushlightuserdata(L, haltToken());
    lua_error(L);
  }
  for (int pushed = lua_gettop(L) - base; pushed < results; ++pushed) lua_pushnil(L);
  return results;
}

template <size_t I>
int catalogueWrapper(lua_State* L) {
  int base = lua_gettop(L);
  lua_State* outer = std::exchange(luaHostState.running, L);
  int results = callCatalogueCommand(I, L);
  luaHostState.running = outer;
  return finishCall(L, base, results);
}

template <size_t I>
int utilityWrapper(lua_State* L) {
  int base = lua_gettop(L);
  lua_State* outer = std::exchange(luaHostState.running, L);
  const UtilityGlobal& u = utilityGlobals()[I];
  setErrcmd(u.name);
  u.core(L);
  luaHostState.running = outer;
  return finishCall(L, base, u.luaResults);
}

template <size_t... I>
constexpr std::array<lua_CFunction, sizeof...(I)> catalogueWrappers(std::index_sequence<I...>) {
  return {catalogueWrapper<I>...};
}
template <size_t... I>
constexpr std::array<lua_CFunction, sizeof...(I)> utilityWrappers(std::index_sequence<I...>) {
  return {utilityWrapper<I>...};
}
constexpr auto kCatalogueWrappers = catalogueWrappers(std::make_index_sequence<kCatalogueSize>{});
constexpr auto kUtilityWrappers = utilityWrappers(std::make_index_sequence<kUtilityCount>{});

int lua_mblen(lua_State* L) {
  size_t n = 0;
  const char* s = luaL_checklstring(L, 1, &n);
  lua_pushinteger(L, static_cast<lua_Integer>(mbLength({s, n})));
  return 1;
}

int lua_mbsub(lua_State* L) {
  size_t n = 0;
  const char* s = luaL_checklstring(L, 1, &n);
  std::string_view sub = mbSubstring({s, n}, luaL_checkinteger(L, 2), luaL_optinteger(L, 3, -1));
  lua_pushlstring(L, sub.data(), sub.size());
  return 1;
}

constexpr const char kEachmbc[] =
    "function eachmbc(mbs) local r = mbs return function () local l = nil if string.mblen(r) > 1 then l = "
    "string.mbsub(r, 1, 1) r = string.mbsub(r, 2) elseif string.mblen(r) == 1 then l = r r = \"\" end return l end end";

// Runs protected, so that running out of memory while the globals are made
// reports instead of ending the process.
int openGlobals(lua_State* L) {
  luaL_openlibs(L);
  lua_getglobal(L, "string");
  lua_pushcfunction(L, lua_mblen);
  lua_setfield(L, -2, "mblen");
  lua_pushcfunction(L, lua_mbsub);
  lua_setfield(L, -2, "mbsub");
  lua_pop(L, 1);
  if (luaL_dostring(L, kEachmbc) != LUA_OK) lua_error(L);
  for (size_t i = 0; i < kUtilityCount; ++i) lua_register(L, utilityGlobals()[i].name, kUtilityWrappers[i]);
  const auto entries = catalogue();
  for (size_t i = 0; i < entries.size(); ++i)
    if (offeredToForeignLanguages(entries[i])) lua_register(L, entries[i].name, kCatalogueWrappers[i]);
  return 0;
}

// Lua's allocator with a cap. A block that shrinks never fails (Lua relies
// on that); the cap is checked only where a block grows.
void* cappedAlloc(void*, void* block, size_t oldSize, size_t newSize) {
  if (!block) oldSize = 0;  // then the old size is a type code
  if (newSize == 0) {
    std::free(block);
    luaHostState.allocated -= oldSize;
    return nullptr;
  }
  if (newSize > oldSize && newSize - oldSize > kLuaMemoryCap - luaHostState.allocated) return nullptr;
  void* grown = std::realloc(block, newSize);
  if (grown) luaHostState.allocated = luaHostState.allocated - oldSize + newSize;
  return grown;
}

int panic(lua_State* L) {
  const char* msg = lua_tostring(L, -1);
  reportError(std::string("Lua: ") + (msg ? msg : "?"));
  return 0;
}

// A loop that never calls the engine still ends on a quit request; the halt
// unwinds it like end does.
void quitCheck(lua_State* L, lua_Debug*) {
  pollEndRequests();
  if (!quitRequest) return;
  luaHostState.closePending = true;
  lua_pushlightuserdata(L, haltToken());
  lua_error(L);
}

void closeNow() {
  if (g_L) lua_close(g_L);
  g_L = nullptr;
  luaHostState.bridge.activeVM = nullptr;
  luaHostState.closePending = false;
  luaHostState.running = nullptr;
}

bool ensureInterpreter() {
  if (g_L) return true;
  lua_State* L = lua_newstate(cappedAlloc, nullptr);
  if (L) {
    lua_atpanic(L, panic);
    lua_sethook(L, quitCheck, LUA_MASKCOUNT, kQuitCheckInstructions);
  }
  if (!L) {
    reportError(messageText(Message::OutOfMemory));
    return false;
  }
  lua_pushcfunction(L, openGlobals);
  if (lua_pcall(L, 0, 0, 0) != LUA_OK) {
    const char* msg = lua_tostring(L, -1);
    reportError(msg ? msg : "(error object is not a string)");
    lua_close(L);
    return false;
  }
  g_L = L;
  luaHostState.bridge.activeVM = L;
  return true;
}

// A string error becomes a traceback; other errors their __tostring text.
int messageHandler(lua_State* L) {
  if (lua_touserdata(L, 1) == haltToken()) return 1;
  if (const char* msg = lua_tostring(L, 1)) {
    luaL_traceback(L, L, msg, 1);
  } else if (!lua_isnoneornil(L, 1)) {
    if (!luaL_callmeta(L, 1, "__tostring")) lua_pushliteral(L, "(no error message)");
  }
  return 1;
}

// The failed status's error is on top: reported (unless it is the halt after
// end), and the interpreter is closed once no Lua code runs any more.
void failed(lua_State* L) {
  if (lua_touserdata(L, -1) != haltToken() && !lua_isnil(L, -1)) {
    const char* msg = lua_tostring(L, -1);
    reportError(msg ? msg : "(error object is not a string)");
    lua_pop(L, 1);
    lua_gc(L, LUA_GCCOLLECT, 0);
  }
  luaHostState.closePending = true;
}

// Runs the function below nargs arguments with the Lua operations of the
// bridge installed; the previous ones (own, or Squirrel's) come back after.
int protectedRun(lua_State* L, int nargs, int nresults, int handler) {
  return runWithHostBridge(luaHostState.bridge, luaHostState.depth, luaHostState.running, L,
                           [&] { return lua_pcall(L, nargs, nresults, handler); });
}

void finishRun() {
  if (luaHostState.depth == 0 && luaHostState.closePending) closeNow();
}

bool pushArguments(lua_State* L, const script::ArgumentList& a, size_t n) {
  return pushOwnArguments(
      a, n, [L](double number) { lua_pushnumber(L, number); },
      [L](const std::string& text) { lua_pushlstring(L, text.data(), text.size()); });
}

// Protected, since an __index of the globals may raise an error.
int globalNamed(lua_State* L) {
  lua_getglobal(L, lua_tostring(L, 1));
  return 1;
}

bool isDoubleByte(std::string_view s, size_t i) {
  unsigned char c = static_cast<unsigned char>(s[i]);
  if (!((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xEF)) || i + 1 >= s.size()) return false;
  unsigned char d = static_cast<unsigned char>(s[i + 1]);
  return (d >= 0x40 && d <= 0x7E) || (d >= 0x80 && d <= 0xFC);
}

// Bytes of one character for string.mblen and string.mbsub: a code point in
// a Unicode game.
size_t mbWidth(std::string_view s, size_t i) {
  if (unicodeGame()) return utf8CharLength(s, i);
  return isDoubleByte(s, i) ? 2 : 1;
}

}  // namespace

void loadLuaFile(std::string_view file, CommandContext context) {
  // Reports under the loading command wherever the load comes from.
  setErrcmd("loadLua");
  if (!ensureInterpreter()) return;
  std::string name(file), text;
  if (!resource::loadFileS(name.c_str(), text)) return;
  text = rebuildScriptText(text);
  // From Lua the chunk runs on the calling state (it may be a coroutine).
  lua_State* L = bridge().language == kLanguageLua ? state(context) : g_L;
  int top = lua_gettop(L);
  int status = luaL_loadbuffer(L, text.data(), text.size(), name.c_str());
  if (status == LUA_OK) {
    lua_pushcfunction(L, messageHandler);
    lua_insert(L, top + 1);
    status = protectedRun(L, 0, 0, top + 1);
    lua_remove(L, top + 1);
  }
  if (status != LUA_OK) failed(L);
  lua_settop(L, top);
  finishRun();
}

void callLuaFunction(std::string_view name, const char* args, int resultKind) {
  // A declared function is called like a command and reports under its name.
  setErrcmd(name);
  script::ArgumentList a = script::parseArguments(args);
  int32_t* number = nullptr;
  std::string* text = nullptr;
  if (!resultTarget(a, resultKind, number, text)) return;
  size_t n = a.count() - (resultKind != 0 && a.count() > 0 ? 1 : 0);
  if (!ensureInterpreter()) return;
  lua_State* L = g_L;
  int top = lua_gettop(L);
  lua_pushcfunction(L, globalNamed);
  lua_pushlstring(L, name.data(), name.size());
  if (lua_pcall(L, 1, 1, 0) != LUA_OK) {
    failed(L);
    lua_settop(L, top);
    finishRun();
    return;
  }
  if (!lua_checkstack(L, static_cast<int>(n) + 1) || !pushArguments(L, a, n)) {
    lua_settop(L, top);
    return;
  }
  int status = protectedRun(L, static_cast<int>(n), resultKind != 0 ? 1 : 0, 0);
  if (status != LUA_OK) {
    failed(L);
  } else if (number) {
    *number = truncateToInt32(lua_tonumberx(L, -1, nullptr));
  } else if (text) {
    size_t len = 0;
    const char* s = lua_tolstring(L, -1, &len);
    text->assign(s ? s : "", s ? len : 0);
  }
  lua_settop(L, top);
  finishRun();
}

std::string luaTrace(std::string_view message) {
  std::string text = std::string(errcmd()) + " " + std::string(message);
  lua_State* L = luaHostState.running ? luaHostState.running : g_L;
  lua_Debug ar;
  for (int level = 1; L && lua_getstack(L, level, &ar); ++level) {
    lua_getinfo(L, "Sln", &ar);
    std::string_view source = ar.source ? ar.source : "";
    if (!source.empty() && source[0] == '@') source.remove_prefix(1);
    text += "\n\t" + traceSourceName(source) + ":" + std::to_string(ar.currentline) + ": " + (ar.name ? ar.name : "main");
  }
  return text;
}

bool luaInterpreterOpen() { return g_L != nullptr; }

void closeLuaInterpreter() {
  if (luaHostState.depth > 0) luaHostState.closePending = true;
  else closeNow();
}

size_t mbLength(std::string_view s) {
  size_t n = 0;
  for (size_t i = 0; i < s.size(); i += mbWidth(s, i)) ++n;
  return n;
}

std::string_view mbSubstring(std::string_view s, int64_t i, int64_t j) {
  const int64_t n = static_cast<int64_t>(s.size());
  if (i < 0) i = std::max<int64_t>(n + i + 1, 0);
  if (j < 0) j = std::max<int64_t>(n + j + 1, 0);
  if (i == 0) i = 1;
  if (j > n) j = n;
  if (j < i) return {};
  size_t start = s.size(), end = s.size() + 1;
  int64_t k = 1;
  for (size_t pos = 0; pos < s.size(); ++k) {
    size_t width = mbWidth(s, pos);
    if (k == i) start = pos;
    if (k == j) {
      end = pos + width;
      break;
    }
    pos += width;
  }
  // The text ended before character j: the result ends at byte j.
  if (end > s.size()) end = static_cast<size_t>(j);
  return start < end ? s.substr(start, end - start) : std::string_view();
}

}  // namespace velmora::bindings
