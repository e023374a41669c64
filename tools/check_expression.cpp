// The shape of a value without evaluating it: the evaluator's grammar over
// the evaluator's own tokens, following only which kind each step leaves
// and how far the evaluator reads.
#include "check_internal.h"
#include "script/expression_internal.h"

namespace velmora::tools::check {
namespace {

using script::detail::kTokEnd;
using script::detail::kTokNumber;
using script::detail::kTokWord;
using script::detail::Token;
using script::detail::TokenList;

// As deep as the evaluator nests before it gives up on an operand.
constexpr int kMaxDepth = 400;

// A step that changes the number of a value that has a text.
ValueKind numberChanged(ValueKind k) { return k == ValueKind::Number ? k : ValueKind::Mixed; }

class ShapeParser {
 public:
  explicit ShapeParser(const TokenList& list) : list_(list) {}

  ValueKind expression() { return logical(); }
  size_t pos() const { return pos_; }
  bool atEnd() const { return cur().kind == kTokEnd; }
  bool singleEquals() const { return singleEquals_; }
  const Token& cur() const { return list_.tokens[pos_]; }
  void next() {
    if (pos_ + 1 < list_.tokens.size()) ++pos_;
  }
  // A reference after its sign; the name when it is a plain word.
  bool reference(std::string* named) {
    const Token& t = cur();
    if (t.kind == kTokNumber || t.kind == kTokWord) {
      if (named && t.kind == kTokWord) *named = t.text;
      next();
      return true;
    }
    if ((t.is('%') || t.is('$')) && depth_ < kMaxDepth) {
      next();
      ++depth_;
      bool ok = reference(nullptr);
      --depth_;
      return ok;
    }
    return false;
  }

 private:
  ValueKind logical() {
    ValueKind k = comparison();
    while (cur().is('&') || cur().is('|') || cur().is('^')) {
      char op = cur().op;
      next();
      if (op != '^' && cur().is(op)) next();
      comparison();
      k = numberChanged(k);
    }
    return k;
  }

  ValueKind comparison() {
    ValueKind k = additive();
    for (;;) {
      const Token& t = cur();
      if (t.is('<') || t.is('>')) {
        char op = t.op;
        next();
        if (cur().is(op)) {  // a shift
          next();
          additive();
          k = numberChanged(k);
          continue;
        }
        if (cur().is('=')) next();
      } else if (t.is('=') || t.is('!')) {
        next();
        if (t.op == '=' && !cur().is('=')) singleEquals_ = true;
        next();  // the evaluator takes the second character unseen
      } else {
        return k;
      }
      additive();
      k = ValueKind::Number;
    }
  }

  ValueKind additive() {
    ValueKind k = multiplicative();
    for (;;) {
      if (cur().is('+')) {
        next();
        // number + text takes the text and keeps the number; text + anything
        // stays what it was (joined, or cut).
        if (multiplicative() != ValueKind::Number && k == ValueKind::Number) k = ValueKind::Mixed;
      } else if (cur().is('-')) {
        next();
        multiplicative();
        k = numberChanged(k);
      } else {
        return k;
      }
    }
  }

  ValueKind multiplicative() {
    ValueKind k = primary();
    while (cur().is('*') || cur().is('/') || cur().is('\\') || cur().is('%')) {
      next();
      primary();
      k = numberChanged(k);
    }
    return k;
  }

  ValueKind parenthesized() {
    next();
    ValueKind k = expression();
    if (cur().is(')')) next();
    return k;
  }

  ValueKind primary() {
    const Token& t = cur();
    if (t.kind == kTokWord) return next(), ValueKind::Text;
    if (t.kind == kTokNumber) return next(), ValueKind::Number;
    if (t.kind == kTokEnd || depth_ >= kMaxDepth) return ValueKind::Text;
    struct Nest {
      int& depth;
      explicit Nest(int& d) : depth(d) { ++depth; }
      ~Nest() { --depth; }
    } nest(depth_);
    switch (t.op) {
      case '!': {
        next();
        ValueKind k = cur().is('(') ? parenthesized() : primary();
        return numberChanged(k);
      }
      case '$':
        next();
        if (!cur().is('(')) return reference(nullptr), ValueKind::Text;
        if (parenthesized() != ValueKind::Text && cur().kind == kTokNumber) next();  // the width digit
        return ValueKind::Text;
      case '%':
        next();
        if (!cur().is('(')) return reference(nullptr), ValueKind::Number;
        parenthesized();
        return ValueKind::Number;
      case '(':
        return parenthesized();
      case '*':
        next();
        if (cur().is('(')) {
          parenthesized();
        } else if (cur().is('$')) {
          next();
          reference(nullptr);
        } else {
          while (!atEnd()) next();
          return ValueKind::Text;
        }
        if (cur().kind == kTokNumber) next();
        return ValueKind::Number;
      case '+':
      case '-':
        return prefixRun();
      default:
        next();
        return ValueKind::Text;
    }
  }

  ValueKind prefixRun() {
    bool negated = false;
    while (cur().is('+') || cur().is('-') || cur().is('!')) {
      negated = negated || cur().is('!');
      next();
    }
    ValueKind k = primary();
    return negated ? numberChanged(k) : k;
  }

  const TokenList& list_;
  size_t pos_ = 0;
  int depth_ = 0;
  bool singleEquals_ = false;
};

}  // namespace

ValueShape shapeOf(std::string_view piece) {
  TokenList list;
  script::detail::tokenize(piece, list);
  ValueShape s;
  s.empty = list.tokens.size() <= 1;
  if (s.empty) return s;
  const Token& first = list.tokens[0];
  if ((first.is('%') || first.is('$')) && list.tokens.size() > 2) {
    ShapeParser ref(list);
    ref.next();
    std::string named;
    if (ref.reference(&named) && ref.atEnd()) {
      s.reference = first.op;
      s.variable = named;
    }
  }
  s.literal = first.kind == kTokWord && list.tokens.size() == 2;
  if (s.literal) s.text = first.text;
  s.label = first.is('*') && list.tokens.size() > 2 && list.tokens[1].kind == kTokWord;
  if (s.label) {
    s.text.assign(1, '*');
    for (size_t i = 1; i + 1 < list.tokens.size(); ++i) s.text += list.tokens[i].text;
  }
  ShapeParser p(list);
  s.kind = p.expression();
  s.singleEquals = p.singleEquals();
  if (!p.atEnd()) s.ignoredFrom = p.cur().offset;
  return s;
}

}  // namespace velmora::tools::check
