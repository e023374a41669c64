// The own-language regular-expression commands; the others go through the
// script bridge with the catalogue.
#include "core/report.h"
#include "script/library.h"
#include "script/regex.h"

namespace velmora::script {

void cmd_regexp_match(const char* args) {
  RawArguments a(args);
  std::string text = a.text(0), pattern = a.text(1);
  if (text.empty() || pattern.empty()) return;
  regex::Match m;
  if (!regex::match(text, pattern, m)) return;
  if (int32_t* len = a.integerTarget(3)) *len = m.found ? static_cast<int32_t>(m.length) : 0;
  if (!m.found) return;
  if (int32_t* pos = a.integerTarget(2)) *pos = static_cast<int32_t>(m.position);
  if (std::string* found = a.stringTarget(4)) *found = text.substr(m.position, m.length);
}

void cmd_regexp_split(const char* args) {
  RawArguments a(args);
  std::string text = a.text(0), pattern = a.text(1);
  std::vector<std::string> pieces;
  if (!text.empty() && !pattern.empty() && !regex::split(text, pattern, pieces)) return;
  assignSplitTargets(a, 2, pieces);
}

}  // namespace velmora::script
