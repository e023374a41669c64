#pragma once
// The render device: creation with its fallbacks, the render targets, frame
// composition in the fixed layer order, presentation with pacing, screen
// changes and the device-reset callbacks. Main thread only.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

namespace velmora::image {
struct Image;
}
namespace velmora::sprite {
struct Slot;
}

namespace velmora::render {

// ---- start-up and release -------------------------------------------------
// Binds screen, setWindowText, getScreenRate/Width/Height, getScreenAspect2,
// draw, draw2 and draw3. Call once after the catalogue is registered.
void bindRenderCores();
// Release order: after the sprite table is cleared, before the sound device.
void releaseRenderDevice();
// A freed sprite slot's textures (nothing without a device).
void releaseSpriteTextures(sprite::Slot& slot);

bool createDevice();
bool deviceCreated();
bool createRenderResources();
void releaseRenderResources();

// ---- frames ----------------------------------------------------------------
// present(0, 0, 0, 0) is a plain frame; transitions pass their index, elapsed
// and duration (ms) and easing.
void present(int index, uint32_t elapsed, uint32_t duration, int easing);
using ScenePass = void (*)(uint32_t elapsed, uint32_t duration, int easing);
// Transitions install passes 1-3 and the motion blur as pass 0; null puts
// the plain pass back.
void setScenePass(int index, ScenePass pass);
// Draws the scene into the bound target; after = the transition's "after"
// picture (pending replacements drawn from their other slot).
void drawScene(bool after);

// Glyphs of the text layer: square cells of one atlas texture, drawn in one
// call with their vertex colour's alpha at whole device pixels.
struct GlyphQuad {
  int left, top, edge;
  float u0, v0, u1, v1;
  uint32_t colour;  // alpha << 24 | 0xFFFFFF
};
void drawGlyphQuads(void* atlas, const GlyphQuad* quads, size_t count);
// While the text layer is drawn at the output's pixels (a window or screen
// larger than the game's): output pixels per screen pixel, and the glyph
// quads are then output pixels from the picture's corner. 1 x 1 otherwise.
struct GlyphScale {
  float x = 1, y = 1;
  bool sharp() const { return x != 1 || y != 1; }
};
GlyphScale glyphScale();
// Inside the overlay drawer: a picture blended over the window at window
// pixels (x, y, width, height). The recipe names its pixels (what is drawn,
// in order): paint fills a cleared picture only for a recipe not drawn
// there lately, and a frame whose overlays keep their recipes is held.
using OverlayPainter = std::function<void(image::Image&)>;
void drawOverlayPicture(int x, int y, int width, int height, std::string_view recipe, const OverlayPainter& paint);
// Window-visible flags of the message window: bit 0 window sprites, bit 1 text.
void setWindowVisibleFlags(int flags);
int windowVisibleFlags();

// Frames presented so far; a frame that would show what the window shows
// already is held instead and not counted.
uint64_t presentedFrames();

// The event wait found nothing. When no frame was asked for in a while (a
// loop of event waits alone), it waits for input or one frame period, on
// the real clock only, so that such a loop does not spin.
void eventWaitFoundNothing();

// draw, draw2 (true when it drew), draw3.
void drawFrame();
// Benchmarks: frames presented into an offscreen picture of width x height
// standing in for the window, for outputs larger than the display (0, 0:
// the window again).
void presentOffscreen(int width, int height);
bool drawFrameIfAnimating();
void commitOnly();

// Recomputes where the scene goes for the current window and mode.
void updatePresentGeometry();
// After a change of window size, full screen, filter or vsync.
bool screenChange(bool keep);

// The scene target read back into a new image (w x h from the top left).
image::Image* getRenderImage(int width, int height);

// ---- textures (handles are GL names carried in a pointer) ---------------
void* createTexture(int width, int height, int levels);
void* createRenderTargetTexture(int width, int height, void*& surface);
void releaseTexture(void*& texture);
void releaseSurface(void*& surface);
// A whole image into one level (zero-filled beyond it); 1 on success.
int uploadTextureLevel(void* texture, int level, const image::Image* picture);
// The GL error of the last createTexture or writeTextureRegion that failed
// (GL_NO_ERROR after a success), for the caller's own failure text.
unsigned lastTextureError();
// w x h 32-bit texels into a texture at (x, y); 1 on success.
int writeTextureRegion(void* texture, int x, int y, int w, int h, const uint32_t* pixels);
// The part (x, y, w, h) of an image into a texture at its origin.
int uploadTextureRect(void* texture, const image::Image* picture, int x, int y, int w, int h);
// SetRenderTarget2: sprite > 0 draws into that group sprite, else the scene;
// the GL result, or nothing (and a report) for a sprite without a picture.
std::optional<int> setRenderTarget2(int index, int sprite);
// Off: one draw call per sprite tile, to check batched frames against.
void setSpriteBatching(bool on);

// ---- device-reset callbacks ------------------------------------------------
using DeviceCallback = void (*)();
void addDeviceResetCallback(DeviceCallback release, DeviceCallback recreate);

// GL error name ("GL_INVALID_OPERATION", ...), framebuffer status names too.
const char* glErrorName(unsigned code);

}  // namespace velmora::render
