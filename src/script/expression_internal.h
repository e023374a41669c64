#pragma once
// Shared by the evaluator and the assignment commands: tokens, the parser
// over a token range, and the variable lookups behind references.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "script/value.h"

namespace velmora::script::detail {

enum TokenKind : uint8_t { kTokEnd, kTokNumber, kTokWord, kTokOp };

struct Token {
  TokenKind kind = kTokEnd;
  char op = 0;          // the character of an operator token
  uint32_t offset = 0;  // span in the source text (quotes included)
  uint32_t length = 0;
  std::string text;     // literal content, digit run or operator character
  double number = 0;
  // A word after '%' or '$' remembers the variable it named, valid while the
  // variable tables keep the generation it was resolved in.
  mutable void* ref = nullptr;
  mutable uint64_t refGeneration = 0;
  mutable char refSign = 0;

  bool is(char c) const { return kind == kTokOp && op == c; }
};

// A purely numeric expression compiled to a stack program (expression_fast.cpp).
struct Instr {
  uint8_t op = 0;
  uint32_t token = 0;  // a named reference's word token
  double constant = 0;
  int32_t* numbered = nullptr;
};

struct TokenList {
  std::string source;
  std::vector<Token> tokens;
  // 0 not tried yet, 1 the program evaluates tokens from programBegin on,
  // -1 the general parser is needed.
  mutable int8_t compiled = 0;
  mutable uint32_t programBegin = 0;
  mutable std::vector<Instr> program;
};

// Evaluates with the compiled program when the tokens from begin to the end
// form a numeric expression; false when the general parser must do it.
bool evaluateCompiled(const TokenList& list, size_t begin, double& result);
// The named numeric variable of a word token, remembered in the token.
int32_t* cachedNamedInteger(const Token& word);

void tokenize(std::string_view text, TokenList& out);
// The tokens of a text, kept for the next evaluation of the same text.
const TokenList& cachedTokens(std::string_view text);

// Makes the expression text shown in reports point at a stable copy before a
// cache that owns it is emptied.
void retainExpressionText();
// The text the next report shows; the error flag is cleared.
void beginExpression(const std::string& text);

// Truncates toward zero and wraps modulo 2^32; NaN and infinities give 0.
int32_t wrapToInt32(double v);
inline int32_t toInt32(double v) {
  if (v > -2147483649.0 && v < 2147483648.0) return static_cast<int32_t>(v);
  return wrapToInt32(v);
}

class Parser {
 public:
  Parser(const TokenList& list, size_t begin, size_t end) : list_(list), pos_(begin), end_(end) {}

  const Token& cur() const;
  void next() {
    if (pos_ < end_) ++pos_;
  }
  size_t pos() const { return pos_; }
  void seek(size_t pos) { pos_ = pos < end_ ? pos : end_; }
  size_t end() const { return end_; }
  const TokenList& list() const { return list_; }

  ScriptValue expression();  // level 1
  // A reference after its sign; null when it names nothing. When named is
  // given it receives the name of a named variable (and stays empty for a
  // numbered one).
  int32_t* numericRef(std::string* named = nullptr);
  std::string* stringRef(std::string* named = nullptr);

 private:
  ScriptValue logical();
  ScriptValue comparison();
  ScriptValue additive();
  ScriptValue multiplicative();
  ScriptValue primary();
  ScriptValue prefixRun();
  ScriptValue parenthesized();
  void closeParen();
  // Both kinds of reference: a number or a name (cached on the token under
  // its sign), or %/$ and a reference whose value or text picks the variable.
  template <class T>
  T* variableRef(std::string* named, char sign, T* (*numbered)(double), T* (*byName)(std::string_view));

  const TokenList& list_;
  size_t pos_;
  size_t end_;
  int depth_ = 0;
};

// Evaluates tokens [begin, end) as a whole expression: invalid when empty or
// when a report was made meanwhile.
ScriptValue evaluateRange(const TokenList& list, size_t begin, size_t end);

// Variable tables (variables.cpp).
int32_t* numberedInteger(double index);
std::string* numberedString(double index);
int32_t* namedInteger(std::string_view name);
std::string* namedString(std::string_view name);
uint64_t variableGeneration();

// Splits at commas outside quotes; pieces trimmed; an empty text gives none.
std::vector<std::string> splitItems(std::string_view text);
std::string_view trimBlanks(std::string_view s);

}  // namespace velmora::script::detail
