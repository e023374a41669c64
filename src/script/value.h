#pragma once
#include <string>
#include <vector>

namespace velmora::script {

enum ValueKind { kKindInvalid = -1, kKindNumber = 0, kKindString = 1 };

// The value of an expression: text (Shift_JIS), number, kind. A value can
// carry both a text and a number.
struct ScriptValue {
  std::string text;
  double number = 0;
  int kind = kKindInvalid;
};

// What an own-language command wrapper builds from its argument text.
struct ArgumentList {
  std::vector<std::string> raw;     // pieces split at ',' and trimmed
  std::vector<ScriptValue> values;  // one evaluated value per piece
  size_t count() const { return values.size(); }
};

}  // namespace velmora::script
