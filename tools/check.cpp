#include "check.h"

#include <algorithm>
#include <fstream>
#include <sstream>

#include "check_internal.h"
#include "base/encoding.h"
#include "base/sjis.h"
#include "base/textconv.h"
#include "resource/packer.h"
#include "script/interp.h"

namespace velmora::tools {
namespace {

namespace fs = std::filesystem;
using check::Checker;
using check::ScriptFile;
using check::Where;

constexpr size_t kMaxLine = 511;

std::string readAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// The length of the UTF-8 sequence at i, or 0 when it is malformed.
size_t sequenceLength(std::string_view s, size_t i) {
  const unsigned char b = static_cast<unsigned char>(s[i]);
  const size_t n = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
  if (n == 0 || i + n > s.size()) return 0;
  for (size_t k = 1; k < n; ++k)
    if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 0;
  return n;
}

// Every character of a line that code page 932 cannot hold, each with its
// column (in characters, from 1) and itself.
void reportUnencodable(Checker& c, const Where& at, std::string_view line) {
  std::string ignored;
  size_t column = 1;
  for (size_t i = 0; i < line.size(); ++column) {
    const size_t n = sequenceLength(line, i);
    if (n == 0) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "0x%02X", static_cast<unsigned char>(line[i]));
      c.report(at, std::string("the byte ") + hex + " is not UTF-8 (save the file as UTF-8, or pack with --sjis)", true,
               static_cast<int>(column));
      ++i;
      continue;
    }
    size_t bad = 0;
    if (n > 1 && !utf8_to_sjis_strict(line.substr(i, n), ignored, bad)) {
      const std::u16string u = utf8_to_utf16(line.substr(i, n));
      char code[16] = "beyond U+FFFF";
      if (n < 4 && !u.empty()) std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(u[0]));
      c.report(at, "'" + std::string(line.substr(i, n)) + "' (" + code + ") has no code in code page 932", true,
               static_cast<int>(column));
    }
    i += n;
  }
}

// UTF-8 source to CP932 line by line, so that every bad character is named.
std::string convert(Checker& c, const std::string& name, const std::string& utf8) {
  std::string out, sj;
  size_t start = 0;
  for (int line = 1; start <= utf8.size(); ++line) {
    const size_t end = utf8.find('\n', start);
    std::string_view text(utf8.data() + start, (end == std::string::npos ? utf8.size() : end) - start);
    size_t bad = 0;
    if (!utf8_to_sjis_strict(text, sj, bad)) {
      reportUnencodable(c, {name, line}, text);
      sj = utf8_to_sjis(text);
    }
    out += sj;
    if (end == std::string::npos) break;
    out += '\n';
    start = end + 1;
  }
  return out;
}

// A Unicode game's source only has to be UTF-8.
void reportMalformed(Checker& c, const std::string& name, std::string_view utf8) {
  int line = 1;
  size_t column = 1;
  for (size_t i = 0; i < utf8.size(); ++column) {
    if (utf8[i] == '\n') {
      ++line, ++i, column = 0;
      continue;
    }
    const size_t n = sequenceLength(utf8, i);
    if (n == 0) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "0x%02X", static_cast<unsigned char>(utf8[i]));
      c.report({name, line}, std::string("the byte ") + hex + " is not UTF-8 (save the file as UTF-8)", true,
               static_cast<int>(column));
    }
    i += n ? n : 1;
  }
}

// The checker reads as the engine would: in the game's encoding.
struct EncodingScope {
  GameEncoding previous = gameEncoding();
  explicit EncodingScope(GameEncoding e) { setGameEncoding(e); }
  ~EncodingScope() { setGameEncoding(previous); }
};

bool isCommentLine(const std::string& line) {
  return line.starts_with("//") || line.starts_with(";");
}

void scanLabel(Checker& c, const ScriptFile& f, int index) {
  const std::string& line = f.lines[index];
  size_t i = 1;
  while (i < line.size() && std::string_view(":/ \t\r").find(line[i]) == std::string_view::npos) {
    if (isMultiByteLead(line[i]) && i + 1 < line.size()) {
      i += charLength(line, i);
    } else if (isIdentChar(line[i])) {
      ++i;
    } else {
      c.report({f.name, index + 1}, "invalid character in the label name: " + gameToUtf8(line));
      return;
    }
  }
  std::string label = line.substr(0, i);
  auto [it, fresh] = c.labels.emplace(label, Where{f.name, index + 1});
  if (!fresh)
    c.report({f.name, index + 1}, "label " + gameToUtf8(label) + " is defined twice (also " + it->second.file + ":" +
                                      std::to_string(it->second.line) + ")");
}

std::string labelName(const std::string& line) {
  size_t end = line.find_first_of(":/ \t\r");
  return line.substr(0, end);
}

// Labels and text blocks, as start-up scans them: a label inside a text
// block is never registered.
void scanStructure(Checker& c, const ScriptFile& f) {
  const int count = static_cast<int>(f.lines.size());
  for (int i = 0; i < count; ++i) {
    const std::string& line = f.lines[i];
    if (line.empty() || isAsciiLetter(line[0])) continue;
    if (line[0] == '*') {
      scanLabel(c, f, i);
      continue;
    }
    const int start = i;
    while (i + 1 < count && !f.lines[i + 1].empty()) {
      ++i;
      if (f.lines[i][0] == '*')
        c.hidden.emplace(labelName(f.lines[i]), check::HiddenLabel{{f.name, i + 1}, start + 1, isCommentLine(f.lines[i - 1])});
    }
    ++i;
  }
}

// Lines that start with an ASCII character other than a letter are split at
// ':' like command lines, and a piece that starts with a letter runs.
void checkTextLine(Checker& c, const Where& at, const std::string& line, std::vector<int>& fors) {
  check::checkInlineCommands(c, at, line);
  if (isLeadByte(line[0]) || static_cast<unsigned char>(line[0]) >= 0x80) return;
  std::vector<std::string> parts;
  script::splitPartsInto(line, ':', parts);
  for (size_t k = 1; k < parts.size(); ++k)
    if (!parts[k].empty() && isAsciiLetter(parts[k][0])) check::checkCommand(c, at, parts[k], fors);
}

void checkLines(Checker& c, const ScriptFile& f) {
  std::vector<int> fors;
  std::vector<std::string> parts;
  for (int i = 0; i < static_cast<int>(f.lines.size()); ++i) {
    const std::string& line = f.lines[i];
    const Where at{f.name, i + 1};
    if (line.size() > kMaxLine) c.report(at, "line of " + std::to_string(line.size()) + " bytes (at most 511)");
    if (line.empty() || isCommentLine(line)) continue;
    if (!isAsciiLetter(line[0]) && line[0] != '*') {
      checkTextLine(c, at, line, fors);
      continue;
    }
    script::splitPartsInto(line, ':', parts);
    for (const std::string& p : parts)  // a label line may hold commands after a ':'
      if (!p.empty() && isAsciiLetter(p[0])) check::checkCommand(c, at, p, fors);
  }
  for (int line : fors) c.report({f.name, line}, "for without a matching next");
}

void resolveLabels(Checker& c) {
  for (const auto& j : c.jumps) {
    if (c.labels.count(j.name)) continue;
    auto h = c.hidden.find(j.name);
    if (h == c.hidden.end())
      c.report(j.where, "jump to a label that does not exist: " + gameToUtf8(j.name));
    else
      c.report(j.where, "jump to " + gameToUtf8(j.name) + ", which is hidden in the text block of " + h->second.where.file +
                            ":" + std::to_string(h->second.blockStart) + ": put an empty line before the label");
  }
  for (const auto& [name, h] : c.hidden) {
    if (c.labels.count(name)) continue;
    if (h.underComment)
      c.report(h.where, "label " + gameToUtf8(name) +
                            " is hidden by the comment line above it (a comment line starts a text block): put an "
                            "empty line between them");
    else
      c.report(h.where, "label " + gameToUtf8(name) + " is part of the text block of line " +
                            std::to_string(h.blockStart) + " and is never registered: put an empty line before it",
               false);
  }
}

void resolveWrites(Checker& c) {
  std::set<std::string> reported;
  for (const auto& w : c.writes) {
    const bool number = w.name[0] == '%';
    const std::string name = w.name.substr(1);
    if ((number ? c.declaredNumbers : c.declaredTexts).count(name)) continue;
    if (!reported.insert(w.name + "\n" + w.where.file).second) continue;  // once per variable and script
    c.report(w.where,
             gameToUtf8(w.name) + " is written, but no " + (number ? "int" : "string") +
                 " line declares it: an undeclared variable ignores writes (declare it: " + (number ? "int " : "string ") +
                 gameToUtf8(name) + ")",
             false);
  }
}

void resolveResources(Checker& c) {
  for (const auto& r : c.resources) {
    if (c.outputs.count(r.name)) continue;
    const std::string host = hostPath(r.name);
    bool found = fs::exists(c.options.gameSource / host);
    for (const fs::path& a : c.options.archiveSources) found = found || fs::exists(a / host);
    if (!found)
      c.report(r.where, "resource " + gameToUtf8(r.name) + " is neither in the game folder nor in an archive source");
  }
}

}  // namespace

std::vector<Finding> checkSources(const CheckOptions& options, const std::vector<ScriptSource>& sources) {
  Checker c(options);
  const EncodingScope scope(options.utf8 ? GameEncoding::Utf8 : GameEncoding::ShiftJis);
  for (const ScriptSource& source : sources) {
    ScriptFile f{source.name, {}};
    if (options.utf8) reportMalformed(c, f.name, source.bytes);
    const std::string bytes = options.utf8 ? resource::markNarrationLines(source.bytes)
                              : options.sjis ? source.bytes
                                             : convert(c, f.name, source.bytes);
    script::splitLinesInto(bytes, f.lines);
    c.files.push_back(std::move(f));
  }
  if (!c.files.empty() && std::none_of(c.files.begin(), c.files.end(), [](const ScriptFile& f) { return f.name == "script/0.txt"; }))
    c.report({"script/0.txt", 0}, "the start script is missing");
  for (const ScriptFile& f : c.files) scanStructure(c, f);
  for (const ScriptFile& f : c.files) check::collectUserCommands(c, f);
  for (const ScriptFile& f : c.files) checkLines(c, f);
  resolveLabels(c);
  resolveWrites(c);
  resolveResources(c);
  std::stable_sort(c.findings.begin(), c.findings.end(), [](const Finding& a, const Finding& b) {
    return a.file != b.file ? a.file < b.file : a.line != b.line ? a.line < b.line : a.column < b.column;
  });
  return c.findings;
}

std::vector<Finding> checkGame(const CheckOptions& options) {
  const fs::path dir = options.gameSource / "script";
  std::vector<fs::path> paths;
  if (fs::is_directory(dir))
    for (const auto& e : fs::recursive_directory_iterator(dir))
      if (e.is_regular_file() && e.path().extension() == ".txt") paths.push_back(e.path());
  std::sort(paths.begin(), paths.end());
  if (paths.empty()) return {Finding{dir.string(), 0, 0, true, "no script/**/*.txt here"}};
  std::vector<ScriptSource> sources;
  for (const fs::path& p : paths) sources.push_back({"script/" + fs::relative(p, dir).generic_string(), readAll(p)});
  return checkSources(options, sources);
}

}  // namespace velmora::tools
