#include "bindings/host_commands.h"

#include "bindings/lua_host.h"
#include "bindings/squirrel_host.h"
#include "base/report.h"
#include "script/interp.h"
#include "script/library.h"

namespace velmora::bindings {
namespace {

// Replaces an earlier declaration of the same name.
void declare(std::unordered_map<uint32_t, int>& table, CommandContext c) {
  table[crc32_hash(script::trimText(stringArg(c, 1)))] = intArg(c, 2);
}

void core_funcLua(CommandContext c) {
  declare(script::luaFunctionTable(), c);
}

void core_funcSqu(CommandContext c) {
  declare(script::squirrelFunctionTable(), c);
}

void core_loadLua(CommandContext c) {
  loadLuaFile(stringArg(c, 1), c);
}

void core_loadSqu(CommandContext c) {
  loadSquirrelFile(stringArg(c, 1), c);
}

const CoreBinding kHostCores[] = {
    {"funcLua", core_funcLua},
    {"funcSqu", core_funcSqu},
    {"loadLua", core_loadLua},
    {"loadSqu", core_loadSqu},
};

}  // namespace

std::span<const CoreBinding> scriptHostCores() { return kHostCores; }

void registerScriptHosts() {
  bindCores(scriptHostCores());
}

void releaseScriptHosts() {
  closeLuaInterpreter();
  closeSquirrelVM();
}

}  // namespace velmora::bindings
