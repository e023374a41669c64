// Command parts as the interpreter runs them: the name, the arguments after
// it, the conditionals' statements, commands inside text, and the few
// commands whose arguments carry more than a kind (effect names, hooks).
#include <strings.h>

#include <cstring>

#include "bindings/catalogue.h"
#include "check_internal.h"
#include "base/encoding.h"
#include "base/sjis.h"
#include "render/transition.h"
#include "script/interp.h"
#include "script/scan.h"

namespace velmora::tools::check {
namespace {

// The interpreter reads at most this many characters of a command name.
constexpr size_t kMaxName = 31;

size_t nameLength(std::string_view s) {
  size_t n = 0;
  while (n < s.size() && n < kMaxName && isIdentChar(s[n])) ++n;
  return n;
}

// The interpreter hands a command its arguments only when at least two bytes
// follow the name.
std::string_view argumentText(std::string_view part, size_t nameEnd) {
  return part.size() >= nameEnd + 2 ? part.substr(nameEnd) : std::string_view();
}

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

// Up to the ')' that closes the condition, quotes passed over; 0 when none.
size_t conditionLength(std::string_view s) {
  int depth = 0;
  const size_t close = script::scanOutsideQuotes(s, [&](size_t, char ch) {
    if (ch == '(') ++depth;
    return !(ch == ')' && depth-- == 1);
  });
  return close < s.size() ? close + 1 : 0;
}

// What the conditional runs when it holds: exactly one byte after the ')'
// is skipped; else runs from its first lower-case letter.
void checkConditional(Checker& c, const Where& at, std::string_view name, std::string_view args, std::vector<int>& fors) {
  std::string_view statement;
  if (name == "else") {
    size_t k = 0;
    while (k < args.size() && !(args[k] >= 'a' && args[k] <= 'z')) k += charLength(args, k);
    if (k < args.size()) checkCommand(c, at, args.substr(k), fors);
    return;
  }
  const size_t n = conditionLength(args);
  if (n == 0) {
    c.report(at, std::string(name) + " without the ')' that closes its condition: the rest of the line is skipped");
    return;
  }
  checkValue(c, at, "the condition", trimmed(args.substr(0, n)));
  if (n < args.size() && args[n] != ' ' && args[n] != '\t')
    c.report(at, "the character after ')' is dropped: write a space after the condition", false);
  statement = n + 1 < args.size() ? args.substr(n + 1) : std::string_view();
  if (statement.empty()) return;
  if (isAsciiLetter(statement[0])) checkCommand(c, at, statement, fors);
  else if (statement[0] != '*')
    c.report(at, "after the condition " + utf8(trimmed(statement)) +
                     " does not start right after the one blank: it is shown as text, not run");
}

int literalNumber(std::string_view piece) {
  piece = trimmed(piece);
  if (piece.empty() || piece.size() > 4) return -1;
  int v = 0;
  for (char ch : piece) {
    if (ch < '0' || ch > '9') return -1;
    v = v * 10 + (ch - '0');
  }
  return v;
}

constexpr int kNamedPass = 2, kMaskPass = 3;

// Pass 2 runs a named effect, pass 3 reveals through a picture.
void checkEffect(Checker& c, const Where& at, const std::vector<std::string>& pieces) {
  if (pieces.size() < 4) return;
  const int pass = literalNumber(pieces[0]);
  ValueShape name = shapeOf(pieces[3]);
  if (!name.literal) return;
  if (pass == kMaskPass) {
    c.resources.push_back({at, name.text});
  } else if (pass == kNamedPass) {
    for (int i = 0; i < render::effectCount(); ++i)
      if (name.text == render::effectName(i)) return;
    std::string close;
    for (int i = 0; i < render::effectCount(); ++i)
      if (strcasecmp(name.text.c_str(), render::effectName(i)) == 0) close = std::string(": did you mean ") + render::effectName(i) + "?";
    c.report(at, "effect: " + utf8(name.text) + " is not a named effect (the picture changes at once)" + close);
  }
}

// The subroutines that the engine itself calls once a command has run.
struct Hook {
  const char* command;
  const char* label;
};
const Hook kHooks[] = {
    {"preMessGosub", "*pretext_lb"},
    {"sufMessGosub", "*text_lb"},
    {"loadSave", "*load_lb"},
    {"popSave", "*load_lb"},
};

void checkHooks(Checker& c, const Where& at, std::string_view name, const std::vector<std::string>& pieces) {
  for (const Hook& h : kHooks)
    if (name == h.command) c.jumps.push_back({at, h.label});
  if ((name == "preMessGosub" || name == "sufMessGosub") && !pieces.empty()) {
    ValueShape label = shapeOf(pieces[0]);
    auto it = c.labels.find(label.text);
    if (label.literal && it != c.labels.end() && it->second.file != at.file)
      c.report(at, std::string(name) + ": " + utf8(label.text) + " must be in this script, not in " + it->second.file);
  }
}

// A defsub or a foreign function: any values, files among them.
void checkUserCommand(Checker& c, const Where& at, std::string_view name, const std::vector<std::string>& pieces) {
  for (size_t i = 0; i < pieces.size(); ++i) {
    ValueShape s = checkValue(c, at, std::string(name) + "'s argument " + std::to_string(i + 1), pieces[i]);
    if (s.literal && s.text.find('/') != std::string::npos && s.text.find('.') != std::string::npos)
      c.resources.push_back({at, s.text});
  }
}

}  // namespace

bool isEngineCommand(std::string_view name) {
  ArgumentPlan plan;
  return name == "if" || name == "elseif" || name == "else" || argumentPlan(name, plan);
}

void checkCommand(Checker& c, const Where& at, std::string_view part, std::vector<int>& fors) {
  const size_t n = nameLength(part);
  const std::string_view name = part.substr(0, n), args = argumentText(part, n);
  if (name == "if" || name == "elseif" || name == "else") return checkConditional(c, at, name, args, fors);
  std::vector<std::string> pieces;
  if (!args.empty()) script::splitPartsInto(args, ',', pieces);
  ArgumentPlan plan;
  if (!argumentPlan(name, plan)) {
    if (c.userCommands.count(name)) return checkUserCommand(c, at, name, pieces);
    c.report(at, "unknown command " + std::string(name) +
                     (unicodeGame() ? " (a text line that begins with a Latin letter starts with `)" : ""));
    return;
  }
  if (name == "for") fors.push_back(at.line);
  if (name == "next" && !fors.empty()) fors.pop_back();
  checkArgumentList(c, at, plan, pieces);
  if (name == "effect") checkEffect(c, at, pieces);
  checkHooks(c, at, name, pieces);
}

void checkInlineCommands(Checker& c, const Where& at, std::string_view line) {
  std::vector<int> fors;
  for (size_t i = 0; i < line.size(); i += charLength(line, i)) {
    if (line[i] != '[') continue;
    size_t end = i + 1;
    while (end < line.size() && line[end] != ']') end += charLength(line, end);
    const std::string_view inside = line.substr(i + 1, std::min(end, line.size()) - i - 1);
    const std::string_view name = inside.substr(0, nameLength(inside));
    if (!isEngineCommand(name) || name == "if" || name == "elseif" || name == "else")
      c.report(at, "unknown command in the text: [" + utf8(inside) + "]");
    else
      checkCommand(c, at, inside, fors);
    i = end;
  }
}

void collectUserCommands(Checker& c, const ScriptFile& f) {
  std::vector<std::string> parts, pieces;
  for (size_t i = 0; i < f.lines.size(); ++i) {
    const std::string& line = f.lines[i];
    if (line.empty() || !isAsciiLetter(line[0])) continue;
    if (line.find("defsub") == std::string::npos && line.find("funcLua") == std::string::npos &&
        line.find("funcSqu") == std::string::npos)
      continue;
    script::splitPartsInto(line, ':', parts);
    for (const std::string& p : parts) {
      const size_t n = nameLength(p);
      const std::string_view name = std::string_view(p).substr(0, n);
      if (name != "defsub" && name != "funcLua" && name != "funcSqu") continue;
      script::splitPartsInto(argumentText(p, n), ',', pieces);
      ValueShape s = pieces.empty() ? ValueShape{} : shapeOf(pieces[0]);
      const std::string_view declared = trimmed(s.text);  // funcLua trims the name
      if (!s.literal || declared.empty()) continue;
      c.userCommands.emplace(declared);
      if (name == "defsub") c.jumps.push_back({{f.name, static_cast<int>(i) + 1}, "*" + s.text});
    }
  }
}

}  // namespace velmora::tools::check
