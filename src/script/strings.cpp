// The library's value and string commands.
#include <ctime>
#include <random>

#include "base/report.h"
#include "base/encoding.h"
#include "base/sjis.h"
#include "base/textconv.h"
#include "script/arguments.h"
#include "script/expression.h"
#include "script/interp.h"
#include "script/library.h"
#include "script/messages.h"

namespace velmora::script {
namespace {

std::mt19937& generator() {
  static std::mt19937 g(static_cast<uint32_t>(std::time(nullptr)));
  return g;
}

void changeCase(const char* args, bool toUpper) {
  RawArguments a(args);
  std::string* s = a.stringTarget(0);
  if (!s) return;
  for (size_t i = 0; i < s->size(); ++i) {
    char& c = (*s)[i];
    if (const size_t step = charLength(*s, i); step > 1) i += step - 1;
    else if (toUpper && c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    else if (!toUpper && c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
}

// One split piece (or default) for a target of either kind.
void assignPiece(const std::string& target, const std::string* piece) {
  std::string_view name = target, fallback;
  size_t eq = std::string::npos;
  for (size_t i = 0; i < target.size(); i += charLength(target, i))
    if (target[i] == '=') {
      eq = i;
      break;
    }
  if (eq != std::string::npos) {
    name = trimText(std::string_view(target).substr(0, eq));
    fallback = trimText(std::string_view(target).substr(eq + 1));
  }
  std::string source = piece && !piece->empty() ? *piece : std::string(fallback);
  if (std::string* s = stringReference(name)) {
    std::string* ref = !source.empty() && source[0] == '$' ? stringReference(source) : nullptr;
    *s = ref ? *ref : source;
  } else if (int32_t* n = numericReference(name)) {
    int32_t* ref = numericReference(source);
    *n = ref ? *ref : textToInteger(source);
  }
}

}  // namespace

void cmd_rand(const char* args) {
  RawArguments a(args);
  int32_t* r = a.integerTarget(0);
  uint32_t lo = static_cast<uint32_t>(a.integer(1)), hi = static_cast<uint32_t>(a.integer(2));
  uint32_t span = hi - lo + 1u;
  uint32_t out = generator()();
  if (r) *r = static_cast<int32_t>(span == 0 ? lo + out : lo + out % span);
}

void cmd_itos16(const char* args) {
  RawArguments a(args);
  static const char digits[] = "0123456789ABCDEF";
  uint32_t v = static_cast<uint32_t>(a.integer(1));
  std::string s;
  do {
    s.insert(s.begin(), digits[v & 15]);
    v >>= 4;
  } while (v);
  if (std::string* r = a.stringTarget(0)) *r = s;
}

void cmd_len(const char* args) {
  RawArguments a(args);
  std::string t = a.text(1);
  if (int32_t* r = a.integerTarget(0)) *r = static_cast<int32_t>(t.size());
}

// A start beyond the text, or a negative count, gives the empty string.
void cmd_mid(const char* args) {
  RawArguments a(args);
  std::string t = a.text(1);
  int32_t start = a.integer(2), count = a.integer(3);
  std::string out;
  if (start < 0) start = 0;
  if (count > 0 && static_cast<size_t>(start) < t.size()) out = t.substr(start, static_cast<size_t>(count));
  if (std::string* r = a.stringTarget(0)) *r = out;
}

void cmd_upper(const char* args) { changeCase(args, true); }
void cmd_lower(const char* args) { changeCase(args, false); }

bool isOneCharacter(const std::string& ch) {
  if (unicodeGame()) return !ch.empty() && utf8CharLength(ch, 0) == ch.size();
  return ch.size() == 1 || ch.size() == 2;
}

void cmd_match(const char* args) {
  RawArguments a(args);
  std::string text = a.text(0), ch = a.text(1);
  if (!isOneCharacter(ch)) {
    reportError(messageText(Message::SecondArgumentNotOneCharacter));
    return;
  }
  if (int32_t* r = a.integerTarget(2)) *r = findCharacter(text, ch);
}


void assignSplitTargets(const RawArguments& a, size_t firstTarget, const std::vector<std::string>& pieces) {
  for (size_t t = firstTarget; t < a.count(); ++t) {
    size_t i = t - firstTarget;
    assignPiece(a.raw(t), i < pieces.size() ? &pieces[i] : nullptr);
  }
}

std::vector<std::string> splitText(const std::string& text, const std::string& sep) {
  std::vector<std::string> pieces;
  const size_t longestChar = unicodeGame() ? 4 : 2;
  if (text.empty() || sep.empty() || sep.size() > longestChar) return pieces;
  size_t start = 0;
  for (size_t i = 0; i < text.size();) {
    size_t width = charLength(text, i);
    if (width == sep.size() && text.compare(i, width, sep) == 0) {
      pieces.push_back(text.substr(start, i - start));
      start = i + width;
    }
    i += width;
  }
  pieces.push_back(text.substr(start));
  return pieces;
}

int32_t findCharacter(const std::string& text, const std::string& ch, int32_t* occurrences) {
  int32_t first = -1, n = 0;
  for (size_t i = 0; i < text.size();) {
    size_t width = charLength(text, i);
    if (width == ch.size() && text.compare(i, width, ch) == 0) {
      if (first < 0) first = static_cast<int32_t>(i);
      ++n;
    }
    i += width;
  }
  if (occurrences) *occurrences = n;
  return first;
}

std::string_view trimText(std::string_view s) {
  size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string_view::npos) return {};
  size_t e = s.find_last_not_of(" \t\r\n");
  return s.substr(b, e - b + 1);
}

void cmd_split(const char* args) {
  RawArguments a(args);
  assignSplitTargets(a, 2, splitText(a.text(0), a.text(1)));
}

}  // namespace velmora::script
