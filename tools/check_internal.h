#pragma once
// What the checker's parts share: the game's scripts, what they declare,
// and the findings so far. Scripts are held as Shift_JIS lines, as the
// engine reads them.
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "check.h"
#include "script/loader.h"

namespace velmora::tools::check {

struct ScriptFile {
  std::string name;  // as shown: script/sub/a.txt
  script::LineArray lines;
};

struct Where {
  std::string file;
  int line = 0;
};

struct HiddenLabel {
  Where where;
  int blockStart = 0;      // the line that began the text block
  bool underComment = false;  // the line right above is a comment line
};

struct Checker {
  const CheckOptions& options;
  std::vector<Finding> findings;
  std::vector<ScriptFile> files;
  std::map<std::string, Where> labels;        // registered at start-up
  std::map<std::string, HiddenLabel> hidden;  // inside text blocks: never registered
  std::set<std::string, std::less<>> userCommands;  // defsub, funcLua, funcSqu names
  std::set<std::string, std::less<>> declaredNumbers, declaredTexts;
  struct Reference {
    Where where;
    std::string name;  // a label, a path, or a variable with its sign
  };
  std::vector<Reference> jumps, resources, writes;
  std::set<std::string> outputs;  // paths the game writes itself

  explicit Checker(const CheckOptions& o) : options(o) {}
  void report(const Where& at, std::string message, bool error = true, int column = 0) {
    findings.push_back({at.file, at.line, column, error, std::move(message)});
  }
};

// ---- values (check_expression.cpp) ----------------------------------------

// What a value is sure to be: Text keeps no number (a number argument reads
// 0), Number keeps no text (a text argument reads ""), Mixed has both.
enum class ValueKind { Number, Text, Mixed };

struct ValueShape {
  ValueKind kind = ValueKind::Text;
  bool empty = false;         // no tokens at all
  size_t ignoredFrom = 0;     // byte offset of what the evaluator never reads, or 0
  bool singleEquals = false;  // a comparison written with one '='
  char reference = 0;         // '%' or '$' when the value is exactly one variable
  std::string variable;       // its name, when it is a named variable
  bool literal = false;       // exactly one quoted text or bare word
  std::string text;           // the literal's text
  bool label = false;         // a '*label' value
};

ValueShape shapeOf(std::string_view piece);

// ---- commands (check_commands.cpp) ----------------------------------------

// Checks one command part (name and arguments) of a line.
void checkCommand(Checker& c, const Where& at, std::string_view part, std::vector<int>& fors);
// The '[command args]' pieces of a text line.
void checkInlineCommands(Checker& c, const Where& at, std::string_view line);
// defsub, funcLua and funcSqu names, known before any line is checked.
void collectUserCommands(Checker& c, const ScriptFile& f);
// True when the name is one of the own language's or the catalogue's.
bool isEngineCommand(std::string_view name);

// ---- arguments (check_arguments.cpp) --------------------------------------

// How an argument is read; one letter per argument.
//   n number        s text (a number reads as "")     e text or number
//   f a file the game reads, o a file it writes; F and O the same where a
//     number reads as "" (the engine's commands)
//   N %variable result  S $variable result  V either  L a label
//   T $a / %b target with an optional "=default"      D declaration
//   C a cal item    W a bare name
struct ArgumentPlan {
  std::string_view command;
  std::string letters;
  size_t minimum = 0;
  bool repeatLast = false;  // the last letter may repeat any number of times
  std::vector<std::string> names;  // for messages; may be shorter than letters
};

// The plan for a command of the own language or the catalogue; false for
// the conditionals and unknown names.
bool argumentPlan(std::string_view command, ArgumentPlan& plan);
// The own-language commands that have a plan (kept level with the interpreter's).
std::vector<std::string_view> ownPlanNames();
void checkArgumentList(Checker& c, const Where& at, const ArgumentPlan& plan, const std::vector<std::string>& pieces);
// Problems that any value can have: empty, cut short, a single '='.
ValueShape checkValue(Checker& c, const Where& at, std::string_view what, std::string_view piece);

std::string utf8(std::string_view text);

}  // namespace velmora::tools::check
