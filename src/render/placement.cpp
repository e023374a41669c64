// Sprite placement: a perspective camera at (0, 0, -2) and a world matrix
// that puts two model units over one tile texture at 100 % scale with the
// anchor on the sprite's pixel, so rotations about X and Y tilt in depth.
#include <cmath>

#include "render/internal.h"
#include "sprite/sprite.h"

namespace velmora::render {
namespace {

constexpr float kFieldOfView = 0.7853982f;
constexpr float kNear = 0.1f, kFar = 100.0f;
constexpr float kDepth = 0.7f;  // screen depth the sprites sit at
constexpr float kDegrees = 0.01745329f;

struct Camera {
  float xScale, yScale, halfW, halfH, viewZ;
};

Camera camera(int targetWidth, int targetHeight) {
  Camera c;
  const float aspect = targetHeight > 0 ? static_cast<float>(targetWidth) / static_cast<float>(targetHeight) : 1.0f;
  c.yScale = 1.0f / std::tan(kFieldOfView / 2);
  c.xScale = c.yScale / aspect;
  c.halfW = static_cast<float>(targetWidth) / 2;
  c.halfH = static_cast<float>(targetHeight) / 2;
  const float a = kFar / (kFar - kNear), b = -kNear * kFar / (kFar - kNear);
  c.viewZ = b / (kDepth - a);  // view-space depth of screen depth 0.7
  return c;
}

// Screen point at depth 0.7 back to world space.
void unproject(const Camera& c, float sx, float sy, float& wx, float& wy, float& wz) {
  const float nx = (sx - c.halfW) / c.halfW, ny = (c.halfH - sy) / c.halfH;
  wx = nx * c.viewZ / c.xScale;
  wy = ny * c.viewZ / c.yScale;
  wz = c.viewZ - 2.0f;
}

void identity(float m[16]) {
  for (int i = 0; i < 16; ++i) m[i] = (i % 5 == 0) ? 1.0f : 0.0f;
}

// Row-vector matrices: v' = v * m.
void multiply(const float a[16], const float b[16], float out[16]) {
  float r[16];
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) {
      float s = 0;
      for (int k = 0; k < 4; ++k) s += a[i * 4 + k] * b[k * 4 + j];
      r[i * 4 + j] = s;
    }
  for (int i = 0; i < 16; ++i) out[i] = r[i];
}

// Roll about Z, then pitch about X, then yaw about Y.
void yawPitchRoll(float yaw, float pitch, float roll, float m[16]) {
  const float cy = std::cos(yaw), sy = std::sin(yaw), cp = std::cos(pitch), sp = std::sin(pitch);
  const float cr = std::cos(roll), sr = std::sin(roll);
  identity(m);
  m[0] = cr * cy + sr * sp * sy;
  m[1] = sr * cp;
  m[2] = -cr * sy + sr * sp * cy;
  m[4] = -sr * cy + cr * sp * sy;
  m[5] = cr * cp;
  m[6] = sr * sy + cr * sp * cy;
  m[8] = cp * sy;
  m[9] = -sp;
  m[10] = cp * cy;
}

void anchorPosition(const sprite::Slot& s, int trackMask, const QuakeOffset& o, float& px, float& py, float& kw,
                    float& kh) {
  const sprite::ScreenFacts& f = sprite::screenFacts();
  const float rate = f.displayRate;
  px = s.x + o.x, py = s.y + o.y, kw = s.scaleW, kh = s.scaleH;
  if (rate == 1.0f) return;
  if (s.resolution == 1) {
    px *= rate, py *= rate, kw *= rate, kh *= rate;
  } else if (s.resolution == 2) {
    const float pictureRate = f.pictureRatio != 0 ? rate / f.pictureRatio : rate;
    px *= rate, py *= rate, kw *= pictureRate, kh *= pictureRate;
  } else {
    // Resting sprites sit on whole pixels; moving ones glide.
    px = (o.present || (trackMask & 1)) ? px * rate : std::round(px * rate);
    py = (o.present || (trackMask & 2)) ? py * rate : std::round(py * rate);
  }
}

}  // namespace

void placeSlotWithTracks(sprite::Slot& s, int trackMask, int targetWidth, int targetHeight, const QuakeOffset& offset) {
  const Camera c = camera(targetWidth, targetHeight);
  identity(s.view);
  s.view[14] = 2.0f;
  const float a = kFar / (kFar - kNear);
  for (float& v : s.projection) v = 0;
  s.projection[0] = c.xScale;
  s.projection[5] = c.yScale;
  s.projection[10] = a;
  s.projection[11] = 1.0f;
  s.projection[14] = -kNear * a;

  float px = 0, py = 0, kw = 1, kh = 1;
  anchorPosition(s, trackMask, offset, px, py, kw, kh);
  float x0, y0, z0, x1, y1, z1;
  unproject(c, 0, 0, x0, y0, z0);
  unproject(c, static_cast<float>(s.tileTexWidth), static_cast<float>(s.tileTexHeight), x1, y1, z1);
  const float kx = (x1 - x0) * 0.5f * kw, ky = (y1 - y0) * -0.5f * kh;
  yawPitchRoll(s.rotY * kDegrees, s.rotX * kDegrees, s.rotZ * kDegrees, s.world);
  for (int j = 0; j < 3; ++j) s.world[j] *= kx, s.world[4 + j] *= ky;
  unproject(c, px, py, s.world[12], s.world[13], s.world[14]);
  s.dirty = false;
}

void multiplyPlacement(const sprite::Slot& s, float out[16]) {
  float wv[16];
  multiply(s.world, s.view, wv);
  multiply(wv, s.projection, out);
}

}  // namespace velmora::render
