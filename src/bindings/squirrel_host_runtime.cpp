#include "bindings/squirrel_host_runtime.h"

#include <dlfcn.h>

#include <cstdlib>
#include <initializer_list>

#include "bindings/browser_limits.h"

namespace velmora::bindings {
namespace {

struct RuntimeState {
  bool tried = false;
  void* handles[2] = {nullptr, nullptr};
  SquirrelApi api;
  bool complete = false;
};
RuntimeState runtimeState;

void* resolve(const char* name) {
  for (void* h : runtimeState.handles)
    if (void* f = h ? dlsym(h, name) : nullptr) return f;
  return nullptr;
}

bool bindAll() {
  bool ok = true;
#define VELMORA_SQUIRREL_BIND(f) \
  runtimeState.api.f = reinterpret_cast<decltype(runtimeState.api.f)>(resolve(#f)); \
  ok = ok && runtimeState.api.f;
  VELMORA_SQUIRREL_FUNCTIONS(VELMORA_SQUIRREL_BIND)
#undef VELMORA_SQUIRREL_BIND
  return ok;
}

void closeHandles() {
  for (void*& h : runtimeState.handles) {
    if (h) dlclose(h);
    h = nullptr;
  }
}

// The core library and, when it is separate, its standard library.
bool tryRuntime(const char* core, std::initializer_list<const char*> standard) {
  runtimeState.handles[0] = dlopen(core, RTLD_NOW | RTLD_LOCAL);
  if (!runtimeState.handles[0]) return false;
  for (const char* s : standard)
    if (!runtimeState.handles[1]) runtimeState.handles[1] = dlopen(s, RTLD_NOW | RTLD_LOCAL);
  if (bindAll()) return true;
  closeHandles();
  return false;
}

}  // namespace

const SquirrelApi* squirrelApi() {
  if (!runtimeState.tried) {
    runtimeState.tried = true;
    if (const char* chosen = std::getenv("VELMORA_SQUIRREL"); chosen && *chosen) {
      runtimeState.complete = tryRuntime(chosen, {});
    } else {
      runtimeState.complete = tryRuntime("libsquirrel3.so.0", {"libsqstdlib3.so.0"}) ||
                    tryRuntime("libsquirrel.so.0", {"libsqstdlib.so.0"}) ||
                    tryRuntime("libcodeblocks.so.0", {});
    }
  }
  if (!runtimeState.complete && kInBrowser) reportBrowserLimit("squirrel", "the Squirrel runtime");
  return runtimeState.complete ? &runtimeState.api : nullptr;
}

}  // namespace velmora::bindings
