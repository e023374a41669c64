#include "bindings/bridge.h"

#include <cmath>
#include <string>

#include "base/report.h"
#include "base/state.h"
#include "script/expression.h"
#include "script/value.h"

namespace velmora::bindings {
namespace {

using script::ArgumentList;
using script::ScriptValue;

const ArgumentList& list(CommandContext c) { return *static_cast<const ArgumentList*>(c); }

// Arguments that were not written read as an invalid value: 0, or empty text.
const ScriptValue* value(CommandContext c, int i) {
  const ArgumentList& a = list(c);
  return i >= 1 && static_cast<size_t>(i) <= a.values.size() ? &a.values[i - 1] : nullptr;
}

const std::string* rawPiece(CommandContext c, int i) {
  const ArgumentList& a = list(c);
  return i >= 1 && static_cast<size_t>(i) <= a.raw.size() ? &a.raw[i - 1] : nullptr;
}

int ownCount(CommandContext c) { return static_cast<int>(list(c).count()); }

int ownKind(CommandContext c, int i) {
  const ScriptValue* v = value(c, i);
  return v ? v->kind : script::kKindInvalid;
}

bool ownNamesNumeric(CommandContext c, int i) {
  const std::string* raw = rawPiece(c, i);
  return raw && script::numericReference(*raw) != nullptr;
}

bool ownNamesString(CommandContext c, int i) {
  const std::string* raw = rawPiece(c, i);
  return raw && script::stringReference(*raw) != nullptr;
}

int32_t ownInteger(CommandContext c, int i) {
  const ScriptValue* v = value(c, i);
  return v ? truncateToInt32(v->number) : 0;
}

double ownDouble(CommandContext c, int i) {
  const ScriptValue* v = value(c, i);
  return v ? v->number : 0.0;
}

float ownFloat(CommandContext c, int i) { return static_cast<float>(ownDouble(c, i)); }

const char* ownStringLength(CommandContext c, int i, size_t* length) {
  const ScriptValue* v = value(c, i);
  if (length) *length = v ? v->text.size() : 0;
  return v ? v->text.c_str() : "";
}

const char* ownString(CommandContext c, int i) { return ownStringLength(c, i, nullptr); }

// A result argument that names no variable of the right kind is skipped.
void ownIntegerResult(CommandContext c, int i, int32_t v) {
  const std::string* raw = rawPiece(c, i);
  if (int32_t* target = raw ? script::numericReference(*raw) : nullptr) *target = v;
}

void ownStringResultLength(CommandContext c, int i, const char* text, size_t length) {
  const std::string* raw = rawPiece(c, i);
  if (std::string* target = raw ? script::stringReference(*raw) : nullptr) target->assign(text ? text : "", text ? length : 0);
}

void ownStringResult(CommandContext c, int i, const char* text) {
  ownStringResultLength(c, i, text, text ? std::char_traits<char>::length(text) : 0);
}

void nothing(CommandContext) {}
void nothingAt(CommandContext, int) {}
void ownEnd(CommandContext) { quitRequest = 1; }

ScriptBridge makeOwnBridge() {
  ScriptBridge b;
  b.argumentCount.fill(ownCount);
  b.argumentKind = ownKind;
  b.stringKind = script::kKindString;
  b.namesNumericVariable = ownNamesNumeric;
  b.namesStringVariable = ownNamesString;
  b.integerArgument = ownInteger;
  b.floatArgument = ownFloat;
  b.doubleArgument = ownDouble;
  b.stringArgument = ownString;
  b.stringArgumentLength = ownStringLength;
  b.integerResult = ownIntegerResult;
  b.stringResult = ownStringResult;
  b.stringResultLength = ownStringResultLength;
  b.pushNothing = nothing;
  b.beginList = nothing;
  b.setListElement = nothingAt;
  b.appendListElement = nothing;
  b.endProgram = ownEnd;
  b.language = kLanguageOwn;
  b.activeVM = nullptr;
  return b;
}

struct BridgeState {
  ScriptBridge own = makeOwnBridge();
  ScriptBridge active = own;
};
BridgeState bridgeState;

}  // namespace

const ScriptBridge& bridge() { return bridgeState.active; }
const ScriptBridge& ownBridge() { return bridgeState.own; }

void installOwnBridge() { installBridge(bridgeState.own); }

void installBridge(const ScriptBridge& operations) {
  bridgeState.active = operations;
  setActiveLanguage(operations.language);
}

int32_t truncateToInt32(double v) {
  if (!std::isfinite(v)) return 0;
  double t = std::trunc(v);
  if (t >= -2147483648.0 && t <= 2147483647.0) return static_cast<int32_t>(t);
  double m = std::fmod(t, 4294967296.0);
  if (m < 0) m += 4294967296.0;
  return static_cast<int32_t>(static_cast<uint32_t>(m));
}

}  // namespace velmora::bindings
