// The velmora executable: one game folder, one run.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>

#include "core/entry/startup.h"
#include "core/pump.h"
#include "core/state.h"
#include "platform/platform.h"

namespace {

const char kUsage[] =
    "usage: velmora [--headless] [--answer yes|no|cancel] [--version] [--help] [GAME_DIR]\n"
    "\n"
    "Runs the game in GAME_DIR (default: the executable's folder when it holds\n"
    "script.dat, else the current folder).\n"
    "  --headless       no window or sound device; boxes go to standard error\n"
    "  --answer WORD    what confirmation boxes answer in headless mode (default no)\n"
    "  --version        print the version and exit\n"
    "  --help           print this text and exit\n";

bool isFile(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

struct Arguments {
  std::string gameDir;
  bool ok = true;
  bool exitNow = false;
};

Arguments parseCommandLine(int argc, char** argv) {
  Arguments a;
  velmora::RunOptions& o = velmora::runOptions();
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--headless") {
      o.headless = true;
    } else if (arg == "--answer" && i + 1 < argc) {
      std::string v = argv[++i];
      if (v == "yes") o.answer = velmora::platform::kAnswerYes;
      else if (v == "no") o.answer = velmora::platform::kAnswerNo;
      else if (v == "cancel") o.answer = velmora::platform::kAnswerCancel;
      else {
        std::fprintf(stderr, "velmora: --answer takes yes, no or cancel, not '%s'\n", v.c_str());
        a.ok = false;
      }
    } else if (arg == "--version") {
      std::printf("velmora 0.1.0\n");
      a.exitNow = true;
    } else if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      a.exitNow = true;
    } else if (!arg.empty() && arg[0] == '-') {
      std::fprintf(stderr, "velmora: unknown option '%s'\n%s", arg.c_str(), kUsage);
      a.ok = false;
    } else if (a.gameDir.empty()) {
      a.gameDir = arg;
    } else {
      std::fprintf(stderr, "velmora: only one game folder, not '%s'\n", arg.c_str());
      a.ok = false;
    }
  }
  return a;
}

}  // namespace

int main(int argc, char** argv) {
  Arguments args = parseCommandLine(argc, argv);
  if (!args.ok) return 2;
  if (args.exitNow) return 0;
  if (velmora::runOptions().headless) {
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
  }
  std::string dir = args.gameDir;
  if (dir.empty()) {
    std::string exe = velmora::platform::executableFolder();
    dir = !exe.empty() && isFile(exe + "script.dat") ? exe : ".";
  }
  if (chdir(dir.c_str()) != 0) {
    std::fprintf(stderr, "velmora: cannot enter the game folder '%s': %s\n", dir.c_str(), std::strerror(errno));
    return 2;
  }
  velmora::platform::init();
  velmora::messageRecord() = velmora::WindowMessage{};
  int ran = velmora::runInterpreter();
  velmora::platform::shutdown();
  std::fflush(stdout);
  return ran ? static_cast<int>(velmora::messageRecord().message == velmora::WM_QUIT ? velmora::messageRecord().wParam : 0) : 1;
}
