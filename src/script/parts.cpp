// Splitting lines into parts and argument texts into pieces.
#include "base/sjis.h"
#include "script/expression.h"
#include "script/interp.h"

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
  if (isLeadByte(text[0])) {
    out.emplace_back(trim(text));
    return;
  }
  size_t start = 0, i = 0, end = text.size();
  char quote = 0;
  while (i < end) {
    char c = text[i];
    if (isLeadByte(c)) {
      i += 2;
      continue;
    }
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == ';' || (c == '/' && i + 1 < end && text[i + 1] == '/')) {
      end = i;
      break;
    } else if (c == separator) {
      out.emplace_back(trim(text.substr(start, i - start)));
      start = i + 1;
    }
    ++i;
  }
  if (end > text.size()) end = text.size();
  out.emplace_back(trim(text.substr(start, end > start ? end - start : 0)));
}

std::vector<std::string> splitParts(std::string_view text, char separator) {
  std::vector<std::string> out;
  splitPartsInto(text, separator, out);
  return out;
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
