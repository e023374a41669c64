// Device creation: the context, colour formats with their fallbacks, the
// capability limits and the capability report.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/report.h"
#include "base/settings.h"
#include "base/state.h"
#include "base/textconv.h"
#include "platform/window.h"
#include "render/internal.h"
#include "render/messages.h"
#include "render/transition.h"
#include "sprite/motion.h"
#include "sprite/sprite.h"
#include "render/display_settings.h"
#include "sprite/sprite_settings.h"

namespace velmora::render {
namespace {

constexpr GLenum kGlContextLost = 0x0507;

struct ErrorName {
  GLenum code;
  const char* name;
};

const ErrorName kErrorNames[] = {
    {GL_NO_ERROR, "GL_NO_ERROR"},
    {GL_INVALID_ENUM, "GL_INVALID_ENUM"},
    {GL_INVALID_VALUE, "GL_INVALID_VALUE"},
    {GL_INVALID_OPERATION, "GL_INVALID_OPERATION"},
    {GL_INVALID_FRAMEBUFFER_OPERATION, "GL_INVALID_FRAMEBUFFER_OPERATION"},
    {GL_OUT_OF_MEMORY, "GL_OUT_OF_MEMORY"},
    {kGlContextLost, "GL_CONTEXT_LOST"},
    {GL_FRAMEBUFFER_COMPLETE, "GL_FRAMEBUFFER_COMPLETE"},
    {GL_FRAMEBUFFER_UNDEFINED, "GL_FRAMEBUFFER_UNDEFINED"},
    {GL_FRAMEBUFFER_INCOMPLETE_ATTACHMENT, "GL_FRAMEBUFFER_INCOMPLETE_ATTACHMENT"},
    {GL_FRAMEBUFFER_INCOMPLETE_MISSING_ATTACHMENT, "GL_FRAMEBUFFER_INCOMPLETE_MISSING_ATTACHMENT"},
    {GL_FRAMEBUFFER_INCOMPLETE_DRAW_BUFFER, "GL_FRAMEBUFFER_INCOMPLETE_DRAW_BUFFER"},
    {GL_FRAMEBUFFER_INCOMPLETE_READ_BUFFER, "GL_FRAMEBUFFER_INCOMPLETE_READ_BUFFER"},
    {GL_FRAMEBUFFER_UNSUPPORTED, "GL_FRAMEBUFFER_UNSUPPORTED"},
    {GL_FRAMEBUFFER_INCOMPLETE_MULTISAMPLE, "GL_FRAMEBUFFER_INCOMPLETE_MULTISAMPLE"},
    {GL_FRAMEBUFFER_INCOMPLETE_LAYER_TARGETS, "GL_FRAMEBUFFER_INCOMPLETE_LAYER_TARGETS"},
};

DeviceState g_device;

std::string gl(GLenum name) {
  const GLubyte* s = glGetString(name);
  return s ? reinterpret_cast<const char*>(s) : "";
}

int glInt(GLenum name) {
  GLint v = 0;
  glGetIntegerv(name, &v);
  return v;
}

bool hasExtension(const char* name) {
  const int n = glInt(GL_NUM_EXTENSIONS);
  for (int i = 0; i < n; ++i) {
    const GLubyte* e = glGetStringi(GL_EXTENSIONS, static_cast<GLuint>(i));
    if (e && std::strcmp(reinterpret_cast<const char*>(e), name) == 0) return true;
  }
  return false;
}

// A render-target format is usable when a small framebuffer of it is complete.
bool renderFormatUsable(GLenum format) {
  GLuint tex = 0, fbo = 0;
  glGenTextures(1, &tex);
  glBindTexture(GL_TEXTURE_2D, tex);
  const GLenum type = format == GL_RGB565 ? GL_UNSIGNED_SHORT_5_6_5 : GL_UNSIGNED_BYTE;
  glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(format), 4, 4, 0, GL_RGB, type, nullptr);
  glGenFramebuffers(1, &fbo);
  glBindFramebuffer(GL_FRAMEBUFFER, fbo);
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, tex, 0);
  const bool ok = glGetError() == GL_NO_ERROR && glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glDeleteFramebuffers(1, &fbo);
  glDeleteTextures(1, &tex);
  return ok;
}

void useSixteenBit(bool on) {
  g_device.formatRender = on ? GL_RGB565 : GL_RGB8;
  g_device.formatTexture = on ? GL_RGBA4 : GL_RGBA8;
}

// The colour depth the settings ask for, the other one with a notice, or
// an error when neither fits the desktop.
bool chooseColourFormats(int desktopBits) {
  const bool desktop32 = desktopBits >= 24;
  if (colourDepth() == ColourDepth::SixteenBit) {
    if (renderFormatUsable(GL_RGB565)) {
      useSixteenBit(true);
    } else if (desktop32 && renderFormatUsable(GL_RGB8)) {
      useSixteenBit(false);
      reportError(messageText(Message::SixteenBitUnavailable));
    } else {
      showErrorBox(std::string(desktop32 ? "CheckDeviceType 32bit " : "CheckDeviceType 16bit ") + glErrorName(GL_INVALID_ENUM));
      return false;
    }
  } else if (renderFormatUsable(GL_RGB8)) {
    useSixteenBit(false);
  } else if (desktopBits == 16 && renderFormatUsable(GL_RGB565)) {
    useSixteenBit(true);
    reportError(messageText(Message::ThirtyTwoBitUnavailable));
  } else {
    showErrorBox(std::string(desktopBits == 16 ? "CheckDeviceType 16bit " : "CheckDeviceType 32bit ") + glErrorName(GL_INVALID_ENUM));
    return false;
  }
  setColourDepth(g_device.formatRender == GL_RGB565 ? ColourDepth::SixteenBit : ColourDepth::ThirtyTwoBit);
  return true;
}

void deriveLimits() {
  Caps& c = g_device.caps;
  c.maxTextureSize = glInt(GL_MAX_TEXTURE_SIZE);
  c.pow2 = texturesPow2();  // the device takes any size
  c.square = texturesSquare();
  const int limit = maxTextureSize();
  // -1 (automatic) would be 256 on a power-of-two-only device; none is.
  c.maxWidth = c.maxHeight = limit > 0 ? limit : c.maxTextureSize;
  c.mipMaps = mipMaps();
  c.blendFactor = true;
  c.blendOp = true;
  if (colourBlend() && !c.blendFactor) dropColourBlend();
  c.pixelShaderMajor = pixelShaders() ? 3 : 0;
  c.vertexShaderMajor = vertexShaders() ? 3 : 0;
  sprite::TextureLimits limits;
  limits.maxWidth = c.maxWidth;
  limits.maxHeight = c.maxHeight;
  limits.pow2 = c.pow2;
  limits.square = c.square;
  limits.mipMaps = c.mipMaps;
  limits.deviceMaxSide = c.maxTextureSize;
  sprite::setTextureLimits(limits);
}

void line(std::string& out, const char* fmt, long long v) {
  char buf[160];
  std::snprintf(buf, sizeof buf, fmt, v);
  out += buf;
}

std::string capabilityReport() {
  std::string r = "CheckDeviceType\n";
  r += std::string("\tScreenColor ") + (g_device.formatRender == GL_RGB565 ? "GL_RGB565" : "GL_RGB8") + "\n";
  r += "GetDeviceCaps\n";
  r += "\tDeviceType " + gl(GL_RENDERER) + "\n";
  r += "\tVersion " + gl(GL_VERSION) + "\n";
  r += "\tShadingLanguageVersion " + gl(GL_SHADING_LANGUAGE_VERSION) + "\n";
  line(r, "\tMaxTextureSize %lld\n", glInt(GL_MAX_TEXTURE_SIZE));
  line(r, "\tMaxRenderbufferSize %lld\n", glInt(GL_MAX_RENDERBUFFER_SIZE));
  line(r, "\tMaxTextureImageUnits %lld\n", glInt(GL_MAX_TEXTURE_IMAGE_UNITS));
  line(r, "\tMaxSimultaneousTextures %lld\n", glInt(GL_MAX_COMBINED_TEXTURE_IMAGE_UNITS));
  line(r, "\tMaxDrawBuffers %lld\n", glInt(GL_MAX_DRAW_BUFFERS));
  line(r, "\tMaxVertexShaderConst %lld\n", glInt(GL_MAX_VERTEX_UNIFORM_COMPONENTS));
  r += "\tVertexShaderVersion 3.0\n\tPixelShaderVersion 3.0\n";
  r += "\tExtensions\n";
  static const char* kExtensions[] = {"GL_ARB_texture_non_power_of_two", "GL_ARB_framebuffer_object",
                                      "GL_ARB_ES2_compatibility", "GL_ARB_sampler_objects",
                                      "GL_EXT_texture_filter_anisotropic", "GL_ARB_depth_clamp",
                                      "GL_KHR_robustness"};
  for (const char* e : kExtensions) line(r, (std::string("\t\t") + e + " %lld\n").c_str(), hasExtension(e) ? 1 : 0);
  r += "\tStretchRectFilterCaps\n\t\tGL_NEAREST 1\n\t\tGL_LINEAR 1\n";
  return r;
}

// One attempt per line, as the log records every try.
bool createContext(std::string& log) {
  std::string error;
  bool ok = platform::createGLContext(error);
  log += std::string("GL_CONTEXT_PROFILE_CORE 3.3 ") + (ok ? "GL_NO_ERROR" : error) + "\n";
  if (!ok) {
    // Mesa's software rasterizer, when the driver refused.
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
    ok = platform::createGLContext(error);
    log += std::string("GL_CONTEXT_PROFILE_CORE 3.3 SOFTWARE ") + (ok ? "GL_NO_ERROR" : error) + "\n";
  }
  return ok;
}

}  // namespace

DeviceState& device() { return g_device; }
bool deviceCreated() { return g_device.created; }

const char* glErrorName(unsigned code) {
  for (const ErrorName& e : kErrorNames)
    if (e.code == code) return e.name;
  static char buf[32];
  std::snprintf(buf, sizeof buf, "GL_ERROR_%X", code);
  return buf;
}

void appendLog(const std::string& text) {
  std::FILE* f = std::fopen(logFilePath().c_str(), "ab");
  if (!f) return;
  std::fwrite(text.data(), 1, text.size(), f);
  std::fclose(f);
}

void reportGl(const std::string& operation, GLenum code) { showErrorBox(operation + glErrorName(code)); }

GLenum takeGlError() {
  GLenum first = GL_NO_ERROR;
  for (int i = 0; i < 16; ++i) {
    GLenum e = glGetError();
    if (e == GL_NO_ERROR) break;
    if (first == GL_NO_ERROR) first = e;
  }
  return first;
}

GLuint glName(void* handle) { return static_cast<GLuint>(reinterpret_cast<uintptr_t>(handle)); }
void* handleOf(GLuint name) { return reinterpret_cast<void*>(static_cast<uintptr_t>(name)); }

bool createDevice() {
  if (g_device.created) return true;
  std::string log;
  const bool context = createContext(log);
  appendLog(log);
  if (!context) {
    showErrorBox(std::string("CreateDevice ") + glErrorName(GL_INVALID_OPERATION));
    return false;
  }
  appendLog("GetAdapterIdentifier\n\tDescription " + gl(GL_RENDERER) + "\n");
  platform::MonitorInfo m;
  platform::mainWindowMonitor(m);
  if (!chooseColourFormats(m.bitsPerPixel)) return false;
  // The raster cannot be read here; the software wait paces on the clock
  // instead, so only a machine without a usable clock loses it.
  g_device.caps.softwarePacing = frameClockUsable();
  if (pacedOnClock(vsyncWait()) && !g_device.caps.softwarePacing) {
    reportError(messageText(Message::SoftwarePacingUnavailable));
    setVsyncWait(VSyncWait::InSwap);
  }
  deriveLimits();
  checkInterpolation();
  appendLog(capabilityReport());
  platform::setSwapInterval(waitsInSwap(vsyncWait()) ? 1 : 0);
  char buf[200];
  std::snprintf(buf, sizeof buf,
                "FullScreen%d FullMode%d WindowWidth%d VSyncWait%d\nResolution%d ScreenAspect%d CacheMaxSize%d LookaHead%d\n"
                "Interpolation%d MaxTextureSize%d ColorMode%d ColorBlend%d\n",
                fullScreenValue(), fullModeIndex(), windowWidth(), static_cast<int>(vsyncWait()),
                resolution(), screenAspectValue(), sprite::cacheMaxBytes() >> 20, sprite::lookaheadValue(),
                scalingFilterIndex(), maxTextureSize(), colourDepthValue(), colourBlendValue());
  appendLog(buf);
  for (int i = 0; i < 256; ++i) g_device.lookup[static_cast<size_t>(i)] = static_cast<float>(i) / 255.0f;
  if (!createPrograms()) return false;
  // Picture switches cross-fade in the stand shaders when they loaded, else
  // the motion step blends the pixels and the sprite draws as it is.
  sprite::setSwitchBlendOnGpu(g_device.caps.pixelShaderMajor >= 2);
  buildEffectTable();
  g_device.created = true;
  return true;
}

}  // namespace velmora::render
