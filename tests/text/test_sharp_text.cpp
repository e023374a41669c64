// Text in a window larger than the game's screen: the glyphs are drawn at
// the window's pixels, so their edges stay as hard as at 1:1, while the
// pictures under them are scaled by the filter.
#include <epoxy/gl.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "base/textconv.h"
#include "platform/vclock.h"
#include "render/internal.h"
#include "render/scene.h"
#include "support/pictures.h"
#include "text/message.h"

namespace velmora::text {
namespace {

using K = SettingKey;
using render::test::makePicture;
using render::test::savePicture;

// Small enough that 2x fits the offscreen driver's 1024 x 768 display.
constexpr int kW = 480, kH = 270;

// The picture the window showed last, rows top first: the output picture of
// a frame with its text at output pixels, else the back buffer's quad.
std::vector<uint32_t> windowPixels;
int windowWidth = 0, windowHeight = 0;

void captureWindow(int, int) {
  render::WindowPlacement w;
  if (!render::windowPlacement(w)) return;
  const render::DeviceState& d = render::device();
  GLuint fbo = render::sharpTextOutput();
  render::Rect r{w.x0, w.drawableHeight - w.y0, w.x1, w.drawableHeight - w.y1};
  if (!fbo) fbo = d.backBuffer, r = d.present.quad;
  windowWidth = r.width(), windowHeight = r.height();
  windowPixels.assign(size_t(windowWidth) * size_t(windowHeight), 0);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, fbo);
  glReadPixels(r.left, r.top, windowWidth, windowHeight, GL_BGRA, GL_UNSIGNED_BYTE, windowPixels.data());
  glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
}

class SharpText : public render::test::Scene {
 protected:
  void TearDown() override {
    releaseMessageWindow();
    platform::setVirtualClock(false);
    Scene::TearDown();
  }
  // A black screen in a window of the given width (the game's aspect).
  void openScreen(int width, int sharp) {
    render::test::fakeRenderHook(&render::RenderHooks::drawOverlays, captureWindow);
    bindTextCores();
    // Whatever an earlier case of the process left in the window goes.
    window().layout = MessageLayout{};
    window().flow = MessageFlow{};
    platform::setVirtualClock(true);
    setting(K::Interpolation) = 2;
    setting(K::SharpText) = sharp;
    setting(K::WindowWidth) = width;
    setting(K::WindowHeight) = width * kH / kW;
    screen(kW, kH);
    savePicture("bg.png", makePicture(kW, kH, [](int, int) { return 0xFF000000u; }));
    run("sp", "900,\"bg.png\",3,1");
  }
  // The page, white with the given edge colour (black by default).
  void showPage(int width, int sharp = 1, int edgeColour = -1) {
    openScreen(width, sharp);
    run("setMessXY", "20,190,0");
    run("setMessWH", "22,3,20,20,2,6");
    run("setMessCreate", "300,100");
    run("setMessSpeed", "0,-1");
    if (edgeColour >= 0) run("setFontColor3", std::to_string(edgeColour) + ",-1");
    const std::string line = utf8_to_sjis("流星を見たよ、きれいだったね。Sharp text 123");
    showTextLine(line, 0, 0, 0);
    formatMessDraw();
    setMessDraw();
    endMessDraw();
    redraw();
    ASSERT_EQ(windowWidth, width);
  }
  // A string sprite with a red bar over its end (a sprite nearer the front).
  void showStringSprite(int width, int sharp = 1) {
    openScreen(width, sharp);
    run("ssp_set", utf8_to_sjis("\"ＭＳ ゴシック\",24,16,16777215,16777215,0"));
    run("ssp", utf8_to_sjis("10,\"流星 Sharp sprite 123\",0"));
    run("sp_xy", "10,150,70");  // sprites are placed by their centres
    savePicture("bar.png", makePicture(kBar.width(), kBar.height(), [](int, int) { return 0xFFFF0000u; }));
    run("sp", "5,\"bar.png\",3,1");
    run("sp_xy", "5," + std::to_string((kBar.left + kBar.right) / 2) + "," + std::to_string((kBar.top + kBar.bottom) / 2));
    redraw();
    ASSERT_EQ(windowWidth, width);
  }
  static constexpr render::Rect kBar{240, 50, 280, 90};
  void redraw() {
    image::Image* shown = frame();
    image::freeImage(shown);
  }
  // The window dragged to another width (the aspect kept).
  void resize(int width) {
    setting(K::WindowWidth) = width;
    setting(K::WindowHeight) = width * kH / kW;
    render::applyDisplayMode(true, false, false);
    redraw();
  }
  // Of the lit pixels, the share below the text's own brightness: the blur
  // of its edges.
  static double greyShare() {
    int full = 0, lit = 0, grey = 0;
    for (uint32_t p : windowPixels) full = std::max(full, int((p >> 8) & 0xFF));
    // The faint rim of the black outline over the black page is no edge.
    constexpr int kFaint = 24;
    for (uint32_t p : windowPixels) {
      const int v = int((p >> 8) & 0xFF);
      lit += v >= kFaint;
      grey += v >= kFaint && v <= full - kFaint;
    }
    return lit ? double(grey) / lit : 1.0;
  }
  // Against the golden picture (VELMORA_UPDATE_GOLDEN=1 rewrites it).
  static void expectGolden(const std::string& name, const std::string& shot) {
    const std::string golden = std::string(VELMORA_SOURCE_DIR) + "/tests/text/golden/" + name;
    if (std::getenv("VELMORA_UPDATE_GOLDEN")) std::filesystem::copy_file(shot, golden, std::filesystem::copy_options::overwrite_existing);
    EXPECT_EQ(velmora::test::comparePictures(golden, shot, 8, 4, std::string(VELMORA_BINARY_DIR) + "/" + name + "-diff.png"), "");
  }
  std::string savedWindow(const std::string& name) {
    image::Image* img = image::createImage(windowWidth, windowHeight, 24);
    std::copy(windowPixels.begin(), windowPixels.end(), img->pixels);
    const std::string path = (dir_.path() / name).string();
    image::saveImage(path.c_str(), img, image::kSavePng, 24, 9, 0);
    image::freeImage(img);
    return path;
  }
};

TEST_F(SharpText, AtOneToOneTheWindowIsTheScene) {
  showPage(kW);
  image::Image* scene = render::getRenderImage(kW, kH);
  int differ = 0;
  for (int i = 0; i < kW * kH; ++i) differ += (scene->pixels[i] & 0xFFFFFF) != (windowPixels[size_t(i)] & 0xFFFFFF);
  image::freeImage(scene);
  EXPECT_EQ(differ, 0);
  EXPECT_GT(greyShare(), 0.05);  // anti-aliased glyphs: some grey at 1:1 too
}

// The share of grey edge pixels stays that of 1:1 at 1.5x and 2x; the same
// page scaled as a picture has far more of it. Both sizes against golden
// pictures.
class SharpTextSize : public SharpText, public ::testing::WithParamInterface<int> {};

TEST_P(SharpTextSize, EdgesAsSharpAsAtOneToOne) {
  showPage(kW);
  const double oneToOne = greyShare();
  resize(GetParam());
  const double sharp = greyShare();
  ASSERT_EQ(windowWidth, GetParam());
  const std::string name = "sharp-text-" + std::to_string(GetParam()) + ".png";
  const std::string shot = savedWindow(name);
  setting(K::SharpText) = 0;
  redraw();
  const double scaled = greyShare();
  EXPECT_LT(sharp, oneToOne * 1.1) << "1:1 " << oneToOne << ", sharp " << sharp;
  EXPECT_GT(scaled, sharp * 1.3) << "scaled " << scaled << ", sharp " << sharp;
  expectGolden(name, shot);
}

INSTANTIATE_TEST_SUITE_P(TwoOutputSizes, SharpTextSize, ::testing::Values(720, 960));

// A string sprite at 2x: as sharp as at 1:1 and under the sprite in front
// of it, where the scaled one blurs.
TEST_F(SharpText, StringSpritesAsSharpAsMessageText) {
  showStringSprite(kW);
  const double oneToOne = greyShare();
  resize(2 * kW);
  const double sharp = greyShare();
  int overBar = 0;
  for (int y = 2 * kBar.top; y < 2 * kBar.bottom; ++y)
    for (int x = 2 * kBar.left; x < 2 * kBar.right; ++x) overBar += (windowPixels[size_t(y * windowWidth + x)] & 0xFFFFFF) != 0xFF0000;
  const std::string shot = savedWindow("sharp-sprite-960.png");
  setting(K::SharpText) = 0;
  redraw();
  const double scaled = greyShare();
  EXPECT_EQ(overBar, 0);
  EXPECT_LT(sharp, oneToOne * 1.1) << "1:1 " << oneToOne << ", sharp " << sharp;
  EXPECT_GT(scaled, sharp * 1.3) << "scaled " << scaled << ", sharp " << sharp;
  expectGolden("sharp-sprite-960.png", shot);
}

// Outline and shadow grow with the glyphs: at 2x their share of the ink is
// that of 1:1, not half of it.
TEST_F(SharpText, EdgesAsWideAsTheGlyphsAreLarger) {
  constexpr int kRed = 0xFF0000;
  const auto edgeShare = [] {
    int edge = 0, glyph = 0;
    for (uint32_t p : windowPixels) {
      const int r = int((p >> 16) & 0xFF), g = int((p >> 8) & 0xFF);
      edge += r >= 128 && g < 64;
      glyph += g >= 128;
    }
    return glyph ? double(edge) / glyph : 0.0;
  };
  showPage(kW, 1, kRed);
  const double oneToOne = edgeShare();
  resize(2 * kW);
  const double sharp = edgeShare();
  const std::string shot = savedWindow("sharp-edges-960.png");
  EXPECT_GT(oneToOne, 0.3);
  EXPECT_NEAR(sharp, oneToOne, oneToOne * 0.25) << "1:1 " << oneToOne << ", sharp " << sharp;
  expectGolden("sharp-edges-960.png", shot);
}

}  // namespace
}  // namespace velmora::text
