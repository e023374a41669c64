#pragma once
// Sprites and pictures without a device: commands run through the own
// language's table, pictures are PNG files written into a fresh game folder.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <set>
#include <vector>
#include <string>

#include "bindings/catalogue.h"
#include "base/report.h"
#include "base/settings.h"
#include "base/state.h"
#include "base/textconv.h"
#include "image/image.h"
#include "script/control.h"
#include "script/expression.h"
#include "script/interp.h"
#include "sprite/picture.h"
#include "sprite/sprite.h"
#include "support/tempdir.h"

namespace velmora::sprite::test {

// A w × h picture whose pixel (x, y) is 0xFF000000 | seed << 16 | y << 8 | x
// (low bytes), so any pixel tells where it came from.
inline void writePicture(const std::string& path, int w, int h, int seed = 0, const char* base = nullptr,
                         int left = 0, int top = 0) {
  image::Image* im = image::createImage(w, h, 32);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      im->pixels[y * w + x] = 0xFF000000u | uint32_t(seed & 255) << 16 | uint32_t(y & 255) << 8 | uint32_t(x & 255);
  if (base) {
    std::strcpy(im->name, base);
    im->left = left;
    im->top = top;
    im->mode = 0;
  }
  std::filesystem::path p(path);
  if (p.has_parent_path()) std::filesystem::create_directories(p.parent_path());
  image::saveImage(path.c_str(), im, image::kSavePng, 0, 1, 0);
  image::freeImage(im);
}

class SpriteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    runOptions().headless = true;
    runOptions().answer = 7;
    setSaveRoot("");
    quitRequest = 0;
    resetSettings();
    script::registerOwnCommands();
    installReportHooks({.ownTrace = script::ownLanguageTrace});
    bindings::registerCatalogue();
    bindSpriteCores();
    setScreenFacts({});
    setTextureLimits({});
    setJumpLoading(false);
    run("int", "r, w, h");
  }
  void TearDown() override {
    clearTable();
    clearCache();
    clearLookaheadTables();
    setScreenFacts({});
    script::clearControlState();
    script::resetInterpreter();
    script::resetVariables();
    resetSettings();
  }
  static void run(const char* command, const std::string& args) {
    script::CommandHandler h = script::findCommand(command);
    ASSERT_NE(h, nullptr) << command;
    h(args.c_str());
  }
  static int var(const char* name) { return *script::numericReference(name); }
  std::string takeLog() {
    std::string s = sjis_to_utf8(velmora::test::readFile("Information.txt"));
    std::filesystem::remove("Information.txt");
    return s;
  }
  velmora::test::TempDir dir;
};

}  // namespace velmora::sprite::test
