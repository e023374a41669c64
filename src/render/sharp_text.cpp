// Text at the output's pixels. When the window or screen is larger than the
// game's screen, the scene below the first string sprite or the text layer
// is scaled as a picture (by the chosen filter); the string sprites' texts
// and the glyphs, rasterized at the output's size, and the sprites among and
// over them are then drawn straight into the output picture. The scene
// target is completed afterwards, so captures see the whole scene.
#include <algorithm>
#include <climits>
#include <cmath>
#include <unordered_map>

#include "base/settings.h"
#include "image/image.h"
#include "render/hooks.h"
#include "render/internal.h"
#include "render/display_settings.h"
#include "sprite/sprite.h"

namespace velmora::render {
namespace {

// Enlargements below this keep the game's glyphs: too close to 1:1 to tell.
constexpr float kLeastScale = 1.01f;

// A string sprite's text at the output's pixels, and the scale it was made for.
struct SharpSprite {
  void* texture = nullptr;
  GlyphScale scale;
};

struct SharpTextState {
  bool planned = false;  // this frame leaves its text layer to the present
  bool drawing = false;  // the text layer is being drawn at output pixels
  bool spritesAtOutput = false;  // the sprites are being drawn over the output picture
  int firstKey = -1;  // the first draw key left to the present (-1: the text layer)
  GlyphScale scale;
  int originX = 0, originY = 0;  // the picture's corner in output pixels, rows top-down
  GLuint outputTexture = 0, outputFbo = 0;
  int outputWidth = 0, outputHeight = 0;
  std::unordered_map<const sprite::Slot*, SharpSprite> sprites;
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

void forgetSprites() {
  for (auto& [slot, sharp] : sharpState.sprites) releaseTexture(sharp.texture);
  sharpState.sprites.clear();
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
  // Without room for the output picture the text is scaled with the scene.
  if (!makeOutputTarget(width, height, s.outputTexture, s.outputFbo)) return false;
  s.outputWidth = width, s.outputHeight = height;
  return true;
}

bool textLayerShown() { return (windowVisibleFlags() & 2) && renderHooks().drawTextLayer; }

// Sprites in screen coordinates over the picture's output rectangle.
void bindOverPicture() {
  const SharpTextState& s = sharpState;
  const Geometry& g = geometry();
  bindTarget(s.outputFbo, g.screenWidth, g.screenHeight);
  glViewport(s.originX, s.originY, static_cast<int>(std::lround(static_cast<float>(g.screenWidth) * s.scale.x)),
             static_cast<int>(std::lround(static_cast<float>(g.screenHeight) * s.scale.y)));
}

// The sprites from the first string sprite, the text layer at output pixels,
// then the sprites over it.
void drawOverTextAtOutput() {
  SharpTextState& s = sharpState;
  s.spritesAtOutput = true;
  if (s.firstKey >= 0) {
    bindOverPicture();
    drawGroup(0, false, s.firstKey, 0);
  }
  if (textLayerShown()) {
    bindTarget(s.outputFbo, s.outputWidth, s.outputHeight);
    s.drawing = true;
    renderHooks().drawTextLayer();
    s.drawing = false;
  }
  bindOverPicture();
  drawGroup(0, false, -1, INT_MIN);
  s.spritesAtOutput = false;
}

bool planFrame() {
  SharpTextState& s = sharpState;
  const Geometry& g = geometry();
  if (!sharpText() || g.screenWidth <= 0 || g.screenHeight <= 0) return false;
  WindowPlacement w;
  if (!windowPlacement(w)) return false;
  const Mapping m = sceneToOutput(w);
  // Only enlargements: a smaller window shrinks the text with the pictures.
  if (m.kx < 1 || m.ky < 1 || std::max(m.kx, m.ky) < kLeastScale) return false;
  bool sprites = false;
  s.firstKey = renderHooks().textSpriteAt ? firstTextSpriteKey(sprites) : -1;
  if (!sprites && !textLayerShown()) return false;
  if (!ensureOutput(w.drawableWidth, w.drawableHeight)) return false;
  s.scale = {m.kx, m.ky};
  s.originX = static_cast<int>(std::lround(m.ox));
  s.originY = static_cast<int>(std::lround(m.oy));
  return true;
}

}  // namespace

bool makeOutputTarget(int width, int height, GLuint& texture, GLuint& fbo) {
  takeGlError();
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  glBindTexture(GL_TEXTURE_2D, 0);
  glGenFramebuffers(1, &fbo);
  glBindFramebuffer(GL_FRAMEBUFFER, fbo);
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture, 0);
  const bool complete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  device().targetFbo = UINT_MAX;
  if (complete && takeGlError() == GL_NO_ERROR) return true;
  glDeleteFramebuffers(1, &fbo);
  glDeleteTextures(1, &texture);
  texture = fbo = 0;
  return false;
}

bool planSharpText() {
  SharpTextState& s = sharpState;
  s.planned = planFrame();
  if (!s.planned) {
    s.firstKey = -1;
    if (!s.sprites.empty()) forgetSprites();
  }
  return s.planned;
}

int sharpTextFirstKey() { return sharpState.planned ? sharpState.firstKey : -1; }

void* sharpTextSprite(int n, const sprite::Slot& slot) {
  SharpTextState& s = sharpState;
  if (!s.spritesAtOutput || !slot.showsText || !renderHooks().textSpriteAt) return nullptr;
  SharpSprite& sharp = s.sprites[&slot];
  if (sharp.texture && sharp.scale.x == s.scale.x && sharp.scale.y == s.scale.y) return sharp.texture;
  releaseTexture(sharp.texture);
  sharp.scale = s.scale;
  const int w = static_cast<int>(std::lround(static_cast<float>(slot.imageWidth) * s.scale.x));
  const int h = static_cast<int>(std::lround(static_cast<float>(slot.imageHeight) * s.scale.y));
  image::Image* picture = renderHooks().textSpriteAt(n, w, h, s.scale.x, s.scale.y);
  if (picture) {
    sharp.texture = createTexture(picture->width, picture->height, 1);
    if (sharp.texture && uploadTextureLevel(sharp.texture, 0, picture) != 1) releaseTexture(sharp.texture);
    image::freeImage(picture);
  }
  // Without it the sprite's picture is scaled as it was.
  return sharp.texture;
}

void forgetSharpTextSprite(const sprite::Slot& slot) {
  auto it = sharpState.sprites.find(&slot);
  if (it == sharpState.sprites.end()) return;
  releaseTexture(it->second.texture);
  sharpState.sprites.erase(it);
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
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, windowFramebuffer());
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
  drawSceneOverText(false, s.firstKey);
}

void glyphOrigin(int& x, int& y) {
  x = sharpState.drawing ? sharpState.originX : 0;
  y = sharpState.drawing ? sharpState.originY : 0;
}

GlyphScale glyphScale() { return sharpState.drawing ? sharpState.scale : GlyphScale{}; }

GLuint sharpTextOutput() { return sharpState.planned ? sharpState.outputFbo : 0; }

void releaseSharpText() {
  deleteOutput();
  forgetSprites();
  sharpState.planned = sharpState.drawing = sharpState.spritesAtOutput = false;
}

}  // namespace velmora::render
