// Splitting lines into parts and argument texts into pieces.
#include "base/encoding.h"
#include "script/expression.h"
#include "script/interp.h"
#include "script/scan.h"

namespace velmora::script {
namespace {

bool isTrimmed(char c) { return c == '\t' || c == '\n' || c == '\r' || c == ' '; }

std::string_view trim(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && isTrimmed(s[b])) ++b;
  while (e > b && isTrimmed(s[e - 1])) --e;
  return s.substr(b, e - b);
}

}  // namespace

void splitPartsInto(std::string_view text, char separator, std::vector<std::string>& out) {
  out.clear();
  if (text.empty()) return;
  if (isMultiByteLead(text[0]) || text[0] == kNarrationMark) {
    out.emplace_back(trim(text));
    return;
  }
  size_t start = 0;
  const size_t end = scanOutsideQuotes(text, [&](size_t i, char c) {
    if (c == ';' || (c == '/' && i + 1 < text.size() && text[i + 1] == '/')) return false;
    if (c == separator) {
      out.emplace_back(trim(text.substr(start, i - start)));
      start = i + 1;
    }
    return true;
  });
  out.emplace_back(trim(text.substr(start, end > start ? end - start : 0)));
}

ArgumentList parseArguments(const char* args) {
  ArgumentList list;
  if (!args || !*args) return list;
  splitPartsInto(args, ',', list.raw);
  list.values.reserve(list.raw.size());
  for (const auto& piece : list.raw) list.values.push_back(evaluate(piece));
  return list;
}

}  // namespace velmora::script
