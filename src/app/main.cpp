// The velmora executable: one game folder, one run.
#include <malloc.h>
#include <signal.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>

#include "audio/audio.h"
#include "app/startup.h"
#include "base/pump.h"
#include "base/report.h"
#include "base/textconv.h"
#include "app/scenario.h"
#include "render/display.h"
#include "base/state.h"
#include "platform/events.h"
#include "platform/platform.h"
#include "platform/threads.h"
#include "platform/vclock.h"
#include "text/stream.h"

namespace {

// 1: start-up failed, 2: bad command line, 3: a scenario expectation failed.
constexpr int kExitAnswersEnded = 4;

const char kUsage[] =
    "usage: velmora [OPTION]... [GAME_DIR]\n"
    "\n"
    "Runs the game in GAME_DIR (default: the executable's folder when it holds\n"
    "script.dat, else the current folder).\n"
    "  --headless             no window or sound device; boxes go to standard error\n"
    "  --answer WORD          what confirmation boxes answer headless: yes, no (default), cancel;\n"
    "                         exit code 4 when the answers end the game before it starts\n"
    "  --inherit NAME         headless first run: take the settings of the sibling game NAME\n"
    "  --setup-choice LIST    headless start-up dialog: full=0|1,aspect=0|1,res=WIDTH,fit=0|1,again=0|1\n"
    "  --virtual-clock        time moves only with presented frames and sleeps (repeatable runs)\n"
    "  --frame-ms N           how far one frame moves the virtual clock (default 1000/60)\n"
    "  --input FILE           drive the run with a scenario file; exit 3 when an expectation fails\n"
    "  --scenario-timeout MS  real time a scenario line may wait for the game (default 60000, 0: none);\n"
    "                         past it the run ends with exit 3 naming the line\n"
    "  --screenshot-at MS PATH  write the screen to PATH when MS milliseconds have passed\n"
    "  --audio-out FILE.wav   record what the mixer plays into a WAVE file\n"
    "  --single-thread        no worker threads: sound, movies and the rest are stepped\n"
    "                         on the main thread (also VELMORA_SINGLE_THREAD=1)\n"
    "  --save-dir DIR         keep every file the run writes (saves, settings, log) in DIR\n"
    "  --text-stream WHERE    each finished page as a UTF-8 line: stdout, clipboard or a file\n"
    "  --version              print the version and exit\n"
    "  --help                 print this text and exit\n";

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
      o.answerGiven = true;
      std::string v = argv[++i];
      if (v == "yes") o.answer = velmora::platform::kAnswerYes;
      else if (v == "no") o.answer = velmora::platform::kAnswerNo;
      else if (v == "cancel") o.answer = velmora::platform::kAnswerCancel;
      else {
        std::fprintf(stderr, "velmora: --answer takes yes, no or cancel, not '%s'\n", v.c_str());
        a.ok = false;
      }
    } else if (arg == "--inherit" && i + 1 < argc) {
      o.inheritGame = argv[++i];
    } else if (arg == "--setup-choice" && i + 1 < argc) {
      o.setupChoice = argv[++i];
    } else if (arg == "--virtual-clock") {
      velmora::platform::setVirtualClock(true);
    } else if (arg == "--frame-ms" && i + 1 < argc) {
      o.frameMs = static_cast<uint32_t>(std::strtoul(argv[++i], nullptr, 10));
    } else if (arg == "--input" && i + 1 < argc) {
      std::string error;
      if (!velmora::app::loadScenario(argv[++i], error)) {
        std::fprintf(stderr, "velmora: %s\n", error.c_str());
        a.ok = false;
      }
    } else if (arg == "--scenario-timeout" && i + 1 < argc) {
      char* end = nullptr;
      const unsigned long ms = std::strtoul(argv[++i], &end, 10);
      if (end == argv[i] || *end != '\0' || ms > UINT32_MAX) {
        std::fprintf(stderr, "velmora: --scenario-timeout takes milliseconds, not '%s'\n", argv[i]);
        a.ok = false;
      }
      velmora::app::setScenarioTimeout(static_cast<uint32_t>(ms));
    } else if (arg == "--screenshot-at" && i + 2 < argc) {
      uint32_t ms = static_cast<uint32_t>(std::strtoul(argv[++i], nullptr, 10));
      velmora::app::addScreenshotAt(ms, argv[++i]);
    } else if (arg == "--single-thread") {
      velmora::platform::setSingleThread(true);
    } else if (arg == "--audio-out" && i + 1 < argc) {
      velmora::audio::setAudioOutput(std::filesystem::absolute(argv[++i]).string());  // before the move into the game folder
    } else if (arg == "--save-dir" && i + 1 < argc) {
      std::error_code ec;
      const std::filesystem::path dir = std::filesystem::absolute(argv[++i], ec);  // before the move into the game folder
      std::filesystem::create_directories(dir, ec);
      if (!std::filesystem::is_directory(dir)) {
        std::fprintf(stderr, "velmora: cannot make the save folder '%s'\n", dir.c_str());
        a.ok = false;
      }
      o.saveDir = dir.string();
    } else if (arg == "--text-stream" && i + 1 < argc) {
      std::string where = argv[++i];
      if (where != "stdout" && where != "clipboard") where = std::filesystem::absolute(where).string();
      velmora::text::setTextStreamOverride(where);
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

// SIGTERM and SIGINT end the run as a quit message does: the handler only
// notes the signal, and every loop of the engine looks for it. A second one
// ends the process at once, in case some state never looks.
extern "C" void noteTerminationSignal(int signo) { velmora::platform::noteQuitSignal(signo); }

void installTerminationHandlers() {
  struct sigaction action{};
  action.sa_handler = noteTerminationSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESETHAND;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
}

// The shell's convention for a run that a signal ended.
constexpr int kSignalExitBase = 128;

}  // namespace

int main(int argc, char** argv) {
  // Screen-sized buffers and textures come and go all game long. glibc would
  // raise its mmap threshold past them and keep the freed blocks in the heap,
  // where they fragment: resident memory crept by one screen at a time over
  // long runs. Fixed at 1 MB, they go back to the system when freed.
#ifndef __EMSCRIPTEN__
  mallopt(M_MMAP_THRESHOLD, 1 << 20);
#endif
  if (const char* single = std::getenv("VELMORA_SINGLE_THREAD"); single && std::strcmp(single, "1") == 0)
    velmora::platform::setSingleThread(true);
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
  installTerminationHandlers();  // before the platform, whose library would install its own
  if (!velmora::runOptions().saveDir.empty()) velmora::setSaveRoot(velmora::utf8_to_sjis(velmora::runOptions().saveDir) + "/");
  velmora::platform::init();
  velmora::messageRecord() = velmora::WindowMessage{};
  int ran = velmora::app::runInterpreter();
  int failed = velmora::app::finishScenario();
  velmora::render::releaseDisplay();
  velmora::platform::shutdown();
  if (velmora::runOptions().saveDirTemporary) {
    std::error_code ec;
    std::filesystem::remove_all(velmora::runOptions().saveDir, ec);
  }
  std::fflush(stdout);
  if (failed) return 3;
  if (const int signo = velmora::platform::quitSignal()) return kSignalExitBase + signo;
  if (velmora::runOptions().headless && velmora::runOptions().answersEndedGame) {
    std::fprintf(stderr, "velmora: the answers given ended the game before it started (see --answer)\n");
    return kExitAnswersEnded;
  }
  return ran ? static_cast<int>(velmora::messageRecord().message == velmora::kMsgQuit ? velmora::messageRecord().code : 0) : 1;
}
