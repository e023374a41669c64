// The two texture stages, the named pixel shaders and the blend-mode rows.
// Shader text stays inside the GLES 3.0 subset.
#include <string>

#include "core/report.h"
#include "render/internal.h"

namespace velmora::render {
namespace {

constexpr BlendSetting kBlendRows[] = {
    {Stage1::Off, GL_FUNC_ADD, GL_ONE, GL_ZERO},                                   // replace
    {Stage1::Off, GL_FUNC_ADD, GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA},              // alpha
    {Stage1::Off, GL_FUNC_ADD, GL_SRC_ALPHA, GL_ONE},                              // additive
    {Stage1::Off, GL_FUNC_REVERSE_SUBTRACT, GL_SRC_ALPHA, GL_ONE},                 // subtractive
    {Stage1::TowardsWhite, GL_FUNC_ADD, GL_ZERO, GL_SRC_COLOR},                    // multiply
    {Stage1::Premultiplied, GL_FUNC_ADD, GL_ONE_MINUS_DST_COLOR, GL_ONE},          // screen
    {Stage1::Premultiplied, GL_MAX, GL_ONE, GL_ZERO},                              // lighten
    {Stage1::TowardsWhite, GL_MIN, GL_ONE, GL_ZERO},                               // darken
    {Stage1::Premultiplied, GL_FUNC_ADD, GL_ONE_MINUS_DST_COLOR, GL_ONE_MINUS_SRC_COLOR},  // exclusion
};
static_assert(std::size(kBlendRows) == kBlendRowCount, "one setting per blend row");

// Row 3 on a device without blend operations: darken towards black instead.
constexpr BlendSetting kSubtractFallback = {Stage1::TowardsBlack, GL_FUNC_ADD, GL_ZERO, GL_ONE_MINUS_SRC_COLOR};

const char kVertexShader[] = R"(#version 330 core
layout(location = 0) in vec4 aPosition;
layout(location = 1) in vec4 aTexture;
layout(location = 2) in vec4 aColour;
out vec2 vUv0;
out vec2 vUv1;
out vec4 vColour;
void main() {
  gl_Position = aPosition;
  vUv0 = aTexture.xy;
  vUv1 = aTexture.zw;
  vColour = aColour;
}
)";

const char kFragmentHead[] = R"(#version 330 core
precision highp float;
uniform sampler2D uTex0;
uniform sampler2D uTex1;
uniform int uStage1;
uniform int uColourOp;
uniform vec4 uFactor;
uniform vec4 uC0;
uniform vec4 uC1;
in vec2 vUv0;
in vec2 vUv1;
in vec4 vColour;
out vec4 fragColour;
)";

// Texture stage 0 takes the texel colour and texel alpha x diffuse alpha;
// stage 1 works on that with the blend row or the sprite's colour mode
// (texture-operation codes, the sprite colour as the texture factor).
const char kSpriteBody[] = R"(
vec3 colourOp(int op, vec3 c, vec3 f, float ca, float fa, float da) {
  if (op == 2) return c;
  if (op == 3) return f;
  if (op == 4) return c * f;
  if (op == 5) return c * f * 2.0;
  if (op == 6) return c * f * 4.0;
  if (op == 7) return c + f;
  if (op == 8) return c + f - 0.5;
  if (op == 9) return (c + f - 0.5) * 2.0;
  if (op == 10) return c - f;
  if (op == 11) return c + f - c * f;
  if (op == 12) return mix(f, c, da);
  if (op == 14) return mix(f, c, fa);
  if (op == 16) return mix(f, c, ca);
  return c;
}
void main() {
  vec4 t = texture(uTex0, vUv0);
  vec4 c = vec4(t.rgb, t.a * vColour.a);
  if (uStage1 == 1 || uStage1 == 2) c.rgb *= c.a;
  else if (uStage1 == 3) c.rgb = c.rgb * c.a + vec3(1.0 - c.a);
  else if (uStage1 == 4) c.rgb = colourOp(uColourOp, c.rgb, uFactor.rgb, c.a, uFactor.a, vColour.a);
  fragColour = clamp(c, 0.0, 1.0);
}
)";

// Sprite masks: c0.x = 255 / vagueness, c1.x = ramp position. The ramp is
// saturated so that it never raises a texel's own alpha.
const char kMaskBody[] = R"(
void main() {
  vec4 t = texture(uTex0, vUv0) * vColour;
  float m = texture(uTex1, vUv1).r;
  float k = clamp((uC1.x - m) * uC0.x, 0.0, 1.0);
#ifdef MASK_REVERSE
  t.a *= k;
#else
  t.a *= 1.0 - k;
#endif
  fragColour = t;
}
)";

// Picture cross-fade: N the new picture (stage 0), O the old one (stage 1),
// t = fade counter / 256; constant 1 the sprite colour for the variants.
const char kStandBody[] = R"(
vec4 crossFade(vec4 n, vec4 o, float t) {
  if (n == o) return o;
  if (n.a == 0.0) return vec4(o.rgb, (1.0 - t) * o.a);
  if (o.a == 0.0) return vec4(n.rgb, t * n.a);
  float tn = t * n.a;
  if (n.a > 0.996 && o.a > 0.996) return vec4(o.rgb + (n.rgb - o.rgb) * tn, 1.0);
  float a = tn + (1.0 - t) * o.a * (1.0 - tn);
  return vec4(o.rgb + (n.rgb - o.rgb) * tn / a, a);
}
void main() {
  vec4 n = texture(uTex0, vUv0) * vColour;
  vec4 o = texture(uTex1, vUv0) * vColour;
  vec4 r = crossFade(n, o, uC0.x);
#ifdef STAND_MODULATE
  r.rgb *= uC1.rgb;
#endif
#ifdef STAND_ADD
  r.rgb += uC1.rgb;
#endif
  fragColour = clamp(r, 0.0, 1.0);
}
)";

struct ProgramSource {
  ProgramId id;
  const char* name;
  const char* defines;
  const char* body;
};

const ProgramSource kPrograms[] = {
    {ProgramId::Sprite, "g_pSpriteStages", "", kSpriteBody},
    {ProgramId::AlphaMask1, "g_pAlphaMask1Shader", "", kMaskBody},
    {ProgramId::AlphaMask2, "g_pAlphaMask2Shader", "#define MASK_REVERSE 1\n", kMaskBody},
    {ProgramId::Stand, "g_pStandShader", "", kStandBody},
    {ProgramId::Stand4, "g_pStandShader4", "#define STAND_MODULATE 1\n", kStandBody},
    {ProgramId::Stand7, "g_pStandShader7", "#define STAND_ADD 1\n", kStandBody},
};
static_assert(std::size(kPrograms) == kProgramCount, "one source per program");

GLuint compile(GLenum kind, const std::string& text, std::string& log) {
  GLuint s = glCreateShader(kind);
  const char* p = text.c_str();
  glShaderSource(s, 1, &p, nullptr);
  glCompileShader(s);
  GLint ok = 0;
  glGetShaderiv(s, GL_COMPILE_STATUS, &ok);
  if (!ok) {
    char buf[1024] = {0};
    glGetShaderInfoLog(s, sizeof buf - 1, nullptr, buf);
    log = buf;
    glDeleteShader(s);
    return 0;
  }
  return s;
}

bool build(const ProgramSource& src, Program& out) {
  std::string log;
  GLuint vs = compile(GL_VERTEX_SHADER, kVertexShader, log);
  const std::string head = kFragmentHead;
  // The defines go after the version line, which must come first.
  const size_t eol = head.find('\n') + 1;
  GLuint fs = vs ? compile(GL_FRAGMENT_SHADER, head.substr(0, eol) + src.defines + head.substr(eol) + src.body, log) : 0;
  if (!vs || !fs) {
    if (vs) glDeleteShader(vs);
    showErrorBox(std::string("CreatePixelShader ") + src.name + " " + glErrorName(GL_INVALID_OPERATION) + "\n" + log);
    return false;
  }
  GLuint p = glCreateProgram();
  glAttachShader(p, vs);
  glAttachShader(p, fs);
  glLinkProgram(p);
  glDeleteShader(vs);
  glDeleteShader(fs);
  GLint ok = 0;
  glGetProgramiv(p, GL_LINK_STATUS, &ok);
  if (!ok) {
    glDeleteProgram(p);
    showErrorBox(std::string("CreatePixelShader ") + src.name + " " + glErrorName(GL_INVALID_OPERATION));
    return false;
  }
  out.id = p;
  glUseProgram(p);
  glUniform1i(glGetUniformLocation(p, "uTex0"), 0);
  glUniform1i(glGetUniformLocation(p, "uTex1"), 1);
  out.stage1 = glGetUniformLocation(p, "uStage1");
  out.colourOp = glGetUniformLocation(p, "uColourOp");
  out.factor = glGetUniformLocation(p, "uFactor");
  out.c0 = glGetUniformLocation(p, "uC0");
  out.c1 = glGetUniformLocation(p, "uC1");
  return true;
}

}  // namespace

const BlendSetting& blendSetting(int row, bool blendOpCapable) {
  if (row < 0 || row >= static_cast<int>(kBlendRowCount)) row = static_cast<int>(BlendRow::Alpha);
  if (row == static_cast<int>(BlendRow::Subtract) && !blendOpCapable) return kSubtractFallback;
  return kBlendRows[row];
}

bool createPrograms() {
  DeviceState& d = device();
  for (const ProgramSource& src : kPrograms)
    if (!build(src, d.programs[static_cast<size_t>(src.id)])) return false;
  glUseProgram(0);
  return true;
}

void releasePrograms() {
  for (Program& p : device().programs) {
    if (p.id) glDeleteProgram(p.id);
    p = Program{};
  }
}

const char* programName(ProgramId id) { return kPrograms[static_cast<size_t>(id)].name; }

const Program& program(ProgramId id) { return device().programs[static_cast<size_t>(id)]; }

void useProgram(ProgramId id) { glUseProgram(program(id).id); }

// Destination alpha takes the same factors as colour, as a device without a
// separate alpha blend keeps it.
Stage1 applyBlendRow(int row) {
  const BlendSetting& b = blendSetting(row, device().caps.blendOp);
  glEnable(GL_BLEND);
  glBlendEquationSeparate(b.equation, b.equation);
  glBlendFuncSeparate(b.source, b.destination, b.source, b.destination);
  return b.stage1;
}

}  // namespace velmora::render
