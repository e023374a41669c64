#pragma once
// Regular expressions over Shift_JIS text, written in the Perl-style forms
// scripts use: m/pattern/flags (or /pattern/flags), s/pattern/replacement/flags,
// tr/from/to/flags and /pattern/ for splitting. Positions are byte offsets.
#include <cstddef>
#include <string>
#include <vector>

namespace velmora::script::regex {

// Each call returns false (and reports through reportError) for a bad pattern.
struct Match {
  bool found = false;
  size_t position = 0, length = 0;
};
bool match(const std::string& text, const std::string& pattern, Match& out);
// out receives the substituted text; count the number of substitutions.
bool substitute(const std::string& text, const std::string& pattern, std::string& out, int& count);
bool transliterate(const std::string& text, const std::string& pattern, std::string& out, int& count);
bool split(const std::string& text, const std::string& pattern, std::vector<std::string>& pieces);

// Drops the compiled patterns (release, tests).
void releaseCompiled();

}  // namespace velmora::script::regex
