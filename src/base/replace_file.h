#pragma once
// Writing a file so that a failure keeps what was there: the bytes go to a
// temporary file of its own beside the target, which is renamed over it at
// the end. Temporaries are named "<target>.velmora-tmp.XXXXXX" and locked
// while they are written, so a later start can tell the ones a killed
// process left behind from the ones another running game is writing.
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace velmora {

class ReplaceFile {
 public:
  // How the path is spelled: engine text (Shift_JIS, the host's name is
  // derived from it) or already the host's name (the tools).
  enum class Name { Game, Host };
  explicit ReplaceFile(const std::string& path, Name name = Name::Game);
  ~ReplaceFile();  // an uncommitted file is removed
  ReplaceFile(const ReplaceFile&) = delete;
  ReplaceFile& operator=(const ReplaceFile&) = delete;

  std::FILE* file() const { return file_; }
  bool write(const void* data, size_t size);
  // Flushes, syncs and renames; false (errno set) when any step failed.
  bool commit();

 private:
  std::string target_, temp_;
  std::FILE* file_ = nullptr;
  bool failed_ = false;
  size_t written_ = 0;
  size_t killAfter_ = SIZE_MAX;  // test builds: see replace_file.cpp
};

// Removes the temporaries of the form above that no running process holds,
// directly inside folder (engine text; empty for the game folder). Returns
// how many were removed.
int removeStaleTemporaries(const std::string& folder);

// Whether a file name has the temporaries' form.
bool isTemporaryName(std::string_view name);

// Writes standard output in the terminal's encoding (UTF-8) from Shift_JIS.
void consoleWrite(std::string_view sjis);

}  // namespace velmora
