// The text layer's glyphs: cells of one atlas, two triangles each, one
// upload and one draw; point sampling puts each texel on one pixel.
#include <vector>

#include "render/internal.h"

namespace velmora::render {

void drawGlyphQuads(void* atlas, const GlyphQuad* quads, size_t count) {
  DeviceState& d = device();
  if (!d.resources || count == 0 || !atlas) return;
  streamBegin();
  static std::vector<GpuVertex> triangles;
  triangles.clear();
  int ox = 0, oy = 0;
  glyphOrigin(ox, oy);
  for (size_t i = 0; i < count; ++i) {
    const GlyphQuad& q = quads[i];
    GpuVertex v[4];
    const int left = q.left + ox, top = q.top + oy;
    pushScreenQuad({left, top, left + q.edge, top + q.edge}, q.u0, q.v0, q.u1, q.v1, q.colour, v);
    triangles.insert(triangles.end(), {v[0], v[1], v[2], v[1], v[3], v[2]});
  }
  const size_t first = streamPush(triangles.data(), triangles.size());
  streamUpload();
  if (signing()) return signValue(atlas);
  applyBlendRow(static_cast<int>(BlendRow::Alpha));
  useProgram(ProgramId::Sprite);
  glUniform1i(program(ProgramId::Sprite).stage1, static_cast<int>(Stage1::Off));
  glActiveTexture(GL_TEXTURE1);
  glBindTexture(GL_TEXTURE_2D, d.whiteTexture);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, glName(atlas));
  glBindSampler(0, d.samplerPoint);
  glDrawArrays(GL_TRIANGLES, static_cast<GLint>(first), static_cast<GLsizei>(triangles.size()));
  glBindTexture(GL_TEXTURE_2D, 0);
  glBindSampler(0, d.samplerLinear);
  glBindSampler(1, d.samplerLinear);
}

}  // namespace velmora::render
