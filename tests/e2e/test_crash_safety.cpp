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

// Both versions write the settings (with a system variable) and the read
// marks; the second reads the text block first and keeps a longer string.
std::string script(int version) {
  std::string s = "*start\nint s_count\nstring s_name\ncal %s_count = " + std::to_string(version) +
                  ", $s_name = \"" + std::string(size_t(version) * 40, 'n') + "\"\n";
  if (version == 2) s += "「読みました」\n\n";
  s += "saveSetting\nsaveAlready\nend\n";
  if (version == 1) s += "「読みました」\n\n";
  return s;
}

void packVersion(int version) {
  test::writeFile("src/script/0.txt", script(version));
  ASSERT_EQ(std::system((kBin + "/velmora-pack scripts src game/script.dat >/dev/null").c_str()), 0);
}

// Runs the engine with an optional kill point; returns the wait status.
int runEngine(const std::string& killPoint) {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e)
    if (std::string_view(*e).substr(0, 20) != "VELMORA_KILL_WRITING") env.emplace_back(*e);
  env.push_back("XDG_RUNTIME_DIR=" + std::filesystem::current_path().string());
  if (!killPoint.empty()) env.push_back("VELMORA_KILL_WRITING=" + killPoint);
  std::vector<char*> envp;
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::string engine = kBin + "/velmora", headless = "--headless", game = "game";
  char* argv[] = {engine.data(), headless.data(), game.data(), nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  int status = -1;
  if (posix_spawn(&pid, engine.c_str(), &actions, nullptr, argv, envp.data()) == 0) waitpid(pid, &status, 0);
  posix_spawn_file_actions_destroy(&actions);
  return status;
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
  // A normal run afterwards replaces it, leftover temporary file or not.
  ASSERT_EQ(runEngine(""), 0);
  const std::string after = test::readFile(path);
  EXPECT_NE(after, before);
  EXPECT_FALSE(after.empty());
}

TEST(CrashSafety, KillingSaveSettingKeepsThePreviousSettings) {
  test::TempDir dir;
  killWhileWriting("setting.dat");
}

TEST(CrashSafety, KillingSaveAlreadyKeepsThePreviousReadMarks) {
  test::TempDir dir;
  killWhileWriting("already.dat");
}

}  // namespace
}  // namespace velmora
