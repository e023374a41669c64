// The examples of docs/*.md, so that the documentation cannot go stale. A
// fenced block marked velmora-script is a start script: it is packed and
// run headless on the virtual clock in a game folder holding the demo's
// archive and an empty save.dat. The blocks after it, up to the next
// example, say what must happen: velmora-scenario is played as --input,
// velmora-output is standard output, velmora-output-2 the output of a second
// run in the same folder, and every line of velmora-errors must appear on
// standard error (which must be empty without it). A block marked
// velmora-fragment is only checked. velmora-pack check must accept every
// example, unless a velmora-check block lists what it reports (or, for a
// script, velmora-errors shows that its mistakes are meant).
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/engine.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

struct Example {
  std::string name;  // file_line, also the test's name
  std::string kind;  // velmora-script or velmora-fragment
  std::string text;
  std::map<std::string, std::string> expected;  // the blocks that follow, by kind
};

void PrintTo(const Example& x, std::ostream* os) { *os << x.name; }

const char* const kExpectations[] = {"velmora-scenario", "velmora-output", "velmora-output-2", "velmora-errors",
                                     "velmora-check"};

bool isExpectation(const std::string& kind) {
  for (const char* k : kExpectations)
    if (kind == k) return true;
  return false;
}

std::vector<Example> examplesOf(const fs::path& file) {
  std::vector<Example> out;
  std::istringstream in(test::readFile(file));
  std::string line, kind, text;
  bool inside = false;
  int number = 0, start = 0;
  while (std::getline(in, line)) {
    ++number;
    if (line.rfind("```", 0) != 0) {
      if (inside) text += line + "\n";
      continue;
    }
    if (!inside) {
      kind = line.substr(3);
      text.clear();
      start = number;
      inside = true;
      continue;
    }
    inside = false;
    if (kind == "velmora-script" || kind == "velmora-fragment") {
      out.push_back({file.stem().string() + "_" + std::to_string(start), kind, text, {}});
    } else if (isExpectation(kind)) {
      if (out.empty()) ADD_FAILURE() << file << ":" << start << ": " << kind << " without an example before it";
      else out.back().expected[kind] = text;
    } else if (kind.rfind("velmora", 0) == 0) {
      ADD_FAILURE() << file << ":" << start << ": unknown block kind " << kind;
    }
  }
  return out;
}

std::vector<Example> allExamples() {
  std::vector<Example> all;
  for (const auto& e : fs::directory_iterator(fs::path(VELMORA_SOURCE_DIR) / "docs"))
    if (e.path().extension() == ".md")
      for (Example& x : examplesOf(e.path())) all.push_back(std::move(x));
  return all;
}

std::string withoutReturns(std::string s) {
  std::erase(s, '\r');
  while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
  return s;
}

// Standard error without the notice that every display start on this
// platform reports with the default settings (each box starts a line with
// its title in brackets).
std::string withoutStartNotice(const std::string& err) {
  std::string out, box;
  std::istringstream in(err);
  std::string line;
  auto flush = [&] {
    if (box.find("Software が使えないので Hardware で起動します") == std::string::npos) out += box;
    box.clear();
  };
  while (std::getline(in, line)) {
    if (line.rfind("[", 0) == 0) flush();
    box += line + "\n";
  }
  flush();
  return withoutReturns(out);
}

class DocExample : public ::testing::TestWithParam<Example> {};

TEST_P(DocExample, Works) {
  const Example& x = GetParam();
  test::TempDir dir;
  test::writeFile("src/script/0.txt", x.text);
  const std::string art = test::binaryDir() + "/demo-art";
  const test::Run checked = test::runPack("check src --archive-src '" + art + "'");
  if (auto it = x.expected.find("velmora-check"); it != x.expected.end()) {
    std::istringstream lines(it->second);
    for (std::string line; std::getline(lines, line);) {
      if (!line.empty()) {
        EXPECT_NE(checked.out.find(line), std::string::npos) << "missing: " << line << "\nin:\n" << checked.out;
      }
    }
    EXPECT_EQ(checked.code, it->second.find(": error:") != std::string::npos ? 1 : 0) << checked.out;
  } else if (!x.expected.count("velmora-errors")) {
    EXPECT_EQ(checked.code, 0) << checked.out << checked.err;
  }
  if (x.kind == "velmora-fragment") return;
  const test::Run packed = test::runPack("scripts src game/script.dat");
  ASSERT_EQ(packed.code, 0) << packed.err;
  fs::copy_file(test::binaryDir() + "/demo/arc0.dat", "game/arc0.dat");
  test::writeFile("game/save.dat", "");
  std::string args = "--virtual-clock";
  if (auto it = x.expected.find("velmora-scenario"); it != x.expected.end()) {
    test::writeFile("scenario.txt", it->second);
    args += " --input scenario.txt";
  }
  const test::Run run = test::runEngine(args + " game", "", 300);
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(withoutReturns(run.out), withoutReturns(x.expected.count("velmora-output") ? x.expected.at("velmora-output") : ""));
  const std::string err = withoutStartNotice(run.err);
  if (auto it = x.expected.find("velmora-errors"); it != x.expected.end()) {
    std::istringstream lines(it->second);
    for (std::string line; std::getline(lines, line);) {
      if (!line.empty()) {
        EXPECT_NE(err.find(line), std::string::npos) << "missing: " << line << "\nin:\n" << err;
      }
    }
  } else {
    EXPECT_EQ(err, "");
  }
  if (auto it = x.expected.find("velmora-output-2"); it != x.expected.end()) {
    const test::Run again = test::runEngine(args + " game", "", 300);
    EXPECT_EQ(again.code, 0) << again.err;
    EXPECT_EQ(withoutReturns(again.out), withoutReturns(it->second));
  }
}

INSTANTIATE_TEST_SUITE_P(Docs, DocExample, ::testing::ValuesIn(allExamples()),
                         [](const ::testing::TestParamInfo<Example>& info) { return info.param.name; });

// A broken fence must not make the examples vanish unnoticed.
TEST(DocExamples, TheGuidesHaveRunnableExamples) {
  int scripts = 0, outputs = 0;
  for (const Example& x : allExamples()) {
    scripts += x.kind == "velmora-script";
    outputs += x.expected.count("velmora-output") != 0;
  }
  EXPECT_GE(scripts, 12);
  EXPECT_GE(outputs, 12);
}

}  // namespace
}  // namespace velmora
