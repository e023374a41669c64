// Files the engine writes survive the process being killed in the middle of
// writing them: the previous file stays byte for byte.
#include <gtest/gtest.h>
#include <signal.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <string>
#include <vector>

#include "support/tempdir.h"

extern char** environ;

namespace velmora {
namespace {

const std::string kBin = VELMORA_BINARY_DIR;

// Both versions write the settings (with a system variable), the read marks
// and slot 1 as text and packed (with g_ variables); the second reads the
// text block first and keeps longer strings. A loader is the first version
// (same lines, so that a loaded position means the same) that sets its own
// values and then loads slot 1, as text (3) or packed (4).
constexpr int kLoader = 3;

std::string script(int version) {
  const int value = version >= kLoader ? 1 : version;
  const std::string name(size_t(value) * 40, 'n');
  std::string s = "*start\nint s_count, g_v\nstring s_name, g_name\ncal %s_count = " + std::to_string(value) +
                  ", $s_name = \"" + name + "\", %g_v = " + std::to_string(version) + ", $g_name = \"" + name + "\"";
  s += version >= kLoader ? ":loadSave 1, " + std::to_string(version - kLoader) + "\n" : "\n";
  if (version == 2) s += "「読みました」\n\n";
  s += "saveSetting\nsaveAlready\nsaveSave 1, 0\nsaveSave 1, 1\nend\n*load_lb\nreturn\n";
  if (version != 2) s += "「読みました」\n\n";
  return s;
}

void packVersion(int version) {
  test::writeFile("src/script/0.txt", script(version));
  ASSERT_EQ(std::system((kBin + "/velmora-pack scripts src game/script.dat >/dev/null").c_str()), 0);
}

// Runs the engine with an optional kill point and scenario; returns the wait
// status.
int runEngine(const std::string& killPoint, const std::string& scenario = "") {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e)
    if (std::string_view(*e).substr(0, 20) != "VELMORA_KILL_WRITING") env.emplace_back(*e);
  env.push_back("XDG_RUNTIME_DIR=" + std::filesystem::current_path().string());
  if (!killPoint.empty()) env.push_back("VELMORA_KILL_WRITING=" + killPoint);
  std::vector<char*> envp;
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::vector<std::string> args = {kBin + "/velmora", "--headless"};
  if (!scenario.empty()) args.insert(args.end(), {"--virtual-clock", "--input", scenario});
  args.push_back("game");
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  int status = -1;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) == 0) waitpid(pid, &status, 0);
  posix_spawn_file_actions_destroy(&actions);
  return status;
}

// The loader restores slot 1: its g_ variables come back as the first
// version saved them.
void expectSlotLoads(bool packed) {
  packVersion(kLoader + packed);
  test::writeFile("check.txt", "expect-var %g_v 1\nexpect-var $g_name \"" + std::string(40, 'n') + "\"\n");
  const int status = runEngine("", "check.txt");
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "slot 1 did not load: status " << status;
}

// Every kill point of one file, from its first byte to just before the
// rename, leaves the first version's file as it was.
void killWhileWriting(const std::string& name) {
  const std::string path = "game/save/" + name;
  packVersion(1);
  ASSERT_EQ(runEngine(""), 0);
  const std::string before = test::readFile(path);
  ASSERT_FALSE(before.empty());

  packVersion(2);
  ASSERT_EQ(runEngine(name + ":1000000000"), SIGKILL) << "the hook never fired";
  const size_t points = 24;
  const size_t longest = before.size() + 64;  // the new file is longer
  for (size_t i = 0; i <= points; ++i) {
    const size_t at = longest * i / points;
    const int status = runEngine(name + ":" + std::to_string(at));
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << at << " status " << status;
    ASSERT_EQ(test::readFile(path), before) << name << " damaged by a kill after " << at << " bytes";
  }
  if (name.rfind("save", 0) == 0) {
    expectSlotLoads(name.ends_with(".dat"));
    packVersion(2);
  }
  // A normal run afterwards replaces it, and sweeps away the temporary file
  // the last kill left.
  ASSERT_EQ(runEngine(""), 0);
  const std::string after = test::readFile(path);
  EXPECT_NE(after, before);
  EXPECT_FALSE(after.empty());
  for (const auto& e : std::filesystem::directory_iterator("game/save"))
    EXPECT_EQ(e.path().filename().string().find(".velmora-tmp."), std::string::npos) << e.path();
}

TEST(CrashSafety, KillingSaveSettingKeepsThePreviousSettings) {
  test::TempDir dir;
  killWhileWriting("setting.dat");
}

TEST(CrashSafety, KillingSaveAlreadyKeepsThePreviousReadMarks) {
  test::TempDir dir;
  killWhileWriting("already.dat");
}

TEST(CrashSafety, KillingSaveSaveKeepsThePreviousSlotLoadable) {
  test::TempDir dir;
  killWhileWriting("save001.txt");
  killWhileWriting("save001.dat");
}

}  // namespace
}  // namespace velmora
