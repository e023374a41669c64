#pragma once
// Headless scenes for the frame tests: a window and device on the offscreen
// driver, pictures written as PNG files, commands run as the script runs
// them, and a CPU compositor that says what the frame must hold.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/wiring.h"
#include "bindings/bridge.h"
#include "bindings/catalogue.h"
#include "base/report.h"
#include "base/settings.h"
#include "base/state.h"
#include "image/image.h"
#include "platform/platform.h"
#include "render/display.h"
#include "render/geometry.h"
#include "render/hooks.h"
#include "render/render.h"
#include "script/interp.h"
#include "sprite/motion.h"
#include "sprite/picture.h"
#include "sprite/sprite.h"
#include "support/tempdir.h"

namespace velmora::render::test {

// 0xAARRGGBB pixels, rows top to bottom.
struct Picture {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;
  uint32_t& at(int x, int y) { return pixels[static_cast<size_t>(y) * width + x]; }
  uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

inline Picture makePicture(int w, int h, const std::function<uint32_t(int, int)>& f) {
  Picture p{w, h, std::vector<uint32_t>(static_cast<size_t>(w) * h)};
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) p.at(x, y) = f(x, y);
  return p;
}

inline void savePicture(const std::string& path, const Picture& p) {
  image::Image* img = image::createImage(p.width, p.height, 32);
  std::copy(p.pixels.begin(), p.pixels.end(), img->pixels);
  ASSERT_EQ(image::saveImage(path.c_str(), img, image::kSavePng, 32, 0, 0), 1);
  image::freeImage(img);
}

inline int channelOf(uint32_t p, int shift) { return static_cast<int>((p >> shift) & 0xFF); }

// The blend rows on one opaque destination pixel, in 0-1 arithmetic.
inline uint32_t blendPixel(int row, uint32_t src, uint32_t dst, int alpha) {
  const float a = static_cast<float>(channelOf(src, 24)) / 255.0f * static_cast<float>(alpha) / 255.0f;
  uint32_t out = 0xFF000000;
  for (int shift = 0; shift <= 16; shift += 8) {
    const float c = static_cast<float>(channelOf(src, shift)) / 255.0f;
    const float d = static_cast<float>(channelOf(dst, shift)) / 255.0f;
    const float pm = c * a, white = c * a + (1 - a);
    float r = 0;
    switch (row) {
      case 0: r = c; break;
      case 1: r = c * a + d * (1 - a); break;
      case 2: r = c * a + d; break;
      case 3: r = d - c * a; break;
      case 4: r = d * white; break;
      case 5: r = pm * (1 - d) + d; break;
      case 6: r = std::max(pm, d); break;
      case 7: r = std::min(white, d); break;
      case 8: r = pm * (1 - d) + d * (1 - pm); break;
      default: r = d; break;
    }
    r = std::clamp(r, 0.0f, 1.0f);
    out |= static_cast<uint32_t>(std::lround(r * 255.0f)) << shift;
  }
  return out;
}

// Lays src with its top-left at (left, top) over dst by a blend row.
inline void compose(Picture& dst, const Picture& src, int left, int top, int row, int alpha = 255) {
  for (int y = 0; y < src.height; ++y)
    for (int x = 0; x < src.width; ++x) {
      const int dx = left + x, dy = top + y;
      if (dx < 0 || dy < 0 || dx >= dst.width || dy >= dst.height) continue;
      dst.at(dx, dy) = blendPixel(row, src.at(x, y), dst.at(dx, dy), alpha);
    }
}

// Largest channel difference, and where.
struct Difference {
  int worst = 0, x = -1, y = -1;
};

inline Difference compare(const Picture& expected, const image::Image* actual) {
  Difference d;
  if (!actual || actual->width != expected.width || actual->height != expected.height) return {999, -1, -1};
  for (int y = 0; y < expected.height; ++y)
    for (int x = 0; x < expected.width; ++x) {
      const uint32_t e = expected.at(x, y), a = actual->pixels[static_cast<size_t>(y) * actual->width + x];
      for (int shift = 0; shift <= 16; shift += 8) {
        const int diff = std::abs(channelOf(e, shift) - channelOf(a, shift));
        if (diff > d.worst) d = {diff, x, y};
      }
    }
  return d;
}

// Replaces one of the render hooks the wiring installed.
template <class Field, class Value>
void fakeRenderHook(Field RenderHooks::*field, Value value) {
  RenderHooks h = renderHooks();
  h.*field = value;
  installRenderHooks(h);
}

class Scene : public ::testing::Test {
 protected:
  void SetUp() override {
    // Each test process gets its own instance lock: tests run side by side.
    setenv("XDG_RUNTIME_DIR", dir_.path().c_str(), 1);
    runOptions().headless = true;
    setSaveRoot("");
    quitRequest = 0;
    resetSettings();
    setting(SettingKey::VSyncWait) = 0;
    platform::init();
    app::wireEngine();
    // The frames are the render library's own: the virtual clock moves only
    // when a test moves it, and nothing is drawn over the picture.
    fakeRenderHook(&RenderHooks::frameCounted, nullptr);
    fakeRenderHook(&RenderHooks::drawOverlays, nullptr);
    fakeRenderHook(&RenderHooks::startupDialog, nullptr);
  }
  void TearDown() override {
    sprite::clearTable();
    sprite::clearCache();
    releaseRenderDevice();
    releaseDisplay();
    resetSettings();
    quitRequest = 0;
  }

  static void run(const char* name, const std::string& args) {
    bindings::installOwnBridge();
    script::CommandHandler h = script::findCommand(name);
    ASSERT_NE(h, nullptr) << name;
    h(args.c_str());
  }

  void screen(int w, int h) {
    run("screen", std::to_string(w) + "," + std::to_string(h) + "," + std::to_string(w) + ",2");
    ASSERT_EQ(quitRequest.load(), 0);
  }

  image::Image* frame() {
    run("draw", "");
    return getRenderImage(geometry().screenWidth, geometry().screenHeight);
  }

  velmora::test::TempDir dir_;
};

}  // namespace velmora::render::test
