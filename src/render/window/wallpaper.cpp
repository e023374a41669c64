// The wall paper: a picture tiled over the full-screen window around the
// picture in kinds 2 and 3, black without one.
#include "base/settings.h"
#include "image/image.h"
#include "render/internal.h"
#include "render/window/window_events.h"
#include "sprite/picture.h"
#include "render/display_settings.h"

namespace velmora::render {
namespace {

using K = SettingKey;

struct WallPaperState {
  GLuint texture = 0;
  int width = 0, height = 0;
};
WallPaperState wallPaperState;


}  // namespace

void releaseWallPaper() {
  if (wallPaperState.texture && device().created) glDeleteTextures(1, &wallPaperState.texture);
  wallPaperState = WallPaperState{};
}

void rebuildWallPaper() {
  noteTextureChange();
  releaseWallPaper();
  const std::string& name = settingText(K::WallPaper);
  if (name.empty() || !device().created) return;
  image::Image* picture = sprite::loadWholePicture(name.c_str(), nullptr, false);
  if (!picture) return;  // the bars stay black
  glGenTextures(1, &wallPaperState.texture);
  glBindTexture(GL_TEXTURE_2D, wallPaperState.texture);
  texImageBgra(0, picture->width, picture->height, picture->pixels);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glBindTexture(GL_TEXTURE_2D, 0);
  wallPaperState.width = picture->width;
  wallPaperState.height = picture->height;
  image::freeImage(picture);
}

void paintWallPaper(int w, int h) {
  if (!wallPaperState.texture || !wallPaperShown() || w <= 0 || h <= 0) return;
  bindTarget(0, w, h);
  GpuVertex v[4];
  // The default target's rows run bottom-up: top and bottom swap so that the
  // pattern starts at the window's top-left.
  pushScreenQuad(Rect{0, h, w, 0}, 0, 0, static_cast<float>(w) / static_cast<float>(wallPaperState.width),
                 static_cast<float>(h) / static_cast<float>(wallPaperState.height), 0xFFFFFFFF, v);
  applyBlendRow(static_cast<int>(BlendRow::Replace));
  useProgram(ProgramId::Sprite);
  glUniform1i(program(ProgramId::Sprite).stage1, 0);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, wallPaperState.texture);
  glBindSampler(0, 0);
  streamBegin();
  streamPush(v, 4);
  streamUpload();
  streamDraw(0, 4);
  glBindTexture(GL_TEXTURE_2D, 0);
}

}  // namespace velmora::render
