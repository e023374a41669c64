#include "bindings/host_utility.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include "bindings/library_commands.h"
#include "bindings/messages.h"
#include "base/report.h"
#include "base/encoding.h"
#include "base/sjis.h"
#include "base/textconv.h"
#include "platform/platform.h"
#include "script/expression.h"
#include "script/interp.h"
#include "script/library.h"
#include "script/regex.h"

namespace velmora::bindings {
namespace {

struct UtilityState {
  CommandCore setRenderTarget2 = nullptr;
  bool renderTargetReported = false;
};
UtilityState utilityState;

// Strings as they are, anything else as a formatted number.
std::string argumentText(CommandContext c, int i) {
  if (isStringArgument(c, i)) return std::string(stringArg(c, i));
  return script::formatNumber(doubleArg(c, i));
}

void util_console(CommandContext c) {
  setConsole(intArg(c, 1) != 0);
}

void util_print(CommandContext c) {
  std::string text;
  for (int i = 1, n = argumentCountPlus(c, 0); i <= n; ++i) text += argumentText(c, i);
  text = gameToUtf8(text);  // the terminal speaks UTF-8
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

void util_error(CommandContext c) {
  int n = argumentCountPlus(c, 0);
  if (n == 1 || n == 2) reporterForMode(n == 2 ? intArg(c, 2) : 1)(argumentText(c, 1));
  else reportError(messageText(Message::WrongArgumentCount));
}

// The count with one result, so that the own-language form's check holds.
void util_confirm(CommandContext c) {
  if (argumentCountPlus(c, 1) != 2) {
    reportError(messageText(Message::WrongArgumentCount));
    return;
  }
  intResult(c, 2, confirmYesNo(argumentText(c, 1)) == platform::kAnswerYes ? 1 : 0);
}

void util_inform(CommandContext c) {
  if (argumentCountPlus(c, 0) < 1) {
    reportError(messageText(Message::WrongArgumentCount));
    return;
  }
  showInformation(argumentText(c, 1));
}

void util_end(CommandContext c) { endProgram(c); }

bool oneCharacter(const std::string& ch) {
  if (script::isOneCharacter(ch)) return true;
  reportError(messageText(Message::SecondArgumentNotOneCharacter));
  return false;
}

void pushStringList(CommandContext c, const std::vector<std::string>& items) {
  beginList(c);
  for (size_t i = 0; i < items.size(); ++i) {
    stringResult(c, static_cast<int>(i) + 1, items[i]);
    bridge().setListElement(c, static_cast<int>(i) + 1);
  }
}

void util_match(CommandContext c) {
  std::string text(stringArg(c, 1)), ch(stringArg(c, 2));
  if (!oneCharacter(ch)) return;
  int32_t at = script::findCharacter(text, ch);
  if (at < 0) {
    bridge().pushNothing(c);
    return;
  }
  // Lua counts positions from 1, Squirrel from 0.
  beginList(c);
  intResult(c, 1, at + (bridge().language == kLanguageLua ? 1 : 0));
  bridge().setListElement(c, 1);
  intResult(c, 2, 1);
  bridge().setListElement(c, 2);
  stringResult(c, 3, ch);
  bridge().setListElement(c, 3);
}

void util_split(CommandContext c) {
  std::string text(stringArg(c, 1)), sep(stringArg(c, 2));
  if (oneCharacter(sep)) pushStringList(c, script::splitText(text, sep));
}

void util_regexp_match(CommandContext c) {
  std::string text(stringArg(c, 1)), pattern(stringArg(c, 2));
  script::regex::Match m;
  if (text.empty() || pattern.empty() || !script::regex::match(text, pattern, m) || !m.found || m.length == 0) {
    bridge().pushNothing(c);
    return;
  }
  beginList(c);
  intResult(c, 1, static_cast<int32_t>(m.position));
  bridge().setListElement(c, 1);
  intResult(c, 2, static_cast<int32_t>(m.length));
  bridge().setListElement(c, 2);
  stringResult(c, 3, std::string_view(text).substr(m.position, m.length));
  bridge().setListElement(c, 3);
}

void util_regexp_split(CommandContext c) {
  std::string text(stringArg(c, 1)), pattern(stringArg(c, 2));
  std::vector<std::string> pieces;
  if (!text.empty() && !pattern.empty() && !script::regex::split(text, pattern, pieces)) {
    bridge().pushNothing(c);
    return;
  }
  pushStringList(c, pieces);
}

void util_getFileList(CommandContext c) {
  pushStringList(c, script::collectFileList(std::string(stringArg(c, 1)), std::string(stringArg(c, 2)), intArg(c, 3)));
}

void util_SetRenderTarget2(CommandContext c) {
  if (utilityState.setRenderTarget2) {
    utilityState.setRenderTarget2(c);
    return;
  }
  if (utilityState.renderTargetReported) return;
  utilityState.renderTargetReported = true;  // once, so that a per-frame call cannot flood
  reportError(messageText(Message::NotInThisBuild));
}

// Null cores are the library's bridge commands, found by name.
constexpr UtilityGlobal kUtilities[] = {
    {"console", util_console, 0},
    {"print", util_print, 0},
    {"error", util_error, 0},
    {"confirm", util_confirm, 1},
    {"inform", util_inform, 0},
    {"end", util_end, 0},
    {"count", nullptr, 1},
    {"regexp_create", nullptr, 0},
    {"regexp_count", nullptr, 1},
    {"regexp_replace", nullptr, 1},
    {"regexp_trans", nullptr, 1},
    {"getParentFolderName", nullptr, 1},
    {"getBaseName", nullptr, 1},
    {"getExtensionName", nullptr, 1},
    {"existFile", nullptr, 1},
    {"copyFile", nullptr, 1},
    {"moveFile", nullptr, 1},
    {"deleteFile", nullptr, 1},
    {"loadLibrary", nullptr, 0},
    {"match", util_match, 1},
    {"split", util_split, 1},
    {"regexp_match", util_regexp_match, 1},
    {"regexp_split", util_regexp_split, 1},
    {"getFileList", util_getFileList, 1},
    {"SetRenderTarget2", util_SetRenderTarget2, 1},
};
static_assert(std::size(kUtilities) == kUtilityCount);

std::array<UtilityGlobal, kUtilityCount> resolveUtilities() {
  std::array<UtilityGlobal, kUtilityCount> out;
  for (size_t i = 0; i < kUtilityCount; ++i) {
    out[i] = kUtilities[i];
    for (const CoreBinding& b : libraryBridgeCores())
      if (!out[i].core && std::strcmp(b.name, out[i].name) == 0) out[i].core = b.core;
  }
  return out;
}

void appendLine(std::string& out, std::string_view line) {
  size_t zero = line.find('\0');
  out.append(line.substr(0, zero));
  out.push_back('\n');
}

}  // namespace

std::span<const UtilityGlobal, kUtilityCount> utilityGlobals() {
  static const std::array<UtilityGlobal, kUtilityCount> resolved = resolveUtilities();
  return resolved;
}

void bindSetRenderTarget2(CommandCore core) { utilityState.setRenderTarget2 = core; }

std::string rebuildScriptText(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 1);
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (const size_t n = charLength(text, i); n > 1) {
      i += n - 1;  // a trail byte is never a line feed
    } else if (text[i] == '\n') {
      appendLine(out, text.substr(start, i - start));
      start = i + 1;
    }
  }
  std::string_view last = text.substr(std::min(start, text.size()));
  if (last.size() >= 2 || (last.size() == 1 && static_cast<unsigned char>(last[0]) > 0x20)) appendLine(out, last);
  return out;
}

std::string traceSourceName(std::string_view source) {
  std::error_code ec;
  std::string folder = std::filesystem::current_path(ec).string() + "/";
  if (!ec && source.size() > folder.size() && source.substr(0, folder.size()) == folder) source.remove_prefix(folder.size());
  return std::string(source);
}

bool resultTarget(const script::ArgumentList& a, int kind, int32_t*& number, std::string*& text) {
  const std::string* raw = a.raw.empty() ? nullptr : &a.raw.back();
  if (kind == 1 && !(raw && (number = script::numericReference(*raw)))) {
    reportError(messageText(Message::BadNumericVariable));
    return false;
  }
  if (kind == 2 && !(raw && (text = script::stringReference(*raw)))) {
    reportError(messageText(Message::BadStringVariable));
    return false;
  }
  return true;
}

void reportBadArgumentKind() { reportError(messageText(Message::BadArgumentType)); }

}  // namespace velmora::bindings
