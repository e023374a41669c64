#pragma once
// The Squirrel host: one VM (g_V), created by the first loadSqu, that sees
// the catalogue commands, the utility globals and the standard library.
// Unlike Lua, errors leave it usable.
#include <string>
#include <string_view>

#include "bindings/bridge.h"

namespace velmora::bindings {

// Compiles and runs a Squirrel file; context is the caller's (a Squirrel VM
// when loadSqu runs from Squirrel).
void loadSquirrelFile(std::string_view file, CommandContext context);
// The interpreter's kind-8 caller: a function declared with funcSqu.
void callSquirrelFunction(std::string_view name, const char* args, int resultKind);
// The Squirrel half of the error trace.
std::string squirrelTrace(std::string_view message);
bool squirrelVMOpen();
void closeSquirrelVM();

// What the VM printed since the last compile or call (newest text, capped).
const std::string& squirrelMessages();

}  // namespace velmora::bindings
