// Text at the output's pixels. When the window or screen is larger than the
// game's screen, the scene below the text layer is scaled as a picture (by
// the chosen filter); the glyphs, rasterized at the output's size, and the
// sprites over them are then drawn straight into the output picture. The
// scene target is completed afterwards, so captures see the whole scene.
#include <algorithm>
#include <climits>
#include <cmath>

#include "base/settings.h"
#include "render/hooks.h"
#include "render/internal.h"

namespace velmora::render {
namespace {

// Enlargements below this keep the game's glyphs: too close to 1:1 to tell.
constexpr float kLeastScale = 1.01f;

struct SharpTextState {
  bool planned = false;  // this frame leaves its text layer to the present
  bool drawing = false;  // the text layer is being drawn at output pixels
  GlyphScale scale;
  int originX = 0, originY = 0;  // the picture's corner in output pixels, rows top-down
  GLuint outputTexture = 0, outputFbo = 0;
  int outputWidth = 0, outputHeight = 0;
};
SharpTextState sharpState;

// Screen pixels to output pixels: the present quad takes the scene into the
// back buffer, the placement the back buffer into the window.
struct Mapping {
  float kx = 1, ky = 1, ox = 0, oy = 0;
};

Mapping sceneToOutput(const WindowPlacement& w) {
  const DeviceState& d = device();
  const Geometry& g = geometry();
  const Rect q = d.present.target == SceneTarget::BackSurface ? d.present.quad : Rect{0, 0, g.screenWidth, g.screenHeight};
  const int top = w.drawableHeight - w.y0, bottom = w.drawableHeight - w.y1;
  const float bx = static_cast<float>(w.x1 - w.x0) / static_cast<float>(std::max(w.src.width(), 1));
  const float by = static_cast<float>(bottom - top) / static_cast<float>(std::max(w.src.height(), 1));
  Mapping m;
  m.kx = static_cast<float>(q.width()) / static_cast<float>(g.screenWidth) * bx;
  m.ky = static_cast<float>(q.height()) / static_cast<float>(g.screenHeight) * by;
  m.ox = static_cast<float>(w.x0) + static_cast<float>(q.left - w.src.left) * bx;
  m.oy = static_cast<float>(top) + static_cast<float>(q.top - w.src.top) * by;
  return m;
}

void deleteOutput() {
  SharpTextState& s = sharpState;
  if (s.outputFbo) glDeleteFramebuffers(1, &s.outputFbo);
  if (s.outputTexture) glDeleteTextures(1, &s.outputTexture);
  s.outputFbo = s.outputTexture = 0;
  s.outputWidth = s.outputHeight = 0;
}

bool ensureOutput(int width, int height) {
  SharpTextState& s = sharpState;
  if (s.outputFbo && s.outputWidth == width && s.outputHeight == height) return true;
  deleteOutput();
  takeGlError();
  glGenTextures(1, &s.outputTexture);
  glBindTexture(GL_TEXTURE_2D, s.outputTexture);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  glBindTexture(GL_TEXTURE_2D, 0);
  glGenFramebuffers(1, &s.outputFbo);
  glBindFramebuffer(GL_FRAMEBUFFER, s.outputFbo);
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, s.outputTexture, 0);
  const bool complete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  device().targetFbo = UINT_MAX;
  // Without room for the output picture the text is scaled with the scene.
  if (!complete || takeGlError() != GL_NO_ERROR) {
    deleteOutput();
    return false;
  }
  s.outputWidth = width, s.outputHeight = height;
  return true;
}

// The text layer at output pixels, then the sprites over it in screen
// coordinates over the picture's output rectangle.
void drawOverTextAtOutput() {
  SharpTextState& s = sharpState;
  const Geometry& g = geometry();
  bindTarget(s.outputFbo, s.outputWidth, s.outputHeight);
  s.drawing = true;
  renderHooks().drawTextLayer();
  s.drawing = false;
  bindTarget(s.outputFbo, g.screenWidth, g.screenHeight);
  glViewport(s.originX, s.originY, static_cast<int>(std::lround(static_cast<float>(g.screenWidth) * s.scale.x)),
             static_cast<int>(std::lround(static_cast<float>(g.screenHeight) * s.scale.y)));
  drawGroup(0, false, -1, INT_MIN);
}

}  // namespace

bool planSharpText() {
  SharpTextState& s = sharpState;
  s.planned = false;
  const Geometry& g = geometry();
  if (!setting(SettingKey::SharpText) || !(windowVisibleFlags() & 2) || !renderHooks().drawTextLayer) return false;
  if (g.screenWidth <= 0 || g.screenHeight <= 0) return false;
  WindowPlacement w;
  if (!windowPlacement(w)) return false;
  const Mapping m = sceneToOutput(w);
  // Only enlargements: a smaller window shrinks the text with the pictures.
  if (m.kx < 1 || m.ky < 1 || std::max(m.kx, m.ky) < kLeastScale) return false;
  if (!ensureOutput(w.drawableWidth, w.drawableHeight)) return false;
  s.scale = {m.kx, m.ky};
  s.originX = static_cast<int>(std::lround(m.ox));
  s.originY = static_cast<int>(std::lround(m.oy));
  s.planned = true;
  return true;
}

bool sharpTextPlanned() { return sharpState.planned; }

bool presentSharpText(const WindowPlacement& w, GLenum filter) {
  SharpTextState& s = sharpState;
  if (!s.planned) return false;
  const int dw = w.drawableWidth, dh = w.drawableHeight;
  const int top = dh - w.y0, bottom = dh - w.y1;
  // Output rows run top-down like every target's: no flip on the way in.
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, s.outputFbo);
  glBlitFramebuffer(w.src.left, w.src.top, w.src.right, w.src.bottom, w.x0, top, w.x1, bottom, GL_COLOR_BUFFER_BIT, filter);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
  drawOverTextAtOutput();
  const int l = std::clamp(std::min(w.x0, w.x1), 0, dw), r = std::clamp(std::max(w.x0, w.x1), 0, dw);
  const int t = std::clamp(std::min(top, bottom), 0, dh), b = std::clamp(std::max(top, bottom), 0, dh);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, s.outputFbo);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
  glBlitFramebuffer(l, t, r, b, l, dh - t, r, dh - b, GL_COLOR_BUFFER_BIT, GL_NEAREST);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
  glViewport(0, 0, dw, dh);
  device().targetFbo = UINT_MAX;
  return true;
}

void endSharpText() {
  SharpTextState& s = sharpState;
  if (!s.planned) return;
  s.planned = false;
  const DeviceState& d = device();
  const Geometry& g = geometry();
  bindTarget(d.present.target == SceneTarget::BackSurface ? d.sceneSurface : d.backBuffer, g.screenWidth, g.screenHeight);
  drawSceneOverText(false);
}

void glyphOrigin(int& x, int& y) {
  x = sharpState.drawing ? sharpState.originX : 0;
  y = sharpState.drawing ? sharpState.originY : 0;
}

GlyphScale glyphScale() { return sharpState.drawing ? sharpState.scale : GlyphScale{}; }

GLuint sharpTextOutput() { return sharpState.planned ? sharpState.outputFbo : 0; }

void releaseSharpText() {
  deleteOutput();
  sharpState.planned = sharpState.drawing = false;
}

}  // namespace velmora::render
