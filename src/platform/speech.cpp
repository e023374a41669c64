#include "platform/speech.h"

#include <atomic>
#include <cstdlib>
#include <deque>
#include <utility>
#include <vector>

#ifndef __EMSCRIPTEN__
#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#endif
#ifdef VELMORA_SPEECHD
#include <libspeechd.h>
#endif

extern char** environ;

namespace velmora::platform {

// UTF-8 lead bytes of the kana and CJK blocks (U+3000..U+9FFF).
constexpr unsigned char kCjkLeadFirst = 0xE3, kCjkLeadLast = 0xE9;

const char* speechLanguage(std::string_view utf8) {
  for (unsigned char c : utf8)
    if (c >= kCjkLeadFirst && c <= kCjkLeadLast) return "ja";
  return "en";
}

#ifdef __EMSCRIPTEN__

std::unique_ptr<SpeechBackend> openSpeech(std::string& error) {
  error = "the browser build has no speech";
  return nullptr;
}
std::unique_ptr<SpeechBackend> openEspeak(std::string, std::string& error) { return openSpeech(error); }

#else

namespace {

constexpr const char* kEspeakProgram = "espeak-ng";

bool programOnPath(const char* program) {
  const char* path = std::getenv("PATH");
  std::string_view rest = path ? path : "/usr/bin:/bin";
  while (!rest.empty()) {
    const size_t colon = rest.find(':');
    const std::string dir(rest.substr(0, colon));
    if (!dir.empty() && access((dir + "/" + program).c_str(), X_OK) == 0) return true;
    rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
  }
  return false;
}

// One espeak-ng process per text; the next waits until it has ended.
class EspeakProgram final : public SpeechBackend {
 public:
  explicit EspeakProgram(std::string wavePath) : wave_(std::move(wavePath)) {}
  ~EspeakProgram() override { stop(); }

  void speak(std::string_view text, bool interrupt) override {
    if (interrupt) stop();
    waiting_.emplace_back(text);
    speaking();
  }
  void stop() override {
    waiting_.clear();
    if (child_ <= 0) return;
    kill(child_, SIGTERM);
    waitpid(child_, nullptr, 0);
    child_ = -1;
  }
  bool speaking() override {
    if (child_ > 0 && waitpid(child_, nullptr, WNOHANG) == 0) return true;
    child_ = -1;
    while (!waiting_.empty() && child_ <= 0) {
      start(waiting_.front());
      waiting_.pop_front();
    }
    return child_ > 0;
  }

 private:
  void start(const std::string& text) {
    std::vector<std::string> args = {kEspeakProgram, "-v", speechLanguage(text)};
    if (!wave_.empty()) args.insert(args.end(), {"-w", wave_});
    args.insert(args.end(), {"--", text});
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    // Its complaints (no sound server) are not the game's output.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    if (posix_spawnp(&pid, kEspeakProgram, &actions, nullptr, argv.data(), environ) == 0) child_ = pid;
    posix_spawn_file_actions_destroy(&actions);
  }

  std::string wave_;
  pid_t child_ = -1;
  std::deque<std::string> waiting_;
};

#ifdef VELMORA_SPEECHD
// The library's entry points, looked up once; its server's notifications
// arrive on the library's own thread and only move the finished mark.
struct SpeechdLibrary {
  decltype(&spd_open2) open2 = nullptr;
  decltype(&spd_close) close = nullptr;
  decltype(&spd_say) say = nullptr;
  decltype(&spd_cancel) cancel = nullptr;
  decltype(&spd_set_notification_on) notify = nullptr;
  decltype(&spd_set_language) language = nullptr;
};
constexpr const char* kSpeechdLibrary = "libspeechd.so.2";
constexpr const char* kClientName = "velmora";
std::atomic<size_t> g_lastFinished{0};

void finished(size_t messageId, size_t, SPDNotificationType) {
  size_t seen = g_lastFinished.load();
  while (seen < messageId && !g_lastFinished.compare_exchange_weak(seen, messageId)) {
  }
}

bool loadSpeechd(SpeechdLibrary& lib) {
  void* handle = dlopen(kSpeechdLibrary, RTLD_NOW | RTLD_LOCAL);
  if (!handle) return false;
  lib.open2 = reinterpret_cast<decltype(lib.open2)>(dlsym(handle, "spd_open2"));
  lib.close = reinterpret_cast<decltype(lib.close)>(dlsym(handle, "spd_close"));
  lib.say = reinterpret_cast<decltype(lib.say)>(dlsym(handle, "spd_say"));
  lib.cancel = reinterpret_cast<decltype(lib.cancel)>(dlsym(handle, "spd_cancel"));
  lib.notify = reinterpret_cast<decltype(lib.notify)>(dlsym(handle, "spd_set_notification_on"));
  lib.language = reinterpret_cast<decltype(lib.language)>(dlsym(handle, "spd_set_language"));
  return lib.open2 && lib.close && lib.say && lib.cancel && lib.notify && lib.language;
}

class SpeechDispatcher final : public SpeechBackend {
 public:
  SpeechDispatcher(const SpeechdLibrary& lib, SPDConnection* connection) : lib_(lib), connection_(connection) {
    connection_->callback_end = finished;
    connection_->callback_cancel = finished;
    lib_.notify(connection_, SPD_END);
    lib_.notify(connection_, SPD_CANCEL);
  }
  ~SpeechDispatcher() override { lib_.close(connection_); }

  void speak(std::string_view text, bool interrupt) override {
    if (interrupt) lib_.cancel(connection_);
    const std::string line(text);
    lib_.language(connection_, speechLanguage(line));
    const int id = lib_.say(connection_, SPD_MESSAGE, line.c_str());
    if (id > 0) lastSaid_ = static_cast<size_t>(id);
  }
  void stop() override { lib_.cancel(connection_); }
  bool speaking() override { return g_lastFinished.load() < lastSaid_; }

 private:
  SpeechdLibrary lib_;
  SPDConnection* connection_;
  size_t lastSaid_ = 0;
};

std::unique_ptr<SpeechBackend> openSpeechDispatcher() {
  static SpeechdLibrary lib;
  static const bool loaded = loadSpeechd(lib);
  if (!loaded) return nullptr;
  char* failure = nullptr;
  // The server starts on demand where it is installed, as for screen readers.
  SPDConnection* c = lib.open2(kClientName, "main", nullptr, SPD_MODE_THREADED, nullptr, 1, &failure);
  std::free(failure);
  if (!c) return nullptr;
  return std::make_unique<SpeechDispatcher>(lib, c);
}
#else
std::unique_ptr<SpeechBackend> openSpeechDispatcher() { return nullptr; }
#endif

}  // namespace

std::unique_ptr<SpeechBackend> openEspeak(std::string wavePath, std::string& error) {
  if (programOnPath(kEspeakProgram)) return std::make_unique<EspeakProgram>(std::move(wavePath));
  error = "no speech-dispatcher server answers and espeak-ng is not installed";
  return nullptr;
}

std::unique_ptr<SpeechBackend> openSpeech(std::string& error) {
  if (auto speechd = openSpeechDispatcher()) return speechd;
  return openEspeak({}, error);
}

#endif

}  // namespace velmora::platform
