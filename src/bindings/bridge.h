#pragma once
// The script bridge: every command core reads its arguments and hands back
// its results through this table, which the active language installed, so
// one core serves the own language, Lua and Squirrel alike.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace velmora::bindings {

// The own language's argument list, the Lua state or the Squirrel VM; a core
// passes it unchanged to every bridge operation.
using CommandContext = void*;
using CommandCore = void (*)(CommandContext);

// Arguments are numbered from 1 in the order written in the script.
struct ScriptBridge {
  // Entry k is the argument count plus k in Lua and Squirrel, the plain count
  // in the own language (whose result variables are arguments too).
  std::array<int (*)(CommandContext), 7> argumentCount{};
  int (*argumentKind)(CommandContext, int i) = nullptr;
  int stringKind = 0;
  bool (*namesNumericVariable)(CommandContext, int i) = nullptr;
  bool (*namesStringVariable)(CommandContext, int i) = nullptr;
  int32_t (*integerArgument)(CommandContext, int i) = nullptr;
  float (*floatArgument)(CommandContext, int i) = nullptr;
  double (*doubleArgument)(CommandContext, int i) = nullptr;
  const char* (*stringArgument)(CommandContext, int i) = nullptr;
  const char* (*stringArgumentLength)(CommandContext, int i, size_t* length) = nullptr;
  void (*integerResult)(CommandContext, int i, int32_t value) = nullptr;
  void (*stringResult)(CommandContext, int i, const char* text) = nullptr;
  void (*stringResultLength)(CommandContext, int i, const char* text, size_t length) = nullptr;
  void (*pushNothing)(CommandContext) = nullptr;
  void (*beginList)(CommandContext) = nullptr;
  void (*setListElement)(CommandContext, int i) = nullptr;
  void (*appendListElement)(CommandContext) = nullptr;
  void (*endProgram)(CommandContext) = nullptr;
  int language = 0;  // 1 own, 2 Lua, 3 Squirrel
  void* activeVM = nullptr;
};

const ScriptBridge& bridge();
// The own language's operations; in force whenever no Lua or Squirrel code runs.
const ScriptBridge& ownBridge();
void installOwnBridge();
// The Lua and Squirrel hosts install theirs around the code they run.
void installBridge(const ScriptBridge& operations);

// Shorthands for cores; each goes through the installed bridge.
inline int argumentCountPlus(CommandContext c, int k) { return bridge().argumentCount[k](c); }
inline int argumentKind(CommandContext c, int i) { return bridge().argumentKind(c, i); }
inline bool isStringArgument(CommandContext c, int i) { return bridge().argumentKind(c, i) == bridge().stringKind; }
inline bool namesNumericVariable(CommandContext c, int i) { return bridge().namesNumericVariable(c, i); }
inline bool namesStringVariable(CommandContext c, int i) { return bridge().namesStringVariable(c, i); }
inline int32_t intArg(CommandContext c, int i) { return bridge().integerArgument(c, i); }
inline float floatArg(CommandContext c, int i) { return bridge().floatArgument(c, i); }
inline double doubleArg(CommandContext c, int i) { return bridge().doubleArgument(c, i); }
inline std::string_view stringArg(CommandContext c, int i) {
  size_t n = 0;
  const char* s = bridge().stringArgumentLength(c, i, &n);
  return s ? std::string_view(s, n) : std::string_view();
}
inline void intResult(CommandContext c, int i, int32_t v) { bridge().integerResult(c, i, v); }
inline void stringResult(CommandContext c, int i, std::string_view t) {
  bridge().stringResultLength(c, i, t.data(), t.size());
}
inline void beginList(CommandContext c) { bridge().beginList(c); }
inline void appendListElement(CommandContext c) { bridge().appendListElement(c); }
inline void endProgram(CommandContext c) { bridge().endProgram(c); }

// Truncates toward zero and wraps modulo 2^32 as the evaluator does; NaN and
// infinities give 0.
int32_t truncateToInt32(double v);

}  // namespace velmora::bindings
