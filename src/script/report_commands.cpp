// The own-language reporting commands and the script position that the error
// reports add to every message while the own language is active.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <utility>

#include "base/report.h"
#include "base/state.h"
#include "base/textconv.h"
#include "platform/platform.h"
#include "script/control.h"
#include "script/expression.h"
#include "script/interp.h"
#include "script/library.h"
#include "script/messages.h"

namespace velmora::script {

std::string formatNumber(double value) {
  if (value == 0 || std::isnan(value)) return "0";
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.6f", std::fabs(value));
  std::string s(buf);
  size_t dot = s.find('.');
  if (dot != std::string::npos) {
    size_t last = s.find_last_not_of('0');
    s.erase(last == dot ? dot : last + 1);
  }
  if (s == "0") return "0";
  return value < 0 ? "-" + s : s;
}

std::string valueText(const ScriptValue& v) { return v.kind == kKindNumber ? formatNumber(v.number) : v.text; }

namespace {

// Frames listed at each end of a deep gosub stack: a runaway recursion
// would otherwise write one line per frame into the box and the log.
constexpr size_t kTraceEndFrames = 8;

}  // namespace

std::string ownLanguageTrace(std::string_view message) {
  const Registers& r = registers();
  std::string text = r.userSubName + " " + std::string(message) + "\r\n";
  const std::vector<GosubFrame>& frames = gosubFrames();
  const size_t skipFrom = frames.size() > 2 * kTraceEndFrames ? kTraceEndFrames : frames.size();
  const size_t skipTo = frames.size() - std::min(frames.size() - skipFrom, kTraceEndFrames);
  for (size_t i = 0; i < frames.size(); ++i) {
    if (i == skipFrom && skipTo > skipFrom) {
      text += messageText(Message::FramesLeftOutBefore) + std::to_string(skipTo - skipFrom) +
          messageText(Message::FramesLeftOutAfter);
      i = skipTo;
    }
    text += scriptReportName(frames[i].script) + "[" + std::to_string(frames[i].returnLine + 1) + "]\r\n";
  }
  text += r.activeSlot == 0 ? std::string(kStartScriptPath) : r.subScriptName;
  text += "[" + std::to_string(r.currentLine + 1) + "] " + errcmd();
  return text;
}

namespace {

void cmd_console(const char* args) {
  ArgumentList a = parseArguments(args);
  setConsole(a.count() > 0 && a.values[0].number != 0);
}

void cmd_print(const char* args) {
  ArgumentList a = parseArguments(args);
  // The terminal here speaks UTF-8, not the scripts' code page.
  for (const ScriptValue& v : a.values) {
    std::string s = gameToUtf8(valueText(v));
    std::fwrite(s.data(), 1, s.size(), stdout);
  }
  std::fflush(stdout);
}

void cmd_error(const char* args) {
  ArgumentList a = parseArguments(args);
  if (a.count() == 1 || a.count() == 2) {
    int mode = a.count() == 2 ? static_cast<int>(a.values[1].number) : 1;
    reporterForMode(mode)(valueText(a.values[0]));
  } else {
    reportError(messageText(Message::WrongArgumentCount));
  }
}

void cmd_confirm(const char* args) {
  ArgumentList a = parseArguments(args);
  if (a.count() != 2) {
    reportError(messageText(Message::WrongArgumentCount));
    return;
  }
  int answer = confirmYesNo(valueText(a.values[0]));
  if (int32_t* result = numericReference(a.raw[1])) *result = answer == platform::kAnswerYes ? 1 : 0;
}

void cmd_inform(const char* args) {
  ArgumentList a = parseArguments(args);
  if (a.count() < 1) {
    reportError(messageText(Message::WrongArgumentCount));
    return;
  }
  showInformation(valueText(a.values[0]));
}

void cmd_end(const char*) {
  quitRequest = 1;
}

struct OwnCommand {
  const char* name;
  CommandHandler handler;
};

// The commands the language itself implements; the file and library
// commands that Lua and Squirrel share are registered by the bindings.
constexpr OwnCommand kOwnCommands[] = {
    {"console", cmd_console},
    {"print", cmd_print},
    {"error", cmd_error},
    {"confirm", cmd_confirm},
    {"inform", cmd_inform},
    {"end", cmd_end},
    {"int", cmd_int},
    {"string", cmd_string},
    {"variableExist", cmd_variableExist},
    {"variableErase", cmd_variableErase},
    {"cal", cmd_cal},
    {"rand", cmd_rand},
    {"itos16", cmd_itos16},
    {"len", cmd_len},
    {"mid", cmd_mid},
    {"upper", cmd_upper},
    {"lower", cmd_lower},
    {"match", cmd_match},
    {"split", cmd_split},
    {"regexp_match", cmd_regexp_match},
    {"regexp_split", cmd_regexp_split},
    {"loadFile", cmd_loadFile},
    {"saveFile", cmd_saveFile},
    {"setFileList", cmd_setFileList},
    {"getFileList", cmd_getFileList},
    {"loadText", cmd_loadText},
    {"saveText", cmd_saveText},
    {"getText", cmd_getText},
    {"setText", cmd_setText},
    {"insertText", cmd_insertText},
    {"addText", cmd_addText},
    {"sortText", cmd_sortText},
    {"clearText", cmd_clearText},
    {"for", cmd_for},
    {"next", cmd_next},
    {"break", cmd_break},
    {"continue", cmd_continue},
    {"if", cmd_if},
    {"elseif", cmd_elseif},
    {"else", cmd_else},
    {"defsub", cmd_defsub},
    {"getParam", cmd_getParam},
    {"goto", cmd_goto},
    {"gosub", cmd_gosub},
    {"return", cmd_return},
    {"labelExist", cmd_labelExist},
};
static_assert(std::size(kOwnCommands) == 46, "the language implements 46 commands itself");

// Names the command for the error location, so no handler has to.
template <size_t I>
void namedCommand(const char* args) {
  setErrcmd(kOwnCommands[I].name);
  kOwnCommands[I].handler(args);
}

template <size_t... I>
constexpr std::array<CommandHandler, sizeof...(I)> makeNamedCommands(std::index_sequence<I...>) {
  return {namedCommand<I>...};
}
constexpr auto kNamedCommands = makeNamedCommands(std::make_index_sequence<std::size(kOwnCommands)>{});

}  // namespace

std::vector<std::string_view> ownCommandNames() {
  std::vector<std::string_view> names;
  for (const OwnCommand& c : kOwnCommands) names.push_back(c.name);
  return names;
}

void registerOwnCommands() {
  for (size_t i = 0; i < std::size(kOwnCommands); ++i) registerCommand(kOwnCommands[i].name, kNamedCommands[i]);
}

}  // namespace velmora::script
