// System services: shellExecute.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "bindings/browser_limits.h"
#include "bindings/families.h"
#include "bindings/messages.h"
#include "base/report.h"
#include "base/textconv.h"

namespace velmora::bindings {
namespace {

// The shell's result codes: above 32 is success.
constexpr int32_t kShellSuccess = 42;
constexpr int32_t kShellFileNotFound = 2;
constexpr int32_t kShellNoAssociation = 31;

bool isExecutableFile(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

bool looksLikeUrl(const std::string& s) { return s.find("://") != std::string::npos || s.rfind("mailto:", 0) == 0; }

// Words separated by blanks; double quotes group a word.
std::vector<std::string> splitParameters(std::string_view text) {
  std::vector<std::string> words;
  std::string word;
  bool quoted = false, inWord = false;
  for (char ch : text) {
    if (ch == '"') {
      quoted = !quoted;
      inWord = true;
    } else if (!quoted && (ch == ' ' || ch == '\t')) {
      if (inWord) words.push_back(std::move(word)), word.clear();
      inWord = false;
    } else {
      word += ch;
      inWord = true;
    }
  }
  if (inWord) words.push_back(std::move(word));
  return words;
}

// Starts the program detached (it outlives the engine and leaves no zombie);
// false when it could not be started.
bool spawnDetached(const std::vector<std::string>& words) {
  std::vector<char*> argv;
  for (const std::string& w : words) argv.push_back(const_cast<char*>(w.c_str()));
  argv.push_back(nullptr);
  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) return false;
  pid_t child = fork();
  if (child < 0) {
    close(report[0]);
    close(report[1]);
    return false;
  }
  if (child == 0) {
    setsid();
    if (fork() == 0) {
      execvp(argv[0], argv.data());
      int e = errno;
      (void)!write(report[1], &e, sizeof e);
    }
    _exit(0);
  }
  close(report[1]);
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {}
  int execError = 0;
  ssize_t n;
  while ((n = read(report[0], &execError, sizeof execError)) < 0 && errno == EINTR) {}
  close(report[0]);
  return n == 0;
}

}  // namespace

int32_t shellOpen(const std::string& file, std::string_view parameters) {
  if (file.empty()) return kShellFileNotFound;
  if (kInBrowser) {
    reportBrowserLimit("shellExecute", "shellExecute " + gameToUtf8(file));
    return kShellNoAssociation;
  }
  std::vector<std::string> words;
  if (isExecutableFile(file)) {
    words.push_back(file.find('/') == std::string::npos ? "./" + file : file);
    for (std::string& w : splitParameters(parameters)) words.push_back(std::move(w));
  } else {
    struct stat st;
    if (!looksLikeUrl(file) && stat(file.c_str(), &st) != 0) return kShellFileNotFound;
    words = {"xdg-open", file};
  }
  return spawnDetached(words) ? kShellSuccess : kShellNoAssociation;
}

namespace {

// The one command that checks its arguments.
void cmd_shellExecute(CommandContext c) {
  if (argumentCountPlus(c, 1) != 3) {
    reportError(messageText(Message::WrongArgumentCount));
    return;
  }
  if (!isStringArgument(c, 1)) {
    reportError(messageText(Message::FirstArgumentNotString));
    return;
  }
  if (!isStringArgument(c, 2)) {
    reportError(messageText(Message::SecondArgumentNotString));
    return;
  }
  if (!namesNumericVariable(c, 3)) {
    reportError(messageText(Message::ThirdArgumentNotNumericVariable));
    return;
  }
  // Scripts name files the Windows way, in Shift_JIS; the host wants UTF-8
  // and slashes (a URL keeps its backslashes, should it have any).
  const std::string_view file = stringArg(c, 1);
  const std::string hostFile = looksLikeUrl(std::string(file)) ? gameToUtf8(file) : hostPath(file);
  intResult(c, 3, shellOpen(hostFile, gameToUtf8(stringArg(c, 2))));
}

const CoreBinding kSystemCores[] = {
    {"shellExecute", cmd_shellExecute},
};

}  // namespace

std::span<const CoreBinding> systemCores() { return kSystemCores; }

}  // namespace velmora::bindings
