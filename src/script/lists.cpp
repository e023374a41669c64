// Files, the file list and the text list of the own language's library.
#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <set>
#include <utility>

#include "base/replace_file.h"
#include "base/report.h"
#include "base/encoding.h"
#include "base/sjis.h"
#include "base/textconv.h"
#include "resource/resource.h"
#include "script/library.h"
#include "script/messages.h"

namespace velmora::script {
namespace {

enum TextMode : uint8_t { kModeSjis = 0, kModeUtf16Le = 1, kModeUtf16Be = 2 };

struct ListState {
  std::vector<std::string> text;
  uint8_t mode = kModeSjis;
  std::vector<std::string> files;
};
ListState listState;

std::string lineEnd() {
  switch (listState.mode) {
    case kModeUtf16Le: return std::string("\x0A\x00", 2);
    case kModeUtf16Be: return std::string("\x00\x0A", 2);
    default: return "\r\n";
  }
}

// Whole-file writes go through a temporary file so that a failure keeps the
// old contents; other open modes (appending) write in place.
bool writeBytes(const std::string& path, const std::vector<std::string_view>& pieces, const char* mode) {
  if (std::strcmp(mode, "wb") == 0 || std::strcmp(mode, "w") == 0) {
    ReplaceFile out(path);
    bool ok = out.file() != nullptr;
    for (std::string_view p : pieces) ok = ok && out.write(p.data(), p.size());
    if (ok && out.commit()) return true;
    reportError(path + " " + std::strerror(errno));
    return false;
  }
  std::FILE* f = std::fopen(hostPath(path).c_str(), mode);
  if (!f) {
    reportError(path + " " + std::strerror(errno));
    return false;
  }
  bool ok = true;
  for (std::string_view p : pieces) ok = std::fwrite(p.data(), 1, p.size(), f) == p.size() && ok;
  return std::fclose(f) == 0 && ok;
}

bool prepareFolder(const std::string& path, char sep) {
  PathParts parts;
  if (!splitPath(path, parts, sep)) {
    reportError(messageText(Message::BadPath));
    return false;
  }
  if (!ensureFolder(parts.folder)) {
    reportError(messageText(Message::FolderNotCreated));
    return false;
  }
  return true;
}

bool isDirectory(const std::string& host) {
  struct stat st;
  return stat(host.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Folders already listed, by device and inode. A folder reached through a
// symbolic link is listed like any other (a game sees the files under its
// folder, wherever they are kept), but never twice: links that loop back
// would otherwise make the walk endless or exponential.
using VisitedFolders = std::set<std::pair<dev_t, ino_t>>;

bool firstVisit(const std::string& folder, VisitedFolders& visited) {
  struct stat st;
  if (stat(hostPath(folder.empty() ? "./" : folder).c_str(), &st) != 0) return true;
  return visited.emplace(st.st_dev, st.st_ino).second;
}

// Names of one folder in a fixed order (the host returns them unordered).
std::vector<std::string> folderNames(const std::string& folder) {
  std::vector<std::string> names;
  DIR* d = opendir(hostPath(folder.empty() ? "./" : folder).c_str());
  if (!d) return names;
  while (dirent* e = readdir(d)) names.emplace_back(e->d_name);
  closedir(d);
  std::sort(names.begin(), names.end());
  return names;
}

void listFolder(std::string folder, const std::string& pattern, bool recurse, VisitedFolders& visited) {
  if (!folder.empty() && folder.back() != '/' && folder.back() != '\\') {
    size_t back = std::count(folder.begin(), folder.end(), '\\'), fwd = std::count(folder.begin(), folder.end(), '/');
    folder.push_back(back > fwd ? '\\' : '/');
  }
  if (!firstVisit(folder, visited)) return;
  // "*.*" also matches names without a dot, as on the platform scripts came from.
  std::string glob = hostPath(pattern == "*.*" ? "*" : pattern);
  const std::vector<std::string> names = folderNames(folder);
  for (const std::string& host : names) {
    if (host[0] == '.' || host == "Thumbs.db" || isDirectory(hostPath(folder) + host)) continue;
    if (fnmatch(glob.c_str(), host.c_str(), FNM_CASEFOLD) == 0) listState.files.push_back(folder + utf8ToGame(host));
  }
  if (!recurse || pattern.find_first_of("*?") == std::string::npos) return;
  const char sep = folder.empty() ? '/' : folder.back();
  for (const std::string& host : names)
    if (host[0] != '.' && isDirectory(hostPath(folder) + host))
      listFolder(folder + utf8ToGame(host) + sep, pattern, true, visited);
}

void listFolder(const std::string& folder, const std::string& pattern, bool recurse) {
  VisitedFolders visited;
  listFolder(folder, pattern, recurse, visited);
}

bool lineInRange(int32_t line) {
  if (line >= 1 && static_cast<size_t>(line) <= listState.text.size()) return true;
  reportError(messageText(Message::LineOutOfRange));
  return false;
}

// Folds case and kana type for the sort that ignores them.
std::string sortKey(const std::string& s) {
  std::string k = s;
  for (size_t i = 0; i < k.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(k[i]);
    if (const size_t step = charLength(k, i); step > 1 && unicodeGame()) {
      i += step - 1;  // Unicode games fold ASCII letters only
    } else if (step > 1) {
      unsigned code = (c << 8) | static_cast<unsigned char>(k[i + 1]);
      if (code >= 0x8260 && code <= 0x8279) {
        k[i + 1] = static_cast<char>((code & 0xFF) + 0x21);
      } else if ((code >= 0x8340 && code <= 0x837E) || (code >= 0x8380 && code <= 0x8393)) {
        k[i] = static_cast<char>(0x82);
        k[i + 1] = static_cast<char>((code & 0xFF) + 0x5F);
      }
      ++i;
    } else if (c >= 'A' && c <= 'Z') {
      k[i] = static_cast<char>(c + 32);
    }
  }
  return k;
}

void splitTextList(const std::string& bytes) {
  listState.text.clear();
  listState.mode = bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE'   ? kModeUtf16Le
            : bytes.size() >= 2 && bytes[0] == '\xFE' && bytes[1] == '\xFF' ? kModeUtf16Be
                                                                            : kModeSjis;
  size_t start = 0;
  if (listState.mode == kModeSjis) {
    for (size_t i = 0; i < bytes.size(); i += charLength(bytes, i)) {
      if (bytes[i] == '\n') {
        listState.text.push_back(bytes.substr(start, i + 1 - start));
        start = i + 1;
      }
    }
  } else {
    const size_t lf = listState.mode == kModeUtf16Le ? 0 : 1;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
      if (bytes[i + lf] == '\n' && bytes[i + 1 - lf] == '\0') {
        listState.text.push_back(bytes.substr(start, i + 2 - start));
        start = i + 2;
      }
    }
  }
  if (start < bytes.size()) listState.text.push_back(bytes.substr(start));
}

}  // namespace

void cmd_loadFile(const char* args) {
  RawArguments a(args);
  std::string bytes;
  if (resource::loadFileS(a.text(0).c_str(), bytes))
    if (std::string* v = a.stringTarget(1)) *v = std::move(bytes);
}

void cmd_saveFile(const char* args) {
  RawArguments a(args);
  std::string path = a.text(0), text = a.text(1);
  if (prepareFolder(path, '\\')) writeBytes(path, {text}, "wb");
}

void cmd_setFileList(const char* args) {
  RawArguments a(args);
  std::string folder = a.text(0), pattern = a.text(1);
  int32_t flags = a.integer(2);
  if (flags & 8) {
    if (folder.empty()) folder = "./";
  } else {
    listState.files.clear();
  }
  listFolder(folder, pattern, flags & 1);
  if (int32_t* n = a.integerTarget(3)) *n = static_cast<int32_t>(listState.files.size());
}

void cmd_getFileList(const char* args) {
  RawArguments a(args);
  int32_t i = a.integer(1);
  if (i < 0 || static_cast<size_t>(i) >= listState.files.size()) {
    reportError(messageText(Message::ListIndexOutOfRange));
    return;
  }
  if (std::string* v = a.stringTarget(0)) *v = listState.files[i];
}

std::vector<std::string> collectFileList(std::string folder, const std::string& pattern, int32_t flags) {
  if (folder.empty()) folder = "./";
  std::vector<std::string> kept = std::move(listState.files);
  listState.files.clear();
  listFolder(folder, pattern, flags & 1);
  std::vector<std::string> found = std::move(listState.files);
  listState.files = std::move(kept);
  return found;
}

void cmd_loadText(const char* args) {
  RawArguments a(args);
  std::string bytes;
  if (!resource::loadFileS(a.text(0).c_str(), bytes)) return;
  splitTextList(bytes);
  if (int32_t* n = a.integerTarget(1)) *n = static_cast<int32_t>(listState.text.size());
}

void cmd_saveText(const char* args) {
  RawArguments a(args);
  std::string path = a.text(0);
  int32_t first = a.count() > 1 ? a.integer(1) : 0;
  int32_t end = a.count() > 2 ? a.integer(2) : static_cast<int32_t>(listState.text.size());
  std::string mode = a.count() > 3 ? a.text(3) : "wb";
  // Only the C library's own mode texts reach fopen.
  static const char* const kModes[] = {"wb", "w", "ab", "a", "wb+", "w+b", "w+", "ab+", "a+b", "a+"};
  if (std::none_of(std::begin(kModes), std::end(kModes), [&](const char* m) { return mode == m; })) mode = "wb";
  first = std::max(first, 0);
  end = std::min<int32_t>(end, static_cast<int32_t>(listState.text.size()));
  if (!prepareFolder(path, '/')) return;
  std::vector<std::string_view> pieces;
  for (int32_t i = first; i < end; ++i) pieces.emplace_back(listState.text[i]);
  writeBytes(path, pieces, mode.c_str());
}

void cmd_getText(const char* args) {
  RawArguments a(args);
  int32_t line = a.integer(1);
  if (!lineInRange(line)) return;
  std::string s = listState.text[line - 1];
  if (a.integer(2) == 0) s = std::string(trimText(s));
  if (std::string* v = a.stringTarget(0)) *v = s;
}

void cmd_setText(const char* args) {
  RawArguments a(args);
  int32_t line = a.integer(1);
  if (lineInRange(line)) listState.text[line - 1] = a.text(0) + (a.integer(2) ? lineEnd() : "");
}

void cmd_insertText(const char* args) {
  RawArguments a(args);
  int32_t line = a.integer(1);
  if (lineInRange(line)) listState.text.insert(listState.text.begin() + (line - 1), a.text(0) + (a.integer(2) ? lineEnd() : ""));
}

void cmd_addText(const char* args) {
  RawArguments a(args);
  listState.text.push_back((a.integer(1) ? lineEnd() : "") + a.text(0) + (a.integer(2) ? lineEnd() : ""));
}

void cmd_sortText(const char* args) {
  RawArguments a(args);
  int32_t first = a.integer(0), last = a.integer(1), flags = a.integer(2);
  const int32_t n = static_cast<int32_t>(listState.text.size());
  if (first < 0 || first > n || last < 0 || last > n) {
    reportError(messageText(Message::LineOutOfRange));
    return;
  }
  if (first == 0) first = 1;
  if (last == 0) last = n;
  if (first > last) return;
  auto begin = listState.text.begin() + (first - 1), end = listState.text.begin() + last;
  const bool fold = flags & 4, descending = flags & 2;
  std::vector<std::pair<std::string, std::string>> keyed;
  for (auto it = begin; it != end; ++it) keyed.emplace_back(fold ? sortKey(*it) : *it, std::move(*it));
  std::stable_sort(keyed.begin(), keyed.end(), [&](const auto& x, const auto& y) {
    return descending ? y.first < x.first : x.first < y.first;
  });
  std::vector<std::string> sorted;
  for (auto& [key, line] : keyed)
    if (!(flags & 1) || sorted.empty() || sorted.back() != line) sorted.push_back(std::move(line));
  size_t removed = static_cast<size_t>(last - first + 1) - sorted.size();
  std::move(sorted.begin(), sorted.end(), begin);
  listState.text.erase(end - static_cast<std::ptrdiff_t>(removed), end);
}

void cmd_clearText(const char*) {
  listState.text.clear();
}

}  // namespace velmora::script
