// Argument lists: how many, of which kind, and what each one does with a
// variable, a label or a file. Catalogue commands take their plan from the
// engine's command table; the own language's commands from the table below,
// which a test holds against the interpreter's list of names.
#include <algorithm>
#include <cstring>

#include "bindings/catalogue.h"
#include "check_internal.h"
#include "base/encoding.h"
#include "base/sjis.h"
#include "base/textconv.h"
#include "script/expression_internal.h"

namespace velmora::tools::check {
namespace {

using script::detail::kTokNumber;
using script::detail::TokenList;

struct OwnPlan {
  const char* name;
  const char* letters;  // see ArgumentPlan; a trailing '*' repeats the letter before it
  size_t minimum;
  const char* names;
};

const OwnPlan kOwnPlans[] = {
    {"console", "n", 0, "on"},
    {"print", "e*", 0, "value"},
    {"error", "en", 1, "message, mode"},
    {"confirm", "eN", 2, "message, %result"},
    {"inform", "e", 1, "message"},
    {"end", "", 0, ""},
    {"count", "ssN", 3, "text, character, %result"},
    {"regexp_create", "", 0, ""},
    {"regexp_count", "ssN", 3, "text, pattern, %result"},
    {"regexp_replace", "ssS", 3, "text, pattern, $result"},
    {"regexp_trans", "ssS", 3, "text, pattern, $result"},
    {"getParentFolderName", "sS", 2, "path, $result"},
    {"getBaseName", "sS", 2, "path, $result"},
    {"getExtensionName", "sS", 2, "path, $result"},
    {"existFile", "sN", 2, "path, %result"},
    {"copyFile", "sON", 3, "from, to, %result"},
    {"moveFile", "sON", 3, "from, to, %result"},
    {"deleteFile", "sN", 2, "path, %result"},
    {"loadLibrary", "s", 1, "path"},
    {"int", "D*", 1, "declaration"},
    {"string", "D*", 1, "declaration"},
    {"variableExist", "NV", 2, "%result, variable"},
    {"variableErase", "V", 1, "variable"},
    {"cal", "C*", 1, "assignment"},
    {"rand", "Nnn", 3, "%result, min, max"},
    {"itos16", "Sn", 2, "$result, value"},
    {"len", "Ne", 2, "%result, text"},
    {"mid", "Senn", 4, "$result, text, start, count"},
    {"upper", "S", 1, "$variable"},
    {"lower", "S", 1, "$variable"},
    {"match", "eeN", 3, "text, character, %result"},
    {"split", "eeT*", 3, "text, separator, target"},
    {"regexp_match", "eeNNS", 3, "text, pattern, %position, %length, $found"},
    {"regexp_split", "eeT*", 3, "text, pattern, target"},
    {"loadFile", "fS", 2, "path, $result"},
    {"saveFile", "oe", 2, "path, text"},
    {"setFileList", "eenN", 4, "folder, pattern, flags, %count"},
    {"getFileList", "Sn", 2, "$result, index"},
    {"loadText", "fN", 1, "path, %count"},
    {"saveText", "onne", 1, "path, first, end, mode"},
    {"getText", "Snn", 2, "$result, line, keep"},
    {"setText", "enn", 2, "text, line, newline"},
    {"insertText", "enn", 2, "text, line, newline"},
    {"addText", "enn", 1, "text, before, after"},
    {"sortText", "nnn", 3, "first, last, flags"},
    {"clearText", "", 0, ""},
    {"for", "Nnnn", 3, "%counter, from, to, step"},
    {"next", "", 0, ""},
    {"break", "", 0, ""},
    {"continue", "", 0, ""},
    {"defsub", "W", 1, "name"},
    {"getParam", "T*", 1, "target"},
    {"goto", "L", 1, "label"},
    {"gosub", "L", 1, "label"},
    {"return", "L", 0, "label"},
    {"labelExist", "NL", 2, "%result, label"},
};

// Catalogue arguments that name files the game writes rather than reads,
// and text arguments that only look like paths.
struct SpecialArgument {
  const char* command;
  size_t index;
  char letter;
};
const SpecialArgument kSpecialArguments[] = {
    {"saveScreenShot", 0, 'O'},
    {"shellExecute", 0, 's'},
    {"lookahead_stop", 0, 's'},
};

// Commands whose core reads fewer arguments than the table lists, or
// whose trailing arguments mean nothing when left at 0.
struct ShortForm {
  const char* command;
  size_t minimum;
};
const ShortForm kShortForms[] = {
    {"sp_dx", 2},   // the third argument is never read
    {"effect", 2},  // easing, name, vagueness and look-ahead default to 0 and ""
};

const char* const kResourceExtensions[] = {".png", ".jpg", ".jpeg", ".bmp", ".tlg", ".wav", ".ogg", ".txt", ".lua",
                                           ".nut", ".cur", ".ani", ".ttf", ".otf", ".dat", ".mpg", ".thor", ".mjpg"};

std::vector<std::string> splitNames(std::string_view names) {
  std::vector<std::string> out;
  while (!names.empty()) {
    size_t comma = names.find(',');
    out.emplace_back(names.substr(0, comma));
    if (comma == std::string_view::npos) break;
    names.remove_prefix(comma + 1);
    while (!names.empty() && names.front() == ' ') names.remove_prefix(1);
  }
  return out;
}

char catalogueLetter(const bindings::CatalogueEntry& e, size_t index, const std::string& name) {
  for (const SpecialArgument& s : kSpecialArguments)
    if (index == s.index && std::strcmp(e.name, s.command) == 0) return s.letter;
  char letter = e.arguments[index];
  if (letter != 's') return 'n';
  if (name == "label") return 'L';
  if (name == "file" || name == "path") return 'F';
  return 's';
}

bool cataloguePlan(std::string_view command, ArgumentPlan& plan) {
  int index = bindings::catalogueIndex(command);
  if (index < 0) return false;
  const bindings::CatalogueEntry& e = bindings::catalogue()[static_cast<size_t>(index)];
  plan.command = e.name;
  std::vector<std::string> names = splitNames(e.argumentNames);
  for (size_t i = 0; e.arguments[i]; ++i) plan.letters += catalogueLetter(e, i, i < names.size() ? names[i] : "");
  const std::vector<std::string> results = splitNames(e.resultNames);
  for (size_t i = 0; e.results[i]; ++i) {
    const bool text = e.results[i] == 's';
    plan.letters += text ? 'S' : 'N';
    names.push_back((text ? "$" : "%") + (i < results.size() ? results[i] : std::string("result")));
  }
  plan.names = std::move(names);
  plan.minimum = plan.letters.size();
  for (const ShortForm& s : kShortForms)
    if (command == s.command) plan.minimum = s.minimum;
  if (command == "getTag") {  // as many $variables as the name has parts
    plan.letters = "S", plan.names = {"$part"}, plan.repeatLast = true, plan.minimum = 0;
  }
  return true;
}

bool looksLikeResource(const std::string& path) {
  std::string lower = path;
  std::transform(lower.begin(), lower.end(), lower.begin(), [](char ch) { return static_cast<char>(std::tolower(ch)); });
  return path.find('/') != std::string::npos &&
         std::any_of(std::begin(kResourceExtensions), std::end(kResourceExtensions),
                     [&](const char* e) { return lower.ends_with(e); });
}

std::string shown(std::string_view sjis) { return "`" + utf8(sjis) + "`"; }

// A result variable: exactly one %variable or $variable.
void checkResult(Checker& c, const Where& at, const ArgumentPlan& plan, const std::string& what, char sign,
                 std::string_view piece) {
  ValueShape s = shapeOf(piece);
  if (s.reference == sign) {
    if (!s.variable.empty()) c.writes.push_back({at, sign + s.variable});
    return;
  }
  const char* kind = sign == '%' ? "a %variable" : "a $variable";
  c.report(at, std::string(plan.command) + " writes " + what + " into " + kind + ", but " +
                   (piece.empty() ? std::string("nothing") : shown(piece)) + " is not one");
}

// "$a" or "%b", with an optional "=default" (split and getParam).
void checkTarget(Checker& c, const Where& at, const ArgumentPlan& plan, std::string_view piece) {
  size_t eq = piece.size();
  for (size_t i = 0; i < piece.size(); i += charLength(piece, i))
    if (piece[i] == '=') {
      eq = i;
      break;
    }
  std::string_view ref = piece.substr(0, eq);
  while (!ref.empty() && (ref.back() == ' ' || ref.back() == '\t')) ref.remove_suffix(1);
  ValueShape s = shapeOf(ref);
  if (s.reference) {
    if (!s.variable.empty()) c.writes.push_back({at, s.reference + s.variable});
    return;
  }
  c.report(at, std::string(plan.command) + ": " + shown(piece) + " is not a $variable or %variable to write into");
}

// "name" or "name = value" of int and string.
void checkDeclaration(Checker& c, const Where& at, const ArgumentPlan& plan, std::string_view piece) {
  size_t eq = piece.size();
  for (size_t i = 0; i < piece.size(); i += charLength(piece, i))
    if (piece[i] == '=') {
      eq = i;
      break;
    }
  ValueShape name = shapeOf(piece.substr(0, eq));
  if (name.literal) {
    (plan.command == "int" ? c.declaredNumbers : c.declaredTexts).insert(name.text);
  } else if (name.reference) {
    c.report(at, std::string(plan.command) + " " + shown(piece) + ": a declaration names the variable without " +
                     name.reference + " (int score, string name)");
    return;
  }
  if (eq < piece.size()) {
    ValueShape v = checkValue(c, at, "the value of " + utf8(name.text), piece.substr(eq + 1));
    const bool number = plan.command == "int";
    if (!v.empty && (number ? v.kind == ValueKind::Text : v.kind == ValueKind::Number))
      c.report(at, std::string(plan.command) + " " + shown(piece) + ": a " + (number ? "text" : "number") + " given to a " +
                       (number ? "number" : "text") + " variable is ignored");
  }
}

const char* const kAssignOperators[] = {"<<=", ">>=", "+=", "-=", "*=", "/=", "%=", "\\=", "&=", "|=", "^=", "="};

// One item of cal: target, operator, value, as the assignment reads them.
void checkAssignment(Checker& c, const Where& at, std::string_view piece) {
  TokenList list;
  script::detail::tokenize(piece, list);
  const auto& t = list.tokens;
  size_t k = 0;
  char sign = 0;
  std::string named;
  if (t[0].is('%') || t[0].is('$')) {
    sign = t[0].op;
    if (t[1].kind == script::detail::kTokWord) named = t[1].text;
    k = t[1].kind == script::detail::kTokEnd ? 1 : 2;
    while (k > 1 && k < t.size() && (t[k - 1].is('%') || t[k - 1].is('$'))) ++k;  // %%i, %$name
  } else if (t[0].is('*')) {
    sign = '*';
    k = 1;
    if (k < t.size() && t[k].is('(')) {
      while (k < t.size() && !t[k].is(')')) ++k;
      ++k;
      if (k < t.size() && t[k].kind == kTokNumber) ++k;
    } else if (k < t.size() && t[k].is('$')) {
      if (t[k + 1].kind == script::detail::kTokWord) named = t[k + 1].text;
      k += 2;
    }
  }
  if (!sign || k >= t.size()) {
    c.report(at, "cal " + shown(piece) + " is not an assignment: it starts with %var, $var or *$var");
    return;
  }
  const char* op = nullptr;
  for (const char* o : kAssignOperators) {
    size_t n = std::strlen(o), m = 0;
    while (m < n && k + m < t.size() && t[k + m].is(o[m])) ++m;
    if (m == n) {
      op = o;
      k += n;
      break;
    }
  }
  if (!op) {
    c.report(at, "cal " + shown(piece) + " has no assignment operator (=, +=, -=, ...)");
    return;
  }
  if (!named.empty()) c.writes.push_back({at, (sign == '%' ? "%" : "$") + named});
  ValueShape v = checkValue(c, at, "cal's value", piece.substr(std::min<size_t>(t[k].offset, piece.size())));
  if (v.empty) return;
  if (sign == '$' && std::strcmp(op, "=") != 0 && std::strcmp(op, "+=") != 0)
    c.report(at, "cal " + shown(piece) + ": a text variable takes only = and +=");
  else if (sign == '$' && v.kind == ValueKind::Number)
    c.report(at, "cal " + shown(piece) + ": a number assigned to a text variable is ignored (write $(...))");
  else if (sign != '$' && v.kind == ValueKind::Text)
    c.report(at, "cal " + shown(piece) + ": a text assigned to a number variable is ignored (write %(...))");
}

void checkLabelArgument(Checker& c, const Where& at, const ArgumentPlan& plan, std::string_view piece) {
  ValueShape s = checkValue(c, at, std::string(plan.command) + "'s label", piece);
  if (s.empty) return;
  if (s.label) {
    c.jumps.push_back({at, s.text});
  } else if (s.literal && !s.text.empty() && s.text[0] == '*') {
    c.jumps.push_back({at, s.text});
  } else if (s.literal && !s.text.empty()) {
    c.report(at, std::string(plan.command) + " " + shown(piece) + ": a label starts with *");
  }
}

void checkFileArgument(Checker& c, const Where& at, const std::string& what, char letter, std::string_view piece) {
  ValueShape s = checkValue(c, at, what, piece);
  if (s.empty) return;
  if ((letter == 'F' || letter == 'O') && s.kind == ValueKind::Number)
    c.report(at, what + " is read as a text, but " + shown(piece) + " is a number (it reads as empty text)");
  if (!s.literal) return;
  if (letter == 'o' || letter == 'O') c.outputs.insert(s.text);
  else if (looksLikeResource(s.text)) c.resources.push_back({at, s.text});
}

}  // namespace

std::string utf8(std::string_view text) { return gameToUtf8(text); }

bool argumentPlan(std::string_view command, ArgumentPlan& plan) {
  for (const OwnPlan& p : kOwnPlans) {
    if (command != p.name) continue;
    plan.command = p.name;
    plan.letters = p.letters;
    plan.repeatLast = !plan.letters.empty() && plan.letters.back() == '*';
    if (plan.repeatLast) plan.letters.pop_back();
    plan.minimum = p.minimum;
    plan.names = splitNames(p.names);
    return true;
  }
  return cataloguePlan(command, plan);
}

std::vector<std::string_view> ownPlanNames() {
  std::vector<std::string_view> names;
  for (const OwnPlan& p : kOwnPlans) names.push_back(p.name);
  return names;
}

ValueShape checkValue(Checker& c, const Where& at, std::string_view what, std::string_view piece) {
  ValueShape s = shapeOf(piece);
  if (s.empty) {
    c.report(at, std::string(what) + " is empty: it reads as 0 or as empty text");
  } else if (s.ignoredFrom) {
    c.report(at, std::string(what) + " " + shown(piece) + " ends before " + shown(piece.substr(s.ignoredFrom)) +
                     ", which is ignored (a missing comma?)");
  }
  if (s.singleEquals)
    c.report(at, std::string(what) + " " + shown(piece) +
                     " compares with a single '=', which skips the token after it: write '=='");
  return s;
}

void checkArgumentList(Checker& c, const Where& at, const ArgumentPlan& plan, const std::vector<std::string>& pieces) {
  const size_t n = pieces.size(), listed = plan.letters.size();
  auto listing = [&] {
    std::string names;
    for (size_t i = 0; i < listed && i < plan.names.size(); ++i) names += (i ? ", " : "") + plan.names[i];
    return std::to_string(listed) + (listed == 1 ? " argument" : " arguments") + (names.empty() ? "" : " (" + names + ")");
  };
  if (n < plan.minimum)
    c.report(at, std::string(plan.command) + " takes " + listing() + ", " + std::to_string(n) +
                     " given: a missing argument reads as 0 or as empty text");
  else if (!plan.repeatLast && n > listed)
    c.report(at, std::string(plan.command) + " takes " + listing() + ", " + std::to_string(n) + " given: the rest are ignored");
  for (size_t i = 0; i < n; ++i) {
    char letter = i < listed ? plan.letters[i] : plan.repeatLast && listed ? plan.letters.back() : 0;
    if (!letter) break;
    const std::string& piece = pieces[i];
    const std::string what = i < plan.names.size()                      ? plan.names[i]
                             : plan.repeatLast && !plan.names.empty() ? plan.names.back()
                                                                      : "argument " + std::to_string(i + 1);
    const std::string whose = std::string(plan.command) + "'s " + what;
    switch (letter) {
      case 'n': {
        ValueShape s = checkValue(c, at, whose, piece);
        if (!s.empty && s.kind == ValueKind::Text)
          c.report(at, std::string(plan.command) + " reads " + what + " as a number, but " + shown(piece) +
                           " is a text (it reads as 0)");
        break;
      }
      case 's': {
        ValueShape s = checkValue(c, at, whose, piece);
        if (!s.empty && s.kind == ValueKind::Number)
          c.report(at, std::string(plan.command) + " reads " + what + " as a text, but " + shown(piece) +
                           " is a number (it reads as empty text; $(...) turns a number into text)");
        break;
      }
      case 'e':
        checkValue(c, at, whose, piece);
        break;
      case 'f':
      case 'F':
      case 'o':
      case 'O':
        checkFileArgument(c, at, whose, letter, piece);
        break;
      case 'N':
      case 'S':
        checkResult(c, at, plan, what, letter == 'N' ? '%' : '$', piece);
        break;
      case 'V':
        if (!shapeOf(piece).reference)
          c.report(at, std::string(plan.command) + ": " + shown(piece) + " is not a %variable or $variable");
        break;
      case 'L':
        checkLabelArgument(c, at, plan, piece);
        break;
      case 'T':
        checkTarget(c, at, plan, piece);
        break;
      case 'D':
        checkDeclaration(c, at, plan, piece);
        break;
      case 'C':
        checkAssignment(c, at, piece);
        break;
      default:  // 'W': a bare name
        break;
    }
  }
}

}  // namespace velmora::tools::check
