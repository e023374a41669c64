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
RuntimeState RT;

void* resolve(const char* name) {
  for (void* h : RT.handles)
    if (void* f = h ? dlsym(h, name) : nullptr) return f;
  return nullptr;
}

bool bindAll() {
  bool ok = true;
#define VELMORA_SQUIRREL_BIND(f) \
  RT.api.f = reinterpret_cast<decltype(RT.api.f)>(resolve(#f)); \
  ok = ok && RT.api.f;
  VELMORA_SQUIRREL_FUNCTIONS(VELMORA_SQUIRREL_BIND)
#undef VELMORA_SQUIRREL_BIND
  return ok;
}

void closeHandles() {
  for (void*& h : RT.handles) {
    if (h) dlclose(h);
    h = nullptr;
  }
}

// The core library and, when it is separate, its standard library.
bool tryRuntime(const char* core, std::initializer_list<const char*> standard) {
  RT.handles[0] = dlopen(core, RTLD_NOW | RTLD_LOCAL);
  if (!RT.handles[0]) return false;
  for (const char* s : standard)
    if (!RT.handles[1]) RT.handles[1] = dlopen(s, RTLD_NOW | RTLD_LOCAL);
  if (bindAll()) return true;
  closeHandles();
  return false;
}

}  // namespace

const SquirrelApi* squirrelApi() {
  if (!RT.tried) {
    RT.tried = true;
    if (const char* chosen = std::getenv("VELMORA_SQUIRREL"); chosen && *chosen) {
      RT.complete = tryRuntime(chosen, {});
    } else {
      RT.complete = tryRuntime("libsquirrel3.so.0", {"libsqstdlib3.so.0"}) ||
                    tryRuntime("libsquirrel.so.0", {"libsqstdlib.so.0"}) ||
                    tryRuntime("libcodeblocks.so.0", {});
    }
  }
  if (!RT.complete && kInBrowser) reportBrowserLimit("squirrel", "the Squirrel runtime");
  return RT.complete ? &RT.api : nullptr;
}

}  // namespace velmora::bindings
