// Pictures the engine's own overlays put over the finished frame. Each keeps
// its texture while its recipe stays the same, so an idle window neither
// paints, uploads nor hashes them again.
#include <array>

#include "image/image.h"
#include "render/internal.h"

namespace velmora::render {
namespace {

// More than the overlays one frame shows (bar, drop-down, items, tooltip,
// Find box), so a frame never evicts its own pictures.
constexpr size_t kOverlayPictureCount = 8;

struct OverlayPicture {
  GLuint texture = 0;
  int x = 0, y = 0, width = 0, height = 0;
  std::string recipe;
  uint64_t lastUse = 0;
};

struct OverlayPictures {
  std::array<OverlayPicture, kOverlayPictureCount> pictures;
  uint64_t uses = 0;
};
OverlayPictures overlayPictures;

bool sameRecipe(const OverlayPicture& p, int x, int y, int width, int height, std::string_view recipe) {
  return p.texture && p.x == x && p.y == y && p.width == width && p.height == height && p.recipe == recipe;
}

// The texture for the recipe: the one it has, or the least recently used
// one painted anew.
GLuint overlayTexture(int x, int y, int width, int height, std::string_view recipe, const OverlayPainter& paint) {
  OverlayPicture* oldest = &overlayPictures.pictures[0];
  for (OverlayPicture& p : overlayPictures.pictures) {
    if (sameRecipe(p, x, y, width, height, recipe)) {
      p.lastUse = ++overlayPictures.uses;
      return p.texture;
    }
    if (p.lastUse < oldest->lastUse) oldest = &p;
  }
  image::Image* im = image::createImage(width, height, 32);
  if (!im) return 0;
  paint(*im);
  OverlayPicture& p = *oldest;
  if (!p.texture) glGenTextures(1, &p.texture);
  glBindTexture(GL_TEXTURE_2D, p.texture);
  if (p.width != width || p.height != height)
    texImageBgra(0, width, height, im->pixels);
  else
    texSubImageBgra(0, 0, 0, width, height, im->pixels);
  image::freeImage(im);
  p.x = x, p.y = y, p.width = width, p.height = height;
  p.recipe.assign(recipe);
  p.lastUse = ++overlayPictures.uses;
  return p.texture;
}

}  // namespace

void drawOverlayPicture(int x, int y, int width, int height, std::string_view recipe, const OverlayPainter& paint) {
  const DeviceState& d = device();
  if (!d.created || width <= 0 || height <= 0) return;
  if (signing()) {
    for (int v : {x, y, width, height}) signValue(v);
    return sign(recipe.data(), recipe.size());
  }
  const GLuint texture = overlayTexture(x, y, width, height, recipe, paint);
  if (!texture) return;
  GLint viewport[4] = {0, 0, 0, 0};
  glGetIntegerv(GL_VIEWPORT, viewport);
  const int dw = viewport[2], dh = viewport[3];
  bindTarget(0, dw, dh);
  GpuVertex v[4];
  // Rows of the default target run bottom-up.
  pushScreenQuad(Rect{x, dh - y, x + width, dh - y - height}, 0, 0, 1, 1, 0xFFFFFFFF, v);
  applyBlendRow(static_cast<int>(BlendRow::Alpha));
  useProgram(ProgramId::Sprite);
  glUniform1i(program(ProgramId::Sprite).stage1, 0);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, texture);
  glBindSampler(0, d.samplerPoint);
  streamBegin();
  streamPush(v, 4);
  streamUpload();
  streamDraw(0, 4);
  glBindTexture(GL_TEXTURE_2D, 0);
}

void releaseOverlayTexture() {
  if (device().created)
    for (OverlayPicture& p : overlayPictures.pictures)
      if (p.texture) glDeleteTextures(1, &p.texture);
  overlayPictures = OverlayPictures{};
}

}  // namespace velmora::render
