#include "script/arguments.h"

#include "script/expression.h"
#include "script/expression_internal.h"
#include "script/interp.h"

namespace velmora::script {

RawArguments::RawArguments(const char* args) {
  if (args && *args) splitPartsInto(args, ',', raw_);
}

const std::string& RawArguments::raw(size_t i) const {
  static const std::string empty;
  return i < raw_.size() ? raw_[i] : empty;
}

ScriptValue RawArguments::value(size_t i) const { return i < raw_.size() ? evaluate(raw_[i]) : ScriptValue{}; }

int32_t RawArguments::integer(size_t i) const { return detail::toInt32(value(i).number); }

std::string RawArguments::text(size_t i) const { return valueText(value(i)); }
int32_t* RawArguments::integerTarget(size_t i) const { return numericReference(raw(i)); }
std::string* RawArguments::stringTarget(size_t i) const { return stringReference(raw(i)); }

int32_t textToInteger(const std::string& s) {
  uint32_t v = 0;
  if (s.size() >= 2 && s[1] == 'x') {
    for (char c : s) {
      unsigned d = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : c >= 'a' && c <= 'f' ? c - 'a' + 10 : 0;
      v = v * 16u + d;
    }
    return static_cast<int32_t>(v);
  }
  size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\r' || s[i] == '\n')) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') v = v * 10u + static_cast<uint32_t>(s[i++] - '0');
  return static_cast<int32_t>(negative ? 0u - v : v);
}

}  // namespace velmora::script
