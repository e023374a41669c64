// Glyphs at the output's pixels: while the window is larger than the game's
// screen the text layer asks for its cells at the output's size. They are
// rasterized on first sight into a second atlas laid out like the first and
// kept until the size, the font or the device changes.
#include <algorithm>
#include <cmath>

#include "text/cstring.h"

namespace velmora::text {

void CString::releaseSharp() {
  render::releaseTexture(sharp_.texture);
  sharp_ = SharpAtlas{};
  for (GlyphSlot& s : slots_) s.sharp = false;
}

bool CString::prepareSharp(int pixelSize, int edgeScale) {
  if (sharp_.texture && sharp_.pixelSize == pixelSize && sharp_.edgeScale == edgeScale) return true;
  releaseSharp();
  const int edge = cellEdgeFor(pixelSize, bold_ != 0, edgeScale);
  const int rows = (capacity() + atlasColumns_ - 1) / std::max(atlasColumns_, 1);
  sharp_.texture = render::createTexture(atlasColumns_ * edge, std::max(rows, 1) * edge, 1);
  if (!sharp_.texture) return false;
  sharp_.pixelSize = pixelSize;
  sharp_.edgeScale = edgeScale;
  sharp_.edge = edge;
  sharp_.width = atlasColumns_ * edge;
  sharp_.height = std::max(rows, 1) * edge;
  return true;
}

// The face goes to the output's size, and the edges to their width there,
// for the glyphs not yet drawn there, and back.
void CString::rasterizeSharp(int pixelSize, int edgeScale) {
  bool pending = false;
  for (int i = 0; i < visible && !pending; ++i) pending = slots_[size_t(i)].rasterized && !slots_[size_t(i)].sharp;
  if (!pending) return;
  const int gameSize = pixelSize_;
  pixelSize_ = pixelSize;
  setPixelSize();
  buildGradient();
  setEdgeScale(edgeScale);
  const int edge = sharp_.edge;
  for (int i = 0; i < visible && face_; ++i) {
    GlyphSlot& s = slots_[size_t(i)];
    if (!s.rasterized || s.sharp) continue;
    cell_.assign(size_t(edge) * size_t(edge), 0);
    WriteGlyph(cell_.data(), edge, edge, edge, 0, 0, s.code);
    s.sharp = render::writeTextureRegion(sharp_.texture, (i % atlasColumns_) * edge, (i / atlasColumns_) * edge, edge, edge,
                                         cell_.data()) == 1;
  }
  setEdgeScale(1);
  pixelSize_ = gameSize;
  setPixelSize();
  buildGradient();
}

void CString::drawSharp(const render::GlyphScale& k) {
  const int size = std::max(1, int(std::lround(float(pixelSize_) * k.y)));
  const int edges = std::max(1, int(std::lround(k.y)));
  const bool sharp = prepareSharp(size, edges);
  if (sharp) rasterizeSharp(size, edges);
  if (!face_) return;
  // Without the second atlas the game's cells are drawn enlarged.
  void* texture = sharp ? sharp_.texture : atlas_;
  const int cell = sharp ? sharp_.edge : cellEdge_;
  const int width = sharp ? sharp_.width : atlasWidth_, height = sharp ? sharp_.height : atlasHeight_;
  const int edge = sharp ? cell : int(std::lround(float(cellEdge_) * k.y));
  const int pad = sharp ? (bold_ + outline_) * edges : int(std::lround(float(bold_ + outline_) * k.y));
  const float du = float(cell) / float(width), dv = float(cell) / float(height);
  std::vector<render::GlyphQuad>& quads = quads_;
  quads.clear();
  for (int i = 0; i < visible; ++i) {
    const GlyphSlot& s = slots_[size_t(i)];
    if (!s.rasterized || (sharp && !s.sharp) || (s.colour >> 24) == 0) continue;
    const float u = float(i % atlasColumns_) * du, v = float(i / atlasColumns_) * dv;
    const int left = int(std::lround(float(s.x + offsetX_) * k.x)) - pad;
    const int top = int(std::lround(float(s.y + offsetY_) * k.y)) - pad;
    quads.push_back({left, top, edge, u, v, u + du, v + dv, s.colour});
  }
  render::drawGlyphQuads(texture, quads.data(), quads.size());
}

}  // namespace velmora::text
