// The scaling filters: the check at device creation, the tap coordinate
// sets and the present step through a filter shader.
#include <algorithm>
#include <array>
#include <string>

#include "base/report.h"
#include "base/settings.h"
#include "base/textconv.h"
#include "render/internal.h"
#include "render/messages.h"
#include "render/transition.h"
#include "render/display_settings.h"

namespace velmora::render {
namespace {

constexpr int kFirstFilter = 3, kLastFilter = 7;

struct FilterKind {
  const char* name;
  ProgramId program;
  int shaderVersion;
};

// Interpolation 3 ... 7.
const FilterKind kFilters[] = {
    {"BiLinearSharp", ProgramId::Sharp, 2}, {"Lanczos1", ProgramId::Lanczos1, 2}, {"BiQuad", ProgramId::Quad, 2},
    {"BiCubic", ProgramId::Cubic, 2},       {"Lanczos2", ProgramId::Lanczos2, 3},
};
static_assert(std::size(kFilters) == kLastFilter - kFirstFilter + 1, "one entry per filter value");

// One present-quad corner with eight tap coordinate pairs.
struct FilterVertex {
  float x, y, z, w;
  float t[16];
};
static_assert(sizeof(FilterVertex) == 80);

// Tap offsets in texels of the eight pairs: 2x2, 3x3 (the ninth tap is the
// third plus two rows) and 4x4 (the lower two rows are the upper two plus
// two rows).
using Offsets = std::array<std::array<float, 2>, 8>;
constexpr Offsets kTwoByTwo = {{{-0.5f, -0.5f}, {0.5f, -0.5f}, {-0.5f, 0.5f}, {0.5f, 0.5f}}};
constexpr Offsets kThreeByThree = {{{-1.5f, -1.5f},
                                    {-0.5f, -1.5f},
                                    {0.5f, -1.5f},
                                    {-1.5f, -0.5f},
                                    {-0.5f, -0.5f},
                                    {0.5f, -0.5f},
                                    {-1.5f, 0.5f},
                                    {-0.5f, 0.5f}}};
constexpr Offsets kFourByFour = {{{-1.5f, -1.5f},
                                  {-0.5f, -1.5f},
                                  {0.5f, -1.5f},
                                  {1.5f, -1.5f},
                                  {-1.5f, -0.5f},
                                  {-0.5f, -0.5f},
                                  {0.5f, -0.5f},
                                  {1.5f, -0.5f}}};

struct FilterState {
  GLuint vao = 0, vbo = 0;
  int screenWidth = 0, screenHeight = 0;
  int value = 0;
  // Corner coordinates (top-left, top-right, bottom-left, bottom-right),
  // recomputed when the screen size or the filter changes.
  std::array<std::array<float, 16>, 4> corners{};
};
FilterState filterState;

const Offsets& offsetsFor(int value) {
  if (value <= 4) return kTwoByTwo;
  return value == 5 ? kThreeByThree : kFourByFour;
}

// The far edge stays a little inside so that point sampling at the last
// pixel centre never rounds past the last texel.
void computeCoordinates(int value, int w, int h) {
  const float du = 1.0f / static_cast<float>(w), dv = 1.0f / static_cast<float>(h);
  const Offsets& o = offsetsFor(value);
  for (int corner = 0; corner < 4; ++corner) {
    const bool right = corner & 1, bottom = corner & 2;
    for (size_t i = 0; i < o.size(); ++i) {
      const float u = o[i][0] * du, v = o[i][1] * dv;
      filterState.corners[static_cast<size_t>(corner)][i * 2] = right ? 1.0f + u - 0.0001f : u;
      filterState.corners[static_cast<size_t>(corner)][i * 2 + 1] = bottom ? 1.0f + v - 0.0001f : v;
    }
  }
  filterState.screenWidth = w, filterState.screenHeight = h, filterState.value = value;
}

void ensureObjects() {
  if (filterState.vao) return;
  glGenVertexArrays(1, &filterState.vao);
  glGenBuffers(1, &filterState.vbo);
  glBindVertexArray(filterState.vao);
  glBindBuffer(GL_ARRAY_BUFFER, filterState.vbo);
  glBufferData(GL_ARRAY_BUFFER, sizeof(FilterVertex) * 4, nullptr, GL_STREAM_DRAW);
  for (GLuint i = 0; i < 5; ++i) {
    glEnableVertexAttribArray(i);
    glVertexAttribPointer(i, 4, GL_FLOAT, GL_FALSE, sizeof(FilterVertex), reinterpret_cast<void*>(uintptr_t{i} * 16));
  }
}

void setConstants(const Program& p, int value, int w, int h, int destinationWidth) {
  const float W = static_cast<float>(w), H = static_cast<float>(h);
  glUniform4f(p.c0, W, H, 0, 0);
  if (value == 3) {
    const float s = std::max(1.0f, (static_cast<float>(destinationWidth) / W - 1.0f) * 0.5f + 1.0f);
    glUniform4f(p.c1, s, 0, 0, 0);
    return;
  }
  if (value >= 5) glUniform4f(p.c1, 0, 2.0f / H, 0, 0);
  if (value == 5) {
    glUniform4f(p.c2, 1, -1, 0, 0);
    glUniform4f(p.c3, -1, 0, 1, 0);
    glUniform4f(p.c4, 0, 1, 0, 0);
  } else if (value == 6) {
    glUniform4f(p.c2, -1, 1, -1, 1);
    glUniform4f(p.c3, 2, -2, 1, -1);
    glUniform4f(p.c4, -1, 0, 1, 0);
    glUniform4f(p.c5, 0, 1, 0, 0);
  }
}

}  // namespace

void checkInterpolation() {
  const int value = scalingFilterIndex();
  if (value < kFirstFilter || value > kLastFilter) return;
  const FilterKind& f = kFilters[value - kFirstFilter];
  if (device().caps.pixelShaderMajor >= f.shaderVersion) return;
  reportError(messageText(Message::ScalingFilterBefore) + f.name +
             messageText(Message::ScalingFilterAfter));
  // The operating system counts as version 6 or later here: bilinear.
  setScalingFilter(ScalingFilter::BiLinear);
}

bool presentFiltered() {
  DeviceState& d = device();
  const int value = scalingFilterIndex();
  if (value < kFirstFilter || value > kLastFilter) return false;
  const Program& p = program(kFilters[value - kFirstFilter].program);
  if (!p.id) return false;
  const Geometry& g = geometry();
  if (filterState.value != value || filterState.screenWidth != g.screenWidth || filterState.screenHeight != g.screenHeight)
    computeCoordinates(value, g.screenWidth, g.screenHeight);
  takeGlError();
  bindTarget(d.backBuffer, d.backBufferWidth, d.backBufferHeight);
  if (GLenum e = takeGlError(); e != GL_NO_ERROR) {
    showErrorBox(std::string("SetRenderTarget g_pBackBuffer ") + glErrorName(e));
    return true;
  }
  ensureObjects();
  const Rect& r = d.present.quad;
  const float bw = static_cast<float>(d.backBufferWidth), bh = static_cast<float>(d.backBufferHeight);
  FilterVertex v[4];
  for (int corner = 0; corner < 4; ++corner) {
    const int px = corner & 1 ? r.right : r.left, py = corner & 2 ? r.bottom : r.top;
    FilterVertex& out = v[corner];
    out.x = 2.0f * static_cast<float>(px) / bw - 1.0f;
    out.y = 2.0f * static_cast<float>(py) / bh - 1.0f;
    out.z = 0, out.w = 1;
    std::copy(filterState.corners[static_cast<size_t>(corner)].begin(), filterState.corners[static_cast<size_t>(corner)].end(), out.t);
  }
  applyBlendRow(static_cast<int>(BlendRow::Replace));
  glUseProgram(p.id);
  setConstants(p, value, g.screenWidth, g.screenHeight, r.width());
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, d.sceneTexture);
  glBindSampler(0, d.samplerPoint);
  glBindVertexArray(filterState.vao);
  glBindBuffer(GL_ARRAY_BUFFER, filterState.vbo);
  glBufferSubData(GL_ARRAY_BUFFER, 0, sizeof v, v);
  glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
  glBindVertexArray(d.vao);
  glBindTexture(GL_TEXTURE_2D, 0);
  glUseProgram(0);
  return true;
}

void releaseFilterObjects() {
  if (filterState.vbo) glDeleteBuffers(1, &filterState.vbo);
  if (filterState.vao) glDeleteVertexArrays(1, &filterState.vao);
  filterState = FilterState{};
}

}  // namespace velmora::render
