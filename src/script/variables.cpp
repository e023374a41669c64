// The variable tables and the commands that assign, declare and erase.
#include <cstring>

#include "base/report.h"
#include "base/encoding.h"
#include "base/sjis.h"
#include "base/textconv.h"
#include "script/control.h"
#include "script/expression.h"
#include "script/expression_internal.h"
#include "script/scan.h"

namespace velmora::script {
namespace {

struct VariableState {
  std::array<int32_t, 256> numbers{};
  std::array<std::string, 256> strings;
  IntegerTable namedNumbers;
  StringTable namedStrings;
  // Erased while a loop was open: a loop record may still point at one.
  std::vector<IntegerTable::node_type> erasedNumbers;
  uint64_t generation = 1;  // bumped when a name appears or disappears
  uint64_t epoch = 1;       // bumped when everything is freed
};
VariableState variableState;

int32_t* declareInteger(std::string_view name) {
  auto [it, inserted] = variableState.namedNumbers.try_emplace(std::string(name), 0);
  if (inserted) ++variableState.generation;
  return &it->second;
}

std::string* declareString(std::string_view name) {
  auto [it, inserted] = variableState.namedStrings.try_emplace(std::string(name));
  if (inserted) ++variableState.generation;
  return &it->second;
}

}  // namespace

namespace detail {

int32_t* numberedInteger(double index) {
  if (!(index >= 0 && index < 256)) return nullptr;
  return &variableState.numbers[static_cast<size_t>(index)];
}

std::string* numberedString(double index) {
  if (!(index >= 0 && index < 256)) return nullptr;
  return &variableState.strings[static_cast<size_t>(index)];
}

int32_t* namedInteger(std::string_view name) {
  auto it = variableState.namedNumbers.find(name);
  return it == variableState.namedNumbers.end() ? nullptr : &it->second;
}

std::string* namedString(std::string_view name) {
  auto it = variableState.namedStrings.find(name);
  return it == variableState.namedStrings.end() ? nullptr : &it->second;
}

uint64_t variableGeneration() { return variableState.generation; }

std::string_view trimBlanks(std::string_view s) {
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}

std::vector<std::string> splitItems(std::string_view text) {
  std::vector<std::string> items;
  if (trimBlanks(text).empty()) return items;
  size_t start = 0;
  scanOutsideQuotes(text, [&](size_t i, char c) {
    if (c == ',') {
      items.emplace_back(trimBlanks(text.substr(start, i - start)));
      start = i + 1;
    }
    return true;
  });
  items.emplace_back(trimBlanks(text.substr(std::min(start, text.size()))));
  return items;
}

}  // namespace detail

using namespace detail;

std::array<int32_t, 256>& numberedIntegers() { return variableState.numbers; }
std::array<std::string, 256>& numberedStrings() { return variableState.strings; }
const IntegerTable& namedIntegers() { return variableState.namedNumbers; }
const StringTable& namedStrings() { return variableState.namedStrings; }
void setNamedInteger(std::string_view name, int32_t value) { *declareInteger(name) = value; }
void setNamedString(std::string_view name, std::string_view value) { declareString(name)->assign(value); }
uint64_t variablesEpoch() { return variableState.epoch; }

bool eraseNamedInteger(std::string_view name) {
  auto it = variableState.namedNumbers.find(name);
  if (it == variableState.namedNumbers.end()) return false;
  ++variableState.generation;
  if (loopDepth() > 0) variableState.erasedNumbers.push_back(variableState.namedNumbers.extract(it));
  else variableState.namedNumbers.erase(it), variableState.erasedNumbers.clear();
  return true;
}

bool eraseNamedString(std::string_view name) {
  auto it = variableState.namedStrings.find(name);
  if (it == variableState.namedStrings.end()) return false;
  ++variableState.generation;
  variableState.namedStrings.erase(it);
  return true;
}

void resetVariables() {
  variableState.numbers.fill(0);
  for (auto& s : variableState.strings) s.clear();
  variableState.namedNumbers.clear();
  variableState.namedStrings.clear();
  variableState.erasedNumbers.clear();
  ++variableState.generation;
  ++variableState.epoch;
}

// ---- int, string -----------------------------------------------------------

namespace {

// The first '=' separates the name part from the value part.
bool splitDeclaration(std::string_view item, std::string_view& name, std::string_view& value) {
  for (size_t i = 0; i < item.size(); ++i) {
    if (const size_t step = charLength(item, i); step > 1) {
      i += step - 1;
    } else if (item[i] == '=') {
      name = trimBlanks(item.substr(0, i));
      value = item.substr(i + 1);
      return true;
    }
  }
  name = trimBlanks(item);
  return false;
}

template <typename Declare, typename Assign>
void declareItems(const char* args, Declare declare, Assign assign) {
  for (const std::string& item : splitItems(args)) {
    std::string_view namePart, valuePart;
    bool hasValue = splitDeclaration(item, namePart, valuePart);
    ScriptValue name = evaluate(namePart);
    // A name that evaluates to nothing would make a variable no word reaches.
    if (name.kind == kKindInvalid || name.text.empty()) continue;
    auto* var = declare(name.text);
    if (hasValue) assign(var, evaluate(valuePart));
  }
}

}  // namespace

void cmd_int(const char* args) {
  declareItems(args, declareInteger, [](int32_t* v, const ScriptValue& x) { *v = toInt32(x.number); });
}

void cmd_string(const char* args) {
  declareItems(args, declareString, [](std::string* v, const ScriptValue& x) { *v = x.text; });
}

void cmd_variableExist(const char* args) {
  std::vector<std::string> items = splitItems(args);
  if (items.empty()) return;
  int32_t* result = numericReference(items[0]);
  if (!result) return;
  bool exists = false;
  if (items.size() >= 2) {
    const std::string& ref = items[1];
    if (!ref.empty() && ref[0] == '$') exists = stringReference(ref) != nullptr;
    else if (!ref.empty() && ref[0] == '%') exists = numericReference(ref) != nullptr;
  }
  *result = exists ? 1 : 0;
}

// Leading blanks are skipped: the argument text starts with the separator.
void cmd_variableErase(const char* args) {
  std::string_view ref = trimBlanks(args);
  std::string name;
  if (ref.empty()) return;
  if (ref[0] == '%') {
    if (numericReferenceNamed(ref, &name) && !name.empty()) eraseNamedInteger(name);
  } else if (ref[0] == '$') {
    if (stringReferenceNamed(ref, &name) && !name.empty()) eraseNamedString(name);
  }
}

}  // namespace velmora::script
