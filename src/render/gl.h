#pragma once
// The GL the render device speaks: OpenGL 3.3 core through libepoxy on the
// desktop, WebGL 2 (OpenGL ES 3.0) in the browser. The browser lacks BGRA
// uploads and read-backs and BGRA vertex colours; the helpers below swap on
// the CPU there and are plain GL calls on the desktop.
#ifdef __EMSCRIPTEN__
#include <GLES3/gl3.h>
#define VELMORA_GLES 1
// Desktop framebuffer statuses the error-name table spells out.
#define GL_FRAMEBUFFER_INCOMPLETE_DRAW_BUFFER 0x8CDB
#define GL_FRAMEBUFFER_INCOMPLETE_READ_BUFFER 0x8CDC
#define GL_FRAMEBUFFER_INCOMPLETE_LAYER_TARGETS 0x8DA8
#else
#include <epoxy/gl.h>
#endif

#include <cstdint>

namespace velmora::render {

// The first lines of every shader: the version, VERTEX_COLOUR(c) that turns
// the vertex colour attribute into RGBA, and CLIP_POSITION(p) for
// gl_Position (never clipped at the near and far planes).
extern const char kShaderPrefix[];

// glTexImage2D/glTexSubImage2D of 32-bit BGRA rows (pitch = width).
void texImageBgra(GLint level, GLsizei w, GLsizei h, const void* pixels);
void texSubImageBgra(GLint level, GLint x, GLint y, GLsizei w, GLsizei h, const void* pixels);
// The same for 16-bit A4R4G4B4 rows.
void texSubImageArgb4444(GLint level, GLint x, GLint y, GLsizei w, GLsizei h, const uint16_t* pixels);
// glReadPixels into BGRA rows of rowLength pixels (GL_PACK_ROW_LENGTH).
void readPixelsBgra(GLint x, GLint y, GLsizei w, GLsizei h, GLsizei rowLength, void* out);
// The vertex colour attribute: four normalised bytes in memory order B, G, R, A.
void vertexColourPointer(GLuint index, GLsizei stride, const void* offset);
// glMultiDrawArrays, a loop where the browser has none.
void multiDrawArrays(GLenum mode, const GLint* first, const GLsizei* count, GLsizei drawCount);

// The size of a level of the bound texture; the browser cannot ask, so the
// base size is noted where the texture is made and forgotten when deleted.
void noteTextureSize(GLsizei w, GLsizei h);
void forgetTexture(GLuint texture);
void textureLevelSize(GLint level, GLint& w, GLint& h);

}  // namespace velmora::render
