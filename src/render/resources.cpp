// Textures, render targets as framebuffers, their release and re-creation,
// and the callbacks of the parts that own device resources.
#include <algorithm>
#include <cstring>
#include <vector>

#include "bindings/library_commands.h"
#include "base/report.h"
#include "base/settings.h"
#include "base/state.h"
#include "image/image.h"
#include "platform/window.h"
#include "render/internal.h"
#include "render/display_settings.h"

namespace velmora::render {
namespace {

struct ResetCallback {
  DeviceCallback release, recreate;
};

struct ResourceState {
  std::vector<ResetCallback> callbacks;
  std::vector<uint16_t> rows16;
  GLenum textureError = GL_NO_ERROR;
  std::vector<uint32_t> rows32;
};
ResourceState resourceState;

bool sixteenBit() { return device().formatTexture == GL_RGBA4; }

GLuint newTexture(GLenum format, int width, int height, int levels) {
  noteTextureChange();
  if (levels < 1) levels = 1;
  GLenum layout = GL_RGBA, type = GL_UNSIGNED_BYTE;
  if (format == GL_RGB8) layout = GL_RGB;
  else if (format == GL_RGB565) layout = GL_RGB, type = GL_UNSIGNED_SHORT_5_6_5;
  else if (format == GL_RGBA4) type = GL_UNSIGNED_SHORT_4_4_4_4;
  GLuint tex = 0;
  glGenTextures(1, &tex);
  glBindTexture(GL_TEXTURE_2D, tex);
  for (int l = 0; l < levels; ++l)
    glTexImage2D(GL_TEXTURE_2D, l, static_cast<GLint>(format), std::max(1, width >> l), std::max(1, height >> l), 0,
                 layout, type, nullptr);
  noteTextureSize(width, height);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, levels - 1);
  return tex;
}

// A texture of the render format with a framebuffer on it; false reports.
bool makeTarget(GLenum format, int w, int h, GLuint& texture, GLuint& fbo, const char* textureName,
                const char* surfaceName) {
  texture = newTexture(format, w, h, 1);
  GLenum e = takeGlError();
  if (e != GL_NO_ERROR) {
    reportGl(std::string("CreateTexture ") + textureName + " ", e);
    return false;
  }
  glGenFramebuffers(1, &fbo);
  glBindFramebuffer(GL_FRAMEBUFFER, fbo);
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture, 0);
  const GLenum status = glCheckFramebufferStatus(GL_FRAMEBUFFER);
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  if (status != GL_FRAMEBUFFER_COMPLETE) {
    reportGl(std::string("GetSurfaceLevel ") + surfaceName + " ", status);
    return false;
  }
  return true;
}

void deleteTarget(GLuint& texture, GLuint& fbo) {
  noteTextureChange();
  if (fbo) glDeleteFramebuffers(1, &fbo);
  if (texture) glDeleteTextures(1, &texture);
  fbo = texture = 0;
}

void backBufferSize(int& w, int& h) {
  const Geometry& g = geometry();
  const bool logical = (fullScreen() && fullMode() == FullMode::Full1) || scalingFilter() == ScalingFilter::Driver;
  w = logical ? g.screenWidth : g.monitorWidth;
  h = logical ? g.screenHeight : g.monitorHeight;
  if (w <= 0 || h <= 0) w = g.screenWidth, h = g.screenHeight;
  // A canvas is the game's screen, however small the browser says its monitor is.
  if (platform::kWindowIsCanvas) w = std::max(w, g.screenWidth), h = std::max(h, g.screenHeight);
}

void defaultStates() {
  glDisable(GL_CULL_FACE);
  glDisable(GL_DEPTH_TEST);
  glDepthMask(GL_FALSE);
  glDisable(GL_DITHER);
#ifndef VELMORA_GLES
  glDisable(GL_MULTISAMPLE);
  glEnable(GL_DEPTH_CLAMP);  // no near/far clipping of tilted sprites
#endif
  glEnable(GL_BLEND);
  glBlendEquation(GL_FUNC_ADD);
  glBlendFunc(GL_ONE, GL_ZERO);
}

void makeSamplers(DeviceState& d) {
  if (d.samplerLinear) return;
  GLuint s[3];
  glGenSamplers(3, s);
  d.samplerLinear = s[0], d.samplerPoint = s[1], d.samplerLinearMip = s[2];
  for (GLuint x : s) {
    glSamplerParameteri(x, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glSamplerParameteri(x, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  }
  glSamplerParameteri(d.samplerLinear, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glSamplerParameteri(d.samplerLinear, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glSamplerParameteri(d.samplerPoint, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glSamplerParameteri(d.samplerPoint, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glSamplerParameteri(d.samplerLinearMip, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
  glSamplerParameteri(d.samplerLinearMip, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glGenVertexArrays(1, &d.vao);
  glGenBuffers(1, &d.vbo);
  glBindVertexArray(d.vao);
  glBindBuffer(GL_ARRAY_BUFFER, d.vbo);
  glEnableVertexAttribArray(0);
  glEnableVertexAttribArray(1);
  glEnableVertexAttribArray(2);
  glVertexAttribPointer(0, 4, GL_FLOAT, GL_FALSE, sizeof(GpuVertex), reinterpret_cast<void*>(0));
  glVertexAttribPointer(1, 4, GL_FLOAT, GL_FALSE, sizeof(GpuVertex), reinterpret_cast<void*>(16));
  vertexColourPointer(2, sizeof(GpuVertex), reinterpret_cast<void*>(32));
  const uint32_t white = 0xFFFFFFFF;
  glGenTextures(1, &d.whiteTexture);
  glBindTexture(GL_TEXTURE_2D, d.whiteTexture);
  texImageBgra(0, 1, 1, &white);
}

void callPlugins(bool reset) {
  for (const bindings::PluginLibrary& p : bindings::pluginLibraries()) {
    if (reset && p.deviceReset) p.deviceReset();
    if (!reset && p.deviceLost) p.deviceLost();
  }
}

}  // namespace

void toRow16(const uint32_t* src, uint16_t* dst, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    const uint32_t p = src[i];
    dst[i] = static_cast<uint16_t>(((p >> 16) & 0xF000) | ((p >> 12) & 0x0F00) | ((p >> 8) & 0x00F0) | ((p >> 4) & 0x000F));
  }
}

bool createRenderResources() {
  DeviceState& d = device();
  const Geometry& g = geometry();
  makeSamplers(d);
  backBufferSize(d.backBufferWidth, d.backBufferHeight);
  const int sw = g.screenWidth, sh = g.screenHeight;
  if (!makeTarget(d.formatRender, d.backBufferWidth, d.backBufferHeight, d.backBufferTexture, d.backBuffer,
                  "g_pBackBuffer", "g_pBackBuffer"))
    return false;
  if (!makeTarget(d.formatRender, sw, sh, d.sceneTexture, d.sceneSurface, "g_pBackTexture", "g_pBackSurface")) return false;
  if (!makeTarget(d.formatRender, sw, sh, d.offscreenTexture, d.offscreenSurface, "g_pRenderTexture", "g_pRenderSurface"))
    return false;
  d.maskTexture = newTexture(d.formatTexture, sw, sh, 1);
  if (GLenum e = takeGlError(); e != GL_NO_ERROR) {
    reportGl("CreateTexture g_pMaskTexture ", e);
    return false;
  }
  d.resources = true;
  updatePresentGeometry();
  recreateRenderTargetSprites();
  defaultStates();
  bindTarget(d.backBuffer, d.backBufferWidth, d.backBufferHeight);
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  callPlugins(true);
  for (const ResetCallback& c : resourceState.callbacks)
    if (c.recreate) c.recreate();
  return true;
}

void releaseRenderResources() {
  DeviceState& d = device();
  if (!d.resources) return;
  for (const ResetCallback& c : resourceState.callbacks)
    if (c.release) c.release();
  releaseRenderTargetSprites();
  releaseSharpText();
  if (d.maskTexture) glDeleteTextures(1, &d.maskTexture);
  d.maskTexture = 0;
  deleteTarget(d.offscreenTexture, d.offscreenSurface);
  deleteTarget(d.sceneTexture, d.sceneSurface);
  deleteTarget(d.backBufferTexture, d.backBuffer);
  d.resources = false;
  callPlugins(false);
}

bool screenChange(bool keep) {
  DeviceState& d = device();
  if (!d.created) return true;
  int w = 0, h = 0;
  backBufferSize(w, h);
  if (keep && d.resources && w == d.backBufferWidth && h == d.backBufferHeight) {
    updatePresentGeometry();
    return true;
  }
  platform::setSwapInterval(waitsInSwap(vsyncWait()) ? 1 : 0);
  releaseRenderResources();
  if (!createRenderResources()) {
    showErrorBox(std::string("Screen Change ") + glErrorName(GL_OUT_OF_MEMORY));
    quitRequest = 1;
    return false;
  }
  return true;
}

// Binding twice (tests bind per case) must not run a callback twice.
void addDeviceResetCallback(DeviceCallback release, DeviceCallback recreate) {
  for (const ResetCallback& c : resourceState.callbacks)
    if (c.release == release && c.recreate == recreate) return;
  resourceState.callbacks.push_back({release, recreate});
}

unsigned lastTextureError() { return resourceState.textureError; }

void* createTexture(int width, int height, int levels) {
  GLuint tex = newTexture(device().formatTexture, width, height, levels);
  resourceState.textureError = takeGlError();
  if (GLenum e = resourceState.textureError; e != GL_NO_ERROR) {
    reportGl("CreateTexture ", e);
    if (tex) glDeleteTextures(1, &tex);
    return nullptr;
  }
  return handleOf(tex);
}

void* createRenderTargetTexture(int width, int height, void*& surface) {
  GLuint tex = 0, fbo = 0;
  if (!makeTarget(device().formatTexture, width, height, tex, fbo, "RenderTarget", "RenderTarget")) {
    deleteTarget(tex, fbo);
    surface = nullptr;
    return nullptr;
  }
  surface = handleOf(fbo);
  return handleOf(tex);
}

void releaseTexture(void*& texture) {
  noteTextureChange();
  GLuint t = glName(texture);
  if (t) glDeleteTextures(1, &t);
  texture = nullptr;
}

void releaseSurface(void*& surface) {
  noteTextureChange();
  GLuint f = glName(surface);
  if (f) glDeleteFramebuffers(1, &f);
  surface = nullptr;
}

int uploadTextureRect(void* texture, const image::Image* picture, int x, int y, int w, int h) {
  noteTextureChange();
  GLuint tex = glName(texture);
  if (!tex || !picture || !picture->pixels) return 0;
  glBindTexture(GL_TEXTURE_2D, tex);
  GLint tw = 0, th = 0;
  textureLevelSize(0, tw, th);
  if (x < 0 || y < 0 || x + w > picture->width || y + h > picture->height) return 0;
  w = std::min(w, static_cast<int>(tw));
  h = std::min(h, static_cast<int>(th));
  // Texels beyond the picture part are zeroed, so filtering at the edges
  // never pulls in stale texture memory.
  const size_t count = static_cast<size_t>(tw) * static_cast<size_t>(th);
  resourceState.rows32.assign(count, 0);
  for (int r = 0; r < h; ++r)
    std::memcpy(&resourceState.rows32[static_cast<size_t>(r) * tw], picture->pixels + static_cast<size_t>(y + r) * picture->width + x,
                static_cast<size_t>(w) * 4);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  if (sixteenBit()) {
    resourceState.rows16.resize(count);
    toRow16(resourceState.rows32.data(), resourceState.rows16.data(), count);
    texSubImageArgb4444(0, 0, 0, tw, th, resourceState.rows16.data());
  } else {
    texSubImageBgra(0, 0, 0, tw, th, resourceState.rows32.data());
  }
  if (GLenum e = takeGlError(); e != GL_NO_ERROR) {
    reportGl("writeTexture3 LockRect ", e);
    return 0;
  }
  return 1;
}

int writeTextureRegion(void* texture, int x, int y, int w, int h, const uint32_t* pixels) {
  noteTextureChange();
  GLuint tex = glName(texture);
  if (!tex || !pixels || w <= 0 || h <= 0) return 0;
  glBindTexture(GL_TEXTURE_2D, tex);
  if (sixteenBit()) {
    resourceState.rows16.resize(static_cast<size_t>(w) * static_cast<size_t>(h));
    toRow16(pixels, resourceState.rows16.data(), resourceState.rows16.size());
    texSubImageArgb4444(0, x, y, w, h, resourceState.rows16.data());
  } else {
    texSubImageBgra(0, x, y, w, h, pixels);
  }
  resourceState.textureError = takeGlError();
  return resourceState.textureError == GL_NO_ERROR ? 1 : 0;
}

int uploadTextureLevel(void* texture, int level, const image::Image* picture) {
  noteTextureChange();
  GLuint tex = glName(texture);
  if (!tex || !picture || !picture->pixels) return 0;
  glBindTexture(GL_TEXTURE_2D, tex);
  GLint tw = 0, th = 0;
  textureLevelSize(level, tw, th);
  const int w = std::min(picture->width, static_cast<int>(tw)), h = std::min(picture->height, static_cast<int>(th));
  const size_t count = static_cast<size_t>(tw) * static_cast<size_t>(th);
  resourceState.rows32.assign(count, 0);
  for (int r = 0; r < h; ++r)
    std::memcpy(&resourceState.rows32[static_cast<size_t>(r) * tw], picture->pixels + static_cast<size_t>(r) * picture->width,
                static_cast<size_t>(w) * 4);
  if (sixteenBit()) {
    resourceState.rows16.resize(count);
    toRow16(resourceState.rows32.data(), resourceState.rows16.data(), count);
    texSubImageArgb4444(level, 0, 0, tw, th, resourceState.rows16.data());
  } else {
    texSubImageBgra(level, 0, 0, tw, th, resourceState.rows32.data());
  }
  if (GLenum e = takeGlError(); e != GL_NO_ERROR) {
    reportGl("writeTexture2 LockRect ", e);
    return 0;
  }
  return 1;
}

image::Image* getRenderImage(int width, int height) {
  DeviceState& d = device();
  if (!d.resources || width <= 0 || height <= 0) return nullptr;
  image::Image* out = image::createImage(width, height, 24);
  if (!out) return nullptr;
  std::memset(out->pixels, 0, static_cast<size_t>(out->count) * 4);
  const Geometry& g = geometry();
  const GLuint fbo = d.present.target == SceneTarget::BackSurface ? d.sceneSurface : d.backBuffer;
  const int w = std::min(width, g.screenWidth), h = std::min(height, g.screenHeight);
  glFinish();
  glBindFramebuffer(GL_READ_FRAMEBUFFER, fbo);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glPixelStorei(GL_PACK_ROW_LENGTH, width);
  // Target row 0 is the top of the screen, as image rows are.
  readPixelsBgra(0, 0, w, h, width, out->pixels);
  glPixelStorei(GL_PACK_ROW_LENGTH, 0);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
  if (GLenum e = takeGlError(); e != GL_NO_ERROR) reportGl("GetRenderTargetData ", e);
  return out;
}

}  // namespace velmora::render
