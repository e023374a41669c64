// cal: assignment to numeric, string and byte targets.
#include <array>
#include <unordered_map>

#include "core/report.h"
#include "core/textconv.h"
#include "script/expression.h"
#include "script/expression_internal.h"
#include "script/messages.h"

namespace velmora::script {
namespace {

using namespace detail;

enum class AssignOp : uint8_t { Set, Add, Sub, Mul, Div, Mod, IntDiv, And, Or, Xor, Shl, Shr };

struct AssignSpelling {
  const char* tokens;  // one operator token per character
  AssignOp op;
  const char* stringMessage;  // what a string target reports, null when allowed
};

const AssignSpelling kAssignOps[] = {
    {"=", AssignOp::Set, nullptr},
    {"+=", AssignOp::Add, nullptr},
    {"-=", AssignOp::Sub, "文字変数に -= 複合代入演算子は使えません"},
    {"*=", AssignOp::Mul, "文字変数に *= 複合代入演算子は使えません"},
    {"/=", AssignOp::Div, "文字変数に /= 複合代入演算子は使えません"},
    {"%=", AssignOp::Mod, "文字変数に %= 複合代入演算子は使えません"},
    {"\\=", AssignOp::IntDiv, "文字変数に \\= 複合代入演算子は使えません"},
    {"&=", AssignOp::And, "文字変数に &= 複合代入演算子は使えません"},
    {"|=", AssignOp::Or, "文字変数に |= 複合代入演算子は使えません"},
    {"^=", AssignOp::Xor, "文字変数に ^= 複合代入演算子は使えません"},
    {"<<=", AssignOp::Shl, "文字変数に <<= 複合代入演算子は使えません"},
    {">>=", AssignOp::Shr, "文字変数に >>= 複合代入演算子は使えません"},
};

// 32-bit wrapping arithmetic; a zero divisor leaves the variable unchanged.
int32_t combine(int32_t a, int32_t b, AssignOp op) {
  uint32_t ua = static_cast<uint32_t>(a), ub = static_cast<uint32_t>(b);
  switch (op) {
    case AssignOp::Set: return b;
    case AssignOp::Add: return static_cast<int32_t>(ua + ub);
    case AssignOp::Sub: return static_cast<int32_t>(ua - ub);
    case AssignOp::Mul: return static_cast<int32_t>(ua * ub);
    case AssignOp::Div:
    case AssignOp::IntDiv:
      if (b == 0) return a;
      if (b == -1) return static_cast<int32_t>(0u - ua);
      return a / b;
    case AssignOp::Mod:
      if (b == 0) return a;
      if (b == -1) return 0;
      return a % b;
    case AssignOp::And: return a & b;
    case AssignOp::Or: return a | b;
    case AssignOp::Xor: return a ^ b;
    case AssignOp::Shl: return static_cast<int32_t>(ua << (ub & 31));
    case AssignOp::Shr: return a >> (ub & 31);
  }
  return a;
}

enum class TargetKind { String, Number, Bytes };

struct Target {
  TargetKind kind = TargetKind::Number;
  int32_t* number = nullptr;
  std::string* text = nullptr;
  int32_t offset = 0;
  int width = 1;
};

size_t matchingParen(const TokenList& list, size_t from, size_t end) {
  int depth = 1;
  for (size_t k = from; k < end; ++k) {
    const Token& t = list.tokens[k];
    if (t.is('(')) ++depth;
    else if (t.is(')') && --depth == 0) return k;
  }
  return end;
}

// '*(' '$' reference offset ')' [width]: the parser stands after '('.
bool byteTarget(Parser& p, Target& target) {
  if (!p.cur().is('$')) return false;
  p.next();
  target.kind = TargetKind::Bytes;
  target.text = p.stringRef();
  size_t close = matchingParen(p.list(), p.pos(), p.end());
  ScriptValue offset = evaluateRange(p.list(), p.pos(), close);
  target.offset = toInt32(offset.number);
  p.seek(close);
  if (p.cur().is(')')) p.next();
  if (p.cur().kind == kTokNumber) {
    char d = p.list().source[p.cur().offset];
    target.width = (d == '2' || d == '4') ? d - '0' : 1;
    p.next();
  }
  return true;
}

bool readTarget(Parser& p, Target& target) {
  const Token& t = p.cur();
  if (t.is('$')) {
    p.next();
    target.kind = TargetKind::String;
    target.text = p.stringRef();
    return true;
  }
  if (t.is('%')) {
    p.next();
    target.number = p.numericRef();
    return true;
  }
  if (!t.is('*')) return false;
  p.next();
  if (p.cur().is('(')) {
    p.next();
    return byteTarget(p, target);
  }
  if (!p.cur().is('$')) return false;
  p.next();
  target.kind = TargetKind::Bytes;
  target.text = p.stringRef();
  return true;
}

const AssignSpelling* readOperator(Parser& p) {
  const TokenList& list = p.list();
  for (const AssignSpelling& s : kAssignOps) {
    size_t k = p.pos();
    const char* c = s.tokens;
    while (*c && k < p.end() && list.tokens[k].is(*c)) ++c, ++k;
    if (*c == 0) {
      p.seek(k);
      return &s;
    }
  }
  return nullptr;
}

// Bytes of the text at the offset, little-endian; out of range does nothing.
void assignBytes(const Target& t, int32_t r, AssignOp op) {
  if (!t.text || t.offset < 0 || static_cast<size_t>(t.offset) + t.width > t.text->size()) return;
  unsigned char* b = reinterpret_cast<unsigned char*>(t.text->data()) + t.offset;
  uint32_t stored = 0;
  for (int k = 0; k < t.width; ++k) stored |= static_cast<uint32_t>(b[k]) << (8 * k);
  uint32_t v = static_cast<uint32_t>(combine(static_cast<int32_t>(stored), r, op));
  for (int k = 0; k < t.width; ++k) b[k] = static_cast<unsigned char>(v >> (8 * k));
}

void assign(const Target& t, const AssignSpelling& spelling, const ScriptValue& v) {
  if (v.kind == kKindInvalid) {
    reportExpressionError(messageText(Message::AssignedTypeMismatch));
    return;
  }
  if (t.kind == TargetKind::String) {
    if (v.kind != kKindString) return;
    if (spelling.op == AssignOp::Set) {
      if (t.text) *t.text = v.text;
    } else if (spelling.op == AssignOp::Add) {
      if (t.text) *t.text += v.text;
    } else {
      reportExpressionError(sj(spelling.stringMessage));
    }
    return;
  }
  if (v.kind != kKindNumber) return;
  int32_t r = toInt32(v.number);
  if (t.kind == TargetKind::Number) {
    if (t.number) *t.number = combine(*t.number, r, spelling.op);
  } else {
    assignBytes(t, r, spelling.op);
  }
}

void runItem(const TokenList& item) {
  beginExpression(item.source);
  Parser p(item, 0, item.tokens.size());
  Target target;
  if (!readTarget(p, target)) {
    reportExpressionError(messageText(Message::NotAnAssignment));
    return;
  }
  const AssignSpelling* spelling = readOperator(p);
  if (!spelling) {
    reportExpressionError(messageText(Message::BadAssignmentOperator));
    return;
  }
  assign(target, *spelling, evaluateRange(item, p.pos(), item.tokens.size()));
}

// The items of a cal argument text, tokenised once per distinct text.
constexpr size_t kPlanCacheLimit = 4096;

using PlanTable = std::unordered_map<std::string, std::vector<TokenList>, NameHash, std::equal_to<>>;

struct Memo {
  const char* data = nullptr;
  const PlanTable::value_type* plan = nullptr;
};

struct AssignState {
  PlanTable plans;
  std::array<Memo, 256> memo{};
};
AssignState A;

const std::vector<TokenList>& plan(std::string_view args) {
  // Keyed first by the argument pointer, which the loop keeps per part.
  Memo& m = A.memo[(reinterpret_cast<uintptr_t>(args.data()) >> 3) % A.memo.size()];
  if (m.data == args.data() && m.plan && m.plan->first == args) return m.plan->second;
  auto it = A.plans.find(args);
  if (it == A.plans.end()) {
    if (A.plans.size() >= kPlanCacheLimit) {
      retainExpressionText();
      A.plans.clear();
      A.memo.fill(Memo{});
    }
    it = A.plans.try_emplace(std::string(args)).first;
    std::vector<std::string> texts = splitItems(args);
    it->second.resize(texts.size());
    for (size_t i = 0; i < texts.size(); ++i) tokenize(texts[i], it->second[i]);
  }
  m = Memo{args.data(), &*it};
  return it->second;
}

}  // namespace

void cmd_cal(const char* args) {
  for (const TokenList& item : plan(args)) runItem(item);
}

}  // namespace velmora::script
