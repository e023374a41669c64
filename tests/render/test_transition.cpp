// Transitions drawn at chosen moments and compared with a per-pixel CPU
// model of each family; the effect command's skip, cancel and timing rules.
#include "script/modes.h"
#include "base/pump.h"
#include "base/textconv.h"
#include "platform/events.h"
#include "platform/inject.h"
#include "platform/vclock.h"
#include "render/input/buttons.h"
#include "render/transition.h"
#include "render/window/menu.h"
#include "scene.h"
#include "script/expression.h"
#include "sprite/motion.h"

namespace velmora::render::test {
namespace {

using K = SettingKey;

constexpr int kW = 60, kH = 40;
constexpr uint32_t kDuration = 1000;

uint32_t beforeAt(int x, int y) {
  return 0xFF000000u | static_cast<uint32_t>(x * 4) << 16 | static_cast<uint32_t>(y * 6) << 8 | 0x20u;
}
uint32_t afterAt(int x, int y) {
  return 0xFF000000u | static_cast<uint32_t>(255 - x * 4) << 16 | static_cast<uint32_t>(30 + y * 5) << 8 | 0xC8u;
}

uint32_t mix(uint32_t dst, uint32_t src, int alpha) { return blendPixel(1, src, dst, alpha); }

// ---- the CPU model ----------------------------------------------------------
enum class Fam { Direction, IrisIn, IrisOut, SlideIn, SlideOut, SplitIn, SplitOut, Scroll, Shutter, Curtain,
                 SquareIn, SquareOut, FadeSlideIn, FadeSlideOut, FadeScroll };

struct Named {
  Fam fam;
  int sx = 0, sy = 0;  // direction; a split or band is sy = -1 (UpDown) or sx = -1 (LeftRight)
  bool band = false;   // IrisIn/IrisOut UpDown and LeftRight
};

bool startsWith(const std::string& s, const char* p) { return s.rfind(p, 0) == 0; }
bool endsWith(const std::string& s, const std::string& e) {
  return s.size() >= e.size() && s.compare(s.size() - e.size(), e.size(), e) == 0;
}

Named parse(const std::string& name) {
  static const std::pair<const char*, Fam> kPrefixes[] = {
      {"FadeSlideIn", Fam::FadeSlideIn}, {"FadeSlideOut", Fam::FadeSlideOut}, {"FadeScroll", Fam::FadeScroll},
      {"Direction", Fam::Direction},     {"IrisIn", Fam::IrisIn},             {"IrisOut", Fam::IrisOut},
      {"SlideIn", Fam::SlideIn},         {"SlideOut", Fam::SlideOut},         {"Scroll", Fam::Scroll},
      {"Shutter", Fam::Shutter},         {"Curtain", Fam::Curtain},           {"SquareIn", Fam::SquareIn},
      {"SquareOut", Fam::SquareOut}};
  Named n{Fam::Direction};
  for (const auto& [p, f] : kPrefixes)
    if (startsWith(name, p)) {
      n.fam = f;
      break;
    }
  if (endsWith(name, "UpDown") || endsWith(name, "LeftRight")) {
    const bool upDown = endsWith(name, "UpDown");
    n.sy = upDown ? -1 : 0, n.sx = upDown ? 0 : -1;
    if (n.fam == Fam::SlideIn) n.fam = Fam::SplitIn;
    else if (n.fam == Fam::SlideOut) n.fam = Fam::SplitOut;
    else n.band = true;
    return n;
  }
  if (endsWith(name, "Up")) n.sy = -1;
  if (endsWith(name, "Down")) n.sy = 1;
  if (name.find("Left") != std::string::npos) n.sx = -1;
  if (name.find("Right") != std::string::npos) n.sx = 1;
  return n;
}

struct Model {
  uint32_t e, d;
  int P(int x) const { return static_cast<int>(int64_t{x} * e / d); }
  int R(int x) const { return static_cast<int>(int64_t{x} * (d - e) / d); }
};

bool inside(int x, int y) { return x >= 0 && y >= 0 && x < kW && y < kH; }

// Where a slide puts the picture along one axis: the source coordinate for
// destination q, or -1 when the picture does not cover q.
int slideInSource(int step, int size, int p, int q) {
  if (step < 0) return q >= size - p ? q - (size - p) : -1;
  if (step > 0) return q < p ? q + size - p : -1;
  return q;
}
int slideOutSource(int step, int size, int p, int q) {
  if (step < 0) return q < size - p ? q + p : -1;
  if (step > 0) return q >= p ? q - p : -1;
  return q;
}

uint32_t bandsPixel(const Named& n, const Model& m, int x, int y, bool curtain) {
  const bool vertical = n.sy != 0;
  const int size = vertical ? kH : kW, q = vertical ? y : x;
  const int band = std::max(1, size / 20), count = (size + band - 1) / band, i = q / band, o = q - i * band;
  const bool towardsZero = (vertical ? n.sy : n.sx) < 0;
  const int k = towardsZero ? count - 1 - i : i;
  int depth = curtain ? m.P(2 * band) - k * band * band / size : m.P(band);
  depth = std::min(depth, band);
  const bool after = depth > 0 && (towardsZero ? o >= band - depth : o < depth);
  return after ? afterAt(x, y) : beforeAt(x, y);
}

uint32_t modelPixel(const Named& n, const Model& m, int x, int y) {
  const uint32_t before = beforeAt(x, y), after = afterAt(x, y);
  auto pick = [&](bool isAfter) { return isAfter ? after : before; };
  switch (n.fam) {
    case Fam::Direction: {
      if (n.sx != 0 && n.sy != 0) {
        const int64_t lx = m.R(2 * kW), ly = m.R(2 * kH);
        const int j = n.sy < 0 ? y : kH - 1 - y, i = n.sx < 0 ? x : kW - 1 - x;
        return pick(!(j < ly && i < lx * (ly - j) / ly));
      }
      if (n.sy < 0) return pick(y >= m.R(kH));
      if (n.sy > 0) return pick(y < m.P(kH));
      if (n.sx < 0) return pick(x >= m.R(kW));
      return pick(x < m.P(kW));
    }
    case Fam::IrisIn:
    case Fam::IrisOut: {
      const bool in = n.fam == Fam::IrisIn;
      if (n.band) {
        const int size = n.sy ? kH : kW, q = n.sy ? y : x, t = in ? m.R(size) : m.P(size), from = (size - t) / 2;
        const bool covered = q >= from && q < from + t;
        return pick(in ? !covered : covered);
      }
      const int rw = m.R(kW), rh = m.R(kH);
      if (in) return pick((n.sx < 0 ? x >= rw : x < kW - rw) && (n.sy < 0 ? y >= rh : y < kH - rh));
      return pick(!((n.sx < 0 ? x < rw : x >= kW - rw) && (n.sy < 0 ? y < rh : y >= kH - rh)));
    }
    case Fam::SlideIn: {
      const int sx = slideInSource(n.sx, kW, m.P(kW), x), sy = slideInSource(n.sy, kH, m.P(kH), y);
      return sx >= 0 && sy >= 0 ? afterAt(sx, sy) : before;
    }
    case Fam::SlideOut: {
      const int sx = slideOutSource(n.sx, kW, m.P(kW), x), sy = slideOutSource(n.sy, kH, m.P(kH), y);
      return sx >= 0 && sy >= 0 ? beforeAt(sx, sy) : after;
    }
    case Fam::SplitIn:
    case Fam::SplitOut: {
      const bool vertical = n.sy != 0;
      const int size = vertical ? kH : kW, q = vertical ? y : x, half = size / 2;
      const int p1 = m.P(half), p2 = m.P(size - half);
      int source = -1;
      if (n.fam == Fam::SplitIn) {
        if (q < p1) source = q + half - p1;
        else if (q >= size - p2) source = q - (size - p2) + half;
      } else {
        if (q < half - p1) source = q + p1;
        else if (q >= half + p2) source = q - p2;
      }
      if (source < 0) return n.fam == Fam::SplitIn ? before : after;
      const int cx = vertical ? x : source, cy = vertical ? source : y;
      return n.fam == Fam::SplitIn ? afterAt(cx, cy) : beforeAt(cx, cy);
    }
    case Fam::Scroll: {
      const int p = n.sy ? m.P(kH) : m.P(kW), size = n.sy ? kH : kW, q = n.sy ? y : x, step = n.sy ? n.sy : n.sx;
      const int out = slideOutSource(step, size, p, q);
      if (out >= 0) return n.sy ? beforeAt(x, out) : beforeAt(out, y);
      const int in = slideInSource(step, size, p, q);
      return n.sy ? afterAt(x, in) : afterAt(in, y);
    }
    case Fam::Shutter: return bandsPixel(n, m, x, y, false);
    case Fam::Curtain: return bandsPixel(n, m, x, y, true);
    case Fam::SquareIn:
    case Fam::SquareOut: {
      const bool in = n.fam == Fam::SquareIn;
      const int w = in ? m.R(kW) : m.P(kW), h = in ? m.R(kH) : m.P(kH);
      const bool covered = x >= (kW - w) / 2 && x < (kW - w) / 2 + w && y >= (kH - h) / 2 && y < (kH - h) / 2 + h;
      return pick(in ? !covered : covered);
    }
    case Fam::FadeSlideIn: {
      const int dx = -n.sx * m.R(kW), dy = -n.sy * m.R(kH);
      return inside(x - dx, y - dy) ? mix(before, afterAt(x - dx, y - dy), m.P(255)) : before;
    }
    case Fam::FadeSlideOut: {
      const int dx = n.sx * m.P(kW), dy = n.sy * m.P(kH);
      return inside(x - dx, y - dy) ? mix(after, beforeAt(x - dx, y - dy), m.R(255)) : after;
    }
    case Fam::FadeScroll: {
      const int p = n.sx ? m.P(kW) : m.P(kH), a = m.P(255);
      const int dx = n.sx * p, dy = n.sy * p, ax = n.sx * (p - kW), ay = n.sy * (p - kH);
      uint32_t c = before;
      if (inside(x - dx, y - dy)) c = mix(c, beforeAt(x - dx, y - dy), 255 - a);
      if (inside(x - ax, y - ay)) c = mix(c, afterAt(x - ax, y - ay), a);
      return c;
    }
  }
  return 0;
}

Picture model(const std::string& name, uint32_t e) {
  const Named n = parse(name);
  const Model m{e, kDuration};
  return makePicture(kW, kH, [&](int x, int y) { return modelPixel(n, m, x, y); });
}

// ---- the fixture ----------------------------------------------------------------
class Transition : public Scene {
 protected:
  void SetUp() override {
    Scene::SetUp();
    sprite::bindMotionCoresAndTracks();
    bindTransitionCoresAndPasses();
  }
  void TearDown() override {
    script::resetModes();
    platform::setVirtualClock(false);
    Scene::TearDown();
  }

  // The before picture shown, the after picture pending on the same sprite.
  void beforeAndAfter(int w = kW, int h = kH) {
    savePicture("a.png", makePicture(w, h, beforeAt));
    savePicture("b.png", makePicture(w, h, afterAt));
    screen(w, h);
    run("sp", "900,\"a.png\",0,1");
    run("draw", "");
    run("sp", "900,\"b.png\",0,1");
  }

  image::Image* at(int index, uint32_t elapsed, uint32_t duration = kDuration, int easing = 0) {
    present(index, elapsed, duration, easing);
    return getRenderImage(geometry().screenWidth, geometry().screenHeight);
  }

  void expectFrame(const Picture& want, image::Image* got, int tolerance, const std::string& what) {
    Difference d = compare(want, got);
    EXPECT_LE(d.worst, tolerance) << what << " at " << d.x << "," << d.y;
    image::freeImage(got);
  }

  std::string log() { return velmora::test::readFile(logFilePath()); }
};

Picture solidOf(uint32_t (*f)(int, int)) { return makePicture(kW, kH, f); }

TEST_F(Transition, EveryNamedEffectAtItsStartMiddleAndEnd) {
  beforeAndAfter();
  ASSERT_EQ(effectCount(), 74);
  for (int i = 0; i < effectCount(); ++i) {
    const std::string name = effectName(i);
    ASSERT_TRUE(prepareTransition(kPassNamed, name, 0)) << name;
    const int tolerance = startsWith(name, "Fade") ? 2 : 0;
    expectFrame(solidOf(beforeAt), at(kPassNamed, 0), tolerance, name + " at 0%");
    expectFrame(model(name, 500), at(kPassNamed, 500), tolerance, name + " at 50%");
    expectFrame(model(name, 350), at(kPassNamed, 350), tolerance, name + " at 35%");
    expectFrame(solidOf(afterAt), at(kPassNamed, kDuration), tolerance, name + " at 100%");
  }
}

TEST_F(Transition, NamesAreLookedUpExactlyAndTheTableKeepsItsOrder) {
  beforeAndAfter();
  EXPECT_TRUE(existStretch("DirectionLeftUp"));
  EXPECT_TRUE(existStretch("FadeScrollRight"));
  EXPECT_FALSE(existStretch("directionup"));
  EXPECT_FALSE(existStretch("DirectionUp "));
  EXPECT_FALSE(existStretch("FadeScrollLeftUp"));
  run("existStretch", "\"CurtainLeft\",%0");
  EXPECT_EQ(*script::numericReference("%0"), 1);
  run("existStretch", "\"CurtainLeftUp\",%0");
  EXPECT_EQ(*script::numericReference("%0"), 0);
  EXPECT_STREQ(effectName(0), "DirectionLeftUp");
  EXPECT_STREQ(effectName(44), "ShutterUp");
  EXPECT_STREQ(effectName(73), "FadeScrollRight");
}

// The mirrored curve: R(x) along the negated easing is x - P(x).
TEST_F(Transition, EasedWipesRunAlongTheCurveAndItsMirror) {
  beforeAndAfter();
  ASSERT_TRUE(prepareTransition(kPassNamed, "DirectionUp", 0));
  // Quadratic out at 0.25 is 0.4375; the edge R(H) runs along quadratic in
  // at the remaining 0.75: 0.5625.
  image::Image* img = at(kPassNamed, 250, kDuration, 2);
  const int edge = static_cast<int>(kH * 0.5625f);
  expectFrame(makePicture(kW, kH, [&](int x, int y) { return y >= edge ? afterAt(x, y) : beforeAt(x, y); }), img, 0,
              "DirectionUp eased");
  EXPECT_EQ(transitionProgress(256, 250, 1000, 2) + transitionProgress(256, 750, 1000, -2), 256);
}

TEST_F(Transition, ShutterUpOnA720HighScreenUses36PixelBands) {
  beforeAndAfter(16, 720);
  ASSERT_TRUE(prepareTransition(kPassNamed, "ShutterUp", 0));
  image::Image* img = at(kPassNamed, 500);
  for (int y = 0; y < 720; ++y) {
    const uint32_t p = img->pixels[static_cast<size_t>(y) * 16 + 3];
    EXPECT_EQ(p & 0xFF, (y % 36) >= 18 ? 0xC8u : 0x20u) << "row " << y;
  }
  image::freeImage(img);
}

TEST_F(Transition, FadeHalfWayAndTheFinishCommits) {
  beforeAndAfter();
  ASSERT_TRUE(prepareTransition(kPassFade, "", 0));
  const int a = transitionProgress(255, 500, kDuration, 0);
  EXPECT_EQ(a, 127);
  expectFrame(makePicture(kW, kH, [&](int x, int y) { return mix(beforeAt(x, y), afterAt(x, y), a); }),
              at(kPassFade, 500), 2, "Fade at 50%");
  finishTransition(kPassFade);
  expectFrame(solidOf(afterAt), frame(), 0, "after the finish");
}

uint8_t maskAt(int x, int y) { return static_cast<uint8_t>((x * 4 + y * 3) & 0xFF); }

// alpha = ramp[v][p - m + 255]; v = 0 switches a pixel once p passes m.
uint32_t maskModel(int v, int p, int x, int y) {
  const int k = p - maskAt(x, y);
  const int alpha = v == 0 ? (k > 0 ? 255 : 0) : std::clamp(k * 255 / v, 0, 255);
  return mix(beforeAt(x, y), afterAt(x, y), alpha);
}

class MaskTransition : public Transition, public ::testing::WithParamInterface<int> {};

TEST_P(MaskTransition, MatchesTheRampForSoftAndHardEdges) {
  setting(K::PixelShader) = GetParam();
  beforeAndAfter();
  savePicture("mask.png", makePicture(kW, kH, [](int x, int y) {
                const uint32_t m = maskAt(x, y);
                return 0xFF000000u | m << 16 | m << 8 | m;
              }));
  for (int argument : {0, 1, 65}) {
    const int v = (argument - 1) & 0x1FF;
    ASSERT_TRUE(prepareTransition(kPassMask, "mask.png", argument));
    EXPECT_EQ(maskVagueness(), v);
    for (uint32_t e : {0u, 400u, 1000u}) {
      const int p = transitionProgress(v + 255, e, kDuration, 0);
      // The shader takes the progress unrounded: up to 255 / v more alpha.
      expectFrame(makePicture(kW, kH, [&](int x, int y) { return maskModel(v, p, x, y); }), at(kPassMask, e), 4,
                  "vagueness " + std::to_string(argument) + " at " + std::to_string(e) + " shaders " +
                      std::to_string(GetParam()));
    }
    finishTransition(kPassMask);
    EXPECT_EQ(maskVagueness(), 0);
    run("sp", "900,\"a.png\",0,1");
    run("draw", "");
    run("sp", "900,\"b.png\",0,1");
  }
}

INSTANTIATE_TEST_SUITE_P(StageAndShader, MaskTransition, ::testing::Values(0, 1));

// Four bits per channel, as 16-bit colour uploads pictures.
uint32_t fourBits(uint32_t c) {
  uint32_t out = 0xFF000000u;
  for (int shift = 0; shift <= 16; shift += 8) out |= ((c >> shift & 0xFF) >> 4) * 17 << shift;
  return out;
}

// 16-bit colour: four-bit mask values and the 64-wide ramp rows; the result
// passes through an R5G6B5 target, hence the wider tolerance.
TEST_F(Transition, SixteenBitColourTakesTheFourBitRamp) {
  setting(K::ColorMode) = 1;
  setting(K::PixelShader) = 0;
  beforeAndAfter();
  ASSERT_EQ(setting(K::ColorMode), 1);
  savePicture("mask.png", makePicture(kW, kH, [](int x, int y) {
                const uint32_t m = maskAt(x, y);
                return 0xFF000000u | m << 16 | m << 8 | m;
              }));
  ASSERT_TRUE(prepareTransition(kPassMask, "mask.png", 0));
  const int row = 511 >> 4, p = transitionProgress(row + 15, 400, kDuration, 0);
  Picture want = makePicture(kW, kH, [&](int x, int y) {
    const int k = p - (maskAt(x, y) >> 4) + 15;
    const int a = std::clamp((15 * k - 225) / row, 0, 15);
    return mix(fourBits(beforeAt(x, y)), fourBits(afterAt(x, y)), a * 17);
  });
  expectFrame(want, at(kPassMask, 400), 8, "16-bit colour");
  finishTransition(kPassMask);
}

TEST_F(Transition, RampTablesHoldTheirRows) {
  EXPECT_EQ(maskRamp(0, 255), 0);
  EXPECT_EQ(maskRamp(0, 256), 255);
  EXPECT_EQ(maskRamp(1, 255), 0);
  EXPECT_EQ(maskRamp(1, 256), 255);
  EXPECT_EQ(maskRamp(511, 255 + 511), 255);
  EXPECT_EQ(maskRamp(511, 255 + 255), 127);  // 255 * 255 / 511 truncated
  EXPECT_EQ(maskRamp(100, 200), 0);
  EXPECT_EQ(maskRamp(100, 1023), 255);
  EXPECT_EQ(maskRamp16(2, 16), 7 * 16);  // (15 * 16 - 225) / 2 = 7
  EXPECT_EQ(maskRamp16(0, 15), 0);
  EXPECT_EQ(maskRamp16(0, 16), 15 * 16);
  EXPECT_EQ(maskRamp16(31, 63), 15 * 16);
}

TEST_F(Transition, AMaskThatCannotBeLoadedCommitsAtOnce) {
  beforeAndAfter();
  EXPECT_FALSE(prepareTransition(kPassMask, "missing.png", 0));
  expectFrame(solidOf(afterAt), frame(), 0, "committed");
}

TEST_F(Transition, AMaskOfAnotherSizeIsScaledToTheScreen) {
  beforeAndAfter();
  // Scaling may move the mask values by a step or two: stay clear of 64.
  savePicture("small.png", makePicture(kW / 2, kH / 2, [](int, int) { return 0xFF404040u; }));
  ASSERT_TRUE(prepareTransition(kPassMask, "small.png", 1));
  expectFrame(solidOf(beforeAt), at(kPassMask, 200), 0, "progress 51 below every mask value");
  expectFrame(solidOf(afterAt), at(kPassMask, 300), 0, "progress 76 above every mask value");
  finishTransition(kPassMask);
}

// Every frame of the loop moves the virtual clock by 1 ms.
int g_frames = 0;
void tick() {
  ++g_frames;
  if (platform::virtualClock()) platform::advanceVirtualClock(1);
}
void countFrames() {
  fakeRenderHook(&RenderHooks::frameCounted, tick);
  g_frames = 0;
}

TEST_F(Transition, DurationZeroStillRunsForTwoMilliseconds) {
  beforeAndAfter();
  platform::setVirtualClock(true);
  countFrames();
  runEffect(kPassFade, 0, 0, "", 0, false);
  EXPECT_EQ(g_frames, 3);  // elapsed 0 and 1, then the plain frame
  expectFrame(solidOf(afterAt), getRenderImage(kW, kH), 0, "after");
  g_frames = 0;
  runEffect(kPassFade, 10, 0, "", 0, false);
  EXPECT_EQ(g_frames, 11);  // 10 | 2 = 10 ms
  g_frames = 0;
  run("effect", "1,-5,0,\"\",0,0");  // a negative time runs as 0
  EXPECT_EQ(g_frames, 3);
}

TEST_F(Transition, UnknownNamesAreReportedAndCommitted) {
  beforeAndAfter();
  platform::setVirtualClock(true);
  countFrames();
  runEffect(kPassNamed, 500, 0, "NoSuchWipe", 0, false);
  EXPECT_EQ(g_frames, 0);
  EXPECT_NE(log().find(sj("NoSuchWipe 存在しないエフェクトです")), std::string::npos);
  expectFrame(solidOf(afterAt), frame(), 0, "committed");
  runEffect(7, 500, 0, "", 0, false);
  EXPECT_NE(log().find(sj("7 存在しないエフェクトです")), std::string::npos);
}

TEST_F(Transition, SkipModeAndEffectSkipCommitAtOnceWithoutAnError) {
  beforeAndAfter();
  platform::setVirtualClock(true);
  countFrames();
  script::readingModes().skip = 1;
  runEffect(kPassNamed, 500, 0, "NoSuchWipe", 0, false);
  EXPECT_EQ(g_frames, 0);
  EXPECT_EQ(log().find(sj("存在しないエフェクトです")), std::string::npos);
  expectFrame(solidOf(afterAt), frame(), 0, "committed in skip mode");
  script::resetModes();
  run("sp", "900,\"a.png\",0,1");
  setting(K::EffectSkip) = 1;
  g_frames = 0;
  runEffect(kPassFade, 500, 0, "", 0, false);
  EXPECT_EQ(g_frames, 0);
  expectFrame(solidOf(beforeAt), frame(), 0, "committed with EffectSkip");
}

TEST_F(Transition, EnterEndsTheLoopWhenCancellingIsOn) {
  beforeAndAfter();
  platform::setVirtualClock(true);
  countFrames();
  WindowMessage pending;
  while (platform::pollMessage(pending)) {
  }
  ASSERT_TRUE(platform::pushKey(13, true));
  runEffect(kPassFade, 500, 0, "", 0, false);
  // Window events queued before the key each take one pass of the loop.
  EXPECT_LT(g_frames, 20);
  EXPECT_EQ(messageRecord().message, static_cast<unsigned>(kMsgNone));
  expectFrame(solidOf(afterAt), getRenderImage(kW, kH), 0, "committed");
}

// The after picture is the screen the commit leaves: a sprite deleted
// before the effect fades out with it.
TEST_F(Transition, ADeletedSpriteIsNotPartOfTheAfterPicture) {
  savePicture("a.png", makePicture(kW, kH, beforeAt));
  savePicture("g.png", makePicture(10, 10, [](int, int) { return 0xFF00FF00u; }));
  screen(kW, kH);
  run("sp", "900,\"a.png\",0,1");
  run("sp", "5,\"g.png\",0,1");
  run("sp_xy", "5,20,20");  // covers 15-24
  run("draw", "");
  run("sp_d", "5");
  ASSERT_TRUE(prepareTransition(kPassFade, "", 0));
  const int a = transitionProgress(255, 500, kDuration, 0);
  auto withSprite = [](int x, int y) { return x >= 15 && x < 25 && y >= 15 && y < 25 ? 0xFF00FF00u : beforeAt(x, y); };
  expectFrame(makePicture(kW, kH, [&](int x, int y) { return mix(withSprite(x, y), beforeAt(x, y), a); }),
              at(kPassFade, 500), 2, "Fade at 50%");
  expectFrame(solidOf(beforeAt), at(kPassFade, kDuration), 0, "Fade at 100%");
  finishTransition(kPassFade);
  EXPECT_EQ(sprite::frontSlot(5), nullptr);
}

// Alt+Enter as a player presses it; Alt is let go, so no key stays down.
void pushAltEnter() {
  platform::pushKey(18, true);
  platform::pushKey(13, true);
  platform::pushKey(13, false);
  platform::pushKey(18, false);
}

TEST_F(Transition, AltEnterWaitsForASoftMaskTransitionAndSwitchesAfterIt) {
  beforeAndAfter();
  savePicture("mask.png", makePicture(kW, kH, [](int x, int y) { return 0xFF000000u | maskAt(x, y) * 0x010101u; }));
  platform::setVirtualClock(true);
  countFrames();
  WindowMessage pending;
  while (platform::pollMessage(pending)) {
  }
  pushAltEnter();
  runEffect(kPassMask, 200, 0, "mask.png", 65, false);
  EXPECT_GE(g_frames, 200);  // the keys neither cancel the effect ...
  EXPECT_EQ(setting(K::FullScreen), 0);  // ... nor switch the screen
  EXPECT_EQ(geometry().fullScreenCounter, 0);
  EXPECT_EQ(maskVagueness(), 0);

  pushAltEnter();
  render::InputEvent e;
  for (int i = 0; i < 8 && e.button != 258; ++i) e = render::pollEvent(render::WaitMode::Plain);
  EXPECT_EQ(e, (render::InputEvent{258, 258, 1, {}}));
  EXPECT_EQ(setting(K::FullScreen), 1);
  resetMenuBar();  // the Alt release showed it
}

// The new maskTexture of a screen change gets the mask again: the shader
// pass never uploads it after the start.
TEST_F(Transition, AScreenChangeInTheMiddleKeepsTheMask) {
  beforeAndAfter();
  savePicture("mask.png", makePicture(kW, kH, [](int x, int y) { return 0xFF000000u | maskAt(x, y) * 0x010101u; }));
  ASSERT_TRUE(prepareTransition(kPassMask, "mask.png", 1));
  const int p = transitionProgress(255, 400, kDuration, 0);
  const Picture want = makePicture(kW, kH, [&](int x, int y) { return maskModel(0, p, x, y); });
  expectFrame(want, at(kPassMask, 400), 4, "before the change");
  ASSERT_TRUE(screenChange(false));
  expectFrame(want, at(kPassMask, 400), 4, "after the change");
  finishTransition(kPassMask);
}

TEST_F(Transition, MotionBlurKeepsTheOldFrameByStrength) {
  beforeAndAfter();
  run("sc_mb", "1,0");
  expectFrame(solidOf(beforeAt), frame(), 0, "strength 0 freezes");
  run("sc_mb", "1,255");
  expectFrame(solidOf(afterAt), frame(), 0, "strength 255 replaces");
  run("sp", "900,\"a.png\",0,1");
  run("sc_mb", "1,384");  // low 8 bits: 128
  expectFrame(makePicture(kW, kH, [](int x, int y) { return mix(afterAt(x, y), beforeAt(x, y), 128); }), frame(), 2,
              "strength 128 blends");
  run("sc_mb", "0,0");
  expectFrame(solidOf(beforeAt), frame(), 0, "plain again");
}

}  // namespace
}  // namespace velmora::render::test
