// The interpreters and the Squirrel registration helpers, exported with C
// linkage for plug-ins. The hosts use these same names, so linking a host
// links them.
#include "bindings/host_exports.h"

#include "bindings/squirrel_host_runtime.h"

#define VELMORA_EXPORT extern "C" __attribute__((visibility("default")))

// C linkage comes from the declarations in the header.
__attribute__((visibility("default"))) lua_State* g_L = nullptr;
__attribute__((visibility("default"))) SQVM* g_V = nullptr;

namespace {

const velmora::bindings::SquirrelApi* api(SQVM* vm) { return vm ? velmora::bindings::squirrelApi() : nullptr; }

}  // namespace

// A native closure without free variables in a root-table slot (not static).
VELMORA_EXPORT void sq_register_func(SQVM* vm, const char* name, long long (*function)(SQVM*)) {
  const velmora::bindings::SquirrelApi* sq = api(vm);
  if (!sq || !name || !function) return;
  sq->sq_pushroottable(vm);
  sq->sq_pushstring(vm, name, -1);
  sq->sq_newclosure(vm, function, 0);
  sq->sq_newslot(vm, -3, SQFalse);
  sq->sq_pop(vm, 1);
}

// A class without base in a root-table slot, with the given methods (one
// named "constructor" makes instances).
VELMORA_EXPORT void sq_register_class(SQVM* vm, const char* name, const VelmoraSquirrelMethod* methods, size_t count) {
  const velmora::bindings::SquirrelApi* sq = api(vm);
  if (!sq || !name) return;
  SQInteger top = sq->sq_gettop(vm);
  sq->sq_pushroottable(vm);
  sq->sq_pushstring(vm, name, -1);
  if (SQ_SUCCEEDED(sq->sq_newclass(vm, SQFalse))) {
    for (size_t i = 0; methods && i < count; ++i) {
      if (!methods[i].name || !methods[i].function) continue;
      sq->sq_pushstring(vm, methods[i].name, -1);
      sq->sq_newclosure(vm, methods[i].function, 0);
      sq->sq_newslot(vm, -3, SQFalse);
    }
    sq->sq_newslot(vm, -3, SQFalse);
  }
  sq->sq_settop(vm, top);
}

// A constant that scripts compiled afterwards see by name.
VELMORA_EXPORT void sq_const_int(SQVM* vm, const char* name, long long value) {
  const velmora::bindings::SquirrelApi* sq = api(vm);
  if (!sq || !name) return;
  sq->sq_pushconsttable(vm);
  sq->sq_pushstring(vm, name, -1);
  sq->sq_pushinteger(vm, value);
  sq->sq_newslot(vm, -3, SQFalse);
  sq->sq_pop(vm, 1);
}
