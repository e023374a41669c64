#pragma once
// Buttons and event waits without a device: sprites from PNG files in a fresh
// game folder, real SDL events pushed through the injection functions, and
// the window mapping one client pixel to one logical pixel.
#include <gtest/gtest.h>

#include <SDL.h>

#include <chrono>
#include <string>
#include <vector>

#include "bindings/catalogue.h"
#include "platform/glide.h"
#include "script/modes.h"
#include "base/pump.h"
#include "base/report.h"
#include "base/settings.h"
#include "base/state.h"
#include "base/textconv.h"
#include "image/image.h"
#include "platform/input.h"
#include "platform/inject.h"
#include "platform/platform.h"
#include "platform/vclock.h"
#include "render/geometry.h"
#include "render/input/buttons.h"
#include "script/control.h"
#include "script/expression.h"
#include "script/interp.h"
#include "sprite/motion.h"
#include "sprite/picture.h"
#include "sprite/sprite.h"
#include "support/tempdir.h"

namespace velmora::render {
inline void PrintTo(const InputEvent& e, std::ostream* os) {
  *os << "(" << e.button << ", " << e.code << ", " << e.phase << (e.text.empty() ? "" : ", " + e.text) << ")";
}
}  // namespace velmora::render

namespace velmora::render::test {

using K = SettingKey;

inline InputEvent ev(int b, int c, int p) { return InputEvent{b, c, p, {}}; }
inline const InputEvent kNone = ev(256, 256, 256);

// A w x h picture, opaque, or with alpha 0 where transparent(x, y) says so.
template <typename F>
void writePicture(const std::string& path, int w, int h, F transparent) {
  image::Image* im = image::createImage(w, h, 32);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) im->pixels[y * w + x] = transparent(x, y) ? 0x00FFFFFFu : 0xFF808080u;
  image::saveImage(path.c_str(), im, image::kSavePng, 32, 0, 0);
  image::freeImage(im);
}

class InputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(platform::init());
    platform::setVirtualClock(true);
    runOptions().headless = true;
    setSaveRoot("");
    quitRequest = 0;
    resetSettings();
    script::registerOwnCommands();
    installReportHooks({.ownTrace = script::ownLanguageTrace});
    bindings::registerCatalogue();
    sprite::bindSpriteCores();
    sprite::bindMotionCoresAndTracks();
    bindInputCoresAndWheel();
    resetButtons();
    script::resetModes();
    setCloseRequest(0);
    platform::clearInputState();
    platform::setClientCursor(0, 0);
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    render::Geometry& g = render::geometry();
    g = render::Geometry{};
    g.screenWidth = g.screenWidth2 = 800;
    g.screenHeight = g.screenHeight2 = 600;
    setting(K::WindowWidth) = 800;
    setting(K::WindowHeight) = 600;
    setting(K::SystemActive) = 3;
    setting(K::CursorMove) = 0;
    writePicture("box.png", 100, 100, [](int, int) { return false; });
    run("int", "b, c, p");
  }
  void TearDown() override {
    platform::joinCursorGlide();
    sprite::clearMotion();
    sprite::clearTable();
    sprite::clearCache();
    script::clearControlState();
    script::resetInterpreter();
    script::resetVariables();
    resetSettings();
    script::resetModes();
    platform::setVirtualClock(false);
    platform::shutdown();
  }
  static void run(const char* command, const std::string& args) {
    script::CommandHandler h = script::findCommand(command);
    ASSERT_NE(h, nullptr) << command;
    h(args.c_str());
  }
  static int var(const char* name) { return *script::numericReference(std::string("%") + name); }
  // A shown 100 x 100 sprite centred on (x, y).
  static void spriteAt(int n, int x, int y, const char* file = "box.png") {
    run("sp", std::to_string(n) + ", \"" + file + "\", 0, 1");
    run("sp_xy", std::to_string(n) + ", " + std::to_string(x) + ", " + std::to_string(y));
    sprite::commitAll();
  }
  // Polls until an event comes (at most n polls); kNone when none did.
  static InputEvent next(int n = 8) {
    for (int i = 0; i < n; ++i) {
      InputEvent e = pollEvent(WaitMode::Plain);
      if (!(e == kNone)) return e;
    }
    return kNone;
  }
  // Polls until an event comes or the time (real) has passed: what a timer
  // thread sends.
  static InputEvent nextWithin(std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
      InputEvent e = pollEvent(WaitMode::Plain);
      if (!(e == kNone)) return e;
      SDL_Delay(1);
    }
    return kNone;
  }
  static InputEvent nextIn(WaitMode mode, int n = 8) {
    for (int i = 0; i < n; ++i) {
      InputEvent e = pollEvent(mode);
      if (!(e == kNone)) return e;
    }
    return kNone;
  }
  velmora::test::TempDir dir;
};

}  // namespace velmora::render::test
