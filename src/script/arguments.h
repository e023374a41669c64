#pragma once
// Argument access for the own-language library commands: the raw pieces are
// kept, and each piece is evaluated only when a command asks for its value.
#include <cstdint>
#include <string>
#include <vector>

#include "script/value.h"

namespace velmora::script {

class RawArguments {
 public:
  explicit RawArguments(const char* args);
  size_t count() const { return raw_.size(); }
  const std::string& raw(size_t i) const;
  ScriptValue value(size_t i) const;
  // The value's number truncated toward zero to 32 bits (0 when missing).
  int32_t integer(size_t i) const;
  // Strings as they are, numbers formatted.
  std::string text(size_t i) const;
  int32_t* integerTarget(size_t i) const;
  std::string* stringTarget(size_t i) const;

 private:
  std::vector<std::string> raw_;
};

// A number from text as scripts write it in data: hexadecimal when the second
// byte is 'x', otherwise a signed decimal after leading blanks.
int32_t textToInteger(const std::string& s);

}  // namespace velmora::script
