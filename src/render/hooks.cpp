#include "render/hooks.h"

namespace velmora::render {
namespace {

RenderHooks g_hooks;

}  // namespace

void installRenderHooks(const RenderHooks& hooks) { g_hooks = hooks; }
const RenderHooks& renderHooks() { return g_hooks; }

}  // namespace velmora::render
