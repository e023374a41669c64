#include "script/regex.h"

#include <oniguruma.h>

#include <memory>
#include <unordered_map>

#include "base/report.h"
#include "base/encoding.h"
#include "base/sjis.h"
#include "script/interp.h"

namespace velmora::script::regex {
namespace {

struct RegexFree {
  void operator()(OnigRegex r) const { onig_free(r); }
};
struct RegionFree {
  void operator()(OnigRegion* r) const { onig_region_free(r, 1); }
};
using Compiled = std::unique_ptr<std::remove_pointer_t<OnigRegex>, RegexFree>;
using Region = std::unique_ptr<OnigRegion, RegionFree>;

struct RegexState {
  bool initialised = false;
  std::unordered_map<std::string, Compiled> compiled;  // key: flags + '\0' + pattern
};
RegexState regexState;

// A written form split into its pieces: m/a/i gives {"a", "", "i"}.
struct Form {
  char kind = 'm';  // 'm', 's' or 't'
  std::string pattern, replacement, flags;
};

// Reads one delimited field; a backslash keeps the delimiter literal.
bool field(const std::string& s, size_t& i, char delim, std::string& out, bool keepEscape) {
  out.clear();
  while (i < s.size() && s[i] != delim) {
    if (const size_t step = charLength(s, i); step > 1) {
      out.append(s, i, step);
      i += step;
    } else if (s[i] == '\\' && i + 1 < s.size()) {
      // An escaped delimiter is literal; any other escape stays for later.
      if (s[i + 1] != delim || keepEscape) out.push_back('\\');
      out.push_back(s[i + 1]);
      i += 2;
    } else {
      out.push_back(s[i++]);
    }
  }
  if (i >= s.size()) return false;
  ++i;
  return true;
}

bool parseForm(const std::string& text, char defaultKind, Form& f) {
  size_t i = 0;
  f.kind = defaultKind;
  if (text.compare(0, 2, "tr") == 0 && text.size() > 2 && !isIdentChar(text[2])) f.kind = 't', i = 2;
  else if (text.size() > 1 && (text[0] == 's' || text[0] == 'm') && !isIdentChar(text[1])) f.kind = text[0], i = 1;
  else if (text.size() > 1 && text[0] == 'y' && !isIdentChar(text[1])) f.kind = 't', i = 1;
  if (i >= text.size()) return false;
  char delim = text[i++];
  if (isIdentChar(delim) || delim == ' ') return false;
  if (!field(text, i, delim, f.pattern, f.kind != 't')) return false;
  if (f.kind != 'm' && !field(text, i, delim, f.replacement, false)) return false;
  f.flags = text.substr(i);
  return true;
}

void report(int code, OnigErrorInfo* info) {
  UChar buf[ONIG_MAX_ERROR_MESSAGE_LEN];
  onig_error_code_to_str(buf, code, info);
  reportError(reinterpret_cast<const char*>(buf));
}

OnigRegex compile(const Form& f) {
  if (!regexState.initialised) {
    OnigEncoding encodings[] = {ONIG_ENCODING_SJIS, ONIG_ENCODING_UTF8};
    onig_initialize(encodings, 2);
    regexState.initialised = true;
  }
  const bool unicode = unicodeGame();
  std::string key = (unicode ? "u" : "") + f.flags + '\0' + f.pattern;
  auto it = regexState.compiled.find(key);
  if (it != regexState.compiled.end()) return it->second.get();
  OnigOptionType options = ONIG_OPTION_CAPTURE_GROUP;
  for (char c : f.flags) {
    if (c == 'i') options |= ONIG_OPTION_IGNORECASE;
    else if (c == 'x') options |= ONIG_OPTION_EXTEND;
    else if (c == 's') options |= ONIG_OPTION_MULTILINE;  // '.' matches a line feed
    else if (c == 'm') options |= ONIG_OPTION_NEGATE_SINGLELINE;  // '^' and '$' at every line
  }
  OnigRegex re = nullptr;
  OnigErrorInfo info;
  auto p = reinterpret_cast<const UChar*>(f.pattern.data());
  int rc = onig_new(&re, p, p + f.pattern.size(), options, unicode ? ONIG_ENCODING_UTF8 : ONIG_ENCODING_SJIS,
                  ONIG_SYNTAX_PERL, &info);
  if (rc != ONIG_NORMAL) {
    report(rc, &info);
    return nullptr;
  }
  return regexState.compiled.emplace(std::move(key), Compiled(re)).first->second.get();
}

// Finds the next match at or after `from`; false at the end or on an error.
bool searchFrom(OnigRegex re, const std::string& text, size_t from, OnigRegion* region) {
  auto s = reinterpret_cast<const UChar*>(text.data());
  int r = onig_search(re, s, s + text.size(), s + from, s + text.size(), region, ONIG_OPTION_NONE);
  if (r >= 0) return true;
  if (r != ONIG_MISMATCH) report(r, nullptr);
  return false;
}

// Expands $&, $0-$9 and \1-\9 in a replacement.
std::string expand(const std::string& repl, const std::string& text, const OnigRegion* rg) {
  std::string out;
  auto group = [&](int g) {
    if (g < rg->num_regs && rg->beg[g] >= 0) out.append(text, rg->beg[g], rg->end[g] - rg->beg[g]);
  };
  for (size_t i = 0; i < repl.size(); ++i) {
    char c = repl[i];
    if (const size_t step = charLength(repl, i); step > 1) {
      out.append(repl, i, step);
      i += step - 1;
    } else if ((c == '$' || c == '\\') && i + 1 < repl.size() && repl[i + 1] >= '0' && repl[i + 1] <= '9') {
      group(repl[++i] - '0');
    } else if (c == '$' && i + 1 < repl.size() && repl[i + 1] == '&') {
      group(0);
      ++i;
    } else if (c == '\\' && i + 1 < repl.size()) {
      char n = repl[++i];
      out.push_back(n == 'n' ? '\n' : n == 't' ? '\t' : n == 'r' ? '\r' : n);
    } else {
      out.push_back(c);
    }
  }
  return out;
}

// m/…/flags, /…/flags, or a bare pattern.
Form searchForm(const std::string& pattern) {
  Form f;
  std::string written = !pattern.empty() && pattern[0] == '/' ? "m" + pattern : pattern;
  if (!parseForm(written, 'm', f)) f = Form{'m', pattern, {}, {}};
  return f;
}

size_t charWidth(const std::string& s, size_t i) { return charLength(s, i); }

}  // namespace

bool match(const std::string& text, const std::string& pattern, Match& out) {
  out = Match{};
  OnigRegex re = compile(searchForm(pattern));
  if (!re) return false;
  Region rg(onig_region_new());
  if (searchFrom(re, text, 0, rg.get())) {
    out.found = true;
    out.position = static_cast<size_t>(rg->beg[0]);
    out.length = static_cast<size_t>(rg->end[0] - rg->beg[0]);
  }
  return true;
}

bool substitute(const std::string& text, const std::string& pattern, std::string& out, int& count) {
  count = 0;
  out = text;
  Form f;
  if (!parseForm(pattern, 's', f) || f.kind != 's') {
    reportError("s/pattern/replacement/flags: " + pattern);
    return false;
  }
  OnigRegex re = compile(f);
  if (!re) return false;
  const bool global = f.flags.find('g') != std::string::npos;
  Region rg(onig_region_new());
  std::string result;
  size_t from = 0, copied = 0;
  while (from <= text.size() && searchFrom(re, text, from, rg.get())) {
    size_t b = static_cast<size_t>(rg->beg[0]), e = static_cast<size_t>(rg->end[0]);
    result.append(text, copied, b - copied);
    result += expand(f.replacement, text, rg.get());
    if (!stringLengthAllowed(result.size())) return false;
    copied = e;
    ++count;
    if (!global) break;
    if (e == b) {  // an empty match moves on by one character
      if (e >= text.size()) break;
      result.append(text, e, charWidth(text, e));
      copied = from = e + charWidth(text, e);
    } else {
      from = e;
    }
  }
  if (count) out = result + text.substr(std::min(copied, text.size()));
  return true;
}

namespace {
// The characters of a tr list with a-z ranges expanded; double-byte
// characters are single codes.
std::vector<unsigned> trList(const std::string& s) {
  std::vector<unsigned> codes;
  for (size_t i = 0; i < s.size();) {
    size_t w = charWidth(s, i);
    unsigned c = w == 2 ? (unsigned(static_cast<unsigned char>(s[i])) << 8) | static_cast<unsigned char>(s[i + 1])
                        : static_cast<unsigned char>(s[i]);
    if (s[i] == '\\' && i + 1 < s.size()) c = static_cast<unsigned char>(s[++i]), w = 1;
    i += w;
    if (i + 1 < s.size() && s[i] == '-') {
      size_t j = i + 1, w2 = charWidth(s, j);
      unsigned end = w2 == 2 ? (unsigned(static_cast<unsigned char>(s[j])) << 8) | static_cast<unsigned char>(s[j + 1])
                             : static_cast<unsigned char>(s[j]);
      for (unsigned k = c; k <= end && k - c < 0x10000; ++k) codes.push_back(k);
      i = j + w2;
    } else {
      codes.push_back(c);
    }
  }
  return codes;
}

void appendCode(std::string& out, unsigned c) {
  if (c > 0xFF) out.push_back(static_cast<char>(c >> 8));
  out.push_back(static_cast<char>(c & 0xFF));
}
}  // namespace

bool transliterate(const std::string& text, const std::string& pattern, std::string& out, int& count) {
  count = 0;
  out = text;
  Form f;
  if (!parseForm(pattern, 't', f) || f.kind != 't') {
    reportError("tr/from/to/flags: " + pattern);
    return false;
  }
  const std::vector<unsigned> from = trList(f.pattern), to = trList(f.replacement);
  const bool del = f.flags.find('d') != std::string::npos, squeeze = f.flags.find('s') != std::string::npos;
  std::string result;
  bool lastWasTranslated = false;
  unsigned last = 0;
  for (size_t i = 0; i < text.size();) {
    size_t w = charWidth(text, i);
    unsigned c = w == 2 ? (unsigned(static_cast<unsigned char>(text[i])) << 8) | static_cast<unsigned char>(text[i + 1])
                        : static_cast<unsigned char>(text[i]);
    i += w;
    size_t k = 0;
    while (k < from.size() && from[k] != c) ++k;
    if (k == from.size()) {
      appendCode(result, c);
      lastWasTranslated = false;
      continue;
    }
    ++count;
    if (k >= to.size() && (del || to.empty())) {
      if (del) continue;
    }
    unsigned r = to.empty() ? c : k < to.size() ? to[k] : to.back();
    if (squeeze && lastWasTranslated && r == last) continue;
    appendCode(result, r);
    lastWasTranslated = true;
    last = r;
  }
  if (count) out = result;
  return true;
}

bool split(const std::string& text, const std::string& pattern, std::vector<std::string>& pieces) {
  pieces.clear();
  OnigRegex re = compile(searchForm(pattern));
  if (!re) return false;
  Region rg(onig_region_new());
  size_t from = 0, start = 0;
  while (from < text.size() && searchFrom(re, text, from, rg.get())) {
    size_t b = static_cast<size_t>(rg->beg[0]), e = static_cast<size_t>(rg->end[0]);
    if (e == b && b >= text.size()) break;
    if (e == b && b == start) {  // an empty match never ends an empty piece
      from = b + charWidth(text, b);
      continue;
    }
    pieces.push_back(text.substr(start, b - start));
    start = e;
    from = e > b ? e : b + charWidth(text, b);
  }
  pieces.push_back(text.substr(std::min(start, text.size())));
  while (!pieces.empty() && pieces.back().empty()) pieces.pop_back();  // as Perl drops trailing empty fields
  return true;
}

}  // namespace velmora::script::regex
