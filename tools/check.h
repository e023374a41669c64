#pragma once
// The script checker: what would stop or misdirect a game, found before it
// is packed, each as "file:line: message".
#include <filesystem>
#include <string>
#include <vector>

namespace velmora::tools {

struct CheckOptions {
  std::filesystem::path gameSource;                 // holds script/**/*.txt
  std::vector<std::filesystem::path> archiveSources;  // folders packed into archives
  bool sjis = false;                                // sources are Shift_JIS already
  bool utf8 = false;                                // a Unicode game: sources stay UTF-8
};

struct Finding {
  std::string file;
  int line = 0;
  int column = 0;     // in characters from 1, where it helps (0: the whole line)
  bool error = true;  // false: a warning
  std::string message;
};

std::vector<Finding> checkGame(const CheckOptions& options);

// The same checks on scripts already read: their game paths (script/...)
// and bytes, UTF-8 unless options.sjis says Shift_JIS. A Unicode game's
// sources are checked as UTF-8 with their narration lines marked.
struct ScriptSource {
  std::string name;
  std::string bytes;
};
std::vector<Finding> checkSources(const CheckOptions& options, const std::vector<ScriptSource>& sources);

}  // namespace velmora::tools
