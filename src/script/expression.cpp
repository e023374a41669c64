// The evaluator: a tokeniser whose results are kept per expression text, and
// a recursive-descent parser over the tokens.
#include "script/expression.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <functional>
#include <unordered_map>

#include "base/report.h"
#include "base/encoding.h"
#include "base/sjis.h"
#include "base/textconv.h"
#include "script/expression_internal.h"
#include "script/interp.h"

namespace velmora::script {
namespace detail {
namespace {

// Expressions come from script text, so the distinct texts are few; the cap
// only bounds texts built at run time.
constexpr size_t kTokenCacheLimit = 8192;
// Nesting beyond this (parentheses, prefix signs, references) yields an
// empty operand instead of exhausting the stack.
constexpr int kMaxDepth = 400;

struct Memo {
  const char* data = nullptr;
  const TokenList* list = nullptr;
};

struct EvalState {
  std::unordered_map<std::string, TokenList, NameHash, std::equal_to<>> cache;
  std::array<Memo, 256> memo{};
  const std::string* exprText = nullptr;
  std::string retained;  // owns the shown text once its cache entry is gone
  bool error = false;
};
EvalState evalState;

const Token& endToken() {
  static const Token t;
  return t;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isHexDigit(char c) { return isDigit(c) || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }
// Any byte is a digit here; those that are no hexadecimal digit count 0.
unsigned hexValue(char c) {
  if (isDigit(c)) return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return 0;
}

uint32_t hexDigits(std::string_view s) {
  uint32_t v = 0;
  for (char c : s) v = v * 16u + hexValue(c);
  return v;
}

// Digits accumulate into one wrapping 32-bit integer; digits after the first
// dot count as the fraction.
double dottedNumber(std::string_view s) {
  uint32_t acc = 0;
  int fraction = 0;
  bool dot = false;
  for (char c : s) {
    if (c == '.') {
      dot = true;
      continue;
    }
    acc = acc * 10u + static_cast<uint32_t>(c - '0');
    if (dot) ++fraction;
  }
  double v = static_cast<int32_t>(acc);
  return fraction ? v / std::pow(10.0, fraction) : v;
}

size_t charEnd(std::string_view s, size_t i) {
  return std::min(s.size(), i + charLength(s, i));
}

size_t numberToken(std::string_view s, size_t i, Token& t) {
  t.kind = kTokNumber;
  size_t n = s.size();
  if (i + 1 < n && s[i + 1] == 'x') {
    size_t j = i + 2;
    if (j < n) {
      j = charEnd(s, j);  // the first character after 'x' is always taken
      while (j < n && isHexDigit(s[j])) ++j;
    }
    t.text.assign(s.substr(i + 2, j - (i + 2)));
    t.number = hexDigits(t.text);
    return j;
  }
  size_t j = i;
  while (j < n && (isDigit(s[j]) || s[j] == '.')) ++j;
  t.text.assign(s.substr(i, j - i));
  t.number = dottedNumber(t.text);
  return j;
}

size_t wordToken(std::string_view s, size_t i, Token& t) {
  size_t j = i;
  while (j < s.size() && (isMultiByteLead(s[j]) || isIdentChar(s[j]))) j = charEnd(s, j);
  t.kind = kTokWord;
  t.text.assign(s.substr(i, j - i));
  return j;
}

// An unterminated literal runs to the end of the text.
size_t quotedToken(std::string_view s, size_t i, Token& t) {
  char q = s[i];
  size_t j = i + 1;
  while (j < s.size() && s[j] != q) j = charEnd(s, j);
  t.kind = kTokWord;
  t.text.assign(s.substr(i + 1, j - (i + 1)));
  return j < s.size() ? j + 1 : s.size();
}

}  // namespace

void tokenize(std::string_view s, TokenList& out) {
  out.source.assign(s);
  out.tokens.clear();
  size_t i = 0;
  for (;;) {
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
    Token t;
    t.offset = static_cast<uint32_t>(i);
    if (i >= s.size()) {
      out.tokens.push_back(std::move(t));
      return;
    }
    char c = s[i];
    size_t j;
    if (isDigit(c)) {
      j = numberToken(s, i, t);
    } else if (isIdentChar(c) || isMultiByteLead(c)) {
      j = wordToken(s, i, t);
    } else if (c == '"' || c == '\'') {
      j = quotedToken(s, i, t);
    } else {
      t.kind = kTokOp;
      t.op = c;
      t.text.assign(1, c);
      j = i + 1;
    }
    t.length = static_cast<uint32_t>(j - i);
    i = j;
    out.tokens.push_back(std::move(t));
  }
}

const TokenList& cachedTokens(std::string_view text) {
  // The loop hands a part the same argument pointer every time it runs, so a
  // pointer-keyed memo (checked against the text) saves hashing it.
  Memo& m = evalState.memo[(reinterpret_cast<uintptr_t>(text.data()) >> 3) % evalState.memo.size()];
  if (m.data == text.data() && m.list && m.list->source == text) return *m.list;
  auto it = evalState.cache.find(text);
  if (it == evalState.cache.end()) {
    if (evalState.cache.size() >= kTokenCacheLimit) {
      retainExpressionText();
      evalState.cache.clear();
      evalState.memo.fill(Memo{});
    }
    it = evalState.cache.try_emplace(std::string(text)).first;
    tokenize(text, it->second);
  }
  m = Memo{text.data(), &it->second};
  return it->second;
}

void retainExpressionText() {
  if (evalState.exprText && evalState.exprText != &evalState.retained) {
    evalState.retained = *evalState.exprText;
    evalState.exprText = &evalState.retained;
  }
}

void beginExpression(const std::string& text) {
  evalState.exprText = &text;
  evalState.error = false;
}

int32_t wrapToInt32(double v) {
  if (!std::isfinite(v)) return 0;
  v = std::trunc(v);
  if (std::fabs(v) >= 9.0e18) v = std::fmod(v, 4294967296.0);
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<int64_t>(v)));
}

namespace {

int64_t toInt64(double v) {
  if (!std::isfinite(v)) return 0;
  if (v >= 9.2e18) return INT64_MAX;
  if (v <= -9.2e18) return INT64_MIN;
  return static_cast<int64_t>(v);
}

ScriptValue numberValue(double n) { return ScriptValue{std::string(), n, kKindNumber}; }
ScriptValue stringValue(std::string s) { return ScriptValue{std::move(s), 0, kKindString}; }

// The first digit of a number token, as written in the source.
int widthDigit(const TokenList& list, const Token& t) {
  char c = list.source[t.offset];
  return isDigit(c) ? c - '0' : 0;
}

// A number read from the start of a text: 'width' bytes little-endian, bytes
// past the end counting 0 (at most 8 contribute).
double readBytes(std::string_view text, int width) {
  uint64_t v = 0;
  for (int k = 0; k < width && k < 8; ++k) {
    uint64_t b = k < static_cast<int>(text.size()) ? static_cast<unsigned char>(text[k]) : 0;
    v |= b << (8 * k);
  }
  return static_cast<double>(v);
}

double stringToNumber(const std::string& s) {
  if (s.size() >= 2 && s[1] == 'x') return hexDigits(s);
  size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\n' || s[i] == '\r' || s[i] == '\v' || s[i] == '\f')) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  uint32_t v = 0;
  while (i < s.size() && isDigit(s[i])) v = v * 10u + static_cast<uint32_t>(s[i++] - '0');
  if (negative) v = 0u - v;
  return static_cast<int32_t>(v);
}

std::string decimal(int64_t n, int width) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%0*lld", width, static_cast<long long>(n));
  return buf;
}

bool compare(char op, bool orEqual, const ScriptValue& a, const ScriptValue& b) {
  if (b.kind != kKindNumber) {
    int c = a.text.compare(b.text);
    if (op == '<') return orEqual ? c <= 0 : c < 0;
    if (op == '>') return orEqual ? c >= 0 : c > 0;
    return op == '=' ? c == 0 : c != 0;
  }
  if (op == '<') return orEqual ? a.number <= b.number : a.number < b.number;
  if (op == '>') return orEqual ? a.number >= b.number : a.number > b.number;
  return op == '=' ? a.number == b.number : a.number != b.number;
}

size_t clampedCount(double n, size_t size) {
  int64_t k = toInt64(std::trunc(n));
  if (k <= 0) return 0;
  return static_cast<uint64_t>(k) > size ? size : static_cast<size_t>(k);
}

void plus(ScriptValue& a, const ScriptValue& b) {
  bool as = a.kind == kKindString, bs = b.kind == kKindString;
  if (as && bs) {
    if (stringLengthAllowed(a.text.size() + b.text.size())) a.text += b.text;
  } else if (as) {
    a.text.erase(0, clampedCount(b.number, a.text.size()));
  } else if (bs) {
    a.text.assign(b.text, clampedCount(a.number, b.text.size()));
    a.kind = kKindString;
  } else {
    a.number += b.number;
  }
}

template <class T>
T* cachedNamed(const Token& t, char sign, T* (*byName)(std::string_view)) {
  uint64_t gen = variableGeneration();
  if (t.refSign != sign || t.refGeneration != gen) {
    t.ref = byName(t.text);
    t.refGeneration = gen;
    t.refSign = sign;
  }
  return static_cast<T*>(t.ref);
}

}  // namespace

int32_t* cachedNamedInteger(const Token& t) { return cachedNamed(t, '%', namedInteger); }

const Token& Parser::cur() const { return pos_ < end_ ? list_.tokens[pos_] : endToken(); }

ScriptValue Parser::expression() { return logical(); }

ScriptValue Parser::logical() {
  ScriptValue v = comparison();
  for (;;) {
    const Token& t = cur();
    if (t.kind != kTokOp || (t.op != '&' && t.op != '|' && t.op != '^')) return v;
    char op = t.op;
    next();
    bool doubled = op != '^' && cur().is(op);
    if (doubled) next();
    ScriptValue r = comparison();
    if (doubled && op == '&') v.number = (v.number != 0 && r.number != 0) ? 1 : 0;
    else if (doubled) v.number = (v.number != 0 || r.number != 0) ? 1 : 0;
    else if (op == '&') v.number = toInt32(v.number) & toInt32(r.number);
    else if (op == '|') v.number = toInt32(v.number) | toInt32(r.number);
    else v.number = toInt32(v.number) ^ toInt32(r.number);
  }
}

ScriptValue Parser::comparison() {
  ScriptValue v = additive();
  for (;;) {
    const Token& t = cur();
    if (t.kind != kTokOp) return v;
    char op = t.op;
    bool orEqual = false;
    if (op == '<' || op == '>') {
      next();
      if (cur().is(op)) {
        next();
        ScriptValue r = additive();
        int32_t n = toInt32(r.number) & 31;
        int32_t l = toInt32(v.number);
        v.number = op == '<' ? static_cast<int32_t>(static_cast<uint32_t>(l) << n) : (l >> n);
        continue;
      }
      if (cur().is('=')) {
        orEqual = true;
        next();
      }
    } else if (op == '=' || op == '!') {
      next();
      next();  // the second character is taken without looking at it
    } else {
      return v;
    }
    ScriptValue r = additive();
    v.number = compare(op, orEqual, v, r) ? 1 : 0;
    v.kind = kKindNumber;
  }
}

ScriptValue Parser::additive() {
  ScriptValue v = multiplicative();
  for (;;) {
    const Token& t = cur();
    if (t.is('+')) {
      next();
      plus(v, multiplicative());
    } else if (t.is('-')) {
      next();
      v.number -= multiplicative().number;
    } else {
      return v;
    }
  }
}

ScriptValue Parser::multiplicative() {
  ScriptValue v = primary();
  for (;;) {
    const Token& t = cur();
    if (t.kind != kTokOp) return v;
    char op = t.op;
    if (op != '*' && op != '/' && op != '\\' && op != '%') return v;
    next();
    double r = primary().number;
    if (op == '*') v.number *= r;
    else if (op == '/') v.number /= r;
    else if (op == '\\') v.number = std::trunc(v.number / r);
    else v.number = std::fmod(v.number, r);
  }
}

void Parser::closeParen() {
  if (cur().is(')')) next();
}

ScriptValue Parser::parenthesized() {
  next();  // '('
  ScriptValue v = expression();
  closeParen();
  return v;
}

ScriptValue Parser::primary() {
  const Token& t = cur();
  if (t.kind == kTokWord) {
    next();
    return stringValue(t.text);
  }
  if (t.kind == kTokNumber) {
    next();
    return numberValue(t.number);
  }
  if (t.kind == kTokEnd) return stringValue(std::string());
  if (depth_ >= kMaxDepth) return stringValue(std::string());
  struct Nest {
    int& depth;
    explicit Nest(int& d) : depth(d) { ++depth; }
    ~Nest() { --depth; }
  } nest(depth_);

  switch (t.op) {
    case '!': {
      next();
      ScriptValue v = cur().is('(') ? parenthesized() : primary();
      v.number = v.number == 0 ? 1 : 0;
      return v;
    }
    case '$': {
      next();
      if (!cur().is('(')) {
        std::string* s = stringRef();
        return stringValue(s ? *s : std::string());
      }
      ScriptValue v = parenthesized();
      if (v.kind == kKindString) return v;
      int width = 0;
      if (cur().kind == kTokNumber) {
        width = widthDigit(list_, cur());
        next();
      }
      v.text = decimal(toInt64(std::trunc(v.number)), width);
      v.kind = kKindString;
      return v;
    }
    case '%': {
      next();
      if (!cur().is('(')) {
        int32_t* p = numericRef();
        return numberValue(p ? *p : 0);
      }
      ScriptValue v = parenthesized();
      if (v.kind != kKindString) return v;
      return numberValue(stringToNumber(v.text));
    }
    case '(':
      return parenthesized();
    case '*': {
      next();
      std::string text;
      if (cur().is('(')) {
        text = parenthesized().text;
      } else if (cur().is('$')) {
        next();
        std::string* s = stringRef();
        if (s) text = *s;
      } else {
        std::string label = "*";
        for (; cur().kind != kTokEnd; next()) label += cur().text;
        return stringValue(std::move(label));
      }
      if (cur().kind == kTokNumber) {
        int width = widthDigit(list_, cur());
        next();
        return numberValue(readBytes(text, width));
      }
      return numberValue(text.empty() ? 0 : static_cast<unsigned char>(text[0]));
    }
    case '+':
    case '-':
      return prefixRun();
    default:
      next();
      return stringValue(t.text);
  }
}

// Signs and '!' before one operand; equal adjacent signs cancel, the rest
// apply from the leftmost to the rightmost.
ScriptValue Parser::prefixRun() {
  std::array<char, 256> ops;
  size_t n = 0;
  for (size_t taken = 0; taken < ops.size(); ++taken) {
    const Token& t = cur();
    if (t.kind != kTokOp || (t.op != '+' && t.op != '-' && t.op != '!')) break;
    if (t.op != '!' && n > 0 && ops[n - 1] == t.op) --n;
    else ops[n++] = t.op;
    next();
  }
  ScriptValue v = primary();
  for (size_t i = 0; i < n; ++i) {
    if (ops[i] == '-') v.number = -v.number;
    else if (ops[i] == '!') v.number = v.number == 0 ? 1 : 0;
  }
  return v;
}

template <class T>
T* Parser::variableRef(std::string* named, char sign, T* (*numbered)(double), T* (*byName)(std::string_view)) {
  const Token& t = cur();
  if (t.kind == kTokNumber) {
    next();
    return numbered(t.number);
  }
  if (t.kind == kTokWord) {
    next();
    if (named) *named = t.text;
    return cachedNamed(t, sign, byName);
  }
  if (depth_ >= kMaxDepth) return nullptr;
  if (t.is('%')) {
    next();
    ++depth_;
    int32_t* p = numericRef();
    --depth_;
    return p ? numbered(*p) : nullptr;
  }
  if (t.is('$')) {
    next();
    ++depth_;
    std::string* s = stringRef();
    --depth_;
    if (!s) return nullptr;
    if (named) *named = *s;
    return byName(*s);
  }
  return nullptr;
}

int32_t* Parser::numericRef(std::string* named) { return variableRef(named, '%', numberedInteger, namedInteger); }
std::string* Parser::stringRef(std::string* named) { return variableRef(named, '$', numberedString, namedString); }

ScriptValue evaluateRange(const TokenList& list, size_t begin, size_t end) {
  double n;
  if (end >= list.tokens.size() && evaluateCompiled(list, begin, n)) {
    return ScriptValue{std::string(), n, evalState.error ? kKindInvalid : kKindNumber};
  }
  Parser p(list, begin, end);
  if (p.cur().kind == kTokEnd) return ScriptValue{};
  ScriptValue v = p.expression();
  if (evalState.error) v.kind = kKindInvalid;
  return v;
}

}  // namespace detail

using namespace detail;

ScriptValue evaluate(std::string_view text) {
  const TokenList& list = cachedTokens(text);
  beginExpression(list.source);
  return evaluateRange(list, 0, list.tokens.size());
}

namespace {

template <typename T, typename Ref>
T* exactReference(std::string_view text, char sign, Ref ref, std::string* named) {
  const TokenList& list = cachedTokens(text);
  Parser p(list, 0, list.tokens.size());
  if (!p.cur().is(sign)) return nullptr;
  p.next();
  T* r = (p.*ref)(named);
  return p.cur().kind == kTokEnd ? r : nullptr;
}

}  // namespace

int32_t* numericReference(std::string_view text) { return numericReferenceNamed(text, nullptr); }
std::string* stringReference(std::string_view text) { return stringReferenceNamed(text, nullptr); }

int32_t* numericReferenceNamed(std::string_view text, std::string* named) {
  return exactReference<int32_t>(text, '%', &Parser::numericRef, named);
}
std::string* stringReferenceNamed(std::string_view text, std::string* named) {
  return exactReference<std::string>(text, '$', &Parser::stringRef, named);
}

const std::string& currentExpressionText() {
  static const std::string none;
  return evalState.exprText ? *evalState.exprText : none;
}

void setEvaluationError() { evalState.error = true; }

void reportExpressionError(std::string_view message) {
  const Registers& r = registers();
  std::string text = r.activeSlot == 0 ? std::string("0.txt") : r.subScriptName;
  text += '[';
  text += std::to_string(r.currentLine);
  text += "] ";
  text += currentExpressionText();
  text += sj(" ※");
  text += message;
  showErrorBox(text);
  setEvaluationError();
}

}  // namespace velmora::script
