// Path splitting and destination folders, shared by the file commands.
#include <sys/stat.h>

#include <cerrno>

#include "base/encoding.h"
#include "base/sjis.h"
#include "script/library.h"

namespace velmora::script {

bool splitPath(std::string_view path, PathParts& out, char sep) {
  out = PathParts{};
  if (path.empty()) return false;
  size_t slashes = 0, backslashes = 0;
  std::vector<std::string_view> folders;
  size_t start = 0, i = 0;
  while (i < path.size()) {
    if (isMultiByteLead(path[i])) {
      i += charLength(path, i);
      continue;
    }
    if (path[i] == '/' || path[i] == '\\') {
      (path[i] == '/' ? slashes : backslashes)++;
      folders.push_back(path.substr(start, i - start));
      while (i < path.size() && (path[i] == '/' || path[i] == '\\')) ++i;  // a run counts as one
      start = i;
      continue;
    }
    ++i;
  }
  if (sep == 0) sep = slashes >= backslashes ? '/' : '\\';
  for (std::string_view f : folders) {
    out.folder.append(f);
    out.folder.push_back(sep);
  }
  std::string_view last = path.substr(std::min(start, path.size()));
  size_t dot = std::string_view::npos;
  for (size_t k = 0; k < last.size(); k += charLength(last, k))
    if (last[k] == '.' && !(start == 0 && k == 0)) dot = k;
  out.base.assign(last.substr(0, dot));
  if (dot != std::string_view::npos) out.extension.assign(last.substr(dot));
  return true;
}

// Folders are created with '/' here; a '\' written by a script separates too.
bool ensureFolder(const std::string& folder) {
  if (folder.empty()) return true;
  std::string path;
  for (size_t i = 0; i < folder.size(); ++i) {
    char c = folder[i];
    bool separator = c == '/' || c == '\\';
    if (const size_t step = charLength(folder, i); step > 1) {
      path.append(folder, i, step);
      i += step - 1;
      continue;
    }
    if (separator && !path.empty() && mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) return false;
    path.push_back(separator ? '/' : c);
  }
  if (mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) return false;
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace velmora::script
