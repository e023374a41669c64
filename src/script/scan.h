#pragma once
// Walks script text the way the parsers read it: double-byte characters and
// quoted text ("..." or '...') are passed over, visit(i, c) sees every other
// byte and returns false to stop there. Returns where it stopped, or the
// text's size.
#include <cstddef>
#include <string_view>

#include "base/encoding.h"

namespace velmora::script {

template <class Visit>
size_t scanOutsideQuotes(std::string_view text, Visit visit) {
  char quote = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (isMultiByteLead(c)) {
      i += charLength(text, i) - 1;
    } else if (quote) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (!visit(i, c)) {
      return i;
    }
  }
  return text.size();
}

}  // namespace velmora::script
