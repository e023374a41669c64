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
  // The page in a window of the given width (the game's aspect).
  void showPage(int width, int sharp = 1) {
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
    run("setMessXY", "20,190,0");
    run("setMessWH", "22,3,20,20,2,6");
    run("setMessCreate", "300,100");
    run("setMessSpeed", "0,-1");
    const std::string line = utf8_to_sjis("流星を見たよ、きれいだったね。Sharp text 123");
    showTextLine(line, 0, 0, 0);
    formatMessDraw();
    setMessDraw();
    endMessDraw();
    redraw();
    ASSERT_EQ(windowWidth, width);
  }
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
// pictures (VELMORA_UPDATE_GOLDEN=1 rewrites them).
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
  const std::string golden = std::string(VELMORA_SOURCE_DIR) + "/tests/text/golden/" + name;
  if (std::getenv("VELMORA_UPDATE_GOLDEN")) std::filesystem::copy_file(shot, golden, std::filesystem::copy_options::overwrite_existing);
  EXPECT_EQ(velmora::test::comparePictures(golden, shot, 8, 4, std::string(VELMORA_BINARY_DIR) + "/" + name + "-diff.png"), "");
}

INSTANTIATE_TEST_SUITE_P(TwoOutputSizes, SharpTextSize, ::testing::Values(720, 960));

}  // namespace
}  // namespace velmora::text
