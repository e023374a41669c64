#pragma once
// A game folder of its own, headless boxes, a HOME whose Documents folder is
// configured for xdg-user-dir, and the catalogue registered.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "bindings/catalogue.h"
#include "base/report.h"
#include "base/settings.h"
#include "base/state.h"
#include "base/textconv.h"
#include "save/location.h"
#include "save/settings_file.h"
#include "script/control.h"
#include "script/expression.h"
#include "script/interp.h"
#include "support/tempdir.h"

namespace velmora::save::test_support {

class SaveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    runOptions().headless = true;
    runOptions().answer = 7;
    runOptions().inheritGame.clear();
    quitRequest = 0;
    oldHome_ = std::getenv("HOME") ? std::getenv("HOME") : "";
    home_ = dir.path() / "home";
    std::filesystem::create_directories(home_ / ".config");
    test::writeFile(home_ / ".config/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"$HOME/Docs\"\n");
    setenv("HOME", home_.c_str(), 1);
    unsetenv("XDG_CONFIG_HOME");
    std::filesystem::create_directories("game");
    std::filesystem::current_path("game");
    resetSettings();
    resetSaveProtect();
    resetSaveLocation();
    script::registerOwnCommands();
    installReportHooks({.ownTrace = script::ownLanguageTrace});
    bindings::registerCatalogue();
    bindSaveCommands();
  }
  void TearDown() override {
    std::filesystem::current_path(dir.path());
    setenv("HOME", oldHome_.c_str(), 1);
    script::resetVariables();
    resetSettings();
    resetSaveProtect();
    resetSaveLocation();
    quitRequest = 0;
  }
  // Runs an own-language command with its argument text (UTF-8).
  void run(const char* name, const std::string& utf8Args = "") {
    script::CommandHandler h = script::findCommand(name);
    ASSERT_NE(h, nullptr) << name;
    h(utf8_to_sjis(utf8Args).c_str());
  }
  int32_t num(const char* name) {
    auto it = script::namedIntegers().find(name);
    return it == script::namedIntegers().end() ? -999 : it->second;
  }
  std::string str(const char* name) {
    auto it = script::namedStrings().find(name);
    return it == script::namedStrings().end() ? "<none>" : sjis_to_utf8(it->second);
  }
  // The error boxes so far (UTF-8); the log starts afresh.
  std::string takeLog(const std::string& path = "Information.txt") {
    std::string s = sjis_to_utf8(test::readFile(path));
    std::filesystem::remove(path);
    return s;
  }
  std::string docs() const { return (home_ / "Docs").string(); }

  test::TempDir dir;
  std::filesystem::path home_;
  std::string oldHome_;
};

}  // namespace velmora::save::test_support
