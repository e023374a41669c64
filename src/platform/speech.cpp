#include "platform/speech.h"

#include <cstdlib>
#include <deque>
#include <utility>
#include <vector>

#ifndef __EMSCRIPTEN__
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "platform/speech_dispatcher.h"

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
