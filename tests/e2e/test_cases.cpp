// The script-level cases under tests/cases/NAME/: each is a small game
// (UTF-8 scripts under script/) packed with velmora-pack and run headless.
// Standard output must equal expected.txt; Information.txt (in UTF-8 here)
// must equal expected-log.txt, or be absent when that file is. A file
// named args holds extra command-line options (e.g. --answer yes), one named
// pack-args extra options of the packer (--utf8: a Unicode game).
// A case may play scenario.txt on the virtual clock; every picture under
// expected/ must then match the screenshot of the same name, channel by
// channel within "tolerance N" (default 2) except for at most "max-pixels N"
// pixels (default 0), as the file picture-limits sets them. A mismatch keeps
// the screenshot and a difference picture under the build's case-pictures/.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>

#include "base/textconv.h"
#include "support/engine.h"
#include "support/pictures.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

const fs::path kCases = fs::path(VELMORA_SOURCE_DIR) / "tests" / "cases";

std::string trimEnd(std::string s) {
  while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
  return s;
}

struct PictureLimits {
  int tolerance = 2, maxPixels = 0;
};

PictureLimits pictureLimits(const fs::path& file) {
  PictureLimits limits;
  std::istringstream in(fs::exists(file) ? test::readFile(file) : "");
  std::string key;
  int value = 0;
  while (in >> key >> value) {
    if (key == "tolerance") {
      limits.tolerance = value;
    } else if (key == "max-pixels") {
      limits.maxPixels = value;
    } else {
      ADD_FAILURE() << file << ": unknown limit " << key;
    }
  }
  return limits;
}

// Every expected picture against the screenshot the scenario wrote into the
// launch folder.
void comparePictures(const std::string& name, const fs::path& src) {
  const PictureLimits limits = pictureLimits(src / "picture-limits");
  const fs::path keep = fs::path(VELMORA_BINARY_DIR) / "case-pictures" / name;
  for (const auto& e : fs::directory_iterator(src / "expected")) {
    if (e.path().extension() != ".png") continue;
    const std::string shot = e.path().filename().string();
    fs::create_directories(keep);
    std::string verdict = test::comparePictures(e.path().string(), shot, limits.tolerance, limits.maxPixels,
                                                (keep / ("diff-" + shot)).string());
    if (!verdict.empty() && fs::exists(shot)) fs::copy_file(shot, keep / shot, fs::copy_options::overwrite_existing);
    EXPECT_EQ(verdict, "") << shot;
  }
}

class ScriptCase : public ::testing::TestWithParam<std::string> {};

TEST_P(ScriptCase, MatchesItsExpectedOutput) {
  const fs::path src = kCases / GetParam();
  test::TempDir dir;
  const std::string packArgs = fs::exists(src / "pack-args") ? trimEnd(test::readFile(src / "pack-args")) : "";
  const bool unicode = packArgs.find("--utf8") != std::string::npos;  // its log is UTF-8 already
  const auto logText = [unicode](const std::string& bytes) { return unicode ? bytes : sjis_to_utf8(bytes); };
  const test::Run packed = test::runPack("scripts '" + src.string() + "' game/script.dat " + packArgs);
  ASSERT_EQ(packed.code, 0) << packed.err;
  if (fs::exists(src / "files")) fs::copy(src / "files", "game", fs::copy_options::recursive);
  std::string args = fs::exists(src / "args") ? trimEnd(test::readFile(src / "args")) : "";
  if (fs::exists(src / "scenario.txt")) args += " --virtual-clock --input '" + (src / "scenario.txt").string() + "'";
  const test::Run run = test::runEngine(args + " game");
  EXPECT_EQ(run.code, 0) << run.err;
  if (fs::exists(src / "expected.txt")) {
    EXPECT_EQ(run.out, test::readFile(src / "expected.txt"));
  }
  const fs::path log = "game/Information.txt";
  if (fs::is_directory(src / "expected")) {
    comparePictures(GetParam(), src);
    // A screen writes this machine's report into the log.
    if (!fs::exists(src / "expected-log.txt")) return;
  }
  if (fs::exists(src / "expected-log.txt")) {
    ASSERT_TRUE(fs::exists(log));
    EXPECT_EQ(logText(test::readFile(log)), test::readFile(src / "expected-log.txt"));
  } else {
    EXPECT_FALSE(fs::exists(log)) << logText(test::readFile(log));
  }
}

std::vector<std::string> caseNames() {
  std::vector<std::string> names;
  if (fs::is_directory(kCases))
    for (const auto& e : fs::directory_iterator(kCases))
      if (fs::exists(e.path() / "expected.txt") || fs::is_directory(e.path() / "expected"))
        names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

INSTANTIATE_TEST_SUITE_P(Cases, ScriptCase, ::testing::ValuesIn(caseNames()),
                         [](const auto& info) {
                           std::string n = info.param;
                           for (char& c : n)
                             if (!isalnum(static_cast<unsigned char>(c))) c = '_';
                           return n;
                         });

}  // namespace
}  // namespace velmora
