// The two texture stages, the named pixel shaders and the blend-mode rows.
// Shader text stays inside the GLES 3.0 subset.
#include <string>

#include "base/report.h"
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

const char kVertexShader[] = R"(layout(location = 0) in vec4 aPosition;
layout(location = 1) in vec4 aTexture;
layout(location = 2) in vec4 aColour;
out vec2 vUv0;
out vec2 vUv1;
out vec4 vColour;
void main() {
  gl_Position = CLIP_POSITION(aPosition);
  vUv0 = aTexture.xy;
  vUv1 = aTexture.zw;
  vColour = VERTEX_COLOUR(aColour);
}
)";

const char kFragmentHead[] = R"(precision highp float;
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
#ifdef MASK_ALPHA
  c.a *= texture(uTex1, vUv1).a;
#endif
  if (uStage1 == 1 || uStage1 == 2) c.rgb *= c.a;
  else if (uStage1 == 3) c.rgb = c.rgb * c.a + vec3(1.0 - c.a);
  else if (uStage1 == 4) c.rgb = colourOp(uColourOp, c.rgb, uFactor.rgb, c.a, uFactor.a, vColour.a);
  fragColour = clamp(c, 0.0, 1.0);
}
)";

// Sprite masks: c0.x = 255 / vagueness, c1.x = ramp position. The ramp is
// saturated so that it never raises a texel's own alpha. The mask value is
// the blue byte, as for the mask transition and the CPU ramp.
const char kMaskBody[] = R"(
void main() {
  vec4 t = texture(uTex0, vUv0) * vColour;
  float m = texture(uTex1, vUv1).b;
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

// The scaling filters take eight precomputed tap coordinates per vertex
// (point sampling); c0 = (W, H) turns a coordinate into texels.
const char kFilterVertexShader[] = R"(layout(location = 0) in vec4 aPosition;
layout(location = 1) in vec4 aT0;
layout(location = 2) in vec4 aT1;
layout(location = 3) in vec4 aT2;
layout(location = 4) in vec4 aT3;
out vec4 vT0;
out vec4 vT1;
out vec4 vT2;
out vec4 vT3;
void main() {
  gl_Position = CLIP_POSITION(aPosition);
  vT0 = aT0;
  vT1 = aT1;
  vT2 = aT2;
  vT3 = aT3;
}
)";

const char kFilterHead[] = R"(precision highp float;
uniform sampler2D uTex0;
uniform vec4 uC0;
uniform vec4 uC1;
uniform vec4 uC2;
uniform vec4 uC3;
uniform vec4 uC4;
uniform vec4 uC5;
in vec4 vT0;
in vec4 vT1;
in vec4 vT2;
in vec4 vT3;
out vec4 fragColour;
vec4 tap(vec2 t) { return texture(uTex0, t); }
float sinc(float d) {
  float x = max(3.14159265 * d, 0.00392);
  return sin(x) / x;
}
)";

// 2x2 taps: vT0 = top-left, top-right; vT1 = bottom-left, bottom-right.
// c1.x = s; the weight per axis is saturate((f - 0.5) * s + 0.5).
const char kSharpBody[] = R"(
void main() {
  vec2 f = fract(vT0.xy * uC0.xy);
  vec2 g = clamp((f - 0.5) * uC1.x + 0.5, 0.0, 1.0);
  vec4 top = mix(tap(vT0.xy), tap(vT0.zw), g.x);
  vec4 bottom = mix(tap(vT1.xy), tap(vT1.zw), g.x);
  fragColour = mix(top, bottom, g.y);
}
)";

const char kLanczos1Body[] = R"(
void main() {
  vec2 f = fract(vT0.xy * uC0.xy);
  vec2 w0 = vec2(sinc(f.x), sinc(f.y));
  w0 *= w0;
  vec2 w1 = vec2(sinc(1.0 - f.x), sinc(1.0 - f.y));
  w1 *= w1;
  vec4 sum = (tap(vT0.xy) * w0.x + tap(vT0.zw) * w1.x) * w0.y + (tap(vT1.xy) * w0.x + tap(vT1.zw) * w1.x) * w1.y;
  fragColour = sum / ((w0.x + w1.x) * (w0.y + w1.y));
}
)";

// 3x3 taps around the centre texel c (rows r-1, r, r+1): vT0..vT3 hold
// (c-1,r-1) (c,r-1) (c+1,r-1) (c-1,r) (c,r) (c+1,r) (c-1,r+1) (c,r+1);
// the ninth is (c+1,r-1) + c1. Weights c2 f^2 + c3 f + c4 per tap.
const char kQuadBody[] = R"(
void main() {
  vec2 f = fract(vT2.xy * uC0.xy);
  vec3 wx = uC2.xyz * f.x * f.x + uC3.xyz * f.x + uC4.xyz;
  vec3 wy = uC2.xyz * f.y * f.y + uC3.xyz * f.y + uC4.xyz;
  vec4 r0 = tap(vT0.xy) * wx.x + tap(vT0.zw) * wx.y + tap(vT1.xy) * wx.z;
  vec4 r1 = tap(vT1.zw) * wx.x + tap(vT2.xy) * wx.y + tap(vT2.zw) * wx.z;
  vec4 r2 = tap(vT3.xy) * wx.x + tap(vT3.zw) * wx.y + tap(vT1.xy + uC1.xy) * wx.z;
  fragColour = r0 * wy.x + r1 * wy.y + r2 * wy.z;
}
)";

// 4x4 taps: vT0, vT1 the row r-1 (columns c-1 ... c+2), vT2, vT3 the row r;
// rows r+1 and r+2 are those plus c1. BiCubic weights c2 f^3 + c3 f^2 +
// c4 f + c5; Lanczos2 sinc(d) sinc(d / 2) normalised.
const char kFourByFour[] = R"(
vec4 row(vec4 a, vec4 b, vec2 shift, vec4 w) {
  return tap(a.xy + shift) * w.x + tap(a.zw + shift) * w.y + tap(b.xy + shift) * w.z + tap(b.zw + shift) * w.w;
}
vec4 weights(float f);
void main() {
  vec2 f = fract(vT2.zw * uC0.xy);
  vec4 wx = weights(f.x);
  vec4 wy = weights(f.y);
  vec4 sum = row(vT0, vT1, vec2(0.0), wx) * wy.x + row(vT2, vT3, vec2(0.0), wx) * wy.y +
             row(vT0, vT1, uC1.xy, wx) * wy.z + row(vT2, vT3, uC1.xy, wx) * wy.w;
  fragColour = sum / (dot(wx, vec4(1.0)) * dot(wy, vec4(1.0)));
}
)";

const std::string kCubicText = std::string(kFourByFour) + R"(
vec4 weights(float f) { return ((uC2 * f + uC3) * f + uC4) * f + uC5; }
)";
const char* const kCubicBody = kCubicText.c_str();

const std::string kLanczos2Text = std::string(kFourByFour) + R"(
vec4 weights(float f) {
  vec4 d = vec4(1.0 + f, f, 1.0 - f, 2.0 - f);
  return vec4(sinc(d.x) * sinc(d.x * 0.5), sinc(d.y) * sinc(d.y * 0.5), sinc(d.z) * sinc(d.z * 0.5),
              sinc(d.w) * sinc(d.w * 0.5));
}
)";
const char* const kLanczos2Body = kLanczos2Text.c_str();

// The mask transition on the fixed stages: alpha from the mask texture on
// stage 0 (rewritten on the CPU every frame), colour from stage 1.
const char kMaskStageBody[] = R"(
void main() {
  fragColour = vec4(texture(uTex1, vUv1).rgb, texture(uTex0, vUv0).a * vColour.a);
}
)";

// The mask transition as a shader: stage 0 the after scene, stage 1 the
// mask (its blue channel). c0.x = 255 / vagueness, or 0 for the hard switch
// that shows a pixel once the progress has passed its mask value;
// c1.x = progress / 255.
const char kMaskFadeBody[] = R"(
void main() {
  vec4 c = texture(uTex0, vUv0);
  float d = uC1.x - texture(uTex1, vUv1).b;
  float a = uC0.x > 0.0 ? clamp(d * uC0.x, 0.0, 1.0) : (d * 255.0 > 0.5 ? 1.0 : 0.0);
  fragColour = vec4(c.rgb, a);
}
)";

struct ProgramSource {
  ProgramId id;
  const char* name;
  const char* defines;
  const char* body;
  bool filter;  // the filter vertex layout and head
};

const ProgramSource kPrograms[] = {
    {ProgramId::Sprite, "g_pSpriteStages", "", kSpriteBody, false},
    {ProgramId::SpriteMasked, "g_pSpriteMaskStages", "#define MASK_ALPHA 1\n", kSpriteBody, false},
    {ProgramId::AlphaMask1, "g_pAlphaMask1Shader", "", kMaskBody, false},
    {ProgramId::AlphaMask2, "g_pAlphaMask2Shader", "#define MASK_REVERSE 1\n", kMaskBody, false},
    {ProgramId::Stand, "g_pStandShader", "", kStandBody, false},
    {ProgramId::Stand4, "g_pStandShader4", "#define STAND_MODULATE 1\n", kStandBody, false},
    {ProgramId::Stand7, "g_pStandShader7", "#define STAND_ADD 1\n", kStandBody, false},
    {ProgramId::MaskStage, "g_pMaskStages", "", kMaskStageBody, false},
    {ProgramId::MaskFade, "g_pMaskFadeShader", "", kMaskFadeBody, false},
    {ProgramId::Sharp, "g_pSharpShader", "", kSharpBody, true},
    {ProgramId::Lanczos1, "g_pLanczos1Shader", "", kLanczos1Body, true},
    {ProgramId::Quad, "g_pQuadShader", "", kQuadBody, true},
    {ProgramId::Cubic, "g_pCubicShader", "", kCubicBody, true},
    {ProgramId::Lanczos2, "g_pLanczos2Shader", "", kLanczos2Body, true},
};
static_assert(std::size(kPrograms) == kProgramCount, "one source per program");

// Created in this order, stopping at the first failure; Lanczos2 needs
// shader model 3 and comes after them.
constexpr ProgramId kPixelShaderOrder[] = {ProgramId::Sharp,      ProgramId::Lanczos1,   ProgramId::Quad,
                                           ProgramId::Cubic,      ProgramId::MaskFade,   ProgramId::AlphaMask1,
                                           ProgramId::AlphaMask2, ProgramId::Stand,      ProgramId::Stand4,
                                           ProgramId::Stand7};

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
  GLuint vs = compile(GL_VERTEX_SHADER, std::string(kShaderPrefix) + (src.filter ? kFilterVertexShader : kVertexShader), log);
  const char* head = src.filter ? kFilterHead : kFragmentHead;
  GLuint fs = vs ? compile(GL_FRAGMENT_SHADER, std::string(kShaderPrefix) + src.defines + head + src.body, log) : 0;
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
  out.c2 = glGetUniformLocation(p, "uC2");
  out.c3 = glGetUniformLocation(p, "uC3");
  out.c4 = glGetUniformLocation(p, "uC4");
  out.c5 = glGetUniformLocation(p, "uC5");
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
  auto make = [&](ProgramId id) { return build(kPrograms[static_cast<size_t>(id)], d.programs[static_cast<size_t>(id)]); };
  if (!make(ProgramId::Sprite) || !make(ProgramId::SpriteMasked) || !make(ProgramId::MaskStage)) return false;
  d.shadersLoaded = false;
  if (d.caps.pixelShaderMajor >= 2) {
    bool all = true;
    for (ProgramId id : kPixelShaderOrder)
      if (!(all = make(id))) break;
    if (all && d.caps.pixelShaderMajor >= 3) make(ProgramId::Lanczos2);
    d.shadersLoaded = all;
    // Without the whole set the device draws as one without pixel shaders:
    // the CPU mask pass, plain sprite draws, filters fall back to the quad.
    if (!all) d.caps.pixelShaderMajor = 0;
  }
  glUseProgram(0);
  return true;
}

void releasePrograms() {
  for (Program& p : device().programs) {
    if (p.id) glDeleteProgram(p.id);
    p = Program{};
  }
}

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
