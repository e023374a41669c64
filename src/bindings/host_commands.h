#pragma once
// The script-host commands (funcLua, funcSqu, loadLua, loadSqu) and the
// start-up and release of the Lua and Squirrel hosts.
#include <span>

#include "bindings/catalogue.h"

namespace velmora::bindings {

std::span<const CoreBinding> scriptHostCores();

// At start-up, after the catalogue is registered: binds the four cores and
// installs the interpreter's callers and the error reports' traces for both languages.
void registerScriptHosts();
// At release: closes the Lua interpreter and the Squirrel VM.
void releaseScriptHosts();

}  // namespace velmora::bindings
