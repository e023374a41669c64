// Most expressions in loops are arithmetic on numbers and numeric variables.
// Those are compiled once to a small stack program; anything else (strings,
// conversions, indirect references, leftover tokens, the quirks of '=' and
// '!') stays with the general parser, so the results are the same.
#include <cmath>

#include "script/expression_internal.h"

namespace velmora::script::detail {
namespace {

enum Op : uint8_t {
  kConst, kNumbered, kNamed,
  kAnd2, kOr2, kBitAnd, kBitOr, kXor,
  kLt, kLe, kGt, kGe, kEq, kNe, kShl, kShr,
  kAdd, kSub, kMul, kDiv, kIntDiv, kMod,
  kNeg, kNot,
};

constexpr int kStackLimit = 32;

class Compiler {
 public:
  Compiler(const TokenList& list, size_t begin) : list_(list), pos_(begin) {}

  bool run(std::vector<Instr>& out) {
    if (!logical() || at().kind != kTokEnd) return false;
    out = std::move(code_);
    return true;
  }

 private:
  const Token& at(size_t ahead = 0) const {
    size_t k = pos_ + ahead;
    return list_.tokens[k < list_.tokens.size() ? k : list_.tokens.size() - 1];
  }
  bool isOp(char c, size_t ahead = 0) const { return at(ahead).is(c); }
  void emit(uint8_t op) {
    Instr i;
    i.op = op;
    code_.push_back(i);
    depth_ += (op >= kAnd2 && op <= kMod) ? -1 : 0;
  }
  void push(Instr i) {
    code_.push_back(i);
    if (++depth_ > maxDepth_) maxDepth_ = depth_;
  }

  bool logical() {
    if (!comparison()) return false;
    for (;;) {
      char c = at().op;
      if (at().kind != kTokOp || (c != '&' && c != '|' && c != '^')) return true;
      ++pos_;
      bool doubled = c != '^' && isOp(c);
      if (doubled) ++pos_;
      if (!comparison()) return false;
      emit(doubled ? (c == '&' ? kAnd2 : kOr2) : c == '&' ? kBitAnd : c == '|' ? kBitOr : kXor);
    }
  }

  bool comparison() {
    if (!additive()) return false;
    for (;;) {
      if (at().kind != kTokOp) return true;
      char c = at().op;
      uint8_t op;
      if ((c == '<' || c == '>') && isOp(c, 1)) {
        op = c == '<' ? kShl : kShr;
        pos_ += 2;
      } else if ((c == '<' || c == '>') && isOp('=', 1)) {
        op = c == '<' ? kLe : kGe;
        pos_ += 2;
      } else if (c == '<' || c == '>') {
        op = c == '<' ? kLt : kGt;
        pos_ += 1;
      } else if ((c == '=' || c == '!') && isOp('=', 1)) {
        op = c == '=' ? kEq : kNe;
        pos_ += 2;
      } else if (c == '=' || c == '!') {
        return false;  // the swallowed token is not '='
      } else {
        return true;
      }
      if (!additive()) return false;
      emit(op);
    }
  }

  bool additive() {
    if (!multiplicative()) return false;
    while (isOp('+') || isOp('-')) {
      uint8_t op = isOp('+') ? kAdd : kSub;
      ++pos_;
      if (!multiplicative()) return false;
      emit(op);
    }
    return true;
  }

  bool multiplicative() {
    if (!primary()) return false;
    for (;;) {
      char c = at().op;
      if (at().kind != kTokOp || (c != '*' && c != '/' && c != '\\' && c != '%')) return true;
      ++pos_;
      if (!primary()) return false;
      emit(c == '*' ? kMul : c == '/' ? kDiv : c == '\\' ? kIntDiv : kMod);
    }
  }

  bool primary() {
    if (++nesting_ > 200) return false;
    bool ok = primaryBody();
    --nesting_;
    return ok;
  }

  bool primaryBody() {
    const Token& t = at();
    Instr i;
    if (t.kind == kTokNumber) {
      i.op = kConst;
      i.constant = t.number;
      ++pos_;
      push(i);
      return true;
    }
    if (t.kind != kTokOp) return false;
    if (t.op == '%') {
      const Token& r = at(1);
      if (r.kind == kTokNumber) {
        i.op = kNumbered;
        i.numbered = numberedInteger(r.number);  // the numbered table never moves
      } else if (r.kind == kTokWord) {
        i.op = kNamed;
        i.token = static_cast<uint32_t>(pos_ + 1);
      } else {
        return false;
      }
      pos_ += 2;
      push(i);
      return true;
    }
    if (t.op == '(') {
      ++pos_;
      if (!logical() || !isOp(')')) return false;
      ++pos_;
      return true;
    }
    if (t.op == '!') {
      ++pos_;
      if (!primary()) return false;
      emit(kNot);
      return true;
    }
    if (t.op == '+' || t.op == '-') return prefixRun();
    return false;
  }

  // As the general parser: equal adjacent signs cancel, the rest apply from
  // the leftmost to the rightmost once the operand is read.
  bool prefixRun() {
    char ops[256];
    size_t n = 0;
    for (size_t taken = 0; taken < sizeof ops; ++taken) {
      const Token& t = at();
      if (t.kind != kTokOp || (t.op != '+' && t.op != '-' && t.op != '!')) break;
      if (t.op != '!' && n > 0 && ops[n - 1] == t.op) --n;
      else ops[n++] = t.op;
      ++pos_;
    }
    if (!primary()) return false;
    for (size_t k = 0; k < n; ++k) {
      if (ops[k] == '-') emit(kNeg);
      else if (ops[k] == '!') emit(kNot);
    }
    return true;
  }

 public:
  int maxDepth() const { return maxDepth_; }

 private:
  const TokenList& list_;
  size_t pos_;
  std::vector<Instr> code_;
  int depth_ = 0, maxDepth_ = 0, nesting_ = 0;
};

double binary(uint8_t op, double a, double b) {
  switch (op) {
    case kAnd2: return (a != 0 && b != 0) ? 1 : 0;
    case kOr2: return (a != 0 || b != 0) ? 1 : 0;
    case kBitAnd: return toInt32(a) & toInt32(b);
    case kBitOr: return toInt32(a) | toInt32(b);
    case kXor: return toInt32(a) ^ toInt32(b);
    case kLt: return a < b;
    case kLe: return a <= b;
    case kGt: return a > b;
    case kGe: return a >= b;
    case kEq: return a == b;
    case kNe: return a != b;
    case kShl: return static_cast<int32_t>(static_cast<uint32_t>(toInt32(a)) << (toInt32(b) & 31));
    case kShr: return toInt32(a) >> (toInt32(b) & 31);
    case kAdd: return a + b;
    case kSub: return a - b;
    case kMul: return a * b;
    case kDiv: return a / b;
    case kIntDiv: return std::trunc(a / b);
    default: return std::fmod(a, b);
  }
}

}  // namespace

bool evaluateCompiled(const TokenList& list, size_t begin, double& result) {
  if (list.compiled == 0) {
    Compiler c(list, begin);
    list.compiled = c.run(list.program) && c.maxDepth() <= kStackLimit ? 1 : -1;
    list.programBegin = static_cast<uint32_t>(begin);
  }
  if (list.compiled != 1 || list.programBegin != begin) return false;
  double stack[kStackLimit];
  int sp = 0;
  for (const Instr& i : list.program) {
    switch (i.op) {
      case kConst: stack[sp++] = i.constant; break;
      case kNumbered: stack[sp++] = i.numbered ? *i.numbered : 0; break;
      case kNamed: {
        const int32_t* p = cachedNamedInteger(list.tokens[i.token]);
        stack[sp++] = p ? *p : 0;
        break;
      }
      case kNeg: stack[sp - 1] = -stack[sp - 1]; break;
      case kNot: stack[sp - 1] = stack[sp - 1] == 0 ? 1 : 0; break;
      default:
        --sp;
        stack[sp - 1] = binary(i.op, stack[sp - 1], stack[sp]);
    }
  }
  result = stack[0];
  return true;
}

}  // namespace velmora::script::detail
