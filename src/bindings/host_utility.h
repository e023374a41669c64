#pragma once
// What the Lua and Squirrel hosts share: the utility globals both offer, the
// line rebuild of loaded script files and source names for traces.
#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "bindings/bridge.h"
#include "script/value.h"

namespace velmora::bindings {

// A utility global: its core and how many values a Lua wrapper returns.
struct UtilityGlobal {
  const char* name;
  CommandCore core;
  int luaResults;
};

constexpr size_t kUtilityCount = 25;
// In the order the hosts register them.
std::span<const UtilityGlobal, kUtilityCount> utilityGlobals();

// The render device binds SetRenderTarget2 once it exists; until then the
// function reports that it is not available.
void bindSetRenderTarget2(CommandCore core);

// The own-language variable that takes a foreign function's result: kind 1
// needs a numeric, kind 2 a string variable as the last argument (reported
// when missing); kind 0 none.
bool resultTarget(const script::ArgumentList& a, int kind, int32_t*& number, std::string*& text);

// Runs call() with a host's bridge operations installed, its nesting depth
// counted and `running` set to the state the call runs on; the outer ones
// come back after, whatever call() returns.
template <class State, class Call>
auto runWithHostBridge(const ScriptBridge& hostBridge, int& depth, State& running, State inner, Call call) {
  const ScriptBridge outer = bridge();
  installBridge(hostBridge);
  ++depth;
  const State outerRunning = std::exchange(running, inner);
  auto result = call();
  running = outerRunning;
  --depth;
  installBridge(outer);
  return result;
}

// Pushes the first n own-language arguments onto a foreign VM: numbers and
// texts through the two pushers; any other kind is reported and stops.
void reportBadArgumentKind();
template <class PushNumber, class PushText>
bool pushOwnArguments(const script::ArgumentList& a, size_t n, PushNumber pushNumber, PushText pushText) {
  for (size_t i = 0; i < n; ++i) {
    const script::ScriptValue& v = a.values[i];
    if (v.kind == script::kKindNumber) {
      pushNumber(v.number);
    } else if (v.kind == script::kKindString) {
      pushText(v.text);
    } else {
      reportBadArgumentKind();
      return false;
    }
  }
  return true;
}

// A loaded script file as the hosts compile it: split at LF outside
// double-byte characters, each line cut at its first zero byte and ended
// with LF. A last line without LF is kept unless it is one control byte
// (an end-of-file mark).
std::string rebuildScriptText(std::string_view text);

// A source name as traces show it: without the game folder in front.
std::string traceSourceName(std::string_view source);

}  // namespace velmora::bindings
