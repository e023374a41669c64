#include "base/report.h"

#include <cstdio>
#include <cstring>

#include "base/language.h"
#include "base/state.h"
#include "base/textconv.h"
#include "platform/platform.h"

namespace velmora {
namespace {

struct ReportState {
  int language = kLanguageOwn;
  ReportHooks hooks;
  char errcmd[64] = {0};
  std::string saveRoot;
};
ReportState reportState;

void appendToLog(std::string_view text) {
  std::FILE* f = std::fopen(hostPath(logFilePath()).c_str(), "ab");
  if (!f) return;  // a log that cannot be opened is skipped; the box still shows
  std::fwrite(text.data(), 1, text.size(), f);
  std::fputc('\n', f);
  std::fclose(f);
}

const char* answerName(int a) { return a == platform::kAnswerYes ? "yes" : a == platform::kAnswerCancel ? "cancel" : "no"; }

// Shows a box, or in headless mode (or without a display) writes it to
// standard error and answers as the command line said.
int box(platform::BoxKind kind, const char* title, std::string_view text, std::string yes, std::string no) {
  std::string utf8 = gameToUtf8(text);
  bool question = kind == platform::BoxKind::YesNo || kind == platform::BoxKind::YesNoCancel;
  int answer = -1;
  if (!runOptions().headless) answer = platform::showMessageBox(kind, title, utf8, gameToUtf8(yes), gameToUtf8(no));
  if (answer < 0) {
    answer = question ? runOptions().answer : platform::kAnswerOk;
    if (kind == platform::BoxKind::YesNo && answer == platform::kAnswerCancel) answer = platform::kAnswerNo;
    std::fprintf(stderr, "[%s] %s", title, utf8.c_str());
    if (question) std::fprintf(stderr, " -> %s", answerName(answer));
    std::fputc('\n', stderr);
    std::fflush(stderr);
  }
  return answer;
}

}  // namespace

void setActiveLanguage(int language) { reportState.language = language; }
int activeLanguage() { return reportState.language; }

void installReportHooks(const ReportHooks& hooks) { reportState.hooks = hooks; }
const ReportHooks& reportHooks() { return reportState.hooks; }

void setErrcmd(std::string_view name) {
  size_t n = std::min(name.size(), sizeof(reportState.errcmd) - 1);
  std::memcpy(reportState.errcmd, name.data(), n);
  reportState.errcmd[n] = '\0';
}
const char* errcmd() { return reportState.errcmd; }

namespace {

std::string withScriptContext(std::string_view message) {
  const ReportHooks& h = reportState.hooks;
  TraceBuilder b = reportState.language == kLanguageOwn   ? h.ownTrace
                   : reportState.language == kLanguageLua ? h.luaTrace
                   : reportState.language == kLanguageSquirrel ? h.squirrelTrace
                                                               : nullptr;
  return b ? b(message) : std::string(message);
}

}  // namespace

void reportError(std::string_view message) { showErrorBox(withScriptContext(message)); }

void printError(std::string_view message) {
  std::string text = gameToUtf8(withEnglishLines(withScriptContext(message)));  // the console speaks UTF-8 here
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

ErrorReporter reporterForMode(int mode) { return mode == 0 ? printError : reportError; }

void showErrorBox(std::string_view message) {
  const std::string text = withEnglishLines(message);
  appendToLog(text);
  box(platform::BoxKind::Error, "Error", text, {}, {});
}

void logInformation(std::string_view text) { appendToLog(withEnglishLines(text)); }

int confirmYesNo(std::string_view text) {
  return box(platform::BoxKind::YesNo, "Confirm", text, {}, {});
}

void showInformation(std::string_view text) {
  box(platform::BoxKind::Information, "Information", text, {}, {});
}

int confirmYesNoCancel(std::string_view text) {
  return box(platform::BoxKind::YesNoCancel, "Confirm", text, {}, {});
}

void setSaveRoot(std::string root) { reportState.saveRoot = std::move(root); }
const std::string& saveRoot() { return reportState.saveRoot; }
std::string logFilePath() { return reportState.saveRoot + "Information.txt"; }

void setConsole(bool) {}

}  // namespace velmora
