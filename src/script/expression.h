#pragma once
// The expression evaluator and the variable tables.
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "script/value.h"

namespace velmora::script {

// Named variables: names compared exactly, looked up by any string view.
struct NameHash {
  using is_transparent = void;
  size_t operator()(std::string_view s) const noexcept { return std::hash<std::string_view>{}(s); }
};
using IntegerTable = std::unordered_map<std::string, int32_t, NameHash, std::equal_to<>>;
using StringTable = std::unordered_map<std::string, std::string, NameHash, std::equal_to<>>;

ScriptValue evaluate(std::string_view text);

// Exactly '%' (or '$') followed by one reference and nothing else; the
// variable it names, or null when it names nothing.
int32_t* numericReference(std::string_view text);
std::string* stringReference(std::string_view text);

// The same, also giving the name when the reference is to a named variable
// (left untouched for a numbered one).
int32_t* numericReferenceNamed(std::string_view text, std::string* named);
std::string* stringReferenceNamed(std::string_view text, std::string* named);

// The expression text being evaluated (shown in error reports).
const std::string& currentExpressionText();
// Marks the value being computed invalid.
void setEvaluationError();

// Shows "<script>[<line>] <expression> ※<message>" in the error box and
// marks the value being computed invalid. The message is Shift_JIS.
void reportExpressionError(std::string_view message);

// Empties the named variables and zeroes the numbered ones (release, tests).
void resetVariables();

// The variable tables, for saved games and the settings. Writers through
// these functions keep cached references valid; a name is declared when set.
std::array<int32_t, 256>& numberedIntegers();
std::array<std::string, 256>& numberedStrings();
const IntegerTable& namedIntegers();
const StringTable& namedStrings();
void setNamedInteger(std::string_view name, int32_t value);
void setNamedString(std::string_view name, std::string_view value);
bool eraseNamedInteger(std::string_view name);
bool eraseNamedString(std::string_view name);
// Changes whenever resetVariables frees every variable.
uint64_t variablesEpoch();

// The own-language commands of the evaluator.
void cmd_cal(const char* args);
void cmd_int(const char* args);
void cmd_string(const char* args);
void cmd_variableExist(const char* args);
void cmd_variableErase(const char* args);

}  // namespace velmora::script
