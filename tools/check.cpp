#include "check.h"

#include <algorithm>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "bindings/catalogue.h"
#include "core/sjis.h"
#include "core/textconv.h"
#include "script/interp.h"
#include "script/loader.h"

namespace velmora::tools {
namespace {

namespace fs = std::filesystem;

constexpr size_t kMaxLine = 511;
const char* const kResourceExtensions[] = {".png", ".jpg", ".jpeg", ".bmp", ".tlg", ".wav", ".ogg", ".txt",
                                           ".lua", ".nut", ".cur", ".ani", ".ttf", ".otf", ".dat", ".mpg"};

struct ScriptFile {
  std::string name;  // as shown: script/sub/a.txt
  script::LineArray lines;
};

struct Where {
  std::string file;
  int line;
};

struct Checker {
  const CheckOptions& options;
  std::vector<Finding> findings;
  std::vector<ScriptFile> files;
  std::map<std::string, Where> labels;
  std::set<std::string> defsubs;
  std::set<std::string, std::less<>> commands;
  struct Jump {
    Where where;
    std::string label;
  };
  std::vector<Jump> jumps;

  void report(const std::string& file, int line, std::string message, bool error = true) {
    findings.push_back({file, line, error, std::move(message)});
  }
};

std::string readAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// UTF-8 source to CP932 line by line, so that every bad character is named.
std::string convert(Checker& c, const std::string& name, const std::string& utf8) {
  std::string out;
  size_t start = 0;
  for (int line = 1; start <= utf8.size(); ++line) {
    size_t end = utf8.find('\n', start);
    std::string_view text(utf8.data() + start, (end == std::string::npos ? utf8.size() : end) - start);
    std::string sj;
    size_t bad = 0;
    if (!utf8_to_sjis_strict(text, sj, bad)) {
      c.report(name, line, "column " + std::to_string(bad + 1) + ": a character without a code in code page 932");
      sj = utf8_to_sjis(text);
    }
    out += sj;
    if (end == std::string::npos) break;
    out += '\n';
    start = end + 1;
  }
  return out;
}

size_t nameLength(std::string_view s) {
  size_t n = 0;
  while (n < s.size() && isIdentChar(s[n])) ++n;
  return n;
}

void scanLabel(Checker& c, const ScriptFile& f, int index) {
  const std::string& line = f.lines[index];
  size_t i = 1;
  while (i < line.size() && std::string_view(":/ \t\r").find(line[i]) == std::string_view::npos) {
    if (isLeadByte(line[i]) && i + 1 < line.size()) {
      i += 2;
    } else if (isIdentChar(line[i])) {
      ++i;
    } else {
      c.report(f.name, index + 1, "invalid character in the label name: " + sjis_to_utf8(line));
      return;
    }
  }
  std::string label = line.substr(0, i);
  auto [it, fresh] = c.labels.emplace(label, Where{f.name, index + 1});
  if (!fresh)
    c.report(f.name, index + 1,
             "label " + sjis_to_utf8(label) + " is defined twice (also " + it->second.file + ":" +
                 std::to_string(it->second.line) + ")");
}

// The statement an if, elseif or else runs, as the interpreter finds it.
std::string_view conditionalStatement(std::string_view name, std::string_view args, bool& droppedByte) {
  droppedByte = false;
  if (name == "else") {
    size_t k = args.find_first_of("abcdefghijklmnopqrstuvwxyz");
    return k == std::string_view::npos ? std::string_view() : args.substr(k);
  }
  int depth = 0;
  for (size_t i = 0; i < args.size(); i += isLeadByte(args[i]) ? 2 : 1) {
    if (args[i] == '(') ++depth;
    else if (args[i] == ')' && --depth == 0) {
      droppedByte = i + 1 < args.size() && args[i + 1] != ' ' && args[i + 1] != '\t';
      return i + 2 <= args.size() ? args.substr(i + 2) : std::string_view();
    }
  }
  return {};
}

void checkResourceLiterals(Checker& c, const ScriptFile& f, int index, std::string_view text) {
  for (size_t i = 0; i < text.size(); i += isLeadByte(text[i]) ? 2 : 1) {
    if (text[i] != '"' && text[i] != '\'') continue;
    size_t end = text.find(text[i], i + 1);
    if (end == std::string_view::npos) return;
    std::string literal(text.substr(i + 1, end - i - 1));
    i = end;
    std::string lower = literal;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](char ch) { return static_cast<char>(std::tolower(ch)); });
    bool looksLikePath = literal.find('/') != std::string::npos &&
                         std::any_of(std::begin(kResourceExtensions), std::end(kResourceExtensions),
                                     [&](const char* e) { return lower.ends_with(e); });
    if (!looksLikePath) continue;
    std::string host = hostPath(literal);
    bool found = fs::exists(c.options.gameSource / host);
    for (const fs::path& a : c.options.archiveSources) found = found || fs::exists(a / host);
    if (!found)
      c.report(f.name, index + 1, "resource " + sjis_to_utf8(literal) + " is neither in the game folder nor in an archive source");
  }
}

void checkCommand(Checker& c, const ScriptFile& f, int index, std::string_view part, std::vector<int>& fors) {
  size_t n = nameLength(part);
  std::string_view name = part.substr(0, n), args = part.substr(n);
  if (!c.commands.count(name) && !c.defsubs.count(std::string(name))) {
    c.report(f.name, index + 1, "unknown command " + std::string(name));
    return;
  }
  if (name == "for") fors.push_back(index + 1);
  if (name == "next" && !fors.empty()) fors.pop_back();
  if (name == "goto" || name == "gosub" || name == "return") {
    std::string_view a = args.substr(std::min(args.find_first_not_of(" \t"), args.size()));
    size_t end = a.find_first_of(" \t,");
    std::string label(a.substr(0, end));
    if (!label.empty() && label[0] == '*') c.jumps.push_back({{f.name, index + 1}, label});
  }
  if (name == "if" || name == "elseif" || name == "else") {
    bool dropped = false;
    std::string_view statement = conditionalStatement(name, args, dropped);
    if (dropped) c.report(f.name, index + 1, "the character after ')' is dropped: write a space after the condition", false);
    if (!statement.empty() && isAsciiLetter(statement[0])) checkCommand(c, f, index, statement, fors);
  }
}

void checkLines(Checker& c, const ScriptFile& f) {
  std::vector<int> fors;
  std::vector<std::string> parts;
  for (int i = 0; i < static_cast<int>(f.lines.size()); ++i) {
    const std::string& line = f.lines[i];
    if (line.size() > kMaxLine) c.report(f.name, i + 1, "line of " + std::to_string(line.size()) + " bytes (at most 511)");
    if (line.empty() || !isAsciiLetter(line[0])) continue;
    script::splitPartsInto(line, ':', parts);
    for (const std::string& p : parts) {
      if (!p.empty() && isAsciiLetter(p[0])) checkCommand(c, f, i, p, fors);
    }
    checkResourceLiterals(c, f, i, line);
  }
  for (int line : fors) c.report(f.name, line, "for without a matching next");
}

// Labels and text blocks, as start-up scans them; a label hidden in a text
// block is a warning, since start-up silently ignores it.
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
        c.report(f.name, i + 1,
                 "label " + sjis_to_utf8(f.lines[i]) + " is part of the text block of line " + std::to_string(start + 1) +
                     " and is never registered: put an empty line before it",
                 false);
    }
    ++i;
  }
  std::vector<std::string> parts;
  for (const std::string& line : f.lines) {
    if (line.compare(0, 6, "defsub") != 0) continue;
    script::splitPartsInto(line, ':', parts);
    for (const std::string& p : parts)
      if (p.compare(0, 6, "defsub") == 0) {
        std::string_view a = std::string_view(p).substr(6);
        a.remove_prefix(std::min(a.find_first_not_of(" \t"), a.size()));
        c.defsubs.emplace(a.substr(0, nameLength(a)));
      }
  }
}

}  // namespace

std::vector<Finding> checkGame(const CheckOptions& options) {
  Checker c{options, {}, {}, {}, {}, {}, {}};
  for (std::string_view n : script::ownCommandNames()) c.commands.emplace(n);
  for (const auto& e : bindings::catalogue()) c.commands.emplace(e.name);
  const fs::path dir = options.gameSource / "script";
  std::vector<fs::path> paths;
  if (fs::is_directory(dir))
    for (const auto& e : fs::recursive_directory_iterator(dir))
      if (e.is_regular_file() && e.path().extension() == ".txt") paths.push_back(e.path());
  std::sort(paths.begin(), paths.end());
  if (paths.empty()) c.report(dir.string(), 0, "no script/**/*.txt here");
  for (const fs::path& p : paths) {
    ScriptFile f{"script/" + fs::relative(p, dir).generic_string(), {}};
    std::string raw = readAll(p);
    script::splitLinesInto(options.sjis ? raw : convert(c, f.name, raw), f.lines);
    c.files.push_back(std::move(f));
  }
  if (!c.files.empty() && std::none_of(c.files.begin(), c.files.end(), [](const ScriptFile& f) { return f.name == "script/0.txt"; }))
    c.report("script/0.txt", 0, "the start script is missing");
  for (const ScriptFile& f : c.files) scanStructure(c, f);
  for (const ScriptFile& f : c.files) checkLines(c, f);
  for (const auto& j : c.jumps)
    if (!c.labels.count(j.label)) c.report(j.where.file, j.where.line, "jump to a label that does not exist: " + sjis_to_utf8(j.label));
  std::stable_sort(c.findings.begin(), c.findings.end(), [](const Finding& a, const Finding& b) {
    return a.file != b.file ? a.file < b.file : a.line < b.line;
  });
  return c.findings;
}

}  // namespace velmora::tools
