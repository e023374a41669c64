// Pictures the engine's own overlays put over the finished frame.
#include "image/image.h"
#include "render/internal.h"

namespace velmora::render {
namespace {

struct OverlayTexture {
  GLuint texture = 0;
  int width = 0, height = 0;
};
OverlayTexture O;

}  // namespace

void drawOverlayImage(const image::Image& picture, int x, int y) {
  const DeviceState& d = device();
  if (!d.created || picture.width <= 0 || picture.height <= 0) return;
  if (signing()) {
    for (int v : {x, y, picture.width, picture.height}) signValue(v);
    return sign(picture.pixels, static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height) * 4);
  }
  if (!O.texture) glGenTextures(1, &O.texture);
  glBindTexture(GL_TEXTURE_2D, O.texture);
  if (O.width != picture.width || O.height != picture.height) {
    texImageBgra(0, picture.width, picture.height, picture.pixels);
    O.width = picture.width, O.height = picture.height;
  } else {
    texSubImageBgra(0, 0, 0, picture.width, picture.height, picture.pixels);
  }
  int dw = 0, dh = 0;
  GLint viewport[4] = {0, 0, 0, 0};
  glGetIntegerv(GL_VIEWPORT, viewport);
  dw = viewport[2], dh = viewport[3];
  bindTarget(0, dw, dh);
  GpuVertex v[4];
  // Rows of the default target run bottom-up.
  pushScreenQuad(Rect{x, dh - y, x + picture.width, dh - y - picture.height}, 0, 0, 1, 1, 0xFFFFFFFF, v);
  applyBlendRow(static_cast<int>(BlendRow::Alpha));
  useProgram(ProgramId::Sprite);
  glUniform1i(program(ProgramId::Sprite).stage1, 0);
  glActiveTexture(GL_TEXTURE0);
  glBindSampler(0, d.samplerPoint);
  streamBegin();
  streamPush(v, 4);
  streamUpload();
  streamDraw(0, 4);
  glBindTexture(GL_TEXTURE_2D, 0);
}

void releaseOverlayTexture() {
  if (O.texture && device().created) glDeleteTextures(1, &O.texture);
  O = OverlayTexture{};
}

}  // namespace velmora::render
