// One frame: update steps, the scene pass into the scene target, the present
// quad, pacing and the present call. A plain frame is first signed: when it
// would show what the window shows already, it is held instead.
#include <algorithm>
#include <climits>
#include <cstring>
#include <numeric>
#include <vector>

#include "base/report.h"
#include "base/settings.h"
#include "base/state.h"
#include "base/textconv.h"
#include "platform/events.h"
#include "platform/platform.h"
#include "platform/vclock.h"
#include "platform/window.h"
#include "render/hooks.h"
#include "render/internal.h"
#include "render/messages.h"
#include "render/transition.h"
#include "render/window/window_events.h"
#include "sprite/sprite.h"
#include "render/display_settings.h"

namespace velmora::render {
namespace {

constexpr int kScenePassCount = 4;
// Event waits with no frame asked for in this long are throttled.
constexpr uint32_t kPollsAloneMs = 50;
constexpr GLenum kGlContextLost = 0x0507;

// A 64-bit multiply-fold hash of what a frame would draw; long runs (the
// overlays' pixels) go through four lanes at once.
struct Signer {
  static constexpr uint64_t kSeed = 0x243F6A8885A308D3ull, kMultiplier = 0x9E3779B97F4A7C15ull;
  static constexpr size_t kLanes = 4;
  uint64_t h = kSeed;
  static uint64_t fold(uint64_t h, uint64_t w) {
    const unsigned __int128 m = static_cast<unsigned __int128>(h ^ w ^ kSeed) * kMultiplier;
    return static_cast<uint64_t>(m) ^ static_cast<uint64_t>(m >> 64);
  }
  void bytes(const void* data, size_t size) {
    const auto* p = static_cast<const unsigned char*>(data);
    uint64_t w[kLanes] = {};
    if (size >= sizeof w) {
      uint64_t lane[kLanes] = {h, h + 1, h + 2, h + 3};
      for (; size >= sizeof w; size -= sizeof w, p += sizeof w) {
        std::memcpy(w, p, sizeof w);
        for (size_t i = 0; i < kLanes; ++i) lane[i] = fold(lane[i], w[i]);
      }
      for (uint64_t l : lane) h = fold(h, l);
    }
    for (; size >= sizeof w[0]; size -= sizeof w[0], p += sizeof w[0]) {
      std::memcpy(&w[0], p, sizeof w[0]);
      h = fold(h, w[0]);
    }
    w[0] = 0;
    std::memcpy(&w[0], p, size);
    h = fold(h, w[0] ^ static_cast<uint64_t>(size) << 56);
  }
};

// An offscreen picture standing in for the window: outputs larger than any
// display the machine has, for the benchmarks.
struct WindowStandIn {
  GLuint fbo = 0, texture = 0;
  int width = 0, height = 0;
};

struct FrameState {
  std::vector<GpuVertex> vertices;
  WindowStandIn standIn;
  ScenePass passes[kScenePassCount] = {};
  int windowVisible = 3;
  bool signing = false;
  Signer signer;
  uint64_t textureChanges = 0;
  bool shown = false;  // the window shows the plain frame of shownSignature
  uint64_t shownSignature = 0;
  uint64_t presents = 0;
  uint32_t lastFrameCall = 0;
  // The last drawn frame, for the settle redraw below.
  uint32_t drawnAt = 0;
  uint64_t turnsAtDraw = 0;
  bool settled = true;
};
FrameState frameState;

Rect clipped(const Rect& r, int w, int h) {
  return {std::max(r.left, 0), std::max(r.top, 0), std::min(r.right, w), std::min(r.bottom, h)};
}

GLuint sceneFbo() {
  const DeviceState& d = device();
  return d.present.target == SceneTarget::BackSurface ? d.sceneSurface : d.backBuffer;
}

// The present quad: the scene texture into the back buffer over the quad.
void presentQuad() {
  DeviceState& d = device();
  if (d.present.target != SceneTarget::BackSurface) return;
  if (d.present.filtered && presentFiltered()) return;
  bindTarget(d.backBuffer, d.backBufferWidth, d.backBufferHeight);
  drawScreenQuad(d.sceneTexture, d.present.quad, d.present.linear);
}

namespace {

// More than the faces a page carries: every one may arrive during a frame.
constexpr int kWholeFrameTries = 8;

// The scene and the overlays into the window's framebuffer.
void drawWindow(const WindowPlacement& w) {
  DeviceState& d = device();
  const int dw = w.drawableWidth, dh = w.drawableHeight, x0 = w.x0, x1 = w.x1, y0 = w.y0, y1 = w.y1;
  const Rect& src = w.src;
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, windowFramebuffer());
  glViewport(0, 0, dw, dh);
  // A picture over the whole window leaves nothing to clear: one full-window
  // pass less per frame on a software rasterizer.
  const bool covered = std::min(x0, x1) <= 0 && std::max(x0, x1) >= dw && std::min(y0, y1) <= 0 && std::max(y0, y1) >= dh;
  if (!covered) {
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    paintWallPaper(w.clientWidth, w.clientHeight);
  }
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, windowFramebuffer());
  glViewport(0, 0, dw, dh);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, d.backBuffer);
  const bool same = src.width() == x1 - x0 && src.height() == y0 - y1;
  // Target rows run top-down and window rows bottom-up: the blit flips.
  if (!presentSharpText(w, same ? GL_NEAREST : GL_LINEAR))
    glBlitFramebuffer(src.left, src.top, src.right, src.bottom, x0, y0, x1, y1, GL_COLOR_BUFFER_BIT, same ? GL_NEAREST : GL_LINEAR);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
  if (renderHooks().drawOverlays) renderHooks().drawOverlays(dw, dh);
}

}  // namespace

void presentCall() {
  DeviceState& d = device();
  WindowPlacement w;
  if (!windowPlacement(w)) return;
  // A browser page composites (and then clears) the canvas whenever it has
  // its turn: an overlay that waited mid-frame for a face still arriving
  // left the canvas shown with the overlay alone, and held frames kept it
  // so. Drawn again whole until no face was waited for; a text may need
  // several faces, each arriving once.
  for (int tries = 0; tries < kWholeFrameTries; ++tries) {
    const uint64_t turns = platform::pageTurns();
    drawWindow(w);
    if (platform::pageTurns() == turns) break;
  }
  platform::swapMainWindow();
  noteSwap();
  if (takeGlError() == kGlContextLost) {
    showErrorBox(std::string("DeviceReset2 ") + glErrorName(kGlContextLost));
    quitRequest = 1;
  }
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  d.targetFbo = UINT_MAX;
}

void endOfFrame() {
  pace();
  presentCall();
}

void signRect(const Rect& r) {
  for (int v : {r.left, r.top, r.right, r.bottom}) signValue(v);
}

// What the present adds to the scene: where it goes, the window's size, the
// overlays, and whatever changed textures or lost the window's picture.
void signPresent() {
  const DeviceState& d = device();
  const PresentGeometry& p = d.present;
  signValue(static_cast<int>(p.target));
  for (bool b : {p.rectangles, p.filtered, p.linear}) signValue(b);
  for (const Rect* r : {&p.source, &p.destination, &p.quad}) signRect(*r);
  int dw = 0, dh = 0, cw = 0, ch = 0;
  platform::drawableSize(dw, dh);
  platform::clientSize(cw, ch);
  for (int v : {dw, dh, cw, ch, d.backBufferWidth, d.backBufferHeight, scalingFilterIndex(), fullScreenValue(),
                fullModeIndex(), sharpTextValue()})
    signValue(v);
  if (renderHooks().drawOverlays) renderHooks().drawOverlays(dw, dh);
  signValue(frameState.textureChanges);
  signValue(platform::windowExposures());
}

// The plain frame as it would be drawn, drawing nothing (uploads that the
// frame needs still happen, and count as changes).
uint64_t signPlainFrame() {
  DeviceState& d = device();
  const GLuint boundFbo = d.targetFbo;
  const int boundWidth = d.targetWidth, boundHeight = d.targetHeight;
  frameState.signer = Signer{};
  frameState.signing = true;
  const Geometry& g = geometry();
  bindTarget(sceneFbo(), g.screenWidth, g.screenHeight);
  drawScene(false);
  signPresent();
  frameState.signing = false;
  // Signing binds nothing: the target stays the one GL has.
  d.targetFbo = boundFbo, d.targetWidth = boundWidth, d.targetHeight = boundHeight;
  return frameState.signer.h;
}

}  // namespace

GLuint windowFramebuffer() { return frameState.standIn.fbo; }

void presentOffscreen(int width, int height) {
  WindowStandIn& s = frameState.standIn;
  if (s.fbo) glDeleteFramebuffers(1, &s.fbo);
  if (s.texture) glDeleteTextures(1, &s.texture);
  s = WindowStandIn{};
  if (width <= 0 || height <= 0 || !device().resources) return;
  if (makeOutputTarget(width, height, s.texture, s.fbo)) s.width = width, s.height = height;
}

bool windowPlacement(WindowPlacement& out) {
  const DeviceState& d = device();
  int dw = 0, dh = 0, cw = 0, ch = 0;
  platform::drawableSize(dw, dh);
  platform::clientSize(cw, ch);
  if (frameState.standIn.fbo) dw = cw = frameState.standIn.width, dh = ch = frameState.standIn.height;
  if (dw <= 0 || dh <= 0) return false;
  const int strip = menuStrip(geometry());  // the attached menu bar's rows stay the bar's
  Rect src{0, 0, d.backBufferWidth, d.backBufferHeight}, dst{0, 0, cw, ch - strip};
  if (d.present.rectangles) {
    src = clipped(d.present.source, d.backBufferWidth, d.backBufferHeight);
    dst = d.present.destination;
    // The part of the destination cut off with the source goes too.
    dst.left += src.left - d.present.source.left;
    dst.top += src.top - d.present.source.top;
    dst.right -= d.present.source.right - src.right;
    dst.bottom -= d.present.source.bottom - src.bottom;
  }
  dst.top += strip, dst.bottom += strip;
  const float sx = cw > 0 ? static_cast<float>(dw) / static_cast<float>(cw) : 1.0f;
  const float sy = ch > 0 ? static_cast<float>(dh) / static_cast<float>(ch) : 1.0f;
  out.src = src;
  out.x0 = static_cast<int>(static_cast<float>(dst.left) * sx), out.x1 = static_cast<int>(static_cast<float>(dst.right) * sx);
  out.y0 = dh - static_cast<int>(static_cast<float>(dst.top) * sy);
  out.y1 = dh - static_cast<int>(static_cast<float>(dst.bottom) * sy);
  out.drawableWidth = dw, out.drawableHeight = dh, out.clientWidth = cw, out.clientHeight = ch;
  return true;
}

void bindTarget(GLuint fbo, int width, int height) {
  DeviceState& d = device();
  // A frame being signed only needs the target's size for its vertices.
  if (!frameState.signing) {
    glBindFramebuffer(GL_FRAMEBUFFER, fbo);
    glViewport(0, 0, width, height);
  }
  d.targetFbo = fbo;
  d.targetWidth = width;
  d.targetHeight = height;
}

void streamBegin() { frameState.vertices.clear(); }

size_t streamPush(const GpuVertex* vertices, size_t count) {
  const size_t first = frameState.vertices.size();
  frameState.vertices.insert(frameState.vertices.end(), vertices, vertices + count);
  return first;
}

void streamUpload() {
  if (frameState.signing) return sign(frameState.vertices.data(), frameState.vertices.size() * sizeof(GpuVertex));
  DeviceState& d = device();
  glBindVertexArray(d.vao);
  glBindBuffer(GL_ARRAY_BUFFER, d.vbo);
  glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(frameState.vertices.size() * sizeof(GpuVertex)), frameState.vertices.data(),
               GL_STREAM_DRAW);
}

void streamDraw(size_t first, size_t count) {
  glDrawArrays(GL_TRIANGLE_STRIP, static_cast<GLint>(first), static_cast<GLsizei>(count));
}

// Pixel edges map straight onto pixel edges here, which is what the half-
// pixel shift of screen-space quads achieves on a device with pixel centres
// on integers.
void pushScreenQuad(const Rect& r, float u0, float v0, float u1, float v1, uint32_t colour, GpuVertex out[4]) {
  const DeviceState& d = device();
  const float w = static_cast<float>(d.targetWidth), h = static_cast<float>(d.targetHeight);
  auto nx = [&](int x) { return 2.0f * static_cast<float>(x) / w - 1.0f; };
  auto ny = [&](int y) { return 2.0f * static_cast<float>(y) / h - 1.0f; };
  out[0] = {nx(r.left), ny(r.top), 0, 1, u0, v0, u0, v0, colour};
  out[1] = {nx(r.right), ny(r.top), 0, 1, u1, v0, u1, v0, colour};
  out[2] = {nx(r.left), ny(r.bottom), 0, 1, u0, v1, u0, v1, colour};
  out[3] = {nx(r.right), ny(r.bottom), 0, 1, u1, v1, u1, v1, colour};
}

void drawScreenQuad(GLuint texture, const Rect& r, bool linear) {
  DeviceState& d = device();
  GpuVertex v[4];
  pushScreenQuad(r, 0, 0, 1, 1, 0xFFFFFFFF, v);
  applyBlendRow(static_cast<int>(BlendRow::Replace));
  useProgram(ProgramId::Sprite);
  const Program& p = program(ProgramId::Sprite);
  glUniform1i(p.stage1, 0);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, texture);
  glBindSampler(0, linear ? d.samplerLinear : d.samplerPoint);
  streamBegin();
  streamPush(v, 4);
  streamUpload();
  if (frameState.signing) return signValue(texture);
  streamDraw(0, 4);
  glBindTexture(GL_TEXTURE_2D, 0);
}

void updatePresentGeometry() {
  DeviceState& d = device();
  const Geometry& g = geometry();
  PresentGeometry& p = d.present;
  const int interp = scalingFilterIndex(), mode = fullModeIndex();
  const bool full = fullScreen();
  p = PresentGeometry{};
  p.linear = interp != 1;
  if (interp == 0 || (full && mode == 0)) {
    p.target = SceneTarget::BackBuffer;
    p.rectangles = interp == 0 && full && mode >= 2;
    if (p.rectangles) p.source = fullScreenSource(g, mode), p.destination = fullScreenDestination(g, mode);
    return;
  }
  p.target = SceneTarget::BackSurface;
  p.rectangles = true;
  if (full) {
    p.quad = fullScreenDestination(g, mode);
    p.filtered = mode != 2;
  } else {
    p.quad = {0, 0, windowWidth(), windowHeight()};
    p.filtered = windowWidth() != g.screenWidth;
  }
  // A filter without its shader presents the plain quad, sampled linearly.
  if (!p.filtered) p.linear = interp != 1;
  p.source = p.destination = p.quad;
}

void setScenePass(int index, ScenePass pass) {
  if (index >= 0 && index < kScenePassCount) frameState.passes[index] = pass;
}

void drawScene(bool after) {
  DeviceState& d = device();
  const GLuint fbo = d.targetFbo;
  const int w = d.targetWidth, h = d.targetHeight;
  drawRenderTargetSprites(after);
  bindTarget(fbo, w, h);
  // The present draws the rest at the output's pixels first: from the first
  // string sprite, else from the text layer on.
  const bool leave = sharpTextPlanned() && !frameState.signing;
  const int first = leave ? sharpTextFirstKey() : -1;
  if (first < INT_MAX) drawGroup(0, after, INT_MAX, first + 1);
  if (leave) return;
  drawSceneOverText(after, -1);
}

void drawSceneOverText(bool after, int fromKey) {
  DeviceState& d = device();
  const GLuint fbo = d.targetFbo;
  const int w = d.targetWidth, h = d.targetHeight;
  if (fromKey >= 0) drawGroup(0, after, fromKey, 0);
  if (frameState.signing) {
    signValue(frameState.windowVisible);
    signValue(reinterpret_cast<uintptr_t>(renderHooks().drawTextLayer));
  }
  if ((frameState.windowVisible & 2) && renderHooks().drawTextLayer) {
    renderHooks().drawTextLayer();
    bindTarget(fbo, w, h);
  }
  drawGroup(0, after, -1, INT_MIN);
}

bool signing() { return frameState.signing; }
void sign(const void* data, size_t size) { frameState.signer.bytes(data, size); }
void noteTextureChange() { ++frameState.textureChanges; }
uint64_t presentedFrames() { return frameState.presents; }

namespace {

// A browser page has been seen to keep a drawn frame on its canvas other
// than it was drawn (black but for an overlay, until the next change): the
// first frame held a while after a drawn one, with page turns since, is
// drawn again whole, once. Never on the desktop, where there are no turns.
constexpr uint32_t kSettleRedrawMs = 1000;

bool settleRedrawDue() {
  FrameState& f = frameState;
  if (f.settled || platform::nowMs() - f.drawnAt < kSettleRedrawMs) return false;
  f.settled = true;
  return platform::pageTurns() != f.turnsAtDraw;
}

}  // namespace

void eventWaitFoundNothing() {
  if (!platform::virtualClock() && platform::nowMs() - frameState.lastFrameCall > kPollsAloneMs) awaitInputForAFrame();
}

// The frame steps run for every frame, held or not: the clock, motion,
// sounds and movies go on.
void present(int index, uint32_t elapsed, uint32_t duration, int easing) {
  DeviceState& d = device();
  if (!d.created || !d.resources) return;
  frameState.lastFrameCall = platform::nowMs();
  const RenderHooks& h = renderHooks();
  for (void (*step)() : {h.motionStep, h.soundStep, h.movieStep, h.frameCounted})
    if (step) step();
  const ScenePass pass = index >= 0 && index < kScenePassCount ? frameState.passes[index] : nullptr;
  const uint64_t signature = pass ? 0 : signPlainFrame();
  const bool held = !pass && frameState.shown && signature == frameState.shownSignature;
  const bool settling = held && settleRedrawDue();
  if (held && !settling) {
    holdFrame();
    return;
  }
  // Stale errors are cleared when the frame draws, not on a held one: a
  // browser answers each look at them with a round trip to its GPU process.
  takeGlError();
  const Geometry& g = geometry();
  if (!pass) planSharpText();
  bindTarget(sceneFbo(), g.screenWidth, g.screenHeight);
  if (pass) pass(elapsed, duration, easing);
  else drawScene(false);
  presentQuad();
  endOfFrame();
  endSharpText();
  ++frameState.presents;
  // A pass leaves the scene target as its own frame, never a plain one.
  frameState.shown = !pass;
  frameState.shownSignature = signature;
  if (!settling) {
    frameState.drawnAt = platform::nowMs();
    frameState.turnsAtDraw = platform::pageTurns();
    frameState.settled = false;
  }
}


void setWindowVisibleFlags(int flags) { frameState.windowVisible = flags; }
int windowVisibleFlags() { return frameState.windowVisible; }

void drawFrame() {
  if (renderHooks().trackStep) renderHooks().trackStep();
  sprite::commitAll();
  if (!sprite::jumpLoading()) present(0, 0, 0, 0);
}

bool drawFrameIfAnimating() {
  const bool animating = renderHooks().trackStep && renderHooks().trackStep();
  Geometry& g = geometry();
  if (!animating && g.panSteps == 0) {
    idleFrame();
    frameState.lastFrameCall = platform::nowMs();
    return false;
  }
  sprite::commitAll();
  if (!sprite::jumpLoading()) present(0, 0, 0, 0);
  g.panSteps = 0;
  return true;
}

void commitOnly() { sprite::commitAll(); }

std::optional<int> setRenderTarget2(int index, int spriteNumber) {
  // Plug-ins and the script hosts call this outside any command: it names itself.
  setErrcmd("SetRenderTarget2");
  DeviceState& d = device();
  if (!d.resources) return static_cast<int>(GL_INVALID_OPERATION);
  // Whatever the caller draws into the target is no part of any signature.
  noteTextureChange();
  if (spriteNumber <= 0) {
    const Geometry& g = geometry();
    bindTarget(sceneFbo(), g.screenWidth, g.screenHeight);
    return 0;
  }
  sprite::Slot* s = sprite::validNumber(spriteNumber) ? sprite::frontSlot(spriteNumber) : nullptr;
  if (!s || (!s->renderTarget && !s->picture)) {
    reportError(std::to_string(spriteNumber) + messageText(Message::NoPicture));
    return std::nullopt;
  }
  // A plain picture has no surface to draw into: refused as the device
  // refuses a texture that is no render target, and the target stays.
  if (!s->renderTarget) return static_cast<int>(GL_INVALID_OPERATION);
  if (!s->gpu.renderSurface) recreateRenderTargetSprites();
  (void)index;  // one colour attachment per framebuffer here
  bindTarget(glName(s->gpu.renderSurface), s->imageWidth, s->imageHeight);
  return static_cast<int>(takeGlError());
}

}  // namespace velmora::render
