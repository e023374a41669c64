// The mask transition: the ramp tables, StageStart, the CPU pass that
// rewrites the mask's alpha every frame, and the shader pass.
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "base/report.h"
#include "image/image.h"
#include "render/internal.h"
#include "render/transition.h"
#include "sprite/easing.h"
#include "sprite/picture.h"

namespace velmora::render {
namespace {

constexpr int kRampRows = 512, kRampWidth = 1024;
constexpr int kRamp16Rows = 32, kRamp16Width = 64;

struct MaskState {
  std::unique_ptr<uint8_t[]> ramp;    // 512 x 1024
  std::unique_ptr<uint8_t[]> ramp16;  // 32 x 64, values already x 16
  int vagueness = 0;
  image::Image* mask = nullptr;  // the screen-sized mask; its alpha is rewritten
  std::vector<uint16_t> rows16;
};
MaskState maskState;

// Row 0 switches hard: nothing until the progress passes the mask value,
// then everything (the limit of the ramps as the vagueness goes to 0).
void buildRamps() {
  maskState.ramp = std::make_unique<uint8_t[]>(size_t{kRampRows} * kRampWidth);
  for (int v = 0; v < kRampRows; ++v)
    for (int k = 0; k < kRampWidth; ++k) {
      const int value = v == 0 ? (k > 255 ? 255 : 0) : std::clamp((k - 255) * 255 / v, 0, 255);
      maskState.ramp[static_cast<size_t>(v) * kRampWidth + k] = static_cast<uint8_t>(value);
    }
  maskState.ramp16 = std::make_unique<uint8_t[]>(size_t{kRamp16Rows} * kRamp16Width);
  for (int f = 0; f < kRamp16Rows; ++f)
    for (int k = 0; k < kRamp16Width; ++k) {
      const int value = f == 0 ? (k > 15 ? 15 : 0) : std::clamp((15 * k - 225) / f, 0, 15);
      maskState.ramp16[static_cast<size_t>(f) * kRamp16Width + k] = static_cast<uint8_t>(value * 16);
    }
}

bool sixteenBit() { return device().formatTexture == GL_RGBA4; }

// The mask picture into maskTexture through the upload converter.
bool uploadMask(const char* operation) {
  const DeviceState& d = device();
  const image::Image* m = maskState.mask;
  takeGlError();
  glBindTexture(GL_TEXTURE_2D, d.maskTexture);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  if (sixteenBit()) {
    maskState.rows16.resize(static_cast<size_t>(m->count));
    toRow16(m->pixels, maskState.rows16.data(), maskState.rows16.size());
    texSubImageArgb4444(0, 0, 0, m->width, m->height, maskState.rows16.data());
  } else {
    texSubImageBgra(0, 0, 0, m->width, m->height, m->pixels);
  }
  glBindTexture(GL_TEXTURE_2D, 0);
  if (GLenum e = takeGlError(); e != GL_NO_ERROR) {
    reportError(std::string(operation) + "LockRect " + glErrorName(e));
    return false;
  }
  return true;
}

bool fitToScreen(image::Image*& m) {
  const Geometry& g = geometry();
  if (m->width == g.screenWidth && m->height == g.screenHeight) return true;
  return image::resizeImage2(m, g.screenWidth, g.screenHeight, 1, 1, 1) != 0;
}

// The after scene into offscreenSurface, the before scene into the scene
// target, which stays bound.
bool drawBothScenes(const char* first, const char* second) {
  DeviceState& d = device();
  const Geometry& g = geometry();
  const GLuint scene = d.targetFbo;
  takeGlError();
  bindTarget(d.offscreenSurface, g.screenWidth, g.screenHeight);
  if (GLenum e = takeGlError(); e != GL_NO_ERROR) return reportError(std::string(first) + glErrorName(e)), false;
  drawScene(true);
  bindTarget(scene, g.screenWidth, g.screenHeight);
  if (GLenum e = takeGlError(); e != GL_NO_ERROR) return reportError(std::string(second) + glErrorName(e)), false;
  drawScene(false);
  return true;
}

// A full-screen quad of a two-stage program over the before scene.
void drawMaskQuad(ProgramId id, GLuint stage0, GLuint stage1, float c0, float c1) {
  DeviceState& d = device();
  const Geometry& g = geometry();
  GpuVertex v[4];
  pushScreenQuad({0, 0, g.screenWidth, g.screenHeight}, 0, 0, 1, 1, 0xFFFFFFFF, v);
  applyBlendRow(static_cast<int>(BlendRow::Alpha));
  useProgram(id);
  const Program& p = program(id);
  if (p.c0 >= 0) glUniform4f(p.c0, c0, 0, 0, 0);
  if (p.c1 >= 0) glUniform4f(p.c1, c1, 0, 0, 0);
  glActiveTexture(GL_TEXTURE1);
  glBindTexture(GL_TEXTURE_2D, stage1);
  glBindSampler(1, d.samplerPoint);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, stage0);
  glBindSampler(0, d.samplerPoint);
  streamBegin();
  streamPush(v, 4);
  streamUpload();
  streamDraw(0, 4);
  glActiveTexture(GL_TEXTURE1);
  glBindTexture(GL_TEXTURE_2D, 0);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, 0);
}

// Eased curves may overshoot, so positions are kept inside the rows.
void rewriteAlpha(uint32_t elapsed, uint32_t duration, int easing) {
  image::Image* m = maskState.mask;
  const int v = maskState.vagueness;
  if (sixteenBit()) {
    const int row = v >> 4;
    const int p = transitionProgress(row + 15, elapsed, duration, easing);
    for (int i = 0; i < m->count; ++i) {
      const int k = std::clamp(p - static_cast<int>((m->pixels[i] & 0xFF) >> 4) + 15, 0, kRamp16Width - 1);
      const uint32_t a = maskRamp16(row, k);
      m->pixels[i] = (m->pixels[i] & 0x00FFFFFFu) | (a | a >> 4) << 24;
    }
    return;
  }
  const int p = transitionProgress(v + 255, elapsed, duration, easing);
  const uint8_t* ramp = maskRampRow(v);
  for (int i = 0; i < m->count; ++i) {
    const int k = std::clamp(p - static_cast<int>(m->pixels[i] & 0xFF) + 255, 0, kRampWidth - 1);
    m->pixels[i] = (m->pixels[i] & 0x00FFFFFFu) | uint32_t{ramp[k]} << 24;
  }
}

}  // namespace

const uint8_t* maskRampRow(int vagueness) {
  if (!maskState.ramp) buildRamps();
  return &maskState.ramp[static_cast<size_t>(std::clamp(vagueness, 0, kRampRows - 1)) * kRampWidth];
}

const uint8_t* maskRamp16Row(int row) {
  if (!maskState.ramp16) buildRamps();
  return &maskState.ramp16[static_cast<size_t>(std::clamp(row, 0, kRamp16Rows - 1)) * kRamp16Width];
}

uint8_t maskRamp(int vagueness, int position) {
  return maskRampRow(vagueness)[std::clamp(position, 0, kRampWidth - 1)];
}

uint8_t maskRamp16(int row, int position) {
  return maskRamp16Row(row)[std::clamp(position, 0, kRamp16Width - 1)];
}

int maskVagueness() { return maskState.vagueness; }
void setMaskVagueness(int v) { maskState.vagueness = std::clamp(v, 0, kRampRows - 1); }

bool startMask(const std::string& path) {
  releaseMask();
  if (!maskState.ramp) buildRamps();
  image::Image* m = sprite::loadWholePicture(path.c_str(), nullptr, true);
  if (!m) return false;
  if (!fitToScreen(m)) {
    image::freeImage(m);
    return false;
  }
  maskState.mask = m;
  if (!device().resources || !uploadMask("StageStart ")) {
    releaseMask();
    return false;
  }
  return true;
}

// A screen change in the middle of a mask transition (Alt+Enter with a hard
// edge, the menu) makes maskTexture anew, maybe of another size: the
// shader pass reads it without uploading it again.
void restoreMaskAfterReset() {
  if (maskState.mask && (!fitToScreen(maskState.mask) || !uploadMask("StageStart "))) releaseMask();
}

void releaseMask() {
  if (maskState.mask) image::freeImage(maskState.mask);
  maskState.mask = nullptr;
}

void stageMaskPass(uint32_t elapsed, uint32_t duration, int easing) {
  if (!maskState.mask) return;
  if (!drawBothScenes("SetRenderTarget Stage 1 ", "SetRenderTarget Stage 2 ")) return;
  rewriteAlpha(elapsed, duration, easing);
  if (!uploadMask("StageTransition ")) return;
  const DeviceState& d = device();
  drawMaskQuad(ProgramId::MaskStage, d.maskTexture, d.offscreenTexture, 0, 0);
}

void shaderMaskPass(uint32_t elapsed, uint32_t duration, int easing) {
  if (!maskState.mask) return;
  if (!drawBothScenes("SetRenderTarget Shader 1 ", "SetRenderTarget Shader 2 ")) return;
  const int v = maskState.vagueness;
  const float range = static_cast<float>(v + 255);
  const float p = duration == 0 ? range
                                : sprite::easeFloat(easing, range, static_cast<float>(std::min(elapsed, duration)),
                                                    static_cast<float>(duration));
  const DeviceState& d = device();
  drawMaskQuad(ProgramId::MaskFade, d.offscreenTexture, d.maskTexture, v ? 255.0f / static_cast<float>(v) : 0.0f,
               p / 255.0f);
}

}  // namespace velmora::render
