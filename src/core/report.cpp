#include "core/report.h"

#include <array>
#include <cstdio>
#include <cstring>

#include "core/state.h"
#include "core/textconv.h"
#include "platform/platform.h"

namespace velmora {
namespace {

struct ReportState {
  int language = kLanguageOwn;
  std::array<TraceBuilder, 4> builders{};
  char errcmd[64] = {0};
  std::string customYes, customNo;
  std::string saveRoot;
};
ReportState R;

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
  std::string utf8 = sjis_to_utf8(text);
  bool question = kind == platform::BoxKind::YesNo || kind == platform::BoxKind::YesNoCancel;
  int answer = -1;
  if (!runOptions().headless) answer = platform::showMessageBox(kind, title, utf8, sjis_to_utf8(yes), sjis_to_utf8(no));
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

void setActiveLanguage(int language) { R.language = language; }
int activeLanguage() { return R.language; }

void setTraceBuilder(int language, TraceBuilder builder) {
  if (language >= 0 && language < static_cast<int>(R.builders.size())) R.builders[language] = builder;
}

void setErrcmd(std::string_view name) {
  size_t n = std::min(name.size(), sizeof(R.errcmd) - 1);
  std::memcpy(R.errcmd, name.data(), n);
  R.errcmd[n] = '\0';
}
const char* errcmd() { return R.errcmd; }

namespace {

std::string withScriptContext(std::string_view message) {
  TraceBuilder b = (R.language >= 1 && R.language <= 3) ? R.builders[R.language] : nullptr;
  return b ? b(message) : std::string(message);
}

}  // namespace

void reportError(std::string_view message) { showErrorBox(withScriptContext(message)); }

void printError(std::string_view message) {
  std::string text = sjis_to_utf8(withScriptContext(message));  // the console speaks UTF-8 here
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

ErrorReporter reporterForMode(int mode) { return mode == 0 ? printError : reportError; }

void showErrorBox(std::string_view text) {
  appendToLog(text);
  R.customYes.clear();
  R.customNo.clear();
  box(platform::BoxKind::Error, "Error", text, {}, {});
}

void logInformation(std::string_view text) { appendToLog(text); }

int confirmYesNo(std::string_view text) {
  R.customYes.clear();
  R.customNo.clear();
  return box(platform::BoxKind::YesNo, "Confirm", text, {}, {});
}

void showInformation(std::string_view text) {
  R.customYes.clear();
  R.customNo.clear();
  box(platform::BoxKind::Information, "Information", text, {}, {});
}

int confirmYesNoCancel(std::string_view text) {
  std::string yes = std::move(R.customYes), no = std::move(R.customNo);
  R.customYes.clear();
  R.customNo.clear();
  if (yes.empty() || no.empty()) yes.clear(), no.clear();
  return box(platform::BoxKind::YesNoCancel, "Confirm", text, yes, no);
}

void setCustomConfirmLabels(std::string yes, std::string no) {
  R.customYes = std::move(yes);
  R.customNo = std::move(no);
}

void setSaveRoot(std::string root) { R.saveRoot = std::move(root); }
const std::string& saveRoot() { return R.saveRoot; }
std::string logFilePath() { return R.saveRoot + "Information.txt"; }

void setConsole(bool) {}

}  // namespace velmora
