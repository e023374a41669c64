// The effect command: preparation, the timed frame loop, the finish and the
// look-ahead around it; the Fade pass and the motion-blur pass.
#include "render/transition.h"

#include <algorithm>

#include "bindings/bridge.h"
#include "bindings/catalogue.h"
#include "script/modes.h"
#include "base/pump.h"
#include "base/report.h"
#include "base/settings.h"
#include "base/state.h"
#include "base/textconv.h"
#include "render/internal.h"
#include "render/messages.h"
#include "render/window/window_events.h"
#include "sprite/easing.h"
#include "sprite/motion.h"
#include "sprite/picture.h"
#include "sprite/sprite.h"
#include "script/reading_settings.h"

namespace velmora::render {
namespace {

struct TransitionState {
  int blurStrength = 0;
};
TransitionState transitionState;

// Binds a target for a pass; a failure is reported and the pass draws nothing.
bool setPassTarget(GLuint fbo, const char* operation) {
  const Geometry& g = geometry();
  takeGlError();
  bindTarget(fbo, g.screenWidth, g.screenHeight);
  GLenum e = takeGlError();
  if (e == GL_NO_ERROR && glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE)
    e = GL_INVALID_FRAMEBUFFER_OPERATION;
  if (e == GL_NO_ERROR) return true;
  reportError(std::string(operation) + glErrorName(e));
  return false;
}

void drawRenderTextureOver(int alpha) {
  const Geometry& g = geometry();
  overlayRenderTexture({0, 0, g.screenWidth, g.screenHeight}, std::clamp(alpha, 0, 255));
}

void fadePass(uint32_t elapsed, uint32_t duration, int easing) {
  DeviceState& d = device();
  const GLuint scene = d.targetFbo;
  if (!setPassTarget(d.offscreenSurface, "SetRenderTarget Fade 1 ")) return;
  drawScene(true);
  if (!setPassTarget(scene, "SetRenderTarget Fade 2 ")) return;
  drawScene(false);
  drawRenderTextureOver(transitionProgress(255, elapsed, duration, easing));
}

// The scene target is not cleared between frames, so what was there shows
// through the new frame at 255 - strength.
void motionBlurPass(uint32_t, uint32_t, int) {
  DeviceState& d = device();
  const GLuint scene = d.targetFbo;
  if (!setPassTarget(d.offscreenSurface, "SetRenderTarget MotionBlur 1 ")) return;
  drawScene(false);
  if (!setPassTarget(scene, "SetRenderTarget MotionBlur 2 ")) return;
  drawRenderTextureOver(transitionState.blurStrength);
}


// The mask pass is the shader one when every pixel shader loaded.
void installMaskPass() { setScenePass(kPassMask, device().shadersLoaded ? shaderMaskPass : stageMaskPass); }

bool skipEffects() {
  const script::ReadingModes& m = script::readingModes();
  return m.skip != 0 || m.jump != 0 || sprite::jumpLoading() || script::effectsSkipped();
}

void cmd_effect(bindings::CommandContext c) {
  const std::string_view name = bindings::stringArg(c, 4);
  // A negative time would wait for weeks: it runs as 0 does.
  const uint32_t duration = static_cast<uint32_t>(std::max(bindings::intArg(c, 2), 0));
  runEffect(bindings::intArg(c, 1), duration, bindings::intArg(c, 3), name, bindings::intArg(c, 5),
            bindings::intArg(c, 6) != 0);
}

void cmd_existStretch(bindings::CommandContext c) {
  bindings::intResult(c, 2, existStretch(bindings::stringArg(c, 1)) ? 1 : 0);
}

const bindings::CoreBinding kTransitionCores[] = {
    {"effect", cmd_effect},
    {"existStretch", cmd_existStretch},
};

}  // namespace

int transitionProgress(int range, uint32_t t, uint32_t duration, int easing) {
  if (duration == 0) return range;
  return sprite::easeInt(easing, range, static_cast<int>(std::min(t, duration)), static_cast<int>(duration));
}

void useRenderTexture(int blendRow) {
  const DeviceState& d = device();
  applyBlendRow(blendRow);
  useProgram(ProgramId::Sprite);
  glUniform1i(program(ProgramId::Sprite).stage1, 0);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, d.offscreenTexture);
  glBindSampler(0, d.samplerPoint);
}

void overlayRenderTexture(const Rect& r, int alpha) {
  GpuVertex v[4];
  pushScreenQuad(r, 0, 0, 1, 1, static_cast<uint32_t>(alpha) << 24 | 0xFFFFFFu, v);
  useRenderTexture(static_cast<int>(BlendRow::Alpha));
  streamBegin();
  streamPush(v, 4);
  streamUpload();
  streamDraw(0, 4);
  glBindTexture(GL_TEXTURE_2D, 0);
}

bool prepareTransition(int index, std::string_view name, int vagueness) {
  const std::string path = sprite::normalisePath(name);
  bool ok = true;
  if (index == kPassNamed) {
    ok = selectEffect(path);
    if (!ok) reportError(path + messageText(Message::NoSuchEffect));
  } else if (index == kPassMask) {
    installMaskPass();
    ok = startMask(path);
  } else if (index < 0 || index >= kPassCount) {
    // No pass has this number: reported like an unknown name.
    reportError(std::to_string(index) + messageText(Message::NoSuchEffect));
    ok = false;
  }
  if (!ok) {
    sprite::commitAll();
    return false;
  }
  // Only the mask pass has an edge to soften; Alt+Enter reads it as "a soft
  // mask transition runs".
  if (index == kPassMask) setMaskVagueness((vagueness - 1) & 0x1FF);
  return true;
}

void finishTransition(int index) {
  sprite::commitAll();
  setMaskVagueness(0);
  if (index == kPassMask) releaseMask();
}

void runEffect(int index, uint32_t duration, int easing, std::string_view name, int vagueness, bool lookahead) {
  if (skipEffects()) {
    sprite::commitAll();
    return;
  }
  if (!deviceCreated()) {
    sprite::commitAll();
    return;
  }
  if (!prepareTransition(index, name, vagueness)) return;
  if (lookahead) sprite::startLookahead();
  timedFrameWait(index, duration | sprite::kDurationFloorBit, easing);
  finishTransition(index);
  if (!quitRequest) present(0, 0, 0, 0);
  if (lookahead) sprite::finishLookahead();
}

void setMotionBlur(bool on, int strength) {
  transitionState.blurStrength = strength & 255;
  setScenePass(kPassPlain, on ? motionBlurPass : nullptr);
}

void bindTransitionCoresAndPasses() {
  bindings::bindCores(kTransitionCores);
  setScenePass(kPassFade, fadePass);
  setScenePass(kPassNamed, namedEffectPass);
  setScenePass(kPassMask, stageMaskPass);
  // Alt+Enter waits while a soft edge is being drawn.
  setTransitionBusy([] { return maskVagueness() != 0; });
  addDeviceResetCallback(nullptr, restoreMaskAfterReset);
}

}  // namespace velmora::render
