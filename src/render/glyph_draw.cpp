// The text layer's glyph quads: one vertex upload, point sampling so that
// each texel lands on one pixel, alpha blending.
#include "render/internal.h"

namespace velmora::render {

void drawGlyphQuads(const GlyphQuad* quads, size_t count) {
  DeviceState& d = device();
  if (!d.resources || count == 0) return;
  streamBegin();
  for (size_t i = 0; i < count; ++i) {
    const GlyphQuad& q = quads[i];
    GpuVertex v[4];
    pushScreenQuad({q.left, q.top, q.left + q.edge, q.top + q.edge}, 0, 0, 1, 1, q.colour, v);
    streamPush(v, 4);
  }
  streamUpload();
  applyBlendRow(static_cast<int>(BlendRow::Alpha));
  useProgram(ProgramId::Sprite);
  const Program& p = program(ProgramId::Sprite);
  glUniform1i(p.stage1, static_cast<int>(Stage1::Off));
  glActiveTexture(GL_TEXTURE1);
  glBindTexture(GL_TEXTURE_2D, d.whiteTexture);
  glActiveTexture(GL_TEXTURE0);
  glBindSampler(0, d.samplerPoint);
  for (size_t i = 0; i < count; ++i) {
    glBindTexture(GL_TEXTURE_2D, glName(quads[i].texture));
    streamDraw(i * 4, 4);
  }
  glBindTexture(GL_TEXTURE_2D, 0);
  glBindSampler(0, d.samplerLinear);
  glBindSampler(1, d.samplerLinear);
}

}  // namespace velmora::render
