#pragma once
// Starting the engine and the pack tool from a test. Every run of velmora
// gets a runtime folder of its own: the single-instance lock lives there, so
// a run never meets another engine running on the machine (a player's, or a
// test of another checkout). A run that hangs is killed after a while.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/tempdir.h"

namespace velmora::test {

struct Run {
  int code = -1;  // exit code, -1 when killed or not started
  std::string out, err;
};

inline const std::string& binaryDir() {
  static const std::string dir = VELMORA_BINARY_DIR;
  return dir;
}

// Runs a shell command in the working folder, standard output and standard
// error captured apart.
inline Run runCommand(const std::string& command) {
  char tmpl[] = "/tmp/velmora-run-XXXXXX";
  Run r;
  if (!mkdtemp(tmpl)) return r;
  const std::filesystem::path dir = tmpl;
  const std::string out = (dir / "out").string(), err = (dir / "err").string();
  const int status = std::system(("{ " + command + " ; } >'" + out + "' 2>'" + err + "'").c_str());
  r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  r.out = readFile(out);
  r.err = readFile(err);
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
  return r;
}

// velmora --headless ARGS in the working folder; env holds assignments put
// before the command (e.g. "VAR=value"). A run still going after the time
// limit (seconds) is killed.
inline Run runEngine(const std::string& args, const std::string& env = "", int limit = 600) {
  char tmpl[] = "/tmp/velmora-xdg-XXXXXX";
  Run r;
  if (!mkdtemp(tmpl)) return r;
  r = runCommand("XDG_RUNTIME_DIR='" + std::string(tmpl) + "' " + env + " timeout -s KILL " +
                 std::to_string(limit) + " '" + binaryDir() + "/velmora' --headless " + args);
  std::error_code ec;
  std::filesystem::remove_all(tmpl, ec);
  return r;
}

// velmora-pack ARGS in the working folder.
inline Run runPack(const std::string& args) { return runCommand("'" + binaryDir() + "/velmora-pack' " + args); }

}  // namespace velmora::test
