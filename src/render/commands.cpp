// The display and frame command cores, and the display's setting effects.
#include <array>

#include "bindings/bridge.h"
#include "bindings/catalogue.h"
#include "bindings/host_utility.h"
#include "platform/glide.h"
#include "base/pump.h"
#include "base/report.h"
#include "base/settings.h"
#include "base/state.h"
#include "platform/window.h"
#include "render/display.h"
#include "render/geometry.h"
#include "render/internal.h"
#include "render/transition.h"
#include "render/window/window_events.h"
#include "sprite/motion.h"
#include "sprite/sprite.h"
#include "render/display_settings.h"

namespace velmora::render {
namespace {

using namespace velmora::bindings;
using K = SettingKey;

void cmd_screen(CommandContext c) {
  const int w = intArg(c, 1), h = intArg(c, 2), t = intArg(c, 3), flags = intArg(c, 4);
  if (!startScreen(w, h, t, flags)) quitRequest = 1;
}

void cmd_setWindowText(CommandContext c) {
  setWindowText(stringArg(c, 1));
}

void cmd_getScreenRate(CommandContext c) {
  intResult(c, 1, screenRatePercent(geometry()));
}

void cmd_getScreenWidth(CommandContext c) {
  intResult(c, 1, geometry().screenWidth);
}

void cmd_getScreenHeight(CommandContext c) {
  const Geometry& g = geometry();
  intResult(c, 1, g.screenWidth2 ? g.screenHeight2 * g.screenWidth / g.screenWidth2 : g.screenHeight);
}

void cmd_getScreenAspect2(CommandContext c) {
  intResult(c, 1, geometry().aspectChoice);
}

// A loop of draws is how games wait for movies and motions; it takes no
// messages itself, so it looks for quit and close requests here.
void cmd_draw(CommandContext) {
  drawFrame();
  pollEndRequests();
}

void cmd_draw2(CommandContext) {
  drawFrameIfAnimating();
  pollEndRequests();
}

void cmd_draw3(CommandContext) {
  commitOnly();
}

// The Lua and Squirrel utility: a sprite without a picture returns nothing.
void util_SetRenderTarget2(CommandContext c) {
  if (const std::optional<int> result = setRenderTarget2(intArg(c, 1), intArg(c, 2))) intResult(c, 1, *result);
}

const CoreBinding kRenderCores[] = {
    {"screen", cmd_screen},
    {"setWindowText", cmd_setWindowText},
    {"getScreenRate", cmd_getScreenRate},
    {"getScreenWidth", cmd_getScreenWidth},
    {"getScreenHeight", cmd_getScreenHeight},
    {"getScreenAspect2", cmd_getScreenAspect2},
    {"draw", cmd_draw},
    {"draw2", cmd_draw2},
    {"draw3", cmd_draw3},
};

}  // namespace

// setFullScreen and setScreenAspect store first; the switch compares with
// what is in force, so an unchanged value does nothing.
void fullScreenSettingChanged(K, SettingSource source) {
  if (source == SettingSource::Command) switchFullScreen(fullScreen(), false);
}

void aspectSettingChanged(K, SettingSource) { switchAspect(screenAspectValue()); }

void releaseSpriteTextures(sprite::Slot& slot) {
  if (deviceCreated()) releaseSlotTextures(slot);
}

void bindRenderCores() {
  bindCores(kRenderCores);
  bindSetRenderTarget2(util_SetRenderTarget2);
}

void releaseRenderDevice() {
  DeviceState& d = device();
  if (d.created) {
    releaseRenderResources();
    releaseFilterObjects();
    releasePrograms();
    if (d.vbo) glDeleteBuffers(1, &d.vbo);
    if (d.vao) glDeleteVertexArrays(1, &d.vao);
    GLuint samplers[3] = {d.samplerLinear, d.samplerPoint, d.samplerLinearMip};
    if (d.samplerLinear) glDeleteSamplers(3, samplers);
    if (d.whiteTexture) glDeleteTextures(1, &d.whiteTexture);
  }
  forgetSharedTiles();
  sprite::setSwitchBlendOnGpu(true);
  releaseWallPaper();
  releaseOverlayTexture();
  d = DeviceState{};
}

}  // namespace velmora::render
