#pragma once
// State shared by the render files: the device record, programs, the blend
// table and the vertex stream. Only src/render includes this.
#include "render/gl.h"

#include <array>
#include <cstdint>
#include <string>
#include <type_traits>
#include <vector>

#include "render/geometry.h"
#include "render/render.h"

namespace velmora::sprite {
struct Slot;
}

namespace velmora::render {

// One vertex as the GPU takes it: clip position (placement already applied
// on the CPU, so sprites batch into one buffer), two texture pairs, colour.
struct GpuVertex {
  float x, y, z, w;
  float u0, v0, u1, v1;
  uint32_t colour;  // 0xAARRGGBB
};
static_assert(sizeof(GpuVertex) == 36);

// Fragment programs. Sprite and MaskStage are the fixed-function texture
// stages; the others are the named pixel shaders (the filters take the
// filter vertex layout).
// SpriteMasked: the stages with the alpha of a mask rewritten on the CPU.
enum class ProgramId : uint8_t {
  Sprite, SpriteMasked, AlphaMask1, AlphaMask2, Stand, Stand4, Stand7,
  MaskStage, MaskFade, Sharp, Lanczos1, Quad, Cubic, Lanczos2, Count
};
constexpr size_t kProgramCount = static_cast<size_t>(ProgramId::Count);

struct Program {
  GLuint id = 0;
  GLint stage1 = -1, colourOp = -1, factor = -1, c0 = -1, c1 = -1;
  GLint c2 = -1, c3 = -1, c4 = -1, c5 = -1;
};

// What texture stage 1 does to the stage-0 colour.
enum class Stage1 : uint8_t { Off, Premultiplied, TowardsBlack, TowardsWhite, ColourOp };

enum class BlendRow : uint8_t { Replace, Alpha, Add, Subtract, Multiply, Screen, Lighten, Darken, Exclusion, Count };
constexpr size_t kBlendRowCount = static_cast<size_t>(BlendRow::Count);

struct BlendSetting {
  Stage1 stage1;
  GLenum equation;
  GLenum source, destination;  // unused by min and max
};

struct Caps {
  int maxTextureSize = 0;
  int maxWidth = 0, maxHeight = 0;
  bool pow2 = false, square = false, mipMaps = false;
  bool blendFactor = true, blendOp = true;
  int pixelShaderMajor = 3, vertexShaderMajor = 3;
  bool pointStretch = true, linearStretch = true;
  bool softwarePacing = true;  // the software wait: the clock stands in for the raster
};

enum class SceneTarget : uint8_t { BackBuffer, BackSurface };

struct PresentGeometry {
  SceneTarget target = SceneTarget::BackBuffer;
  bool rectangles = false;
  Rect source, destination;  // present call rectangles (back buffer -> window)
  Rect quad;                 // where the scene texture is drawn into the back buffer
  bool filtered = false;     // the filter's present function (else the plain one)
  bool linear = true;
};

struct DeviceState {
  bool created = false;
  bool resources = false;
  GLenum formatRender = GL_RGB8, formatTexture = GL_RGBA8;  // g_pFormatRender, g_pFormatTexture
  Caps caps;
  std::array<float, 256> lookup{};

  // Back buffer: what the present call shows, of the present-parameter size.
  GLuint backBuffer = 0, backBufferTexture = 0;
  int backBufferWidth = 0, backBufferHeight = 0;
  GLuint sceneTexture = 0, sceneSurface = 0;
  GLuint offscreenTexture = 0, offscreenSurface = 0;
  GLuint maskTexture = 0;
  PresentGeometry present;

  std::array<Program, kProgramCount> programs{};
  // Every pixel shader loaded: the mask pass runs on the shader.
  bool shadersLoaded = false;
  GLuint vao = 0, vbo = 0;
  GLuint samplerLinear = 0, samplerPoint = 0, samplerLinearMip = 0;
  GLuint whiteTexture = 0;

  // Software pacing.
  uint32_t lastPresent = 0;
  int64_t carry = 0;

  // Current draw target size (for clip-space conversion and the placement
  // aspect), and the FBO bound.
  int targetWidth = 0, targetHeight = 0;
  GLuint targetFbo = 0;
};

DeviceState& device();
const BlendSetting& blendSetting(int row, bool blendOpCapable);

// ---- shaders ---------------------------------------------------------------
bool createPrograms();
void releasePrograms();

// ---- target and state helpers ---------------------------------------------
void bindTarget(GLuint fbo, int width, int height);
// Applies a blend row and returns the stage-1 work for the sprite program.
Stage1 applyBlendRow(int row);
void useProgram(ProgramId id);
const Program& program(ProgramId id);

// ---- vertex stream -----------------------------------------------------------
// Vertices of the frame are collected, uploaded once, then drawn in runs.
void streamBegin();
size_t streamPush(const GpuVertex* vertices, size_t count);
void streamUpload();
void streamDraw(size_t first, size_t count);
// Pixel rectangle of the bound target as a two-triangle strip.
void pushScreenQuad(const Rect& r, float u0, float v0, float u1, float v1, uint32_t colour, GpuVertex out[4]);
// Draws one textured rectangle at once (present, fades).
void drawScreenQuad(GLuint texture, const Rect& r, bool linear);
// offscreenTexture on stage 0 of the fixed stages, point-sampled, with a
// blend row: the source of the transitions' copies and quads.
void useRenderTexture(int blendRow);
// offscreenTexture over r of the bound target, alpha-blended by a vertex
// alpha, point-sampled (the fade quad of Fade, motion blur and the fading
// slides).
void overlayRenderTexture(const Rect& r, int alpha);

// ---- sprites -----------------------------------------------------------------
void drawGroup(int group, bool after, int keyFrom, int keyTo);
void drawRenderTargetSprites(bool after);
void uploadSlot(sprite::Slot& slot);
void releaseSlotTextures(sprite::Slot& slot);
// The device is going: its shared tile textures go with it.
void forgetSharedTiles();
void recreateRenderTargetSprites();
void releaseRenderTargetSprites();
// Placement: the world, view and projection of a slot for a target size.
// Quake offsets of a sprite; present even at 0 keeps it off the pixel snap.
struct QuakeOffset {
  float x = 0, y = 0;
  bool present = false;
};
// trackMask bits 0 and 1: X and Y move along a track (no whole-pixel snap).
void placeSlotWithTracks(sprite::Slot& slot, int trackMask, int targetWidth, int targetHeight,
                         const QuakeOffset& offset = {});
void multiplyPlacement(const sprite::Slot& slot, float out[16]);

// The upload converter of 16-bit colour: A8R8G8B8 to A4R4G4B4 (each
// channel's top four bits).
void toRow16(const uint32_t* src, uint16_t* dst, size_t n);

// ---- pacing (pacing.cpp) -----------------------------------------------------------
// Whether presents can be paced on the clock at all (the software wait).
bool frameClockUsable();
// Whether presents are paced on the clock now: VSyncWait bit 1, or bit 0
// once swaps were measured not to wait for the display.
bool clockPacing();
// Before a present: waits for the frame's turn when paced on the clock.
void pace();
// After a swap: measures whether swaps wait for the display.
void noteSwap();
// A frame with nothing new to show, and draw2 with nothing to draw: wait
// for the next frame period or the next input event instead of spinning.
void holdFrame();
void idleFrame();
// The event wait's throttle: input, or one frame period at most.
void awaitInputForAFrame();

// ---- frame signature ---------------------------------------------------------------
// While a frame is being signed the draw paths add what they would draw to
// its signature instead of drawing it: a frame whose signature equals the
// one last presented is neither composed nor presented again.
bool signing();
void sign(const void* data, size_t size);
template <class T>
void signValue(const T& value) {
  static_assert(std::is_scalar_v<T>);
  sign(&value, sizeof value);
}
// Texture contents changed, or something drew outside the frame: the next
// frame is composed and presented whatever its signature.
void noteTextureChange();

// ---- sharp text (sharp_text.cpp) ---------------------------------------------
// Where the window shows the back buffer: src of the back buffer onto the
// drawable's x0..x1 and y0..y1 (window rows, bottom-up).
struct WindowPlacement {
  Rect src;
  int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  int drawableWidth = 0, drawableHeight = 0, clientWidth = 0, clientHeight = 0;
};
bool windowPlacement(WindowPlacement& out);
// An RGBA8 texture and its framebuffer at an output's size (every GL and
// WebGL take it); false, with both deleted, when the device cannot.
bool makeOutputTarget(int width, int height, GLuint& texture, GLuint& fbo);
// What the present draws into: the window's framebuffer, or the stand-in of
// presentOffscreen.
GLuint windowFramebuffer();
// Decides for a plain frame whether its text layer and the sprites over it
// are drawn at the output's pixels; while so, drawScene leaves them out.
bool planSharpText();
bool sharpTextPlanned();
// The present's last step for such a frame: the back buffer into the output
// picture, the text layer and the sprites over it at output pixels, then
// the output into the window. False when the frame takes the plain blit.
bool presentSharpText(const WindowPlacement& placement, GLenum filter);
// After the present: the scene target gets its text layer too, so captures
// and transitions find the whole scene there.
void endSharpText();
// Where glyph quads start in the bound target: the picture's corner while
// the text layer is drawn at output pixels, else 0, 0.
void glyphOrigin(int& x, int& y);
void releaseSharpText();
// The output picture of the frame being presented (0 outside such a frame).
GLuint sharpTextOutput();
// The sprites from key fromKey down to 0 (none for -1), the text layer and
// the sprites over it (keys < 0), into the bound target.
void drawSceneOverText(bool after, int fromKey);
// The draw key from which such a frame leaves the scene to the present: the
// first string sprite's (keys >= 0), else -1 (the text layer on).
int sharpTextFirstKey();
// While the present draws sprites at the output's pixels: string sprite n's
// text rendered there (its texture, sized to the picture), else null.
void* sharpTextSprite(int n, const sprite::Slot& slot);
// The slot's picture changed or goes: its text at output pixels goes too.
void forgetSharpTextSprite(const sprite::Slot& slot);
// The largest draw key >= 0 of a string sprite the screen shows (-1: none);
// shown: whether any shows, at whatever key.
int firstTextSpriteKey(bool& shown);

// ---- misc ---------------------------------------------------------------------
void appendLog(const std::string& text);
void reportGl(const std::string& operation, GLenum code);
// Drains the GL error queue; returns the first error or GL_NO_ERROR.
GLenum takeGlError();
GLuint glName(void* handle);
void* handleOf(GLuint name);

}  // namespace velmora::render
