#pragma once
// The Lua host: one interpreter (g_L), created by the first loadLua, that
// sees the catalogue commands, the utility globals and the standard
// libraries; the own language calls its functions by name after funcLua.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "bindings/bridge.h"

namespace velmora::bindings {

// Loads and runs a Lua file; context is the caller's (a Lua state when
// loadLua runs from Lua).
void loadLuaFile(std::string_view file, CommandContext context);
// The interpreter's kind-4 caller: a function declared with funcLua.
void callLuaFunction(std::string_view name, const char* args, int resultKind);
// The Lua half of the error trace.
std::string luaTrace(std::string_view message);
bool luaInterpreterOpen();
void closeLuaInterpreter();

// The Shift_JIS rule of string.mblen and string.mbsub: a character is two
// bytes when its first byte is 0x81-0x9F or 0xE0-0xEF and the next one
// 0x40-0x7E or 0x80-0xFC. In a Unicode game a character is one code point.
size_t mbLength(std::string_view s);
// Characters i to j counted from 1; negative positions count from the end.
std::string_view mbSubstring(std::string_view s, int64_t i, int64_t j);

}  // namespace velmora::bindings
