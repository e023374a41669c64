#pragma once
// The script-host commands (funcLua, funcSqu, loadLua, loadSqu) and the
// start-up and release of the Lua and Squirrel hosts.
#include <span>

#include "bindings/catalogue.h"

namespace velmora::bindings {

std::span<const CoreBinding> scriptHostCores();

// At start-up, after the catalogue is registered: binds the four cores (the
// wiring installs the hosts' callers and traces).
void registerScriptHosts();
// At release: closes the Lua interpreter and the Squirrel VM.
void releaseScriptHosts();

}  // namespace velmora::bindings
