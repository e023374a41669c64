// The GL calls that differ between OpenGL 3.3 and WebGL 2 (see gl.h).
#include "render/gl.h"

#include <algorithm>
#include <unordered_map>
#include <utility>
#include <vector>

namespace velmora::render {

#ifdef VELMORA_GLES
// WebGL has no depth clamp: a flat depth keeps tilted sprites from being cut
// at the near and far planes (depth is never tested).
const char kShaderPrefix[] =
    "#version 300 es\nprecision highp float;\nprecision highp int;\n#define VERTEX_COLOUR(c) ((c).bgra)\n"
    "#define CLIP_POSITION(p) vec4((p).xy, 0.0, (p).w)\n";

namespace {
struct SwapState {
  std::vector<uint32_t> rows32;
  std::vector<uint16_t> rows16;
  std::unordered_map<GLuint, std::pair<GLsizei, GLsizei>> sizes;  // base level of each texture
};
SwapState swapState;

const uint32_t* toRgba(const void* pixels, size_t count) {
  swapState.rows32.resize(count);
  const uint32_t* in = static_cast<const uint32_t*>(pixels);
  for (size_t i = 0; i < count; ++i) {
    const uint32_t v = in[i];
    swapState.rows32[i] = (v & 0xFF00FF00u) | ((v >> 16) & 0xFFu) | ((v & 0xFFu) << 16);
  }
  return swapState.rows32.data();
}

GLuint boundTexture() {
  GLint t = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &t);
  return static_cast<GLuint>(t);
}
}  // namespace

void texImageBgra(GLint level, GLsizei w, GLsizei h, const void* pixels) {
  if (level == 0) swapState.sizes[boundTexture()] = {w, h};
  glTexImage2D(GL_TEXTURE_2D, level, GL_RGBA8, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE,
               pixels ? toRgba(pixels, static_cast<size_t>(w) * h) : nullptr);
}

void texSubImageBgra(GLint level, GLint x, GLint y, GLsizei w, GLsizei h, const void* pixels) {
  glTexSubImage2D(GL_TEXTURE_2D, level, x, y, w, h, GL_RGBA, GL_UNSIGNED_BYTE, toRgba(pixels, static_cast<size_t>(w) * h));
}

// A4R4G4B4 to R4G4B4A4: the alpha nibble moves from the top to the bottom.
void texSubImageArgb4444(GLint level, GLint x, GLint y, GLsizei w, GLsizei h, const uint16_t* pixels) {
  const size_t count = static_cast<size_t>(w) * h;
  swapState.rows16.resize(count);
  for (size_t i = 0; i < count; ++i) swapState.rows16[i] = static_cast<uint16_t>((pixels[i] << 4) | (pixels[i] >> 12));
  glTexSubImage2D(GL_TEXTURE_2D, level, x, y, w, h, GL_RGBA, GL_UNSIGNED_SHORT_4_4_4_4, swapState.rows16.data());
}

void readPixelsBgra(GLint x, GLint y, GLsizei w, GLsizei h, GLsizei rowLength, void* out) {
  glReadPixels(x, y, w, h, GL_RGBA, GL_UNSIGNED_BYTE, out);
  const size_t count = h > 0 ? static_cast<size_t>(rowLength) * (h - 1) + w : 0;
  uint32_t* p = static_cast<uint32_t*>(out);
  for (size_t i = 0; i < count; ++i) p[i] = (p[i] & 0xFF00FF00u) | ((p[i] >> 16) & 0xFFu) | ((p[i] & 0xFFu) << 16);
}

void vertexColourPointer(GLuint index, GLsizei stride, const void* offset) {
  glVertexAttribPointer(index, 4, GL_UNSIGNED_BYTE, GL_TRUE, stride, offset);
}

void multiDrawArrays(GLenum mode, const GLint* first, const GLsizei* count, GLsizei drawCount) {
  for (GLsizei i = 0; i < drawCount; ++i) glDrawArrays(mode, first[i], count[i]);
}

void noteTextureSize(GLsizei w, GLsizei h) { swapState.sizes[boundTexture()] = {w, h}; }
void forgetTexture(GLuint texture) { swapState.sizes.erase(texture); }

void textureLevelSize(GLint level, GLint& w, GLint& h) {
  auto it = swapState.sizes.find(boundTexture());
  w = h = 0;
  if (it == swapState.sizes.end()) return;
  w = std::max(1, it->second.first >> level);
  h = std::max(1, it->second.second >> level);
}

#else
const char kShaderPrefix[] = "#version 330 core\n#define VERTEX_COLOUR(c) (c)\n#define CLIP_POSITION(p) (p)\n";

void texImageBgra(GLint level, GLsizei w, GLsizei h, const void* pixels) {
  glTexImage2D(GL_TEXTURE_2D, level, GL_RGBA8, w, h, 0, GL_BGRA, GL_UNSIGNED_BYTE, pixels);
}

void texSubImageBgra(GLint level, GLint x, GLint y, GLsizei w, GLsizei h, const void* pixels) {
  glTexSubImage2D(GL_TEXTURE_2D, level, x, y, w, h, GL_BGRA, GL_UNSIGNED_BYTE, pixels);
}

void texSubImageArgb4444(GLint level, GLint x, GLint y, GLsizei w, GLsizei h, const uint16_t* pixels) {
  glTexSubImage2D(GL_TEXTURE_2D, level, x, y, w, h, GL_BGRA, GL_UNSIGNED_SHORT_4_4_4_4_REV, pixels);
}

void readPixelsBgra(GLint x, GLint y, GLsizei w, GLsizei h, GLsizei, void* out) {
  glReadPixels(x, y, w, h, GL_BGRA, GL_UNSIGNED_BYTE, out);
}

void vertexColourPointer(GLuint index, GLsizei stride, const void* offset) {
  glVertexAttribPointer(index, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, stride, offset);
}

void multiDrawArrays(GLenum mode, const GLint* first, const GLsizei* count, GLsizei drawCount) {
  glMultiDrawArrays(mode, first, count, drawCount);
}

void noteTextureSize(GLsizei, GLsizei) {}
void forgetTexture(GLuint) {}

void textureLevelSize(GLint level, GLint& w, GLint& h) {
  glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, &w);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_HEIGHT, &h);
}
#endif

}  // namespace velmora::render
